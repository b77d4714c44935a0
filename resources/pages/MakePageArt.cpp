// Draws the page artwork: the title pictures of the reverb and echo EQ page
// (one per sub-page and language) and its back button's looks, the channel
// pictures of the output page (one per channel and language), the
// recording page's picture (one per language), the handle of the delay
// chart and the speaker and listener of the room plan. Not
// part of the build; run it once after changing the artwork:
//   g++ -std=c++20 -fPIC MakePageArt.cpp $(pkg-config --cflags --libs Qt6Gui) -o make-page-art
//   QT_QPA_PLATFORM=offscreen ./make-page-art <resources/pages>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
struct Title {
    const char* name;
    const char* zh;
    const char* en;
    QColor accent;
};

void DrawSpeaker(QPainter& p, const QRectF& box, const QColor& colour) {
    // Loudspeaker body and cone, then three sound waves.
    const double u = box.height() / 10.0;
    QPainterPath cone;
    cone.moveTo(box.left() + 1 * u, box.top() + 3.5 * u);
    cone.lineTo(box.left() + 3 * u, box.top() + 3.5 * u);
    cone.lineTo(box.left() + 6 * u, box.top() + 1 * u);
    cone.lineTo(box.left() + 6 * u, box.top() + 9 * u);
    cone.lineTo(box.left() + 3 * u, box.top() + 6.5 * u);
    cone.lineTo(box.left() + 1 * u, box.top() + 6.5 * u);
    cone.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(cone);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        QPen pen(colour, 0.8 * u, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        const double r = (2.0 + 1.6 * i) * u;
        const QRectF arc(box.left() + 6 * u - r, box.top() + 5 * u - r, 2 * r, 2 * r);
        p.drawArc(arc, -45 * 16, 90 * 16);
    }
}

// A rounded body filled with face, its outline, and a soft highlight over
// the upper half: the button look.
void DrawFace(QPainter& p, const QRectF& body, const QLinearGradient& face, const QPen& outline,
              double radius, int shineAlpha) {
    p.setPen(outline);
    p.setBrush(face);
    p.drawRoundedRect(body, radius, radius);
    QLinearGradient shine(body.topLeft(), QPointF(body.left(), body.center().y()));
    shine.setColorAt(0, QColor(255, 255, 255, shineAlpha));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(body.adjusted(3, 2, -3, -body.height() / 2), radius - 2, radius - 2);
}

// White text over its soft shadow.
void DrawShadowedText(QPainter& p, const QRectF& box, const QString& text) {
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(box.translated(1, 1), Qt::AlignVCenter | Qt::AlignLeft, text);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignVCenter | Qt::AlignLeft, text);
}

QImage TitleImage(const Title& title, bool english) {
    const QSize size(300, 52);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF body(1.5, 1.5, size.width() - 3, size.height() - 3);
    QLinearGradient face(body.topLeft(), body.bottomLeft());
    face.setColorAt(0, title.accent.lighter(150));
    face.setColorAt(0.5, title.accent);
    face.setColorAt(1, title.accent.darker(150));
    DrawFace(p, body, face, QPen(title.accent.darker(200), 1.5), 12, 110);

    const QRectF icon(14, 8, 36, 36);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawEllipse(icon.adjusted(-2, -2, 2, 2));
    DrawSpeaker(p, icon.adjusted(5, 5, -3, -5), Qt::white);

    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(english ? 22 : 24);
    font.setBold(true);
    p.setFont(font);
    DrawShadowedText(p, QRectF(62, 0, size.width() - 74, size.height()),
                     QString::fromUtf8(english ? title.en : title.zh));
    return image;
}

// A page picture: a bar in the accent colour with an icon in front, a name
// in large letters (nameWidth wide) and a caption at the right end.
using IconFn = void (*)(QPainter&, const QRectF&, const QColor&);
QImage NameBarImage(const QColor& accent, IconFn icon, const QString& name, int nameWidth,
                    const QString& caption) {
    const QSize size(320, 40);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF body(1, 1, size.width() - 2, size.height() - 2);
    QLinearGradient face(body.topLeft(), body.topRight());
    face.setColorAt(0, accent.darker(130));
    face.setColorAt(0.6, accent);
    face.setColorAt(1, accent.lighter(160));
    DrawFace(p, body, face, QPen(accent.darker(200), 1.2), 8, 100);

    icon(p, QRectF(10, 6, 28, 28), Qt::white);
    QFont big(QStringLiteral("WenQuanYi Micro Hei"));
    big.setPixelSize(22);
    big.setBold(true);
    p.setFont(big);
    DrawShadowedText(p, QRectF(48, 0, nameWidth, size.height()), name);
    QFont small = big;
    small.setPixelSize(14);
    small.setBold(false);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 220));
    const double captionLeft = 30 + nameWidth;
    p.drawText(QRectF(captionLeft, 0, size.width() - 12 - captionLeft, size.height()),
               Qt::AlignVCenter | Qt::AlignRight, caption);
    return image;
}

