#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

// Image push button with normal, hovered, pressed and disabled looks (a
// second set for the "on" state of a toggle button). Without images it draws
// its own rounded look in code. Hover shows the hovered look and the tooltip.
class CGdipButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Look { Normal = 0, Hovered = 1, Pressed = 2, Disabled = 3, LookCount = 4 };

    explicit CGdipButton(QWidget* parent = nullptr);

    // Images for the looks (resource paths); empty paths keep the drawn look.
    // toggledOn selects the set used while a toggle button is on.
    void SetImages(const QString& normal, const QString& hovered, const QString& pressed,
                   const QString& disabled, bool toggledOn = false);
    void SetTextColor(const QColor& color);
    void SetToggle(bool toggle);
    bool IsToggle() const { return isCheckable(); }
    void SetTooltip(const QString& text) { setToolTip(text); }
    // Colour of the drawn look's face (ignored when images are set).
    void SetFaceColor(const QColor& color);

    bool HoverShown() const { return m_hover; }
    Look CurrentLook() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PaintDrawnLook(QPainter& p, Look look);

    QPixmap m_images[2][LookCount];
    QColor m_textColor{255, 255, 255};
    QColor m_face{48, 96, 150};
    bool m_hover = false;
};
