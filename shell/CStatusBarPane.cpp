#include "shell/CStatusBarPane.h"

#include "controls/Localisation.h"

CStatusBarPane::CStatusBarPane(int id, const QString& text, int widthInCharacters, QWidget* parent)
    : QLabel(text, parent) {
    SetCtrlId(this, id);
    setMinimumWidth(fontMetrics().averageCharWidth() * widthInCharacters / 2);
    SetTextColor(m_textColor);
}

void CStatusBarPane::SetTextColor(const QColor& color) {
    m_textColor = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
}
