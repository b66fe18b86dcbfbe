// The reader: round trips through the writer for every kind, the line rules, and every prompt
// with the user's answers.

#include "TestText.h"
#include "model/CodeMap.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <deque>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace tessera {
namespace {

using test::J;
using test::Line;
using test::ScriptedPrompter;
using R = PromptResult;

const std::string kEnd = "\r\n\x1A";

// Exchange text of every field of every record.
std::vector<std::vector<std::string>> Values(const CRecordSet& set) {
    std::vector<std::vector<std::string>> out;
    for (int i = 0; i < set.RecordCount(); ++i) {
        std::vector<std::string> row;
        const CDataRecord* r = set.RecordAt(i);
        for (int f = 0; f < r->FieldCount(); ++f) {
            std::string text;
            r->FormatField(f, text, false);
            row.push_back(text);
        }
        out.push_back(row);
    }
    return out;
}

// One record per kind with a value in most fields, as exchange texts.
struct KindSample {
    int kind;
    std::vector<std::string> values;
};

std::vector<KindSample> Samples() {
    return {
        {1,
         {"*", J("山田 太郎"), J("やまだ たろう"), "03-1234-5678", "123-4567",
          J("東京都千代田区") + "\x1F" + J("一丁目"), "19700105      ",
          "MEM1:" + J("メモ") + "\x1E\x0C", J("○"), J("×"), J("△"), ""}},
        {2,
         {" ", J("鈴木"), J("すずき"), "06-1111", "06-2222", J("株式会社テスト"), J("てすと"),
          J("営業部"), J("課長"), "530-0001", J("大阪市"), "", "", "", J("○"), "", "",
          "MEM1:" + J("初対面") + "\x1E\x0C"}},
        {3, {" ", "200105311230  ", "200105311330  ", "200105311220  ", "*", J("会議")}},
        {4, {" ", "    1224      ", J("記念日")}},
        {5, {"*", "    0326", J("第3土曜")}},
        {6, {" ", "20010531      ", "", "01", "02", J("報告書"), "20010615      "}},
        {7,
         {" ", J("日報"), J("天気") + "\t" + J("晴れ") + "\x1F" + J("場所") + "\t" + J("本社"),
          "0AFF", J("あ")}},
        {8,
         {" ", J("地図"),
          "0C00070000000402"
          "00FF"
          "0000"}},
    };
}

TEST(ReaderRoundTrip, EveryKindReadsBackWhatWasWritten) {
    ScriptedPrompter prompter;
    for (const auto& sample : Samples()) {
        SCOPED_TRACE(sample.kind);
        CRecordSet set;
        ASSERT_TRUE(set.SetKind(sample.kind));
        ASSERT_EQ(static_cast<int>(sample.values.size()), set.FieldCount());
        auto r = set.NewRecord();
        for (int f = 0; f < set.FieldCount(); ++f)
            ASSERT_TRUE(r->ParseField(f, sample.values[static_cast<std::size_t>(f)], false)) << f;
        set.InsertRecord(-1, std::move(r));
        // A new record too, except for the action list: its unset marks write an empty
        // text that reads back as a bad value on purpose.
        if (sample.kind != kKindActionList)
            set.InsertRecord(-1, set.NewRecord());

        std::string text;
        ASSERT_TRUE(set.WriteTextToString(text));
        CRecordSet back;
        int errors = -1;
        ASSERT_TRUE(back.ReadText(text, nullptr, &errors));
        EXPECT_EQ(errors, 0);
        EXPECT_EQ(back.Kind(), sample.kind);
        EXPECT_EQ(back.Tags(), set.Tags());
        EXPECT_EQ(back.Titles(), set.Titles());
        EXPECT_EQ(Values(back), Values(set));
        EXPECT_EQ(Values(back)[0], sample.values);

        std::string again;
        ASSERT_TRUE(back.WriteTextToString(again));
        EXPECT_EQ(again, text);
    }
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST(ReaderRoundTrip, LineBreaksAndCircledNumbersSurvive) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindSchedule));
    auto r = set.NewRecord();
    const std::string memo = "a\r\n\x87\x40\x87\x53\r\nb";
    ASSERT_TRUE(r->SetFieldValue(MakeTag("MEM1"), FieldValue(memo)));
    set.InsertRecord(-1, std::move(r));
    std::string text;
    ASSERT_TRUE(set.WriteTextToString(text));

    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());
    CRecordSet back;
    ASSERT_TRUE(back.ReadText(text, &map));
    const std::string* got = ValueAs<std::string>(back.RecordAt(0)->GetFieldValue(MakeTag("MEM1")));
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(*got, memo);
}

