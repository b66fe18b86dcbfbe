// tessera-cli find and print, run as a user would; pdftotext reads the PDF back.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>

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

class FindPrintCli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tessera-findcli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    Result Run(const std::string& command) {
        const fs::path out = dir / "stdout";
        const fs::path err = dir / "stderr";
        const int status =
            std::system((command + " >" + out.string() + " 2>" + err.string()).c_str());
        Result r;
        r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }
    Result Cli(const std::string& args) { return Run(std::string(TESSERA_CLI) + " " + args); }

    const std::string phonebook = std::string(TESSERA_SAMPLES) + "/phonebook.tsr";
    fs::path dir;
};

// The sample phone book: 1 山田 花子 (やまだ はなこ), 2 佐藤 健一 (さとう けんいち),
// 3 高橋 美咲, 4 田中 一郎, 5 伊藤 さくら.
TEST_F(FindPrintCli, FindPrintsTheNumbersOfTheMatchingRecordsAndExitsByResult) {
    struct {
        const char* args;
        int rc;
        const char* out;
    } cases[] = {
        {"'ヤマダ'", 0, "1\n"},       // the reading, in the other kana
        {"'ｻﾄｳ' 'ｹﾝ'", 0, "2\n"},     // half-width, two words
        {"'さとう' 'はなこ'", 1, ""}, // both words must be in one record
        {"'０３－'", 0, "1\n"},       // full-width digits and minus
        {"'nothing-like-it'", 1, ""},
    };
    for (const auto& c : cases) {
        const Result r = Cli("find " + phonebook + " " + c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
    }
}

TEST_F(FindPrintCli, FindJsonIsOneDocument) {
    const Result r = Cli("find --json " + phonebook + " 'やまだ'");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "{\"file\":\"" + phonebook + "\",\"query\":[\"やまだ\"],\"records\":[1]}\n");
    const Result none = Cli("find --json " + phonebook + " 'zzz'");
    EXPECT_EQ(none.rc, 1);
    EXPECT_NE(none.out.find("\"records\":[]"), std::string::npos);
}

TEST_F(FindPrintCli, FindRefusesAMissingQueryOrAnUnreadableFile) {
    EXPECT_EQ(Cli("find " + phonebook).rc, 1);
    EXPECT_EQ(Cli("find " + (dir / "missing.tsr").string() + " a").rc, 2);
}

TEST_F(FindPrintCli, PrintWritesAPdfWithEveryRecordAndTheFileName) {
    for (const char* orientation : {"", " --landscape"}) {
        const fs::path pdf = dir / "out.pdf";
        fs::remove(pdf);
        const Result r = Cli("print " + phonebook + " -o " + pdf.string() + orientation);
        ASSERT_EQ(r.rc, 0) << r.err;
        const Result text = Run("pdftotext -enc UTF-8 " + pdf.string() + " -");
        ASSERT_EQ(text.rc, 0) << text.err;
        for (const char* name : {"山田", "佐藤", "高橋", "田中", "伊藤", "phonebook.tsr", "1 / 1"})
            EXPECT_NE(text.out.find(name), std::string::npos) << name << orientation;
        const Result fonts = Run("pdffonts " + pdf.string());
        EXPECT_NE(fonts.out.find("yes"), std::string::npos) << "the font is embedded";
    }
}

TEST_F(FindPrintCli, PrintRefusesAMissingOutputAndLeavesNoFileOnABadInput) {
    EXPECT_EQ(Cli("print " + phonebook).rc, 1);
    const fs::path bad = dir / "bad.tsr";
    std::ofstream(bad) << "not a record set";
    const fs::path pdf = dir / "bad.pdf";
    EXPECT_EQ(Cli("print " + bad.string() + " -o " + pdf.string()).rc, 2);
    EXPECT_FALSE(fs::exists(pdf));
    // A folder that does not exist cannot take the file.
    EXPECT_EQ(Cli("print " + phonebook + " -o " + (dir / "no/such.pdf").string()).rc, 2);
}

} // namespace
