#include "controls/CSSVolumePanel.h"

#include "controls/ControlFonts.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kFontPx = 13;
constexpr int kNumberPx = 16; // 12 points
constexpr int kNamePx = 11;   // 8 points
constexpr int kTagPx = 12;    // a channel tag beside the speaker
constexpr int kLabelSpacing = 40;
constexpr QSize kDrawnSpeaker(24, 30);
constexpr QSize kDrawnListener(30, 30);
const QColor kEdgeLine(128, 128, 128);
const QColor kInnerLine(64, 64, 64, 110);
const QColor kLabel(73, 90, 151);
const QColor kFloor(255, 255, 255);
const QColor kNumber(220, 0, 0);
const QColor kListenerFace(60, 60, 60);

// Signed metres of a grid line: "0", "+1m", "-2m"; the edges keep a tenth
// when the half size is not whole.
QString LineLabel(double metres, bool edge) {
    if (metres == 0.0) return QStringLiteral("0");
    const char sign = metres > 0 ? '+' : '-';
    const double size = std::abs(metres);
    if (!edge) return QStringLiteral("%1%2m").arg(sign).arg(int(size));
    const bool whole = size == std::floor(size);
    return QString::asprintf(whole ? "%c%.0fm" : "%c%.1fm", sign, size);
}
} // namespace

CSSVolumePanel::CSSVolumePanel(QWidget* parent) : QWidget(parent), m_font(TahomaFont(kFontPx)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 200);
    for (int i = 0; i < kItemCount; ++i) m_items[i].number = i;
    for (int speaker = 1; speaker < kItemCount; ++speaker)
        SetSpeakerCaption(speaker,
                          SpeakerName(speaker).replace(QLatin1Char('('), QStringLiteral("\n(")),
                          QString::number(speaker));
}

void CSSVolumePanel::SetSpeakerCaption(int speaker, const QString& name, const QString& tag) {
    if (speaker < 1 || speaker >= kItemCount) return;
    m_names[size_t(speaker)] = name;
    m_tags[size_t(speaker)] = tag;
    update();
}

QString CSSVolumePanel::SpeakerCaptionName(int speaker) const {
    return speaker >= 1 && speaker < kItemCount ? m_names[size_t(speaker)] : QString();
}

QString CSSVolumePanel::SpeakerTag(int speaker) const {
    return speaker >= 1 && speaker < kItemCount ? m_tags[size_t(speaker)] : QString();
}

QColor CSSVolumePanel::SpeakerColour(int speaker) {
    static const QColor kColours[8] = {
        QColor(0, 110, 200), QColor(20, 140, 60),  QColor(200, 60, 40), QColor(130, 60, 170),
        QColor(150, 100, 0), QColor(190, 40, 120), QColor(0, 130, 140), QColor(90, 90, 200)};
    return kColours[std::clamp(speaker, 1, 8) - 1];
}

QString CSSVolumePanel::SpeakerName(int speaker) {
    static const char* const kNames[8] = {"前置左(L)",     "中置(CEN)",   "前置右(R)",
                                          "后环绕左(SBL)", "超低(SUB)",   "后环绕右(SBR)",
                                          "侧环绕左(SL)",  "侧环绕右(SR)"};
    return QString::fromUtf8(kNames[std::clamp(speaker, 1, 8) - 1]);
}

void CSSVolumePanel::SetPictures(const QImage& speaker, const QImage& listener) {
    m_speaker = speaker;
    m_listener = listener;
    update();
}

// ------------------------------------------------------------------ geometry

QRect CSSVolumePanel::PlanRect() const {
    return rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
}

double CSSVolumePanel::PixelsPerMetreX() const {
    return (width() - 2 * kMargin) / m_width;
}

double CSSVolumePanel::PixelsPerMetreY() const {
    return (height() - 2 * kMargin) / m_length;
}

void CSSVolumePanel::PlaceItem(Item& item) {
    item.pixelX = int(PixelsPerMetreX() * (m_width / 2 + item.x) + kMargin);
    item.pixelY = int(PixelsPerMetreY() * (m_length / 2 - item.y) + kMargin);
}

