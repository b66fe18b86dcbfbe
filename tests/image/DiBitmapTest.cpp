// The bitmap holder: header checks, row layout, the packed view and copies.

#include "ImageTestSupport.h"

#include <gtest/gtest.h>

using namespace tessera;
using namespace tessera::imagetest;

namespace {

std::array<std::uint8_t, kDibInfoSize> BottomUpInfo(int width, int height, bool blackFirst) {
    auto info = CDiBitmap::DeviceInfo(width, -height); // positive header height
    if (blackFirst) {
        for (int i = 0; i < 3; ++i) {
            info[40 + i] = 0;
            info[44 + i] = 0xFF;
        }
    }
    return info;
}

} // namespace

TEST(DiBitmapInfo, DeviceInfoIsTopDownOneBitWhiteFirst) {
    const auto info = CDiBitmap::DeviceInfo(200, 100);
    const std::vector<std::uint8_t> expected = {
        40,   0,    0,    0,    200, 0, 0, 0,
        0x9C, 0xFF, 0xFF, 0xFF, 1,   0, 1, 0, // size, w, -h, planes, bpp
        0,    0,    0,    0,    0,   0, 0, 0,
        0,    0,    0,    0,    0,   0, 0, 0, // compression .. ypels
        0,    0,    0,    0,    0,   0, 0, 0, // used, important
        0xFF, 0xFF, 0xFF, 0,    0,   0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(info.begin(), info.end()), expected);

    CDiBitmap b;
    ASSERT_TRUE(b.SetInfo(info));
    EXPECT_EQ(b.Width(), 200);
    EXPECT_EQ(b.Height(), 100);
    EXPECT_TRUE(b.IsTopDown());
    EXPECT_FALSE(b.IsFirstColorBlack());
    EXPECT_EQ(b.InfoSize(), kDibInfoSize);
    EXPECT_EQ(b.BitsSize(), 28u * 100u);
}

TEST(DiBitmapInfo, RefusesHeadersOtherThanOneBitUncompressed) {
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {
        {"header size 108", 0, 108},      {"4 bits per pixel", 14, 4},   {"two planes", 12, 2},
        {"run-length compressed", 16, 1}, {"three colours used", 32, 3},
    };
    for (const auto& c : cases) {
        auto info = CDiBitmap::DeviceInfo(16, 16);
        info[c.offset] = c.value;
        CDiBitmap b;
        EXPECT_FALSE(b.SetInfo(info)) << c.what;
        EXPECT_TRUE(b.IsEmpty()) << c.what;
    }
    CDiBitmap b;
    const auto good = CDiBitmap::DeviceInfo(16, 16);
    EXPECT_FALSE(b.SetInfo(std::span(good).first(47))) << "short block";
    EXPECT_FALSE(b.SetInfo(CDiBitmap::DeviceInfo(0, 5))) << "no width";
    EXPECT_FALSE(b.SetInfo(CDiBitmap::DeviceInfo(5, 0))) << "no height";
    EXPECT_FALSE(b.SetInfo(CDiBitmap::DeviceInfo(-5, 5))) << "negative width";
    EXPECT_FALSE(b.SetInfo(CDiBitmap::DeviceInfo(kMaxImageSide + 1, 1))) << "too wide";
    EXPECT_FALSE(b.SetInfo(CDiBitmap::DeviceInfo(1, kMaxImageSide + 1))) << "too high";
    EXPECT_TRUE(b.IsEmpty());
}

TEST(DiBitmapInfo, RefusedHeaderKeepsThePreviousPicture) {
    CDiBitmap b = FromPacked(8, 1, {0xA5});
    auto info = CDiBitmap::DeviceInfo(8, 1);
    info[14] = 8;
    EXPECT_FALSE(b.SetInfo(info));
    std::uint8_t byte = 0;
    ASSERT_TRUE(b.PackedByteAt(0, byte));
    EXPECT_EQ(byte, 0xA5);
}

TEST(DiBitmapLayout, RowSizesFollowTheWidth) {
    struct Case {
        int width;
        std::size_t padded, packed;
    };
    const Case cases[] = {{1, 4, 1},     {7, 4, 1},        {8, 4, 1},       {9, 4, 2},
                          {31, 4, 4},    {32, 4, 4},       {33, 8, 5},      {198, 28, 25},
                          {278, 36, 35}, {1032, 132, 129}, {1033, 132, 130}};
    for (const auto& c : cases) {
        EXPECT_EQ(CDiBitmap::PaddedRowSizeFor(c.width), c.padded) << c.width;
        EXPECT_EQ(CDiBitmap::PackedRowSizeFor(c.width), c.packed) << c.width;
    }
}

TEST(DiBitmapLayout, PackedRowsLandInPaddedRowsWithZeroFill) {
    CDiBitmap b;
    ASSERT_TRUE(b.SetInfo(CDiBitmap::DeviceInfo(40, 2)));
    const std::vector<std::uint8_t> packed = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(b.SetPackedBits(packed));
    const std::vector<std::uint8_t> expected = {1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 9, 10, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(b.Bits().begin(), b.Bits().end()), expected);
}

TEST(DiBitmapLayout, SettersRefuseMissingInfoAndShortInput) {
    CDiBitmap none;
    const std::vector<std::uint8_t> bytes(64, 0xFF);
    EXPECT_FALSE(none.SetPackedBits(bytes));
    EXPECT_FALSE(none.SetDibBits(bytes));

    CDiBitmap b;
    ASSERT_TRUE(b.SetInfo(CDiBitmap::DeviceInfo(40, 2)));
    EXPECT_FALSE(b.SetPackedBits(std::span(bytes).first(9)));
    EXPECT_FALSE(b.SetDibBits(std::span(bytes).first(15)));
    EXPECT_TRUE(b.SetDibBits(std::span(bytes).first(16)));
    EXPECT_EQ(b.BitsSize(), 16u);
}

