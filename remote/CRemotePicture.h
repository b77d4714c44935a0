#pragma once

#include <QRectF>
#include <QWidget>

// The picture of the processor's own remote control (control 1279), drawn in
// code so it is sharp at any screen resolution. The seventeen keys sit where
// KeyRect says; the learning dialog lays its clickable key areas there.
class CRemotePicture : public QWidget {
    Q_OBJECT
public:
    static constexpr int kKeyCount = 17;

    explicit CRemotePicture(QWidget* parent = nullptr);

    // Key 1..17 in this widget's pixels.
    QRect KeyRect(int key) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Design units (the remote is drawn in a 220 x 520 box) to pixels.
    QRectF DesignBox() const;
};

// The instruction picture (control 1216): how learning goes, in the
// language chosen.
class CInstructionPicture : public QWidget {
    Q_OBJECT
public:
    explicit CInstructionPicture(QWidget* parent = nullptr);
    void SetLanguage(int language);
    int Language() const { return m_language; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_language = 0;
};
