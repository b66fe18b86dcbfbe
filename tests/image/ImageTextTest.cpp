// The packed text of memo pictures: exact writer output, round trips at every width, and a
// decoder that stays inside its input and its buffers whatever it is given.

#include "ImageTestSupport.h"
#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tessera;
using namespace tessera::imagetest;
using tessera::test::ScriptedPrompter;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
    std::vector<std::uint8_t> out;
    for (int x : v)
        out.push_back(static_cast<std::uint8_t>(x));
    return out;
}

std::vector<std::uint8_t> Repeat(std::size_t n, std::uint8_t b) {
    return std::vector<std::uint8_t>(n, b);
}

std::vector<std::uint8_t> Distinct(std::size_t n) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    return out;
}

std::vector<std::uint8_t> Cat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The run-length data of a single-row picture made of `row`.
std::vector<std::uint8_t> PackedData(const std::vector<std::uint8_t>& row) {
    CDiBitmap b = FromPacked(static_cast<int>(row.size() * 8), 1, row);
    std::vector<std::uint8_t> stream;
    EXPECT_TRUE(PackImage(b, stream));
    if (stream.size() < 10)
        return {};
    return std::vector<std::uint8_t>(stream.begin() + 8, stream.end() - 2);
}

std::string Format(const CDiBitmap& b, std::size_t capacity = kImageTextMinCapacity * 8) {
    std::vector<char> buffer(capacity, 'x');
    if (!FormatImageText(b, buffer.data(), buffer.size()))
        return "<fail>";
    return std::string(buffer.data());
}

// The decoder's input as an exact-size heap block, so a sanitizer build flags any read past it.
ImageDecodeStatus DecodeExact(const std::string& text, CDiBitmap& out) {
    auto block = std::make_unique<char[]>(text.size() + (text.empty() ? 1 : 0));
    std::copy(text.begin(), text.end(), block.get());
    return DecodeImageText(std::string_view(block.get(), text.size()), out);
}

} // namespace

TEST(ImageTextWriter, EightBlackDotsGiveTheKnownText) {
    const CDiBitmap b = FromPacked(8, 1, {0xFF});
    EXPECT_EQ(Format(b), "0C00070000000402"
                         "00FF"
                         "0000");
    EXPECT_EQ(ImageText(b), Format(b));
}

TEST(ImageTextWriter, RowPackingTable) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> row, data;
    };
    const auto d130 = Distinct(130);
    const auto d127 = Distinct(127);
    const Case cases[] = {
        {"40 white bytes", Repeat(40, 0), Bytes({0xD9, 0x00})},
        {"three equal bytes", Repeat(3, 0x5A), Bytes({0xFE, 0x5A})},
        {"two equal bytes stay literal", Repeat(2, 0x5A), Bytes({0x01, 0x5A, 0x5A})},
        {"130 different bytes", d130,
         Cat(Cat(Bytes({0x7F}), std::vector(d130.begin(), d130.begin() + 128)),
             Bytes({0x01, d130[128], d130[129]}))},
        {"literal then run then literal", Bytes({1, 2, 7, 7, 7, 7, 3}),
         Bytes({0x01, 1, 2, 0xFD, 7, 0x00, 3})},
        {"run then pair at end", Bytes({9, 9, 9, 4, 4}), Bytes({0xFE, 9, 0x01, 4, 4})},
        // 127 different bytes and an equal pair: the literal grows to 129 through the pair and
        // must still be cut at 128, since code 0x80 would read back as a repeat.
        {"literal of 129 through a pair", Cat(d127, Repeat(2, 0xEE)),
         Cat(Cat(Bytes({0x7F}), Cat(d127, Bytes({0xEE}))), Bytes({0x00, 0xEE}))},
        {"129 equal bytes", Repeat(129, 0xAA), Bytes({0x80, 0xAA})},
        {"130 equal bytes", Repeat(130, 0xAA), Bytes({0x80, 0xAA, 0x00, 0xAA})},
        {"131 equal bytes", Repeat(131, 0xAA), Bytes({0x80, 0xAA, 0x01, 0xAA, 0xAA})},
        {"132 equal bytes", Repeat(132, 0xAA), Bytes({0x80, 0xAA, 0xFE, 0xAA})},
        {"258 equal bytes", Repeat(258, 0), Bytes({0x80, 0, 0x80, 0})},
        {"leftover pair joins the literal", Cat(Repeat(130, 0), Bytes({5, 6})),
         Bytes({0x80, 0, 0x02, 0, 5, 6})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(PackedData(c.row)), Hex(c.data)) << c.what;
}

