#pragma once

#include "state/ImageEdits.h"

#include <QString>

// A short description of an edit for the Edit menu, in one language (0
// Chinese, 1 English): the parameter with its old and new value ("Mic A EQ
// band 5: 160 Hz → 220 Hz"), what was done to a whole EQ ("Reset CH 1 EQ"),
// and how many more parameters changed with it.
QString DescribeImageEdit(const fx::ImageEdit& edit, int language);
