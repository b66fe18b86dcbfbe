// Undo and redo of the record commands as the user reaches them: each add, insert, edit,
// delete, cut and paste of a document window is one step that Edit > Undo takes back to the
// exact bytes it started from; the tables follow, sorted or not; the modified flag follows
// the history; whole-set changes start it afresh; the Edit menu names the step.

#include "CommandTestSupport.h"
#include "app/MainFrame.h"
#include "base/Cp932.h"
#include "document/Clipboard.h"
#include "document/CommandIds.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "document/UndoCommands.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

std::string TextForm(const CTesseraDoc& doc) {
    std::string out;
    EXPECT_TRUE(doc.RecordSet()->WriteTextToString(out));
    return out;
}

class UndoRedoTest : public DocViewTest {
public: // the table of cases drives the fixture from outside
    void Load(const std::vector<std::string>& names) { LoadText(PhoneBookText(names)); }
    void Select(const std::vector<int>& records) { SelectRecords(records); }
    CommandState State(int id) {
        CommandState s;
        EXPECT_TRUE(doc->UpdateCommand(id, s));
        return s;
    }
    void Undo() { ASSERT_TRUE(doc->RunCommand(ID_EDIT_UNDO)); }
    void Redo() { ASSERT_TRUE(doc->RunCommand(ID_EDIT_REDO)); }
    // The names the table shows, row by row.
    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (int row = 0; row < view->Model()->rowCount(); ++row)
            out.push_back(
                view->Model()->data(view->Model()->index(row, 1)).toString().toStdString());
        return out;
    }
};

TEST_F(UndoRedoTest, EachRecordCommandIsOneStepThatUndoTakesBackToTheSameBytes) {
    const std::vector<std::string> names = {"N0", "N1", "N2", "N3", "N4"};
    struct Case {
        const char* name;
        UndoText text;
        std::function<void(UndoRedoTest&)> run;
    };
    const Case cases[] = {
        {"add", UndoText::Add, [](UndoRedoTest& t) { t.view->RunCommand(ID_RECORD_ADD); }},
        {"insert", UndoText::Insert,
         [](UndoRedoTest& t) {
             t.Select({2});
             t.view->RunCommand(ID_RECORD_INSERT);
         }},
        {"edit", UndoText::Edit,
         [](UndoRedoTest& t) {
             t.Select({3});
             t.view->RunCommand(ID_RECORD_PROPERTIES);
         }},
        {"delete", UndoText::Delete,
         [](UndoRedoTest& t) {
             t.Select({4, 0, 2});
             t.prompter.Expect(kMsgConfirmDelete, PromptResult::Ok);
             t.view->RunCommand(ID_RECORD_DELETE);
         }},
        {"cut", UndoText::Cut,
         [](UndoRedoTest& t) {
             t.Select({1, 3});
             t.view->RunCommand(ID_EDIT_CUT);
         }},
        {"paste", UndoText::Paste,
         [](UndoRedoTest& t) {
             ASSERT_TRUE(CopyRecords(*t.doc, {4, 0}));
             t.Select({1});
             t.view->RunCommand(ID_EDIT_PASTE);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(names);
        prompter.Clear();
        const std::string before = TextForm(*doc);
        EXPECT_FALSE(State(ID_EDIT_UNDO).enabled);
        c.run(*this);
        const std::string after = TextForm(*doc);
        ASSERT_NE(after, before) << "the command changed nothing";
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(doc->UndoStack().count(), 1) << "one command, one step";
        const CommandState undo = State(ID_EDIT_UNDO);
        EXPECT_TRUE(undo.enabled);
        EXPECT_EQ(undo.detail, UndoTextOf(c.text));
        const std::vector<std::string> shownAfter = Shown();

        Undo();
        EXPECT_EQ(TextForm(*doc), before);
        EXPECT_FALSE(doc->IsModified()) << "back where the file was";
        EXPECT_EQ(Shown(), names) << "the table follows";
        EXPECT_FALSE(State(ID_EDIT_UNDO).enabled);
        EXPECT_EQ(State(ID_EDIT_REDO).detail, UndoTextOf(c.text));

        Redo();
        EXPECT_EQ(TextForm(*doc), after);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(Shown(), shownAfter);
        Undo();
        EXPECT_EQ(TextForm(*doc), before);
        EXPECT_TRUE(prompter.Ids().empty() || prompter.Ids() == std::vector<int>{kMsgConfirmDelete})
            << "undo and redo ask nothing";
    }
}

TEST_F(UndoRedoTest, ASeriesOfCommandsUnwindsStepByStepAndComesBack) {
    Load({"N0", "N1", "N2", "N3"});
    std::vector<std::string> states{TextForm(*doc)};
    view->RunCommand(ID_RECORD_ADD);
    states.push_back(TextForm(*doc));
    Select({0});
    view->RunCommand(ID_RECORD_PROPERTIES);
    states.push_back(TextForm(*doc));
    Select({1, 2});
    view->RunCommand(ID_EDIT_CUT);
    states.push_back(TextForm(*doc));
    Select({0});
    view->RunCommand(ID_EDIT_PASTE);
    states.push_back(TextForm(*doc));
    ASSERT_EQ(doc->UndoStack().count(), 4);

    for (std::size_t i = states.size() - 1; i-- > 0;) {
        Undo();
        EXPECT_EQ(TextForm(*doc), states[i]) << "after undoing step " << i + 1;
        EXPECT_EQ(view->Model()->rowCount(), doc->RecordSet()->RecordCount());
    }
    EXPECT_FALSE(doc->IsModified());
    for (std::size_t i = 1; i < states.size(); ++i) {
        Redo();
        EXPECT_EQ(TextForm(*doc), states[i]) << "after redoing step " << i;
    }
    // A new command after an undo replaces what could have been redone.
    Undo();
    Select({0});
    prompter.Expect(kMsgConfirmDelete, PromptResult::Ok);
    view->RunCommand(ID_RECORD_DELETE);
    EXPECT_FALSE(State(ID_EDIT_REDO).enabled);
}

TEST_F(UndoRedoTest, ASortedTableStaysSortedThroughUndoAndRedo) {
    Load({"N2", "N0", "N4", "N1", "N3"});
    view->OnHeaderClicked(1);
    view->OnHeaderClicked(1); // descending
    ASSERT_EQ(Shown(), (std::vector<std::string>{"N4", "N3", "N2", "N1", "N0"}));
    Select({2, 4}); // N4 and N3
    prompter.Expect(kMsgConfirmDelete, PromptResult::Ok);
    view->RunCommand(ID_RECORD_DELETE);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"N2", "N1", "N0"}));
    Undo();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"N4", "N3", "N2", "N1", "N0"}));
    EXPECT_EQ(view->SortOrder(), 2);

    // An edit redraws its row where it stands; undoing it redraws it again.
    Select({1}); // N0, on the last row
    hooks.editorValue = "N9";
    view->RunCommand(ID_RECORD_PROPERTIES);
    EXPECT_EQ(view->Model()->data(view->Model()->index(4, 1)).toString(), QStringLiteral("N9"));
    Undo();
    EXPECT_EQ(view->Model()->data(view->Model()->index(4, 1)).toString(), QStringLiteral("N0"));
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"N2", "N0", "N4", "N1", "N3"}));
}

