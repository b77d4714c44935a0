#include "pages/CLevelRows.h"

#include "controls/CXBmpSlider.h"
#include "pages/DialogControls.h"

#include <QGroupBox>
#include <QLabel>

#include <algorithm>

namespace {
constexpr int kGroupTitle = 20;
constexpr int kCaptionWidth = 84;
constexpr int kValueWidth = 48;
constexpr int kSliderHeight = 21;

QString PercentText(int percent) {
    return QString::asprintf("%d%%", percent);
}
} // namespace

CLevelRows::CLevelRows(QWidget* page, const std::vector<LevelRowSpec>& rows) : QObject(page) {
    // The frame first, so the rows lie above it.
    m_group = fx::MakePageGroup(page);
    for (const LevelRowSpec& row : rows) {
        const int n = Count();
        m_captions.push_back(fx::MakePageCtrl<QLabel>(page, row.captionId, row.caption));
        CXBmpSlider* slider = fx::MakePageSlider(page, row.sliderId, 0, 100);
        slider->SetAccentColor(row.accent);
        connect(slider, &CXBmpSlider::PositionChanging, this, [this, n](int, int position) {
            m_values[n]->setText(PercentText(position));
            emit LevelMoved(n, position);
        });
        m_sliders.push_back(slider);
        m_values.push_back(fx::MakeValueLabel(page, row.valueId));
    }
}

void CLevelRows::SetTitle(const QString& title) {
    m_group->setTitle(title);
}

void CLevelRows::Show(int n, int percent) {
    m_sliders[n]->SetPos(percent);
    m_values[n]->setText(PercentText(percent));
}

void CLevelRows::Place(const QRect& area) {
    m_group->setGeometry(area);
    const int row = (area.height() - kGroupTitle - 6) / std::max(1, Count());
    const int x = area.left() + 8;
    const int inner = area.width() - 16;
    const int sliderHeight = std::min(kSliderHeight, row - 4);
    for (int n = 0; n < Count(); ++n) {
        const int y = area.top() + kGroupTitle + n * row;
        m_captions[n]->setGeometry(x, y, kCaptionWidth, row);
        m_sliders[n]->setGeometry(x + kCaptionWidth + 4, y + (row - sliderHeight) / 2,
                                  inner - kCaptionWidth - kValueWidth - 8, sliderHeight);
        m_values[n]->setGeometry(x + inner - kValueWidth, y, kValueWidth, row);
    }
}

bool CLevelRows::IsWheelTarget(const QWidget* widget) const {
    return std::find(m_sliders.begin(), m_sliders.end(), widget) != m_sliders.end();
}
