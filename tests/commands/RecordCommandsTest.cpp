// The record commands of a document window on a document of its own: delete, cut, copy,
// paste (other kinds, documents without a kind, sorted tables), add, insert, properties and
// their enable rules.

#include "CommandTestSupport.h"
#include "base/Cp932.h"
#include "document/Clipboard.h"
#include "document/CommandIds.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

std::vector<std::string> NameList(int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i)
        v.push_back((i < 10 ? "N0" : "N") + std::to_string(i));
    return v;
}

class RecordCommandsTest : public DocViewTest {
protected:
    void Load(const std::string& text) { LoadText(text); }
    void SelectRecords(const std::vector<int>& records) {
        DocViewTest::SelectRecords(records, false);
    }
    void Focus(int record) {
        view->selectionModel()->setCurrentIndex(view->Model()->index(RowOf(record), 0),
                                                QItemSelectionModel::NoUpdate);
    }
    bool Enabled(int id) {
        CommandState s;
        view->UpdateCommand(id, s);
        return s.enabled;
    }
};

std::vector<std::string> Without(std::vector<std::string> v, std::initializer_list<int> gone) {
    std::vector<std::string> out;
    for (int i = 0; i < static_cast<int>(v.size()); ++i)
        if (std::find(gone.begin(), gone.end(), i) == gone.end())
            out.push_back(v[static_cast<std::size_t>(i)]);
    return out;
}

// ---- delete and cut ----

TEST_F(RecordCommandsTest, DeleteRemovesExactlyTheSelectedRecordsInAnySelectionOrder) {
    Load(PhoneBookText(NameList(12)));
    SelectRecords({9, 2, 5});
    prompter.Expect(kMsgConfirmDelete, PromptResult::Ok);
    view->RunCommand(ID_RECORD_DELETE);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].Utf8(), "3件のレコードを削除します。よろしいですか？");
    EXPECT_EQ(Names(*doc), Without(NameList(12), {2, 5, 9}));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(view->Model()->rowCount(), 9);
    EXPECT_GT(host.refreshes, 0) << "the status bar shows the new count";
}