TEST_F(UndoRedoTest, TheModifiedFlagFollowsTheSavedState) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.tsr"));
    Load({"N0", "N1", "N2"});
    Select({0});
    prompter.Expect(kMsgConfirmDelete, PromptResult::Ok);
    view->RunCommand(ID_RECORD_DELETE);
    ASSERT_TRUE(doc->OnSaveDocument(path));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(State(ID_EDIT_UNDO).enabled) << "a save keeps the history";

    Undo();
    EXPECT_TRUE(doc->IsModified()) << "the file no longer matches";
    prompter.Expect(kMsgAskToSave, PromptResult::Cancel);
    EXPECT_FALSE(doc->SaveModified());
    Redo();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(doc->SaveModified()) << "at the saved state the window closes without asking";
    EXPECT_EQ(prompter.Count(kMsgAskToSave), 1);
}

TEST_F(UndoRedoTest, PasteIntoADocumentWithoutAKindStartsTheHistoryAfresh) {
    ASSERT_TRUE(PutRecordText(SampleText("cards")));
    view->RunCommand(ID_EDIT_PASTE);
    ASSERT_EQ(doc->RecordSet()->Kind(), 2);
    EXPECT_EQ(doc->UndoStack().count(), 0);
    EXPECT_FALSE(State(ID_EDIT_UNDO).enabled);
    EXPECT_TRUE(doc->IsModified());
    // Later steps can be undone, but never back to an unmodified document.
    view->RunCommand(ID_RECORD_ADD);
    Undo();
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 3);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(UndoRedoTest, AddThatGivesANewDocumentItsKindLeavesItModifiedWhenUndone) {
    hooks.kindChoice = 0;
    view->RunCommand(ID_RECORD_ADD);
    ASSERT_EQ(doc->RecordSet()->RecordCount(), 1);
    Undo();
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 0);
    EXPECT_EQ(doc->RecordSet()->Kind(), 1) << "undo takes the record, not the kind";
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(UndoRedoTest, NewOrReloadedContentsDropTheHistoryWithoutTouchingTheFlag) {
    Load({"N0", "N1"});
    Select({0});
    view->RunCommand(ID_EDIT_CUT);
    ASSERT_TRUE(State(ID_EDIT_UNDO).enabled);
    doc->DeleteContents();
    EXPECT_EQ(doc->UndoStack().count(), 0);
    EXPECT_TRUE(doc->IsModified()) << "emptying is no save";
    EXPECT_FALSE(State(ID_EDIT_UNDO).enabled);
    ASSERT_TRUE(doc->OnNewDocument());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(doc->UndoStack().isClean());
}

