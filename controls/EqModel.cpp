// The graph's view of an EQ set: band objects with their 512-point
// responses, the band editing rules and the copying of whole sets.
#include "controls/EqModel.h"

#include <algorithm>
#include <cmath>

namespace {

// Index of the point that stands for frequency f on a plot of width pixels.
int PeakPointIndex(double frequency, int plotWidth) {
    const double width = plotWidth > 0 ? plotWidth : kEqPoints;
    const double u =
        std::log10(frequency / kEqAxisLowHz) / std::log10(kEqAxisHighHz / kEqAxisLowHz);
    const double index = std::floor(std::floor(width * u) / (width / kEqPoints));
    if (!(index >= 0.0)) return 0; // also a NaN from a nonpositive frequency
    return static_cast<int>(std::min(index, static_cast<double>(kEqPoints - 1)));
}

} // namespace

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

double EqFreqToX(double f, double left, double width) {
    return left + width * std::log10(f / kEqAxisLowHz) / std::log10(kEqAxisHighHz / kEqAxisLowHz);
}

double EqXToFreq(double dx, double width) {
    return kEqAxisLowHz * std::pow(10.0, std::log10(kEqAxisHighHz / kEqAxisLowHz) * dx / width);
}

double EqGainToY(double g, double top, double height) {
    return top + (15.0 - g) * height / 30.0;
}
