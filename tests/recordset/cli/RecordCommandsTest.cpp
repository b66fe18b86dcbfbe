// tessera-cli info, dump, build and check, run as a separate process.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Result {
    int rc = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

class RecordCommands : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tessera-recset-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    Result Cli(const std::string& args) {
        const fs::path out = dir / "stdout";
        const fs::path err = dir / "stderr";
        const std::string cmd =
            std::string(TESSERA_CLI) + " " + args + " >" + out.string() + " 2>" + err.string();
        const int status = std::system(cmd.c_str());
        Result r;
        r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }

    std::string Sample(const char* name) { return std::string(TESSERA_SAMPLES) + "/" + name; }

    fs::path dir;
};

TEST_F(RecordCommands, DumpThenBuildGivesEverySampleBack) {
    for (const char* name : {"phonebook", "cards", "schedule", "anniversary", "anniversary-week",
                             "actions", "report", "memo"}) {
        SCOPED_TRACE(name);
        const std::string tsr = Sample((std::string(name) + ".tsr").c_str());
        Result dump = Cli("dump " + tsr);
        ASSERT_EQ(dump.rc, 0) << dump.err;
        // The kept source is exactly what dump prints.
        EXPECT_EQ(dump.out, Slurp(std::string(TESSERA_SAMPLES) + "/src/" + name + ".json"));
        Spit(dir / "in.json", dump.out);
        Result build =
            Cli("build " + (dir / "in.json").string() + " -o " + (dir / "out.tsr").string());
        ASSERT_EQ(build.rc, 0) << build.err;
        EXPECT_EQ(build.err, "");
        EXPECT_EQ(Slurp(dir / "out.tsr"), Slurp(tsr));
    }
}

TEST_F(RecordCommands, InfoPrintsFourLines) {
    Result r = Cli("info " + Sample("phonebook.tsr"));
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "kind: 1 (電話帳)\nfields: 12\nrecords: 5\nemptied: 0\n");

    Result missing = Cli("info " + (dir / "nothing.tsr").string());
    EXPECT_EQ(missing.rc, 2);
    Result usage = Cli("info");
    EXPECT_EQ(usage.rc, 1);
}

// A file read where it lies, over several of the steps at which the read lets go of what it
// has read, comes back whole through dump and build; a line that lost its opening quote
// stops the read with a warning that names the record, not silently.
TEST_F(RecordCommands, LargeFilesReadWholeAndAStoppedReadIsReported) {
    const std::string sample = Slurp(Sample("phonebook.tsr"));
    const std::size_t firstRecord = sample.find("\r\n\"D\"", sample.find("\r\n") + 2) + 2;
    const std::size_t end = sample.rfind("\r\n") + 2;
    ASSERT_LT(firstRecord, end);
    std::string big = sample.substr(0, firstRecord);
    int records = 0;
    while (big.size() < 3u << 20) {
        big += sample.substr(firstRecord, end - firstRecord);
        records += 5;
    }
    big += "\x1A";
    Spit(dir / "big.tsr", big);
    Result info = Cli("info " + (dir / "big.tsr").string());
    ASSERT_EQ(info.rc, 0) << info.err;
    EXPECT_NE(info.out.find("records: " + std::to_string(records) + "\n"), std::string::npos);
    Result dump = Cli("dump " + (dir / "big.tsr").string());
    ASSERT_EQ(dump.rc, 0) << dump.err;
    Spit(dir / "big.json", dump.out);
    Result build =
        Cli("build " + (dir / "big.json").string() + " -o " + (dir / "again.tsr").string());
    ASSERT_EQ(build.rc, 0) << build.err;
    EXPECT_EQ(Slurp(dir / "again.tsr"), big);

    // The second record's line without its quote, after a line that ends in an empty value.
    const std::string stopped =
        "\"i\",\"NAME\",\"TEL1\"\r\n\"D\",\"a\",\r\nD\",\"b\",\"1\"\r\n\x1A";
    Spit(dir / "stopped.tsr", stopped);
    Result cut = Cli("info " + (dir / "stopped.tsr").string());
    EXPECT_EQ(cut.rc, 0);
    EXPECT_NE(cut.out.find("records: 1\n"), std::string::npos);
    EXPECT_NE(cut.err.find("9600"), std::string::npos) << cut.err;
}

// Two bad values (PRTY "9", MARK "x") and a record cut off by the end mark.
const std::string kBroken = "\"i\",\"MARK\",\"PRTY\",\"MEM1\"\r\n\"T\"\r\n"
                            "\"D\",\"01\",\"9\",\"a\"\r\n"
                            "\"D\",\"x\",\"02\",\"b\"\r\n"
                            "\"D\",\"00\",\"01\",\"c\"\x1A";

