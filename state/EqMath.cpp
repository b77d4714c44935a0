// The processor's equaliser maths: biquad coefficients at 48 kHz, 512-point
// magnitude responses, the band limits and the table of EQ set facts.
#include "state/EqMath.h"

#include <bit>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

BiquadCoefficients Peaking(double cs, double alpha, double a, double j) {
    const double d = 1.0 + alpha / a;
    return {-2.0 * cs / d, (1.0 - alpha / a) / d, (1.0 + alpha * a) * j / d, -2.0 * cs * j / d,
            (1.0 - alpha * a) * j / d};
}

BiquadCoefficients LowPass(double cs, double alpha, double g) {
    const double d = 1.0 + alpha;
    const double b0 = g * (1.0 - cs) / (2.0 * d);
    return {-2.0 * cs / d, (1.0 - alpha) / d, b0, g * (1.0 - cs) / d, b0};
}

BiquadCoefficients HighPass(double cs, double alpha, double g) {
    const double d = 1.0 + alpha;
    const double b0 = g * (1.0 + cs) / (2.0 * d);
    return {-2.0 * cs / d, (1.0 - alpha) / d, b0, -g * (1.0 + cs) / d, b0};
}

BiquadCoefficients LowShelf(double cs, double sn, double a, double q) {
    const double s = std::sqrt(a) * sn / q;
    const double d = (a + 1.0) + (a - 1.0) * cs + s;
    return {-2.0 * ((a - 1.0) + (a + 1.0) * cs) / d, ((a + 1.0) + (a - 1.0) * cs - s) / d,
            a * ((a + 1.0) - (a - 1.0) * cs + s) / d, 2.0 * a * ((a - 1.0) - (a + 1.0) * cs) / d,
            a * ((a + 1.0) - (a - 1.0) * cs - s) / d};
}

BiquadCoefficients HighShelf(double cs, double sn, double a, double q) {
    const double s = std::sqrt(a) * sn / q;
    const double d = (a + 1.0) - (a - 1.0) * cs + s;
    return {2.0 * ((a - 1.0) - (a + 1.0) * cs) / d, ((a + 1.0) - (a - 1.0) * cs - s) / d,
            a * ((a + 1.0) + (a - 1.0) * cs + s) / d, -2.0 * a * ((a - 1.0) + (a + 1.0) * cs) / d,
            a * ((a + 1.0) + (a - 1.0) * cs - s) / d};
}

BiquadCoefficients FirstOrder(bool highPass, double cs, double sn, double g) {
    const double d = 1.0 + cs + sn;
    const double a1 = (sn - cs - 1.0) / d;
    if (!highPass) return {a1, 0.0, g * sn / d, g * sn / d, 0.0};
    const double b0 = g * (1.0 + cs) / d;
    return {a1, 0.0, b0, -b0, 0.0};
}

// The ripple sections of the crossover alignments, kept exactly as the
// processor's crossover shapes were designed.
BiquadCoefficients Ripple(bool highPass, double w0, double g) {
    const double eps = std::sqrt(std::pow(10.0, 0.01) - 1.0);
    const double h = std::sinh(0.5 * std::sqrt(std::log(1.0 / (eps * eps) + 1.0 + 1.0 / eps)));
    const double k = 1.0 / std::sqrt(1.0 + eps * eps);
    const double t = highPass ? 1.0 / std::tan(w0 / 2.0) : std::tan(w0 / 2.0);
    const double c = h * t;
    const double s = std::sin(3.0 * kPi / 4.0) * t;
    const double cos34 = std::cos(3.0 * kPi / 4.0);
    const double d = 1.0 - 2.0 * cos34 * c + c * c + s * s;
    const double b0 = g * k * (s * s + c * c) / d;
    const double a1 = 2.0 * (s * s + c * c - 1.0) / d;
    const double a2 = (1.0 + 2.0 * cos34 * c + c * c + s * s) / d;
    if (!highPass) return {a1, a2, b0, 2.0 * b0, b0};
    return {-a1, a2, b0, -2.0 * b0, b0};
}

