#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Wheel messages over a page go to the control that has the keyboard focus
// when the page says it takes them (a slider or the EQ graph), whatever
// control is under the pointer. The fallback lets the page use a wheel step
// itself (the effect list moves its slider).
class CWheelRouter : public QObject {
    Q_OBJECT
public:
    using TargetFn = std::function<bool(const QWidget* focus)>;
    using FallbackFn = std::function<bool(QWidget* focus, int direction)>;

    CWheelRouter(QWidget* page, TargetFn isTarget, FallbackFn fallback = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_page;
    TargetFn m_isTarget;
    FallbackFn m_fallback;
};
