// Text, sub-text and flag fields: parsing, both text forms, capacities, copies.

#include "FieldTestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace tessera {
namespace {

using fieldtest::Display;
using fieldtest::Exchange;
using fieldtest::J;

struct TextCase {
    const char* name;
    std::string input;
    std::string stored;
    bool tabMode;
    std::string exchange;
    std::string display;
};

TEST(TextField, ParsesAndFormatsBothForms) {
    const std::string kanji = J("山田");
    const TextCase cases[] = {
        {"plain", "abc", "abc", false, "abc", "abc"},
        {"separator becomes line break",
         "a\x1f"
         "b",
         "a\r\nb", false,
         "a\x1f"
         "b",
         "a b"},
        {"two breaks",
         "\x1f"
         "a\x1f\x1f",
         "\r\na\r\n\r\n", false,
         "\x1f"
         "a\x1f\x1f",
         " a  "},
        {"double-byte unchanged", kanji + "\x1f" + kanji, kanji + "\r\n" + kanji, false,
         kanji + "\x1f" + kanji, kanji + " " + kanji},
        {"report keeps separators", "x\ty\x1fz", "x\ty\x1fz", true, "x\ty\x1fz", "x\ty\x1fz"},
        // 0x09 after a lead byte is its trail byte, not a TAB.
        {"trail byte is no tab", "\x81\x09\x1f", "\x81\x09\r\n", false, "\x81\x09\x1f",
         "\x81\x09 "},
        {"lone LF kept", "a\nb", "a\nb", false, "a\nb", "a\nb"},
        {"quote kept", "\"q\"", "\"q\"", false, "\"q\"", "\"q\""},
        {"lead byte at the end", "a\x82", "a\x82", false, "a\x82", "a\x82"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTextField f(MakeTag("NAME"));
        ASSERT_TRUE(f.ParseText(c.input));
        EXPECT_EQ(f.Value(), c.stored);
        EXPECT_EQ(f.TabMode(), c.tabMode);
        EXPECT_EQ(Exchange(f), c.exchange);
        EXPECT_EQ(Display(f), c.display);
    }
}

TEST(TextField, EmptyTextEmptiesTheField) {
    CTextField f(MakeTag("MEM1"));
    ASSERT_TRUE(f.ParseText("x\ty"));
    ASSERT_TRUE(f.ParseText(""));
    EXPECT_TRUE(f.IsEmpty());
    EXPECT_FALSE(f.TabMode());
    EXPECT_EQ(Exchange(f), "");
}

TEST(TextField, LoneCarriageReturnIsCopied) {
    CTextField f(MakeTag("NAME"));
    ASSERT_TRUE(f.SetValue(std::string("a\rb\r\nc")));
    EXPECT_EQ(Exchange(f), "a\rb\x1f"
                           "c");
}

// Line breaks anywhere in texts long and short (the copy goes eight bytes at a time): each
// CR LF becomes one 0x1F in the exchange text and one space in the display text, a lone CR
// or LF stays, and every other byte is copied.
TEST(TextField, LineBreaksAtEveryPlaceAndLength) {
    auto converted = [](const std::string& text, char lineBreak) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                out += lineBreak;
                ++i;
            } else {
                out += text[i];
            }
        }
        return out;
    };
    for (std::size_t length = 1; length <= 40; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            for (const char* brk : {"\r\n", "\r", "\n", "\r\r\n"}) {
                std::string text;
                for (std::size_t i = 0; i < length; ++i)
                    text += static_cast<char>('a' + i % 26);
                text.insert(at, brk);
                if (length % 3 == 0)
                    text += "\r\n"; // and one at the very end
                SCOPED_TRACE(text);
                CTextField f(MakeTag("ADR1"));
                ASSERT_TRUE(f.SetValue(text));
                EXPECT_EQ(Exchange(f), converted(text, '\x1f'));
                EXPECT_EQ(Display(f), converted(text, ' '));
            }
        }
    }
}

TEST(TextField, CapacityCountsTheStoredText) {
    CTextField f(MakeTag("NAME"));
    ASSERT_TRUE(f.ParseText("a\x1f"
                            "b")); // stored as 4 bytes, exchanged as 3
    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_FALSE(f.FormatText(buf, 4, false));
    EXPECT_STREQ(buf, "");
    ASSERT_TRUE(f.FormatText(buf, 5, false));
    EXPECT_STREQ(buf, "a\x1f"
                      "b");
    ASSERT_TRUE(f.FormatText(buf, 5, true));
    EXPECT_STREQ(buf, "a b");
    EXPECT_FALSE(f.FormatText(nullptr, 5, false));
    EXPECT_FALSE(f.FormatText(buf, 0, false));
}

TEST(TextField, SetValueTakesTheTextUnchanged) {
    CTextField f(MakeTag("ADR1"));
    ASSERT_TRUE(f.SetValue(std::string("a\x1f"
                                       "b")));
    EXPECT_EQ(f.Value(), "a\x1f"
                         "b");
    EXPECT_FALSE(f.SetValue(int32_t{1}));
    EXPECT_EQ(*ValueAs<std::string>(f.GetValue()), "a\x1f"
                                                   "b");
}

