// Folding and matching of the find bar and `tessera-cli find`.

#include "model/Find.h"

#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>
#include <string>

namespace tessera::test {
namespace {

bool Finds(const char* text, const char* query) {
    return CFindQuery(Cp932(query)).Matches(FoldText(Cp932(text)));
}

struct FoldCase {
    const char* text;
    const char* query;
    bool match;
};

// Each rule both ways (the text in one form, the query in the other), and what must stay apart.
constexpr FoldCase kFoldCases[] = {
    {"Yamada Taro", "yamada", true},
    {"yamada", "YAMADA", true},
    {"ＹＡＭＡＤＡ", "yamada", true}, // full-width letters
    {"yamada", "ｙａｍａｄａ", true},
    {"０３－１２３４", "03-1234", true}, // full-width digits and minus
    {"03-1234", "０３－１２３４", true},
    {"ｶﾀｶﾅ", "カタカナ", true}, // half-width katakana
    {"カタカナ", "ｶﾀｶﾅ", true},
    {"やまだ", "ヤマダ", true}, // hiragana and katakana
    {"ヤマダ", "やまだ", true},
    {"ﾔﾏﾀﾞ", "やまだ", true}, // half-width voiced mark after the kana
    {"やまだ", "ﾔﾏﾀﾞ", true},
    {"パン", "ﾊﾟﾝ", true},    // semi-voiced
    {"は゛ら", "ばら", true}, // the mark written after the kana
    {"ばら", "は゛ら", true},
    {"ヴィ", "ｳﾞｨ", true},
    {"サーバー", "サ－バ－", true}, // long vowel and dashes
    {"ｻｰﾊﾞｰ", "さーばー", true},
    {"a―b", "a‐b", true},                            // horizontal bar and hyphen
    {"Ｔａｒｏ　Ｙａｍａｄａ", "taro yamada", true}, // ideographic space
    {"ΑΒΓ", "αβγ", true},                            // Greek capitals
    // What must not fold.
    {"やまだ", "やまた", false}, // voiced and plain kana differ
    {"ぱん", "ばん", false},     // semi-voiced is not voiced
    {"つ", "っ", false},         // small kana stay small
    {"あ", "ぁ", false},
    {"①", "1", false}, // circled numbers are not digits
    {"一", "1", false},
    {"山田", "やまだ", false}, // no readings are guessed
    {"ab", "a b c", false},    // every word must occur
};

TEST(FindFold, EachRuleFoldsBothWaysAndNothingElse) {
    for (const FoldCase& c : kFoldCases)
        EXPECT_EQ(Finds(c.text, c.query), c.match) << c.text << " / " << c.query;
}

TEST(FindQuery, WordsSplitAtEitherSpaceAndAllMustOccur) {
    const CFindQuery q(Cp932("やまだ　０３  tokyo"));
    ASSERT_EQ(q.Words().size(), 3u);
    EXPECT_TRUE(q.Matches(FoldText(Cp932("Tokyo ﾔﾏﾀﾞ 03-1234"))));
    EXPECT_FALSE(q.Matches(FoldText(Cp932("Osaka ﾔﾏﾀﾞ 03-1234"))));
    EXPECT_TRUE(CFindQuery(Cp932("  ")).IsEmpty());
    EXPECT_FALSE(CFindQuery::Nothing().IsEmpty());
    EXPECT_FALSE(CFindQuery::Nothing().Matches(FoldText("")));
}

TEST(FindQuery, DeviceCodesAndStrayBytesMatchNoQuery) {
    // 0xF040 is a code code page 932 leaves undefined; a stray trail byte ends the text.
    const std::u16string folded = FoldText(std::string("\xF0\x40"
                                                       "ab\x81",
                                                       5));
    EXPECT_EQ(folded.size(), 4u);
    EXPECT_TRUE(CFindQuery("ab").Matches(folded));
}

// A phone book of three, the name, its reading and the number filled.
std::string ThreeRecords() {
    std::string t = "\"i\",\"SCRT\",\"NAME\",\"NAPR\",\"TEL1\"\r\n";
    t += Cp932("\"T\",\"シークレット\",\"個人名\",\"個人名読み\",\"電話番号\"\r\n");
    t += Cp932("\"D\",\" \",\"山田太郎\",\"ﾔﾏﾀﾞﾀﾛｳ\",\"03-1111\"\r\n");
    t += Cp932("\"D\",\" \",\"田中花子\",\"ﾀﾅｶﾊﾅｺ\",\"06-2222\"\r\n");
    t += Cp932("\"D\",\" \",\"山本一郎\",\"ﾔﾏﾓﾄｲﾁﾛｳ\",\"03-3333\"\r\n");
    t += '\x1A';
    return t;
}

TEST(FindRecords, ByReadingInEitherKanaAndNotAcrossFields) {
    CRecordSet set;
    ASSERT_TRUE(set.ReadText(ThreeRecords(), nullptr));
    ASSERT_EQ(set.RecordCount(), 3);
    struct {
        const char* query;
        std::vector<int> hits;
    } cases[] = {
        {"やま", {0, 2}}, {"ヤマダ", {0}}, {"たなか はなこ", {1}}, {"０３", {0, 2}},
        {"山", {0, 2}},   {"ろう03", {}}, // the reading's end and the number are two fields
        {"", {0, 1, 2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindRecords(set, CFindQuery(Cp932(c.query))), c.hits) << c.query;
}

} // namespace
} // namespace tessera::test
