// vCard as other programs write it: hand-made files the way feature phones (2.1, Shift_JIS,
// quoted-printable), older phones (2.1 in UTF-8), phone address books (3.0 with groups,
// e-mail, photos, own X- properties) and servers (4.0 with SORT-AS and tel: URIs) write
// them, read field by field; what the records have no field for kept in the remark; and
// the export's promises to strict readers (UID, real dates) with an exact way back.

#include "filters/ContentLines.h"
#include "filters/VCardFormat.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"
#include "tests/filters/RandomRecords.h"

#include <QProcess>
#include <QTemporaryDir>

namespace tessera::test {
namespace {

using namespace filters;

std::string DataFile(const char* name) {
    return TestDataBytes(std::string("vcard/") + name);
}

bool HasNote(const std::string& part) {
    for (const std::string& line : RunNotes().Lines())
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

struct Expect {
    int record;
    const char* tag;
    std::string value; // exchange text in UTF-8; for RMRK a part it must contain
};

TEST(VCardImport, FilesOfOtherProgramsReadFieldByField) {
    struct FileCase {
        const char* file;
        int kind;
        int records;
        std::vector<Expect> expect;
        std::vector<std::string> notes;
    };
    const std::vector<FileCase> cases = {
        {"featurephone-sjis-qp-21.vcf",
         kKindBusinessCard,
         2,
         {{0, "NAME", "山田 太郎"},
          {0, "NAPR", "ﾔﾏﾀﾞ ﾀﾛｳ"}, // SOUND;X-IRMC-N
          {0, "TEL1", "09012345678"},
          {0, "ZIPC", "1130033"},
          {0, "ADR1", "東京都文京区本郷①－２"},
          {0, "RMRK",
           "MEM1:大学の同期。\x1F猫を二匹飼っている。最寄り駅は本郷三丁目。\x1F"}, // soft breaks
                                                                                   // joined
          {0, "RMRK", "TEL (HOME,VOICE): 0312345678"},
          {0, "RMRK", "EMAIL (INTERNET): taro@example.ne.jp"},
          {0, "RMRK", "X-GN: 友人"}, // undeclared Shift_JIS bytes
          {1, "NAME", "佐藤商店"},
          {1, "TEL1", "0612340000"},
          {1, "FAX1", "0612345678"},
          {1, "RMRK", ""}},
         {"Shift_JIS", "PHOTO"}},
        {"oldphone-utf8-qp-21.vcf",
         kKindPhoneBook,
         1,
         {{0, "NAME", "鈴木 一郎"},
          {0, "NAPR", "すずき いちろう"},
          {0, "TEL1", "090-1111-2222"},
          {0, "BRTH", "19800230      "}, // the device keeps the day a phone allowed
          {0, "RMRK", "MEM1:待ち合わせは10時～11時。改札前。\x1F二行目\x1E\x0C"}},
         {}},
        {"phoneos-30-groups.vcf",
         kKindBusinessCard,
         1,
         {{0, "NAME", "高橋 美咲"},
          {0, "NAPR", "たかはし みさき"},
          {0, "TEL1", "090-4417-2286"},
          {0, "FAX1", "03-5555-1235"},
          {0, "OFCE", "株式会社例"},
          {0, "SCTN", "営業部"},
          {0, "PSTN", "課長"},
          {0, "ZIPC", "100-0005"},
          {0, "ADR1", "東京都 千代田区 丸の内1-1-1 日本"},
          {0, "BRTH", "    0707      "}, // year 1604: none
          {0, "RMRK", "MEM1:いつもお世話になっています～\x1F"},
          {0, "RMRK", "EMAIL (INTERNET,PREF,Other): misaki@example.com"},
          {0, "RMRK", "TEL (WORK,VOICE): 03-5555-1234"},
          {0, "RMRK", "URL (PREF,HomePage): https://example.com/"},
          {0, "RMRK", "CATEGORIES: 仕事,東京"}},
         {"PHOTO"}},
        {"server-40-sortas-tel.vcf",
         kKindBusinessCard,
         2,
         {{0, "NAME", "渡辺 誠"},
          {0, "NAPR", "わたなべ まこと"},
          {0, "TEL1", "+81-90-1234-5678"},
          {0, "FAX1", "+81-3-5280-1165"},
          {0, "BRTH", "    0229      "},
          {0, "RMRK", "TEL (WORK): +81-3-5280-1160 ext. 102"},
          {0, "RMRK", "EMAIL (WORK): makoto@example.org"},
          {1, "NAPR", "こばやし"},
          {1, "TEL1", "0120-000-000"}},
         {"EMAIL (WORK)"}},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.file);
        ScriptedPrompter prompter;
        RunNotes().Clear();
        const std::string bytes = DataFile(c.file);
        ASSERT_FALSE(bytes.empty());
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(ImportVCard(bytes, set, failure)) << failure.message;
        EXPECT_EQ(set.Kind(), c.kind);
        ASSERT_EQ(set.RecordCount(), c.records);
        for (const Expect& e : c.expect) {
            const std::string got = Value(set, e.record, e.tag);
            if (std::string(e.tag) == "RMRK" && !e.value.empty())
                EXPECT_NE(got.find(e.value), std::string::npos) << got;
            else
                EXPECT_EQ(got, e.value) << e.record << " " << e.tag;
        }
        for (const std::string& n : c.notes)
            EXPECT_TRUE(HasNote(n)) << n;
        // What came in goes out again in the host's text form.
        std::string text;
        EXPECT_TRUE(set.WriteTextToString(text));
    }
    RunNotes().Clear();
}

TEST(VCardImport, APropertyWithoutAFieldIsKeptNotRefused) {
    struct Case {
        const char* name;
        std::string body;
        const char* tag;
        std::string value; // part of the value
    };
    const std::vector<Case> cases = {
        {"e-mail", "FN:A\r\nEMAIL:a@example.com\r\n", "RMRK", "EMAIL: a@example.com"},
        {"second phone", "FN:A\r\nTEL:1\r\nTEL;TYPE=CELL:2\r\n", "RMRK", "TEL (CELL): 2"},
        {"first phone", "FN:A\r\nTEL:1\r\nTEL;TYPE=CELL:2\r\n", "TEL1", "1"},
        {"third unit", "FN:A\r\nORG:X;Y;Z\r\n", "RMRK", "ORG: X Y Z"},
        {"a birthday that is no date", "FN:A\r\nBDAY:spring\r\n", "RMRK", "BDAY: spring"},
        {"note and more", "FN:A\r\nNOTE:n\r\nNICKNAME:k\r\n", "RMRK", "MEM1:n\x1FNICKNAME: k"},
        {"quoted-printable", "FN;ENCODING=QUOTED-PRINTABLE:=41=\r\n=42\r\n", "NAME", "AB"},
        {"a bare ENCODING", "FN;ENCODING:x\r\n", "NAME", "x"},
        {"a bare CHARSET", "FN;CHARSET:y\r\n", "NAME", "y"},
        {"Latin-1 through iconv", "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=A7=B0=E9\r\n",
         "NAME", "§°〓"},
        {"text TEL that looks like a URI", "FN:A\r\nTEL:tel:1\r\n", "TEL1", "tel:1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(
            ImportVCard("BEGIN:VCARD\r\nVERSION:3.0\r\n" + c.body + "END:VCARD\r\n", set, failure))
            << failure.message;
        ASSERT_EQ(set.RecordCount(), 1);
        EXPECT_NE(Value(set, 0, c.tag).find(c.value), std::string::npos) << Value(set, 0, c.tag);
    }
    // vCard 2.1 knows no backslash escapes but "\;" in a structured value.
    {
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(
            ImportVCard("BEGIN:VCARD\r\nVERSION:2.1\r\nN:a\\;b;c\r\nNOTE:C:\\new\r\nEND:VCARD\r\n",
                        set, failure))
            << failure.message;
        EXPECT_EQ(Value(set, 0, "NAME"), "a;b c");
        EXPECT_EQ(Value(set, 0, "RMRK"), "MEM1:C:\\new\x1E\x0C");
    }
    RunNotes().Clear();
    // What cannot be read at all still ends the run, saying where.
    for (const std::string bad :
         {"BEGIN:VCARD\r\nFN:A\r\n", "FN:A\r\n", "BEGIN:VCARD\r\nBEGIN:VCARD\r\n"}) {
        CRecordSet set;
        Failure failure;
        EXPECT_FALSE(ImportVCard(bad, set, failure));
        EXPECT_EQ(failure.code, kExitBadInput);
        EXPECT_FALSE(failure.message.empty());
    }
}

TEST(VCardImport, AParameterWithoutAValueDoesNotBringTheProgramDown) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("four.vcf"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN;ENCODING:x\r\nEND:VCARD\r\n");
    f.close();
    QProcess p;
    p.start(QStringLiteral(TSR_VCARD),
            {QStringLiteral("-I"), path, QStringLiteral("-V"), QStringLiteral("1")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_NE(p.readAllStandardOutput().indexOf("\"x\""), -1);
}

TEST(VCardExport, ImpossibleDatesGoOutRealAndComeBackExact) {
    struct Case {
        const char* brth; // exchange text
        const char* bday; // what strict readers get
    };
    const std::vector<Case> cases = {
        {"19680431      ", "BDAY:1968-04-30"}, {"20010230      ", "BDAY:2001-02-28"},
        {"20000230      ", "BDAY:2000-02-29"}, {"    0431      ", "BDAY:--0430"},
        {"    0229      ", "BDAY:--0229"},     {"19680412      ", "BDAY:1968-04-12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.brth);
        RunNotes().Clear();
        CRecordSet set;
        set.SetKind(kKindPhoneBook);
        auto record = set.NewRecord();
        ASSERT_TRUE(record->ParseField(set.FindTag(MakeTag("NAME")), "A", false));
        ASSERT_TRUE(record->ParseField(set.FindTag(MakeTag("BRTH")), c.brth, false));
        RecordList list;
        list.push_back(std::move(record));
        set.InsertRecords(-1, std::move(list));
        std::string out;
        Failure failure;
        ASSERT_TRUE(ExportVCard(set, out, failure));
        EXPECT_NE(out.find(std::string(c.bday) + "\r\n"), std::string::npos) << out;
        const bool moved = std::string(c.brth).substr(4, 4) == "0431" ||
                           std::string(c.brth).substr(4, 4) == "0230";
        EXPECT_EQ(out.find("X-TESSERA-BRTH") != std::string::npos, moved) << out;
        EXPECT_EQ(!RunNotes().Lines().empty(), moved);
        EXPECT_NE(out.find("\r\nUID:"), std::string::npos);
        CRecordSet back;
        ASSERT_TRUE(ImportVCard(out, back, failure)) << failure.message;
        EXPECT_EQ(Rows(back), Rows(set));
    }
    RunNotes().Clear();
}

TEST(VCardExport, RandomCardsComeBackIdentical) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        for (int kind : {kKindPhoneBook, kKindBusinessCard}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " kind " + std::to_string(kind));
            RandomRecords random(seed);
            auto set = random.Make(kind, 6);
            std::string out;
            Failure failure;
            ASSERT_TRUE(ExportVCard(*set, out, failure));
            std::vector<ContentLine> lines;
            ASSERT_TRUE(ParseContentLines(out, lines, failure)) << failure.message;
            CRecordSet back;
            ASSERT_TRUE(ImportVCard(out, back, failure)) << failure.message;
            EXPECT_EQ(Rows(back), Rows(*set));
        }
    }
    RunNotes().Clear();
}

} // namespace
} // namespace tessera::test
