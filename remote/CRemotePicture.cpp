#include "remote/CRemotePicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>

namespace {

constexpr double kDesignWidth = 220;
constexpr double kDesignHeight = 520;

enum class KeyShape { Round, Rounded, Pad };

struct KeyArt {
    QRectF rect; // design units
    KeyShape shape;
    const char* label;
    QColor face;
};

const QColor kDark(58, 64, 74);
const QColor kRed(196, 40, 40);
const QColor kBlue(40, 110, 190);
const QColor kGreen(40, 150, 100);
const QColor kAmber(200, 130, 30);

// Keys 1..17 in the order of the key numbers.
const std::array<KeyArt, CRemotePicture::kKeyCount>& Keys() {
    static const std::array<KeyArt, CRemotePicture::kKeyCount> keys = {{
        {{88, 42, 44, 44}, KeyShape::Round, "", kRed},            // power
        {{30, 104, 62, 32}, KeyShape::Rounded, "\u266D", kDark},  // pitch-
        {{128, 104, 62, 32}, KeyShape::Rounded, "\u266F", kDark}, // pitch+
        {{86, 160, 48, 36}, KeyShape::Pad, "M1 \u25B2", kDark},   // M1 / up
        {{86, 252, 48, 36}, KeyShape::Pad, "M4 \u25BC", kDark},   // M4 / down
        {{40, 198, 44, 52}, KeyShape::Pad, "M3\n\u25C0", kDark},  // M3 / left
        {{136, 198, 44, 52}, KeyShape::Pad, "M2\n\u25B6", kDark}, // M2 / right
        {{89, 203, 42, 42}, KeyShape::Round, "OK", kBlue},        // OK / original pitch
        {{24, 306, 54, 30}, KeyShape::Rounded, "MENU", kDark},    // enter video menu
        {{83, 306, 54, 30}, KeyShape::Rounded, "MUTE", kRed},     // mute
        {{142, 306, 54, 30}, KeyShape::Rounded, "EXIT", kDark},   // leave video menu
        {{26, 362, 50, 32}, KeyShape::Rounded, "+", kGreen},      // mic up
        {{26, 404, 50, 32}, KeyShape::Rounded, "\u2212", kGreen}, // mic down
        {{85, 362, 50, 32}, KeyShape::Rounded, "+", kAmber},      // effect up
        {{85, 404, 50, 32}, KeyShape::Rounded, "\u2212", kAmber}, // effect down
        {{144, 362, 50, 32}, KeyShape::Rounded, "+", kBlue},      // music up
        {{144, 404, 50, 32}, KeyShape::Rounded, "\u2212", kBlue}, // music down
    }};
    return keys;
}

QFont ArtFont(double pixelSize, bool bold = true) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(6, static_cast<int>(pixelSize + 0.5)));
    font.setBold(bold);
    return font;
}