// A report's text holds a TAB, so its 0x1F bytes read back as they are. A line break given
// to it as CR LF goes out as 0x1F like in any text; the field keeps it as 0x1F from the
// start, so what is saved reads back unchanged, and the break stays a break inside its
// item instead of turning into an item separator somewhere else.
TEST(ReaderRoundTrip, ReportTextsWithLineBreaksReadBackUnchanged) {
    const std::string name1 = J("天気");
    const std::string name2 = J("場所");
    // Two items, the first with a two-line content, as a caller without the report
    // editor's conventions may hand it over; and as ParseText gets it.
    const std::string given =
        name1 + "\t" + J("晴れ") + "\r\n" + J("のち雨") + "\x1F" + name2 + "\t" + J("本社");
    const std::string stored =
        name1 + "\t" + J("晴れ") + "\x1F" + J("のち雨") + "\x1F" + name2 + "\t" + J("本社");
    for (const bool viaParse : {false, true}) {
        SCOPED_TRACE(viaParse ? "ParseText" : "SetValue");
        CRecordSet set;
        ASSERT_TRUE(set.SetKind(kKindReport));
        auto r = set.NewRecord();
        const int mem = r->FindField(MakeTag("MEM1"));
        ASSERT_GE(mem, 0);
        if (viaParse)
            ASSERT_TRUE(r->ParseField(mem, given, false));
        else
            ASSERT_TRUE(r->SetFieldValue(MakeTag("MEM1"), FieldValue(given)));
        const auto* field = static_cast<const CTextField*>(r->FieldAt(mem));
        ASSERT_TRUE(field->TabMode());
        EXPECT_EQ(field->Value(), stored);
        set.InsertRecord(-1, std::move(r));

        std::string text;
        ASSERT_TRUE(set.WriteTextToString(text));
        CRecordSet back;
        ASSERT_TRUE(back.ReadText(text, nullptr));
        ASSERT_EQ(back.RecordCount(), 1);
        const std::string* got =
            ValueAs<std::string>(back.RecordAt(0)->GetFieldValue(MakeTag("MEM1")));
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(*got, stored);
        std::string again;
        ASSERT_TRUE(back.WriteTextToString(again));
        EXPECT_EQ(again, text);
    }
    // A text without a TAB keeps its CR LF in memory, as before.
    CTextField plain(MakeTag("MEM1"));
    ASSERT_TRUE(plain.SetValue(std::string("a\r\nb")));
    EXPECT_EQ(plain.Value(), "a\r\nb");
}

