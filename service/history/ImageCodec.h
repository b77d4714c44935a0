#pragma once

#include "service/history/HistoryTypes.h"

#include <cstdint>
#include <optional>
#include <vector>

// How the history stores an image: whole (compressed) or as the bytes that
// changed since the image before it. Both read back byte for byte.
namespace fx {

class ImageCodec {
public:
    using Bytes = std::vector<uint8_t>;

    // How a snapshot's image is stored (the kind column of the snapshots).
    enum Kind : int { kWhole = 0, kDelta = 1 };
    struct Stored {
        Kind kind = kWhole;
        Bytes data;
    };

    // A processor's snapshots form chains: a whole image, then deltas each
    // against the one before. The image is stored whole when there is
    // nothing before it, when deltasSinceWhole deltas already follow the
    // last whole one (interval - 1: a whole image every interval snapshots),
    // or when its delta would be larger than its whole image.
    static Stored Encode(const HistoryImage* previous, const HistoryImage& image,
                         int deltasSinceWhole, int interval);
    // The image a stored one gives after previous (needed for a delta).
    static std::optional<HistoryImage> Decode(const HistoryImage* previous, Kind kind,
                                              const Bytes& data);

    // The runs of bytes in which next differs from previous (same sizes):
    // each run is its offset (2 bytes, little-endian), its length (1 byte)
    // and its bytes. Runs a few equal bytes apart are joined, since a new
    // run's head costs more than the bytes between.
    static Bytes EncodeDelta(const HistoryImage& previous, const HistoryImage& next);
    // previous with the runs written over it; nothing when a run is damaged
    // or lies outside the image.
    static std::optional<HistoryImage> ApplyDelta(const HistoryImage& previous, const Bytes& delta);

    static Bytes EncodeWhole(const HistoryImage& image);
    // Nothing when the bytes do not decompress.
    static std::optional<HistoryImage> DecodeWhole(const Bytes& stored);

    // A 64-bit fingerprint (FNV-1a) kept beside each snapshot, so a read
    // that does not give back the written image says so.
    static int64_t Fingerprint(const HistoryImage& image);
};

} // namespace fx
