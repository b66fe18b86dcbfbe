// Records and record sets: positions, insertion, removal, copies and moves between sets.

#include "model/RecordSet.h"

#include "TestText.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tessera {
namespace {

using test::J;
using test::ScriptedPrompter;

constexpr FieldTag kName = MakeTag("NAME");
constexpr FieldTag kTel = MakeTag("TEL1");

// A phone-book record holding `name` in NAME.
std::unique_ptr<CDataRecord> Named(const CRecordSet& set, const std::string& name) {
    auto r = set.NewRecord();
    EXPECT_TRUE(r->ParseField(set.FindTag(kName), name, false));
    return r;
}

std::string NameAt(const CRecordSet& set, int position) {
    const CDataRecord* r = set.RecordAt(position);
    if (r == nullptr)
        return "<none>";
    std::string out;
    r->FormatField(set.FindTag(kName), out, false);
    return out;
}

std::vector<std::string> Names(const CRecordSet& set) {
    std::vector<std::string> out;
    for (int i = 0; i < set.RecordCount(); ++i)
        out.push_back(NameAt(set, i));
    return out;
}

TEST(RecordSetPositions, InsertAppendsOrPlacesBeforeThePosition) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    EXPECT_EQ(set.RecordCount(), 0);
    EXPECT_EQ(set.RecordAt(0), nullptr);

    EXPECT_TRUE(set.InsertRecord(-1, Named(set, "b")));
    EXPECT_TRUE(set.InsertRecord(0, Named(set, "a")));  // at the head
    EXPECT_TRUE(set.InsertRecord(2, Named(set, "d")));  // == count appends
    EXPECT_TRUE(set.InsertRecord(99, Named(set, "e"))); // past the end appends
    EXPECT_EQ(Names(set), (std::vector<std::string>{"a", "b", "d", "e"}));

    RecordList chain;
    chain.push_back(Named(set, "c1"));
    chain.push_back(nullptr);
    chain.push_back(Named(set, "c2"));
    EXPECT_TRUE(set.InsertRecords(2, std::move(chain)));
    EXPECT_EQ(Names(set), (std::vector<std::string>{"a", "b", "c1", "c2", "d", "e"}));
    EXPECT_EQ(set.RecordCount(), 6);

    EXPECT_FALSE(set.InsertRecords(0, RecordList{}));
    EXPECT_FALSE(set.InsertRecord(0, nullptr));
    EXPECT_EQ(set.RecordCount(), 6);

    EXPECT_EQ(set.RecordAt(6), nullptr);
    EXPECT_EQ(set.RecordAt(-1), nullptr);
}

TEST(RecordSetPositions, RemoveAndTakeKeepTheOrder) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    for (const char* n : {"a", "b", "c", "d"})
        set.InsertRecord(-1, Named(set, n));

    EXPECT_TRUE(set.RemoveRecord(1));
    EXPECT_FALSE(set.RemoveRecord(3));
    EXPECT_FALSE(set.RemoveRecord(-1));
    auto taken = set.TakeRecord(0);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(Names(set), (std::vector<std::string>{"c", "d"}));
    EXPECT_EQ(set.TakeRecord(2), nullptr);
}

TEST(RecordSetPositions, RecordAtIsDirectOnALargeSet) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindSchedule));
    RecordList many;
    for (int i = 0; i < 20000; ++i)
        many.push_back(set.NewRecord());
    CDataRecord* last = many.back().get();
    ASSERT_TRUE(set.InsertRecords(-1, std::move(many)));
    // A walk from the head for each of these would take seconds.
    for (int round = 0; round < 200000; ++round)
        ASSERT_EQ(set.RecordAt(19999), last);
}

TEST(RecordSetKinds, SetKindGivesTagsTitlesAndDropsOldRecords) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindBusinessCard));
    EXPECT_EQ(set.Kind(), 2);
    EXPECT_EQ(set.FieldCount(), 18);
    EXPECT_EQ(set.Tags().front(), "SCRT");
    EXPECT_EQ(set.Tags().back(), "ASCT");
    EXPECT_EQ(set.Titles().size(), 18u);
    EXPECT_EQ(set.TagCodeAt(1), kName);
    EXPECT_EQ(set.TagCodeAt(18), 0u);
    EXPECT_EQ(set.TagCodeAt(-1), 0u);

    set.InsertRecord(-1, set.NewRecord());
    ASSERT_TRUE(set.SetKind(kKindMemo));
    EXPECT_EQ(set.RecordCount(), 0);
    EXPECT_EQ(set.FieldCount(), 3);

    EXPECT_FALSE(set.SetKind(0));
    EXPECT_FALSE(set.SetKind(9));
    EXPECT_EQ(set.Kind(), kKindMemo);
}

