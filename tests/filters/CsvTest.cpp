// CSV for spreadsheets: what the export writes (a BOM, dates and marks as people read
// them, nothing a spreadsheet would evaluate), what the import accepts (those forms, the
// device codes of older files, the numbers a spreadsheet saves instead, Shift_JIS files),
// and records of every kind coming back identical.

#include "filters/CsvFormat.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"
#include "tests/filters/RandomRecords.h"

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <regex>

namespace tessera::test {
namespace {

using namespace filters;

std::string DataFile(const char* name) {
    return TestDataBytes(std::string("csv/") + name);
}

// One row of cells in UTF-8 from an exported file, after the header.
std::vector<std::vector<std::string>> Cells(const std::string& csv) {
    std::vector<std::vector<std::string>> rows;
    std::size_t pos = csv.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    Failure failure;
    while (pos < csv.size()) {
        std::vector<std::string> cells;
        EXPECT_TRUE(ReadCsvRow(csv, pos, cells, failure)) << failure.message;
        rows.push_back(cells);
    }
    return rows;
}

TEST(CsvExport, WritesWhatSpreadsheetsShowAndDoNotEvaluate) {
    struct Case {
        const char* sample;
        int kind;
        int record;
        const char* tag;
        std::string cell;
    };
    const std::vector<Case> cases = {
        {"actions.tsr", kKindActionList, 0, "ETDY", "2001/05/28"},
        {"actions.tsr", kKindActionList, 0, "MARK", "済"},
        {"actions.tsr", kKindActionList, 0, "PRTY", "Ａ"},
        {"actions.tsr", kKindActionList, 1, "PRTY", "緊急"},
        {"actions.tsr", kKindActionList, 1, "MARK", ""},
        {"schedule.tsr", kKindSchedule, 0, "TIM1", "2001/06/04 10:00"},
        {"phonebook.tsr", kKindPhoneBook, 2, "BRTH", "07/07"},
        {"phonebook.tsr", kKindPhoneBook, 0, "CHK1", "○"},
        {"anniversary-week.tsr", kKindAnniversaryWeek, 0, "ANN2", "5月 第2 日曜日"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sample) + " " + c.tag);
        CRecordSet read;
        Failure failure;
        ASSERT_TRUE(ReadTextForm(SampleBytes(c.sample), read, failure)) << failure.message;
        auto set = OnKindTags(read, c.kind, failure);
        ASSERT_TRUE(set);
        std::string out;
        ASSERT_TRUE(ExportCsv(*set, out, failure));
        EXPECT_EQ(out.substr(0, 3), "\xEF\xBB\xBF");
        const auto rows = Cells(out);
        const int col = set->FindTag(MakeTag(c.tag));
        ASSERT_GT(rows.size(), static_cast<std::size_t>(c.record + 1));
        EXPECT_EQ(rows[static_cast<std::size_t>(c.record + 1)][static_cast<std::size_t>(col)],
                  c.cell);
    }
    // Formulas stay text: a leading ' that the import takes off again.
    const std::vector<std::pair<std::string, std::string>> protect = {
        {"=1+1", "'=1+1"}, {"+81-3", "'+81-3"}, {"-5", "'-5"},        {"@SUM", "'@SUM"},
        {"\tx", "'\tx"},   {"'=x", "''=x"},     {"'plain", "'plain"}, {"a=b", "a=b"},
    };
    for (const auto& [value, cell] : protect) {
        SCOPED_TRACE(value);
        CRecordSet set;
        set.SetKind(kKindSchedule);
        auto record = set.NewRecord();
        ASSERT_TRUE(record->ParseField(set.FindTag(MakeTag("MEM1")), value, false));
        RecordList list;
        list.push_back(std::move(record));
        set.InsertRecords(-1, std::move(list));
        std::string out;
        Failure failure;
        ASSERT_TRUE(ExportCsv(set, out, failure));
        EXPECT_EQ(Cells(out)[1][5], cell);
        CRecordSet back;
        ASSERT_TRUE(ImportCsv(out, back, failure)) << failure.message;
        EXPECT_EQ(Value(back, 0, "MEM1"), value);
    }
}

TEST(CsvImport, CellsInEveryFormTheyAreWritten) {
    struct Case {
        const char* header;
        const char* cell;
        const char* tag;
        std::string exchange;
    };
    const std::vector<Case> cases = {
        {"記入日,内容", "2001/05/28", "ETDY", "20010528      "},
        {"記入日,内容", "2001/5/8", "ETDY", "20010508      "}, // a spreadsheet's own form
        {"記入日,内容", "2001-05-28", "ETDY", "20010528      "},
        {"記入日,内容", "20010528", "ETDY", "20010528      "}, // device code, or its number
        {"開始時刻,内容", "2001/06/04 10:00", "TIM1", "200106041000  "},
        {"開始時刻,内容", "2001/6/4 9:05:00", "TIM1", "200106040905  "},
        {"開始時刻,内容", "200106041000", "TIM1", "200106041000  "},
        {"開始時刻,内容", "2001060410", "TIM1", "2001060410    "}, // an hour alone
        {"開始時刻,内容", "2001/06/04 10:", "TIM1", "2001060410    "},
        {"開始時刻,内容", "06/04 :30", "TIM1", "    0604  30  "},
        {"生年月日,個人名", "04/12", "BRTH", "    0412      "},
        {"生年月日,個人名", "    0412", "BRTH", "    0412      "},
        {"生年月日,個人名", "412", "BRTH", "    0412      "}, // "    0412" as a number
        {"チェック,内容", "済", "MARK", "01"},
        {"チェック,内容", "01", "MARK", "01"},
        {"チェック,内容", "1", "MARK", "01"},
        {"チェック,内容", "", "MARK", "00"}, // not done
        {"重要度,内容", "緊急", "PRTY", "00"},
        {"重要度,内容", "Ｃ", "PRTY", "03"},
        {"重要度,内容", "b", "PRTY", "02"},
        {"重要度,内容", "3", "PRTY", "03"},
        {"重要度,内容", "", "PRTY", "02"},    // Ｂ
        {"内容,チェック", "x", "PRTY", "02"}, // no column at all
        {"月週曜,内容", "3月 第2 土曜日", "ANN2", "    0326"},
        {"月週曜,内容", "    0326", "ANN2", "    0326"},
        {"月週曜,内容", "326", "ANN2", "    0326"},
        {"内容,記入日", "'=1+1", "MEM1", "=1+1"},
        {"内容,記入日", "'plain", "MEM1", "'plain"},
        {"内容,記入日", "〜−‖¢£¬—", "MEM1", "～－∥￠￡￢―"},
        {"内容,記入日", "😀x😀", "MEM1", "〓x〓"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.header) + " / " + c.cell);
        RunNotes().Clear();
        const std::string csv = std::string(c.header) + "\r\n\"" + c.cell + "\",\r\n";
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(ImportCsv(csv, set, failure)) << failure.message;
        ASSERT_EQ(set.RecordCount(), 1);
        EXPECT_EQ(Value(set, 0, c.tag), c.exchange);
        // Every default or replacement is told.
        const bool priorityGiven = std::string(c.header).find("重要度") != std::string::npos;
        const bool told =
            std::string(c.cell).find("😀") != std::string::npos ||
            (set.Kind() == kKindActionList &&
             (!priorityGiven || (std::string(c.tag) == "PRTY" && std::string(c.cell).empty())));
        EXPECT_EQ(!RunNotes().Lines().empty(), told)
            << (RunNotes().Lines().empty() ? "" : RunNotes().Lines()[0]);
    }
    RunNotes().Clear();
}

