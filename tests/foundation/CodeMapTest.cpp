#include "model/CodeMap.h"

#include "support/ScriptedPrompter.h"
#include "text/Cp932Text.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace tessera;
using tessera::test::Cp932;
using tessera::test::Utf8;

namespace {

enum class Group { Always, Symbol, Kana, Alnum };

// One row of the device character map: the codes, their group and the result of each code
// in UTF-8 ("=" leaves the code unchanged).
struct Row {
    std::uint16_t first;
    std::uint16_t last;
    Group group;
    std::vector<std::string> results;
};

std::vector<std::string> Chars(const std::string& ascii) {
    std::vector<std::string> v;
    for (char c : ascii)
        v.emplace_back(1, c);
    return v;
}

std::vector<std::string> Words(const std::string& spaced) {
    std::vector<std::string> v;
    std::size_t i = 0;
    while (i < spaced.size()) {
        std::size_t j = spaced.find(' ', i);
        if (j == std::string::npos)
            j = spaced.size();
        v.push_back(spaced.substr(i, j - i));
        i = j + 1;
    }
    return v;
}

std::string FromCodePoint(char32_t c) {
    std::string s;
    if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

std::vector<std::string> Hiragana() {
    // ぁ (U+3041) .. ん (U+3093), with the unused trail byte 0x7F left as it is.
    std::vector<std::string> v;
    for (char32_t c = 0x3041; c <= 0x3093; ++c) {
        if (v.size() == 0x3F)
            v.push_back("=");
        v.push_back(FromCodePoint(c));
    }
    return v;
}

std::vector<std::string> Circled() {
    std::vector<std::string> v;
    for (char32_t c = 0x2460; c <= 0x2473; ++c) // ① .. ⑳
        v.push_back(FromCodePoint(c));
    return v;
}

std::vector<std::string> Numbers10To16() {
    return Words("10 11 12 13 14 15 16");
}

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {0x81AD, 0x81AE, Group::Symbol, Words("▲ ▼")},
        {0x824B, 0x824E, Group::Symbol, Words("” － ． ０")},
        {0x824F, 0x8258, Group::Alnum, Chars("0123456789")},
        {0x8259, 0x825F, Group::Always, Numbers10To16()},
        {0x8260, 0x8279, Group::Alnum, Chars("ABCDEFGHIJKLMNOPQRSTUVWXYZ")},
        {0x8281, 0x829A, Group::Alnum, Chars("abcdefghijklmnopqrstuvwxyz")},
        {0x82FC, 0x82FC, Group::Always, Words("ー")},
        {0x83BA, 0x83BC, Group::Symbol, Words("1/2 1/4 3/4")},
        {0x84CF, 0x84ED, Group::Symbol,
         Words("大 小 品 時 分 秒 日 月 火 水 木 金 土 生 年 台 人 名 本 ￥ 円 明 治 正 昭 和 第 "
               "合 計 代 内")},
        {0x84EE, 0x84EE, Group::Symbol, Words("[TEL]")},
        {0x9873, 0x9879, Group::Symbol, Words("(株) (有) (社) (財) (学) (医) (宗)")},
        {0xEB5B, 0xEB5B, Group::Symbol, Words("[FAX]")},
        {0xEB5D, 0xEB5E, Group::Symbol, Words("● ○")},
        {0xEBA2, 0xEBA3, Group::Symbol, Words("０ ・")},
        {0xEBA4, 0xEBAD, Group::Alnum, Chars("0123456789")},
        {0xEBAE, 0xEBB7, Group::Always, Chars("0123456789")},
        {0xEBB8, 0xEBBE, Group::Always, Numbers10To16()},
        {0xEBBF, 0xEBD8, Group::Always, Chars("ABCDEFGHIJKLMNOPQRSTUVWXYZ")},
        {0xEBD9, 0xEBDD, Group::Kana, Words("※ ヽ ヾ ゝ ゞ")},
        {0xEBDF, 0xEBF8, Group::Always, Chars("abcdefghijklmnopqrstuvwxyz")},
        {0xEBF9, 0xEBFC, Group::Kana, Words("〒 〃 仝 々")},
        {0xEC40, 0xEC93, Group::Kana, Hiragana()},
        {0xEC95, 0xEC9E, Group::Alnum, Chars("0123456789")},
        {0xEC9F, 0xECF5, Group::Kana,
         Words("ｧ ｱ ｨ ｲ ｩ ｳ ｪ ｴ ｫ ｵ ｶ ｶﾞ ｷ ｷﾞ ｸ ｸﾞ ｹ ｹﾞ ｺ ｺﾞ ｻ ｻﾞ ｼ ｼﾞ ｽ ｽﾞ ｾ ｾﾞ ｿ ｿﾞ ﾀ ﾀﾞ ﾁ ﾁﾞ ｯ "
               "ﾂ ﾂﾞ ﾃ ﾃﾞ ﾄ ﾄﾞ "
               "ﾅ ﾆ ﾇ ﾈ ﾉ ﾊ ﾊﾞ ﾊﾟ ﾋ ﾋﾞ ﾋﾟ ﾌ ﾌﾞ ﾌﾟ ﾍ ﾍﾞ ﾍﾟ ﾎ ﾎﾞ ﾎﾟ ﾏ ﾐ ﾑ ﾒ ﾓ ｬ ﾔ ｭ ﾕ ｮ ﾖ ﾗ ﾘ ﾙ ﾚ ﾛ "
               "ヮ ﾜ ヰ ヱ ｦ ﾝ ｳﾞ "
               "ヵ ヶ ｰ")},
        {0xECF6, 0xECFC, Group::Symbol, Words("ﾒｰﾄﾙ ﾐﾘ ｾﾝﾁ ｷﾛﾒｰﾄﾙ ｸﾞﾗﾑ ｷﾛｸﾞﾗﾑ ﾊﾟｰｾﾝﾄ")},
        {0xED40, 0xED53, Group::Always, Circled()},
        {0xED54, 0xED75, Group::Symbol,
         Words("(上) (下) (左) (右) (大) (中) (小) (代) (注) (印) I II III IV V VI VII VIII IX X "
               "XI XII "
               "i ii iii iv v vi vii viii ix x xi xii")},
        {0xEE82, 0xEE82, Group::Kana, Words("ヮ")},
        {0xEF40, 0xEF4E, Group::Symbol, Words("mg g kg ml l cc mm cm m km m^2 km^2 us ms Hz")},
        {0xEF81, 0xEF81, Group::Symbol, Words("(秘)")},
        {0xEF83, 0xEF83, Group::Kana, Words("ヰ")},
        {0xFC9B, 0xFC9C, Group::Symbol, Words("￠ ￡")},
        {0xFCAE, 0xFCAF, Group::Symbol, Words("《 》")},
        {0xFCC3, 0xFCC3, Group::Symbol, Words("[TEL]")},
        {0xFCDA, 0xFCDF, Group::Symbol, Words("× § = → ← ◇")},
        // 0xFCF5 and 0xFCF7 show the geta mark, the usual stand-in for a missing character.
        {0xFCF0, 0xFCFB, Group::Symbol, Words("≡ ± ≧ ≦ = 〓 ÷ 〓 = = = √")},
        {0xFDD0, 0xFDDF, Group::Symbol, Chars("0123456789056789")},
        {0xFDFA, 0xFDFD, Group::Symbol, Chars("1234")},
    };
    return rows;
}