// The output page's picture of a channel: its name, a loudspeaker in front.
QImage ChannelImage(int channel, const QColor& accent, bool english) {
    const QString name = english ? QStringLiteral("CH %1").arg(channel + 1)
                                 : QStringLiteral("通道%1").arg(channel + 1);
    return NameBarImage(accent, DrawSpeaker, name, 120,
                        english ? QStringLiteral("Output channel") : QStringLiteral("输出通道"));
}

void DrawMicrophone(QPainter& p, const QRectF& box, const QColor& colour) {
    // Capsule, its cradle and stand; a red recording dot at the upper right.
    const double u = box.height() / 10.0;
    const double cx = box.left() + 4 * u;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(cx - 1.6 * u, box.top(), 3.2 * u, 5.6 * u), 1.6 * u, 1.6 * u);
    QPen pen(colour, 0.8 * u, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(cx - 2.7 * u, box.top() + 1.8 * u, 5.4 * u, 5.4 * u), 200 * 16, 140 * 16);
    p.drawLine(QPointF(cx, box.top() + 7.2 * u), QPointF(cx, box.top() + 9.2 * u));
    p.drawLine(QPointF(cx - 1.8 * u, box.top() + 9.4 * u),
               QPointF(cx + 1.8 * u, box.top() + 9.4 * u));
    p.setPen(QPen(colour, 0.5 * u));
    p.setBrush(QColor(235, 30, 40));
    p.drawEllipse(QPointF(box.left() + 8.3 * u, box.top() + 2.2 * u), 1.6 * u, 1.6 * u);
}

// The recording page's picture: its name, a microphone in front.
QImage RecordImage(const QColor& accent, bool english) {
    return NameBarImage(accent, DrawMicrophone,
                        english ? QStringLiteral("Record") : QStringLiteral("录音输出"), 160,
                        english ? QStringLiteral("Recording output") : QStringLiteral("录音通道"));
}

QImage BackImage(const QColor& base, bool pressed) {
    const QSize size(96, 36);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1, 1, size.width() - 2, size.height() - 2);
    QLinearGradient face(body.topLeft(), body.bottomLeft());
    face.setColorAt(0, pressed ? base.darker(130) : base.lighter(140));
    face.setColorAt(1, pressed ? base.lighter(110) : base.darker(130));
    p.setPen(QPen(base.darker(200), 1.2));
    p.setBrush(face);
    p.drawRoundedRect(body, 9, 9);
    // A left-pointing arrow in front of the button's text.
    QPainterPath arrow;
    arrow.moveTo(8, 18);
    arrow.lineTo(17, 10);
    arrow.lineTo(17, 15);
    arrow.lineTo(24, 15);
    arrow.lineTo(24, 21);
    arrow.lineTo(17, 21);
    arrow.lineTo(17, 26);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    return image;
}
QImage Blank(const QSize& size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The delay chart's handle: a flag whose straight left edge is the pole
// that marks the value.
QImage DelayHandleImage() {
    const QSize size(14, 22);
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath flag;
    flag.moveTo(0, 0.5);
    flag.lineTo(8, 0.5);
    flag.quadTo(13.5, 0.5, 13.5, 6);
    flag.lineTo(13.5, 16);
    flag.quadTo(13.5, 21.5, 8, 21.5);
    flag.lineTo(0, 21.5);
    flag.closeSubpath();
    QLinearGradient face(0, 0, size.width(), 0);
    face.setColorAt(0, QColor(70, 90, 120));
    face.setColorAt(0.5, QColor(150, 175, 205));
    face.setColorAt(1, QColor(95, 120, 155));
    p.setPen(QPen(QColor(40, 55, 80), 1));
    p.setBrush(face);
    p.drawPath(flag);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1));
    for (int y : {7, 11, 15}) p.drawLine(QPointF(4, y), QPointF(10, y));
    p.setPen(QPen(QColor(20, 30, 50), 2));
    p.drawLine(QPointF(1, 0), QPointF(1, size.height()));
    return image;
}

