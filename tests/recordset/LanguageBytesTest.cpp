// The language changes what is shown, never what is stored or sent: the same records made
// under the Japanese texts and under the English pack give the same file and the same bytes
// for the device, and a file written in one language reads back alike in the other.

#include "gui/RecordFactory.h"
#include "model/Field.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "text/StringTable.h"

#include <gtest/gtest.h>

namespace tessera {
namespace {

const std::string kEnglishPack = TESSERA_SOURCE_DIR "/resources/lang/en.txt";

struct Bytes {
    std::string stored; // what a document file holds
    std::string sent;   // what a send of some records puts on the line
    std::string shown;  // the display texts of the first record, for the check below
};

Bytes Make(int kind) {
    Bytes b;
    const auto set = testdata::MakeRecordSet(kind, 9);
    EXPECT_TRUE(set->WriteTextToString(b.stored));
    const std::vector<int32_t> some{4, 0, 7};
    std::vector<char> buffer(1 << 16);
    const int n = set->WriteTextToBuffer(&some, buffer.data(), static_cast<int>(buffer.size()));
    EXPECT_GT(n, 0);
    b.sent.assign(buffer.data(), static_cast<std::size_t>(std::max(n, 0)));
    for (int r = 0; r < 4 && r < set->RecordCount(); ++r)
        for (int c = 0; c < set->FieldCount(); ++c)
            if (const CField* f = set->RecordAt(r)->FieldAt(c)) {
                std::string text;
                f->FormatText(text, true);
                b.shown += text + '\t';
            }
    return b;
}

class LanguageBytesTest : public ::testing::Test {
protected:
    void TearDown() override {
        RestoreBuiltInStrings();
        ReloadMarkStrings();
    }
    static void English() {
        ASSERT_GT(LoadResourcePack(kEnglishPack), 0);
        ReloadMarkStrings();
    }
};

TEST_F(LanguageBytesTest, SameRecordsGiveTheSameBytesInBothLanguages) {
    std::vector<Bytes> japanese;
    for (int kind = 1; kind <= 8; ++kind)
        japanese.push_back(Make(kind));
    English();
    bool someShownTextDiffers = false;
    for (int kind = 1; kind <= 8; ++kind) {
        SCOPED_TRACE(kind);
        const Bytes english = Make(kind);
        const Bytes& ja = japanese[static_cast<std::size_t>(kind - 1)];
        EXPECT_EQ(english.stored, ja.stored);
        EXPECT_EQ(english.sent, ja.sent);
        someShownTextDiffers = someShownTextDiffers || english.shown != ja.shown;
    }
    // The pack was in effect: marks, priorities or dates are shown in English.
    EXPECT_TRUE(someShownTextDiffers);
}

TEST_F(LanguageBytesTest, AFileReadsBackAlikeInTheOtherLanguage) {
    std::vector<std::string> files;
    for (int kind = 1; kind <= 8; ++kind)
        files.push_back(testdata::MakeTextForm(kind, 6));
    English();
    for (const std::string& file : files) {
        CRecordSet set;
        int errors = -1;
        ASSERT_TRUE(set.ReadText(file, nullptr, &errors));
        EXPECT_EQ(errors, 0);
        std::string again;
        ASSERT_TRUE(set.WriteTextToString(again));
        EXPECT_EQ(again, file);
    }
}

TEST_F(LanguageBytesTest, EnglishMarksAndDatesFitTheRoomOfTheirFields) {
    // A shown text longer than its field's display room would leave the cell empty.
    English();
    for (int v = 0; v <= 3; ++v) {
        CAsciiField f(MakeTag("PRTY"));
        ASSERT_TRUE(f.SetValue(int32_t{v}));
        char buf[5];
        EXPECT_TRUE(f.FormatText(buf, 5, true)) << "priority " << v;
    }
    CAsciiField done(MakeTag("MARK"));
    ASSERT_TRUE(done.SetValue(int32_t{1}));
    char buf[5];
    EXPECT_TRUE(done.FormatText(buf, 5, true));
    constexpr std::size_t kDayWeekRoom = 24; // what a month/week/day field may show
    std::string longest;
    for (int month = 1; month <= 12; ++month) {
        for (int week = 1; week <= 5; ++week) {
            for (int day = 0; day < 7; ++day) {
                CDayWeekField f(MakeTag("ANN2"));
                DayWeekValue v;
                v.flags = DayWeekValue::kAll;
                v.month = month;
                v.week = week;
                v.dayOfWeek = day;
                ASSERT_TRUE(f.SetValue(v));
                std::string text;
                EXPECT_TRUE(f.FormatText(text, true, kDayWeekRoom))
                    << month << "/" << week << "/" << day;
                if (text.size() > longest.size())
                    longest = text;
            }
        }
    }
    EXPECT_EQ(longest, "Jan 1st Wednesday"); // the English texts were shown
}

} // namespace
} // namespace tessera
