#pragma once

#include <array>
#include <cstdint>

// The processor's equaliser maths, shared by the parameter image, the command
// line and the EQ graph: filter types, biquad coefficients at 48 kHz, the
// 512-point magnitude responses, the band limits and the facts of the sixteen
// EQ sets. No window, no image: pure functions and constant tables.

constexpr int kEqSetCount = 16;
constexpr int kEqPoints = 512;
constexpr double kEqSampleRate = 48000.0;
constexpr double kEqAxisLowHz = 18.0;
constexpr double kEqAxisHighHz = 23000.0;

enum EqType : int {
    EQ_OFF = 0,
    EQ_PEQ = 1,
    EQ_LP = 2,
    EQ_HP = 3,
    EQ_LS = 4,
    EQ_HS = 5,
};

struct BiquadCoefficients {
    double a1 = 0, a2 = 0, b0 = 1, b1 = 0, b2 = 0;
};

// What the editor lets a band of a type take: gain in dB (0..0 for the
// types that have none), Q, and frequency in Hz.
struct EqBandLimits {
    double gainLow, gainHigh;
    double qLow, qHigh;
    double frequencyLow, frequencyHigh;
};
EqBandLimits EqLimitsOf(int type);

BiquadCoefficients ComputeBiquad(int type, double frequency, double gainDb, double q,
                                 double extraGainDb, double sampleRate);
// The five coefficient words of a band as the processor takes them: the
// float bit patterns of -a1, -a2, b0, b1, b2 at 48 kHz.
std::array<uint32_t, 5> EqCoefficientWords(int type, double frequency, double gainDb, double q);

// Evaluation frequency i (0..511): 18 * (23000/18)^(i/512).
double EqEvalFrequency(int i);
const std::array<double, kEqPoints>& EqEvalFrequencies();

namespace fx {
// One section's |H(e^jw)|^2 in its sin^2 form: with phi = sin^2(w/2) it is
// (nA - nB phi + nC phi^2) / (mA - mB phi + mC phi^2), one logarithm a point.
struct SectionMagnitude {
    explicit SectionMagnitude(const BiquadCoefficients& c);
    // The magnitude in dB where sin^2(w/2) is phi (phi2 its square).
    double Db(double phi, double phi2) const;

    double nA, nB, nC, mA, mB, mC;
};
} // namespace fx

// Magnitude in dB of one section at the 512 evaluation frequencies.
void ComputeSectionResponse(const BiquadCoefficients& c, double* outDb);

// Number of bands of a set used by copy/paste (set 12 counts 6).
int EqCopyCount(int set);
// Bands of a set on the page (15, 7, 10 or 5).
int EqBandCount(int set);
// Initial graph frequency of band b of a set.
float EqInitialFrequency(int set, int band);

namespace fx {

// The facts of one EQ set; every count and frequency list of the sets is
// derived from this one table.
struct EqSetFacts {
    int pageBands;                   // bands on the page
    int copyBands;                   // bands copy, paste, import and export move
    int recordSlots;                 // band records in the panel area
    const float* initialFrequencies; // pageBands entries
};
// The set's facts; a set outside 0..15 has no bands.
const EqSetFacts& EqSetFactsOf(int set);

// Magnitude in dB of one section at any frequency (the same sin^2 form).
double SectionMagnitudeDb(const BiquadCoefficients& c, double frequency);

} // namespace fx
