#pragma once

#include <array>

// The equaliser model shared by the parameter image, the EQ graph and the
// pages: band objects, biquad coefficients at 48 kHz, 512-point responses.

constexpr int kEqSetCount = 16;
constexpr int kEqPoints = 512;
constexpr double kEqSampleRate = 48000.0;
constexpr double kEqAxisLowHz = 18.0;
constexpr double kEqAxisHighHz = 23000.0;
constexpr int kMaxGraphBands = 40;

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

struct EqBand {
    float handleX = 0, handleY = 0; // handle position in plot pixels, set at every drawing
    int index = 0;
    int type = EQ_PEQ;
    float frequency = 100.0f;
    float gain = 0.0f;
    float q = 1.0f;
    std::array<float, kEqPoints> response{}; // dB
    float freqLimits[2] = {20.0f, 20000.0f};
    float gainLimits[2] = {-15.0f, 15.0f};
    int sectionCount = 0; // 3 for the compound crossover band
    int shown = 1;        // 0 for the hidden sections of a compound band
    EqBand* sections[4] = {nullptr, nullptr, nullptr, nullptr};
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

// Evaluation frequency i (0..511): 18 * (23000/18)^(i/512).
double EqEvalFrequency(int i);
const std::array<double, kEqPoints>& EqEvalFrequencies();

// Recomputes the band's response (a compound band first copies its frequency
// into its sections and recomputes them). Nothing happens for an OFF band.
// plotWidth is the graph's plot width in pixels, used to place the peaking
// pin (0 = no window: the model uses 512).
void ComputeBandResponse(EqBand& band, int plotWidth = kEqPoints);

// Magnitude in dB of one section at the 512 evaluation frequencies, by the
// sin^2 form of |H(e^jw)|^2 (what ComputeBandResponse stores, before the
// peaking pin and the rounding to float).
void ComputeSectionResponse(const BiquadCoefficients& c, double* outDb);

// Makes band the compound crossover band with the three hidden sections.
void LinkCompoundBand(EqBand& band, EqBand& first, EqBand& second, EqBand& third);

// Point by point sum of the responses of the bands in use whose type is not 0.
void ComputeSetCurve(const EqBand* bands, int count, float* out);

void SetBandType(EqBand& band, int type, int plotWidth = kEqPoints);
void SetBandTypeGrouped(EqBand& band, int type, int plotWidth = kEqPoints);
// The types of a compound band and its three sections; gain and Q stay.
void SetCompoundTypes(EqBand& band, const std::array<int, 4>& types, int plotWidth = kEqPoints);
void SetBandGain(EqBand& band, float gain, int plotWidth = kEqPoints);
void SetBandQ(EqBand& band, float q, int plotWidth = kEqPoints);

// Number of bands of a set used by copy/paste (set 12 counts 6).
int EqCopyCount(int set);
// Bands of a set on the page (15, 7, 10 or 5).
int EqBandCount(int set);
// Initial graph frequency of band b of a set.
float EqInitialFrequency(int set, int band);

// Set number of the last "Copy EQ", -1 when nothing was copied.
extern int g_EqClipboardSet;
// Copies band records from set src to set dst in the panel area and resends
// dst. False (with a debug line) when a set is outside 0..15.
bool CopyEqSet(int src, int dst);

// Screen mapping shared with the graph.
double EqFreqToX(double f, double left, double width);
double EqXToFreq(double dx, double width);
double EqGainToY(double g, double top, double height);
