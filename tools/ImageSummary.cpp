// Prints a summary of the default parameter image: the headless stand-in for
// the editor until a display is available.
#include "state/ParamImage.h"

#include <cstdio>

int main() {
    BuildDefaultImage();
    int records = 0;
    int offset = kDspAreaStart;
    while (offset + 3 <= kImageSize) {
        const int count = g_ParamImage[offset + 2];
        offset += 3 + 4 * count;
        ++records;
    }
    std::printf("Default parameter image: %d bytes, %d DSP records ending at %d\n", kImageSize,
                records, offset);
    return offset == kImageSize ? 0 : 1;
}
