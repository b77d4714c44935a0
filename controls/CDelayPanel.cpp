#include "controls/CDelayPanel.h"

#include "controls/ControlFonts.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr QSize kDrawnHandle(14, 22);
constexpr int kTitleGap = 5;
constexpr int kTickLength = 5;
constexpr int kTextGap = 4;
constexpr int kFaintAlpha = 90;
constexpr int kDropAlpha = 70;
constexpr int kDraggedDropAlpha = 220;
const QColor kEdgeLine(128, 128, 128);
const QColor kInnerLine(64, 64, 64);
const QColor kPlotFace(255, 255, 255);
const QColor kScaleText(73, 90, 151);

QColor WithAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}
} // namespace

CDelayPanel::CDelayPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 160);
    for (int i = 0; i < kRowCount; ++i) {
        m_rows[i].index = i;
        m_rows[i].low = kScaleMinMs;
        m_rows[i].high = kScaleMaxMs;
        PlaceRow(m_rows[i]);
    }
}

void CDelayPanel::SetLimits(double lowMs, double highMs) {
    for (Row& row : m_rows) {
        row.low = lowMs;
        row.high = highMs;
        PlaceRow(row);
    }
    update();
}

QColor CDelayPanel::RowColour(int row) {
    static const QColor kColours[kRowCount] = {
        QColor(0, 120, 190), QColor(0, 140, 150), QColor(40, 140, 60),  QColor(120, 130, 20),
        QColor(190, 110, 0), QColor(190, 60, 40), QColor(150, 50, 140), QColor(80, 70, 170)};
    return kColours[std::clamp(row, 0, kRowCount - 1)];
}

void CDelayPanel::SetHandleImage(const QImage& image) {
    m_handle = image;
    update();
}

QSize CDelayPanel::HandleSize() const {
    return m_handle.isNull() ? kDrawnHandle : m_handle.deviceIndependentSize().toSize();
}

// ------------------------------------------------------------------ geometry

QRect CDelayPanel::PlotRect() const {
    return QRect(QPoint(kPlotLeft, kPlotTop),
                 QPoint(width() - kPlotRightGap, height() - kPlotBottomGap));
}

double CDelayPanel::PixelsPerMs() const {
    return (width() - kPlotLeft - kPlotRightGap) / (kScaleMaxMs - kScaleMinMs);
}

double CDelayPanel::RowHeight() const {
    return (height() - kPlotTop - kPlotBottomGap) / double(kRowCount);
}

int CDelayPanel::HandleX(double ms) const {
    return kPlotLeft + int(std::abs(PixelsPerMs() * (ms - kScaleMinMs)));
}

int CDelayPanel::HandleY(int row) const {
    return int(RowHeight() * row + kPlotTop + 0.5);
}

QPoint CDelayPanel::GrabPoint(int row) const {
    const Row& r = m_rows[std::clamp(row, 0, kRowCount - 1)];
    return QPoint(r.handleX + HandleSize().width() / 2, int(RowHeight() * 0.5 + r.handleY));
}

int CDelayPanel::HitTest(const QPoint& pos) const {
    for (const Row& row : m_rows) {
        const QPoint grab = GrabPoint(row.index);
        if (std::abs(grab.x() - pos.x()) < kHitDistance &&
            std::abs(grab.y() - pos.y()) < kHitDistance)
            return row.index;
    }
    return -1;
}

double CDelayPanel::Limited(const Row& row, double ms) const {
    return row.low == row.high ? ms : std::clamp(ms, row.low, row.high);
}

void CDelayPanel::PlaceRow(Row& row) {
    row.handleX = HandleX(Limited(row, row.value));
    row.handleY = HandleY(row.index);
}

void CDelayPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (Row& row : m_rows) PlaceRow(row);
}

// ------------------------------------------------------------------ values

void CDelayPanel::SetRowValue(int row, double ms) {
    if (row < 0 || row >= kRowCount) return;
    ShowRowValue(row, Limited(m_rows[row], ms));
}

void CDelayPanel::ShowRowValue(int row, double ms) {
    if (row < 0 || row >= kRowCount) return;
    m_rows[row].value = ms;
    PlaceRow(m_rows[row]);
    update();
}

void CDelayPanel::SetRowActive(int row, bool active) {
    if (row < 0 || row >= kRowCount || m_rows[row].active == active) return;
    m_rows[row].active = active;
    update();
}

// ------------------------------------------------------------------ mouse

void CDelayPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragRow = HitTest(event->position().toPoint());
    m_dragging = m_dragRow >= 0;
    if (m_dragging) update();
}

void CDelayPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    Row& row = m_rows[m_dragRow];
    const int handleX = int(event->position().x()) - HandleSize().width() / 2;
    const double ms = (handleX - kPlotLeft) / PixelsPerMs() + kScaleMinMs;
    row.value = Limited(row, ms);
    PlaceRow(row);
    emit DelayChanged(row.index, row.value);
    update();
}

void CDelayPanel::mouseReleaseEvent(QMouseEvent*) {
    if (!m_dragging) return;
    m_dragging = false;
    update();
}

// ------------------------------------------------------------------ drawing

void CDelayPanel::PaintGrid(QPainter& p) const {
    const QRect plot = PlotRect();
    p.fillRect(plot, kPlotFace);
    for (int h = 0; h <= kRowCount; ++h) {
        const bool edge = h == 0 || h == kRowCount;
        const double y = plot.top() + h * RowHeight();
        p.setPen(QPen(edge ? kEdgeLine : kInnerLine, edge ? 1.0 : 0.6));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setFont(ArialFont(12));
    for (const Row& row : m_rows) {
        const QRectF title(0, row.handleY, kPlotLeft - kTitleGap, RowHeight());
        p.setPen(RowColour(row.index));
        p.drawText(title, Qt::AlignRight | Qt::AlignVCenter, RowTitle(row.index, m_language));
    }
    const int ticks = int((kScaleMaxMs - kScaleMinMs) / kTickMs);
    for (int t = 0; t <= ticks; ++t) {
        const double ms = kScaleMinMs + t * kTickMs;
        const int x = HandleX(ms);
        p.setPen(QPen(kEdgeLine, 1.0));
        if (t == 0 || t == ticks)
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        else
            p.drawLine(QPointF(x, plot.bottom() - kTickLength), QPointF(x, plot.bottom()));
        p.setPen(kScaleText);
        p.drawText(QRectF(x - 40, plot.bottom() + 2, 80, kPlotBottomGap - 2),
                   Qt::AlignHCenter | Qt::AlignVCenter, QString::asprintf("%.1fms", ms));
    }
}

void CDelayPanel::PaintHandle(QPainter& p, const Row& row, const QRectF& box) const {
    if (!m_handle.isNull()) {
        p.drawImage(box, m_handle);
        return;
    }
    p.setPen(QPen(RowColour(row.index).darker(140), 1.0));
    p.setBrush(RowColour(row.index));
    p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
}

void CDelayPanel::PaintRow(QPainter& p, const Row& row) const {
    const QRect plot = PlotRect();
    const QColor colour =
        row.active ? RowColour(row.index) : WithAlpha(RowColour(row.index), kFaintAlpha);
    const QSize handle = HandleSize();
    const double centreY = row.handleY + RowHeight() / 2.0;
    const bool dragged = DraggedRow() == row.index;

    p.setPen(
        QPen(WithAlpha(colour, dragged ? kDraggedDropAlpha : kDropAlpha), dragged ? 1.5 : 1.0));
    p.drawLine(QPointF(row.handleX, centreY), QPointF(row.handleX, plot.bottom()));
    p.setPen(QPen(colour, 1.2, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), centreY), QPointF(row.handleX, centreY));

    const QRectF box(row.handleX, centreY - handle.height() / 2.0, handle.width(), handle.height());
    p.setOpacity(row.active ? 1.0 : 0.45);
    PaintHandle(p, row, box);
    p.setOpacity(1.0);

    // The value beside the handle, on its left where the right runs out.
    const QString text = QString::asprintf("%.1fms", row.value);
    const int textWidth = p.fontMetrics().horizontalAdvance(text);
    const bool roomRight = box.right() + kTextGap + textWidth <= plot.right();
    const QRectF textBox =
        roomRight ? QRectF(box.right() + kTextGap, box.top(), textWidth + 2, box.height())
                  : QRectF(row.handleX - kTextGap - textWidth - 2, box.top(), textWidth + 2,
                           box.height());
    p.setPen(colour);
    p.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft, text);
}

const QImage& CDelayPanel::RenderFrame() {
    QPainter p;
    m_buffer.BeginFrame(p, *this);
    PaintGrid(p);
    QFont bold = ArialFont(12);
    bold.setBold(true);
    p.setFont(bold);
    for (const Row& row : m_rows) PaintRow(p, row);
    p.end();
    return m_buffer.Image();
}

void CDelayPanel::paintEvent(QPaintEvent*) {
    RenderFrame();
    QPainter p(this);
    m_buffer.CopyTo(p);
}

QString CDelayPanel::RowTitle(int row, int language) {
    return (language == 1 ? QStringLiteral("CH %1") : QStringLiteral("通道%1")).arg(row + 1);
}

void CDelayPanel::SetLanguage(int language) {
    m_language = language;
    update();
}
