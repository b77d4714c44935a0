#include "pages/CWheelRouter.h"

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>

CWheelRouter::CWheelRouter(QWidget* page, TargetFn isTarget, FallbackFn fallback)
    : QObject(page), m_page(page), m_isTarget(std::move(isTarget)),
      m_fallback(std::move(fallback)) {
    // The wheel goes to the widget under the pointer first; the router has to
    // see it before that widget does.
    qApp->installEventFilter(this);
}

bool CWheelRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !watched->isWidgetType()) return false;
    auto* receiver = static_cast<QWidget*>(watched);
    if (receiver != m_page && !m_page->isAncestorOf(receiver)) return false;
    // The page's own focus child: the window need not be the active one.
    QWidget* active = QApplication::focusWidget();
    if (active && active != m_page && !m_page->isAncestorOf(active)) return false;
    QWidget* focus = m_page->focusWidget();
    if (!focus || receiver == focus || !m_page->isAncestorOf(focus)) return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (m_isTarget && m_isTarget(focus)) {
        QWheelEvent copy(focus->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                         wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                         wheel->modifiers(), wheel->phase(), wheel->inverted());
        QApplication::sendEvent(focus, &copy);
        return true;
    }
    const int delta = wheel->angleDelta().y();
    if (m_fallback && delta != 0) return m_fallback(focus, delta > 0 ? 1 : -1);
    return false;
}
