#include "controls/CTabWnd.h"

CTabWnd::CTabWnd(QWidget* parent) : QWidget(parent) {}

int CTabWnd::AddChild(QWidget* child) {
    if (!child || Count() >= kMaxChildren) return -1;
    child->setParent(this);
    child->setGeometry(rect());
    m_children.push_back(child);
    const int index = Count() - 1;
    if (m_active < 0) {
        m_active = index;
        child->show();
    } else {
        child->hide();
    }
    return index;
}

QWidget* CTabWnd::Child(int index) const {
    return index >= 0 && index < Count() ? m_children[index] : nullptr;
}

int CTabWnd::SetActive(int index) {
    if (index < 0 || index >= Count()) return -1;
    const int previous = m_active;
    m_active = index;
    for (int i = 0; i < Count(); ++i) m_children[i]->setVisible(i == index);
    return previous;
}

void CTabWnd::resizeEvent(QResizeEvent* event) {
    // Every child fills the client area; the shown one stays shown.
    for (QWidget* child : m_children) child->setGeometry(rect());
    QWidget::resizeEvent(event);
}
