#include "controls/CEqPanel.h"

#include "controls/ControlFonts.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPlotLeft = 36; // at least; wider where the gain labels need it
constexpr int kPlotTop = 18;
constexpr int kPlotRightGap = 6;
constexpr int kPlotBottomGap = 20;
constexpr float kGainAxisTop = 15.0f;
constexpr float kGainAxisSpan = 30.0f;
constexpr float kLeftHitRadius = 10.0f;
constexpr float kRightHitRadius = 16.0f;
constexpr int kSet12 = 12;
constexpr int kSet12ShownBands = 7;
constexpr float kInitialQ = 1.41f;
constexpr double kCurveTension = 0.1;
// X11 keysyms of the two Ctrl keys.
constexpr quint32 kKeysymControlL = 0xffe3;
constexpr quint32 kKeysymControlR = 0xffe4;

const QColor kBackground(20, 20, 20);
const QColor kGridLine(64, 64, 64);
const QColor kGridText(128, 128, 128);
const QColor kTitleColor(255, 255, 0);
const QColor kCaptionGrey(180, 180, 180);
const QColor kValueGreen(16, 255, 16);
const QColor kInfoGreen(0, 255, 0);
const QColor kInfoYellow(255, 255, 0);
const QColor kInfoRed(255, 0, 0);
const QColor kOverflowRed(255, 70, 70);
constexpr float kOverflowTolerance = 0.05f;

const char* const kTitles[kEqSetCount][2] = {
    {"话筒A均衡", "Mic A EQ"},  {"话筒B均衡", "Mic B EQ"},    {"回声A均衡", "Echo A EQ"},
    {"回声B均衡", "Echo B EQ"}, {"混响A均衡", "Reverb A EQ"}, {"混响B均衡", "Reverb B EQ"},
    {"音乐均衡", "Music EQ"},   {"通道1均衡", "CH1 EQ"},      {"通道2均衡", "CH2 EQ"},
    {"通道3均衡", "CH3 EQ"},    {"通道4均衡", "CH4 EQ"},      {"通道5均衡", "CH5 EQ"},
    {"通道6均衡", "CH6 EQ"},    {"通道7均衡", "CH7 EQ"},      {"通道8均衡", "CH8 EQ"},
    {"录音均衡", "Record EQ"},
};

const char* const kTypeMenuTexts[5][2] = {
    {"参量(PEQ)", "PEQ"}, {"低通(LP)", "LP"}, {"高通(HP)", "HP"},
    {"低架(LS)", "LS"},   {"高架(HS)", "HS"},
};

// The first seven entries are the product's; the rest only tell bands apart.
const QRgb kPalette[35] = {
    qRgb(250, 100, 180), qRgb(255, 80, 255),  qRgb(80, 80, 255),   qRgb(80, 255, 100),
    qRgb(255, 255, 100), qRgb(255, 100, 100), qRgb(255, 180, 20),  qRgb(100, 220, 255),
    qRgb(180, 120, 255), qRgb(120, 255, 200), qRgb(255, 140, 60),  qRgb(200, 255, 80),
    qRgb(255, 120, 160), qRgb(90, 170, 255),  qRgb(230, 200, 140), qRgb(160, 255, 160),
    qRgb(255, 90, 200),  qRgb(140, 140, 255), qRgb(255, 220, 60),  qRgb(60, 230, 180),
    qRgb(255, 160, 120), qRgb(200, 140, 255), qRgb(120, 220, 120), qRgb(255, 200, 200),
    qRgb(120, 200, 255), qRgb(240, 240, 140), qRgb(200, 100, 140), qRgb(100, 255, 255),
    qRgb(255, 130, 255), qRgb(170, 210, 90),  qRgb(230, 150, 90),  qRgb(150, 180, 230),
    qRgb(255, 255, 200), qRgb(200, 255, 255), qRgb(255, 200, 255),
};

// Point sizes of the graph's fonts at 96 dpi, in pixels.
constexpr int kLabelFontPx = 11;  // 8.4-point Arial
constexpr int kNumberFontPx = 11; // 8-point Arial
constexpr int kInfoFontPx = 12;   // 9-point 宋体
constexpr int kTextFontPx = 13;   // 宋体, height 13
constexpr int kBypassFontPx = 72; // 黑体, height 72

QString GainText(float gain) {
    return QString::asprintf("%+-.1fdB", double(gain));
}

QString GainLabel(int gain) {
    return QString::asprintf("%+-.0fdB", double(gain));
}

// The plot starts right of the widest gain label ("+15dB") and 3 pixels more.
int PlotLeftFor(const QFont& labelFont) {
    const QFontMetricsF metrics(labelFont);
    double widest = 0.0;
    for (int g = -15; g <= 15; g += 3)
        widest = std::max(widest, metrics.horizontalAdvance(GainLabel(g)));
    return std::max(kPlotLeft, int(std::ceil(widest)) + 5);
}

bool GainEditable(int type) {
    return type == EQ_PEQ || type == EQ_LS || type == EQ_HS;
}

