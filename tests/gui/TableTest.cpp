// The record table: the model under Qt's model tester, the field-width limit, the three-state
// header sort on exchange texts, single-row updates in a sorted table, column widths per tag
// and the enable rules of the record commands.

#include "GuiTestSupport.h"
#include "RecordFactory.h"
#include "base/Cp932.h"
#include "document/CommandIds.h"
#include "document/RecordCommands.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

using testdata::MakeRecordSet;
using testdata::Sjis;

class TableTest : public ::testing::Test {
protected:
    // A document of `kind` with `count` generated records and one view on it.
    CTesseraView& Open(int kind, int count) {
        doc = std::make_unique<CTesseraDoc>(host);
        doc->SetRecordSet(MakeRecordSet(kind, count));
        view = std::make_unique<CTesseraView>(*doc);
        view->resize(800, 400);
        return *view;
    }
    // The exchange text of `column` in each row, top to bottom.
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> out;
        const CRecordTableModel* m = view->Model();
        for (int row = 0; row < m->rowCount(); ++row)
            out.push_back(
                doc->RecordSet()->RecordAt(m->RecordIndexAt(row))->FieldAt(column)->Text(false));
        return out;
    }
    std::vector<int> RecordOrder() const {
        std::vector<int> out;
        for (int row = 0; row < view->Model()->rowCount(); ++row)
            out.push_back(view->Model()->RecordIndexAt(row));
        return out;
    }
    void TearDown() override {
        view.reset();
        doc.reset();
    }

    FakeDocHost host;
    ScriptedPrompter prompter;
    std::unique_ptr<CTesseraDoc> doc;
    std::unique_ptr<CTesseraView> view;
};

TEST_F(TableTest, ModelPassesTheModelTesterThroughRebuildsAndSorts) {
    CTesseraView& v = Open(kKindBusinessCard, 30);
    QAbstractItemModelTester tester(v.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    v.selectRow(4);
    v.OnHeaderClicked(1);
    v.OnHeaderClicked(1);
    doc->RecordSet()->RemoveRecord(0);
    doc->UpdateAllViews(nullptr, kHintRebuild);
    v.OnHeaderClicked(1);
    doc->SetRecordSet(nullptr);
    EXPECT_EQ(v.Model()->rowCount(), 0);
    EXPECT_EQ(v.Model()->columnCount(), 0);
}

TEST_F(TableTest, ColumnsAreTitledFieldsAndCellsAreDisplayTexts) {
    CTesseraView& v = Open(kKindPhoneBook, 12);
    const CRecordTableModel* m = v.Model();
    ASSERT_EQ(m->columnCount(), 12);
    ASSERT_EQ(m->rowCount(), 12);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("シークレット"));
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("個人名"));
    EXPECT_EQ(m->headerData(11, Qt::Horizontal).toString(), QStringLiteral("お歳暮"));
    EXPECT_EQ(m->data(m->index(0, 1)).toString(), QStringLiteral("山田 太郎"));
    // Birthdays show as the display text, not the exchange text.
    const std::string display = doc->RecordSet()->RecordAt(3)->FieldAt(6)->Text(true);
    ASSERT_FALSE(display.empty());
    EXPECT_EQ(m->data(m->index(3, 6)).toString(), Cp932ToQString(display));
    EXPECT_EQ(m->data(m->index(5, 0), CRecordTableModel::kRecordIndexRole).toInt(), 5);
    // A device-only code (0xEBA4, left unconverted) shows as a visible placeholder.
    ASSERT_TRUE(
        doc->RecordSet()->RecordAt(2)->SetFieldValue(MakeTag("NAME"), Sjis("鈴木") + "\xEB\xA4"));
    doc->UpdateAllViews(nullptr, kHintRebuild);
    EXPECT_EQ(m->data(m->index(2, 1)).toString(), QStringLiteral("鈴木〓"));

    // A document without fields shows no columns.
    doc->SetRecordSet(std::make_unique<CRecordSet>());
    EXPECT_EQ(m->columnCount(), 0);
    EXPECT_EQ(m->rowCount(), 0);
}

