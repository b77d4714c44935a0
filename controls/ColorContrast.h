#pragma once

#include <QColor>

// How well a text colour reads on a background: the contrast ratio of their
// relative luminances (1 for equal colours, 21 for black on white); text
// reads well from 4.5.
double ContrastRatio(const QColor& text, const QColor& background);

// The background a list of coloured text gets: white for dark text, the EQ
// graph's near-black for light text (yellow, cyan, green), whichever makes
// the text read better.
QColor ReadableBackground(const QColor& text);
