#include "controls/ControlFonts.h"

#include <QStringList>

QFont ArialFont(int pixelSize) {
    QFont font;
    font.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans Condensed", "DejaVu Sans"});
    font.setPixelSize(pixelSize);
    return font;
}

QFont TahomaFont(int pixelSize) {
    QFont font;
    font.setFamilies({"Tahoma", "DejaVu Sans", "Liberation Sans"});
    font.setPixelSize(pixelSize);
    return font;
}

QFont SongFont(int pixelSize) {
    QFont font;
    font.setFamilies({"SimSun", "宋体", "NSimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC"});
    font.setPixelSize(pixelSize);
    return font;
}

QFont HeiFont(int pixelSize) {
    QFont font;
    font.setFamilies({"SimHei", "黑体", "WenQuanYi Micro Hei", "Noto Sans CJK SC"});
    font.setPixelSize(pixelSize);
    return font;
}
