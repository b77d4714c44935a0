#include "pages/CloudnessDlg.h"

#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CWheelRouter.h"
#include "pages/DialogControls.h"
#include "state/Features.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <cmath>

using fx::MakeDialogGroup;
using fx::MakeDialogLabel;
using fx::MakeDialogSlider;
using fx::MakeValueLabel;
using fx::SetCheckedQuietly;
using fx::WithCtrlId;

namespace {

// What a slider changes.
enum class Writes {
    Dsp,          // SetDspParam(block, parameter, position)
    BassBoost,    // SetBassBoost(-position)
    MusicLowPass, // the low-pass band of the music EQ
    LevelThreshold,
    LevelRatio,
    LevelAttack,
    LevelRelease,
};

struct SliderRow {
    int id;
    int captionId; // 0: the slider has no caption of its own
    const char* caption;
    int minimum, maximum;
    Writes writes;
    int block, parameter;
    const char* format; // of the value shown, position × unit
    double unit = 1.0;
    bool hidden = false;
};

const SliderRow kSliderRows[] = {
    {IDC_FEAT_LOW_FREQ, 1237, "低频", 70, 450, Writes::Dsp, 14, 0, "%.0fHz"},
    {IDC_FEAT_LOW_GAIN, 1132, "增益", 0, 12, Writes::Dsp, 14, 1, "%.0fdB"},
    {IDC_FEAT_MID_FREQ, 1138, "中频", 800, 5000, Writes::Dsp, 14, 2, "%.0fHz"},
    {IDC_FEAT_MID_GAIN, 1139, "增益", 0, 12, Writes::Dsp, 14, 3, "%.0fdB"},
    {IDC_FEAT_HIGH_FREQ, 1140, "高频", 3200, 18000, Writes::Dsp, 14, 4, "%.0fHz"},
    {IDC_FEAT_HIGH_GAIN, 1141, "增益", 0, 12, Writes::Dsp, 14, 5, "%.0fdB"},
    {IDC_FEAT_HARMONIC_GAIN, 1142, "谐波增益", 0, 100, Writes::Dsp, 14, 6, "%.0f%%"},
    {IDC_FEAT_HARMONIC_ORDER, 1143, "谐波次数比", 0, 100, Writes::Dsp, 14, 7, "%.0f%%"},
    {IDC_FEAT_HARMONIC_MIX, 1144, "谐波比例", 0, 100, Writes::Dsp, 14, 8, "%.0f%%"},
    {IDC_FEAT_EXCITER_LEVEL, 1145, "激励总音量", 0, 100, Writes::Dsp, 14, 9, "%.0f%%", 1.0, true},
    // Position p is the boost g = -p dB, shown with its sign as the Edit menu
    // and fxtunectl show it.
    {IDC_FEAT_BASS_BOOST, 0, "", int(-kBassBoostMaxDb), int(-kBassBoostMinDb), Writes::BassBoost, 0,
     0, "%.0fdB", -1.0},
    {IDC_FEAT_LPF_FREQ, 1002, "音乐低频频率", 20, 300, Writes::MusicLowPass, 0, 0, "%.0fHz"},
    {IDC_FEAT_LPF_DELAY, 1003, "音乐低频延时", 0, 20, Writes::Dsp, 4, 39, "%.0fms"},
    {IDC_FEAT_LPF_GAIN, 1131, "音乐低频增益", 0, 300, Writes::Dsp, 4, 40, "%.0f%%"},
    {IDC_FEAT_SUB_LEVEL, 1133, "超低比例", 0, 100, Writes::Dsp, 1, 13, "%.0f%%"},
    // The automatic level has the compressor's ranges; the ratio slider counts tenths.
    {IDC_FEAT_LEVEL_THRESHOLD, 1134, "阈值", int(kCompThresholdMinDb), int(kCompThresholdMaxDb),
     Writes::LevelThreshold, 0, 0, "%.0fdB"},
    {IDC_FEAT_LEVEL_RATIO, 1135, "比率", int(kCompRatioMin * 10), int(kCompRatioMax * 10),
     Writes::LevelRatio, 0, 0, "%.1f:1", 0.1, true},
    {IDC_FEAT_LEVEL_ATTACK, 1136, "启动时间", int(kCompAttackMinMs), int(kCompAttackMaxMs),
     Writes::LevelAttack, 0, 0, "%.0fms"},
    {IDC_FEAT_LEVEL_RELEASE, 1137, "释放时间", int(kCompReleaseMinMs), int(kCompReleaseMaxMs),
     Writes::LevelRelease, 0, 0, "%.0fms"},
};

// A switch: checked means on, which some switches store as 0. Mic Max Bass
// switches both chains, A first.
struct CheckRow {
    int id;
    const char* text;
    int block, parameter;
    bool onWhenZero;
    int secondParameter = -1;
};

const CheckRow kCheckRows[] = {
    {IDC_FEAT_EQ_ON, "均衡启用", 14, 10, false},
    {IDC_FEAT_EXCITER_ON, "激励启用", 14, 11, false},
    {IDC_FEAT_MIC_MAX_BASS, "话筒低音增强", 1, 43, true, 70},
    {IDC_FEAT_SUB_ON, "启用", 1, 12, false},
    {IDC_FEAT_LEVEL_ON, "启用", kAutoLevelBlock, kAutoLevelSwitchParameter, true},
};

constexpr int kMusicEqSet = 6;
constexpr int kMusicLowPassBand = 10;
constexpr double kMusicLowPassQ = 0.707;

// The value a slider shows, in the units of its text.
double ShownValue(const fx::ParamStore& store, const SliderRow& row) {
    switch (row.writes) {
    case Writes::Dsp:
        return GetDspParam(row.block, row.parameter);
    case Writes::BassBoost:
        return BassBoostDb();
    case Writes::MusicLowPass: {
        const uint8_t* band = store.Panel() + EqBandOffset(kMusicEqSet, kMusicLowPassBand);
        return DecodeEqBandRecord(band).frequency;
    }
    case Writes::LevelThreshold:
        return g_AutoLevel().thresholdDb;
    case Writes::LevelRatio:
        return g_AutoLevel().ratio;
    case Writes::LevelAttack:
        return g_AutoLevel().attackMs;
    case Writes::LevelRelease:
        return g_AutoLevel().releaseMs;
    }
    return 0.0;
}

void Write(const SliderRow& row, int position) {
    const CompressorValues level = g_AutoLevel();
    switch (row.writes) {
    case Writes::Dsp:
        SetDspParam(row.block, row.parameter, position);
        break;
    case Writes::BassBoost:
        SetBassBoost(-position);
        break;
    case Writes::MusicLowPass:
        SetEqBand(kMusicEqSet, kMusicLowPassBand, EQ_LP, position, 0.0, kMusicLowPassQ);
        break;
    case Writes::LevelThreshold:
        SetAutoLevel(position, level.ratio, level.attackMs, level.releaseMs);
        break;
    case Writes::LevelRatio:
        SetAutoLevel(level.thresholdDb, position * row.unit, level.attackMs, level.releaseMs);
        break;
    case Writes::LevelAttack:
        SetAutoLevel(level.thresholdDb, level.ratio, position, level.releaseMs);
        break;
    case Writes::LevelRelease:
        SetAutoLevel(level.thresholdDb, level.ratio, level.attackMs, position);
        break;
    }
}

bool IsOn(const CheckRow& row) {
    const bool nonzero = GetDspParam(row.block, row.parameter) != 0.0;
    return row.onWhenZero ? !nonzero : nonzero;
}

// Layout: rows of caption, slider and value text.
constexpr int kRowHeight = 24;
constexpr int kCaptionWidth = 112;
constexpr int kCloseWidth = 96;
constexpr int kValueWidth = 64;

} // namespace