void DrawBody(QPainter& p) {
    const QRectF body(8, 8, kDesignWidth - 16, kDesignHeight - 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawRoundedRect(body.translated(3, 4), 46, 46);
    QLinearGradient shell(body.topLeft(), body.topRight());
    shell.setColorAt(0, QColor(46, 50, 58));
    shell.setColorAt(0.5, QColor(74, 80, 92));
    shell.setColorAt(1, QColor(40, 44, 52));
    p.setPen(QPen(QColor(20, 22, 26), 2));
    p.setBrush(shell);
    p.drawRoundedRect(body, 46, 46);
    // The infrared window at the top.
    QRadialGradient window(QPointF(110, 22), 26);
    window.setColorAt(0, QColor(150, 30, 40));
    window.setColorAt(1, QColor(60, 10, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(window);
    p.drawRoundedRect(QRectF(80, 14, 60, 14), 7, 7);
    // The direction ring.
    p.setBrush(QColor(32, 35, 41));
    p.setPen(QPen(QColor(100, 108, 122), 1.5));
    p.drawEllipse(QPointF(110, 224), 76, 76);
}

void DrawCaptions(QPainter& p) {
    p.setPen(QColor(200, 206, 216));
    p.setFont(ArtFont(10));
    p.drawText(QRectF(92, 104, 36, 32), Qt::AlignCenter, QStringLiteral("PITCH"));
    const char* groups[] = {"MIC", "EFFECT", "MUSIC"};
    for (int i = 0; i < 3; ++i)
        p.drawText(QRectF(16 + 59 * i, 440, 70, 16), Qt::AlignCenter, QString::fromUtf8(groups[i]));
    p.setPen(QColor(140, 150, 166));
    p.setFont(ArtFont(13));
    p.drawText(QRectF(0, 474, kDesignWidth, 22), Qt::AlignCenter, QStringLiteral("KARAOKE DSP"));
}

// The standby sign: a broken ring with a bar through its gap.
void DrawPowerSymbol(QPainter& p, const QRectF& key) {
    const double r = key.width() * 0.24;
    const QPointF c = key.center() + QPointF(0, r * 0.12);
    p.setPen(QPen(Qt::white, key.width() * 0.08, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 120 * 16, 300 * 16);
    p.drawLine(QPointF(c.x(), c.y() - r * 1.25), QPointF(c.x(), c.y() - r * 0.15));
}

void DrawKey(QPainter& p, const KeyArt& key) {
    QPainterPath path;
    if (key.shape == KeyShape::Round)
        path.addEllipse(key.rect);
    else
        path.addRoundedRect(key.rect, key.shape == KeyShape::Pad ? 8 : 12,
                            key.shape == KeyShape::Pad ? 8 : 12);
    QLinearGradient face(key.rect.topLeft(), key.rect.bottomLeft());
    face.setColorAt(0, key.face.lighter(150));
    face.setColorAt(1, key.face.darker(130));
    p.setPen(QPen(QColor(15, 16, 20), 1.2));
    p.setBrush(face);
    p.drawPath(path);
    p.setPen(Qt::white);
    const QString label = QString::fromUtf8(key.label);
    if (label.isEmpty()) {
        DrawPowerSymbol(p, key.rect);
        return;
    }
    const bool symbol = label.size() <= 1;
    p.setFont(ArtFont(symbol ? key.rect.height() * 0.55 : 10.5));
    p.drawText(key.rect, Qt::AlignCenter, label);
}

} // namespace

CRemotePicture::CRemotePicture(QWidget* parent) : QWidget(parent) {}

QSize CRemotePicture::sizeHint() const {
    return QSize(static_cast<int>(kDesignWidth), static_cast<int>(kDesignHeight));
}

QRectF CRemotePicture::DesignBox() const {
    const double scale = std::min(width() / kDesignWidth, height() / kDesignHeight);
    const QSizeF size(kDesignWidth * scale, kDesignHeight * scale);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QRect CRemotePicture::KeyRect(int key) const {
    if (key < 1 || key > kKeyCount) return {};
    const QRectF box = DesignBox();
    const double scale = box.width() / kDesignWidth;
    const QRectF design = Keys()[static_cast<size_t>(key - 1)].rect;
    return QRectF(box.left() + design.left() * scale, box.top() + design.top() * scale,
                  design.width() * scale, design.height() * scale)
        .toAlignedRect();
}

void CRemotePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF box = DesignBox();
    p.translate(box.topLeft());
    p.scale(box.width() / kDesignWidth, box.height() / kDesignHeight);
    DrawBody(p);
    for (const KeyArt& key : Keys()) DrawKey(p, key);
    DrawCaptions(p);
}

// ------------------------------------------------------------------ instructions

CInstructionPicture::CInstructionPicture(QWidget* parent) : QWidget(parent) {}

void CInstructionPicture::SetLanguage(int language) {
    m_language = language == 1 ? 1 : 0;
    update();
}

namespace {

// A small remote sending its beam to the processor's front.
void DrawBeam(QPainter& p, const QRectF& box) {
    const QRectF remote(box.left() + 6, box.top() + 14, 26, 60);
    p.setPen(QPen(QColor(30, 34, 40), 1.2));
    p.setBrush(QColor(70, 76, 88));
    p.drawRoundedRect(remote, 8, 8);
    p.setBrush(QColor(196, 40, 40));
    p.drawEllipse(QPointF(remote.center().x(), remote.top() + 9), 4, 4);
    const QRectF unit(box.right() - 78, box.top() + 24, 72, 40);
    QLinearGradient front(unit.topLeft(), unit.bottomLeft());
    front.setColorAt(0, QColor(90, 98, 112));
    front.setColorAt(1, QColor(40, 44, 52));
    p.setBrush(front);
    p.drawRoundedRect(unit, 5, 5);
    p.setBrush(QColor(150, 30, 40));
    p.drawRoundedRect(QRectF(unit.left() + 6, unit.top() + 14, 14, 8), 3, 3);
    p.setBrush(QColor(60, 220, 120));
    p.drawEllipse(QPointF(unit.right() - 10, unit.bottom() - 10), 3, 3);
    QPen wave(QColor(220, 60, 60), 2, Qt::DashLine, Qt::RoundCap);
    p.setPen(wave);
    const QPointF from(remote.center().x() + 6, remote.top() + 8);
    const QPointF to(unit.left() + 8, unit.top() + 18);
    p.drawLine(from, to);
    p.setPen(QPen(QColor(220, 60, 60), 1.6));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const double r = 6.0 * i;
        p.drawArc(QRectF(to.x() - r, to.y() - r, 2 * r, 2 * r), 120 * 16, 120 * 16);
    }
}

} // namespace

void CInstructionPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF card = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(QPen(QColor(150, 190, 220), 1.2));
    p.setBrush(QColor(255, 255, 255));
    p.drawRoundedRect(card, 10, 10);

    const bool english = m_language == 1;
    QFont title(QStringLiteral("WenQuanYi Micro Hei"));
    title.setPixelSize(17);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(30, 80, 140));
    p.drawText(card.adjusted(14, 10, -14, 0), Qt::AlignLeft | Qt::AlignTop,
               english ? QStringLiteral("How to learn a key") : QString::fromUtf8("学习遥控按键"));
    DrawBeam(p, QRectF(card.left() + 20, card.top() + 46, card.width() - 40, 84));

    const char* const zh[] = {"点击左边遥控器图上要学习的按键。",
                              "把家用遥控器对准机器前面板的接收窗。",
                              "按一下家用遥控器上对应的按键，学到的键码会显示出来。",
                              "全部学完后点击“应用设置”，键码存入机器。"};
    const char* const en[] = {"Click the key to learn on the remote picture at the left.",
                              "Aim the household remote at the processor's front window.",
                              "Press the matching key once; the learned code is shown.",
                              "When all keys are learned, click Apply to store the codes."};
    QFont body(QStringLiteral("WenQuanYi Micro Hei"));
    body.setPixelSize(15);
    double y = card.top() + 150;
    for (int i = 0; i < 4; ++i) {
        const QRectF badge(card.left() + 14, y + 1, 22, 22);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 110, 190));
        p.drawEllipse(badge);
        p.setPen(Qt::white);
        p.setFont(title);
        p.drawText(badge, Qt::AlignCenter, QString::number(i + 1));
        p.setFont(body);
        p.setPen(QColor(40, 44, 52));
        const QRectF textBox(card.left() + 46, y, card.width() - 60, 60);
        const QString text = QString::fromUtf8(english ? en[i] : zh[i]);
        QRectF used;
        p.drawText(textBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text, &used);
        y += std::max(used.height(), 24.0) + 20;
    }
}
