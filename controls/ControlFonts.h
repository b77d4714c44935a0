#pragma once

#include <QFont>

// The fonts the drawn controls ask for by name, each with the families that
// stand in for it where it is not installed. Sizes are in pixels.
QFont ArialFont(int pixelSize);
QFont TahomaFont(int pixelSize);
QFont SongFont(int pixelSize); // 宋体
QFont HeiFont(int pixelSize);  // 黑体
