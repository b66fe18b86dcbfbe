// Damaged record-set files as they turn up on disk (tests/data/broken): each is refused, or
// read as far as it is whole, with the messages that say what is wrong.

#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tessera {
namespace {

using R = PromptResult;

TEST(BrokenFiles, EachIsRefusedOrReadAsFarAsItIsWhole) {
    struct Case {
        const char* file;
        std::vector<std::pair<int, PromptResult>> messages;
        bool read;
        int records;
    };
    const Case cases[] = {
        // Cut in the middle of the third record: the two whole ones are kept, with a warning.
        {"broken/truncated.tsr", {{kMsgRecordCutOff, R::Ok}}, true, 2},
        // A line break inside a tag of the header line.
        {"broken/bad-tag-line.tsr", {{kMsgReadFormatError, R::Ok}}, false, 0},
        // A name lost the second byte of its last character: the lead byte takes the closing
        // quote with it, the values after it slide one field on, and the first field that
        // refuses its slid value stops the read when the user aborts.
        {"broken/cut-double-byte.tsr",
         {{kMsgInvalidInput, R::Ok}, {kMsgBadValue, R::Abort}},
         false,
         0},
        // Another program's file under a record-set name.
        {"broken/foreign.tsr", {{kMsgReadFormatError, R::Ok}}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = test::TestDataBytes(c.file);
        ASSERT_FALSE(bytes.empty());
        test::ScriptedPrompter prompter;
        for (const auto& [id, answer] : c.messages)
            prompter.Expect(id, answer);
        CRecordSet set;
        EXPECT_EQ(set.ReadText(bytes, nullptr), c.read);
        EXPECT_EQ(set.RecordCount(), c.records);
        if (c.read) {
            EXPECT_EQ(set.Kind(), kKindPhoneBook);
        }
    }
}

// The cut double-byte character, answered with Ignore: every record is kept and only the
// refused fields are emptied; the record after the damage reads as it was written.
TEST(BrokenFiles, IgnoringTheCutCharacterKeepsTheOtherRecords) {
    const std::string bytes = test::TestDataBytes("broken/cut-double-byte.tsr");
    test::ScriptedPrompter prompter;
    prompter.Expect(kMsgInvalidInput).Expect(kMsgBadValue, R::Ignore).Expect(kMsgIgnoreAll, R::Yes);
    CRecordSet set;
    int errors = 0;
    ASSERT_TRUE(set.ReadText(bytes, nullptr, &errors));
    EXPECT_GE(errors, 1);
    ASSERT_EQ(set.RecordCount(), 5);
    CRecordSet whole;
    test::ScriptedPrompter quiet;
    ASSERT_TRUE(whole.ReadText(test::SampleBytes("phonebook"), nullptr));
    for (int r = 1; r < 5; ++r) {
        for (int f = 0; f < set.FieldCount(); ++f) {
            std::string got, want;
            set.RecordAt(r)->FormatField(f, got, false);
            whole.RecordAt(r)->FormatField(f, want, false);
            EXPECT_EQ(got, want) << "record " << r << " field " << f;
        }
    }
}

} // namespace
} // namespace tessera