TEST_F(RecordCommandsTest, DeleteCancelledOrWithoutSelectionChangesNothing) {
    Load(PhoneBookText(NameList(4)));
    EXPECT_FALSE(Enabled(ID_RECORD_DELETE));
    SelectRecords({1});
    prompter.Expect(kMsgConfirmDelete, PromptResult::Cancel);
    view->RunCommand(ID_RECORD_DELETE);
    EXPECT_EQ(Names(*doc), NameList(4));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(RecordCommandsTest, DeleteInASortedTableRemovesTheRecordsShownInTheSelectedRows) {
    Load(PhoneBookText(NameList(6)));
    view->OnHeaderClicked(1);
    view->OnHeaderClicked(1); // descending: row 0 shows N05
    ASSERT_EQ(view->Model()->RecordIndexAt(0), 5);
    view->selectionModel()->select(view->Model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(view->Model()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    prompter.Expect(kMsgConfirmDelete, PromptResult::Ok);
    view->RunCommand(ID_RECORD_DELETE);
    EXPECT_EQ(Names(*doc), Without(NameList(6), {4, 5}));
}

TEST_F(RecordCommandsTest, DeleteRecordsIgnoresDuplicatesAndIndicesOutOfRange) {
    Load(PhoneBookText(NameList(5)));
    EXPECT_EQ(DeleteRecords(*doc, {3, 3, -1, 1, 42}), 2);
    EXPECT_EQ(Names(*doc), Without(NameList(5), {1, 3}));
}

TEST_F(RecordCommandsTest, CutCopiesThenDeletesWithoutAsking) {
    Load(PhoneBookText(NameList(5)));
    SelectRecords({3, 1});
    view->RunCommand(ID_EDIT_CUT);
    EXPECT_TRUE(prompter.Ids().empty());
    EXPECT_EQ(Names(*doc), Without(NameList(5), {1, 3}));
    // What went is on the clipboard, in display order.
    std::string text;
    ASSERT_EQ(TakeRecordText(text), ClipboardText::Ok);
    EXPECT_NE(text.find("\"N01\""), std::string::npos);
    EXPECT_LT(text.find("\"N01\""), text.find("\"N03\""));
}

TEST_F(RecordCommandsTest, CutThatCannotCopyDeletesNothing) {
    hooks.editorKinds = {1};
    hooks.bufferBytes = 64; // smaller than the text
    Load(PhoneBookText(NameList(5)));
    SelectRecords({0, 1});
    prompter.Expect(kMsgBufferTooSmall);
    view->RunCommand(ID_EDIT_CUT);
    EXPECT_EQ(Names(*doc), NameList(5));
    EXPECT_FALSE(doc->IsModified());
}

// ---- copy and paste ----

TEST_F(RecordCommandsTest, CopyAndPasteInASortedTableGoBeforeTheFocusedRowsRecord) {
    Load(PhoneBookText(NameList(6)));
    view->OnHeaderClicked(1);
    view->OnHeaderClicked(1); // descending
    // Rows 0 and 2 show N05 and N03: copied in that (display) order.
    view->selectionModel()->select(view->Model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(view->Model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->RunCommand(ID_EDIT_COPY);
    // Focus on the row of record 1, which is row 4 here: its list position is not its index.
    Focus(1);
    ASSERT_EQ(RowOf(1), 4);
    ASSERT_TRUE(Enabled(ID_EDIT_PASTE));
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(Names(*doc),
              (std::vector<std::string>{"N00", "N05", "N03", "N01", "N02", "N03", "N04", "N05"}));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(view->Model()->rowCount(), 8);
}

TEST_F(RecordCommandsTest, PasteWithoutAFocusedRowAppends) {
    Load(PhoneBookText(NameList(3)));
    ASSERT_TRUE(CopyRecords(*doc, {0}));
    view->selectionModel()->clearCurrentIndex();
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"N00", "N01", "N02", "N00"}));
}

TEST_F(RecordCommandsTest, PasteOfAnotherKindIsRefusedAndChangesNothing) {
    Load(PhoneBookText(NameList(3)));
    ASSERT_TRUE(PutRecordText(SampleText("schedule")));
    prompter.Expect(kMsgClipboardKind);
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(prompter.Messages().at(0).icon, PromptIcon::Warning);
    EXPECT_EQ(Names(*doc), NameList(3));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(RecordCommandsTest, PasteIntoADocumentWithoutAKindGivesItThePastedKind) {
    ASSERT_EQ(doc->RecordSet()->Kind(), 0);
    ASSERT_TRUE(PutRecordText(SampleText("cards")));
    view->RunCommand(ID_EDIT_PASTE);
    ASSERT_NE(doc->RecordSet(), nullptr);
    EXPECT_EQ(doc->RecordSet()->Kind(), 2);
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 3);
    EXPECT_EQ(view->Model()->columnCount(), doc->RecordSet()->FieldCount());
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(RecordCommandsTest, PasteNeverThrowsAwayRecordsOfADocumentWithoutAKind) {
    // Tags that give no kind: the document has columns and records but kind 0.
    Load("\"i\",\"TEL1\",\"ZIPC\"\r\n\"T\",\"a\",\"b\"\r\n\"D\",\"03-1111\",\"113-0033\"\r\n\x1A");
    ASSERT_EQ(doc->RecordSet()->Kind(), 0);
    ASSERT_EQ(doc->RecordSet()->RecordCount(), 1);
    ASSERT_TRUE(PutRecordText(SampleText("phonebook")));
    prompter.Expect(kMsgClipboardKind);
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 1);
    EXPECT_EQ(Names(*doc, 0), std::vector<std::string>{"03-1111"});
}

TEST_F(RecordCommandsTest, PasteTakesTextFromOtherProgramsWithTheirLineBreaks) {
    Load(PhoneBookText(NameList(1)));
    std::string text = PhoneBookText({Cp932("外部 一郎"), Cp932("外部 二郎")});
    text.pop_back(); // no end mark
    QString plain = Cp932ToQString(text);
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QGuiApplication::clipboard()->setText(plain);
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"N00", "外部 一郎", "外部 二郎"}));
}

