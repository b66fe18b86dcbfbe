// The reader: round trips through the writer for every kind, the line rules, and every prompt
// with the user's answers.

#include "TestText.h"
#include "model/CodeMap.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <string>
#include <thread>
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

// A phone book text of `records` lines, each line's name numbered; `line` may put another
// line (or bytes) in place of record i.
std::string PhoneBookText(int records,
                          const std::function<std::string(int, const std::string&)>& line) {
    const std::vector<std::string> book = Samples()[0].values;
    std::string text = Line("i", {"SCRT", "NAME", "NAPR", "TEL1", "ZIPC", "ADR1", "BRTH", "RMRK",
                                  "CHK1", "CHK2", "CHK3", "CHK4"}) +
                       "\r\n";
    for (int i = 0; i < records; ++i) {
        std::string d = "\"D\"";
        for (std::size_t f = 0; f < book.size(); ++f) {
            const std::string v = f == 1 ? book[f] + std::to_string(i) : book[f];
            d += v.empty() ? "," : ",\"" + v + "\"";
        }
        text += line ? line(i, d) : d + "\r\n";
    }
    return text + "\x1A";
}

// Restores the default sharing of a read among threads when it goes.
struct SharingScope {
    explicit SharingScope(CRecordSet::ReadSharing sharing) { CRecordSet::SetReadSharing(sharing); }
    ~SharingScope() { CRecordSet::SetReadSharing({}); }
    SharingScope(const SharingScope&) = delete;
    SharingScope& operator=(const SharingScope&) = delete;
};

// A read that lets go of the text behind it: each stretch it gives up ends at a line start,
// no two overlap, and bytes given up are never read again (here they are overwritten at
// once), also when several threads read and a later part holds a question, so that the
// calling thread reads on inside a part a helper has begun.
TEST(ReaderRelease, BytesGivenUpAreNeverReadAgain) {
    const int records = 18000; // a few release steps in each part
    const std::string text = PhoneBookText(records, [](int i, const std::string& d) {
        return i == 15000 ? d.substr(0, d.size() - 1) + "x\"\r\n" : d + "\r\n"; // CHK4 "x"
    });
    ASSERT_GT(text.size(), 8 * CRecordSet::kReadReleaseStep);
    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());

    for (const int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        const SharingScope sharing({64 << 10, threads});
        ScriptedPrompter prompter;
        prompter.Allow(kMsgInvalidInput).Allow(kMsgBadValue, R::Ignore).Allow(kMsgIgnoreAll, R::No);
        CRecordSet plain;
        ASSERT_TRUE(plain.ReadText(text, &map));

        std::string scratch = text;
        std::mutex lock;
        std::vector<std::pair<std::size_t, std::size_t>> given;
        bool fromHelper = false;
        const auto caller = std::this_thread::get_id();
        const CRecordSet::ReadRelease release = [&](std::size_t from, std::size_t to) {
            const std::lock_guard<std::mutex> hold(lock);
            ASSERT_LT(from, to);
            ASSERT_LE(to, scratch.size());
            EXPECT_EQ(text[to - 1], '\n');
            for (const auto& [a, b] : given)
                EXPECT_TRUE(to <= a || b <= from) << from << "-" << to << " and " << a << "-" << b;
            fromHelper = fromHelper || std::this_thread::get_id() != caller;
            std::fill(scratch.begin() + static_cast<std::ptrdiff_t>(from),
                      scratch.begin() + static_cast<std::ptrdiff_t>(to), '"');
            given.emplace_back(from, to);
        };
        CRecordSet released;
        int errors = 0;
        ASSERT_TRUE(released.ReadText(scratch, &map, &errors, &release));
        EXPECT_GE(given.size(), 2u);
        EXPECT_EQ(fromHelper, threads > 1);
        EXPECT_EQ(errors, 1);
        EXPECT_EQ(released.RecordCount(), records);
        EXPECT_EQ(Values(released), Values(plain));
    }
}

