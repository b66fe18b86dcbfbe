// The sample files read without a single question and write back to the same bytes.

#include "model/CodeMap.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace tessera {
namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Samples, EveryKindReadsCleanlyAndWritesBackTheSameBytes) {
    const struct {
        const char* file;
        int kind;
        int records;
    } samples[] = {
        {"phonebook.tsr", 1, 5},        {"cards.tsr", 2, 3},
        {"schedule.tsr", 3, 4},         {"anniversary.tsr", 4, 4},
        {"anniversary-week.tsr", 5, 4}, {"actions.tsr", 6, 4},
        {"report.tsr", 7, 3},           {"memo.tsr", 8, 1},
    };
    CCodeMap map;
    ASSERT_TRUE(map.LoadTables());
    for (const auto& s : samples) {
        SCOPED_TRACE(s.file);
        const std::string bytes = FileBytes(std::string(TESSERA_SAMPLES) + "/" + s.file);
        ASSERT_FALSE(bytes.empty());
        test::ScriptedPrompter prompter;
        CRecordSet set;
        int errors = -1;
        ASSERT_TRUE(set.ReadText(bytes, &map, &errors));
        EXPECT_TRUE(prompter.Messages().empty());
        EXPECT_EQ(errors, 0);
        EXPECT_EQ(set.Kind(), s.kind);
        EXPECT_EQ(set.RecordCount(), s.records);
        std::string again;
        ASSERT_TRUE(set.WriteTextToString(again));
        EXPECT_EQ(again, bytes);
    }
}

} // namespace
} // namespace tessera
