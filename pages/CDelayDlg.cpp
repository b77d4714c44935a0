#include "pages/CDelayDlg.h"

#include "controls/CDelayPanel.h"
#include "controls/CSpinButton.h"
#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "pages/CPageNavRow.h"
#include "pages/CWheelRouter.h"
#include "pages/DialogControls.h"
#include "pages/PageRegistry.h"
#include "state/ChannelLinks.h"
#include "state/ParamImage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace {
using fx::page::kMargin;
using fx::page::kNavHeight;
constexpr int kHeaderTop = fx::page::kTop + 2;
constexpr int kHeaderHeight = 20;
constexpr int kChartTop = kHeaderTop + kHeaderHeight + 2;
constexpr int kControlHeight = 24;
constexpr int kGap = 5; // between a row's controls
constexpr int kMinChartWidth = 300;

// Widths of a row's columns: label, switch, the two radios, split slider
// and value, edit, spin.
enum Column { ColLabel, ColSwitch, ColHigh, ColWhole, ColSplit, ColSplitValue, ColEdit, ColSpin };
constexpr int kColumnWidth[] = {50, 56, 90, 88, 100, 56, 62, 16};
constexpr int kColumnCount = std::size(kColumnWidth);

constexpr int kSplitSliderIds[kOutputChannelCount] = {1014, 1015, 1016, 1017,
                                                      1018, 1019, 1022, 1023};
constexpr int kSplitValueIds[kOutputChannelCount] = {1008, 1009, 1010, 1011,
                                                     1012, 1013, 1020, 1021};
constexpr int kRowLabelIds[kOutputChannelCount] = {1123, 1124, 1125, 1126, 1131, 1135, 1132, 1136};

int ColumnLeft(Column column) {
    int x = kMargin;
    for (int c = 0; c < column; ++c) x += kColumnWidth[c] + kGap;
    return x;
}

int RowsWidth() {
    return ColumnLeft(ColSpin) + kColumnWidth[ColSpin] - kMargin;
}

QString TimeText(double ms) {
    return QString::asprintf("%.1fms", ms);
}

QString SplitText(int row) {
    return QString::asprintf("%dHz",
                             SplitFreqTable[std::clamp(row, 0, kSplitRowCount - 1)].splitHz);
}

// Tenths of a millisecond: the spin's steps and the edit's resolution.
int Tenths(double ms) {
    return int(std::lround(ms * 10.0));
}
} // namespace

CDelayDlg::CDelayDlg(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator)
    : CHalvoxPage(kResource, parent, store) {
    m_nav = new CPageNavRow(this, std::move(navigator));
    // Here 1074 is this page and 1075 the compressor page.
    m_nav->SetCurrent(IDC_NAV_DELAY);

    for (QLabel*& header : m_headers) header = new QLabel(this);
    m_chart = new CDelayPanel(this);
    SetCtrlId(m_chart, IDC_DELAY_CHART);
    fx::RegisterPageArtwork();
    m_chart->SetLimits(kDelayMinMs, kDelayMaxMs);
    m_chart->SetHandleImage(QImage(QStringLiteral(":/pages/delay-handle.png")));
    ApplyPaleBackground(m_chart);
    connect(m_chart, &CDelayPanel::DelayChanged, this, &CDelayDlg::OnChartDrag);
    for (int row = 0; row < kOutputChannelCount; ++row) CreateRow(row);

    m_wheel = new CWheelRouter(
        this,
        [](const QWidget* focus) {
            const int id = CtrlId(focus);
            return std::find(std::begin(kSplitSliderIds), std::end(kSplitSliderIds), id) !=
                   std::end(kSplitSliderIds);
        },
        [this](QWidget* focus, int direction) { return StepFocusedByWheel(focus, direction); });

    resize(parent ? parent->size() : QSize(1040, 560));
    Relabel();
    Reload();
}

int CDelayDlg::SplitSliderId(int row) {
    return kSplitSliderIds[row];
}

int CDelayDlg::SplitValueId(int row) {
    return kSplitValueIds[row];
}

int CDelayDlg::RowLabelId(int row) {
    return kRowLabelIds[row];
}

// ------------------------------------------------------------------ controls