// However a text is shared out among threads, the read gives what one thread alone gives:
// the same records, the same questions in the same order with the same answers taking
// effect, the same position, count of emptied fields and end. Each case puts its line in
// place of the given records of a 3000-line phone book read in up to four parts.
TEST(ReaderSharing, AnySharingReadsAsOneThreadDoes) {
    using Put = std::function<std::string(const std::string& d)>;
    const auto replace = [](std::string from, std::string to) -> Put {
        return [from, to](const std::string& d) {
            std::string out = d;
            out.replace(out.find(from), from.size(), to);
            return out + "\r\n";
        };
    };
    const Put badMark = replace("\"" + J("×") + "\"", "\"z\"");
    const Put badBreak = replace(J("山田"), J("山") + "\r\n" + J("田"));
    const Put surplus = [](const std::string& d) { return d + ",\"9\"\r\n"; };
    const Put quoteLost = [](const std::string& d) { return d.substr(1) + "\r\n"; };
    const Put endMark = [](const std::string& d) { return d + "\r\n\x1A"; };
    const Put title = [](const std::string& d) {
        return Line("T", {"a", "b"}) + "\r\n" + d + "\r\n";
    };
    const Put circled = replace(J("山田"), "\xED\x40\xED\x53" + J("山田"));
    const struct Case {
        const char* name;
        std::vector<std::pair<int, Put>> lines;
        std::vector<PromptResult> badValueAnswers; // then Ignore
        PromptResult ignoreAll;
        bool cutLast = false; // the text stops inside its last line
    } cases[] = {
        {"clean", {}, {}, R::No},
        {"bad value late", {{2400, badMark}}, {}, R::No},
        {"ignore all early, bad values late",
         {{10, badMark}, {1700, badMark}, {2900, badMark}},
         {},
         R::Yes},
        {"ignore each", {{900, badMark}, {1800, badMark}}, {R::Retry}, R::No},
        {"abort late", {{2200, badMark}}, {R::Abort}, R::No},
        {"bad break", {{1600, badBreak}}, {}, R::No},
        {"surplus values", {{2700, surplus}}, {}, R::No},
        {"quote lost", {{1300, quoteLost}}, {}, R::No},
        {"end mark early", {{1100, endMark}}, {}, R::No},
        {"title line", {{2000, title}}, {}, R::No},
        {"mapped characters", {{5, circled}, {2999, circled}}, {}, R::No},
        {"cut off", {}, {}, R::No, true},
    };
    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());
    struct Outcome {
        bool ok;
        int errors;
        std::vector<std::vector<std::string>> values;
        std::vector<std::pair<int, std::string>> messages;
        int record, field;
        std::string value;
        bool stoppedEarly;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = PhoneBookText(3000, [&](int i, const std::string& d) {
            for (const auto& [at, put] : c.lines)
                if (at == i)
                    return put(d);
            return d + "\r\n";
        });
        if (c.cutLast)
            text.resize(text.size() - 9);
        const auto read = [&](int threads) {
            const SharingScope sharing({16 << 10, threads});
            ScriptedPrompter prompter;
            std::size_t asked = 0;
            prompter.Allow(kMsgBadValue, [&] {
                return asked < c.badValueAnswers.size() ? c.badValueAnswers[asked++] : R::Ignore;
            });
            prompter.Allow(kMsgIgnoreAll, c.ignoreAll);
            for (int id : {kMsgInvalidInput, kMsgBadLineBreak, kMsgReadFormatError,
                           kMsgRecordCutOff, kMsgLineWithoutQuote})
                prompter.Allow(id);
            prompter.Allow(kMsgTooManyFields, R::Ignore);
            CRecordSet set;
            Outcome o;
            o.errors = -1;
            o.ok = set.ReadText(text, &map, &o.errors);
            o.values = Values(set);
            for (const auto& m : prompter.Messages())
                o.messages.emplace_back(m.id, m.text);
            o.record = set.CurrentReadPosition().record;
            o.field = set.CurrentReadPosition().field;
            o.value = set.CurrentReadPosition().value;
            o.stoppedEarly = set.ReadStoppedEarly();
            return o;
        };
        const Outcome one = read(1);
        const Outcome four = read(4);
        EXPECT_EQ(four.ok, one.ok);
        EXPECT_EQ(four.errors, one.errors);
        EXPECT_EQ(four.values.size(), one.values.size());
        EXPECT_TRUE(four.values == one.values);
        EXPECT_EQ(four.messages, one.messages);
        EXPECT_EQ(four.record, one.record);
        EXPECT_EQ(four.field, one.field);
        EXPECT_EQ(four.value, one.value);
        EXPECT_EQ(four.stoppedEarly, one.stoppedEarly);
    }
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