// The writer described step by step (pending literal, equal run, repeat mode), with literals
// cut at 128 bytes. For rows whose equal runs stay within 129 bytes the packer must give
// exactly its bytes, so texts stay identical to those other writers produce.
std::vector<std::uint8_t> StepwisePackRow(const std::vector<std::uint8_t>& r) {
    std::vector<std::uint8_t> out;
    auto literal = [&](std::size_t start, std::size_t len) {
        while (len > 0) {
            const std::size_t n = std::min<std::size_t>(len, 128);
            out.push_back(static_cast<std::uint8_t>(n - 1));
            out.insert(out.end(), r.begin() + start, r.begin() + start + n);
            start += n;
            len -= n;
        }
    };
    std::size_t litStart = 0, litLen = 1, eqLen = 1;
    bool repeat = false;
    for (std::size_t i = 1; i < r.size(); ++i) {
        if (r[i] == r[i - 1]) {
            ++eqLen;
            if (!repeat)
                ++litLen;
            if (eqLen == 3 && !repeat) {
                repeat = true;
                literal(litStart, litLen - 3);
            }
        } else {
            if (repeat) {
                out.push_back(static_cast<std::uint8_t>(1 - eqLen));
                out.push_back(r[i - 1]);
                litStart = i;
                litLen = 1;
            } else if (++litLen > 128) {
                literal(litStart, 128);
                litStart += 128;
                litLen -= 128;
            }
            repeat = false;
            eqLen = 1;
        }
    }
    if (repeat) {
        out.push_back(static_cast<std::uint8_t>(1 - eqLen));
        out.push_back(r.back());
    } else {
        literal(litStart, litLen);
    }
    return out;
}

TEST(ImageTextWriter, MatchesTheStepwiseWriter) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<std::uint8_t> row;
        const std::size_t n = 1 + rng() % 400;
        while (row.size() < n) {
            const auto v = static_cast<std::uint8_t>(rng() % 3);
            const std::size_t len = rng() % 8 == 0 ? 1 + rng() % 129 : 1 + rng() % 3;
            if (!row.empty() && row.back() == v)
                continue; // keep every run within 129 bytes
            row.insert(row.end(), std::min(len, n - row.size()), v);
        }
        ASSERT_EQ(Hex(PackedData(row)), Hex(StepwisePackRow(row))) << "trial " << trial;
    }
}

TEST(ImageTextWriter, NoCodeCrossesARow) {
    // Two rows of two white bytes: one long run if rows were joined, two literals as they are.
    const CDiBitmap b = FromPacked(16, 2, {0, 0, 0, 0});
    EXPECT_EQ(Format(b), "1000"
                         "0F00"
                         "0100"
                         "0402"
                         "010000"
                         "010000"
                         "0000");
}

TEST(ImageTextWriter, ColourOrderAndRowOrderDoNotChangeTheText) {
    const auto packed = MixedPacked(100, 20, 7);
    const CDiBitmap reference = FromPacked(100, 20, packed);

    // The same dots, stored bottom-up with colour 0 black and garbage in the row padding.
    auto info = CDiBitmap::DeviceInfo(100, -20);
    for (int i = 0; i < 3; ++i) {
        info[40 + i] = 0;
        info[44 + i] = 0xFF;
    }
    const std::size_t padded = CDiBitmap::PaddedRowSizeFor(100), row = 13;
    std::vector<std::uint8_t> dib(padded * 20, 0x0F);
    for (std::size_t y = 0; y < 20; ++y)
        for (std::size_t x = 0; x < row; ++x)
            dib[(19 - y) * padded + x] = static_cast<std::uint8_t>(~packed[y * row + x]);
    CDiBitmap other;
    ASSERT_TRUE(other.SetInfo(info));
    ASSERT_TRUE(other.SetDibBits(dib));

    EXPECT_EQ(Format(other), Format(reference));
    EXPECT_TRUE(other.SamePicture(reference));
}

TEST(ImageTextWriter, CapacityAndEmptyPicture) {
    const CDiBitmap b = FromPacked(8, 1, {0xFF});
    std::vector<char> buffer(kImageTextMinCapacity, 'x');
    EXPECT_FALSE(FormatImageText(b, buffer.data(), kImageTextMinCapacity - 1));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_TRUE(FormatImageText(b, buffer.data(), kImageTextMinCapacity));
    EXPECT_FALSE(FormatImageText(b, nullptr, kImageTextMinCapacity));

    // No picture: an empty text, which reads back as no picture.
    buffer[0] = 'x';
    EXPECT_TRUE(FormatImageText(CDiBitmap{}, buffer.data(), buffer.size()));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(ImageText(CDiBitmap{}), "");
    std::vector<std::uint8_t> stream = {1};
    EXPECT_FALSE(PackImage(CDiBitmap{}, stream));
    EXPECT_TRUE(stream.empty());

    // A picture whose text is longer than the buffer.
    std::vector<std::uint8_t> noise(125 * 70);
    std::mt19937 rng(3);
    for (auto& v : noise)
        v = static_cast<std::uint8_t>(rng());
    const CDiBitmap noisy = FromPacked(1000, 70, noise);
    const std::string text = ImageText(noisy);
    ASSERT_GT(text.size() + 1, kImageTextMinCapacity);
    std::vector<char> exact(text.size() + 1);
    EXPECT_FALSE(FormatImageText(noisy, exact.data(), text.size()));
    EXPECT_TRUE(FormatImageText(noisy, exact.data(), exact.size()));
    EXPECT_EQ(std::string(exact.data()), text);
}