TEST_F(RecordCommands, BadValuesAbortByDefaultOrAreEmptied) {
    Spit(dir / "broken.tsr", kBroken);
    const std::string file = (dir / "broken.tsr").string();

    Result abort = Cli("dump " + file);
    EXPECT_EQ(abort.rc, 2);
    EXPECT_EQ(abort.out, "");
    EXPECT_NE(abort.err.find("1074"), std::string::npos);
    EXPECT_NE(abort.err.find("'9'"), std::string::npos);

    Result empty = Cli("info --bad-values empty " + file);
    ASSERT_EQ(empty.rc, 0) << empty.err;
    EXPECT_EQ(empty.out, "kind: 0 (none)\nfields: 3\nrecords: 2\nemptied: 2\n");
    EXPECT_NE(empty.err.find("1079"), std::string::npos);
    EXPECT_NE(empty.err.find("2051"), std::string::npos); // the cut-off record is reported
    EXPECT_EQ(empty.err.find("1074"), std::string::npos);

    EXPECT_EQ(Cli("info --bad-values maybe " + file).rc, 1);
}

TEST_F(RecordCommands, CheckListsEveryProblem) {
    Spit(dir / "broken.tsr", kBroken);
    Result r = Cli("check " + (dir / "broken.tsr").string());
    EXPECT_EQ(r.rc, 2);
    std::vector<std::string> lines;
    std::istringstream s(r.out);
    for (std::string line; std::getline(s, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0].rfind("record 1, field 2, value \"9\": ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("record 2, field 1, value \"x\": ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("record 3, ", 0), 0u) << lines[2];

    Result clean = Cli("check " + Sample("schedule.tsr"));
    EXPECT_EQ(clean.rc, 0);
    EXPECT_EQ(clean.out, "");
}

TEST_F(RecordCommands, DumpEscapesControlBytesAndMarksEmptySlots) {
    // SYNC has no field class: its values are refused, so the read needs --bad-values empty.
    Spit(dir / "t.tsr", "\"i\",\"NAME\",\"SYNC\",\"RMRK\"\r\n"
                        "\"D\",\"a\x1F"
                        "b\\\",,\"MEM1:x\x1E\x0C\"\r\n\x1A");
    const std::string file = (dir / "t.tsr").string();
    EXPECT_EQ(Cli("dump " + file).rc, 2);

    Result r = Cli("dump --bad-values empty " + file);
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("[\"a\\u001fb\\\\\",null,\"MEM1:x\\u001e\\f\"]"), std::string::npos)
        << r.out;

    Result display = Cli("dump --display --bad-values empty " + file);
    EXPECT_NE(display.out.find("[\"a b\\\\\",null,\"x\"]"), std::string::npos) << display.out;
}

TEST_F(RecordCommands, BuildRefusesValuesItWouldChangeOrCouldNotWrite) {
    struct Case {
        const char* name;
        std::string json;
        const char* where; // expected in stderr
    };
    const std::string head = "{\"tags\":[\"SCRT\",\"PRTY\",\"MEM1\"],\"records\":[[\" \",";
    const std::vector<Case> cases = {
        {"refused by the field", head + "\"07\",\"a\"]]}", "record 1, field 2 (PRTY)"},
        {"end mark in a text", head + "\"01\",\"a\\u001ab\"]]}", "record 1, field 3 (MEM1)"},
        {"quote and comma", head + "\"01\",\"a\\\",b\"]]}", "record 1, field 3 (MEM1)"},
        {"too many values", head + "\"01\",\"a\",\"b\"]]}", "record 1 has 4 values"},
        {"not in code page 932", head + "\"01\",\"\xF0\x9F\x98\x80\"]]}",
         "record 1, field 3 (MEM1)"},
        {"not JSON", "{\"tags\":", "not JSON"},
        {"value for a tag without a field",
         "{\"tags\":[\"NAME\",\"SYNC\"],\"records\":[[\"a\",\"b\"]]}", "record 1, field 2 (SYNC)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Spit(dir / "in.json", c.json);
        fs::remove(dir / "out.tsr");
        Result r = Cli("build " + (dir / "in.json").string() + " -o " + (dir / "out.tsr").string());
        EXPECT_EQ(r.rc, 2);
        EXPECT_NE(r.err.find(c.where), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.tsr"));
    }
}

TEST_F(RecordCommands, BuildTurnsLoneLineBreaksIntoCrLfAndSaysSo) {
    Spit(dir / "in.json", "{\"tags\":[\"SCRT\",\"MEM1\"],\"records\":["
                          "[\" \",\"one\\rtwo\\nthree\\r\\nfour\"],[\" \",\"plain\"]]}");
    Result r = Cli("build " + (dir / "in.json").string() + " -o " + (dir / "out.tsr").string());
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.err.find("record 1, field 2 (MEM1): line breaks"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("record 2"), std::string::npos);
    const std::string written = Slurp(dir / "out.tsr");
    EXPECT_NE(written.find("\"one\x1Ftwo\x1Fthree\x1F"
                           "four\""),
              std::string::npos);
    // And the file reads back without a question.
    EXPECT_EQ(Cli("check " + (dir / "out.tsr").string()).rc, 0);
}

} // namespace
