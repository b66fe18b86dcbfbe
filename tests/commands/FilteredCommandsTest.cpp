// The record commands on a filtered and sorted table: every command must reach the records
// shown in the selected rows (a wrong mapping deletes the wrong record), and the filter
// follows the set it was made on.

#include "CommandTestSupport.h"
#include "document/Clipboard.h"
#include "document/CommandIds.h"
#include "document/RecordTableModel.h"
#include "print/TablePrint.h"
#include "resources/StringIds.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

// Records 0, 2 and 4 hold "ｶﾜ" (found by "かわ"); the rest do not.
const std::vector<std::string> kNames = {"ｶﾜｲ", "ｻﾄｳ", "ｶﾜｼﾏ", "ｽｽﾞｷ", "ｶﾜﾉ", "ﾀﾅｶ"};

class FilteredCommandsTest : public DocViewTest {
protected:
    void SetUp() override {
        DocViewTest::SetUp();
        std::vector<std::string> cp;
        for (const std::string& n : kNames)
            cp.push_back(Cp932(n));
        LoadText(PhoneBookText(cp));
        view->OnHeaderClicked(1);
        view->OnHeaderClicked(1); // descending by name: ｶﾜﾉ, ｶﾜｼﾏ, ｶﾜｲ
        view->SetFilterText(QStringLiteral("かわ"));
    }
    void SelectRows(const std::vector<int>& rows) {
        view->clearSelection();
        for (int r : rows)
            view->selectionModel()->select(view->Model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view->selectionModel()->setCurrentIndex(view->Model()->index(rows.front(), 0),
                                                QItemSelectionModel::NoUpdate);
    }
    std::vector<std::string> Left(std::initializer_list<int> gone) {
        std::vector<std::string> out;
        for (int i = 0; i < static_cast<int>(kNames.size()); ++i)
            if (std::find(gone.begin(), gone.end(), i) == gone.end())
                out.push_back(kNames[static_cast<std::size_t>(i)]);
        return out;
    }
};

TEST_F(FilteredCommandsTest, RowsShowTheFoundRecordsInSortOrder) {
    ASSERT_EQ(view->ShownCount(), 3);
    EXPECT_EQ(view->TotalCount(), 6);
    EXPECT_EQ(view->Model()->RecordIndexAt(0), 4);
    EXPECT_EQ(view->Model()->RecordIndexAt(1), 2);
    EXPECT_EQ(view->Model()->RecordIndexAt(2), 0);
    EXPECT_EQ(view->CountPaneText(), QStringLiteral("3 / 6 レコード"));
}

// Each command on rows of the filtered, sorted table, and what it must leave behind.
TEST_F(FilteredCommandsTest, EachCommandActsOnTheRecordsOfTheSelectedRows) {
    struct Case {
        const char* what;
        int id;
        std::vector<int> rows;
        std::vector<std::string> after; // names in record order
    };
    const std::vector<Case> cases = {
        {"delete", ID_RECORD_DELETE, {0}, Left({4})},
        {"delete two", ID_RECORD_DELETE, {2, 1}, Left({0, 2})},
        {"cut", ID_EDIT_CUT, {1}, Left({2})},
        {"properties", ID_RECORD_PROPERTIES, {1}, {"ｶﾜｲ", "ｻﾄｳ", "Edited", "ｽｽﾞｷ", "ｶﾜﾉ", "ﾀﾅｶ"}},
        {"insert",
         ID_RECORD_INSERT,
         {2}, // before record 0, the focused row's
         {"Edited", "ｶﾜｲ", "ｻﾄｳ", "ｶﾜｼﾏ", "ｽｽﾞｷ", "ｶﾜﾉ", "ﾀﾅｶ"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        SelectRows(c.rows);
        if (c.id == ID_RECORD_DELETE)
            prompter.Expect(kMsgConfirmDelete, PromptResult::Ok);
        view->RunCommand(c.id);
        EXPECT_EQ(Names(*doc), c.after);
    }
}

TEST_F(FilteredCommandsTest, CopyTakesTheShownRecordsAndPasteGoesBeforeTheFocusedOne) {
    SelectRows({0, 2}); // records 4 and 0, in that order
    EXPECT_EQ(view->SelectedRecordIndices(), (std::vector<int>{4, 0}));
    view->RunCommand(ID_EDIT_COPY);
    SelectRows({1}); // record 2
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(Names(*doc),
              (std::vector<std::string>{"ｶﾜｲ", "ｻﾄｳ", "ｶﾜﾉ", "ｶﾜｲ", "ｶﾜｼﾏ", "ｽｽﾞｷ", "ｶﾜﾉ", "ﾀﾅｶ"}));
    // The pasted records hold the word too: the filter shows them.
    EXPECT_EQ(view->ShownCount(), 5);
}

TEST_F(FilteredCommandsTest, SelectAllTakesOnlyTheShownRowsAndSendTakesThem) {
    view->RunCommand(ID_EDIT_SELECT_ALL);
    // Send selected sends exactly these indices.
    EXPECT_EQ(view->SelectedRecordIndices(), (std::vector<int>{4, 2, 0}));
    EXPECT_EQ(view->CountPaneText(), QStringLiteral("3 / 3 選択"));
}

TEST_F(FilteredCommandsTest, SelectionStaysOnItsRecordsWhileTheFilterChanges) {
    SelectRows({1}); // record 2
    view->SetFilterText(QStringLiteral("ｶﾜｼ"));
    EXPECT_EQ(view->SelectedRecordIndices(), (std::vector<int>{2}));
    view->SetFilterText(QString());
    EXPECT_EQ(view->ShownCount(), 6);
    EXPECT_EQ(view->SelectedRecordIndices(), (std::vector<int>{2}));
    EXPECT_EQ(view->FocusedRecordIndex(), 2);
    // A record the filter hides leaves the selection.
    view->SetFilterText(QStringLiteral("さとう"));
    EXPECT_TRUE(view->SelectedRecordIndices().empty());
}

TEST_F(FilteredCommandsTest, ANewRecordSetClearsTheFilterAndAnEditKeepsIt) {
    SelectRows({0});
    view->RunCommand(ID_RECORD_PROPERTIES); // record 4 becomes "Edited"
    EXPECT_EQ(Names(*doc)[4], "Edited");
    EXPECT_EQ(view->FilterText(), QStringLiteral("かわ"));
    int changes = 0;
    QObject::connect(view.get(), &CTesseraView::FilterChanged, [&] { ++changes; });
    LoadText(PhoneBookText({"A", "B"}));
    EXPECT_TRUE(view->FilterText().isEmpty());
    EXPECT_FALSE(view->IsFiltered());
    EXPECT_EQ(view->ShownCount(), 2);
    EXPECT_EQ(changes, 1);
}

TEST_F(FilteredCommandsTest, ThePdfHoldsTheShownRecordsInTheirOrderAndNoHiddenOne) {
    QTemporaryDir temp;
    const QString pdf = temp.filePath(QStringLiteral("table.pdf"));
    const CPrintTable table = view->PrintTable();
    EXPECT_EQ(table.rows, (std::vector<int>{4, 2, 0}));
    ASSERT_TRUE(WriteTablePdf(pdf, table, false));
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const std::string out = text.readAllStandardOutput().toStdString();
    std::vector<std::size_t> at;
    for (int i : {4, 2, 0}) {
        at.push_back(out.find(kNames[static_cast<std::size_t>(i)]));
        EXPECT_NE(at.back(), std::string::npos) << kNames[static_cast<std::size_t>(i)];
    }
    EXPECT_LT(at[0], at[1]);
    EXPECT_LT(at[1], at[2]);
    for (int i : {1, 3, 5})
        EXPECT_EQ(out.find(kNames[static_cast<std::size_t>(i)]), std::string::npos)
            << kNames[static_cast<std::size_t>(i)];
    // A folder that does not exist: false, and no file.
    EXPECT_FALSE(WriteTablePdf(temp.filePath(QStringLiteral("no/table.pdf")), table, false));
}

TEST_F(FilteredCommandsTest, ACharacterNoRecordCanHoldFindsNothing) {
    view->SetFilterText(QStringLiteral("\U0001F600"));
    EXPECT_EQ(view->ShownCount(), 0);
    CommandState state;
    view->UpdateCommand(ID_EDIT_SELECT_ALL, state);
    EXPECT_FALSE(state.enabled);
}

} // namespace
} // namespace tessera::test

namespace tessera::test {
namespace {

class TableOrderTest : public DocViewTest {};

TEST_F(TableOrderTest, SortingIsCodePage932ByteOrderOnEveryLocale) {
    // By code point △ (U+25B3) comes before ○ (U+25CB); in code page 932 ○ is 0x819B and
    // △ 0x81A2. Half-width katakana (0xB1..) come after hiragana (0x82..).
    LoadText(PhoneBookText({Cp932("ｱ"), Cp932("△"), "A", Cp932("あ"), Cp932("○")}));
    view->OnHeaderClicked(1);
    std::vector<int> rows;
    for (int r = 0; r < view->Model()->rowCount(); ++r)
        rows.push_back(view->Model()->RecordIndexAt(r));
    EXPECT_EQ(rows, (std::vector<int>{2, 4, 1, 3, 0}));
}

TEST_F(TableOrderTest, CellsShowItemSeparatorsAndTabsAsMarksAndSpaces) {
    EXPECT_EQ(CRecordTableModel::CellText(std::string("a\x1F"
                                                      "b\tc")),
              QStringLiteral("a｜b c"));
}

} // namespace
} // namespace tessera::test

namespace tessera::test {
namespace {

class TabPasteTest : public DocViewTest {
protected:
    void SetUp() override {
        DocViewTest::SetUp();
        LoadText(PhoneBookText({"A", "B"}));
    }
    void PutText(const QString& text) { QGuiApplication::clipboard()->setText(text); }
};

TEST_F(TabPasteTest, SpreadsheetRowsBecomeRecordsWithOrWithoutTheTitleRow) {
    struct {
        const char* what;
        QString text;
        std::vector<std::string> names; // all names after the paste, in record order
    } cases[] = {
        {"plain rows",
         QStringLiteral(" \t山田\tやまだ\n \t佐藤\tさとう\n"),
         {"山田", "佐藤", "A", "B"}},
        {"title row",
         QStringLiteral("シークレット\t個人名\t個人名読み\r\n \t田中\tたなか\r\n"),
         {"田中", "A", "B"}},
        {"quoted cell with a line break",
         QStringLiteral(" \t\"伊藤\"\"\"\t\t\t\t\t\t\"一行目\n二行目\"\n"),
         {"伊藤\"", "A", "B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoadText(PhoneBookText({"A", "B"}));
        SelectRecords({0});
        PutText(c.text);
        view->RunCommand(ID_EDIT_PASTE);
        EXPECT_TRUE(prompter.Ids().empty());
        EXPECT_EQ(Names(*doc), c.names);
    }
    // The line break went into the remark, which keeps its memo form.
    EXPECT_EQ(Names(*doc, 7).front(), "MEM1:一行目\x1F二行目\x1E\x0C");
    doc->UndoStack().undo();
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"A", "B"})) << "one undo step";
}

TEST_F(TabPasteTest, ARefusedCellOrTooManyCellsPasteNothing) {
    prompter.Expect(kMsgClipboardKind);
    PutText(QStringLiteral(" \tX\t\t\t\t\t\t\t\t\t\n \tY\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tmore\n"));
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"A", "B"}));
    // The check marks take only their three marks: the cell is named in the message.
    prompter.Expect(ids::kMsgPasteTableBad);
    PutText(QStringLiteral(" \tX\t\t\t\t\t\t\t\tmaybe\n"));
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"A", "B"}));
    ASSERT_FALSE(prompter.Messages().empty());
    EXPECT_NE(prompter.Messages().back().Utf8().find("maybe"), std::string::npos);
    EXPECT_NE(prompter.Messages().back().Utf8().find("年賀状"), std::string::npos);
}

