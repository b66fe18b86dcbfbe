// The document and its file: opening and saving every kind byte for byte, the save that
// fails half-way, the empty and damaged files, Save As naming and the save question.

#include "GuiTestSupport.h"
#include "RecordFactory.h"
#include "document/TesseraDoc.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>
#include <utility>

namespace tessera::test {
namespace {

using testdata::MakeRecordSet;
using testdata::MakeTextForm;

class DocumentTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeDocHost host;
    ScriptedPrompter prompter;
};

TEST_F(DocumentTest, EveryKindAndSampleSurvivesOpenAndSave) {
    struct Case {
        QString name;
        std::string bytes;
    };
    std::vector<Case> cases;
    for (int kind = kFirstKind; kind <= kLastKind; ++kind)
        cases.push_back({QStringLiteral("kind%1.tsr").arg(kind), MakeTextForm(kind, 25)});
    const QDir samples(QStringLiteral(TESSERA_SAMPLES));
    for (const QString& name : samples.entryList({QStringLiteral("*.tsr")}, QDir::Files))
        cases.push_back({name, ReadFile(samples.filePath(name))});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = WriteFile(dir, c.name, c.bytes);
        CTesseraDoc doc(host);
        prompter.SetLenient(true);
        ASSERT_TRUE(doc.OnOpenDocument(path));
        ASSERT_NE(doc.RecordSet(), nullptr);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.Title(), c.name);
        EXPECT_EQ(host.recent, QFileInfo(path).canonicalFilePath());

        const QString copy = dir.filePath(QStringLiteral("copy-") + c.name);
        ASSERT_TRUE(doc.OnSaveDocument(copy));
        EXPECT_EQ(ReadFile(copy), c.bytes) << "a round trip must not change a byte";
    }
    // The samples read without a single question.
    EXPECT_TRUE(prompter.Ids().empty());
}

TEST_F(DocumentTest, NewDocumentIsEmptyAndSavesAsElevenBytes) {
    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.Title().startsWith(QStringLiteral("TSR Data")));
    EXPECT_TRUE(doc.PathName().isEmpty());
    ASSERT_NE(doc.RecordSet(), nullptr);
    EXPECT_EQ(doc.RecordSet()->Kind(), 0);

    const QString path = dir.filePath(QStringLiteral("empty.tsr"));
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadFile(path), std::string("\"i\"\r\n\"T\"\r\n\x1A", 11));

    CTesseraDoc again(host);
    ASSERT_TRUE(again.OnOpenDocument(path));
    EXPECT_EQ(again.RecordSet()->Kind(), 0);
    EXPECT_EQ(again.RecordSet()->FieldCount(), 0);
    EXPECT_EQ(again.RecordSet()->RecordCount(), 0);
}

TEST_F(DocumentTest, SaveThatFailsHalfWayLeavesTheOldFileWhole) {
    // Enough records that the writer has handed out data before it meets the bad value.
    auto set = MakeRecordSet(kKindPhoneBook, 6000);
    auto bad = set->NewRecord();
    ASSERT_TRUE(bad->SetFieldValue(MakeTag("NAME"), std::string("a\",b")));
    set->InsertRecord(-1, std::move(bad));

    const std::string old = MakeTextForm(kKindPhoneBook, 3);
    const QString path = WriteFile(dir, QStringLiteral("book.tsr"), old);

    CTesseraDoc doc(host);
    doc.SetRecordSet(std::move(set));
    doc.SetModifiedFlag(true);
    prompter.Expect(kMsgWriteFormatError);
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_TRUE(doc.IsModified());
    // No half-written temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("book.tsr")});
}

TEST_F(DocumentTest, SaveIntoAMissingFolderReportsAFileError) {
    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnNewDocument());
    prompter.Expect(kMsgFileError);
    EXPECT_FALSE(doc.OnSaveDocument(dir.filePath(QStringLiteral("no/such/folder/x.tsr"))));
}

TEST_F(DocumentTest, BadFilesAreRefusedWithAMessage) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<int> messages;
    };
    const Case cases[] = {
        // An empty file is said to be unreadable rather than failing silently.
        {"empty.tsr", "", {kMsgReadFormatError}},
        {"endmark.tsr", "\x1A", {kMsgReadFormatError}},
        {"linebreak.tsr", "\"i\",\"NAME\"\r\n\"D\",\"ab\rc\"\r\n\x1A", {kMsgBadLineBreak}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompter.Clear();
        for (int id : c.messages)
            prompter.Expect(id);
        CTesseraDoc doc(host);
        EXPECT_FALSE(doc.OnOpenDocument(WriteFile(dir, QString::fromLatin1(c.name), c.bytes)));
        EXPECT_EQ(doc.RecordSet(), nullptr);
        EXPECT_EQ(prompter.Ids(), c.messages);
    }
    prompter.Expect(kMsgFileError);
    CTesseraDoc doc(host);
    EXPECT_FALSE(doc.OnOpenDocument(dir.filePath(QStringLiteral("missing.tsr"))));
}

