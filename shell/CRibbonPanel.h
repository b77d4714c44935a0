#pragma once

#include <QFrame>

class QLabel;
class QBoxLayout;

// One panel of a ribbon category: its elements above, its caption below.
class CRibbonPanel : public QFrame {
    Q_OBJECT
public:
    CRibbonPanel(const QString& caption, bool stacked, QWidget* parent);

    QString Caption() const;
    void SetCaption(const QString& caption);
    // The area the panel's elements go into (a column or a row).
    QBoxLayout* Content() const { return m_content; }

private:
    QLabel* m_caption = nullptr;
    QBoxLayout* m_content = nullptr;
};