CloudnessDlg::CloudnessDlg(fx::ParamStore& store, QWidget* parent)
    : QDialog(parent), m_store(store) {
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyPaleBackground(this);
    ApplyToolWindowFrame(this);
    setWindowTitle(Tr("特色功能", "Features"));
    CreateControls();
    LayOut();
    m_wheel = new CWheelRouter(this, [this](const QWidget* focus) {
        for (const SliderControls& controls : m_sliders)
            if (focus == controls.slider) return true;
        return false;
    });
    Reload();
    Relabel();
}

void CloudnessDlg::CreateControls() {
    MakeDialogGroup(this, IDC_FEAT_EXCITER_GROUP, "话筒激励");
    MakeDialogGroup(this, IDC_FEAT_MUSIC_GROUP, "音乐");
    MakeDialogGroup(this, IDC_FEAT_SUB_GROUP, "自动超低");
    MakeDialogGroup(this, IDC_FEAT_LEVEL_GROUP, "音乐输入电平自动控制");
    m_bassFrame = MakeDialogGroup(this, 0, "");
    m_subNote = MakeDialogLabel(this, IDC_FEAT_SUB_NOTE,
                                "当检测到话筒信号时，超低音量自动调节成所设置的超低比例，"
                                "1秒之后，超低音量逐渐恢复成正常比例");
    m_subNote->setWordWrap(true);
    m_close = WithCtrlId(kCloseId, new QPushButton(QString::fromUtf8("关闭"), this));
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    m_subNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (int i = 0; i < static_cast<int>(std::size(kSliderRows)); ++i) {
        const SliderRow& row = kSliderRows[i];
        SliderControls controls{i, nullptr, MakeDialogSlider(this, row.id), MakeValueLabel(this)};
        if (row.captionId != 0)
            controls.caption = MakeDialogLabel(this, row.captionId, row.caption);
        controls.slider->SetRange(row.minimum, row.maximum);
        if (row.hidden) {
            for (QWidget* widget :
                 {static_cast<QWidget*>(controls.caption), static_cast<QWidget*>(controls.slider),
                  static_cast<QWidget*>(controls.value)})
                if (widget) widget->hide();
        }
        m_sliders.push_back(controls);
    }
    for (int i = 0; i < static_cast<int>(std::size(kCheckRows)); ++i) {
        const CheckRow& row = kCheckRows[i];
        m_checks.push_back(
            {i, WithCtrlId(row.id, new QCheckBox(QString::fromUtf8(row.text), this))});
    }
    // Connected once the vectors stop growing: the lambdas keep addresses.
    for (const SliderControls& controls : m_sliders)
        connect(controls.slider, &CXBmpSlider::PositionChanging, this,
                [this, &controls](int, int position) { OnSlider(controls, position); });
    for (const CheckControls& controls : m_checks)
        connect(controls.box, &QCheckBox::clicked, this,
                [this, &controls](bool checked) { OnCheck(controls, checked); });
}

