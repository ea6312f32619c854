// EXIF orientation: the tag read from EXIF blocks, and images turned upright.
#include <gtest/gtest.h>

#include "tests/support/runtime_files.h"

namespace {

using testsupport::Bytes;

// A TIFF-structured block whose first directory holds the given entries
// (tag, type, count, value as stored in the first two bytes).
struct EntrySpec {
    std::uint16_t tag, type;
    std::uint32_t count;
    std::uint16_t value;
};

Bytes ExifBlock(bool bigEndian, const std::vector<EntrySpec>& entries, bool header = false) {
    Bytes b;
    auto put16 = [&](std::uint16_t v) {
        if (bigEndian)
            b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
        else
            b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    auto put32 = [&](std::uint32_t v) {
        if (bigEndian)
            put16(std::uint16_t(v >> 16)), put16(std::uint16_t(v));
        else
            put16(std::uint16_t(v)), put16(std::uint16_t(v >> 16));
    };
    if (header) b.insert(b.end(), {'E', 'x', 'i', 'f', 0, 0});
    b.insert(b.end(), bigEndian ? std::initializer_list<std::uint8_t>{'M', 'M', 0, 42}
                                : std::initializer_list<std::uint8_t>{'I', 'I', 42, 0});
    put32(8);
    put16(std::uint16_t(entries.size()));
    for (const auto& e : entries) {
        put16(e.tag), put16(e.type), put32(e.count), put16(e.value), put16(0);
    }
    put32(0);
    return b;
}

TEST(ExifOrientation, ReadsTheTagInEitherByteOrderWithOrWithoutHeader) {
    for (bool big : {false, true})
        for (bool header : {false, true})
            for (std::uint16_t v = 1; v <= 8; ++v) {
                const Bytes b = ExifBlock(big, {{0x010F, 2, 4, 0}, {0x0112, 3, 1, v}}, header);
                EXPECT_EQ(gdip::ExifOrientation(b), v) << big << header;
            }
}

TEST(ExifOrientation, UnreadableOrAbsentMeansUpright) {
    const Bytes good = ExifBlock(false, {{0x0112, 3, 1, 6}});
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"no orientation entry", ExifBlock(false, {{0x0110, 2, 4, 0}})},
        {"value 0", ExifBlock(false, {{0x0112, 3, 1, 0}})},
        {"value 9", ExifBlock(true, {{0x0112, 3, 1, 9}})},
        {"wrong type", ExifBlock(false, {{0x0112, 4, 1, 6}})},
        {"wrong count", ExifBlock(false, {{0x0112, 3, 2, 6}})},
        {"bad byte order mark", Bytes{'I', 'M', 42, 0, 8, 0, 0, 0}},
        {"directory past the end", Bytes{'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0xFF}},
        {"cut inside the entry", Bytes(good.begin(), good.begin() + 16)},
        {"entry count past the end",
         [] {
             Bytes b = ExifBlock(false, {{0x0112, 3, 1, 6}});
             b[8] = 0xFF, b[9] = 0xFF;  // claims 65535 entries
             b[10] = 0x99;              // first entry no longer the tag
             return b;
         }()},
    };
    for (const auto& c : cases) EXPECT_EQ(gdip::ExifOrientation(c.bytes), 1) << c.name;
    EXPECT_EQ(gdip::ExifOrientation(good), 6);
}

// A 3x2 image whose pixels are numbered 1..6 in reading order:
//   1 2 3
//   4 5 6
gdip::Bitmap Numbered() {
    return testsupport::MakeBitmap(3, 2, false, [](std::uint32_t x, std::uint32_t y) {
        return testsupport::Pixel{std::uint8_t(1 + x + 3 * y), 0, 0, 255};
    });
}

std::vector<int> Numbers(const gdip::Bitmap& b) {
    std::vector<int> n;
    for (std::size_t i = 0; i < b.rgba.size(); i += 4) n.push_back(b.rgba[i]);
    return n;
}

TEST(ApplyOrientation, TurnsEachOrientationUpright) {
    // What the stored 3x2 picture above becomes, read row by row.
    struct Case {
        int orientation;
        std::uint32_t w, h;
        std::vector<int> pixels;
    } cases[] = {
        {1, 3, 2, {1, 2, 3, 4, 5, 6}}, {2, 3, 2, {3, 2, 1, 6, 5, 4}},  // mirrored
        {3, 3, 2, {6, 5, 4, 3, 2, 1}},                                 // rotated 180
        {4, 3, 2, {4, 5, 6, 1, 2, 3}},                                 // flipped
        {5, 2, 3, {1, 4, 2, 5, 3, 6}},                                 // transposed
        {6, 2, 3, {4, 1, 5, 2, 6, 3}},                                 // rotated 90 clockwise
        {7, 2, 3, {6, 3, 5, 2, 4, 1}},                                 // transverse
        {8, 2, 3, {3, 6, 2, 5, 1, 4}},                                 // rotated 270 clockwise
    };
    for (const auto& c : cases) {
        gdip::Bitmap b = Numbered();
        ASSERT_EQ(gdip::ApplyOrientation(b, c.orientation), Ok) << c.orientation;
        EXPECT_EQ(b.width, c.w) << c.orientation;
        EXPECT_EQ(b.height, c.h) << c.orientation;
        EXPECT_EQ(Numbers(b), c.pixels) << c.orientation;
    }
}

TEST(ApplyOrientation, KeepsAlphaAndRefusesNonsense) {
    const gdip::Bitmap stored = testsupport::Asymmetric(5, 3, true);
    gdip::Bitmap b = stored;
    ASSERT_EQ(gdip::ApplyOrientation(b, 6), Ok);
    EXPECT_TRUE(b.hasAlpha);
    // The bottom-left corner comes to the top left, the top left to the top right.
    EXPECT_EQ(testsupport::PixelAt(b, 0, 0), testsupport::PixelAt(stored, 0, 2));
    EXPECT_EQ(testsupport::PixelAt(b, 2, 0), testsupport::PixelAt(stored, 0, 0));
    EXPECT_EQ(gdip::ApplyOrientation(b, 0), InvalidParameter);
    EXPECT_EQ(gdip::ApplyOrientation(b, 9), InvalidParameter);
    gdip::Bitmap broken = b;
    broken.rgba.resize(4);
    EXPECT_EQ(gdip::ApplyOrientation(broken, 6), InvalidParameter);
}

}  // namespace
