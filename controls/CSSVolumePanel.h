#pragma once

#include "controls/CBackBuffer.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <array>

// What the room plan tells its page when a drag starts and at each move.
constexpr int WM_SSV_DRAG_STARTED = 0x8D2;
constexpr int WM_SSV_ITEM_DRAGGED = 0x8D3;

// The room plan of the surround page: the room with a one-metre grid, the
// listener (item 0) and the eight speakers (items 1..8) at their positions
// in metres from the room's centre (x to the right, y to the front). Draws
// the positions it is given and reports drags; the page writes them.
class CSSVolumePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kItemCount = 9;
    static constexpr int kListener = 0;
    static constexpr int kMargin = 30; // the plan inside the client rectangle
    static constexpr int kHitDistance = 16;

    struct Item {
        int number = 0;
        int pixelX = 0;
        int pixelY = 0;
        double x = 0.0;
        double y = 0.0;
    };

    explicit CSSVolumePanel(QWidget* parent = nullptr);

    // The room in metres; every item's pixels follow. Repaints.
    void SetRoomSize(double width, double length);
    double RoomWidth() const { return m_width; }
    double RoomLength() const { return m_length; }
    // An item's position in metres. Repaints.
    void SetItemPosition(int item, double x, double y);
    const Item& ItemAt(int item) const { return m_items[item]; }

    // The pictures of a speaker and of the listener; null images keep
    // drawn stand-ins.
    void SetPictures(const QImage& speaker, const QImage& listener);
    static QColor SpeakerColour(int speaker);
    static QString SpeakerName(int speaker); // "前置左(L)"
    // What a speaker (1..8) is captioned with: its name under it (two lines,
    // "Front L" over "(L)") and a tag beside it, the output channel that
    // carries it ("CH3"), so the plan reads as the routing beside it does.
    // Until set: the Chinese name and the speaker's number.
    void SetSpeakerCaption(int speaker, const QString& name, const QString& tag);
    QString SpeakerCaptionName(int speaker) const;
    QString SpeakerTag(int speaker) const;

    QRect PlanRect() const;
    QPoint ItemPixel(int item) const;
    // The first item within reach of the pointer, -1 when none.
    int HitTest(const QPoint& pos) const;
    int DraggedItem() const { return m_dragging ? m_dragItem : -1; }

    // Draws the plan into the back buffer (what a repaint shows).
    const QImage& RenderFrame();
    // Where a speaker's channel tag is drawn: beside its top right corner,
    // or its top left when that keeps it clear of the listener and inside the
    // panel; never under the listener, which is drawn before the tags.
    QRectF TagRect(int speaker) const;
    QRectF ListenerRect() const;

signals:
    void DragStarted(int item); // WM_SSV_DRAG_STARTED
    void ItemDragged(int item); // WM_SSV_ITEM_DRAGGED

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double PixelsPerMetreX() const;
    double PixelsPerMetreY() const;
    void PlaceItem(Item& item);
    void PaintGrid(QPainter& p) const;
    void PaintAxis(QPainter& p, bool widthAxis) const;
    void PaintSpeaker(QPainter& p, const Item& item) const;
    void PaintTag(QPainter& p, const Item& item) const;
    QRectF SpeakerBox(const Item& item) const;
    QFont TagFont(int speaker) const;
    void PaintListener(QPainter& p, const Item& item) const;

    std::array<QString, kItemCount> m_names;
    std::array<QString, kItemCount> m_tags;

    double m_width = 4.0;
    double m_length = 4.0;
    std::array<Item, kItemCount> m_items;
    int m_dragItem = -1;
    bool m_dragging = false;
    QFont m_font;
    QImage m_speaker;
    QImage m_listener;
    CBackBuffer m_buffer;
};
