// What every field class shares: the tag table, the factory, copies, and exchange texts
// that read back to the same value.

#include "FieldTestSupport.h"

#include <gtest/gtest.h>

namespace tessera {
namespace {

using fieldtest::Exchange;
using fieldtest::J;

TEST(FieldFamily, TagChoosesTheClass) {
    const struct {
        const char* tag;
        FieldClass cls;
    } cases[] = {
        {"NAME", FieldClass::Text},      {"NAPR", FieldClass::Text},
        {"TEL1", FieldClass::Text},      {"FAX1", FieldClass::Text},
        {"OFCE", FieldClass::Text},      {"OFPR", FieldClass::Text},
        {"SCTN", FieldClass::Text},      {"PSTN", FieldClass::Text},
        {"ZIPC", FieldClass::Text},      {"ADR1", FieldClass::Text},
        {"MEM1", FieldClass::Text},      {"CLAS", FieldClass::Text},
        {"RMRK", FieldClass::SubText},   {"ASCT", FieldClass::SubText},
        {"SCRT", FieldClass::Flag},      {"ALON", FieldClass::Flag},
        {"BRTH", FieldClass::Time},      {"TIM1", FieldClass::Time},
        {"TIM2", FieldClass::Time},      {"ALRM", FieldClass::Time},
        {"ANN1", FieldClass::Time},      {"ETDY", FieldClass::Time},
        {"FNDY", FieldClass::Time},      {"LTDY", FieldClass::Time},
        {"ANN2", FieldClass::DayWeek},   {"CHK1", FieldClass::Check},
        {"CHK2", FieldClass::Check},     {"CHK3", FieldClass::Check},
        {"CHK4", FieldClass::Check},     {"MARK", FieldClass::Ascii},
        {"PRTY", FieldClass::Ascii},     {"PRF1", FieldClass::Binary},
        {"CLSC", FieldClass::Phonogram}, {"IMG1", FieldClass::Image},
        {"SYNC", FieldClass::None},      {"name", FieldClass::None},
        {"XXXX", FieldClass::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        const FieldTag tag = MakeTag(c.tag);
        EXPECT_EQ(FieldClassOf(tag), c.cls);
        const auto field = CreateField(tag);
        if (c.cls == FieldClass::None) {
            EXPECT_EQ(field, nullptr);
            continue;
        }
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->Class(), c.cls);
        EXPECT_EQ(field->Tag(), tag);
        EXPECT_TRUE(field->IsEmpty());
    }
}

TEST(FieldFamily, TagCodes) {
    EXPECT_EQ(TagCodeOf("NAME"), 0x4E414D45u);
    EXPECT_EQ(TagCodeOf("CHK1"), 0x43484B31u);
    EXPECT_EQ(TagCodeOf("NAMEXYZ"), 0u); // a longer tag is another tag, not NAME
    EXPECT_EQ(TagCodeOf("NAM"), 0u);
    EXPECT_EQ(FieldClassOf(TagCodeOf("NAM")), FieldClass::None);
    EXPECT_STREQ(FieldClassName(FieldClass::Phonogram), "CPhonogramField");
    EXPECT_STREQ(FieldClassName(FieldClass::None), "");
}

// One exchange text per class that holds a value; parse, format, parse the copy again.
TEST(FieldFamily, ExchangeTextsReadBackAndCopiesMatch) {
    const struct {
        const char* tag;
        std::string text;
    } cases[] = {
        {"NAME", J("山田") + "\x1f" + J("太郎")},
        {"MEM1", "a\tb\x1f"
                 "c\td"},
        {"RMRK", "MEM1:" + J("メモ") +
                     "\x1f"
                     "x\x1e\x0c"},
        {"SCRT", "*"},
        {"BRTH", "19800401      "},
        {"TIM1", "200105311230  "},
        {"ANN2", "    0326"},
        {"CHK1", J("○")},
        {"MARK", "01"},
        {"PRTY", "02"},
        {"PRF1", "0102FF"},
        {"CLSC", J("さ")},
        {"IMG1", "0C00070000000402"
                 "00FF"
                 "0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        const auto field = CreateField(MakeTag(c.tag));
        ASSERT_NE(field, nullptr);
        ASSERT_TRUE(field->ParseText(c.text));
        EXPECT_FALSE(field->IsEmpty());
        EXPECT_EQ(Exchange(*field), c.text);

        const auto copy = field->Clone();
        EXPECT_EQ(copy->Class(), field->Class());
        EXPECT_EQ(copy->Tag(), field->Tag());
        EXPECT_EQ(Exchange(*copy), c.text);
        EXPECT_EQ(copy->Text(true), field->Text(true));

        // The copy is independent of the original.
        field->Clear();
        EXPECT_TRUE(field->IsEmpty());
        EXPECT_EQ(Exchange(*copy), c.text);

        const auto back = CreateField(MakeTag(c.tag));
        ASSERT_TRUE(back->ParseText(Exchange(*copy)));
        EXPECT_EQ(Exchange(*back), c.text);
    }
}

TEST(FieldFamily, RefusedTextLeavesTheFieldEmpty) {
    const struct {
        const char* tag;
        std::string good;
        std::string bad;
    } cases[] = {
        {"RMRK", "MEM1:a\x1e\x0c", "a"},
        {"SCRT", "*", "x"},
        {"TIM1", "200105311230  ", "2001"},
        {"ANN2", "    0326", "    0396"},
        {"CHK1", J("○"), "?"},
        {"MARK", "01", "1"},
        {"PRF1", "0102", "010"},
        {"CLSC", J("あ"), J("ア")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        const auto field = CreateField(MakeTag(c.tag));
        ASSERT_TRUE(field->ParseText(c.good));
        EXPECT_FALSE(field->ParseText(c.bad));
        EXPECT_TRUE(field->IsEmpty());
    }
}

TEST(FieldFamily, WrongRawValueTypeIsRefused) {
    const char* tags[] = {"NAME", "RMRK", "SCRT", "BRTH", "ANN2",
                          "CHK1", "PRTY", "PRF1", "CLSC", "IMG1"};
    for (const char* tag : tags) {
        const auto field = CreateField(MakeTag(tag));
        ASSERT_NE(field, nullptr);
        const bool takesString =
            field->Class() == FieldClass::Text || field->Class() == FieldClass::SubText;
        EXPECT_EQ(field->SetValue(std::string("x")), takesString) << tag;
        EXPECT_FALSE(field->SetValue(DayWeekValue{})) << tag;
    }
}

TEST(FieldFamily, FormatIntoCharBufferTerminates) {
    CTextField f(MakeTag("NAME"));
    ASSERT_TRUE(f.ParseText("abc"));
    char buf[8] = "XXXXXXX";
    ASSERT_TRUE(f.FormatText(buf, sizeof buf, false));
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(f.Text(false), "abc");
}

} // namespace
} // namespace tessera
