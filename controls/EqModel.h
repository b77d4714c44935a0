#pragma once

#include "state/EqMath.h"

#include <array>

// The EQ graph's view of a band set: band objects with their responses as
// drawn, the band editing rules and the screen mapping. The filter maths
// itself is in state/EqMath.h.

constexpr int kMaxGraphBands = 40;

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

// Recomputes the band's response (a compound band first copies its frequency
// into its sections and recomputes them). Nothing happens for an OFF band.
// plotWidth is the graph's plot width in pixels, used to place the peaking
// pin (0 = no window: the model uses 512).
void ComputeBandResponse(EqBand& band, int plotWidth = kEqPoints);

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

// Screen mapping shared with the graph.
double EqFreqToX(double f, double left, double width);
double EqXToFreq(double dx, double width);
double EqGainToY(double g, double top, double height);
