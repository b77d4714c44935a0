#include "shell/DialogStyle.h"

#include <QPalette>
#include <QWidget>

void ApplyPaleBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, PaleBackground());
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
