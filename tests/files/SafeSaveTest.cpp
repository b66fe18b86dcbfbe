// Files that are replaced only when every byte reached the disk: the helper itself, the
// document's Save, and the received text whose reading raised warnings. A process file-size
// limit makes the disk "full" at any size without root; the signal it raises is ignored so
// the write fails with EFBIG, as it does with ENOSPC on a full disk.

#include "base/SafeSave.h"

#include "document/DocHost.h"
#include "document/TesseraDoc.h"
#include "gui/RecordFactory.h"
#include "link/Job.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace tessera::test {
namespace {

constexpr int kMsgFileError = 1037;
constexpr int kMsgInvalidInput = 1073;
constexpr int kMsgBadValue = 1074;
constexpr int kMsgIgnoreAll = 1078;
constexpr int kMsgFieldsEmptied = 1079;

// Files above `bytes` cannot grow while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool IsSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_set = false;
};

std::string ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll().toStdString();
}

void WriteAll(const QString& path, const std::string& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

class Host : public CDocHost {
public:
    const CCodeMap* CodeMap() const override { return nullptr; }
    bool LimitFieldWidth() const override { return false; }
    int MaxFieldWidth() const override { return 64; }
    int FieldWidth(const std::string&) const override { return 100; }
    void SetFieldWidth(const std::string&, int) override {}
    bool IsBusy() const override { return false; }
    void AddToRecentFiles(const QString&) override {}
    QString GetSaveFileName(QWidget*, const QString&) override { return {}; }
    void RefreshStatus() override {}
};

class SafeSaveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }
    QTemporaryDir dir;
};

TEST_F(SafeSaveTest, ReplacesOnlyWhenEveryByteIsOnTheDisk) {
    struct Case {
        const char* what;
        std::size_t size;  // bytes of the new content
        std::size_t chunk; // written in pieces of this size
        rlim_t limit;      // largest file the disk takes
        bool saved;
    };
    const Case cases[] = {
        // Held in the write buffer until the end: only the final flush meets the full disk.
        {"small content, final flush fails", 6000, 100, 4096, false},
        {"nothing fits at all", 3000, 3000, 0, false},
        // Larger than the buffer: a write on the way fails.
        {"large content, a write fails", 100000, 7000, 40000, false},
        {"one byte too many", 5000, 5000, 4999, false},
        {"exactly fits", 5000, 64, 5000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = Path("doc.tsr");
        WriteAll(path, "the old document");
        const std::string content(c.size, 'x');
        bool ok = false;
        QString reason;
        {
            CSafeSave file(path);
            FileSizeLimit limit(c.limit);
            ASSERT_TRUE(limit.IsSet());
            ok = file.Open();
            for (std::size_t at = 0; ok && at < content.size(); at += c.chunk)
                ok = file.Write(std::string_view(content).substr(at, c.chunk));
            ok = ok && file.Commit();
            reason = file.ErrorString();
        }
        EXPECT_EQ(ok, c.saved);
        EXPECT_EQ(ReadAll(path), c.saved ? content : std::string("the old document"));
        if (!c.saved) {
            EXPECT_EQ(reason, QStringLiteral("File too large"));
        }
        EXPECT_EQ(Files(), QStringList{QStringLiteral("doc.tsr")}) << "no temporary file stays";
    }
}

// The window's Save on a full disk: 1037, the old file whole, and the document still
// modified, so that closing it still asks.
TEST_F(SafeSaveTest, DocumentSaveOnAFullDiskKeepsTheFileAndTheQuestion) {
    Host host;
    ScriptedPrompter prompter;
    const std::string old = testdata::MakeTextForm(kKindPhoneBook, 3);
    const QString path = Path("book.tsr");
    WriteAll(path, old);

    CTesseraDoc doc(host);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    // A document that fits the write buffer: nothing fails before the final flush.
    doc.SetRecordSet(testdata::MakeRecordSet(kKindPhoneBook, 40));
    doc.SetModifiedFlag(true);
    std::string text;
    ASSERT_TRUE(doc.RecordSet()->WriteTextToString(text));
    ASSERT_LT(text.size(), 16000u);
    ASSERT_GT(text.size(), 4096u);

    prompter.Expect(kMsgFileError);
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(doc.DoFileSave());
    }
    EXPECT_EQ(prompter.Ids(), std::vector<int>{kMsgFileError});
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Files(), QStringList{QStringLiteral("book.tsr")});

    prompter.Expect(kMsgAskToSave, PromptResult::Cancel);
    EXPECT_FALSE(doc.SaveModified()) << "closing still asks";

    // With room again the same Save goes through.
    EXPECT_TRUE(doc.DoFileSave());
    EXPECT_EQ(ReadAll(path), text);
    EXPECT_FALSE(doc.IsModified());
}

class NullObserver : public JobObserver {
public:
    void JobProgress(JobKind, std::int64_t) override {}
    void JobCloseRequest(JobKind) override {}
    void JobStep(int) override {}
    void JobFinished(const std::shared_ptr<TransferJob>&) override {}
};

