#include "controls/ColorContrast.h"

#include <algorithm>
#include <cmath>

namespace {
const QColor kDarkBackground(20, 20, 20); // the EQ graph's background

double Channel(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& color) {
    return 0.2126 * Channel(color.redF()) + 0.7152 * Channel(color.greenF()) +
           0.0722 * Channel(color.blueF());
}
} // namespace

double ContrastRatio(const QColor& text, const QColor& background) {
    const double a = Luminance(text);
    const double b = Luminance(background);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor ReadableBackground(const QColor& text) {
    const QColor white(255, 255, 255);
    return ContrastRatio(text, white) >= ContrastRatio(text, kDarkBackground) ? white
                                                                              : kDarkBackground;
}