BiquadCoefficients AllPass(double cs, double alpha, double extraGainDb) {
    const double i = std::pow(10.0, extraGainDb / 40.0);
    const double d = 1.0 + alpha;
    return {-2.0 * cs / d, (1.0 - alpha) / d, (1.0 - alpha) * i / d, -2.0 * cs * i / d, i};
}

// Q of the fixed-Q crossover sections 8..21 (codes 10 and 11 are first order).
double SectionQ(int type) {
    switch (type) {
    case 8:
    case 9:
        return 1.0 / std::sqrt(3.0);
    case 12:
    case 13:
        return 1.0 / std::sqrt(2.0);
    case 14:
    case 15:
        return 1.0 / (2.0 * std::sin(kPi / 6.0));
    case 16:
    case 17:
        return 1.0 / (2.0 * std::sin(kPi / 2.0));
    case 18:
    case 19:
        return 1.0 / (2.0 * std::sin(kPi / 8.0));
    default:
        return 1.0 / (2.0 * std::sin(3.0 * kPi / 8.0)); // 20, 21
    }
}

// sin^2(pi f_i / fs) and its square at every evaluation frequency.
struct PhiTable {
    std::array<double, kEqPoints> phi;
    std::array<double, kEqPoints> phi2;
};

const PhiTable& Phi() {
    static const PhiTable table = [] {
        PhiTable t;
        for (int i = 0; i < kEqPoints; ++i) {
            const double s = std::sin(kPi * EqEvalFrequency(i) / kEqSampleRate);
            t.phi[i] = s * s;
            t.phi2[i] = t.phi[i] * t.phi[i];
        }
        return t;
    }();
    return table;
}

bool ZeroesGain(int type) {
    return type == EQ_LP || type == EQ_HP || type > EQ_HS;
}

double SquaredSum(double x) {
    return x * x;
}

constexpr float kMicFrequencies[15] = {25,   40,   63,   100,  160,  250,   400,  630,
                                       1000, 1600, 2500, 4000, 6300, 10000, 16000};
constexpr float kEffectFrequencies[7] = {50, 100, 200, 400, 800, 1600, 3200};
constexpr float kTenBandFrequencies[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

// Sets 0, 1 mic chains; 2..5 echo and reverb; 6 music; 7..14 output
// channels (CH 6, set 12, shares its last four bands with the crossover
// band); 15 recording (the effect frequencies, its first five).
constexpr fx::EqSetFacts kSetFacts[kEqSetCount] = {
    {15, 15, 15, kMicFrequencies},     {15, 15, 15, kMicFrequencies},
    {7, 7, 7, kEffectFrequencies},     {7, 7, 7, kEffectFrequencies},
    {7, 7, 7, kEffectFrequencies},     {7, 7, 7, kEffectFrequencies},
    {10, 10, 11, kTenBandFrequencies}, {10, 10, 12, kTenBandFrequencies},
    {10, 10, 12, kTenBandFrequencies}, {10, 10, 12, kTenBandFrequencies},
    {10, 10, 12, kTenBandFrequencies}, {10, 10, 12, kTenBandFrequencies},
    {10, 6, 12, kTenBandFrequencies},  {10, 10, 12, kTenBandFrequencies},
    {10, 10, 12, kTenBandFrequencies}, {5, 5, 5, kEffectFrequencies},
};
constexpr fx::EqSetFacts kNoSet = {0, 0, 0, nullptr};

} // namespace

BiquadCoefficients ComputeBiquad(int type, double frequency, double gainDb, double q,
                                 double extraGainDb, double sampleRate) {
    const double w0 = 2.0 * kPi * frequency / sampleRate;
    const double cs = std::cos(w0);
    const double sn = std::sin(w0);
    const double g = std::pow(10.0, gainDb / 20.0);
    const double a = std::pow(10.0, gainDb / 40.0);
    const auto alphaFor = [sn](double quality) { return sn / (2.0 * quality); };
    switch (type) {
    case EQ_PEQ:
        return Peaking(cs, alphaFor(q), a, std::pow(10.0, extraGainDb / 20.0));
    case EQ_LP:
        return LowPass(cs, alphaFor(q), g);
    case EQ_HP:
        return HighPass(cs, alphaFor(q), g);
    case EQ_LS:
        return LowShelf(cs, sn, a, q);
    case EQ_HS:
        return HighShelf(cs, sn, a, q);
    case 6:
    case 7:
        return Ripple(type == 7, w0, g);
    case 10:
    case 11:
        return FirstOrder(type == 11, cs, sn, g);
    case 8:
    case 9:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21: {
        const double alpha = alphaFor(SectionQ(type));
        return type % 2 == 0 ? LowPass(cs, alpha, g) : HighPass(cs, alpha, g);
    }
    default:
        return AllPass(cs, alphaFor(q), extraGainDb);
    }
}