bool LowPassLike(int type) {
    return type == EQ_LP || (type >= 6 && type <= 20 && type % 2 == 0);
}

bool HighPassLike(int type) {
    return type == EQ_HP || (type >= 7 && type <= 21 && type % 2 == 1);
}

bool NarrowQType(int type) {
    return type >= EQ_LP && type <= EQ_HS;
}

bool ValidBand(int index) {
    return index >= 0 && index < kMaxGraphBands;
}

// Steps of 0.1 dB and 0.01 in float would drift off the image's 0.1 dB and
// 0.001 grid; keep the results on it.
float OnGainGrid(float gain) {
    return float(std::round(double(gain) * 10.0) / 10.0);
}

float OnQGrid(float q) {
    return float(std::round(double(q) * 1000.0) / 1000.0);
}

QColor WithAlpha(QColor color, int alpha) {
    color.setAlpha(alpha);
    return color;
}

// Appends a cardinal spline through points (GDI+-style tension) to a path
// that already stands at points.front().
void AddCardinalCurve(QPainterPath& path, const QPointF* points, int count, double tension) {
    const double k = tension / 3.0;
    for (int i = 0; i + 1 < count; ++i) {
        const QPointF& p0 = points[std::max(i - 1, 0)];
        const QPointF& p1 = points[i];
        const QPointF& p2 = points[i + 1];
        const QPointF& p3 = points[std::min(i + 2, count - 1)];
        path.cubicTo(p1 + (p2 - p0) * k, p2 - (p3 - p1) * k, p2);
    }
}

// Keeps far-off response values (deep filter skirts) at a drawable distance.
double ClampY(double y, double height) {
    return std::clamp(y, -200.0, height + 200.0);
}

} // namespace

CEqPanel::CEqPanel(QWidget* parent)
    : QWidget(parent), m_plotLeft(PlotLeftFor(ArialFont(kLabelFontPx))) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    for (int i = 0; i < kMaxGraphBands; ++i) m_bands[i].index = i;
    m_menuRunner = [](QMenu& menu, const QPoint& globalPos) { return menu.exec(globalPos); };
}

void CEqPanel::ShowEqSet(int set) {
    if (set < 0 || set >= kEqSetCount) return;
    m_set = set;
    m_bandCount = EqBandCount(set);
    for (int i = 0; i < m_bandCount; ++i) {
        EqBand fresh;
        fresh.index = i;
        fresh.type = EQ_PEQ;
        fresh.frequency = EqInitialFrequency(set, i);
        fresh.gain = 0.0f;
        fresh.q = kInitialQ;
        m_bands[i] = fresh;
    }
    if (set == kSet12 && m_bandCount >= 10) {
        EqBand& compound = m_bands[6];
        compound.sectionCount = 3;
        for (int s = 0; s < 3; ++s) {
            compound.sections[s] = &m_bands[7 + s];
            m_bands[7 + s].shown = 0;
        }
    }
    for (int i = 0; i < m_bandCount; ++i) ComputeBandResponse(m_bands[i], ModelPlotWidth());
    // A selection beyond the new band count would point at a band not in use.
    if (m_selected >= m_bandCount) m_selected = -1;
    m_hovered = -1;
    m_gridCacheKey.clear();
    update();
}

void CEqPanel::ClearSelection() {
    m_selected = -1;
    update();
}

void CEqPanel::SelectBand(int index) {
    m_selected = index >= 0 && index < m_bandCount ? index : -1;
    update();
}

void CEqPanel::MoveSelection(int index) {
    if (m_selected == index) return;
    m_selected = index;
    emit SelectionMoved(index);
}

// The band Tab (next) or Shift+Tab selects: every band with a row of its
// own, OFF ones too (the keyboard's way to turn them on); -1 past the ends.
int CEqPanel::TabNeighbour(bool next) const {
    const int count = HitCandidateCount();
    const int step = next ? 1 : -1;
    int index = m_selected < 0 ? (next ? 0 : count - 1) : m_selected + step;
    for (; index >= 0 && index < count; index += step)
        if (Selectable(index)) return index;
    return -1;
}

bool CEqPanel::focusNextPrevChild(bool next) {
    const int band = hasFocus() ? TabNeighbour(next) : -1;
    if (band < 0) return QWidget::focusNextPrevChild(next);
    MoveSelection(band);
    emit BandSelected(&m_bands[band], band);
    update();
    return true;
}

void CEqPanel::ApplyBandType(int index, int type) {
    if (!ValidBand(index)) return;
    SetBandType(m_bands[index], type, ModelPlotWidth());
    update();
}

void CEqPanel::ApplyBandTypeGrouped(int index, int type) {
    if (!ValidBand(index)) return;
    SetBandTypeGrouped(m_bands[index], type, ModelPlotWidth());
    update();
}

void CEqPanel::ApplyCompoundTypes(int index, const std::array<int, 4>& types) {
    if (!ValidBand(index) || m_bands[index].sectionCount != 3) return;
    SetCompoundTypes(m_bands[index], types, ModelPlotWidth());
    update();
}

