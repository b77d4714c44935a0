#pragma once

// The processor's parameter memory as the wire carries it: 3350 bytes,
// moved whole in chunks of one command's data, 60 chunks of 56 bytes, the
// last one 46 bytes at 3304.
constexpr int kImageSize = 3350;
constexpr int kImageChunkSize = 56;
constexpr int kImageChunkCount = (kImageSize + kImageChunkSize - 1) / kImageChunkSize;
constexpr int ImageChunkAddress(int chunk) {
    return chunk * kImageChunkSize;
}
constexpr int ImageChunkLength(int chunk) {
    return chunk == kImageChunkCount - 1 ? kImageSize - ImageChunkAddress(chunk) : kImageChunkSize;
}