TEST(TextField, CopyKeepsTextButClearsTabMode) {
    CTextField f(MakeTag("MEM1"));
    ASSERT_TRUE(f.ParseText("item\tvalue\x1fitem2\tv2"));
    ASSERT_TRUE(f.TabMode());
    const CTextField copy(f);
    EXPECT_EQ(copy.Value(), f.Value());
    EXPECT_FALSE(copy.TabMode());
    const auto clone = f.Clone();
    EXPECT_EQ(clone->Tag(), MakeTag("MEM1"));
    EXPECT_EQ(Exchange(*clone), Exchange(f));
}

TEST(SubTextField, ParsesTheEmbeddedMemo) {
    struct Case {
        const char* name;
        std::string input;
        bool accepted;
        std::string stored;
    };
    const Case cases[] = {
        {"memo", "MEM1:abc\x1e\x0c", true, "abc"},
        {"line breaks",
         "MEM1:a\x1f"
         "b\x1e\x0c",
         true, "a\r\nb"},
        {"tail ignored", "MEM1:abc\x1ejunk\x1e", true, "abc"},
        {"empty content", "MEM1:\x1e\x0c", true, ""},
        {"no prefix", "abc", false, ""},
        {"prefix case matters", "mem1:abc\x1e\x0c", false, ""},
        {"no end mark", "MEM1:abc", false, ""},
        {"short prefix", "MEM1", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSubTextField f(MakeTag("RMRK"));
        ASSERT_TRUE(f.SetValue(std::string("previous")));
        EXPECT_EQ(f.ParseText(c.input), c.accepted);
        EXPECT_EQ(f.Value(), c.stored);
    }
}

TEST(SubTextField, FormatsBackToTheSameBytes) {
    CSubTextField f(MakeTag("ASCT"));
    const std::string text = "MEM1:abc\x1e\x0c";
    ASSERT_TRUE(f.ParseText(text));
    EXPECT_EQ(Exchange(f), text);
    EXPECT_EQ(Exchange(f).size(), 10u);
    EXPECT_EQ(Display(f), "abc");

    ASSERT_TRUE(f.ParseText("MEM1:" + J("一行目") + "\x1f" + J("二行目") + "\x1e\x0c"));
    EXPECT_EQ(Display(f), J("一行目") + " " + J("二行目"));
    EXPECT_EQ(Exchange(f), "MEM1:" + J("一行目") + "\x1f" + J("二行目") + "\x1e\x0c");
}

TEST(SubTextField, EmptyValueAndCapacity) {
    CSubTextField f(MakeTag("RMRK"));
    EXPECT_TRUE(f.ParseText(""));
    EXPECT_EQ(Exchange(f), "");
    EXPECT_EQ(Display(f), "");

    ASSERT_TRUE(f.SetValue(std::string("abc")));
    char buf[16];
    EXPECT_FALSE(f.FormatText(buf, 10, false)); // needs stored length + 8
    EXPECT_FALSE(f.FormatText(buf, 10, true));
    ASSERT_TRUE(f.FormatText(buf, 11, false));
    EXPECT_EQ(std::string(buf), "MEM1:abc\x1e\x0c");
}

TEST(FlagField, ParsesFirstByte) {
    struct Case {
        std::string input;
        bool accepted;
        int32_t value;
    };
    const Case cases[] = {
        {"*", true, 1}, {" ", true, 0},  {"*rest", true, 1}, {"  ", true, 0},
        {"", false, 0}, {"x", false, 0}, {"1", false, 0},    {"\t", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.input + "'");
        CFlagField f(MakeTag("SCRT"));
        EXPECT_EQ(f.ParseText(c.input), c.accepted);
        EXPECT_EQ(f.Value(), c.value);
    }
}

TEST(FlagField, FormatsStarOrSpace) {
    CFlagField f(MakeTag("ALON"));
    EXPECT_EQ(Exchange(f), " ");
    ASSERT_TRUE(f.SetValue(int32_t{1}));
    EXPECT_EQ(Exchange(f), "*");
    EXPECT_EQ(Display(f), "*");
    char buf[2];
    EXPECT_TRUE(f.FormatText(buf, 2, false));
    EXPECT_FALSE(f.FormatText(buf, 1, false));
}

TEST(FlagField, RefusesValuesTheTextCannotCarry) {
    CFlagField f(MakeTag("SCRT"));
    ASSERT_TRUE(f.SetValue(int32_t{1}));
    EXPECT_FALSE(f.SetValue(int32_t{2}));
    EXPECT_FALSE(f.SetValue(int32_t{-1}));
    EXPECT_EQ(f.Value(), 1);
}

TEST(LineBreaks, NormalisedToCarriageReturnLineFeed) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a\rb", "a\r\nb"},
        {"a\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"\r\r\n\n", "\r\n\r\n\r\n"},
        {"end\r", "end\r\n"},
        {"", ""},
        {J("表") + "\r", J("表") + "\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizeLineBreaks(c.in), c.out);
        // Once normalised, a text field never exchanges a lone CR.
        CTextField f(MakeTag("MEM1"));
        ASSERT_TRUE(f.SetValue(NormalizeLineBreaks(c.in)));
        EXPECT_EQ(Exchange(f).find('\r'), std::string::npos);
    }
}

} // namespace
} // namespace tessera