void CEqPanel::ApplyBandGain(int index, float gain) {
    if (!ValidBand(index)) return;
    SetBandGain(m_bands[index], gain, ModelPlotWidth());
    update();
}

void CEqPanel::ApplyBandQ(int index, float q) {
    if (!ValidBand(index)) return;
    SetBandQ(m_bands[index], q, ModelPlotWidth());
    update();
}

void CEqPanel::ApplyBandFrequency(int index, float frequency) {
    if (!ValidBand(index) || frequency == 0.0f) return;
    m_bands[index].frequency = std::clamp(frequency, 20.0f, 20000.0f);
    RecomputeBand(index);
}

void CEqPanel::RecomputeBand(int index) {
    if (!ValidBand(index)) return;
    ComputeBandResponse(m_bands[index], ModelPlotWidth());
    update();
}

void CEqPanel::SetBypass(bool on) {
    if (m_bypass == on) return;
    m_bypass = on;
    update();
}

void CEqPanel::SetLanguage(int language) {
    m_language = language == 0 ? 0 : 1;
    m_gridCacheKey.clear();
    update();
}

void CEqPanel::SetCurveColor(const QColor& color) {
    m_curveColor = color;
    update();
}

QRectF CEqPanel::PlotRect() const {
    return QRectF(QPointF(m_plotLeft, kPlotTop),
                  QPointF(width() - kPlotRightGap, height() - kPlotBottomGap));
}

int CEqPanel::ModelPlotWidth() const {
    const int plotWidth = width() - m_plotLeft - kPlotRightGap;
    return plotWidth > 0 ? plotWidth : kEqPoints;
}

QPointF CEqPanel::HandleCentre(int index) const {
    const QRectF plot = PlotRect();
    const EqBand& band = m_bands[index];
    return QPointF(EqFreqToX(band.frequency, plot.left(), plot.width()),
                   EqGainToY(band.gain, plot.top(), plot.height()));
}

std::array<int, 3> CEqPanel::LabelRowOffsets(float gain, int rowHeight) {
    if (gain < -0.01f) return {-15 - 3 * rowHeight, -15 - 2 * rowHeight, -15 - rowHeight};
    return {18, 18 + rowHeight, 18 + 2 * rowHeight};
}

int CEqPanel::LabelRowHeight() {
    return std::max(9, int(std::ceil(QFontMetricsF(ArialFont(kLabelFontPx)).height())));
}

QString CEqPanel::SetTitle(int set, int language) {
    if (set < 0 || set >= kEqSetCount) return {};
    return QString::fromUtf8(kTitles[set][language == 0 ? 0 : 1]);
}

QColor CEqPanel::BandColor(int index) {
    constexpr int count = int(sizeof(kPalette) / sizeof(kPalette[0]));
    return QColor(kPalette[((index % count) + count) % count]);
}

// ---- input -----------------------------------------------------------------

QPoint CEqPanel::PlotPoint(const QPointF& clientPos) const {
    return QPoint(int(std::floor(clientPos.x())) - m_plotLeft,
                  int(std::floor(clientPos.y())) - kPlotTop);
}

void CEqPanel::UpdateHandlePositions() {
    const QRectF plot = PlotRect();
    for (int i = 0; i < m_bandCount; ++i) {
        const QPointF centre = HandleCentre(i);
        m_bands[i].handleX = float(centre.x() - plot.left());
        m_bands[i].handleY = float(centre.y() - plot.top());
    }
}

int CEqPanel::HitCandidateCount() const {
    return m_set == kSet12 ? std::min(m_bandCount, kSet12ShownBands) : m_bandCount;
}

bool CEqPanel::Selectable(int index) const {
    return m_bands[index].shown != 0;
}

int CEqPanel::HitTest(const QPoint& p, HitKind kind) {
    UpdateHandlePositions();
    const float radius = kind == HitKind::LeftPress ? kLeftHitRadius : kRightHitRadius;
    int found = -1;
    for (int i = 0; i < HitCandidateCount(); ++i) {
        const EqBand& band = m_bands[i];
        if (!Selectable(i)) continue;
        if (kind != HitKind::RightPress && band.type == EQ_OFF) continue;
        if (std::fabs(band.handleX - p.x()) < radius && std::fabs(band.handleY - p.y()) < radius) {
            found = i;
            if (kind != HitKind::Hover) break; // presses take the first, hover the last
        }
    }
    return found;
}

void CEqPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint p = PlotPoint(event->position());
    if (event->button() == Qt::LeftButton) {
        if (!m_rightDown) PressLeft(p);
    } else if (event->button() == Qt::RightButton) {
        if (!m_leftDown) PressRight(p);
    }
    event->accept();
    update();
}