// A loudspeaker cabinet from the front: tweeter over woofer.
QImage SpeakerImage() {
    const QSize size(26, 34);
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1, 1, size.width() - 2, size.height() - 2);
    QLinearGradient face(body.topLeft(), body.topRight());
    face.setColorAt(0, QColor(45, 45, 50));
    face.setColorAt(0.5, QColor(85, 85, 95));
    face.setColorAt(1, QColor(40, 40, 45));
    p.setPen(QPen(QColor(20, 20, 25), 1.2));
    p.setBrush(face);
    p.drawRoundedRect(body, 4, 4);
    const auto driver = [&p](const QPointF& centre, double radius) {
        QRadialGradient cone(centre, radius);
        cone.setColorAt(0, QColor(200, 200, 210));
        cone.setColorAt(0.35, QColor(110, 110, 120));
        cone.setColorAt(1, QColor(30, 30, 35));
        p.setPen(QPen(QColor(170, 170, 180), 1.0));
        p.setBrush(cone);
        p.drawEllipse(centre, radius, radius);
    };
    driver(QPointF(size.width() / 2.0, 9), 4.0);
    driver(QPointF(size.width() / 2.0, 22), 8.5);
    return image;
}

// The listener: a person on an orange disc.
QImage ListenerImage() {
    const QSize size(34, 34);
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(1, 1, size.width() - 2, size.height() - 2);
    QRadialGradient face(disc.center() - QPointF(4, 5), disc.width() * 0.7);
    face.setColorAt(0, QColor(255, 190, 90));
    face.setColorAt(1, QColor(225, 105, 0));
    p.setPen(QPen(QColor(150, 60, 0), 1.2));
    p.setBrush(face);
    p.drawEllipse(disc);
    // Head and shoulders, clipped to the disc.
    QPainterPath inside;
    inside.addEllipse(disc.adjusted(1, 1, -1, -1));
    p.setClipPath(inside);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(17, 13), 6, 6);
    p.drawRoundedRect(QRectF(6.5, 21, 21, 16), 9, 9);
    return image;
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const Title titles[] = {
        {"reverb-a", "通道A 混响均衡", "CH A Reverb EQ", QColor(0, 140, 190)},
        {"reverb-b", "通道B 混响均衡", "CH B Reverb EQ", QColor(0, 150, 60)},
        {"echo-a", "通道A 回声均衡", "CH A Echo EQ", QColor(0, 140, 190)},
        {"echo-b", "通道B 回声均衡", "CH B Echo EQ", QColor(0, 150, 60)},
    };
    bool ok = true;
    for (const Title& title : titles) {
        for (bool english : {false, true}) {
            const QString name = QStringLiteral("efx-title-%1-%2.png")
                                     .arg(QString::fromLatin1(title.name),
                                          english ? QStringLiteral("en") : QStringLiteral("zh"));
            ok = TitleImage(title, english).save(out.filePath(name)) && ok;
        }
    }
    const QColor channelColours[8] = {
        QColor(0, 120, 190), QColor(0, 140, 150), QColor(40, 140, 60),  QColor(120, 130, 20),
        QColor(190, 110, 0), QColor(190, 60, 40), QColor(150, 50, 140), QColor(80, 70, 170)};
    for (int channel = 0; channel < 8; ++channel) {
        for (bool english : {false, true}) {
            const QString name = QStringLiteral("output-ch%1-%2.png")
                                     .arg(channel + 1)
                                     .arg(english ? QStringLiteral("en") : QStringLiteral("zh"));
            ok = ChannelImage(channel, channelColours[channel], english).save(out.filePath(name)) &&
                 ok;
        }
    }
    for (bool english : {false, true}) {
        const QString name =
            english ? QStringLiteral("rec-title-en.png") : QStringLiteral("rec-title-zh.png");
        ok = RecordImage(QColor(60, 80, 120), english).save(out.filePath(name)) && ok;
    }
    ok = DelayHandleImage().save(out.filePath(QStringLiteral("delay-handle.png"))) && ok;
    ok = SpeakerImage().save(out.filePath(QStringLiteral("surround-speaker.png"))) && ok;
    ok = ListenerImage().save(out.filePath(QStringLiteral("surround-listener.png"))) && ok;
    const QColor back(30, 90, 160);
    ok = BackImage(back, false).save(out.filePath(QStringLiteral("efx-back.png"))) && ok;
    ok = BackImage(back.lighter(125), false)
             .save(out.filePath(QStringLiteral("efx-back-hover.png"))) &&
         ok;
    ok = BackImage(back, true).save(out.filePath(QStringLiteral("efx-back-pressed.png"))) && ok;
    return ok ? 0 : 1;
}
