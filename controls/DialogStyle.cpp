#include "controls/DialogStyle.h"

#include <QPalette>
#include <QWidget>

void ApplyPaleBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, PaleBackground());
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void ApplyValueStyle(QWidget* label) {
    label->setStyleSheet(QStringLiteral("QLabel { color: rgb(0, 90, 160); font-weight: bold; }"
                                        "QLabel:disabled { color: rgb(150, 160, 170); }"));
}

void ApplyToolWindowFrame(QWidget* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
}