TEST(ReaderLines, HeaderTitlesAndRecordLines) {
    ScriptedPrompter prompter;
    struct Case {
        const char* name;
        std::string text;
        int kind;
        int fields;
        std::vector<std::vector<std::string>> values;
    };
    const std::vector<Case> cases = {
        {"header without i gives no tags",
         Line("x", {"NAME"}) + "\r\n" + Line("T", {"a"}) + kEnd,
         0,
         0,
         {}},
        {"lower-case letters",
         Line("I", {"NAME"}) + "\r\n" + Line("t", {"x"}) + "\r\n" + Line("d", {"a"}) + kEnd,
         1,
         1,
         {{"a"}}},
        {"empty last value",
         Line("i", {"NAME", "TEL1"}) + "\r\n" + Line("D", {"a", ""}) + kEnd,
         1,
         2,
         {{"a", ""}}},
        {"fewer values than fields",
         Line("i", {"NAME", "TEL1"}) + "\r\n\"D\"" + kEnd,
         1,
         2,
         {{"", ""}}},
        {"title values are not taken from the text",
         Line("i", {"NAME"}) + "\r\n" + Line("T", {"whatever", "more"}) + kEnd,
         1,
         1,
         {}},
        {"only a header", Line("i", {"TIM1"}) + kEnd, 3, 1, {}},
        {"zero byte ends the text",
         Line("i", {"NAME"}) + "\r\n" + Line("D", {"a"}) + "\r\n" + std::string(1, '\0') +
             "garbage",
         1,
         1,
         {{"a"}}},
        {"unknown first value at the end", Line("i", {"NAME"}) + "\r\nzz\x1A", 1, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordSet set;
        ASSERT_TRUE(set.ReadText(c.text, nullptr));
        EXPECT_EQ(set.Kind(), c.kind);
        EXPECT_EQ(set.FieldCount(), c.fields);
        EXPECT_EQ(Values(set), c.values);
        EXPECT_EQ(set.Titles().size(), static_cast<std::size_t>(c.fields));
    }
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST(ReaderLines, TitlesComeFromTheFieldNames) {
    CRecordSet fromText, fromKind;
    ASSERT_TRUE(fromKind.SetKind(kKindPhoneBook));
    std::string text;
    ASSERT_TRUE(fromKind.WriteTextToString(text));
    const std::string renamed = text.substr(0, text.find("\"T\"")) + Line("T", {"a", "b"}) + kEnd;
    ASSERT_TRUE(fromText.ReadText(renamed, nullptr));
    EXPECT_EQ(fromText.Titles(), fromKind.Titles());
}

TEST(ReaderFailures, FormatErrorsAndBadLineBreaks) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<int> ids;
        int records; // records kept in the (to be discarded) set
    };
    const std::string head = Line("i", {"NAME"}) + "\r\n";
    const std::vector<Case> cases = {
        {"only the end mark", "\x1A", {kMsgReadFormatError}, 0},
        {"empty input", "", {kMsgReadFormatError}, 0},
        {"header cut off", "\"i\",\"NAME\"\x1A", {kMsgReadFormatError}, 0},
        {"CR in a header value", "\"i\",\"NA\rME\"\r\n\x1A", {kMsgReadFormatError}, 0},
        {"unknown line", head + Line("X", {"a"}) + kEnd, {kMsgReadFormatError}, 0},
        {"CR inside a quoted value",
         head + Line("D", {"ok"}) + "\r\n\"D\",\"a\rb\"" + kEnd,
         {kMsgBadLineBreak},
         1},
        {"value longer than the work buffer",
         head + Line("D", {std::string(40000, 'x')}) + kEnd,
         {kMsgReadFormatError},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter prompter;
        for (int id : c.ids)
            prompter.Expect(id);
        CRecordSet set;
        EXPECT_FALSE(set.ReadText(c.text, nullptr));
        EXPECT_EQ(prompter.Ids(), c.ids);
        EXPECT_EQ(set.RecordCount(), c.records);
    }
}

TEST(ReaderFailures, BadLineBreakNamesTheRecord) {
    ScriptedPrompter prompter;
    CRecordSet set;
    const std::string text = Line("i", {"NAME"}) + "\r\n" + Line("D", {"a"}) + "\r\n" +
                             Line("D", {"b"}) + "\r\n\"D\",\"c\rd\"" + kEnd;
    prompter.Expect(kMsgBadLineBreak);
    EXPECT_FALSE(set.ReadText(text, nullptr));
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Stop);
    EXPECT_NE(prompter.Messages()[0].text.find(" 3 "), std::string::npos);
}

TEST(ReaderFailures, RefusesASetThatIsNotEmpty) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    EXPECT_FALSE(set.ReadText(Line("i", {"NAME"}) + kEnd, nullptr));
    EXPECT_EQ(set.FieldCount(), 12);
}

TEST(ReaderCutOff, LastLineWithoutLineEndIsDroppedWithAWarning) {
    ScriptedPrompter prompter;
    CRecordSet set;
    const std::string text =
        Line("i", {"NAME"}) + "\r\n" + Line("D", {"a"}) + "\r\n" + Line("D", {"b"}) + "\x1A";
    prompter.Expect(kMsgRecordCutOff).Expect(kMsgRecordCutOff);
    ASSERT_TRUE(set.ReadText(text, nullptr));
    EXPECT_EQ(Values(set), (std::vector<std::vector<std::string>>{{"a"}}));
    ASSERT_EQ(prompter.Ids(), std::vector<int>{kMsgRecordCutOff});
    EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Warning);
    EXPECT_NE(prompter.Messages()[0].text.find('2'), std::string::npos);

    // The same when the buffer simply stops.
    prompter.Clear();
    CRecordSet stopped;
    ASSERT_TRUE(stopped.ReadText(Line("i", {"NAME"}) + "\r\n" + Line("D", {"a"}), nullptr));
    EXPECT_EQ(stopped.RecordCount(), 0);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgRecordCutOff});
}

