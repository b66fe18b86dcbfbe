// The writers: the exact bytes, selections and capacities, and the refusals that keep a
// written text readable.

#include "TestText.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "support/ScriptedPrompter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tessera {
namespace {

using test::J;
using test::ScriptedPrompter;

std::string HeaderOf(const CRecordSet& set) {
    std::string out = "\"i\"";
    for (const auto& tag : set.Tags())
        out += ",\"" + tag + "\"";
    out += "\r\n\"T\"";
    for (const auto& title : set.Titles())
        out += ",\"" + title + "\"";
    return out;
}

std::string Written(const CRecordSet& set) {
    std::string out;
    EXPECT_TRUE(set.WriteTextToString(out));
    return out;
}

TEST(Writer, PhoneBookRecordBytes) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    EXPECT_EQ(set.Tags(),
              (std::vector<std::string>{"SCRT", "NAME", "NAPR", "TEL1", "ZIPC", "ADR1", "BRTH",
                                        "RMRK", "CHK1", "CHK2", "CHK3", "CHK4"}));
    auto r = set.NewRecord();
    ASSERT_TRUE(r->ParseField(0, " ", false));
    ASSERT_TRUE(r->ParseField(1, J("山田"), false));
    set.InsertRecord(-1, std::move(r));

    const std::string expected =
        HeaderOf(set) + "\r\n\"D\",\" \",\"" + J("山田") + "\",,,,,,,,,,\r\n\x1A";
    EXPECT_EQ(Written(set), expected);

    // The three writers agree.
    std::ostringstream stream;
    ASSERT_TRUE(set.WriteText(stream));
    EXPECT_EQ(stream.str(), expected);
    std::vector<char> buffer(expected.size());
    ASSERT_EQ(set.WriteTextToBuffer(nullptr, buffer.data(), static_cast<int>(buffer.size())),
              static_cast<int>(expected.size()));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected);
}

TEST(Writer, EmptySetIsHeaderTitlesAndEndMark) {
    CRecordSet none;
    EXPECT_EQ(Written(none), "\"i\"\r\n\"T\"\r\n\x1A");
    CRecordSet memo;
    ASSERT_TRUE(memo.SetKind(kKindMemo));
    EXPECT_EQ(Written(memo), HeaderOf(memo) + "\r\n\x1A");
}

TEST(Writer, LineBreaksAndCircledNumbersGoOutAsDeviceBytes) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindSchedule));
    auto r = set.NewRecord();
    const int mem = set.FindTag(MakeTag("MEM1"));
    ASSERT_TRUE(r->SetFieldValue(MakeTag("MEM1"), FieldValue(std::string("a\r\n"
                                                                         "\x87\x40"))));
    set.InsertRecord(-1, std::move(r));
    const std::string text = Written(set);
    EXPECT_NE(text.find("\"a\x1F\xED\x40\""), std::string::npos);
    EXPECT_EQ(mem, 5);
}

TEST(Writer, SelectionWritesTheListedRecordsInListOrder) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindAnniversary));
    for (const char* m : {"zero", "one", "two"}) {
        auto r = set.NewRecord();
        ASSERT_TRUE(r->ParseField(2, m, false));
        set.InsertRecord(-1, std::move(r));
    }
    const std::vector<int32_t> selection = {2, 0};
    std::vector<char> buffer(4096);
    const int n = set.WriteTextToBuffer(&selection, buffer.data(), 4096);
    ASSERT_GT(n, 0);
    const std::string got(buffer.data(), static_cast<std::size_t>(n));
    EXPECT_EQ(got, HeaderOf(set) + "\r\n\"D\",\" \",,\"two\"\r\n\"D\",\" \",,\"zero\"\r\n\x1A");

    const std::vector<int32_t> empty;
    const int header = set.WriteTextToBuffer(&empty, buffer.data(), 4096);
    EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(header)),
              HeaderOf(set) + "\r\n\x1A");
}

TEST(Writer, BufferFailuresReturnMinusOneWithTheirMessage) {
    ScriptedPrompter prompter;
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindAnniversary));
    set.InsertRecord(-1, set.NewRecord());
    const int size = static_cast<int>(Written(set).size());

    std::vector<char> buffer(static_cast<std::size_t>(size));
    prompter.Expect(kMsgBufferTooSmall).Expect(kMsgWriteFormatError);
    EXPECT_EQ(set.WriteTextToBuffer(nullptr, buffer.data(), size - 1), -1);
    ASSERT_EQ(prompter.Ids(), std::vector<int>{kMsgBufferTooSmall});
    EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Stop);
    // The message names the capacity and the byte count.
    EXPECT_NE(prompter.Messages()[0].text.find(std::to_string(size - 1)), std::string::npos);
    EXPECT_NE(prompter.Messages()[0].text.find(std::to_string(size)), std::string::npos);

    prompter.Clear();
    const std::vector<int32_t> missing = {0, 1};
    EXPECT_EQ(set.WriteTextToBuffer(&missing, buffer.data(), size * 4), -1);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgWriteFormatError});
}