QPoint CSSVolumePanel::ItemPixel(int item) const {
    const Item& i = m_items[std::clamp(item, 0, kItemCount - 1)];
    return {i.pixelX, i.pixelY};
}

int CSSVolumePanel::HitTest(const QPoint& pos) const {
    for (const Item& item : m_items)
        if (std::abs(item.pixelX - pos.x()) <= kHitDistance &&
            std::abs(item.pixelY - pos.y()) <= kHitDistance)
            return item.number;
    return -1;
}

void CSSVolumePanel::SetRoomSize(double width, double length) {
    m_width = std::max(width, 0.1);
    m_length = std::max(length, 0.1);
    for (Item& item : m_items) PlaceItem(item);
    update();
}

void CSSVolumePanel::SetItemPosition(int item, double x, double y) {
    if (item < 0 || item >= kItemCount) return;
    m_items[item].x = x;
    m_items[item].y = y;
    PlaceItem(m_items[item]);
    update();
}

void CSSVolumePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (Item& item : m_items) PlaceItem(item);
}

// ------------------------------------------------------------------ mouse

void CSSVolumePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragItem = HitTest(event->position().toPoint());
    m_dragging = m_dragItem >= 0;
    if (m_dragging) emit DragStarted(m_dragItem);
}

void CSSVolumePanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    const QRect plan = PlanRect();
    const QPointF centre = QRectF(rect()).center();
    const double px = std::clamp(event->position().x(), double(plan.left()), double(plan.right()));
    const double py = std::clamp(event->position().y(), double(plan.top()), double(plan.bottom()));
    Item& item = m_items[m_dragItem];
    item.x = (px - centre.x()) / PixelsPerMetreX();
    item.y = (centre.y() - py) / PixelsPerMetreY();
    PlaceItem(item);
    emit ItemDragged(m_dragItem);
    update();
}

void CSSVolumePanel::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
}

// ------------------------------------------------------------------ drawing

// The grid lines of one axis, one metre apart from the centre outwards,
// the outermost at the room's edge, with their labels.
void CSSVolumePanel::PaintAxis(QPainter& p, bool widthAxis) const {
    const QRect plan = PlanRect();
    const double half = (widthAxis ? m_width : m_length) / 2.0;
    const double scale = widthAxis ? PixelsPerMetreX() : PixelsPerMetreY();
    const QPointF centre = QRectF(plan).center();
    const auto line = [&](double metres, bool edge) {
        // An inner line close to the edge leaves its label to the edge's.
        const bool labelled = edge || (half - std::abs(metres)) * scale >= kLabelSpacing;
        p.setPen(QPen(edge ? kEdgeLine : kInnerLine, edge ? 1.2 : 0.8));
        p.setFont(m_font);
        if (widthAxis) {
            const double x = centre.x() + metres * scale;
            p.drawLine(QPointF(x, plan.top()), QPointF(x, plan.bottom()));
            if (!labelled) return;
            p.setPen(kLabel);
            p.drawText(QRectF(x - 30, plan.bottom() + 2, 60, kMargin - 4), Qt::AlignCenter,
                       LineLabel(metres, edge));
        } else {
            // On the length axis "+" is the front, at the top.
            const double y = centre.y() - metres * scale;
            p.drawLine(QPointF(plan.left(), y), QPointF(plan.right(), y));
            if (!labelled) return;
            p.setPen(kLabel);
            const QString text = LineLabel(metres, edge);
            const double top = metres >= half ? y + 1 : y - kFontPx - 3;
            p.drawText(QRectF(plan.left() + 3, top, 60, kFontPx + 2),
                       Qt::AlignLeft | Qt::AlignVCenter, text);
        }
    };
    line(0.0, false);
    for (int m = 1; m < half - 1e-9; ++m) {
        line(m, false);
        line(-m, false);
    }
    line(half, true);
    line(-half, true);
}

void CSSVolumePanel::PaintGrid(QPainter& p) const {
    p.fillRect(PlanRect(), kFloor);
    PaintAxis(p, true);
    PaintAxis(p, false);
}

QRectF CSSVolumePanel::SpeakerBox(const Item& item) const {
    const QSize size =
        m_speaker.isNull() ? kDrawnSpeaker : m_speaker.deviceIndependentSize().toSize();
    return QRectF(item.pixelX - size.width() / 2.0, item.pixelY - size.height() / 2.0, size.width(),
                  size.height());
}