// A double click is a second press for the graph.
void CEqPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void CEqPanel::PressLeft(const QPoint& p) {
    setFocus(Qt::MouseFocusReason);
    m_leftDown = true;
    m_moved = false;
    m_pressPoint = p;
    const int hit = HitTest(p, HitKind::LeftPress);
    MoveSelection(hit);
    if (hit < 0) return;
    const EqBand& band = m_bands[hit];
    m_grab = QPoint(int(p.x() - band.handleX), int(p.y() - band.handleY));
    emit BandSelected(&m_bands[hit], hit);
}

void CEqPanel::PressRight(const QPoint& p) {
    m_rightDown = true;
    m_moved = false;
    m_pressPoint = p;
    const int hit = HitTest(p, HitKind::RightPress);
    MoveSelection(hit);
    if (hit < 0) return;
    m_lastQDragX = p.x();
    NotifyChanged(hit);
}

void CEqPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = PlotPoint(event->position());
    const int previousHover = m_hovered;
    m_hovered = -1;
    const bool buttonDown = m_leftDown || m_rightDown;
    if (!buttonDown) m_hovered = HitTest(p, HitKind::Hover);
    if (buttonDown && m_selected >= 0 && !m_moved) {
        m_moved = std::abs(p.x() - m_pressPoint.x()) > 1 || std::abs(p.y() - m_pressPoint.y()) > 1;
    }
    bool changed = false;
    if (m_selected >= 0 && m_moved) {
        if (m_leftDown) {
            DragLeft(p);
            changed = true;
        } else if (m_rightDown) {
            DragRight(p);
            changed = true;
        }
    }
    if (changed || m_hovered != previousHover) repaint();
}

void CEqPanel::DragLeft(const QPoint& p) {
    EqBand& band = m_bands[m_selected];
    const QRectF plot = PlotRect();
    band.frequency = float(EqXToFreq(p.x(), plot.width()));
    if (GainEditable(band.type)) {
        const double gain =
            kGainAxisTop - (double(p.y() - m_grab.y()) / plot.height()) * kGainAxisSpan;
        band.gain = float(std::round(gain * 10.0) / 10.0);
    } else {
        band.gain = 0.0f;
    }
    LimitBand(band);
    ComputeBandResponse(band, ModelPlotWidth());
    NotifyChanged(m_selected);
}

void CEqPanel::DragRight(const QPoint& p) {
    EqBand& band = m_bands[m_selected];
    const bool narrow = NarrowQType(band.type);
    const float divisor = narrow ? 80.0f : 12.0f;
    // The model's Q range of the type (OFF and crossover sections stop at 2 too).
    const EqBandLimits limits = EqLimitsOf(band.type);
    band.q = std::clamp(band.q + float(p.x() - m_lastQDragX) / divisor, float(limits.qLow),
                        float(limits.qHigh));
    m_lastQDragX = p.x();
    ComputeBandResponse(band, ModelPlotWidth());
    NotifyChanged(m_selected);
}

void CEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        ReleaseLeft();
    } else if (event->button() == Qt::RightButton) {
        ReleaseRight(event->globalPosition());
    }
    event->accept();
    update();
}

void CEqPanel::ReleaseLeft() {
    if (!m_leftDown) return;
    if (m_selected < 0) {
        emit SelectionCleared();
    } else if (m_moved) {
        NotifyChanged(m_selected);
    }
    m_leftDown = false;
}

void CEqPanel::ReleaseRight(const QPointF& globalPos) {
    if (!m_rightDown) return;
    // Cleared before a menu runs: the menu's own event loop must see no drag.
    m_rightDown = false;
    if (m_selected < 0) {
        ShowCopyPasteMenu(globalPos);
        return;
    }
    NotifyChanged(m_selected);
    if (!m_moved) ShowTypeMenu(globalPos);
}

void CEqPanel::NotifyChanged(int index) {
    emit BandChanged(&m_bands[index], index);
}

void CEqPanel::LimitBand(EqBand& band) const {
    band.gain = std::clamp(band.gain, band.gainLimits[0], band.gainLimits[1]);
    band.frequency = std::clamp(band.frequency, band.freqLimits[0], band.freqLimits[1]);
}

void CEqPanel::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (m_selected < 0 || delta == 0 || !GainEditable(m_bands[m_selected].type)) {
        event->ignore();
        return;
    }
    EqBand& band = m_bands[m_selected];
    band.gain = OnGainGrid(band.gain + (delta > 0 ? 0.1f : -0.1f));
    LimitBand(band);
    ComputeBandResponse(band, ModelPlotWidth());
    NotifyChanged(m_selected);
    event->accept();
    repaint();
}

bool CEqPanel::FineStep(const QKeyEvent& event) const {
    if (!(event.modifiers() & Qt::ControlModifier)) return false;
    // Without a side known (no native key codes), Ctrl counts as the left one.
    return m_leftCtrlDown || !m_rightCtrlDown;
}

void CEqPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control) {
        if (event->nativeVirtualKey() == kKeysymControlR) {
            m_rightCtrlDown = true;
        } else {
            m_leftCtrlDown = true;
        }
    }
    // Every key addressed to the graph ends here.
    event->accept();
    if (m_selected < 0) return;
    if (ApplyKey(event->key(), FineStep(*event))) {
        EqBand& band = m_bands[m_selected];
        const float upperQ = NarrowQType(band.type) ? 2.0f : 30.0f;
        band.q = std::clamp(OnQGrid(band.q), 0.1f, upperQ);
        band.gain = OnGainGrid(band.gain);
        LimitBand(band);
        ComputeBandResponse(band, ModelPlotWidth());
        NotifyChanged(m_selected);
        repaint();
    }
}

void CEqPanel::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control) {
        if (event->nativeVirtualKey() == kKeysymControlR) {
            m_rightCtrlDown = false;
        } else {
            m_leftCtrlDown = false;
        }
    }
    event->accept();
}

void CEqPanel::focusOutEvent(QFocusEvent* event) {
    m_leftCtrlDown = m_rightCtrlDown = false;
    QWidget::focusOutEvent(event);
}

void CEqPanel::leaveEvent(QEvent* event) {
    if (m_hovered >= 0) {
        m_hovered = -1;
        update();
    }
    QWidget::leaveEvent(event);
}

bool CEqPanel::ApplyKey(int key, bool fine) {
    EqBand& band = m_bands[m_selected];
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const float f = band.frequency;
        float step = f > 10000.0f ? 100.0f : f > 1000.0f ? 10.0f : f > 100.0f ? 5.0f : 2.0f;
        if (fine) step += 1.0f;
        band.frequency += key == Qt::Key_Right ? step : -step;
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (GainEditable(band.type)) {
            const float step = fine ? 0.1f : 0.2f;
            band.gain += key == Qt::Key_Up ? step : -step;
        }
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        band.q += fine ? 0.01f : 0.1f;
        return true;
    case Qt::Key_Minus:
        band.q -= fine ? 0.01f : 0.1f;
        return true;
    default:
        return false;
    }
}

// ---- menus -------------------------------------------------------------------

void CEqPanel::ShowTypeMenu(const QPointF& globalPos) {
    QMenu menu(this);
    for (int i = 0; i < 5; ++i) {
        QAction* action = menu.addAction(QString::fromUtf8(kTypeMenuTexts[i][m_language]));
        action->setData(ID_EQ_TYPE_PEQ + i);
    }
    if (QAction* chosen = m_menuRunner(menu, globalPos.toPoint())) {
        RunMenuCommand(chosen->data().toInt());
    }
}

void CEqPanel::ShowCopyPasteMenu(const QPointF& globalPos) {
    QMenu menu(this);
    QAction* copy = menu.addAction(m_language == 0 ? QStringLiteral("复制均衡") : "Copy EQ");
    copy->setData(ID_EQ_COPY);
    QAction* paste = menu.addAction(m_language == 0 ? QStringLiteral("粘贴均衡") : "Paste EQ");
    paste->setData(ID_EQ_PASTE);
    // Nothing to paste until some graph has copied its set.
    paste->setEnabled(m_pasteAvailable && m_pasteAvailable());
    if (isSignalConnected(QMetaMethod::fromSignal(&CEqPanel::FilterFile))) {
        menu.addSeparator();
        QAction* import =
            menu.addAction(m_language == 0 ? QStringLiteral("导入滤波器…") : "Import filters…");
        import->setData(ID_EQ_IMPORT_FILTERS);
        QAction* exportFilters =
            menu.addAction(m_language == 0 ? QStringLiteral("导出滤波器…") : "Export filters…");
        exportFilters->setData(ID_EQ_EXPORT_FILTERS);
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&CEqPanel::MeasurementFile)))
        AddMeasurementMenu(menu);
    if (QAction* chosen = m_menuRunner(menu, globalPos.toPoint())) {
        if (chosen->isEnabled()) RunMenuCommand(chosen->data().toInt());
    }
}

void CEqPanel::RunMenuCommand(int command) {
    if (command >= ID_EQ_TYPE_PEQ && command <= ID_EQ_TYPE_HS) {
        if (m_selected < 0) return;
        SetBandTypeGrouped(m_bands[m_selected], command - (ID_EQ_TYPE_PEQ - 1), ModelPlotWidth());
        NotifyChanged(m_selected);
        update();
    } else if (command == ID_EQ_COPY) {
        emit CopyPaste(kEqCopyOperation, m_set);
    } else if (command == ID_EQ_PASTE) {
        emit CopyPaste(kEqPasteOperation, m_set);
    } else if (command == ID_EQ_IMPORT_FILTERS) {
        emit FilterFile(kEqImportFilters, m_set);
    } else if (command == ID_EQ_EXPORT_FILTERS) {
        emit FilterFile(kEqExportFilters, m_set);
    } else if (command == ID_EQ_LOAD_MEASUREMENT) {
        emit MeasurementFile(kEqLoadMeasurement, m_set);
    } else if (command == ID_EQ_AUTO_EQ) {
        emit MeasurementFile(kEqFitMeasurement, m_set);
    } else if (command == ID_EQ_EXPORT_PREDICTED) {
        emit MeasurementFile(kEqExportPredicted, m_set);
    } else if (command == ID_EQ_CLEAR_MEASUREMENT) {
        Overlay().Clear();
        update();
    } else if (command >= ID_EQ_SMOOTHING_FIRST && command < ID_EQ_SMOOTHING_FIRST + 5) {
        Overlay().SetSmoothing(kEqSmoothingChoices[command - ID_EQ_SMOOTHING_FIRST]);
        update();
    }
}