void CDelayDlg::CreateRow(int row) {
    Row& r = m_rows[row];
    r.label = new QLabel(QStringLiteral("通道%1").arg(row + 1), this);
    SetCtrlId(r.label, RowLabelId(row));
    r.onSwitch = new QCheckBox(QString::fromUtf8("开关"), this);
    SetCtrlId(r.onSwitch, IDC_DELAY_SWITCH + row);
    connect(r.onSwitch, &QCheckBox::clicked, this,
            [this, row](bool checked) { OnSwitch(row, checked); });

    auto* modes = new QButtonGroup(this);
    r.highBand = new QRadioButton(QString::fromUtf8("高频延时"), this);
    SetCtrlId(r.highBand, IDC_DELAY_HIGH_BAND + 2 * row);
    r.wholeChannel = new QRadioButton(QString::fromUtf8("通道延时"), this);
    SetCtrlId(r.wholeChannel, IDC_DELAY_HIGH_BAND + 2 * row + 1);
    modes->addButton(r.highBand);
    modes->addButton(r.wholeChannel);
    connect(r.highBand, &QRadioButton::clicked, this, [this, row] { OnMode(row, false); });
    connect(r.wholeChannel, &QRadioButton::clicked, this, [this, row] { OnMode(row, true); });

    r.split = fx::MakeDialogSlider(this, SplitSliderId(row));
    r.split->SetRange(0, kSplitRowCount - 1);
    r.split->SetMargins(3, 3, 3, 2);
    r.split->SetAccentColor(CDelayPanel::RowColour(row));
    connect(r.split, &CXBmpSlider::PositionChanging, this,
            [this, row](int, int position) { OnSplit(row, position); });
    r.splitValue = fx::MakeValueLabel(this, SplitValueId(row));

    r.edit = new QLineEdit(this);
    SetCtrlId(r.edit, IDC_DELAY_EDIT + row);
    r.edit->setAlignment(Qt::AlignCenter);
    connect(r.edit, &QLineEdit::returnPressed, this, [this, row] { OnEditEnter(row); });
    r.spin = new CSpinButton(this);
    SetCtrlId(r.spin, IDC_DELAY_SPIN + row);
    r.spin->SetRange(kSpinMin, kSpinMax);
    connect(r.spin, &CSpinButton::Stepped, this,
            [this, row](int position) { OnSpin(row, position); });
}

// ------------------------------------------------------------------ layout

void CDelayDlg::resizeEvent(QResizeEvent* event) {
    CHalvoxPage::resizeEvent(event);
    Layout();
}

void CDelayDlg::Layout() {
    const int w = width();
    const int h = height();
    m_nav->Place(QRect(kMargin, kMargin, w - 2 * kMargin, kNavHeight));
    const Column headed[4] = {ColSwitch, ColHigh, ColSplit, ColEdit};
    const int spans[4] = {1, 2, 2, 2};
    for (int i = 0; i < 4; ++i) {
        const int left = ColumnLeft(headed[i]);
        const Column last = Column(headed[i] + spans[i] - 1);
        m_headers[i]->setGeometry(left, kHeaderTop, ColumnLeft(last) + kColumnWidth[last] - left,
                                  kHeaderHeight);
    }

    // The chart takes the rest; each row of controls sits beside its row.
    const int chartLeft = kMargin + RowsWidth() + 2 * kGap;
    const QRect chart(chartLeft, kChartTop, std::max(kMinChartWidth, w - chartLeft - kMargin),
                      std::max(160, h - kChartTop - kMargin));
    m_chart->setGeometry(chart);
    const double rowHeight =
        (chart.height() - CDelayPanel::kPlotTop - CDelayPanel::kPlotBottomGap) /
        double(kOutputChannelCount);
    for (int row = 0; row < kOutputChannelCount; ++row) {
        const Row& r = m_rows[row];
        const int centre = chart.top() + m_chart->HandleY(row) + int(rowHeight / 2);
        const int y = centre - kControlHeight / 2;
        const auto place = [&](QWidget* widget, Column column) {
            widget->setGeometry(ColumnLeft(column), y, kColumnWidth[column], kControlHeight);
        };
        place(r.label, ColLabel);
        place(r.onSwitch, ColSwitch);
        place(r.highBand, ColHigh);
        place(r.wholeChannel, ColWhole);
        r.split->setGeometry(ColumnLeft(ColSplit), y + 1, kColumnWidth[ColSplit],
                             kControlHeight - 2);
        place(r.splitValue, ColSplitValue);
        place(r.edit, ColEdit);
        place(r.spin, ColSpin);
    }
}

// ------------------------------------------------------------------ refresh

void CDelayDlg::Reload() {
    m_nav->SetCurrent(IDC_NAV_DELAY);
    for (int row = 0; row < kOutputChannelCount; ++row) LoadRow(row);
}

