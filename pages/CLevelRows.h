#pragma once

#include <QColor>
#include <QObject>
#include <QRect>

#include <vector>

class CXBmpSlider;
class QGroupBox;
class QLabel;
class QWidget;

// One level row: its slider's, caption's and value's identifiers, the
// caption of the dialog template and the slider's colour.
struct LevelRowSpec {
    int sliderId;
    int captionId;
    int valueId;
    const char* caption;
    QColor accent;
};

// A titled frame of 0..100 % level rows (caption, slider, "%d%%" value), as
// the output and recording pages show their mix levels. The controls are
// direct children of the page, so its language file relabels them; a moved
// slider shows its value and reports the row, the page writes it.
class CLevelRows : public QObject {
    Q_OBJECT
public:
    CLevelRows(QWidget* page, const std::vector<LevelRowSpec>& rows);

    int Count() const { return int(m_sliders.size()); }
    void SetTitle(const QString& title);
    // Slider and value of row n at a level (the slider keeps to its range).
    void Show(int n, int percent);
    // The frame fills area; the rows share its height under the title.
    void Place(const QRect& area);
    bool IsWheelTarget(const QWidget* widget) const;

    CXBmpSlider* Slider(int n) const { return m_sliders[n]; }
    QLabel* Value(int n) const { return m_values[n]; }

signals:
    void LevelMoved(int n, int position);

private:
    QGroupBox* m_group;
    std::vector<CXBmpSlider*> m_sliders;
    std::vector<QLabel*> m_captions;
    std::vector<QLabel*> m_values;
};
