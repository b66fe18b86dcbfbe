// The image field: no picture, texts of a picture, refused texts keep the picture, copies.

#include "FieldTestSupport.h"
#include "model/DiBitmap.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tessera {
namespace {

using fieldtest::Display;
using fieldtest::Exchange;
using test::ScriptedPrompter;

CDiBitmap Picture(int width, int height, uint8_t fill) {
    CDiBitmap b;
    const auto info = CDiBitmap::DeviceInfo(width, height);
    EXPECT_TRUE(b.SetInfo(info));
    std::vector<uint8_t> packed(
        CDiBitmap::PackedRowSizeFor(width) * static_cast<std::size_t>(height), fill);
    EXPECT_TRUE(b.SetPackedBits(packed));
    return b;
}

const char* const kBlackEightByOne = "0C00070000000402"
                                     "00FF"
                                     "0000";

TEST(ImageField, WithoutPictureBothTextsAreEmpty) {
    CImageField f(MakeTag("IMG1"));
    EXPECT_TRUE(f.IsEmpty());
    EXPECT_EQ(f.Bitmap(), nullptr);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(f.GetValue()));
    EXPECT_EQ(Exchange(f), "");
    EXPECT_EQ(Display(f), "");
    EXPECT_TRUE(f.ParseText(""));
    EXPECT_TRUE(f.IsEmpty());
    const auto copy = f.Clone();
    EXPECT_EQ(Exchange(*copy), "");
}

TEST(ImageField, PictureTexts) {
    CImageField f(MakeTag("IMG1"));
    const CDiBitmap black = Picture(8, 1, 0xFF);
    ASSERT_TRUE(f.SetValue(&black));
    EXPECT_EQ(Exchange(f), kBlackEightByOne);
    EXPECT_EQ(Display(f), "8 x 1");

    CImageField back(MakeTag("IMG1"));
    ASSERT_TRUE(back.ParseText(kBlackEightByOne));
    ASSERT_NE(back.Bitmap(), nullptr);
    EXPECT_TRUE(back.Bitmap()->SamePicture(black));
    EXPECT_EQ(ValueAs<CDiBitmap>(back.GetValue()), back.Bitmap());
}

TEST(ImageField, Capacities) {
    CImageField f(MakeTag("IMG1"));
    const CDiBitmap picture = Picture(198, 128, 0x5A);
    ASSERT_TRUE(f.SetValue(&picture));
    char small[64];
    EXPECT_FALSE(f.FormatText(small, 15, true));
    ASSERT_TRUE(f.FormatText(small, 16, true));
    EXPECT_STREQ(small, "198 x 128");
    std::vector<char> buf(kImageTextMinCapacity);
    EXPECT_FALSE(f.FormatText(buf.data(), buf.size() - 1, false));
    ASSERT_TRUE(f.FormatText(buf.data(), buf.size(), false));
    CImageField back(MakeTag("IMG1"));
    ASSERT_TRUE(back.ParseText(buf.data()));
    EXPECT_TRUE(back.Bitmap()->SamePicture(picture));
}

TEST(ImageField, RefusedTextKeepsThePicture) {
    ScriptedPrompter prompter;
    prompter.Expect(1059);
    CImageField f(MakeTag("IMG1"));
    ASSERT_TRUE(f.ParseText(kBlackEightByOne));
    // Packing 1 is not supported.
    EXPECT_FALSE(f.ParseText("0C00070000000401"
                             "00FF"
                             "0000"));
    EXPECT_EQ(prompter.Ids(), std::vector<int>{1059});
    EXPECT_EQ(Exchange(f), kBlackEightByOne);
    EXPECT_FALSE(f.ParseText("not hex at all"));
    EXPECT_EQ(Exchange(f), kBlackEightByOne);
    // The reader then empties the field, which has no picture afterwards.
    f.Clear();
    EXPECT_EQ(Exchange(f), "");
}

TEST(ImageField, SetValueCopiesAndRefusesNull) {
    CImageField f(MakeTag("IMG1"));
    EXPECT_FALSE(f.SetValue(static_cast<const CDiBitmap*>(nullptr)));
    EXPECT_FALSE(f.SetValue(std::string("x")));
    CDiBitmap picture = Picture(16, 2, 0x0F);
    ASSERT_TRUE(f.SetValue(&picture));
    picture.Clear();
    EXPECT_EQ(Display(f), "16 x 2");
}

TEST(ImageField, CopyDuplicatesTheBitmap) {
    CImageField f(MakeTag("IMG1"));
    ASSERT_TRUE(f.ParseText(kBlackEightByOne));
    const CImageField copy(f);
    ASSERT_NE(copy.Bitmap(), nullptr);
    EXPECT_NE(copy.Bitmap(), f.Bitmap());
    f.Clear();
    EXPECT_EQ(Exchange(copy), kBlackEightByOne);
}

} // namespace
} // namespace tessera