TEST_F(RecordCommandsTest, PasteRefusesTextTheRecordsCannotHold) {
    Load(PhoneBookText(NameList(1)));
    struct Case {
        QString text;
        int message;
        std::string named;
    } cases[] = {
        {Cp932ToQString(PhoneBookText({"A"}))
             .replace(QStringLiteral("\"A\""), QStringLiteral("\"A\U0001F600\"")),
         kMsgClipboardBadChar, "U+1F600"},
        {Cp932ToQString(PhoneBookText({"A"}))
             .replace(QStringLiteral("\"A\""),
                      QStringLiteral("\"A") + QChar(0) + QStringLiteral("\"")),
         kMsgClipboardControl, "0x00"},
        {Cp932ToQString(PhoneBookText({"A", "B"}))
             .replace(QStringLiteral("\"A\""), QStringLiteral("\"A\x1A\"")),
         kMsgClipboardControl, "0x1A"},
    };
    for (const Case& c : cases) {
        prompter.Clear();
        QGuiApplication::clipboard()->setText(c.text);
        prompter.Expect(c.message);
        view->RunCommand(ID_EDIT_PASTE);
        ASSERT_EQ(prompter.Messages().size(), 1u) << c.named;
        EXPECT_NE(prompter.Messages()[0].Utf8().find(c.named), std::string::npos)
            << prompter.Messages()[0].Utf8();
        EXPECT_EQ(Names(*doc), NameList(1));
    }
}

TEST_F(RecordCommandsTest, PasteReportsEmptiedFieldsOnce) {
    Load(PhoneBookText(NameList(1)));
    std::string text = SampleText("phonebook");
    // A birthday that cannot be a date is emptied by the reader.
    const std::size_t at = text.find("19680412");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 8, "1968ZZ12");
    ASSERT_TRUE(PutRecordText(text));
    prompter.Allow(kMsgInvalidInput)
        .Allow(kMsgBadValue, PromptResult::Ignore)
        .Allow(kMsgIgnoreAll, PromptResult::Yes)
        .Allow(kMsgFieldsEmptied);
    prompter.SetLenient(true);
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(prompter.Count(kMsgFieldsEmptied), 1);
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 6);
}

// ---- add, insert, properties ----

TEST_F(RecordCommandsTest, AddToANewDocumentAsksForTheKindFirst) {
    hooks.kindChoice = 6; // the seventh entry: anniversary by month and day
    view->RunCommand(ID_RECORD_ADD);
    ASSERT_NE(doc->RecordSet(), nullptr);
    EXPECT_EQ(doc->RecordSet()->Kind(), 4);
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 1);
    EXPECT_EQ(hooks.editorRuns, 1);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(RecordCommandsTest, TheKindChoicesFollowTheListOrder) {
    const int expected[8] = {1, 2, 3, 6, 7, 8, 4, 5};
    for (int choice = 0; choice < 8; ++choice) {
        SCOPED_TRACE(choice);
        ASSERT_TRUE(doc->OnNewDocument());
        hooks.kindChoice = choice;
        EXPECT_TRUE(commands->AddRecord(*doc, nullptr, -1));
        EXPECT_EQ(doc->RecordSet()->Kind(), expected[choice]);
    }
}