// A schedule (its memo holds at most 1024 bytes) with one record whose memo is `memo`.
std::string ScheduleText(const std::string& memo) {
    std::string text = SampleText("schedule");
    const std::size_t end = text.find("\r\n", text.find("\r\n") + 2);
    return text.substr(0, end + 2) + "\"D\",\" \",,,,\" \",\"" + memo + "\"\r\n\x1A";
}

TEST_F(TabPasteTest, ATooLongValueKeepsWhatFitsAndSaysHowMuchWasCut) {
    const std::string a1023(1023, 'a');
    struct {
        const char* what;
        bool table;          // spreadsheet cells, else our own text form
        std::string memo;    // code page 932
        std::string kept;    // UTF-8
        const char* cutText; // in the message; null when nothing is cut
    } cases[] = {
        {"ASCII, cell", true, std::string(1030, 'a'), std::string(1024, 'a'), "合計 6 バイト"},
        {"cut inside a double-byte character", true, a1023 + Cp932("あい"), a1023, "合計 4 バイト"},
        {"fits", true, std::string(1024, 'a'), std::string(1024, 'a'), nullptr},
        {"ASCII, text form", false, std::string(1100, 'b'), std::string(1024, 'b'),
         "合計 76 バイト"},
        {"double-byte, text form", false, a1023 + Cp932("漢"), a1023, "合計 2 バイト"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoadText(ScheduleText("x"));
        prompter.Clear();
        if (c.cutText != nullptr)
            prompter.Expect(ids::kMsgPasteCut);
        SelectRecords({0});
        if (c.table) {
            const std::string cells = " \t\t\t\t \t" + c.memo + "\n";
            PutText(QString::fromStdString(Utf8(cells)));
        } else {
            ASSERT_TRUE(PutRecordText(ScheduleText(c.memo)));
        }
        view->RunCommand(ID_EDIT_PASTE);
        const std::vector<std::string> memos = Names(*doc, 5);
        ASSERT_EQ(memos.size(), 2u);
        EXPECT_EQ(memos.front(), c.kept);
        if (c.cutText == nullptr) {
            EXPECT_TRUE(prompter.Ids().empty());
        } else {
            ASSERT_EQ(prompter.Ids(), std::vector<int>{ids::kMsgPasteCut});
            const std::string shown = prompter.Messages().back().Utf8();
            EXPECT_NE(shown.find("1 個"), std::string::npos) << shown;
            EXPECT_NE(shown.find(c.cutText), std::string::npos) << shown;
        }
    }
}

} // namespace
} // namespace tessera::test