void CloudnessDlg::LayOut() {
    auto group = [this](int id) {
        for (QGroupBox* box : findChildren<QGroupBox*>())
            if (CtrlId(box) == id) return box;
        return static_cast<QGroupBox*>(nullptr);
    };
    auto row = [this](int id, int x, int y, int sliderWidth) {
        const SliderControls* controls = FindSlider(id);
        if (controls->caption) controls->caption->setGeometry(x, y, kCaptionWidth, kRowHeight);
        controls->slider->setGeometry(x + kCaptionWidth + 4, y, sliderWidth, kRowHeight);
        controls->value->setGeometry(x + kCaptionWidth + 8 + sliderWidth, y, kValueWidth,
                                     kRowHeight);
    };
    auto check = [this](int id, int x, int y, int width) {
        CheckBox(id)->setGeometry(x, y, width, kRowHeight);
    };

    // Left: the microphone exciter, and the bass boost in a frame of its own.
    constexpr int kLeft = 26, kLeftSlider = 200;
    group(IDC_FEAT_EXCITER_GROUP)->setGeometry(12, 8, 424, 354);
    check(IDC_FEAT_EQ_ON, kLeft, 32, 200);
    const int eqRows[] = {IDC_FEAT_LOW_FREQ, IDC_FEAT_LOW_GAIN,  IDC_FEAT_MID_FREQ,
                          IDC_FEAT_MID_GAIN, IDC_FEAT_HIGH_FREQ, IDC_FEAT_HIGH_GAIN};
    for (int i = 0; i < 6; ++i) row(eqRows[i], kLeft, 62 + 28 * i, kLeftSlider);
    check(IDC_FEAT_EXCITER_ON, kLeft, 240, 200);
    const int harmonicRows[] = {IDC_FEAT_HARMONIC_GAIN, IDC_FEAT_HARMONIC_ORDER,
                                IDC_FEAT_HARMONIC_MIX};
    for (int i = 0; i < 3; ++i) row(harmonicRows[i], kLeft, 270 + 28 * i, kLeftSlider);
    row(IDC_FEAT_EXCITER_LEVEL, kLeft, 326, kLeftSlider); // hidden
    m_bassFrame->setGeometry(12, 370, 424, 56);
    check(IDC_FEAT_MIC_MAX_BASS, kLeft, 386, kCaptionWidth);
    row(IDC_FEAT_BASS_BOOST, kLeft, 386, kLeftSlider);

    // Right: music max-bass, automatic subwoofer ducking, automatic music level.
    constexpr int kRight = 462, kRightSlider = 166;
    group(IDC_FEAT_MUSIC_GROUP)->setGeometry(448, 8, 372, 124);
    row(IDC_FEAT_LPF_FREQ, kRight, 34, kRightSlider);
    row(IDC_FEAT_LPF_DELAY, kRight, 64, kRightSlider);
    row(IDC_FEAT_LPF_GAIN, kRight, 94, kRightSlider);
    group(IDC_FEAT_SUB_GROUP)->setGeometry(448, 140, 372, 142);
    m_subNote->setGeometry(kRight, 162, 344, 50);
    check(IDC_FEAT_SUB_ON, kRight, 218, 200);
    row(IDC_FEAT_SUB_LEVEL, kRight, 248, kRightSlider);
    group(IDC_FEAT_LEVEL_GROUP)->setGeometry(448, 290, 372, 136);
    check(IDC_FEAT_LEVEL_ON, kRight, 312, 200);
    row(IDC_FEAT_LEVEL_THRESHOLD, kRight, 340, kRightSlider);
    row(IDC_FEAT_LEVEL_RATIO, kRight, 340, kRightSlider);
    row(IDC_FEAT_LEVEL_ATTACK, kRight, 368, kRightSlider);
    row(IDC_FEAT_LEVEL_RELEASE, kRight, 396, kRightSlider);
    m_close->setGeometry(820 - kCloseWidth, 436, kCloseWidth, 28);
    setFixedSize(832, 474);
}

