#include "service/history/ImageCodec.h"

#include <QByteArray>

#include <algorithm>

namespace fx {

namespace {

constexpr size_t kRunHeadSize = 3;
constexpr size_t kMaxRunLength = 255;
// Equal bytes up to this many between two changed ones stay inside one run.
constexpr size_t kJoinGap = kRunHeadSize;

void AppendRun(ImageCodec::Bytes& out, const HistoryImage& next, size_t start, size_t end) {
    while (start < end) {
        const size_t length = std::min(end - start, kMaxRunLength);
        out.push_back(static_cast<uint8_t>(start & 0xFF));
        out.push_back(static_cast<uint8_t>(start >> 8));
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), next.begin() + start, next.begin() + start + length);
        start += length;
    }
}

} // namespace

ImageCodec::Bytes ImageCodec::EncodeDelta(const HistoryImage& previous, const HistoryImage& next) {
    Bytes out;
    const size_t size = std::min(previous.size(), next.size());
    size_t at = 0;
    while (at < size) {
        if (previous[at] == next[at]) {
            ++at;
            continue;
        }
        const size_t start = at;
        size_t end = at + 1; // one past the last differing byte of the run
        for (size_t probe = end; probe < size && probe <= end + kJoinGap; ++probe)
            if (previous[probe] != next[probe]) end = probe + 1;
        AppendRun(out, next, start, end);
        at = end;
    }
    return out;
}

std::optional<HistoryImage> ImageCodec::ApplyDelta(const HistoryImage& previous,
                                                   const Bytes& delta) {
    HistoryImage image = previous;
    size_t at = 0;
    while (at < delta.size()) {
        if (delta.size() - at < kRunHeadSize) return std::nullopt;
        const size_t offset = delta[at] | (static_cast<size_t>(delta[at + 1]) << 8);
        const size_t length = delta[at + 2];
        at += kRunHeadSize;
        if (length == 0 || delta.size() - at < length || offset + length > image.size())
            return std::nullopt;
        std::copy(delta.begin() + at, delta.begin() + at + length, image.begin() + offset);
        at += length;
    }
    return image;
}

ImageCodec::Bytes ImageCodec::EncodeWhole(const HistoryImage& image) {
    const QByteArray packed =
        qCompress(reinterpret_cast<const uchar*>(image.data()), static_cast<int>(image.size()), 9);
    return Bytes(packed.begin(), packed.end());
}

std::optional<HistoryImage> ImageCodec::DecodeWhole(const Bytes& stored) {
    if (stored.size() < 4) return std::nullopt;
    const QByteArray image = qUncompress(reinterpret_cast<const uchar*>(stored.data()),
                                         static_cast<qsizetype>(stored.size()));
    if (image.isEmpty()) return std::nullopt;
    return HistoryImage(image.begin(), image.end());
}

ImageCodec::Stored ImageCodec::Encode(const HistoryImage* previous, const HistoryImage& image,
                                      int deltasSinceWhole, int interval) {
    Bytes whole = EncodeWhole(image);
    if (previous == nullptr || previous->size() != image.size() || deltasSinceWhole + 1 >= interval)
        return {kWhole, std::move(whole)};
    Bytes delta = EncodeDelta(*previous, image);
    if (delta.size() >= whole.size()) return {kWhole, std::move(whole)};
    return {kDelta, std::move(delta)};
}

std::optional<HistoryImage> ImageCodec::Decode(const HistoryImage* previous, Kind kind,
                                               const Bytes& data) {
    if (kind == kWhole) return DecodeWhole(data);
    if (kind != kDelta || previous == nullptr) return std::nullopt;
    return ApplyDelta(*previous, data);
}

int64_t ImageCodec::Fingerprint(const HistoryImage& image) {
    uint64_t hash = 1469598103934665603ULL;
    for (uint8_t byte : image) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    }
    return static_cast<int64_t>(hash);
}

} // namespace fx