std::array<uint32_t, 5> EqCoefficientWords(int type, double frequency, double gainDb, double q) {
    const BiquadCoefficients c = ComputeBiquad(type, frequency, gainDb, q, 0.0, kEqSampleRate);
    const auto word = [](double value) {
        return std::bit_cast<uint32_t>(static_cast<float>(value));
    };
    return {word(-c.a1), word(-c.a2), word(c.b0), word(c.b1), word(c.b2)};
}

double EqEvalFrequency(int i) {
    return kEqAxisLowHz *
           std::pow(kEqAxisHighHz / kEqAxisLowHz, i / static_cast<double>(kEqPoints));
}

const std::array<double, kEqPoints>& EqEvalFrequencies() {
    static const std::array<double, kEqPoints> frequencies = [] {
        std::array<double, kEqPoints> f{};
        for (int i = 0; i < kEqPoints; ++i) f[i] = EqEvalFrequency(i);
        return f;
    }();
    return frequencies;
}

fx::SectionMagnitude::SectionMagnitude(const BiquadCoefficients& c)
    : nA((c.b0 + c.b1 + c.b2) * (c.b0 + c.b1 + c.b2)),
      nB(4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2)), nC(16.0 * c.b0 * c.b2),
      mA((1.0 + c.a1 + c.a2) * (1.0 + c.a1 + c.a2)), mB(4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2)),
      mC(16.0 * c.a2) {}

double fx::SectionMagnitude::Db(double phi, double phi2) const {
    const double n = nA - nB * phi + nC * phi2;
    const double m = mA - mB * phi + mC * phi2;
    // 10 log10(N) - 10 log10(M), with one logarithm instead of two.
    return 10.0 * std::log10(n / m);
}

void ComputeSectionResponse(const BiquadCoefficients& c, double* outDb) {
    const fx::SectionMagnitude magnitude(c);
    const PhiTable& phi = Phi();
    for (int i = 0; i < kEqPoints; ++i) outDb[i] = magnitude.Db(phi.phi[i], phi.phi2[i]);
}

EqBandLimits EqLimitsOf(int type) {
    const bool hasGain = !ZeroesGain(type);
    return {hasGain ? -15.0 : 0.0,
            hasGain ? 15.0 : 0.0,
            0.1,
            type == EQ_PEQ ? 30.0 : 2.0,
            20.0,
            20000.0};
}

int EqCopyCount(int set) {
    return fx::EqSetFactsOf(set).copyBands;
}

int EqBandCount(int set) {
    return fx::EqSetFactsOf(set).pageBands;
}

float EqInitialFrequency(int set, int band) {
    const fx::EqSetFacts& facts = fx::EqSetFactsOf(set);
    if (band < 0 || band >= facts.pageBands) return 100.0f;
    return facts.initialFrequencies[band];
}

namespace fx {

const EqSetFacts& EqSetFactsOf(int set) {
    return set >= 0 && set < kEqSetCount ? kSetFacts[set] : kNoSet;
}

double SectionMagnitudeDb(const BiquadCoefficients& c, double frequency) {
    const double s = std::sin(kPi * frequency / kEqSampleRate);
    const double phi = s * s;
    const double n = SquaredSum(c.b0 + c.b1 + c.b2) -
                     4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2) * phi +
                     16.0 * c.b0 * c.b2 * phi * phi;
    const double m = SquaredSum(1.0 + c.a1 + c.a2) - 4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2) * phi +
                     16.0 * c.a2 * phi * phi;
    return 10.0 * std::log10(n / m);
}

} // namespace fx