TEST_F(UndoRedoTest, CommandsThatChangeNothingLeaveNoStep) {
    Load({"N0", "N1"});
    Select({0});
    prompter.Expect(kMsgConfirmDelete, PromptResult::Cancel);
    view->RunCommand(ID_RECORD_DELETE);
    hooks.editorAnswer = false;
    view->RunCommand(ID_RECORD_PROPERTIES);
    view->RunCommand(ID_RECORD_ADD);
    ASSERT_TRUE(PutRecordText(SampleText("schedule")));
    prompter.Expect(kMsgClipboardKind);
    view->RunCommand(ID_EDIT_PASTE);
    EXPECT_EQ(doc->UndoStack().count(), 0);
    EXPECT_FALSE(doc->IsModified());
}

// ---- the Edit menu of the running program ----

class UndoMenuTest : public ::testing::Test {
protected:
    RunningApp run;
    ScriptedPrompter prompter;
};

TEST_F(UndoMenuTest, EditMenuOffersUndoAndRedoNamingTheStep) {
    ASSERT_TRUE(run.started);
    CMainFrame* frame = run.app->MainFrame();
    QAction* undo = frame->Action(ID_EDIT_UNDO);
    QAction* redo = frame->Action(ID_EDIT_REDO);
    ASSERT_TRUE(undo && redo);
    EXPECT_EQ(undo->shortcut().toString(QKeySequence::PortableText), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(redo->shortcut().toString(QKeySequence::PortableText), QStringLiteral("Ctrl+Y"));

    CTesseraDoc* doc = frame->NewDocument();
    ASSERT_NE(doc, nullptr);
    QMenu* edit = frame->findChild<QMenu*>(QStringLiteral("EditMenu1"));
    ASSERT_NE(edit, nullptr);
    const QList<QAction*> items = edit->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items[0], undo);
    EXPECT_EQ(items[1], redo);

    const std::string text = PhoneBookText({"a", "b", "c"});
    doc->DeleteContents();
    ASSERT_TRUE(doc->LoadText(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
    doc->UpdateAllViews(nullptr, kHintRebuild);
    doc->SetModifiedFlag(false);
    frame->UpdateCommands();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("元に戻す(&U)\tCtrl+Z"));

    EXPECT_EQ(DeleteRecords(*doc, {1}), 1);
    frame->UpdateCommands();
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("元に戻す(&U) - レコードの削除\tCtrl+Z"));

    undo->trigger();
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(doc->Views().first()->Model()->rowCount(), 3);
    frame->UpdateCommands();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("元に戻す(&U)\tCtrl+Z"));
    EXPECT_EQ(redo->text(), QStringLiteral("やり直し(&R) - レコードの削除\tCtrl+Y"));
    redo->trigger();
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(doc->Views().first()->Model()->rowCount(), 2);
    doc->SetModifiedFlag(false);
}

TEST(UndoMenuText, TheDetailGoesBeforeTheShortcut) {
    EXPECT_EQ(CMainFrame::CommandText(QStringLiteral("元に戻す(&U)\tCtrl+Z"), QString()),
              QStringLiteral("元に戻す(&U)\tCtrl+Z"));
    EXPECT_EQ(
        CMainFrame::CommandText(QStringLiteral("元に戻す(&U)\tCtrl+Z"), QStringLiteral("A&B")),
        QStringLiteral("元に戻す(&U) - A&&B\tCtrl+Z"));
    EXPECT_EQ(CMainFrame::CommandText(QStringLiteral("Undo"), QStringLiteral("x")),
              QStringLiteral("Undo - x"));
}

} // namespace
} // namespace tessera::test
