#pragma once

#include "state/ImageEdits.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUndoStack>

#include <cstdint>
#include <vector>

// The editor's memory of what the user changed: every edit the image
// operations report becomes a step of one undo stack (pages hold no undo
// logic: whatever writes through the image operations can be undone), and
// the image is compared with what the processor last read or was given and
// with the open mode file.
//
// Steps and gestures: the edits made while one input event is handled (a
// change written to every linked channel, both copies of a ribbon slider)
// make one step. A gesture ends with a mouse button pressed or released or a
// key let go; within one gesture, steps on the same parameters merge, so a
// slider drag, a held arrow key or a dragged EQ band is one step. The
// controls report nothing extra for this: the history watches the
// application's input events.
class CEditHistory : public QObject, public fx::IImageEditObserver {
    Q_OBJECT
public:
    explicit CEditHistory(QObject* parent = nullptr);
    ~CEditHistory() override;

    QUndoStack& Stack() { return m_stack; }
    // Edits not yet on the stack become a step now.
    void Flush();
    void Undo();
    void Redo();
    // The steps' descriptions in the current language.
    void Relabel();

    // Named parameters that differ from the image last read from or written
    // to the processor.
    int ChangedSinceRead() const { return m_changedSinceRead; }
    // Those parameters, one line each ("CH 3 delay: 1.3 ms → 5.0 ms").
    QStringList ChangedSinceReadLines(int language) const;
    // The editor's parameters were written to the processor whole: they are
    // what it holds now (the steps stay).
    void ProcessorHoldsEditorImage();
    // The mode file last loaded or saved ("" when none) and whether the
    // parameters differ from it.
    QString OpenFile() const { return m_openFile; }
    bool DiffersFromFile() const;
    void SetOpenFile(const QString& path);

    void ImageEdited(const fx::ImageEdit& edit) override;
    void ImageReplaced() override;

signals:
    // Undo or redo put bytes back into the image: the window redraws.
    void imageRestored();
    // The parameters changed in some way (edit, undo, redo, read, file).
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnEdited(const fx::ImageEdit& edit);
    void OnReplaced();
    void EndGesture();
    void Recount();

    QUndoStack m_stack;
    std::vector<fx::ImageEdit> m_pending;
    bool m_flushQueued = false;
    int m_gesture = 0;
    std::vector<uint8_t> m_readImage;
    std::vector<uint8_t> m_fileImage;
    QString m_openFile;
    int m_changedSinceRead = 0;
};