TEST(Records, ParseFieldThrowsOnRefusalAndReportsOnlyWhenAsked) {
    ScriptedPrompter prompter;
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindActionList));
    auto r = set.NewRecord();
    const int prty = set.FindTag(MakeTag("PRTY"));

    EXPECT_TRUE(r->ParseField(prty, "03", true));
    EXPECT_FALSE(r->ParseField(99, "03", true)); // outside the record: false, no throw
    EXPECT_THROW(r->ParseField(prty, "04", false), CUserAbort);
    EXPECT_TRUE(prompter.Messages().empty());
    prompter.Expect(kMsgInvalidInput);
    EXPECT_THROW(r->ParseField(prty, "04", true), CUserAbort);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgInvalidInput});
}

TEST(Records, EmptySlotsRefuseValuesAndCopies) {
    ScriptedPrompter prompter;
    prompter.Expect(kMsgUnknownField);
    const std::vector<std::string> tags = {"SCRT", "SYNC", "NAME"};
    CDataRecord r(tags);
    EXPECT_EQ(r.FieldCount(), 3);
    EXPECT_EQ(r.FieldAt(1), nullptr);
    EXPECT_THROW(r.ParseField(1, "", false), CUserAbort);

    std::string out = "junk";
    EXPECT_FALSE(r.FormatField(1, out, false));
    EXPECT_EQ(out, "");
    char buffer[8] = "junk";
    EXPECT_FALSE(r.FormatField(1, buffer, sizeof buffer, false));
    EXPECT_STREQ(buffer, "");

    EXPECT_EQ(r.Clone(), nullptr);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgUnknownField});
}

TEST(Records, CloneIsDeepAndValuesGoByTag) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    auto r = Named(set, J("山田"));
    EXPECT_TRUE(r->SetFieldValue(kTel, FieldValue(std::string("03-1234"))));
    EXPECT_FALSE(r->SetFieldValue(MakeTag("TIM1"), FieldValue(std::string("x"))));

    auto copy = r->Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(r->SetFieldValue(kTel, FieldValue(std::string("changed"))));
    const std::string* tel = ValueAs<std::string>(copy->GetFieldValue(kTel));
    ASSERT_NE(tel, nullptr);
    EXPECT_EQ(*tel, "03-1234");
    EXPECT_THROW(copy->GetFieldValue(MakeTag("IMG1")), CUserAbort);

    ASSERT_TRUE(copy->Assign(*r));
    EXPECT_EQ(*ValueAs<std::string>(copy->GetFieldValue(kTel)), "changed");
}

TEST(MoveRecords, SameKindSameTagsMovesEverything) {
    CRecordSet from, to;
    ASSERT_TRUE(from.SetKind(kKindPhoneBook));
    ASSERT_TRUE(to.SetKind(kKindPhoneBook));
    from.InsertRecord(-1, Named(from, "x"));
    from.InsertRecord(-1, Named(from, "y"));
    to.InsertRecord(-1, Named(to, "a"));
    to.InsertRecord(-1, Named(to, "b"));

    ASSERT_TRUE(CRecordSet::MoveRecords(from, to, 1));
    EXPECT_EQ(Names(to), (std::vector<std::string>{"a", "x", "y", "b"}));
    EXPECT_EQ(from.RecordCount(), 0);
    from.Detach();
    EXPECT_EQ(from.Kind(), 0);
    EXPECT_EQ(from.FieldCount(), 0);
}

TEST(MoveRecords, OtherKindIsRefused) {
    CRecordSet from, to;
    ASSERT_TRUE(from.SetKind(kKindBusinessCard));
    ASSERT_TRUE(to.SetKind(kKindPhoneBook));
    from.InsertRecord(-1, Named(from, "x"));
    EXPECT_FALSE(CRecordSet::MoveRecords(from, to, -1));
    EXPECT_EQ(from.RecordCount(), 1);
    EXPECT_EQ(to.RecordCount(), 0);
}