// Values the reader would give back differently, or not at all, stop the writer.
TEST(Writer, RefusesValuesThatWouldNotReadBack) {
    struct Case {
        const char* name;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"lone CR", "a\rb"},
        {"end mark", "a\x1A"
                     "b"},
        {"zero byte", std::string("a\0b", 3)},
        {"quote and comma", "say \",\" here"},
        {"quote and CR", "a\"\rb"},
        {"cut double-byte character", "a\x82"},
        {"longer than the reader's buffer", std::string(40000, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter prompter;
        CRecordSet set;
        ASSERT_TRUE(set.SetKind(kKindSchedule));
        auto r = set.NewRecord();
        ASSERT_TRUE(r->SetFieldValue(MakeTag("MEM1"), FieldValue(c.text)));
        set.InsertRecord(-1, std::move(r));
        prompter.Expect(kMsgWriteFormatError)
            .Expect(kMsgWriteFormatError)
            .Expect(kMsgWriteFormatError);

        std::string out = "stale";
        EXPECT_FALSE(set.WriteTextToString(out));
        EXPECT_TRUE(out.empty());
        std::vector<char> buffer(100000);
        EXPECT_EQ(set.WriteTextToBuffer(nullptr, buffer.data(), 100000), -1);
        std::ostringstream stream;
        EXPECT_FALSE(set.WriteText(stream));
        EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgWriteFormatError, kMsgWriteFormatError,
                                                    kMsgWriteFormatError}));
    }
}

// The writer looks at whole lines at once and walks values one by one only when something
// in a line needs it; what it writes or refuses must be what the rules for each single value
// say. Values mix the bytes that matter: quotes before commas or CRs, CRs, end marks, circled
// numbers (also as trail bytes), and runs of lead-range bytes at the end, short and long.
TEST(Writer, LinesAreWrittenAndRefusedAsEachValueWouldBe) {
    const std::vector<std::string> pieces = {"a",        "0123456789",
                                             " ",        "\"",
                                             "\",",      "\"\r",
                                             "\r",       "\n",
                                             "\x1A",     "\x1F",
                                             "\t",       ",",
                                             "\x87\x40", "\x87\x53",
                                             "\x87\x54", "\x88\x87",
                                             "\x82\xA0", "\x88\x9F",
                                             "\x9F\x9F", "\x82",
                                             "\xE0",     "\x81\x81\x81\x81\x81\x81\x81\x81\x81"};
    std::mt19937 rng(4242);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        ScriptedPrompter prompter;
        CRecordSet set;
        ASSERT_TRUE(set.SetKind(kKindPhoneBook));
        std::string expected = HeaderOf(set);
        bool readable = true;
        const int records = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < records; ++k) {
            auto r = set.NewRecord();
            // Only some values are risky, so that most lines still pass as a whole.
            for (const char* tag : {"NAME", "NAPR", "TEL1", "ADR1"}) {
                std::string v;
                const int count = static_cast<int>(rng() % 5);
                for (int i = 0; i < count; ++i)
                    v += rng() % 3 == 0 ? pieces[rng() % pieces.size()] : "\x93\x8C";
                ASSERT_TRUE(r->SetFieldValue(MakeTag(tag), FieldValue(v)));
            }
            expected += "\r\n\"D\"";
            for (int f = 0; f < r->FieldCount(); ++f) {
                std::string text;
                ASSERT_TRUE(r->FormatField(f, text, false));
                readable = readable && CheckValue(text) == ValueProblem::None;
                AppendValue(expected, text);
            }
            set.InsertRecord(-1, std::move(r));
        }
        expected += "\r\n\x1A";
        if (!readable)
            prompter.Expect(kMsgWriteFormatError);
        std::string out;
        EXPECT_EQ(set.WriteTextToString(out), readable);
        if (readable)
            EXPECT_EQ(out, expected);
        else
            EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgWriteFormatError});
    }
}