TEST_F(RecordCommandsTest, AddCancelledAtTheKindOrInTheEditorChangesNothing) {
    hooks.kindChoice = -1;
    view->RunCommand(ID_RECORD_ADD);
    EXPECT_EQ(doc->RecordSet()->Kind(), 0);
    EXPECT_EQ(hooks.editorRuns, 0);
    Load(PhoneBookText(NameList(2)));
    hooks.editorAnswer = false;
    view->RunCommand(ID_RECORD_ADD);
    EXPECT_EQ(Names(*doc), NameList(2));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(RecordCommandsTest, InsertGoesBeforeTheFocusedRowsRecord) {
    Load(PhoneBookText(NameList(4)));
    view->OnHeaderClicked(1);
    view->OnHeaderClicked(1); // descending: N02 is on row 1
    SelectRecords({2});
    Focus(2);
    view->RunCommand(ID_RECORD_INSERT);
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"N00", "N01", "Edited", "N02", "N03"}));
}

TEST_F(RecordCommandsTest, PropertiesChangeTheRecordOnlyWhenTheEditorAccepts) {
    Load(PhoneBookText(NameList(3)));
    SelectRecords({1});
    Focus(1);
    hooks.editorAnswer = false;
    view->RunCommand(ID_RECORD_PROPERTIES);
    EXPECT_EQ(Names(*doc), NameList(3)) << "a refused edit leaves the record as it was";
    EXPECT_FALSE(doc->IsModified());
    hooks.editorAnswer = true;
    view->RunCommand(ID_RECORD_PROPERTIES);
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"N00", "Edited", "N02"}));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(view->Model()->data(view->Model()->index(RowOf(1), 1)).toString(),
              QStringLiteral("Edited"));
}

TEST_F(RecordCommandsTest, CommandsOfAKindWithoutAnEditorStayDisabled) {
    hooks.editorKinds = {2};
    Load(PhoneBookText(NameList(3)));
    SelectRecords({0});
    Focus(0);
    EXPECT_FALSE(Enabled(ID_RECORD_ADD));
    EXPECT_FALSE(Enabled(ID_RECORD_INSERT));
    EXPECT_FALSE(Enabled(ID_RECORD_PROPERTIES));
    EXPECT_TRUE(Enabled(ID_RECORD_DELETE));
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    hooks.editorKinds = {1};
    EXPECT_TRUE(Enabled(ID_RECORD_ADD));
    EXPECT_TRUE(Enabled(ID_RECORD_INSERT));
    EXPECT_TRUE(Enabled(ID_RECORD_PROPERTIES));
    // A new document can be given any kind that has an editor.
    ASSERT_TRUE(doc->OnNewDocument());
    EXPECT_TRUE(Enabled(ID_RECORD_ADD));
    hooks.editorKinds = {};
    EXPECT_FALSE(Enabled(ID_RECORD_ADD));
}

TEST_F(RecordCommandsTest, ADocumentWithoutAKindButWithColumnsIsNotGivenOneByAdd) {
    Load("\"i\",\"TEL1\",\"ZIPC\"\r\n\"T\",\"a\",\"b\"\r\n\"D\",\"03-1111\",\"113-0033\"\r\n\x1A");
    EXPECT_FALSE(Enabled(ID_RECORD_ADD));
    prompter.Expect(kMsgUnsupportedKind);
    EXPECT_FALSE(commands->AddRecord(*doc, nullptr, -1));
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 1)
        << "giving it a kind would have destroyed its records";
}

TEST_F(RecordCommandsTest, TransfersFollowTheBusyFlag) {
    Load(PhoneBookText(NameList(2)));
    SelectRecords({0});
    EXPECT_TRUE(Enabled(ID_SEND_TO_DEVICE));
    EXPECT_TRUE(Enabled(ID_RECEIVE_FROM_DEVICE));
    EXPECT_TRUE(Enabled(ID_RECORD_SEND));
    host.busy = true;
    EXPECT_FALSE(Enabled(ID_SEND_TO_DEVICE));
    EXPECT_FALSE(Enabled(ID_RECEIVE_FROM_DEVICE));
    EXPECT_FALSE(Enabled(ID_RECORD_SEND));
}

} // namespace
} // namespace tessera::test
