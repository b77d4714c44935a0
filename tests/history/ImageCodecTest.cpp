// The two ways an image is stored read back byte for byte, and a damaged
// delta is refused instead of giving a wrong image.
#include "service/history/ImageCodec.h"
#include "history/HistoryTestImages.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using fx::HistoryImage;
using fx::ImageCodec;

TEST(ImageCodecTest, DeltasAndWholeImagesReadBackExactly) {
    std::mt19937 random(7);
    HistoryImage previous = history_test::FactoryImage();
    for (int round = 0; round < 500; ++round) {
        HistoryImage next = previous;
        const int edits = round % 10 == 0 ? 400 : static_cast<int>(random() % 12);
        for (int i = 0; i < edits; ++i)
            next[random() % next.size()] = static_cast<uint8_t>(random());
        if (round % 7 == 0) next.back() ^= 0xFF; // a run at the very end
        const ImageCodec::Bytes delta = ImageCodec::EncodeDelta(previous, next);
        ASSERT_EQ(ImageCodec::ApplyDelta(previous, delta), next) << "round " << round;
        ASSERT_EQ(ImageCodec::DecodeWhole(ImageCodec::EncodeWhole(next)), next);
        previous = next;
    }
}

TEST(ImageCodecTest, AnUnchangedImageIsAnEmptyDeltaAndNearbyChangesShareARun) {
    HistoryImage image = history_test::FactoryImage();
    EXPECT_TRUE(ImageCodec::EncodeDelta(image, image).empty());
    HistoryImage next = image;
    next[100] ^= 1;
    next[103] ^= 1;
    EXPECT_EQ(ImageCodec::EncodeDelta(image, next).size(), 3u + 4u);
}

TEST(ImageCodecTest, ADamagedDeltaIsRefused) {
    const HistoryImage image = history_test::FactoryImage();
    const uint8_t end = static_cast<uint8_t>(image.size() & 0xFF);
    const uint8_t endHigh = static_cast<uint8_t>(image.size() >> 8);
    const struct {
        const char* what;
        ImageCodec::Bytes delta;
    } cases[] = {
        {"a head cut short", {0x10, 0x00}},
        {"bytes cut short", {0x10, 0x00, 0x04, 1, 2}},
        {"a run of no bytes", {0x10, 0x00, 0x00}},
        {"a run past the end", {static_cast<uint8_t>(end - 1), endHigh, 0x02, 1, 2}},
        {"a run beyond the end", {end, endHigh, 0x01, 1}},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ImageCodec::ApplyDelta(image, c.delta).has_value()) << c.what;
}

TEST(ImageCodecTest, DamagedWholeBytesAreRefused) {
    ImageCodec::Bytes stored = ImageCodec::EncodeWhole(history_test::FactoryImage());
    stored.resize(stored.size() / 2);
    EXPECT_FALSE(ImageCodec::DecodeWhole(stored).has_value());
    EXPECT_FALSE(ImageCodec::Decode(nullptr, ImageCodec::kDelta, {}).has_value());
}

} // namespace
