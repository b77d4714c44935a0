#pragma once

#include "pages/CEqPageBase.h"
#include "pages/CLevelRows.h"
#include "pages/CPageNavigator.h"

#include <vector>

class CCompressorSection;
class CPageNavRow;
class CXBmpSlider;
class QGroupBox;
class QLabel;

namespace fx {

// The block the output and recording pages share: the navigation row along
// the top, the page picture over a frame of level rows, a frame holding the
// compressor section, and the EQ part. The page says which picture it shows,
// which navigation button is its own and what each level row reads; it builds
// the rest of itself between the steps below, in its own focus order.
class COutputSidePageBase : public CEqPageBase {
    Q_OBJECT
public:
    // Identifiers both pages give their shared controls.
    static constexpr int kPictureId = 1258;
    static constexpr int kFirstLevelId = 1041; // one per level row

    COutputSidePageBase(int pageId, QWidget* parent, fx::ParamStore& store);

    CCompressorSection& Compressor() const { return *m_comp; }
    CPageNavRow& NavRow() const { return *m_nav; }
    // Level row n's slider and value.
    CXBmpSlider* LevelSlider(int n) const;
    QLabel* LevelValue(int n) const;

protected:
    // The direct, reverb, echo and music level rows.
    static std::vector<LevelRowSpec> MixLevelRows();

    // The level rows, which report to OnLevel (their frame lies under the rest).
    void CreateLevels(const std::vector<LevelRowSpec>& rows);
    // The compressor's frame, the navigation row and the picture.
    void CreateHeader(CPageNavigator navigator);
    void CreateCompressor();

    // The texts of the dialog template and of the shared frames.
    void RelabelHeader(const QString& levelsTitle);
    // Picture, level rows, compressor and the pressed navigation button.
    void RefreshHeader();

    // The focused control (or the control it is part of) takes the wheel when
    // it is numbered from 1046 on, is the graph or a level slider, or the page
    // names it.
    bool TakesWheel(const QWidget* focus) const;

    virtual QString PicturePath() const = 0;
    virtual int OwnNavButton() const = 0;
    virtual int LevelPercent(int n) const = 0;
    virtual void OnLevel(int n, int position) = 0;
    virtual bool PageSliderTakesWheel(int id) const = 0;

    CPageNavRow* m_nav = nullptr;
    CCompressorSection* m_comp = nullptr;
    QLabel* m_picture = nullptr;
    CLevelRows* m_levels = nullptr;
    QGroupBox* m_compGroup = nullptr;
};

} // namespace fx