// A completed receive whose text the document read with warnings is reported as received,
// and then as possibly damaged: the cable has no check of its own.
TEST_F(SafeSaveTest, ReceivedTextWithWarningsMayBeDamaged) {
    const std::string clean = testdata::MakeTextForm(kKindPhoneBook, 2);
    // A birthday the field refuses, as a changed bit on the cable makes one.
    const std::string damaged = "\"i\",\"SCRT\",\"NAME\",\"BRTH\"\r\n\"T\"\r\n"
                                "\"D\",\" \",\"Ann\",\"2001#301      \"\r\n\x1A";
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::pair<int, PromptResult>> script;
        int last;
    };
    const Case cases[] = {
        {"clean", clean, {{kMsgReceiveDone, PromptResult::Ok}}, kMsgReceiveDone},
        {"a value emptied",
         damaged,
         {{kMsgInvalidInput, PromptResult::Ok},
          {kMsgBadValue, PromptResult::Ignore},
          {kMsgIgnoreAll, PromptResult::No},
          {kMsgFieldsEmptied, PromptResult::Ok},
          {kMsgReceiveDone, PromptResult::Ok},
          {kMsgReceiveDamaged, PromptResult::Ok}},
         kMsgReceiveDamaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Host host;
        ScriptedPrompter prompter;
        for (const auto& [id, answer] : c.script)
            prompter.Expect(id, answer);
        CTesseraDoc doc(host);
        ASSERT_TRUE(doc.OnNewDocument());

        ReceiveJob job;
        job.result = kJobCompleted;
        job.tempFile = std::make_unique<QTemporaryFile>(Path("ZRSXXXXXX"));
        job.tempFile->setAutoRemove(false);
        ASSERT_TRUE(job.tempFile->open());
        job.tempFile->write(c.text.data(), static_cast<qint64>(c.text.size()));
        job.tempFile->close();

        NullObserver observer;
        CompletionHooks hooks;
        hooks.loadReceived = [&doc](const QString& path) { return doc.LoadReceivedText(path); };
        EXPECT_EQ(CompleteJob(job, observer, hooks), c.last);
        std::vector<int> ids;
        for (const auto& step : c.script)
            ids.push_back(step.first);
        EXPECT_EQ(prompter.Ids(), ids);
        ASSERT_NE(doc.RecordSet(), nullptr);
        EXPECT_GT(doc.RecordSet()->RecordCount(), 0) << "what arrived is kept";
        if (c.last == kMsgReceiveDamaged) {
            EXPECT_EQ(job.loadWarning, kMsgFieldsEmptied);
            // The message names the warning that came first to the user's eye last.
            EXPECT_NE(prompter.Messages().back().Utf8().find("1079"), std::string::npos);
        }
    }
}

// A tag of more than four characters is a tag of its own: it stays as written and never
// passes for the known tag it begins with.
TEST(TagReading, LongerTagsAreNotTakenForKnownOnes) {
    struct Case {
        std::vector<std::string> tags;
        int kind;
    };
    const Case cases[] = {
        {{"SCRTX", "NAME"}, kKindPhoneBook}, {{"NAMEX"}, 0},
        {{"NAME", "OFCEE"}, kKindPhoneBook}, {{"TIM1X", "NAME"}, kKindPhoneBook},
        {{"IMG1", "SCRT"}, kKindMemo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tags.front());
        std::string text = "\"i\"";
        for (const std::string& t : c.tags)
            text += ",\"" + t + "\"";
        text += "\r\n\x1A";
        ScriptedPrompter prompter;
        CRecordSet set;
        ASSERT_TRUE(set.ReadText(text, nullptr));
        EXPECT_EQ(set.Tags(), c.tags);
        EXPECT_EQ(set.Kind(), c.kind);
        for (std::size_t i = 0; i < c.tags.size(); ++i) {
            const bool known = c.tags[i].size() == 4;
            EXPECT_EQ(set.TagCodeAt(static_cast<int>(i)) != 0, known) << c.tags[i];
        }
        std::string back;
        ASSERT_TRUE(set.WriteTextToString(back));
        EXPECT_EQ(back.substr(0, back.find('\r')), text.substr(0, text.find('\r')));
    }
    // A value under such a tag is refused like any value of a tag without a field: a flag
    // would have taken "*".
    ScriptedPrompter prompter;
    prompter.Expect(kMsgInvalidInput)
        .Expect(kMsgBadValue, PromptResult::Ignore)
        .Expect(kMsgIgnoreAll, PromptResult::No);
    CRecordSet set;
    int errors = 0;
    ASSERT_TRUE(set.ReadText(std::string("\"i\",\"SCRTX\",\"NAME\"\r\n\"D\",\"*\",\"Ann\"\r\n\x1A"),
                             nullptr, &errors));
    EXPECT_EQ(errors, 1);
    ASSERT_EQ(set.RecordCount(), 1);
    EXPECT_EQ(set.RecordAt(0)->FieldAt(0), nullptr);
}

} // namespace
} // namespace tessera::test