TEST_F(DocumentTest, RejectedValuesAreCountedOnceAndEmptied) {
    // Secret flags must be "*" or a space: two records carry "x".
    const std::string text =
        "\"i\",\"SCRT\",\"NAME\"\r\n\"T\",\"a\",\"b\"\r\n"
        "\"D\",\"x\",\"ab\"\r\n\"D\",\" \",\"cd\"\r\n\"D\",\"x\",\"ef\"\r\n\x1A";
    prompter.Expect(kMsgInvalidInput);
    prompter.Expect(kMsgBadValue, PromptResult::Ignore);
    prompter.Expect(kMsgIgnoreAll, PromptResult::Yes);
    prompter.Expect(kMsgFieldsEmptied);
    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnOpenDocument(WriteFile(dir, QStringLiteral("bad.tsr"), text)));
    EXPECT_EQ(prompter.Count(kMsgFieldsEmptied), 1);
    EXPECT_NE(prompter.Messages().back().Utf8().find('2'), std::string::npos);
    ASSERT_EQ(doc.RecordSet()->RecordCount(), 3);
    EXPECT_EQ(doc.RecordSet()->RecordAt(2)->FieldAt(0)->Text(false), " ");
}

TEST_F(DocumentTest, LastLineWithoutLineBreakStillOpens) {
    std::string text = MakeTextForm(kKindPhoneBook, 3);
    ASSERT_EQ(text.substr(text.size() - 3), "\r\n\x1A");
    text.resize(text.size() - 3);
    prompter.SetLenient(true);
    prompter.Allow(2051);
    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnOpenDocument(WriteFile(dir, QStringLiteral("cut.tsr"), text)));
    EXPECT_GE(doc.RecordSet()->RecordCount(), 2);
}

// The end of the file ends the text as the end mark does: the same records, no message,
// nothing read only in part; bytes after a mark are not read.
TEST_F(DocumentTest, FileEndsTheTextAsTheEndMarkDoes) {
    const std::string marked = MakeTextForm(kKindPhoneBook, 3);
    ASSERT_EQ(marked.back(), '\x1A');
    const std::string bare = marked.substr(0, marked.size() - 1);
    for (const auto& [name, bytes] : {std::pair{"marked.tsr", marked}, std::pair{"bare.tsr", bare},
                                      std::pair{"tail.tsr", marked + "\"D\",\"x\"\r\n"}}) {
        SCOPED_TRACE(name);
        prompter.Clear();
        CTesseraDoc doc(host);
        ASSERT_TRUE(doc.OnOpenDocument(WriteFile(dir, QString::fromLatin1(name), bytes)));
        EXPECT_TRUE(prompter.Ids().empty());
        EXPECT_EQ(doc.RecordSet()->RecordCount(), 3);
        EXPECT_TRUE(doc.DoFileSave());
        EXPECT_TRUE(prompter.Ids().empty());
        EXPECT_EQ(ReadFile(dir.filePath(QString::fromLatin1(name))), marked);
    }
}

// A file the reader stopped in (a line lost its opening quote, or the last line was cut
// short) opens with a warning; saving over it asks first, and No leaves every byte on disk.
// Once saved (or saved elsewhere) the document is whole again and saves without asking.
TEST_F(DocumentTest, SavingOverAFileReadOnlyInPartAsksFirst) {
    std::string quoteLost = MakeTextForm(kKindPhoneBook, 5);
    // The fourth line's record ends in an empty value, and the fifth lost its quote.
    std::vector<std::size_t> starts{0};
    for (std::size_t at = quoteLost.find("\r\n"); at != std::string::npos;
         at = quoteLost.find("\r\n", at + 2))
        starts.push_back(at + 2);
    ASSERT_GE(starts.size(), 6u);
    const std::size_t fourthEnd = starts[4] - 2;
    const std::size_t lastComma = quoteLost.rfind(',', fourthEnd);
    quoteLost.replace(lastComma + 1, fourthEnd - lastComma - 1, "");
    quoteLost.erase(quoteLost.find('"', lastComma), 1);
    std::string cutShort = MakeTextForm(kKindPhoneBook, 3);
    cutShort.resize(cutShort.size() - 3);

    for (const auto& [name, bytes, message] :
         {std::tuple{"quote.tsr", quoteLost, kMsgLineWithoutQuote},
          std::tuple{"cut.tsr", cutShort, kMsgRecordCutOff}}) {
        SCOPED_TRACE(name);
        const QString path = WriteFile(dir, QString::fromLatin1(name), bytes);
        CTesseraDoc doc(host);
        prompter.Clear();
        prompter.Expect(message);
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(prompter.Ids(), std::vector<int>{message});

        prompter.Clear();
        prompter.Expect(kMsgSavePartialFile, PromptResult::No);
        EXPECT_FALSE(doc.DoFileSave());
        EXPECT_EQ(ReadFile(path), bytes);
        EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgSavePartialFile});
        EXPECT_NE(prompter.Messages()[0].Utf8().find(name), std::string::npos);

        // Saved elsewhere: nothing is lost, nothing asked, and the copy is the document now.
        prompter.Clear();
        host.saveAnswer = dir.filePath(QStringLiteral("copy-") + QString::fromLatin1(name));
        ASSERT_TRUE(doc.DoSave(QString()));
        EXPECT_TRUE(prompter.Ids().empty());
        ASSERT_TRUE(doc.DoFileSave());
        EXPECT_TRUE(prompter.Ids().empty());

        prompter.Clear();
        prompter.Expect(message);
        CTesseraDoc again(host);
        ASSERT_TRUE(again.OnOpenDocument(path));
        prompter.Expect(kMsgSavePartialFile, PromptResult::Yes);
        ASSERT_TRUE(again.DoFileSave());
        EXPECT_NE(ReadFile(path), bytes);
        prompter.Clear();
        ASSERT_TRUE(again.DoFileSave());
        EXPECT_TRUE(prompter.Ids().empty());
    }
}