QRectF CSSVolumePanel::ListenerRect() const {
    const Item& item = m_items[kListener];
    const QSize size =
        m_listener.isNull() ? kDrawnListener : m_listener.deviceIndependentSize().toSize();
    return QRectF(item.pixelX - size.width() / 2.0, item.pixelY - size.height() / 2.0, size.width(),
                  size.height());
}

QFont CSSVolumePanel::TagFont(int speaker) const {
    QFont font = ArialFont(m_tags[size_t(speaker)].size() > 2 ? kTagPx : kNumberPx);
    font.setBold(true);
    return font;
}

QRectF CSSVolumePanel::TagRect(int speaker) const {
    if (speaker < 1 || speaker >= kItemCount) return {};
    const QRectF box = SpeakerBox(m_items[size_t(speaker)]);
    const double width =
        QFontMetricsF(TagFont(speaker)).horizontalAdvance(m_tags[size_t(speaker)]) + 2.0;
    const QRectF right(box.right() - 2, box.top() - 8, width, 20);
    const QRectF left(box.left() + 2 - width, box.top() - 8, width, 20);
    const QRectF inside = QRectF(rect()).adjusted(1, 1, -1, -1);
    const auto clear = [&](const QRectF& r) {
        return inside.contains(r) && !r.intersects(ListenerRect());
    };
    QRectF chosen = clear(right) || !clear(left) ? right : left;
    // Never cut at the panel's edges.
    chosen.moveLeft(std::clamp(chosen.left(), inside.left(), inside.right() - width));
    chosen.moveTop(std::max(chosen.top(), inside.top()));
    return chosen;
}

void CSSVolumePanel::PaintTag(QPainter& p, const Item& item) const {
    p.setFont(TagFont(item.number));
    p.setPen(kNumber);
    p.drawText(TagRect(item.number), Qt::AlignLeft | Qt::AlignVCenter, m_tags[size_t(item.number)]);
}

void CSSVolumePanel::PaintSpeaker(QPainter& p, const Item& item) const {
    const QColor colour = SpeakerColour(item.number);
    const QRectF box = SpeakerBox(item);
    const QSizeF size = box.size();
    if (m_speaker.isNull()) {
        p.setPen(QPen(colour.darker(150), 1.0));
        p.setBrush(colour);
        p.drawRoundedRect(box, 3, 3);
    } else {
        // A ring in the speaker's colour behind its picture.
        p.setPen(Qt::NoPen);
        QColor halo = colour;
        halo.setAlpha(60);
        p.setBrush(halo);
        p.drawEllipse(QPointF(item.pixelX, item.pixelY), size.width() * 0.8, size.height() * 0.7);
        p.drawImage(box, m_speaker);
    }
    QFont nameFont = ArialFont(kNamePx);
    nameFont.setBold(true);
    p.setFont(nameFont);
    p.setPen(colour);
    // The name over two lines ("前置左" over "(L)"), so neighbours a metre
    // apart keep theirs apart.
    const QString& name = m_names[size_t(item.number)];
    p.drawText(QRectF(item.pixelX - 40, box.bottom() + 1, 80, 2 * kNamePx + 6),
               Qt::AlignHCenter | Qt::AlignTop, name);
}

void CSSVolumePanel::PaintListener(QPainter& p, const Item&) const {
    const QRectF box = ListenerRect();
    if (!m_listener.isNull()) {
        p.drawImage(box, m_listener);
        return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kListenerFace);
    p.drawEllipse(box);
}

const QImage& CSSVolumePanel::RenderFrame() {
    QPainter p;
    m_buffer.BeginFrame(p, *this);
    PaintGrid(p);
    for (int i = 1; i < kItemCount; ++i) PaintSpeaker(p, m_items[i]);
    PaintListener(p, m_items[kListener]);
    for (int i = 1; i < kItemCount; ++i) PaintTag(p, m_items[i]);
    p.end();
    return m_buffer.Image();
}

void CSSVolumePanel::paintEvent(QPaintEvent*) {
    RenderFrame();
    QPainter p(this);
    m_buffer.CopyTo(p);
}