TEST(ImageTextWriter, StreamLongerThanItsLengthFieldIsRefused) {
    // 560 x 1000 dots of noise pack to far more than 65 535 bytes: the 16-bit total length
    // would wrap and read back as another picture.
    std::vector<std::uint8_t> packed(70 * 1000);
    std::mt19937 rng(1);
    for (auto& b : packed)
        b = static_cast<std::uint8_t>(rng());
    const CDiBitmap b = FromPacked(560, 1000, packed);
    ASSERT_FALSE(b.IsEmpty());
    std::vector<std::uint8_t> stream;
    EXPECT_FALSE(PackImage(b, stream));
    EXPECT_EQ(Format(b, 1 << 20), "<fail>");
    EXPECT_EQ(ImageText(b), "");
}

TEST(ImageTextRoundTrip, EveryWidthUpTo1100Dots) {
    for (int width = 1; width <= 1100; ++width) {
        const int height = 1 + width % 3;
        const CDiBitmap b = FromPacked(width, height, MixedPacked(width, height, width));
        ASSERT_FALSE(b.IsEmpty()) << width;
        const std::string text = ImageText(b);
        ASSERT_FALSE(text.empty()) << width;
        CDiBitmap back;
        ASSERT_EQ(DecodeExact(text, back), ImageDecodeStatus::Ok) << width;
        ASSERT_TRUE(back.SamePicture(b)) << width;
        ASSERT_TRUE(back.IsTopDown());
    }
}

TEST(ImageTextRoundTrip, SolidAndWidePictures) {
    struct Case {
        int width, height;
        std::uint8_t fill;
    };
    const Case cases[] = {{1032, 4, 0x00}, {1033, 4, 0xFF}, {1040, 2, 0xAA},  {2000, 8, 0x00},
                          {8192, 3, 0xFF}, {65536, 1, 0},   {65536, 2, 0x55}, {1, 32000, 0x80},
                          {198, 128, 0},   {278, 128, 0xFF}};
    for (const auto& c : cases) {
        const std::size_t size = CDiBitmap::PackedRowSizeFor(c.width) * c.height;
        const CDiBitmap b = FromPacked(c.width, c.height, Repeat(size, c.fill));
        const std::string text = ImageText(b);
        ASSERT_FALSE(text.empty()) << c.width << "x" << c.height;
        CDiBitmap back;
        EXPECT_EQ(DecodeExact(text, back), ImageDecodeStatus::Ok) << c.width << "x" << c.height;
        EXPECT_TRUE(back.SamePicture(b)) << c.width << "x" << c.height;
    }
}

TEST(ImageTextReader, PackingNoneAndRunLengthBothRead) {
    CDiBitmap b;
    EXPECT_EQ(DecodeExact(Stream(16, 2, 0, {0x12, 0x34, 0x56, 0x78}), b), ImageDecodeStatus::Ok);
    EXPECT_TRUE(b.SamePicture(FromPacked(16, 2, {0x12, 0x34, 0x56, 0x78})));

    // Lower-case digits and no-op codes are taken too.
    std::string text = Stream(16, 2, 2, {0xFF, 0xFD, 0x3C});
    for (auto& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(DecodeExact(text, b), ImageDecodeStatus::Ok);
    EXPECT_TRUE(b.SamePicture(FromPacked(16, 2, {0x3C, 0x3C, 0x3C, 0x3C})));
}

TEST(ImageTextReader, EmptyTextMeansNoPicture) {
    ScriptedPrompter prompter;
    CDiBitmap b = FromPacked(8, 1, {0xFF});
    EXPECT_TRUE(ParseImageText("", b));
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST(ImageTextReader, UnsupportedPackingShows1059AndKeepsThePicture) {
    for (std::uint8_t packing : {1, 3, 0xFF}) {
        ScriptedPrompter prompter;
        prompter.Expect(1059);
        CDiBitmap b = FromPacked(8, 1, {0x81});
        EXPECT_FALSE(ParseImageText(Stream(8, 1, packing, {0x00, 0xFF}), b)) << int(packing);
        ASSERT_EQ(prompter.Messages().size(), 1u);
        EXPECT_EQ(prompter.Messages()[0].id, 1059);
        EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Stop);
        EXPECT_TRUE(b.SamePicture(FromPacked(8, 1, {0x81})));
    }
}

TEST(ImageTextReader, ExcessDataShows2050AndThePictureStands) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> data;
        std::uint8_t packing;
    };
    const Case cases[] = {
        {"a literal after the last row", Bytes({0x01, 0xF0, 0x0F, 0x00, 0x77}), 2},
        {"a literal running past the end", Bytes({0x02, 0xF0, 0x0F, 0x99}), 2},
        {"a repeat running past the end", Bytes({0x01, 0xF0, 0x0F, 0xFE, 0x77}), 2},
        {"no-op codes after the last row", Bytes({0x01, 0xF0, 0x0F, 0xFF}), 2},
        {"raw bytes beyond the picture", Bytes({0xF0, 0x0F, 0x11}), 0},
    };
    for (const auto& c : cases) {
        ScriptedPrompter prompter;
        prompter.Expect(2050);
        CDiBitmap b;
        EXPECT_TRUE(ParseImageText(Stream(16, 1, c.packing, c.data), b)) << c.what;
        EXPECT_EQ(prompter.Ids(), std::vector<int>{2050}) << c.what;
        ASSERT_FALSE(prompter.Messages().empty());
        EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Warning) << c.what;
        EXPECT_TRUE(b.SamePicture(FromPacked(16, 1, {0xF0, 0x0F}))) << c.what;
    }
}