// The writer looks at check marks, flags and dates only as part of the line structure: their
// exchange texts are fixed bytes that always read back as they are.
TEST(Writer, MarksFlagsAndDatesAlwaysReadBack) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindSchedule)); // flags and times with hours and minutes
    auto schedule = set.NewRecord();
    std::vector<std::string> texts;
    for (int value : {0, 1}) {
        ASSERT_TRUE(schedule->SetFieldValue(MakeTag("SCRT"), FieldValue(int32_t{value})));
        texts.push_back(schedule->FieldAt(schedule->FindField(MakeTag("SCRT")))->Text(false));
    }
    for (const DateTimeValue& v :
         {DateTimeValue{DateTimeValue::kMonth | DateTimeValue::kDay, 0, 12, 24, 0, 0},
          DateTimeValue{0x1F, 2099, 1, 31, 23, 59}, DateTimeValue{0x07, 1901, 2, 1, 0, 0}}) {
        ASSERT_TRUE(schedule->SetFieldValue(MakeTag("TIM1"), FieldValue(v)));
        texts.push_back(schedule->FieldAt(schedule->FindField(MakeTag("TIM1")))->Text(false));
    }
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    auto phone = set.NewRecord();
    for (int value = 0; value <= 3; ++value) {
        ASSERT_TRUE(phone->SetFieldValue(MakeTag("CHK1"), FieldValue(int32_t{value})));
        texts.push_back(phone->FieldAt(phone->FindField(MakeTag("CHK1")))->Text(false));
    }
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(CheckValue(text), ValueProblem::None);
        std::string quoted;
        AppendQuoted(quoted, text);
        EXPECT_EQ(quoted, "\"" + text + "\""); // nothing to mend either
    }
}

// A large set goes to a sink in pieces; a value that cannot be written stops the writer
// before any byte of its line has left, and what left is the start of the good text. The bad
// line is put at many places, so that some end a piece.
TEST(Writer, NothingOfABadLineLeavesThroughTheSink) {
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    for (int k = 0; k < 8000; ++k) {
        auto r = set.NewRecord();
        ASSERT_TRUE(
            r->SetFieldValue(MakeTag("NAME"), FieldValue(J("山田 太郎") + std::to_string(k))));
        ASSERT_TRUE(r->SetFieldValue(MakeTag("ADR1"), FieldValue(std::string(80, 'x'))));
        set.InsertRecord(-1, std::move(r));
    }
    const std::string good = Written(set);
    ASSERT_GT(good.size(), 3u * 256 * 1024);
    std::vector<std::size_t> lineStarts;
    for (std::size_t at = good.find("\r\n\"D\""); at != std::string::npos;
         at = good.find("\r\n\"D\"", at + 1))
        lineStarts.push_back(at);
    ASSERT_EQ(lineStarts.size(), 8000u);

    for (std::size_t offset = 4096; offset < good.size(); offset += 4096) {
        SCOPED_TRACE(offset);
        // The record whose line holds `offset`.
        const auto line = std::upper_bound(lineStarts.begin(), lineStarts.end(), offset) - 1;
        const int bad = static_cast<int>(line - lineStarts.begin());
        CDataRecord* record = set.RecordAt(bad);
        ASSERT_TRUE(record->SetFieldValue(MakeTag("ADR1"), FieldValue(std::string("a\rb"))));

        ScriptedPrompter prompter;
        prompter.Expect(kMsgWriteFormatError);
        std::string collected;
        EXPECT_FALSE(set.WriteText([&](std::string_view bytes) {
            collected.append(bytes);
            return true;
        }));
        EXPECT_LE(collected.size(), *line);
        EXPECT_EQ(good.compare(0, collected.size(), collected), 0);
        EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgWriteFormatError});
        ASSERT_TRUE(record->SetFieldValue(MakeTag("ADR1"), FieldValue(std::string(80, 'x'))));
    }
}

TEST(Writer, SetWithASlotWithoutClassCannotBeWritten) {
    ScriptedPrompter prompter;
    CRecordSet set;
    ASSERT_TRUE(set.ReadText(test::Line("i", {"NAME", "SYNC"}) + "\r\n\x1A", nullptr));
    EXPECT_EQ(Written(set), HeaderOf(set) + "\r\n\x1A");
    set.InsertRecord(-1, set.NewRecord());
    prompter.Expect(kMsgWriteFormatError);
    std::string out;
    EXPECT_FALSE(set.WriteTextToString(out));
    EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgWriteFormatError});
}

TEST(Writer, SinkFailureIsAFileError) {
    ScriptedPrompter prompter;
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindPhoneBook));
    set.InsertRecord(-1, set.NewRecord());
    prompter.Expect(kMsgFileError);
    EXPECT_FALSE(set.WriteText([](std::string_view) { return false; }));
    EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgFileError});

    std::string collected;
    EXPECT_TRUE(set.WriteText([&](std::string_view b) {
        collected.append(b);
        return true;
    }));
    EXPECT_EQ(collected, Written(set));
}

} // namespace
} // namespace tessera