TEST(DiBitmapPackedView, RowOrderAndColourSenseGiveBlackAsOne) {
    // Two rows, 16 dots: the top row is 0xF0 0x0F in device sense, the bottom row 0x00 0xFF.
    const std::vector<std::uint8_t> top = {0xF0, 0x0F}, bottom = {0x00, 0xFF};
    struct Case {
        const char* what;
        bool bottomUp, blackFirst;
    };
    const Case cases[] = {{"top-down white first", false, false},
                          {"bottom-up white first", true, false},
                          {"top-down black first", false, true},
                          {"bottom-up black first", true, true}};
    for (const auto& c : cases) {
        auto info = c.bottomUp ? BottomUpInfo(16, 2, c.blackFirst) : CDiBitmap::DeviceInfo(16, 2);
        if (!c.bottomUp && c.blackFirst)
            info = BottomUpInfo(16, -2, true);
        std::vector<std::uint8_t> first = c.bottomUp ? bottom : top;
        std::vector<std::uint8_t> second = c.bottomUp ? top : bottom;
        std::vector<std::uint8_t> dib;
        for (auto* row : {&first, &second}) {
            for (auto v : *row)
                dib.push_back(c.blackFirst ? static_cast<std::uint8_t>(~v) : v);
            dib.push_back(0);
            dib.push_back(0);
        }
        CDiBitmap b;
        ASSERT_TRUE(b.SetInfo(info)) << c.what;
        ASSERT_TRUE(b.SetDibBits(dib)) << c.what;
        EXPECT_EQ(b.IsTopDown(), !c.bottomUp) << c.what;
        EXPECT_EQ(b.IsFirstColorBlack(), c.blackFirst) << c.what;
        std::vector<std::uint8_t> got;
        std::uint8_t byte = 0;
        for (std::size_t i = 0; b.PackedByteAt(i, byte); ++i)
            got.push_back(byte);
        EXPECT_EQ(got, (std::vector<std::uint8_t>{0xF0, 0x0F, 0x00, 0xFF})) << c.what;
        EXPECT_TRUE(b.IsBlack(0, 0)) << c.what;
        EXPECT_FALSE(b.IsBlack(4, 0)) << c.what;
        EXPECT_TRUE(b.IsBlack(15, 1)) << c.what;
        EXPECT_FALSE(b.IsBlack(16, 1)) << c.what;
        EXPECT_FALSE(b.IsBlack(0, 2)) << c.what;
    }
}

TEST(DiBitmapPackedView, DotsPastTheWidthReadWhite) {
    // 5 dots wide, colour 0 black: the padding bits (zero) would invert to black.
    auto info = BottomUpInfo(5, -1, true);
    CDiBitmap b;
    ASSERT_TRUE(b.SetInfo(info));
    ASSERT_TRUE(b.SetDibBits(std::vector<std::uint8_t>{0x00, 0, 0, 0})); // all five black
    std::uint8_t byte = 0;
    ASSERT_TRUE(b.PackedByteAt(0, byte));
    EXPECT_EQ(byte, 0xF8);
    EXPECT_FALSE(b.PackedByteAt(1, byte));

    // Stray bits a pasted bitmap leaves past the width are not dots either.
    CDiBitmap w = FromPacked(5, 1, {0x07});
    ASSERT_TRUE(w.PackedByteAt(0, byte));
    EXPECT_EQ(byte, 0x00);
}

TEST(DiBitmapPackedView, NothingPastTheLastByteOrWithoutPicture) {
    CDiBitmap empty;
    std::uint8_t byte = 0x55;
    EXPECT_FALSE(empty.PackedByteAt(0, byte));
    EXPECT_EQ(byte, 0x55);
    CDiBitmap b = FromPacked(9, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(b.PackedByteAt(5, byte));
    EXPECT_EQ(byte, 6 & 0x80);
    EXPECT_FALSE(b.PackedByteAt(6, byte));
    EXPECT_FALSE(b.PackedByteAt(static_cast<std::size_t>(-1), byte));
    std::vector<std::uint8_t> row;
    EXPECT_FALSE(b.PackedRow(3, row));
    EXPECT_FALSE(b.PackedRow(-1, row));
}

TEST(DiBitmapCopy, CopyIsDeepAndClearEmpties) {
    CDiBitmap a = FromPacked(16, 2, {1, 2, 3, 4});
    CDiBitmap b;
    ASSERT_TRUE(b.CopyFrom(a));
    EXPECT_TRUE(b.SamePicture(a));
    ASSERT_TRUE(a.SetPackedBits(std::vector<std::uint8_t>{9, 9, 9, 9}));
    EXPECT_FALSE(b.SamePicture(a));
    std::uint8_t byte = 0;
    ASSERT_TRUE(b.PackedByteAt(3, byte));
    EXPECT_EQ(byte, 4);
    EXPECT_TRUE(b.CopyFrom(b));
    EXPECT_EQ(b.Width(), 16);

    b.Clear();
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.BitsSize(), 0u);
    EXPECT_FALSE(b.SamePicture(a));
    EXPECT_TRUE(b.SamePicture(CDiBitmap{}));
}

TEST(DiBitmapCopy, CreateBlankIsWhite) {
    CDiBitmap b;
    ASSERT_TRUE(b.CreateBlank(198, 128));
    EXPECT_EQ(b.Width(), 198);
    EXPECT_EQ(b.Height(), 128);
    std::uint8_t byte = 1;
    for (std::size_t i = 0; b.PackedByteAt(i, byte); ++i)
        ASSERT_EQ(byte, 0) << i;
    EXPECT_FALSE(b.CreateBlank(0, 1));
}
