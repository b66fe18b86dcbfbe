// Record kinds: field lists, names, tag lists from the string table, deduction.

#include "model/RecordKind.h"

#include "FieldTestSupport.h"

#include <gtest/gtest.h>

namespace tessera {
namespace {

using fieldtest::J;

std::vector<std::string> Tags(std::initializer_list<const char*> list) {
    return std::vector<std::string>(list.begin(), list.end());
}

TEST(RecordKind, DeducesFromTags) {
    const struct {
        std::vector<std::string> tags;
        int kind;
    } cases[] = {
        {Tags({"SCRT", "NAME", "NAPR", "TEL1"}), 1},
        {Tags({"SCRT", "NAME", "NAPR", "TEL1", "OFCE"}), 2},
        {Tags({"OFCE", "SCRT", "NAME"}), 2},
        {Tags({"NAME", "NAME"}), 0},
        {Tags({"OFCE"}), 0},
        {Tags({"NAME", "OFCE", "OFCE"}), 0},
        {Tags({"NAME", "OFCE", "TIM1"}), 3}, // a deciding tag wins over the counter
        {Tags({"SCRT", "ANN1", "MEM1"}), 4},
        {Tags({"SCRT", "ANN2", "MEM1"}), 5},
        {Tags({"ETDY"}), 6},
        {Tags({"CLAS", "CLSC"}), 7},
        {Tags({"IMG1", "TIM1"}), 8}, // the first deciding tag
        {Tags({"NAMEX"}), 0},        // a longer tag is another tag, not NAME
        {Tags({"NAM"}), 0},
        {Tags({"name"}), 0},
        {Tags({}), 0},
        {Tags({"SCRT", "MEM1"}), 0},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& t : c.tags)
            joined += t + ",";
        EXPECT_EQ(DeduceKind(c.tags), c.kind) << joined;
    }
}

TEST(RecordKind, EveryKindDeducesItselfFromItsOwnTags) {
    for (int kind = kFirstKind; kind <= kLastKind; ++kind)
        EXPECT_EQ(DeduceKind(KindTags(kind)), kind) << kind;
}

TEST(RecordKind, FieldListsMatchTheFieldClasses) {
    const int counts[] = {0, 12, 18, 6, 3, 3, 7, 5, 3};
    for (int kind = kFirstKind; kind <= kLastKind; ++kind) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(KindFieldCount(kind), counts[kind]);
        const auto tags = KindTags(kind);
        ASSERT_EQ(tags.size(), static_cast<std::size_t>(counts[kind]));
        const auto list = KindFieldList(kind);
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(tags[i], list[i].tag);
            EXPECT_EQ(FieldClassOf(MakeTag(list[i].tag)), list[i].fieldClass) << list[i].tag;
        }
        EXPECT_EQ(tags.front(), "SCRT");
    }
    EXPECT_EQ(KindFieldCount(0), 0);
    EXPECT_EQ(KindFieldCount(9), 0);
    EXPECT_TRUE(KindTags(9).empty());
}

TEST(RecordKind, BusinessCardLayout) {
    std::vector<std::string> tags, titles;
    ASSERT_TRUE(KindLayout(2, tags, titles));
    ASSERT_EQ(tags.size(), 18u);
    ASSERT_EQ(titles.size(), 18u);
    EXPECT_EQ(tags.front(), "SCRT");
    EXPECT_EQ(tags.back(), "ASCT");
    EXPECT_EQ(titles.front(), J("シークレット"));
    EXPECT_EQ(titles.back(), J("交際録"));
    EXPECT_EQ(titles[4], J("FAX番号"));
    EXPECT_FALSE(KindLayout(0, tags, titles));
    EXPECT_TRUE(tags.empty());
    EXPECT_TRUE(titles.empty());
}

TEST(RecordKind, TitlesOfUnknownTagsAreEmpty) {
    const auto titles = TitlesForTags(Tags({"NAME", "XXXX", "SYNC", "NA"}));
    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0], J("個人名"));
    EXPECT_EQ(titles[1], "");
    EXPECT_EQ(titles[2], J("シンクロナイズ情報"));
    EXPECT_EQ(titles[3], "");
}

TEST(RecordKind, NamesAndIds) {
    const char* names[] = {"",
                           "電話帳",
                           "名刺管理",
                           "スケジュール",
                           "記念日(月/日)",
                           "記念日(月/週/曜)",
                           "アクションリスト",
                           "レポート/自由帳",
                           "手書きメモ"};
    for (int kind = kFirstKind; kind <= kLastKind; ++kind) {
        EXPECT_EQ(KindNameId(kind), 4095 + kind);
        EXPECT_EQ(KindName(kind), J(names[kind])) << kind;
    }
    EXPECT_EQ(KindName(0), "");
    EXPECT_EQ(KindTagBaseId(2), 10256);
    EXPECT_EQ(KindTagBaseId(3), 10288);
    EXPECT_EQ(KindTagBaseId(8), 10384);
}

TEST(RecordKind, MalformedTagEntryFallsBackToTheBuiltInTag) {
    const std::string saved = LoadString(10241);
    OverrideString(10241, "NA");
    const auto tags = KindTags(1);
    OverrideString(10241, saved);
    ASSERT_EQ(tags.size(), 12u);
    EXPECT_EQ(tags[1], "NAME");
}

} // namespace
} // namespace tessera
