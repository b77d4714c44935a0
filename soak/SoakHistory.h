#pragma once

#include "state/ImageEdits.h"
#include "state/Processor.h"

#include <deque>
#include <mutex>

namespace fx {

// One processor's undo stack as the editor keeps it, without the window: every reported edit is a
// step, a replaced image clears both stacks, undo and redo put the bytes
// back through the image operations.
class SoakHistory : public IImageEditObserver {
public:
    static constexpr size_t kDepth = 200;

    explicit SoakHistory(Processor& processor);
    ~SoakHistory() override;
    SoakHistory(const SoakHistory&) = delete;
    SoakHistory& operator=(const SoakHistory&) = delete;

    void ImageEdited(const ImageEdit& edit) override;
    void ImageReplaced() override;

    // False when there was nothing to undo or redo.
    bool Undo();
    bool Redo();

private:
    Processor& m_processor;
    std::mutex m_mutex; // a read's replacement comes on its job thread
    std::deque<ImageEdit> m_undo;
    std::deque<ImageEdit> m_redo;
};

} // namespace fx
