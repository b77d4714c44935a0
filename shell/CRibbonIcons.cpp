#include "shell/CRibbonIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace {
constexpr int kSize = 32;
const QColor kBlue(40, 90, 160);
const QColor kLightBlue(120, 170, 230);
const QColor kGold(235, 180, 60);
const QColor kGreen(60, 150, 80);
const QColor kRed(200, 60, 50);

QIcon Draw(const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    return QIcon(pixmap);
}

void Folder(QPainter& p) {
    p.setPen(QPen(kGold.darker(140), 1.5));
    p.setBrush(kGold);
    QPainterPath path;
    path.moveTo(3, 9);
    path.lineTo(12, 9);
    path.lineTo(14, 12);
    path.lineTo(29, 12);
    path.lineTo(29, 27);
    path.lineTo(3, 27);
    path.closeSubpath();
    p.drawPath(path);
}

void Disk(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(150), 1.5));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 5, 14, 9));
    p.setBrush(colour.darker(130));
    p.drawRect(QRectF(10, 19, 12, 8));
}

void Arrow(QPainter& p, bool down, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath path;
    if (down) {
        path.moveTo(20, 14);
        path.lineTo(30, 14);
        path.lineTo(25, 21);
    } else {
        path.moveTo(20, 21);
        path.lineTo(30, 21);
        path.lineTo(25, 14);
    }
    path.closeSubpath();
    p.drawPath(path);
}

void Text(QPainter& p, const QString& text, const QColor& colour, int pixelSize) {
    QFont font = p.font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, text);
}
} // namespace

QIcon CRibbonIcons::Application() {
    const QIcon installed = QIcon::fromTheme(QStringLiteral("fxtune"));
    if (!installed.isNull()) return installed;
    return Draw([](QPainter& p) {
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(kLightBlue);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(QPen(Qt::white, 2.5));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(9 + i * 5, 22), QPointF(9 + i * 5, 12 + (i % 2) * 4));
    });
}

QIcon CRibbonIcons::OpenFile() {
    return Draw([](QPainter& p) {
        Folder(p);
        Arrow(p, false, kGreen);
    });
}

QIcon CRibbonIcons::SaveFile() {
    return Draw([](QPainter& p) { Disk(p, kBlue); });
}

QIcon CRibbonIcons::LoadMode() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kBlue, 1.5));
        p.setBrush(kLightBlue);
        p.drawRoundedRect(QRectF(3, 6, 20, 22), 3, 3);
        Text(p, QStringLiteral("M"), Qt::white, 14);
        Arrow(p, true, kGreen);
    });
}

QIcon CRibbonIcons::StoreMode() {
    return Draw([](QPainter& p) {
        Disk(p, kGreen);
        Text(p, QStringLiteral("M"), kGreen.darker(160), 10);
    });
}

QIcon CRibbonIcons::Exit() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kRed, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(9, 9, 23, 23);
        p.drawLine(23, 9, 9, 23);
    });
}

QIcon CRibbonIcons::Network() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kBlue, 2));
        p.setBrush(kLightBlue);
        p.drawRect(QRectF(4, 4, 12, 10));
        p.drawRect(QRectF(16, 18, 12, 10));
        p.drawLine(10, 14, 10, 23);
        p.drawLine(10, 23, 16, 23);
    });
}

QIcon CRibbonIcons::Features() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kGold.darker(150), 1.5));
        p.setBrush(kGold);
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double angle = -M_PI / 2 + i * M_PI / 5;
            const double radius = i % 2 ? 6 : 14;
            const QPointF point(16 + radius * std::cos(angle), 17 + radius * std::sin(angle));
            if (i == 0)
                star.moveTo(point);
            else
                star.lineTo(point);
        }
        star.closeSubpath();
        p.drawPath(star);
    });
}

QIcon CRibbonIcons::InputSource() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kBlue, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 5, 22, 22));
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(13, 13, 6, 6));
    });
}

QIcon CRibbonIcons::Reset() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(6, 6, 20, 20), 120 * 16, 300 * 16);
        p.drawLine(16, 3, 16, 14);
    });
}

QIcon CRibbonIcons::Remote() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kBlue.darker(130), 1.5));
        p.setBrush(QColor(90, 100, 120));
        p.drawRoundedRect(QRectF(10, 4, 12, 25), 3, 3);
        p.setBrush(kRed);
        p.drawEllipse(QRectF(13, 7, 6, 6));
        p.setBrush(Qt::white);
        for (int r = 0; r < 3; ++r) p.drawRect(QRectF(13, 16 + r * 4, 6, 2));
    });
}

QIcon CRibbonIcons::Language() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kBlue, 1.5));
        p.setBrush(kLightBlue.lighter(120));
        p.drawRoundedRect(QRectF(2, 5, 28, 22), 4, 4);
        Text(p, QStringLiteral("A"), kBlue, 16);
    });
}

QIcon CRibbonIcons::About() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kBlue, 1.5));
        p.setBrush(kLightBlue);
        p.drawEllipse(QRectF(4, 4, 24, 24));
        Text(p, QStringLiteral("?"), Qt::white, 18);
    });
}

QIcon CRibbonIcons::Information() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(kBlue, 1.5));
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        Text(p, QStringLiteral("i"), Qt::white, 20);
    });
}