// A line end outside quotes ends the text unless a quote follows. A line that lost its
// opening quote after one ending in an empty value stops the read there: the user hears of
// it, and the set says it holds only part of the text, as after a last line cut short.
TEST(ReaderStopsEarly, ALineWithoutItsQuoteIsReportedNotDroppedSilently) {
    const std::string head = Line("i", {"NAME", "TEL1"}) + "\r\n";
    const std::string open = Line("D", {"a", ""}) + "\r\n"; // ends outside quotes
    const struct {
        const char* name;
        std::string text;
        int records;
        std::vector<int> messages;
        bool stoppedEarly;
    } cases[] = {
        {"whole", head + open + Line("D", {"b", "1"}) + kEnd, 2, {}, false},
        {"quote lost", head + open + "D\",\"b\",\"1\"" + kEnd, 1, {kMsgLineWithoutQuote}, true},
        {"quote lost further on",
         head + open + open + "D,\"c\"" + kEnd,
         2,
         {kMsgLineWithoutQuote},
         true},
        {"stray text after the records", head + open + "x" + kEnd, 1, {kMsgLineWithoutQuote}, true},
        {"blank lines before the end mark", head + open + "\r\n \r\n\x1A", 1, {}, false},
        {"no end mark", head + open, 1, {}, false},
        {"last line cut short", head + open + Line("D", {"b"}), 1, {kMsgRecordCutOff}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter prompter;
        for (int id : c.messages)
            prompter.Expect(id);
        CRecordSet set;
        ASSERT_TRUE(set.ReadText(c.text, nullptr));
        EXPECT_EQ(set.RecordCount(), c.records);
        EXPECT_EQ(prompter.Ids(), c.messages);
        EXPECT_EQ(set.ReadStoppedEarly(), c.stoppedEarly);
        if (c.messages == std::vector<int>{kMsgLineWithoutQuote}) {
            // The message names the record that was not read.
            EXPECT_NE(prompter.Messages()[0].text.find(std::to_string(c.records + 1)),
                      std::string::npos);
            EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Warning);
        }
    }
}

// A read that lets go of the text behind it: each offset it gives up is a line start past the
// last one, and bytes it gave up are never read again (here they are overwritten at once).
TEST(ReaderRelease, BytesGivenUpAreNeverReadAgain) {
    const std::vector<std::string> book = Samples()[0].values;
    std::string text = Line("i", {"SCRT", "NAME", "NAPR", "TEL1", "ZIPC", "ADR1", "BRTH", "RMRK",
                                  "CHK1", "CHK2", "CHK3", "CHK4"}) +
                       "\r\n";
    const int records = 18000; // a few release steps
    for (int i = 0; i < records; ++i) {
        text += "\"D\"";
        for (std::size_t f = 0; f < book.size(); ++f) {
            const std::string v = f == 1 ? book[f] + std::to_string(i) : book[f];
            text += v.empty() ? "," : ",\"" + v + "\"";
        }
        text += "\r\n";
    }
    text += "\x1A";
    ASSERT_GT(text.size(), 2 * CRecordSet::kReadReleaseStep);

    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());
    CRecordSet plain;
    ASSERT_TRUE(plain.ReadText(text, &map));

    std::string scratch = text;
    std::vector<std::size_t> given;
    const CRecordSet::ReadRelease release = [&](std::size_t upTo) {
        ASSERT_LE(upTo, scratch.size());
        ASSERT_TRUE(given.empty() || upTo > given.back());
        EXPECT_EQ(text[upTo - 1], '\n');
        std::fill(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(upTo), '"');
        given.push_back(upTo);
    };
    CRecordSet released;
    ASSERT_TRUE(released.ReadText(scratch, &map, nullptr, &release));
    EXPECT_GE(given.size(), 2u);
    EXPECT_EQ(released.RecordCount(), records);
    EXPECT_EQ(Values(released), Values(plain));
}

