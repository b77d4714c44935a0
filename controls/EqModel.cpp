// The equaliser model: biquad coefficients at 48 kHz, 512-point magnitude
// responses, the band editing rules and the copying of whole sets.
#include "controls/EqModel.h"

#include "link/DebugLog.h"
#include "state/ImageEdits.h"
#include "state/ParamImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

int g_EqClipboardSet = -1;

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

// Index of the point that stands for frequency f on a plot of width pixels.
int PeakPointIndex(double frequency, int plotWidth) {
    const double width = plotWidth > 0 ? plotWidth : kEqPoints;
    const double u =
        std::log10(frequency / kEqAxisLowHz) / std::log10(kEqAxisHighHz / kEqAxisLowHz);
    const double index = std::floor(std::floor(width * u) / (width / kEqPoints));
    if (!(index >= 0.0)) return 0; // also a NaN from a nonpositive frequency
    return static_cast<int>(std::min(index, static_cast<double>(kEqPoints - 1)));
}

bool ZeroesGain(int type) {
    return type == EQ_LP || type == EQ_HP || type > EQ_HS;
}

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

void ComputeSectionResponse(const BiquadCoefficients& c, double* outDb) {
    const double nA = (c.b0 + c.b1 + c.b2) * (c.b0 + c.b1 + c.b2);
    const double nB = 4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2);
    const double nC = 16.0 * c.b0 * c.b2;
    const double mA = (1.0 + c.a1 + c.a2) * (1.0 + c.a1 + c.a2);
    const double mB = 4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2);
    const double mC = 16.0 * c.a2;
    const PhiTable& phi = Phi();
    for (int i = 0; i < kEqPoints; ++i) {
        const double n = nA - nB * phi.phi[i] + nC * phi.phi2[i];
        const double m = mA - mB * phi.phi[i] + mC * phi.phi2[i];
        // 10 log10(N) - 10 log10(M), with one logarithm instead of two.
        outDb[i] = 10.0 * std::log10(n / m);
    }
}

void ComputeBandResponse(EqBand& band, int plotWidth) {
    if (band.type == EQ_OFF) return;
    for (int s = 0; s < band.sectionCount && s < 4; ++s) {
        if (band.sections[s] == nullptr) continue;
        band.sections[s]->frequency = band.frequency;
        ComputeBandResponse(*band.sections[s], plotWidth);
    }
    const BiquadCoefficients c =
        ComputeBiquad(band.type, band.frequency, band.gain, band.q, 0.0, kEqSampleRate);
    double response[kEqPoints];
    ComputeSectionResponse(c, response);
    for (int i = 0; i < kEqPoints; ++i) band.response[i] = static_cast<float>(response[i]);
    if (band.type == EQ_PEQ) band.response[PeakPointIndex(band.frequency, plotWidth)] = band.gain;
}

void ComputeSetCurve(const EqBand* bands, int count, float* out) {
    std::fill(out, out + kEqPoints, 0.0f);
    for (int b = 0; b < count; ++b) {
        if (bands[b].type == EQ_OFF) continue;
        const float* response = bands[b].response.data();
        for (int i = 0; i < kEqPoints; ++i) out[i] += response[i];
    }
}

void LinkCompoundBand(EqBand& band, EqBand& first, EqBand& second, EqBand& third) {
    band.sectionCount = 3;
    band.sections[0] = &first;
    band.sections[1] = &second;
    band.sections[2] = &third;
    band.sections[3] = nullptr;
    for (EqBand* section : {&first, &second, &third}) {
        section->shown = 0;
        section->sectionCount = 0;
        section->frequency = band.frequency;
    }
}

void SetBandType(EqBand& band, int type, int plotWidth) {
    band.type = type;
    if (type == EQ_PEQ) {
        SetBandQ(band, 1.41f, plotWidth);
    } else if (type >= EQ_LP && type <= EQ_HS) {
        SetBandGain(band, 0.0f, plotWidth);
        SetBandQ(band, 0.7f, plotWidth);
    }
    ComputeBandResponse(band, plotWidth);
}