std::string Bytes(std::uint16_t code) {
    return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

void SetOnly(CodeMapFlags& f, Group g) {
    f.convAlphaNumeric = g == Group::Alnum;
    f.convSymbol = g == Group::Symbol;
    f.convHiraKana = g == Group::Kana;
}

void SetAllBut(CodeMapFlags& f, Group g) {
    f.convAlphaNumeric = g != Group::Alnum;
    f.convSymbol = g != Group::Symbol;
    f.convHiraKana = g != Group::Kana;
}

class CodeMapTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_map.LoadTables()); }
    std::string Map(std::uint16_t code) const {
        return std::string(m_map.MapDeviceCode(code).View());
    }
    CodeMapFlags m_flags;
    CCodeMap m_map{&m_flags};
};

TEST_F(CodeMapTest, EveryRowMapsWhenItsGroupIsOn) {
    for (const Row& r : Rows()) {
        ASSERT_EQ(r.results.size(), static_cast<std::size_t>(r.last - r.first + 1))
            << std::hex << r.first;
        SetOnly(m_flags, r.group);
        for (std::uint16_t code = r.first; code <= r.last; ++code) {
            const std::string& want = r.results[code - r.first];
            SCOPED_TRACE(testing::Message() << std::hex << code << " -> " << want);
            const std::string expected = want == "=" ? Bytes(code) : Cp932(want);
            EXPECT_EQ(Map(code), expected);
            char out[16];
            EXPECT_EQ(m_map.MapDeviceCode(code, out), static_cast<int>(expected.size()));
        }
    }
}