// Room correction: load a measurement, fit, export; smoothing and clearing
// once a measurement is drawn.
void CEqPanel::AddMeasurementMenu(QMenu& menu) {
    const bool zh = m_language == 0;
    const bool loaded = Overlay().HasMeasurement();
    menu.addSeparator();
    menu.addAction(zh ? QStringLiteral("载入测量…") : "Load measurement…")
        ->setData(ID_EQ_LOAD_MEASUREMENT);
    QAction* fit = menu.addAction(zh ? QStringLiteral("自动均衡…") : "Auto EQ…");
    fit->setData(ID_EQ_AUTO_EQ);
    fit->setEnabled(loaded);
    QAction* exportPredicted =
        menu.addAction(zh ? QStringLiteral("导出测量 + 均衡…") : "Export measurement + EQ…");
    exportPredicted->setData(ID_EQ_EXPORT_PREDICTED);
    exportPredicted->setEnabled(loaded);
    QMenu* smoothing = menu.addMenu(zh ? QStringLiteral("平滑") : "Smoothing");
    smoothing->setEnabled(loaded);
    for (int i = 0; i < 5; ++i) {
        const int n = kEqSmoothingChoices[i];
        const QString text = n == 0 ? (zh ? QStringLiteral("无") : QStringLiteral("none"))
                                    : (zh ? QStringLiteral("1/%1 倍频程") : "1/%1 octave").arg(n);
        QAction* choice = smoothing->addAction(text);
        choice->setData(ID_EQ_SMOOTHING_FIRST + i);
        choice->setCheckable(true);
        choice->setChecked(Overlay().Smoothing() == n);
    }
    QAction* clear = menu.addAction(zh ? QStringLiteral("清除测量") : "Clear measurement");
    clear->setData(ID_EQ_CLEAR_MEASUREMENT);
    clear->setEnabled(loaded);
}

// ---- painting ----------------------------------------------------------------

void CEqPanel::resizeEvent(QResizeEvent* event) {
    // The peak pinning of PEQ bands depends on the plot width.
    for (int i = 0; i < m_bandCount; ++i) ComputeBandResponse(m_bands[i], ModelPlotWidth());
    m_gridCacheKey.clear();
    QWidget::resizeEvent(event);
    update();
}

void CEqPanel::paintEvent(QPaintEvent*) {
    RenderFrame();
    QPainter painter(this);
    m_buffer.CopyTo(painter);
}

const QImage& CEqPanel::RenderFrame() {
    QImage& image = m_buffer.Prepare(*this);
    PaintGridCache();
    UpdateHandlePositions();
    ComputeSetCurve(m_bands.data(), m_bandCount, m_curve.data());

    QPainter p(&image);
    p.drawImage(QPointF(0, 0), m_gridCache);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    Overlay().PaintLive(p, PlotRect(), m_curve.data(), m_language);
    if (m_selected >= 0 && m_selected < m_bandCount) PaintSelectedArea(p);
    PaintCurve(p);
    for (int i = 0; i < HitCandidateCount(); ++i) PaintHandle(p, i);
    if (m_hovered >= 0 && m_hovered < m_bandCount && m_bands[m_hovered].type != EQ_OFF) {
        PaintLabels(p, m_hovered);
    }
    if (m_selected >= 0 && m_selected < m_bandCount) {
        if (m_hovered < 0) PaintLabels(p, m_selected);
        PaintInfoLine(p, m_selected);
    }
    if (m_bypass) PaintBypass(p);
    return image;
}