void CDelayDlg::LoadRow(int row) {
    const Row& r = m_rows[row];
    const int block = OutputBlock(row);
    r.onSwitch->setChecked(GetDspParam(block, OUT_DELAY_BYPASS) == 0);
    r.wholeChannel->setChecked(g_WholeChannelDelay()[row]);
    r.highBand->setChecked(!g_WholeChannelDelay()[row]);
    const int split = SplitRowOfChannel(row);
    r.split->SetPos(split);
    r.splitValue->setText(SplitText(split));
    // A stored time outside the page's range is shown as it is; the handle
    // and the spin stop at the nearest end.
    const double ms = GetDspParam(block, OUT_DELAY_TIME);
    m_chart->ShowRowValue(row, ms);
    r.edit->setText(TimeText(ms));
    r.spin->SetPos(Tenths(ms));
    EnableRow(row);
}

// The rule of every page for a switched-off delay: its mode, split and time
// can still be set (edit, spin, chart) and are drawn grey, as on the output
// page. The split means something in high-band mode only.
void CDelayDlg::EnableRow(int row) {
    const Row& r = m_rows[row];
    const bool on = r.onSwitch->isChecked();
    const bool highBand = r.highBand->isChecked();
    r.label->setEnabled(on);
    for (QWidget* widget : {static_cast<QWidget*>(r.highBand),
                            static_cast<QWidget*>(r.wholeChannel), static_cast<QWidget*>(r.edit)})
        fx::ShowFaint(widget, !on);
    r.split->setEnabled(highBand);
    r.split->SetFaint(!on);
    r.splitValue->setEnabled(on && highBand);
    m_chart->SetRowActive(row, on);
}

void CDelayDlg::Relabel() {
    LoadDialogTexts(this, kResource);
    m_nav->Relabel();
    m_headers[0]->setText(Tr("延时开关", "Delay"));
    m_headers[1]->setText(Tr("延时方式", "Delay mode"));
    m_headers[2]->setText(Tr("分频点", "Split frequency"));
    m_headers[3]->setText(Tr("延时时间", "Delay time"));
    m_chart->SetLanguage(g_Language);
    Layout();
}

// ------------------------------------------------------------------ actions

// Each change goes to the row's channel and the channels linked with it,
// whose rows then show it too.
void CDelayDlg::OnSwitch(int row, bool checked) {
    fx::SetLinkedDspParam(OutputBlock(row), OUT_DELAY_BYPASS, checked ? 0 : 1);
    LoadLinkedRows(row);
}

void CDelayDlg::OnMode(int row, bool wholeChannel) {
    fx::SetLinkedDelayMode(row, wholeChannel);
    LoadLinkedRows(row);
}

void CDelayDlg::OnSplit(int row, int position) {
    fx::SetLinkedDelaySplit(row, position);
    m_rows[row].splitValue->setText(SplitText(position));
    for (int linked : fx::ChannelsLinkedWith(row))
        if (linked != row) LoadRow(linked);
}

void CDelayDlg::LoadLinkedRows(int row) {
    for (int linked : fx::ChannelsLinkedWith(row)) LoadRow(linked);
}

void CDelayDlg::OnEditEnter(int row) {
    double ms = fx::ParseNumber(m_rows[row].edit->text());
    if (!std::isfinite(ms)) ms = 0.0; // not a number: raised to the least
    ApplyTime(row, std::clamp(ms, kDelayMinMs, kDelayMaxMs));
}

void CDelayDlg::OnSpin(int row, int position) {
    ApplyTime(row, position / 10.0);
}

void CDelayDlg::OnChartDrag(int row, double ms) {
    // The chart's time to the tenth the edit and the spin show.
    ApplyTime(row, std::clamp(Tenths(ms) / 10.0, kDelayMinMs, kDelayMaxMs));
    m_rows[row].edit->setFocus();
}

void CDelayDlg::ApplyTime(int row, double ms) {
    fx::SetLinkedDspParam(OutputBlock(row), OUT_DELAY_TIME, ms);
    for (int linked : fx::ChannelsLinkedWith(row)) ShowTime(linked, ms);
}

void CDelayDlg::ShowTime(int row, double ms) {
    m_chart->SetRowValue(row, ms);
    m_rows[row].edit->setText(TimeText(ms));
    m_rows[row].spin->SetPos(Tenths(ms));
}

// ------------------------------------------------------------------ wheel

int CDelayDlg::EditRow(const QWidget* widget) const {
    for (int row = 0; row < kOutputChannelCount; ++row)
        if (m_rows[row].edit == widget) return row;
    return -1;
}

// A wheel step over the page while a delay edit has the focus is a spin click.
bool CDelayDlg::StepFocusedByWheel(QWidget* focus, int direction) {
    const int row = EditRow(focus);
    if (row < 0) return false;
    m_rows[row].spin->Step(direction);
    return true;
}

FX_REGISTER_PAGE(PAGE_DELAY,
                 [](int, QWidget* parent, const CPageNavigator& navigator, fx::ParamStore& store)
                     -> CHalvoxPage* { return new CDelayDlg(parent, store, navigator); });