TEST_F(DocumentTest, SaveAsAddsTheSuffixOnlyWhenThereIsNone) {
    const struct {
        const char* typed;
        const char* saved;
    } cases[] = {
        {"book", "book.tsr"},     {"book.", "book.tsr"},    {"book.tsr", "book.tsr"},
        {"book.TSR", "book.TSR"}, {"book.bak", "book.bak"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        CTesseraDoc doc(host);
        ASSERT_TRUE(doc.OnNewDocument());
        host.saveAnswer = dir.filePath(QString::fromLatin1(c.typed));
        ASSERT_TRUE(doc.DoSave(QString()));
        const QString expected =
            QFileInfo(dir.filePath(QString::fromLatin1(c.saved))).canonicalFilePath();
        EXPECT_EQ(doc.PathName(), expected);
        EXPECT_TRUE(QFile::exists(expected));
        EXPECT_EQ(doc.Title(), QString::fromLatin1(c.saved));
    }
    // The dialog proposes the document's title as a file name.
    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnNewDocument());
    host.saveAnswer.clear();
    EXPECT_FALSE(doc.DoSave(QString()));
    EXPECT_EQ(host.askedName, doc.Title() + QStringLiteral(".tsr"));
}

TEST_F(DocumentTest, SaveQuestionFollowsTheAnswer) {
    const QString path =
        WriteFile(dir, QStringLiteral("book.tsr"), MakeTextForm(kKindPhoneBook, 4));
    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_TRUE(doc.SaveModified()) << "an unchanged document closes without asking";

    doc.RecordSet()->RemoveRecord(0);
    doc.SetModifiedFlag(true);
    prompter.Expect(kMsgAskToSave, PromptResult::Cancel);
    EXPECT_FALSE(doc.SaveModified());
    prompter.Expect(kMsgAskToSave, PromptResult::No);
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_EQ(ReadFile(path), MakeTextForm(kKindPhoneBook, 4));
    prompter.Expect(kMsgAskToSave, PromptResult::Yes);
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_NE(ReadFile(path), MakeTextForm(kKindPhoneBook, 4));
    EXPECT_NE(prompter.Messages().back().Utf8().find("book.tsr"), std::string::npos);
}

TEST_F(DocumentTest, ReceivedTextReplacesNothingItShouldNot) {
    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnNewDocument());
    int rebuilds = 0;
    QObject::connect(&doc, &CTesseraDoc::Updated, [&](QObject*, int hint, const CUpdateWindow*) {
        rebuilds += hint == kHintRebuild;
    });
    ASSERT_TRUE(doc.LoadReceivedText(
        WriteFile(dir, QStringLiteral("in.txt"), MakeTextForm(kKindSchedule, 5))));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.RecordSet()->Kind(), kKindSchedule);
    EXPECT_EQ(doc.RecordSet()->RecordCount(), 5);
    EXPECT_EQ(rebuilds, 1);

    // A received file of 0 bytes (into the fresh set a receive starts with): the reader's
    // message, then the file error.
    doc.SetRecordSet(std::make_unique<CRecordSet>());
    prompter.Expect(kMsgReadFormatError);
    prompter.Expect(kMsgFileError);
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(doc.LoadReceivedText(WriteFile(dir, QStringLiteral("zero.txt"), "")));
    EXPECT_EQ(doc.RecordSet(), nullptr);
}

} // namespace
} // namespace tessera::test