class ReaderPrompts : public ::testing::Test {
protected:
    // Three records of an action list; PRTY refuses "09" and "x".
    const std::string text =
        Line("i", {"MARK", "PRTY", "MEM1"}) + "\r\n" + Line("D", {"01", "09", "first"}) + "\r\n" +
        Line("D", {"00", "x", "second"}) + "\r\n" + Line("D", {"01", "02", "third"}) + kEnd;
    ScriptedPrompter prompter;
    CRecordSet set;
    int errors = -1;
};

TEST_F(ReaderPrompts, AbortStopsTheReadAndDropsTheRecord) {
    prompter.Expect(kMsgInvalidInput).Expect(kMsgBadValue, R::Abort);
    EXPECT_FALSE(set.ReadText(text, nullptr, &errors));
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgInvalidInput, kMsgBadValue}));
    EXPECT_EQ(prompter.Messages()[1].buttons, PromptButtons::AbortRetryIgnore);
    EXPECT_EQ(prompter.Messages()[1].icon, PromptIcon::Warning);
    EXPECT_NE(prompter.Messages()[1].text.find("'09'"), std::string::npos);
    EXPECT_EQ(set.RecordCount(), 0);
    EXPECT_EQ(errors, 1);
}

TEST_F(ReaderPrompts, RetryAsksAgainAndIgnoreEmptiesTheField) {
    prompter.Expect(kMsgInvalidInput)
        .Expect(kMsgBadValue, R::Retry)
        .Expect(kMsgBadValue, R::Ignore);
    prompter.Expect(kMsgIgnoreAll, R::No);
    prompter.Expect(kMsgInvalidInput).Expect(kMsgBadValue, R::Ignore).Expect(kMsgIgnoreAll, R::No);
    ASSERT_TRUE(set.ReadText(text, nullptr, &errors));
    EXPECT_EQ(prompter.Ids(),
              (std::vector<int>{kMsgInvalidInput, kMsgBadValue, kMsgBadValue, kMsgIgnoreAll,
                                kMsgInvalidInput, kMsgBadValue, kMsgIgnoreAll}));
    EXPECT_EQ(prompter.Messages()[3].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompter.Messages()[3].icon, PromptIcon::Question);
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(Values(set), (std::vector<std::vector<std::string>>{
                               {"01", "", "first"}, {"00", "", "second"}, {"01", "02", "third"}}));
}

TEST_F(ReaderPrompts, IgnoreAllEmptiesTheRestSilently) {
    prompter.Expect(kMsgInvalidInput).Expect(kMsgBadValue, R::Ignore).Expect(kMsgIgnoreAll, R::Yes);
    ASSERT_TRUE(set.ReadText(text, nullptr, &errors));
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgInvalidInput, kMsgBadValue, kMsgIgnoreAll}));
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(set.RecordCount(), 3);
}

TEST_F(ReaderPrompts, PositionIsKnownWhileAsking) {
    std::vector<ReadPosition> seen;
    prompter.OnShow([&](const ScriptedPrompter::Shown& shown) {
        if (shown.id == kMsgBadValue)
            seen.push_back(set.CurrentReadPosition());
    });
    prompter.Expect(kMsgInvalidInput).Expect(kMsgBadValue, R::Ignore).Expect(kMsgIgnoreAll, R::No);
    prompter.Expect(kMsgInvalidInput).Expect(kMsgBadValue, R::Abort);
    EXPECT_FALSE(set.ReadText(text, nullptr, &errors));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].record, 1);
    EXPECT_EQ(seen[0].field, 2);
    EXPECT_EQ(seen[0].value, "09");
    EXPECT_EQ(seen[1].record, 2);
    EXPECT_EQ(seen[1].value, "x");
    EXPECT_EQ(set.RecordCount(), 1);
}

