#pragma once

#include <QWidget>

#include <vector>

// Page switcher: holds up to kMaxChildren child windows, each sized to the
// whole client area, and shows one of them at a time.
class CTabWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxChildren = 16;

    explicit CTabWnd(QWidget* parent = nullptr);

    // Takes a child (reparented to this window); returns its index, or -1 when
    // the switcher is full. The first child added is the one shown.
    int AddChild(QWidget* child);
    int Count() const { return int(m_children.size()); }
    QWidget* Child(int index) const;
    // Shows child index and hides the others; returns the previously active
    // index, or -1 without changing anything when index is out of range.
    int SetActive(int index);
    int Active() const { return m_active; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<QWidget*> m_children;
    int m_active = -1;
};