TEST_F(CodeMapTest, EveryRowPassesUnchangedWhenItsGroupIsOff) {
    for (const Row& r : Rows()) {
        if (r.group == Group::Always)
            continue;
        SetAllBut(m_flags, r.group);
        for (std::uint16_t code = r.first; code <= r.last; ++code)
            EXPECT_EQ(Map(code), Bytes(code)) << std::hex << code;
    }
}

TEST_F(CodeMapTest, AlwaysGroupIgnoresTheSwitches) {
    for (const Row& r : Rows()) {
        if (r.group != Group::Always)
            continue;
        SetAllBut(m_flags, Group::Always); // every switch on
        const std::string on = Map(r.first);
        m_flags.convAlphaNumeric = m_flags.convSymbol = m_flags.convHiraKana = false;
        EXPECT_EQ(Map(r.first), on) << std::hex << r.first;
        EXPECT_NE(on, Bytes(r.first)) << std::hex << r.first;
    }
}

TEST_F(CodeMapTest, CodesOutsideTheRowsNeverChange) {
    std::vector<bool> listed(0x10000, false);
    for (const Row& r : Rows())
        for (unsigned c = r.first; c <= r.last; ++c)
            listed[c] = true;
    m_flags.convAlphaNumeric = m_flags.convSymbol = m_flags.convHiraKana = true;
    int checked = 0;
    for (unsigned code = 0x8100; code <= 0xFDFF; ++code) {
        if (listed[code])
            continue;
        ASSERT_EQ(Map(static_cast<std::uint16_t>(code)), Bytes(static_cast<std::uint16_t>(code)))
            << std::hex << code;
        ++checked;
    }
    EXPECT_GT(checked, 31000);
    // Codes beyond the class table pass unchanged too.
    EXPECT_EQ(Map(0xFE40), Bytes(0xFE40));
    EXPECT_EQ(Map(0x8040), Bytes(0x8040));
}

TEST_F(CodeMapTest, ResultsAreAlwaysPlainCodePage932) {
    // With everything on, no result may be a code the PC cannot show.
    m_flags.convAlphaNumeric = m_flags.convSymbol = m_flags.convHiraKana = true;
    for (const Row& r : Rows()) {
        for (std::uint16_t code = r.first; code <= r.last; ++code) {
            if (r.results[code - r.first] == "=")
                continue;
            const std::string utf8 = Cp932ToUtf8(Map(code));
            EXPECT_EQ(utf8.find("\xF3"), std::string::npos) << std::hex << code; // U+F0000.. plane
            const MappedCode m = m_map.MapDeviceCode(code);
            EXPECT_GE(m.size, 1);
            EXPECT_LE(m.size, 6);
        }
    }
}

TEST_F(CodeMapTest, EdgeCasesOfTheConversion) {
    m_flags.convAlphaNumeric = m_flags.convSymbol = m_flags.convHiraKana = false;
    EXPECT_EQ(Map(0x824F), Cp932("０"));
    EXPECT_EQ(Map(0xEBAE), "0");
    EXPECT_EQ(Map(0x8259), "10");
    EXPECT_EQ(Map(0xED40), Cp932("①"));
    EXPECT_EQ(Map(0xECAA), Bytes(0xECAA));
    EXPECT_EQ(Map(0xEC41), Bytes(0xEC41));

    m_flags.convAlphaNumeric = true;
    EXPECT_EQ(Map(0x8260) + Map(0x8282) + Map(0x8250), "Ab1"); // Ａｂ１

    m_flags.convHiraKana = true;
    EXPECT_EQ(Map(0xECAA), "\xB6\xDE"); // ｶﾞ
    EXPECT_EQ(Map(0xEC41), Cp932("あ"));
    EXPECT_EQ(Map(0xEC7F), Bytes(0xEC7F));
    EXPECT_EQ(Map(0xEC80), Cp932("む"));

    m_flags.convSymbol = true;
    EXPECT_EQ(Map(0x9873), Cp932("(株)"));
    EXPECT_EQ(Map(0x9873).size(), 4u);
    EXPECT_EQ(Map(0xECFC), "\xCA\xDF\xB0\xBE\xDD\xC4"); // ﾊﾟｰｾﾝﾄ, the longest result
}