TEST(ImageTextReader, ShortDataLeavesTheRestWhite) {
    ScriptedPrompter prompter;
    CDiBitmap b;
    // 16 x 4 dots but only the first row and a half are in the data.
    const std::string text = Stream(16, 4, 2, {0xFE, 0xFF});
    EXPECT_EQ(DecodeExact(text, b), ImageDecodeStatus::ShortData);
    EXPECT_TRUE(b.SamePicture(FromPacked(16, 4, {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0})));
    EXPECT_TRUE(ParseImageText(text, b));
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST(ImageTextReader, MalformedTextsAreRefusedAndChangeNothing) {
    const std::string good = Stream(16, 1, 2, {0x01, 0xF0, 0x0F});
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"one digit", "0"},
        {"header cut short", good.substr(0, 15)},
        {"header only", good.substr(0, 16)},
        {"data cut short", good.substr(0, 20)},
        {"letter in the header", "0D0G" + good.substr(4)},
        {"letter in the data", good.substr(0, 18) + "Z0" + good.substr(20)},
        {"space in the data", good.substr(0, 18) + " 0" + good.substr(20)},
        {"odd digit count inside the data", good.substr(0, 21)},
        {"total below ten", Stream(16, 1, 2, {}, 9)},
        {"total zero", "0000" + good.substr(4)},
        {"total beyond the text", Stream(16, 1, 2, {0x01, 0xF0, 0x0F}, 40)},
        {"literal past the data", Stream(16, 1, 2, {0x05, 0xF0, 0x0F})},
        {"repeat without its byte", Stream(16, 2, 2, {0x01, 0xF0, 0x0F, 0xFE})},
        {"picture larger than its data can fill", Stream(4096, 4096, 2, {0x80, 0x00})},
        {"raw picture larger than its data", Stream(16, 2, 0, {0xF0, 0x0F})},
        {"largest header with tiny data", Stream(65536, 65536, 2, {0x80, 0x00, 0x80, 0x00})},
    };
    for (const auto& c : cases) {
        ScriptedPrompter prompter;
        CDiBitmap b = FromPacked(8, 1, {0x42});
        EXPECT_EQ(DecodeExact(c.text, b), ImageDecodeStatus::BadData) << c.what;
        EXPECT_FALSE(ParseImageText(c.text, b)) << c.what;
        EXPECT_TRUE(b.SamePicture(FromPacked(8, 1, {0x42}))) << c.what;
        EXPECT_TRUE(prompter.Messages().empty()) << c.what;
    }
}

TEST(ImageTextReader, AllocationIsCappedEvenWhenTheDataCouldFillIt) {
    // 65 525 data bytes of repeat codes fill about 4.2 MB, just above the cap: refused before
    // any buffer is made for it.
    std::vector<std::uint8_t> data;
    while (data.size() + 2 <= 65525) {
        data.push_back(0x80);
        data.push_back(0);
    }
    const std::size_t fill = data.size() / 2 * 129;
    const int height = static_cast<int>(fill / 8192);
    ASSERT_GT(8192u * height, kMaxPackedImageBytes);
    CDiBitmap b;
    EXPECT_EQ(DecodeExact(Stream(65536, height, 2, data), b), ImageDecodeStatus::BadData);

    // Just under the cap decodes.
    const int fits = static_cast<int>(kMaxPackedImageBytes / 8192);
    EXPECT_EQ(DecodeExact(Stream(65536, fits, 2, data), b), ImageDecodeStatus::Excess);
    EXPECT_EQ(b.Height(), fits);
}
