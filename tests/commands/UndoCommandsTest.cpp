// Undo and redo of the record commands on a document, and the modified flag that follows
// the undo stack's clean state.

#include "document/UndoCommands.h"

#include "CommandTestSupport.h"
#include "document/TesseraDoc.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "undo-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr
                                   ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                   : new QApplication(argc, argv);
    return *app;
}

class UndoTest : public ::testing::Test {
protected:
    UndoTest() : doc(host), stack(doc.UndoStack()) {
        App();
        auto set = std::make_unique<CRecordSet>();
        EXPECT_TRUE(set->SetKind(kKindPhoneBook));
        doc.SetRecordSet(std::move(set));
        for (const char* n : {"a", "b", "c", "d", "e"})
            doc.RecordSet()->InsertRecord(-1, Named(n));
        doc.SetModifiedFlag(false);
        QObject::connect(&doc, &CTesseraDoc::Updated, [this] { ++updates; });
    }

    std::unique_ptr<CDataRecord> Named(const char* name) {
        auto r = doc.RecordSet()->NewRecord();
        EXPECT_TRUE(r->SetFieldValue(MakeTag("NAME"), std::string(name)));
        return r;
    }
    // The names of the records in order, "abcde".
    std::string Names() const {
        std::string s;
        const CRecordSet* set = doc.RecordSet();
        for (int i = 0; i < set->RecordCount(); ++i)
            s += *ValueAs<std::string>(set->RecordAt(i)->GetFieldValue(MakeTag("NAME")));
        return s;
    }

    FakeHost host;
    CTesseraDoc doc;
    QUndoStack& stack; // the document's own, bound to its modified flag
    ScriptedPrompter prompter;
    int updates = 0;
};

TEST_F(UndoTest, AddAndInsertUndoAndRedo) {
    RecordList one;
    one.push_back(Named("X"));
    ASSERT_TRUE(InsertRecordsUndoable(stack, doc, -1, std::move(one), UndoText::Add));
    EXPECT_EQ(Names(), "abcdeX");
    RecordList two;
    two.push_back(Named("Y"));
    two.push_back(Named("Z"));
    ASSERT_TRUE(InsertRecordsUndoable(stack, doc, 1, std::move(two), UndoText::Paste));
    EXPECT_EQ(Names(), "aYZbcdeX");
    EXPECT_EQ(stack.undoText(), UndoTextOf(UndoText::Paste));
    stack.undo();
    EXPECT_EQ(Names(), "abcdeX");
    stack.undo();
    EXPECT_EQ(Names(), "abcde");
    EXPECT_FALSE(stack.canUndo());
    stack.redo();
    stack.redo();
    EXPECT_EQ(Names(), "aYZbcdeX");
    EXPECT_GT(updates, 0);
}

TEST_F(UndoTest, DeleteAndCutPutRecordsBackWhereTheyWere) {
    EXPECT_EQ(DeleteRecordsUndoable(stack, doc, {4, 0, 2, 2, 9, -1}, UndoText::Delete), 3);
    EXPECT_EQ(Names(), "bd");
    stack.undo();
    EXPECT_EQ(Names(), "abcde");
    stack.redo();
    EXPECT_EQ(Names(), "bd");
    EXPECT_EQ(DeleteRecordsUndoable(stack, doc, {1}, UndoText::Cut), 1);
    EXPECT_EQ(stack.undoText(), UndoTextOf(UndoText::Cut));
    EXPECT_EQ(Names(), "b");
    stack.undo();
    stack.undo();
    EXPECT_EQ(Names(), "abcde");
    EXPECT_EQ(DeleteRecordsUndoable(stack, doc, {}, UndoText::Delete), 0);
    EXPECT_EQ(stack.count(), 2)
        << "nothing deleted, nothing pushed; redo history replaced only by real changes";
}

TEST_F(UndoTest, EditSwapsTheRecordBackAndForth) {
    ASSERT_TRUE(ReplaceRecordUndoable(stack, doc, 2, Named("C")));
    EXPECT_EQ(Names(), "abCde");
    stack.undo();
    EXPECT_EQ(Names(), "abcde");
    stack.redo();
    EXPECT_EQ(Names(), "abCde");
    EXPECT_FALSE(ReplaceRecordUndoable(stack, doc, 7, Named("Q")));
    EXPECT_EQ(stack.count(), 1);
}

TEST_F(UndoTest, MixedHistoryUnwindsCompletely) {
    RecordList r;
    r.push_back(Named("1"));
    InsertRecordsUndoable(stack, doc, 0, std::move(r), UndoText::Insert);
    ReplaceRecordUndoable(stack, doc, 3, Named("2"));
    DeleteRecordsUndoable(stack, doc, {0, 5}, UndoText::Cut);
    // A paste that the move already made: records 1 and 2 came in before index 1.
    doc.RecordSet()->InsertRecord(1, Named("P"));
    doc.RecordSet()->InsertRecord(2, Named("Q"));
    RecordsInsertedUndoable(stack, doc, 1, 2, UndoText::Paste);
    const std::string after = Names();
    EXPECT_EQ(after, "aPQb2d");
    const std::vector<std::string> expected = {"ab2d", "1ab2de", "1abcde", "abcde"};
    for (const std::string& e : expected) {
        stack.undo();
        EXPECT_EQ(Names(), e);
    }
    while (stack.canRedo())
        stack.redo();
    EXPECT_EQ(Names(), after);
}

TEST_F(UndoTest, ModifiedFlagFollowsTheCleanState) {
    EXPECT_FALSE(doc.IsModified());
    DeleteRecordsUndoable(stack, doc, {0}, UndoText::Delete);
    EXPECT_TRUE(doc.IsModified());
    stack.undo();
    EXPECT_FALSE(doc.IsModified());
    stack.redo();
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false); // saved here
    EXPECT_TRUE(stack.isClean());
    stack.undo();
    EXPECT_TRUE(doc.IsModified());
    stack.redo();
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(UndoTest, ChangesOutsideTheStackStayModified) {
    doc.SetModifiedFlag(true); // something the history does not know about
    DeleteRecordsUndoable(stack, doc, {0}, UndoText::Delete);
    stack.undo();
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(UndoTest, ReplacingTheSetClearsTheHistory) {
    DeleteRecordsUndoable(stack, doc, {0}, UndoText::Delete);
    doc.SetModifiedFlag(false);
    auto set = std::make_unique<CRecordSet>();
    ASSERT_TRUE(set->SetKind(kKindPhoneBook));
    doc.SetRecordSet(std::move(set));
    ResetUndo(stack, doc);
    EXPECT_FALSE(stack.canUndo());
    EXPECT_TRUE(doc.IsModified());
    RecordList r;
    r.push_back(Named("n"));
    InsertRecordsUndoable(stack, doc, -1, std::move(r), UndoText::Add);
    stack.undo();
    EXPECT_TRUE(doc.IsModified()) << "the replaced set was never saved";
}

} // namespace
} // namespace tessera::test