// A short tag list that deduces the phone book must not shift values into other columns.
TEST(MoveRecords, SameKindOtherTagsRebuildsByTag) {
    ScriptedPrompter prompter;
    CRecordSet from;
    ASSERT_TRUE(from.ReadText(test::Line("i", {"TEL1", "NAME"}) + "\r\n" +
                                  test::Line("D", {"03-1111", J("佐藤")}) + "\r\n\x1A",
                              nullptr));
    ASSERT_EQ(from.Kind(), kKindPhoneBook);
    CRecordSet to;
    ASSERT_TRUE(to.SetKind(kKindPhoneBook));

    ASSERT_TRUE(CRecordSet::MoveRecords(from, to, -1));
    ASSERT_EQ(to.RecordCount(), 1);
    EXPECT_EQ(NameAt(to, 0), J("佐藤"));
    std::string tel;
    to.RecordAt(0)->FormatField(to.FindTag(kTel), tel, false);
    EXPECT_EQ(tel, "03-1111");
    EXPECT_EQ(to.RecordAt(0)->FieldCount(), 12);
    EXPECT_EQ(from.RecordCount(), 0);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST(MoveRecords, ATagTheTargetLacksRefusesTheMove) {
    CRecordSet from;
    ASSERT_TRUE(from.ReadText(test::Line("i", {"NAME", "FAX1"}) + "\r\n" +
                                  test::Line("D", {"a", "0120"}) + "\r\n\x1A",
                              nullptr));
    ASSERT_EQ(from.Kind(), kKindPhoneBook);
    CRecordSet to;
    ASSERT_TRUE(to.SetKind(kKindPhoneBook));
    EXPECT_FALSE(CRecordSet::MoveRecords(from, to, -1));
    EXPECT_EQ(from.RecordCount(), 1);
    EXPECT_EQ(to.RecordCount(), 0);
}

// The reader cuts records from large shared blocks; each record must still live on its own:
// taken out, moved to another set or copied, it outlives the set it was read into, and the
// blocks go once their last record has (the sanitizers see a block freed too early or never).
TEST(RecordSetReadRecords, OutliveTheSetTheyWereReadInto) {
    std::string text = "\"i\",\"NAME\",\"TEL1\"\r\n";
    const int count = 20000; // several blocks
    for (int i = 0; i < count; ++i)
        text +=
            "\"D\",\"" + J("山田") + std::to_string(i) + "\",\"03-" + std::to_string(i) + "\"\r\n";
    text += "\x1A";
    auto read = std::make_unique<CRecordSet>();
    ASSERT_TRUE(read->ReadText(text, nullptr));
    ASSERT_EQ(read->RecordCount(), count);

    CRecordSet other;
    ASSERT_TRUE(other.SetTagList({"NAME", "TEL1"}));
    std::vector<std::unique_ptr<CDataRecord>> kept;
    kept.push_back(read->TakeRecord(count - 1));
    kept.push_back(read->TakeRecord(count / 2));
    kept.push_back(read->TakeRecord(0));
    kept.push_back(read->RecordAt(100)->Clone());
    ASSERT_TRUE(read->RemoveRecord(200));
    ASSERT_TRUE(CRecordSet::MoveRecords(*read, other, -1));
    RecordList detached = read->Detach();
    EXPECT_TRUE(detached.empty());
    read.reset();

    const std::vector<std::string> names = {J("山田") + std::to_string(count - 1),
                                            J("山田") + std::to_string(count / 2), J("山田") + "0",
                                            J("山田") + "101"};
    for (std::size_t k = 0; k < kept.size(); ++k) {
        ASSERT_NE(kept[k], nullptr);
        EXPECT_EQ(kept[k]->FieldAt(0)->Text(false), names[k]);
    }
    ASSERT_EQ(other.RecordCount(), count - 4);
    EXPECT_EQ(NameAt(other, 0), J("山田") + "1");
    EXPECT_EQ(NameAt(other, other.RecordCount() - 1), J("山田") + std::to_string(count - 2));
    // A value changed in a read record goes on living in the record.
    ASSERT_TRUE(other.RecordAt(5)->ParseField(0, "x", false));
    kept.clear();
    EXPECT_EQ(NameAt(other, 5), "x");
}

TEST(RecordSetDetach, HandsTheRecordsBack) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    set.InsertRecord(-1, Named(set, "a"));
    CDataRecord* kept = set.RecordAt(0);
    RecordList records = set.Detach();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].get(), kept);
    EXPECT_EQ(set.RecordCount(), 0);
    EXPECT_EQ(set.Kind(), 0);
    EXPECT_EQ(set.FieldCount(), 0);
}

} // namespace
} // namespace tessera
