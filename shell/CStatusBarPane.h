#pragma once

#include <QColor>
#include <QLabel>

// A status bar pane whose text colour is a field of its own (red when made).
class CStatusBarPane : public QLabel {
    Q_OBJECT
public:
    CStatusBarPane(int id, const QString& text, int widthInCharacters, QWidget* parent);

    QColor TextColor() const { return m_textColor; }
    void SetTextColor(const QColor& color);

private:
    QColor m_textColor{255, 0, 0};
};