TEST_F(CodeMapTest, SwitchChangesApplyToTheNextCall) {
    m_flags.convHiraKana = false;
    EXPECT_EQ(Map(0xEC41), Bytes(0xEC41));
    m_flags.convHiraKana = true;
    EXPECT_EQ(Map(0xEC41), Cp932("あ"));
    m_flags.convHiraKana = false;
    EXPECT_EQ(Map(0xEC41), Bytes(0xEC41));
}

TEST(CodeMap, WithoutFlagsOnlyTheAlwaysGroupConverts) {
    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());
    EXPECT_EQ(std::string(map.MapDeviceCode(0xEBAE).View()), "0");
    EXPECT_EQ(std::string(map.MapDeviceCode(0x824F).View()), Bytes(0x824F));
    EXPECT_EQ(std::string(map.MapDeviceCode(0x9873).View()), Bytes(0x9873));
}

TEST(CodeMap, UnloadedMapConvertsNothing) {
    CodeMapFlags flags;
    flags.convSymbol = true;
    CCodeMap map(&flags);
    EXPECT_FALSE(map.IsLoaded());
    EXPECT_EQ(std::string(map.MapDeviceCode(0xEBAE).View()), Bytes(0xEBAE));
}

TEST(CodeMap, DamagedTablesAreRefused) {
    const CodeMapTables good = CodeMapTables::BuiltIn();
    {
        CodeMapTables t = good;
        t.classes = nullptr; // a missing table
        EXPECT_FALSE(CCodeMap(t, nullptr).LoadTables());
    }
    {
        CodeMapTables t = good;
        t.singleCount = 71; // a short table
        EXPECT_FALSE(CCodeMap(t, nullptr).LoadTables());
    }
    {
        CodeMapTables t = good;
        t.stringCount = 100; // ranges point past the end of the result list
        EXPECT_FALSE(CCodeMap(t, nullptr).LoadTables());
    }
    {
        // A class byte naming a range whose first code lies after it.
        std::vector<unsigned char> classes(good.classes, good.classes + good.classCount);
        classes[0] = 0x00 | 1;
        CodeMapTables t = good;
        t.classes = classes.data();
        EXPECT_FALSE(CCodeMap(t, nullptr).LoadTables());
    }
    {
        // A double-byte range index beyond its table.
        std::vector<chartables::RangeInfo> ranges(good.ranges, good.ranges + good.rangeCount);
        ranges[41].offset = 179;
        CodeMapTables t = good;
        t.ranges = ranges.data();
        EXPECT_FALSE(CCodeMap(t, nullptr).LoadTables());
    }
    EXPECT_TRUE(CCodeMap(good, nullptr).LoadTables());
}

TEST(CodeMap, TablesHaveTheirFixedSizes) {
    EXPECT_EQ(chartables::kClassTableSize, 32000u);
    EXPECT_EQ(std::string(chartables::kSingleTable),
              "0123456789056789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234");
    EXPECT_EQ(chartables::kDoubleTableSize, 358u);
    EXPECT_EQ(chartables::kResultStringCount, 163u);
    // Range numbers keep to their kinds: 1-20 strings, 21-40 single, 41-63 double.
    std::map<unsigned, int> seen;
    for (std::size_t i = 0; i < chartables::kClassTableSize; ++i)
        if (chartables::kClassTable[i] & 0x3F)
            ++seen[chartables::kClassTable[i] & 0x3F];
    EXPECT_GE(seen.size(), 38u);
}

} // namespace
