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

} // namespace
} // namespace tessera