void SetBandTypeGrouped(EqBand& band, int type, int plotWidth) {
    if (band.sectionCount != 3) {
        SetBandType(band, type, plotWidth);
        return;
    }
    static constexpr std::array<int, 4> kGroupTypes[5] = {
        {1, 1, 1, 1}, {18, 20, 1, 1}, {19, 21, 1, 1}, {4, 1, 1, 1}, {5, 1, 1, 1}};
    if (type < EQ_PEQ || type > EQ_HS) return;
    band.gain = 0.0f;
    SetCompoundTypes(band, kGroupTypes[type - 1], plotWidth);
}

void SetCompoundTypes(EqBand& band, const std::array<int, 4>& types, int plotWidth) {
    band.type = types[0];
    for (int s = 0; s < 3; ++s) {
        if (band.sections[s] != nullptr) band.sections[s]->type = types[s + 1];
    }
    ComputeBandResponse(band, plotWidth);
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

void SetBandGain(EqBand& band, float gain, int plotWidth) {
    const EqBandLimits limits = EqLimitsOf(band.type);
    band.gain = std::clamp(gain, float(limits.gainLow), float(limits.gainHigh));
    ComputeBandResponse(band, plotWidth);
}

void SetBandQ(EqBand& band, float q, int plotWidth) {
    if (std::fabs(q) < 0.0000001f) return;
    const EqBandLimits limits = EqLimitsOf(band.type);
    band.q = std::clamp(q, float(limits.qLow), float(limits.qHigh));
    ComputeBandResponse(band, plotWidth);
}

int EqCopyCount(int set) {
    static constexpr int kCounts[kEqSetCount] = {15, 15, 7,  7,  7, 7,  10, 10,
                                                 10, 10, 10, 10, 6, 10, 10, 5};
    return set >= 0 && set < kEqSetCount ? kCounts[set] : 0;
}

int EqBandCount(int set) {
    if (set < 0 || set >= kEqSetCount) return 0;
    if (set <= 1) return 15;
    if (set <= 5) return 7;
    if (set <= 14) return 10;
    return 5;
}

float EqInitialFrequency(int set, int band) {
    static constexpr float kMic[15] = {25,   40,   63,   100,  160,  250,   400,  630,
                                       1000, 1600, 2500, 4000, 6300, 10000, 16000};
    static constexpr float kEffect[7] = {50, 100, 200, 400, 800, 1600, 3200};
    static constexpr float kTenBand[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    if (band < 0 || band >= EqBandCount(set)) return 100.0f;
    if (set <= 1) return kMic[band];
    if (set <= 5 || set == 15) return kEffect[band];
    return kTenBand[band];
}

bool CopyEqSet(int src, int dst) {
    if (src < 0 || src >= kEqSetCount) {
        DebugLogText("MX_CopyEQ src over range");
        return false;
    }
    if (dst < 0 || dst >= kEqSetCount) {
        DebugLogText("MX_CopyEQ dst over range");
        return false;
    }
    const fx::ImageEditScope paste(fx::ImageEditKind::EqPaste, dst);
    const int count = std::min(EqCopyCount(src), EqCopyCount(dst));
    const size_t size = static_cast<size_t>(count) * kEqBandRecordSize;
    uint8_t* target = g_PanelImage + EqBandOffset(dst, 0);
    const std::vector<uint8_t> before(target, target + size);
    std::memmove(target, g_PanelImage + EqBandOffset(src, 0), size);
    fx::NoteImageChange(EqBandOffset(dst, 0), before.data(), target, static_cast<int>(size));
    return ResendEqSet(dst);
}

double EqFreqToX(double f, double left, double width) {
    return left + width * std::log10(f / kEqAxisLowHz) / std::log10(kEqAxisHighHz / kEqAxisLowHz);
}

double EqXToFreq(double dx, double width) {
    return kEqAxisLowHz * std::pow(10.0, std::log10(kEqAxisHighHz / kEqAxisLowHz) * dx / width);
}

double EqGainToY(double g, double top, double height) {
    return top + (15.0 - g) * height / 30.0;
}