TEST(CsvImport, FilesFromSpreadsheets) {
    struct Case {
        const char* file;
        int kind;
        int records;
        std::vector<std::tuple<int, const char*, std::string>> expect;
    };
    const std::vector<Case> cases = {
        {"spreadsheet-sjis.csv",
         kKindPhoneBook,
         2,
         {{0, "NAME", "山田 太郎"},
          {0, "TEL1", "03-1234-5678"},
          {0, "BRTH", "19680412      "},
          {0, "RMRK", "MEM1:①会議室\x1F②受付\x1E\x0C"},
          {0, "CHK2", "○"},
          {1, "BRTH", "    1224      "},
          {1, "RMRK", "MEM1:～波ダッシュ\x1E\x0C"}}},
        {"actions-resaved-numbers.csv",
         kKindActionList,
         3,
         {{0, "ETDY", "20010528      "},
          {0, "MARK", "01"},
          {0, "PRTY", "01"},
          {1, "PRTY", "00"},
          {2, "ETDY", "20010601      "},
          {2, "MEM1", "=SUM(A1)"},
          {2, "PRTY", "02"}}},
        {"anniversary-week-resaved.csv",
         kKindAnniversaryWeek,
         3,
         {{0, "SCRT", "*"},
          {0, "ANN2", "    0326"},
          {1, "ANN2", "    0521"},
          {2, "ANN2", "    1144"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = DataFile(c.file);
        ASSERT_FALSE(bytes.empty());
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(ImportCsv(bytes, set, failure)) << failure.message;
        EXPECT_EQ(set.Kind(), c.kind);
        ASSERT_EQ(set.RecordCount(), c.records);
        for (const auto& [r, tag, v] : c.expect)
            EXPECT_EQ(Value(set, r, tag), v) << r << " " << tag;
    }
    RunNotes().Clear();
}

TEST(CsvImport, RefusalsNameTheColumnOrRow) {
    struct Case {
        std::string csv;
        std::string named;
    };
    const std::vector<Case> cases = {
        {"個人名,メール\nA,a@b\n", "メール"},
        {"個人名,個人名\nA,B\n", "個人名"},
        {"個人名,電話番号\nA,1,2\n", "row 1"},
        {"個人名,生年月日\nA,19701340\n", "1, BRTH"},
        {"記入日,内容\nA,x\nspring,y\n", "row 1, ETDY"},
        {"重要度,内容\nD,x\n", "row 1, PRTY"},
        {"シークレット\nyes\n", "SCRT"},
        {"", "empty"},
    };
    for (const Case& c : cases) {
        CRecordSet set;
        Failure failure;
        EXPECT_FALSE(ImportCsv(c.csv, set, failure)) << c.csv;
        EXPECT_EQ(failure.code, kExitBadInput) << failure.message;
        EXPECT_NE(failure.message.find(c.named), std::string::npos) << failure.message;
    }
}

// What a spreadsheet does to a file it opens and saves again: numbers lose their leading
// zeros and padding, dates their zeros, and the protecting ' is kept as text.
std::string Resave(const std::string& csv) {
    static const std::regex number(R"( *0*(\d+))"),
        date(R"((\d{4})/0?(\d{1,2})/0?(\d{1,2})( 0?(\d+):(\d\d))?)");
    std::string out;
    for (const auto& row : Cells(csv)) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            std::string cell = row[i];
            std::smatch m;
            if (std::regex_match(cell, m, number))
                cell = m[1];
            else if (std::regex_match(cell, m, date))
                cell = m[1].str() + "/" + m[2].str() + "/" + m[3].str() +
                       (m[4].matched ? " " + m[5].str() + ":" + m[6].str() : "");
            out += (i ? "," : "") + CsvQuote(cell);
        }
        out += "\n";
    }
    return out;
}

TEST(CsvRoundTrip, RandomRecordsOfEveryKindComeBackIdentical) {
    for (unsigned seed = 1; seed <= 25; ++seed) {
        for (int kind = kKindPhoneBook; kind <= kKindActionList; ++kind) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " kind " + std::to_string(kind));
            RandomRecords random(seed * 10 + static_cast<unsigned>(kind));
            auto set = random.Make(kind, 5);
            std::string out;
            Failure failure;
            ASSERT_TRUE(ExportCsv(*set, out, failure));
            CRecordSet back;
            ASSERT_TRUE(ImportCsv(out, back, failure)) << failure.message;
            EXPECT_EQ(Rows(back), Rows(*set));
            // Through a spreadsheet: it imports again, and every value that is no free text
            // (dates, marks, priorities, checks, flags) is unchanged. A record without any
            // value becomes a row of bare commas there, which is skipped.
            CRecordSet resaved;
            ASSERT_TRUE(ImportCsv(Resave(out), resaved, failure)) << failure.message << "\n"
                                                                  << Resave(out);
            const auto rows = Cells(out);
            int at = 0;
            for (int r = 0; r < set->RecordCount(); ++r) {
                const auto& cells = rows[static_cast<std::size_t>(r + 1)];
                if (std::all_of(cells.begin(), cells.end(),
                                [](const std::string& c) { return c.empty(); }))
                    continue;
                for (int i = 0; i < set->FieldCount(); ++i) {
                    const FieldClass cls = set->RecordAt(r)->FieldAt(i)->Class();
                    if (cls == FieldClass::Text || cls == FieldClass::SubText)
                        continue;
                    const char* tag = set->Tags()[static_cast<std::size_t>(i)].c_str();
                    EXPECT_EQ(Value(resaved, at, tag), Value(*set, r, tag)) << r << " " << tag;
                }
                ++at;
            }
            EXPECT_EQ(resaved.RecordCount(), at);
        }
    }
    RunNotes().Clear();
}

} // namespace
} // namespace tessera::test