TEST_F(TableTest, WidthLimitCutsWholeCharactersAndMarksTheCut) {
    const std::string a64(64, 'a');
    const std::string a63(63, 'a');
    const std::string kanji = Sjis("漢"); // two bytes
    struct Case {
        std::string text;
        bool limit;
        int max;
        std::string shown;
    };
    const Case cases[] = {
        {a63, true, 64, a63},
        {a64, true, 64, a64 + "..."},
        {a64 + "bbb", true, 64, a64 + "..."},
        {a64 + "bbb", false, 64, a64 + "bbb"},
        // The 64th byte would be the lead byte of a character: the character goes whole.
        {a63 + kanji, true, 64, a63 + "..."},
        {std::string(62, 'a') + kanji + "z", true, 64, std::string(62, 'a') + kanji + "..."},
        {kanji, true, 1, "..."},
        {"", true, 1, ""},
        {"x", true, 1, "x..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        EXPECT_EQ(CRecordTableModel::LimitText(c.text, c.limit, c.max), c.shown);
    }
}

TEST_F(TableTest, LongTextsAreShownAndCutOnlyByTheLimit) {
    CTesseraView& v = Open(kKindPhoneBook, 2);
    // 1510 bytes: longer than the row buffer of a classic list control.
    const std::string longText = std::string(1500, 'x') + Sjis("あいうえお");
    ASSERT_TRUE(doc->RecordSet()->RecordAt(1)->SetFieldValue(MakeTag("ADR1"), longText));
    doc->UpdateAllViews(nullptr, kHintRebuild);
    const CRecordTableModel* m = v.Model();
    const int adr = doc->RecordSet()->FindTag(MakeTag("ADR1"));
    host.limit = false;
    EXPECT_EQ(m->data(m->index(1, adr)).toString(),
              QString(1500, QLatin1Char('x')) + QStringLiteral("あいうえお"));
    host.limit = true;
    host.maxWidth = 1023;
    EXPECT_EQ(m->data(m->index(1, adr)).toString(),
              QString(1023, QLatin1Char('x')) + QStringLiteral("..."));
    // The whole text is in the tool tip of a cut cell only.
    EXPECT_EQ(m->data(m->index(1, adr), Qt::ToolTipRole).toString().size(), 1505);
    EXPECT_TRUE(m->data(m->index(0, adr), Qt::ToolTipRole).toString().isEmpty());
}

TEST_F(TableTest, HeaderClicksCycleAscendingDescendingAndRecordOrder) {
    CTesseraView& v = Open(kKindPhoneBook, 40);
    const std::vector<int> recordOrder = RecordOrder();
    const int tel = 3;

    v.OnHeaderClicked(tel);
    EXPECT_EQ(v.SortOrder(), 1);
    std::vector<std::string> col = Column(tel);
    EXPECT_TRUE(std::is_sorted(col.begin(), col.end()));
    EXPECT_TRUE(v.horizontalHeader()->isSortIndicatorShown());

    v.OnHeaderClicked(tel);
    EXPECT_EQ(v.SortOrder(), 2);
    col = Column(tel);
    EXPECT_TRUE(std::is_sorted(col.rbegin(), col.rend()));

    v.OnHeaderClicked(tel);
    EXPECT_EQ(v.SortOrder(), 0);
    EXPECT_EQ(v.SortColumn(), tel);
    EXPECT_EQ(RecordOrder(), recordOrder);
    EXPECT_FALSE(v.horizontalHeader()->isSortIndicatorShown());

    // Another column after that starts ascending there.
    v.OnHeaderClicked(tel);
    v.OnHeaderClicked(1);
    EXPECT_EQ(v.SortOrder(), 1);
    EXPECT_EQ(v.SortColumn(), 1);

    // The sort survives a rebuild.
    doc->UpdateAllViews(nullptr, kHintRebuild);
    EXPECT_EQ(v.SortOrder(), 1);
    EXPECT_NE(RecordOrder(), recordOrder);
}

TEST_F(TableTest, SortingUsesExchangeTextsWholeAndKeepsEqualRowsInRecordOrder) {
    CTesseraView& v = Open(kKindPhoneBook, 5);
    CRecordSet& set = *doc->RecordSet();
    const FieldTag rmrk = MakeTag("RMRK");
    const int col = set.FindTag(rmrk);
    // Texts beyond 255 bytes that differ only at their end still sort apart.
    const std::string prefix(300, 'k');
    set.RecordAt(0)->SetFieldValue(rmrk, prefix + "c");
    set.RecordAt(1)->SetFieldValue(rmrk, prefix + "a");
    set.RecordAt(2)->SetFieldValue(rmrk, std::string("b"));
    set.RecordAt(3)->SetFieldValue(rmrk, prefix + "a");
    set.RecordAt(4)->SetFieldValue(rmrk, prefix + "b");
    doc->UpdateAllViews(nullptr, kHintRebuild);
    v.OnHeaderClicked(col);
    EXPECT_EQ(RecordOrder(), (std::vector<int>{2, 1, 3, 4, 0}));
    v.OnHeaderClicked(col);
    EXPECT_EQ(RecordOrder(), (std::vector<int>{0, 4, 1, 3, 2}));

    // Dates sort by their digits: 1999 before 2001 whatever the day.
    const FieldTag brth = MakeTag("BRTH");
    DateTimeValue d{
        DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay, 2001, 1, 1, 0, 0};
    set.RecordAt(0)->SetFieldValue(brth, d);
    d.year = 1999;
    d.month = 12;
    d.day = 31;
    set.RecordAt(1)->SetFieldValue(brth, d);
    d.year = 2000;
    for (int i = 2; i < 5; ++i)
        set.RecordAt(i)->SetFieldValue(brth, d);
    doc->UpdateAllViews(nullptr, kHintRebuild);
    v.OnHeaderClicked(set.FindTag(brth));
    EXPECT_EQ(RecordOrder(), (std::vector<int>{1, 2, 3, 4, 0}));
}

TEST_F(TableTest, ChangedRecordStaysInItsRowInASortedTable) {
    CTesseraView& v = Open(kKindPhoneBook, 20);
    v.OnHeaderClicked(1);
    const std::vector<int> order = RecordOrder();
    const int row = 7;
    const int index = order[row];
    CDataRecord* record = doc->RecordSet()->RecordAt(index);
    ASSERT_TRUE(record->SetFieldValue(MakeTag("NAME"), std::string("AAAA")));
    CUpdateWindow hint{index, record};
    doc->UpdateAllViews(nullptr, kHintRecord, &hint);
    EXPECT_EQ(RecordOrder(), order);
    EXPECT_EQ(v.Model()->data(v.Model()->index(row, 1)).toString(), QStringLiteral("AAAA"));
    EXPECT_EQ(v.SelectedRecordIndices(), std::vector<int>{index});
    EXPECT_EQ(v.FocusedRecordIndex(), index);
    // The next rebuild sorts again and the record moves to the top.
    doc->UpdateAllViews(nullptr, kHintRebuild);
    EXPECT_EQ(v.Model()->RecordIndexAt(0), index);
}

TEST_F(TableTest, SelectionIsCollectedInDisplayOrder) {
    CTesseraView& v = Open(kKindPhoneBook, 10);
    v.OnHeaderClicked(1);
    v.OnHeaderClicked(1);
    auto* sel = v.selectionModel();
    for (int row : {6, 1, 3})
        sel->select(v.Model()->index(row, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::vector<int> expected{v.Model()->RecordIndexAt(1), v.Model()->RecordIndexAt(3),
                                    v.Model()->RecordIndexAt(6)};
    EXPECT_EQ(v.SelectedRecordIndices(), expected);
    EXPECT_EQ(v.SelectedCount(), 3);
}

TEST_F(TableTest, ColumnWidthsAreKeptPerTag) {
    {
        CTesseraView& v = Open(kKindPhoneBook, 3);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(v.columnWidth(i), 100) << "a tag without a stored width gets 100";
        v.setColumnWidth(1, 180);
        v.setColumnWidth(5, 260);
        // A rebuild keeps what the user set.
        doc->UpdateAllViews(nullptr, kHintRebuild);
        EXPECT_EQ(v.columnWidth(5), 260);
        view.reset(); // closing the view stores the widths
    }
    EXPECT_EQ(host.widths["NAME"], 180);
    EXPECT_EQ(host.widths["ADR1"], 260);
    EXPECT_EQ(host.widths["TEL1"], 100);

    // A business card has NAME and ADR1 too, in other columns.
    CTesseraView& card = Open(kKindBusinessCard, 2);
    const CRecordSet& set = *doc->RecordSet();
    EXPECT_EQ(card.columnWidth(set.FindTag(MakeTag("NAME"))), 180);
    EXPECT_EQ(card.columnWidth(set.FindTag(MakeTag("ADR1"))), 260);
    EXPECT_EQ(card.columnWidth(set.FindTag(MakeTag("OFCE"))), 100);

    // Emptied widths (a receive) are read from the store again at the next rebuild.
    card.setColumnWidth(set.FindTag(MakeTag("NAME")), 50);
    card.ResetColumnWidths();
    doc->UpdateAllViews(nullptr, kHintRebuild);
    EXPECT_EQ(card.columnWidth(set.FindTag(MakeTag("NAME"))), 180);
}

// The record commands' host of a table without a window: every kind has an editor, which
// only counts its runs.
struct CountingRecordHost : CRecordCommandHost {
    bool HasEditor(int) const override { return true; }
    bool EditRecord(QWidget*, int, CDataRecord&, bool) override {
        ++runs;
        return false;
    }
    int ChooseNewKind(QWidget*) override { return -1; }
    CProgressWindow* CreateProgress(const std::shared_ptr<TransferJob>&, QWidget*) override {
        return nullptr;
    }
    void FillLink(JobLink&) override {}
    std::size_t SendBufferBytes() const override { return 1024; }
    void SetBusy(bool) override {}
    void Beep() override {}
    int runs = 0;
};

TEST_F(TableTest, RecordCommandsFollowTheirRulesOnceTheyExist) {
    CTesseraView& v = Open(kKindPhoneBook, 5);
    auto enabled = [&v](int id) {
        CommandState s;
        EXPECT_TRUE(v.UpdateCommand(id, s)) << id;
        return s.enabled;
    };
    const int commands[] = {ID_RECORD_DELETE, ID_RECORD_PROPERTIES, ID_RECORD_ADD,
                            ID_RECORD_INSERT, ID_EDIT_COPY,         ID_EDIT_CUT,
                            ID_EDIT_PASTE,    ID_SEND_TO_DEVICE,    ID_RECEIVE_FROM_DEVICE,
                            ID_RECORD_SEND};
    // A view without record commands offers none of them.
    for (int id : commands)
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(enabled(ID_VIEW_REFRESH));
    CommandState none;
    EXPECT_FALSE(v.UpdateCommand(ID_APP_ABOUT, none)) << "not a view command";
    // Import and export are the main window's: their rule needs the settings.
    EXPECT_FALSE(v.UpdateCommand(ID_FILE_IMPORT, none));
    EXPECT_FALSE(v.UpdateCommand(ID_FILE_EXPORT, none));

    CountingRecordHost recordHost;
    CRecordCommands recordCommands(recordHost);
    v.SetRecordCommands(&recordCommands);
    const int& runs = recordHost.runs;

    QGuiApplication::clipboard()->clear();
    EXPECT_TRUE(enabled(ID_RECORD_ADD));
    for (int id : {ID_RECORD_DELETE, ID_RECORD_PROPERTIES, ID_RECORD_INSERT, ID_EDIT_COPY,
                   ID_EDIT_CUT, ID_RECORD_SEND, ID_EDIT_PASTE})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(enabled(ID_SEND_TO_DEVICE));

    v.selectRow(2);
    // Any text may be records: the paste reads it and says when it cannot.
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    for (int id : {ID_RECORD_DELETE, ID_RECORD_PROPERTIES, ID_RECORD_INSERT, ID_EDIT_COPY,
                   ID_EDIT_CUT, ID_RECORD_SEND, ID_EDIT_PASTE})
        EXPECT_TRUE(enabled(id)) << id;

    host.busy = true;
    EXPECT_FALSE(enabled(ID_SEND_TO_DEVICE));
    EXPECT_FALSE(enabled(ID_RECEIVE_FROM_DEVICE));
    EXPECT_FALSE(enabled(ID_RECORD_SEND));
    EXPECT_TRUE(enabled(ID_RECORD_DELETE));

    // The context menu follows the same rules, and a disabled command does not run.
    std::unique_ptr<QMenu> menu(v.CreateContextMenu(nullptr));
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        texts << a->text();
        if (a->data().toInt() == ID_RECORD_SEND) {
            EXPECT_FALSE(a->isEnabled());
        }
        if (a->data().toInt() == ID_RECORD_ADD) {
            EXPECT_TRUE(a->isEnabled());
        }
    }
    EXPECT_EQ(
        texts,
        (QStringList{QStringLiteral("元に戻す(&U)\tCtrl+Z"), QStringLiteral("やり直し(&R)\tCtrl+Y"),
                     QStringLiteral("切り取り(&T)"), QStringLiteral("コピー(&C)"),
                     QStringLiteral("貼り付け(&P)"), QStringLiteral("追加(&A)..."),
                     QStringLiteral("挿入(&I)..."), QStringLiteral("削除(&D)..."),
                     QStringLiteral("送信(&S)..."), QStringLiteral("プロパティ(&R)...")}));
    EXPECT_TRUE(v.RunCommand(ID_RECORD_SEND));
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(v.RunCommand(ID_RECORD_PROPERTIES));
    EXPECT_EQ(runs, 1);

    QGuiApplication::clipboard()->clear();
}

TEST_F(TableTest, HundredThousandRecordsOpenWithoutCopying) {
    auto set = MakeRecordSet(kKindPhoneBook, 100000);
    doc = std::make_unique<CTesseraDoc>(host);
    doc->SetRecordSet(std::move(set));
    const auto start = std::chrono::steady_clock::now();
    view = std::make_unique<CTesseraView>(*doc);
    view->resize(800, 600);
    view->show();
    ProcessEvents();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(view->Model()->rowCount(), 100000);
    EXPECT_EQ(view->Model()->data(view->Model()->index(99999, 1)).toString().isEmpty(), false);
    // Generous: the table must not walk every record to show the first screen.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 3000);
}

} // namespace
} // namespace tessera::test