const CloudnessDlg::SliderControls* CloudnessDlg::FindSlider(int id) const {
    for (const SliderControls& controls : m_sliders)
        if (kSliderRows[controls.row].id == id) return &controls;
    return nullptr;
}

CXBmpSlider* CloudnessDlg::Slider(int id) const {
    const SliderControls* controls = FindSlider(id);
    return controls ? controls->slider : nullptr;
}

QLabel* CloudnessDlg::ValueText(int sliderId) const {
    const SliderControls* controls = FindSlider(sliderId);
    return controls ? controls->value : nullptr;
}

QCheckBox* CloudnessDlg::CheckBox(int id) const {
    for (const CheckControls& controls : m_checks)
        if (kCheckRows[controls.row].id == id) return controls.box;
    return nullptr;
}

void CloudnessDlg::Relabel() {
    LoadDialogTexts(this, kResource);
}

void CloudnessDlg::Reload() {
    for (const CheckControls& controls : m_checks)
        SetCheckedQuietly(controls.box, IsOn(kCheckRows[controls.row]));
    for (const SliderControls& controls : m_sliders)
        ShowSlider(controls, ShownValue(m_store, kSliderRows[controls.row]));
}

void CloudnessDlg::ShowSlider(const SliderControls& controls, double value) {
    const SliderRow& row = kSliderRows[controls.row];
    const double position = value / row.unit;
    controls.slider->SetPos(std::isfinite(position) ? static_cast<int>(std::lround(position)) : 0);
    controls.value->setText(QString::asprintf(row.format, value + 0.0)); // no "-0"
}

void CloudnessDlg::OnSlider(const SliderControls& controls, int position) {
    const SliderRow& row = kSliderRows[controls.row];
    Write(row, position);
    controls.value->setText(QString::asprintf(row.format, position * row.unit + 0.0));
}

void CloudnessDlg::OnCheck(const CheckControls& controls, bool checked) {
    const CheckRow& row = kCheckRows[controls.row];
    const int value = row.onWhenZero ? !checked : checked;
    SetDspParam(row.block, row.parameter, value);
    if (row.secondParameter >= 0) SetDspParam(row.block, row.secondParameter, value);
}

void CloudnessDlg::reject() {
    QDialog::reject();
    close();
}