TEST(ReaderTooManyFields, IgnoreDropsTheRestOfTheLineAfterOneQuestion) {
    ScriptedPrompter prompter;
    // A quote followed by a comma inside a value splits it, giving surplus values.
    const std::string text = Line("i", {"NAME", "TEL1"}) + "\r\n" + "\"D\",\"a\",b\",\"c\",\"d\"" +
                             "\r\n" + Line("D", {"x", "y"}) + kEnd;
    prompter.Expect(kMsgTooManyFields, R::Retry).Expect(kMsgTooManyFields, R::Ignore);
    CRecordSet set;
    ASSERT_TRUE(set.ReadText(text, nullptr));
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgTooManyFields, kMsgTooManyFields}));
    EXPECT_EQ(prompter.Messages()[0].buttons, PromptButtons::AbortRetryIgnore);
    EXPECT_NE(prompter.Messages()[0].text.find('3'), std::string::npos); // field count + 1
    EXPECT_EQ(Values(set), (std::vector<std::vector<std::string>>{{"a", "b\""}, {"x", "y"}}));

    ScriptedPrompter aborting;
    aborting.Expect(kMsgTooManyFields, R::Abort);
    CRecordSet other;
    EXPECT_FALSE(other.ReadText(text, nullptr));
    EXPECT_EQ(other.RecordCount(), 0);
}

TEST(ReaderEmptySlots, ValuesForATagWithoutClassAreRejected) {
    ScriptedPrompter prompter;
    prompter.Expect(kMsgInvalidInput).Expect(kMsgBadValue, R::Ignore).Expect(kMsgIgnoreAll, R::Yes);
    const std::string text = Line("i", {"NAME", "SYNC"}) + "\r\n" + Line("D", {"a", ""}) + "\r\n" +
                             Line("D", {"b", "z"}) + kEnd;
    CRecordSet set;
    int errors = 0;
    ASSERT_TRUE(set.ReadText(text, nullptr, &errors));
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(set.RecordCount(), 2);
}

// Whatever the bytes and the answers, the reader stops, keeps only whole records and leaves
// a set that writes (or refuses with its message).
TEST(ReaderRandomInput, NeverCrashesAndKeepsRecordsWhole) {
    std::mt19937 rng(20011);
    const std::vector<std::string> pieces = {
        "\"i\"",    "\"D\"",    "\"T\"", "\"NAME\"", "\"PRTY\"", "\"SYNC\"", "\"TIM1\"",
        ",",        "\"",       "\r\n",  "\r",       "\n",       "\x1A",     std::string(1, '\0'),
        "\x82\xA0", "\x87\x40", "\x81",  "\xED\x40", "03",       "x",        "200105311230  "};
    const PromptResult answers[] = {R::Ok, R::Abort, R::Retry, R::Ignore, R::Yes, R::No};
    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());
    for (int round = 0; round < 3000; ++round) {
        std::string text = round % 2 ? "\"i\",\"NAME\",\"PRTY\"\r\n" : "";
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i)
            text += pieces[rng() % pieces.size()];
        // Every message the reader may show, answered from one random list in turn; once
        // that runs out, the quietest answer each box has.
        std::deque<PromptResult> script;
        for (int i = 0; i < 20; ++i)
            script.push_back(answers[rng() % std::size(answers)]);
        ScriptedPrompter prompter;
        const auto allow = [&](int id, PromptResult last) {
            prompter.Allow(id, [&script, last] {
                if (script.empty())
                    return last;
                const PromptResult r = script.front();
                script.pop_front();
                return r;
            });
        };
        for (int id : {kMsgBadLineBreak, kMsgInvalidInput, kMsgNoMemory, kMsgReadFormatError,
                       kMsgRecordCutOff, kMsgUnknownField, kMsgLineWithoutQuote})
            allow(id, R::Ok);
        allow(kMsgBadValue, R::Ignore);
        allow(kMsgTooManyFields, R::Ignore);
        allow(kMsgIgnoreAll, R::No);
        CRecordSet set;
        int errors = -1;
        set.ReadText(text.data(), text.size(), round % 3 ? &map : nullptr, &errors);
        EXPECT_GE(errors, 0);
        for (int r = 0; r < set.RecordCount(); ++r)
            ASSERT_EQ(set.RecordAt(r)->FieldCount(), set.FieldCount());
        std::string out;
        set.WriteTextToString(out);
    }
}

} // namespace
} // namespace tessera