void CEqPanel::PaintGridCache() {
    const qreal ratio = devicePixelRatioF();
    const QString key = QStringLiteral("%1x%2@%3/%4/%5")
                            .arg(width())
                            .arg(height())
                            .arg(ratio)
                            .arg(m_language)
                            .arg(m_set) +
                        QStringLiteral("/%1").arg(Overlay().Revision());
    if (key == m_gridCacheKey && !m_gridCache.isNull()) return;
    m_gridCacheKey = key;
    m_gridCache = QImage((QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1)),
                         QImage::Format_ARGB32_Premultiplied);
    m_gridCache.setDevicePixelRatio(ratio);
    m_gridCache.fill(kBackground);

    QPainter p(&m_gridCache);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const QRectF plot = PlotRect();

    p.setFont(SongFont(kTextFontPx));
    p.setPen(kTitleColor);
    const QRectF titleBox(0, 0, plot.right() - 2, plot.top() - 1);
    p.drawText(titleBox, Qt::AlignRight | Qt::AlignBottom, SetTitle(m_set, m_language));

    p.setFont(ArialFont(kLabelFontPx));
    for (int g = -15; g <= 15; g += 3) {
        const double y = std::round(EqGainToY(g, plot.top(), plot.height()));
        p.setPen(QPen(kGridLine, 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(kGridText);
        const QRectF box(0, y - 8, plot.left() - 3, 16);
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, GainLabel(g));
    }

    std::vector<double> lines = {18};
    for (double decade = 10; decade <= 10000; decade *= 10) {
        for (int m = 1; m <= 9; ++m) {
            if (decade * m >= 20) lines.push_back(decade * m);
        }
    }
    lines.push_back(20000);
    lines.push_back(23000);
    p.setPen(QPen(kGridLine, 1));
    for (double f : lines) {
        const double x = std::round(EqFreqToX(f, plot.left(), plot.width()));
        p.drawLine(QPointF(x, plot.top() + 1), QPointF(x, plot.bottom()));
    }
    const struct {
        double f;
        const char* text;
    } labels[] = {{20, "20Hz"},     {50, "50Hz"},    {100, "100Hz"}, {200, "200Hz"},
                  {500, "500Hz"},   {1000, "1kHz"},  {2000, "2kHz"}, {5000, "5kHz"},
                  {10000, "10kHz"}, {20000, "20kHz"}};
    p.setPen(kGridText);
    for (const auto& label : labels) {
        const double x = EqFreqToX(label.f, plot.left(), plot.width());
        p.drawText(QRectF(x - 30, plot.bottom() + 4, 60, 14), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromLatin1(label.text));
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    Overlay().PaintStatic(p, plot);
}

void CEqPanel::PaintSelectedArea(QPainter& p) {
    const EqBand& band = m_bands[m_selected];
    if (band.type == EQ_OFF) return;
    const QRectF plot = PlotRect();
    std::array<QPointF, kEqPoints> points;
    for (int i = 0; i < kEqPoints; ++i) {
        double db = band.response[i];
        for (int s = 0; s < band.sectionCount && s < 4; ++s) {
            const EqBand* section = band.sections[s];
            if (section && section->type != EQ_OFF) db += section->response[i];
        }
        points[i] = QPointF(plot.left() + plot.width() * i / kEqPoints,
                            ClampY(EqGainToY(db, plot.top(), plot.height()), height()));
    }
    QPointF start(plot.left(), EqGainToY(0, plot.top(), plot.height()));
    QPointF end(plot.right(), start.y());
    if (LowPassLike(band.type) || HighPassLike(band.type)) {
        start = QPointF(points.front().x(), plot.bottom() + 20);
        end = QPointF(points.back().x(), plot.bottom() + 20);
    }
    QPainterPath path(start);
    path.lineTo(points.front());
    AddCardinalCurve(path, points.data(), kEqPoints, kCurveTension);
    path.lineTo(end);
    path.closeSubpath();
    p.save();
    p.setClipRect(plot);
    p.fillPath(path, WithAlpha(BandColor(m_selected), 0x20));
    p.restore();
}

void CEqPanel::PaintCurve(QPainter& p) {
    const QRectF plot = PlotRect();
    std::array<QPointF, kEqPoints> points;
    for (int i = 0; i < kEqPoints; ++i) {
        points[i] = QPointF(plot.left() + plot.width() * i / kEqPoints,
                            ClampY(EqGainToY(m_curve[i], plot.top(), plot.height()), height()));
    }
    QPainterPath path(points.front());
    AddCardinalCurve(path, points.data(), kEqPoints, kCurveTension);
    // The curve stays inside the plot; where the sum rises above the top the
    // mark below says so.
    p.save();
    p.setClipRect(plot);
    p.strokePath(path, QPen(m_curveColor, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.restore();
    PaintOverflow(p);
}

float CEqPanel::CurvePeak() const {
    std::array<float, kEqPoints> curve{};
    ComputeSetCurve(m_bands.data(), m_bandCount, curve.data());
    return *std::max_element(curve.begin(), curve.end());
}

bool CEqPanel::SumAboveRange() const {
    return CurvePeak() > kGainAxisTop + kOverflowTolerance;
}

// A red bar along the plot's top edge where the sum runs above +15 dB, and
// the peak value beside its highest point.
void CEqPanel::PaintOverflow(QPainter& p) {
    const QRectF plot = PlotRect();
    const auto above = [this](int i) { return m_curve[i] > kGainAxisTop + kOverflowTolerance; };
    const auto x = [&](int i) { return plot.left() + plot.width() * i / kEqPoints; };
    int peak = -1;
    int peakStart = 0;
    int peakEnd = 0;
    p.setPen(QPen(kOverflowRed, 3, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i < kEqPoints; ++i) {
        if (!above(i)) continue;
        int end = i;
        while (end + 1 < kEqPoints && above(end + 1)) ++end;
        p.drawLine(QPointF(x(i), plot.top() + 1.5), QPointF(x(end + 1), plot.top() + 1.5));
        for (int j = i; j <= end; ++j) {
            if (peak >= 0 && m_curve[j] <= m_curve[peak]) continue;
            peak = j;
            peakStart = i;
            peakEnd = end;
        }
        i = end;
    }
    if (peak < 0) return;
    // Beside the bar, where no handle of the bands that raise it stands.
    const QString text = QString::fromUtf8("▲%1").arg(GainText(m_curve[peak]));
    QFont font = ArialFont(kLabelFontPx);
    font.setBold(true);
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(text);
    double left = x(peakEnd + 1) + 4;
    if (left + width > plot.right() - 2) left = x(peakStart) - 4 - width;
    left = std::max(left, plot.left() + 2);
    p.setFont(font);
    p.setPen(kOverflowRed);
    p.drawText(QPointF(left, plot.top() + 4 + metrics.ascent()), text);
}

void CEqPanel::PaintHandle(QPainter& p, int index) {
    const EqBand& band = m_bands[index];
    if (band.type == EQ_OFF || !band.shown) return;
    const QPointF c = HandleCentre(index);
    const QColor color = BandColor(index);
    const bool selected = index == m_selected;
    const int fillAlpha = selected ? 0x50 : 0x25;
    if (band.type == EQ_PEQ) {
        p.setPen(Qt::NoPen);
        p.setBrush(WithAlpha(color, fillAlpha));
        p.drawEllipse(c, 7.0, 7.0);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(WithAlpha(color, 0x7F), 2));
        const QRectF ring(c.x() - 9, c.y() - 9, 18, 18);
        // Clockwise arcs below and above the handle, leaving gaps at the sides.
        p.drawArc(ring, -15 * 16, -150 * 16);
        p.drawArc(ring, -195 * 16, -150 * 16);
    } else {
        QPen dashed(WithAlpha(color, 0x7F), 1.5, Qt::DashLine);
        p.setPen(dashed);
        p.setBrush(WithAlpha(color, fillAlpha));
        p.drawRect(QRectF(c.x() - 7, c.y() - 7, 14, 14));
        p.setBrush(Qt::NoBrush);
        if (selected) {
            const QRectF plot = PlotRect();
            p.setPen(QPen(QColor(255, 0, 0), 1.5, Qt::DashLine));
            p.drawLine(QPointF(c.x(), plot.top()), QPointF(c.x(), plot.bottom()));
        }
    }
    p.setFont(ArialFont(kNumberFontPx));
    p.setPen(color);
    p.drawText(QRectF(c.x() - 10, c.y() - 8, 20, 16), Qt::AlignCenter, QString::number(index + 1));
}

void CEqPanel::PaintLabels(QPainter& p, int index) {
    const EqBand& band = m_bands[index];
    const QPointF c = HandleCentre(index);
    const double baseLine = c.y() - 4;
    const std::array<int, 3> rows = LabelRowOffsets(band.gain, LabelRowHeight());
    const QString captions[3] = {"F:", "G:", "Q:"};
    const QString values[3] = {QString::asprintf("%.0fHz", double(band.frequency)),
                               QString::asprintf("%+-.1fdB", double(band.gain)),
                               QString::asprintf("%.2f", double(band.q))};
    const QFont font = ArialFont(kLabelFontPx);
    const QFontMetricsF metrics(font);
    p.setFont(font);
    for (int r = 0; r < 3; ++r) {
        const double top = baseLine + rows[r];
        const double captionWidth = metrics.horizontalAdvance(captions[r]);
        const double captionLeft = c.x() - 8 - captionWidth;
        p.setPen(kCaptionGrey);
        p.drawText(QPointF(captionLeft, top + metrics.ascent()), captions[r]);
        p.setPen(kValueGreen);
        p.drawText(QPointF(captionLeft + 12, top + metrics.ascent()), values[r]);
    }
}

void CEqPanel::PaintInfoLine(QPainter& p, int index) {
    const EqBand& band = m_bands[index];
    const char* format = m_language == 0 ? "EQ号=%d    频率=%.0fHz    Q值=%.2f     增益="
                                         : "Index=%d     Frequency=%.0fHz    Q=%.2f     Gain=";
    const QString prefix =
        QString::asprintf(format, index + 1, double(band.frequency), double(band.q));
    const QString gainText = QString::asprintf("%+-.1fdB ", double(band.gain));
    const float magnitude = std::fabs(band.gain);
    const QColor gainColor = magnitude <= 6.0f   ? kInfoGreen
                             : magnitude < 10.1f ? kInfoYellow
                                                 : kInfoRed;

    const QFont font = SongFont(kInfoFontPx);
    const QFontMetricsF metrics(font);
    p.setFont(font);
    const QPointF origin(m_plotLeft, 3 + metrics.ascent());
    p.setPen(kInfoGreen);
    p.drawText(origin, prefix);
    p.setPen(gainColor);
    p.drawText(origin + QPointF(metrics.horizontalAdvance(prefix), 0), gainText);
}

void CEqPanel::PaintBypass(QPainter& p) {
    p.setFont(HeiFont(kBypassFontPx));
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("BYPASS"));
}
