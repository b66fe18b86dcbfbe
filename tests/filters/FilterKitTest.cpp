// The filter kit's character handling: the text form read as the host reads it (circled
// numbers arrive as device codes), characters other programs type folded to their code
// page 932 twins or replaced and counted, other character sets, and the calendar.

#include "filters/FilterKit.h"

#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"

namespace tessera::test {
namespace {

using namespace filters;

TEST(FilterKit, CircledNumbersLeaveAsThemselvesAndReturnAsDeviceCodes) {
    CRecordSet read;
    Failure failure;
    ASSERT_TRUE(ReadTextForm(SampleBytes("schedule.tsr"), read, failure)) << failure.message;
    bool found = false;
    for (int r = 0; r < read.RecordCount(); ++r) {
        const std::string mem = ExchangeUtf8(*read.RecordAt(r), read.FindTag(MakeTag("MEM1")));
        if (mem.find("大阪出張") != std::string::npos) {
            EXPECT_NE(mem.find("①移動"), std::string::npos) << mem;
            EXPECT_EQ(mem.find("纊"), std::string::npos) << mem;
            found = true;
        }
    }
    EXPECT_TRUE(found);
    // Coming back, ① is the host's 0x8740, which its writer sends as 0xED40 like its own.
    CRecordSet set;
    set.SetKind(kKindSchedule);
    auto record = set.NewRecord();
    ASSERT_TRUE(ParseExchangeUtf8(*record, set.FindTag(MakeTag("MEM1")), "①⑳", 1, "MEM1", failure));
    RecordList list;
    list.push_back(std::move(record));
    set.InsertRecords(-1, std::move(list));
    std::string text;
    ASSERT_TRUE(set.WriteTextToString(text));
    EXPECT_NE(text.find("\"\xED\x40\xED\x53\""), std::string::npos);
    CRecordSet again;
    ASSERT_TRUE(ReadTextForm(text, again, failure));
    EXPECT_EQ(ExchangeUtf8(*again.RecordAt(0), again.FindTag(MakeTag("MEM1"))), "①⑳");
}

TEST(FilterKit, FromUtf8FoldsTwinsAndReplacesWhatHasNoCode) {
    struct Case {
        std::string utf8;
        std::string cp932;
        int replaced;
    };
    const std::vector<Case> cases = {
        {"〜", "\x81\x60", 0}, // what macOS and iOS type for ～
        {"−", "\x81\x7C", 0},
        {"‖", "\x81\x61", 0},
        {"¢£¬", "\x81\x91\x81\x92\x81\xCA", 0},
        {"—", "\x81\x5C", 0},
        {"¥100",
         "\x81\x8F"
         "100",
         0}, // the full-width yen, as the editors and the clipboard take it
        {"～①", "\x81\x60\x87\x40", 0},
        {"a😀b",
         "a\x81\xAC"
         "b",
         1},
        {"Ω€", "\x83\xB6\x81\xAC", 1}, // Greek omega has a code, the euro sign none
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        const int before = ReplacedCharacters();
        std::string out;
        Failure failure;
        ASSERT_TRUE(FromUtf8(c.utf8, out, failure)) << failure.message;
        EXPECT_EQ(out, c.cp932);
        EXPECT_EQ(ReplacedCharacters() - before, c.replaced);
    }
    std::string out;
    Failure failure;
    EXPECT_FALSE(FromUtf8("a\xFF", out, failure));
    EXPECT_EQ(failure.code, kExitBadInput);
}

TEST(FilterKit, OtherCharacterSetsAndRealDates) {
    struct Case {
        std::string bytes;
        const char* charset;
        bool ok;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {"\x8E\x52\x93\x63\x87\x40", "Shift_JIS", true, "山田①"},
        {"\x8E\x52\x93\x63", "windows-31j", true, "山田"},
        {"\xBB\xB3\xC5\xC4", "EUC-JP", true, "山田"},
        {"Ren\xE9", "iso-8859-1", true, "René"},
        {"\xE5\xB1\xB1", "utf-8", true, "山"},
        {"\xE5\xB1", "utf-8", false, ""},
        {"x", "X-NO-SUCH-SET", false, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(CharsetToUtf8(c.bytes, c.charset, out), c.ok) << c.charset;
        if (c.ok) {
            EXPECT_EQ(out, c.utf8) << c.charset;
        }
    }
    const std::vector<std::tuple<int, int, int>> days = {
        {2001, 2, 28}, {2000, 2, 29}, {1900 + 100, 2, 29}, {2100, 2, 28},
        {0, 2, 29},    {2001, 4, 30}, {2001, 12, 31}};
    for (const auto& [y, m, d] : days)
        EXPECT_EQ(DaysInMonth(y, m), d) << y << "/" << m;
}

} // namespace
} // namespace tessera::test
