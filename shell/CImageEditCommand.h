#pragma once

#include "state/ImageEdits.h"

#include <QUndoCommand>

#include <functional>

// One step of the editor's undo stack: the changes one user action made to
// the image. Undo puts the old bytes back through the image operations (the
// processor gets them as it got the edit), redo the new ones. The steps of
// one gesture on the same parameters merge into one.
class CImageEditCommand : public QUndoCommand {
public:
    // The edit has been made already: the first redo, which the stack runs
    // when the step is pushed, does nothing. restored runs after every undo
    // and redo (the window redraws from the image).
    CImageEditCommand(fx::ImageEdit edit, int gesture, std::function<void()> restored);

    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;
    void undo() override;
    void redo() override;

    // The description in the current language.
    void Relabel();
    const fx::ImageEdit& Edit() const { return m_edit; }

private:
    bool SameParameters(const CImageEditCommand& other) const;

    fx::ImageEdit m_edit;
    int m_gesture;
    std::function<void()> m_restored;
    bool m_made = true;
};
