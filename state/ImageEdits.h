#pragma once

#include "state/ParamImage.h"

#include <cstdint>
#include <vector>

// Every change the image operations make to the parameter image, reported to
// one observer with the bytes before and after, so that an editor can undo it
// by putting the old bytes back through the same operations. Addresses are
// those of a saved image: the panel working copy over 0..1253, the DSP
// records from 1254 (what EditedImage() returns); the machine settings
// record, which the processor keeps beside the image, follows it.
namespace fx {

constexpr int kMachineSettingsAddress = kImageSize;

// What the user did, where the bytes alone do not say it.
enum class ImageEditKind { Change, EqReset, EqPaste, EqImport, EqAutoFit };

struct ImageBytes {
    int address = 0;
    std::vector<uint8_t> before, after;
};

struct ImageEdit {
    ImageEditKind kind = ImageEditKind::Change;
    int eqSet = -1;                  // the set a reset, paste or import wrote
    std::vector<ImageBytes> changes; // in the order they were made
};

class IImageEditObserver {
public:
    virtual ~IImageEditObserver() = default;
    // The changes of one operation, once it has finished, on the thread that ran it.
    virtual void ImageEdited(const ImageEdit& edit) = 0;
    // The whole image was replaced: read from the processor, loaded from a
    // mode file or built from the defaults.
    virtual void ImageReplaced() = 0;
};

// nullptr removes the observer.
void SetImageEditObserver(IImageEditObserver* observer);

// Gathers the changes of an operation and of the operations it calls into one
// edit, reported when the outermost scope on this thread ends. An operation
// outside any scope reports each change as an edit of its own.
class ImageEditScope {
public:
    explicit ImageEditScope(ImageEditKind kind = ImageEditKind::Change, int eqSet = -1);
    ~ImageEditScope();
    ImageEditScope(const ImageEditScope&) = delete;
    ImageEditScope& operator=(const ImageEditScope&) = delete;
};

// Called by the operations with the bytes they are about to overwrite and
// the new ones; equal bytes are no change.
void NoteImageChange(int address, const uint8_t* before, const uint8_t* after, int size);
void NoteImageReplaced();

// Puts bytes back through the operation that writes them, so the processor
// gets the frames an edit sends: a band record through SetEqBand, DSP values
// through the DSP write of their record from its first value, a surround or
// level block through its panel write, the machine settings record through
// its command (posted; the editor's Apply also waits for the answer). The
// editor values follow. Nothing of
// this is reported to the observer.
void ApplyImageBytes(int address, const std::vector<uint8_t>& bytes);
// Undo: every change's old bytes, the last change first.
void RevertImageChanges(const std::vector<ImageBytes>& changes);
// Redo: every change's new bytes, in order.
void ReapplyImageChanges(const std::vector<ImageBytes>& changes);

} // namespace fx
