// The filter registration dialogs and the import/export commands of a document window:
// validation order and messages, what reaches the settings store, the button states, the
// extension and overwrite question on export, merging on import, and the busy dialog.

#include "app/GuiPrompter.h"
#include "app/filters/FilterBusyDlg.h"
#include "app/filters/FilterProgDlg.h"
#include "app/filters/FilterSetDlg.h"
#include "base/AppSettings.h"
#include "document/DocHost.h"
#include "document/FilterCommands.h"
#include "document/TesseraDoc.h"
#include "document/UndoCommands.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"
#include "tests/filters/FilterTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace tessera::test {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "filter-dialog-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class Host : public CDocHost {
public:
    const CCodeMap* CodeMap() const override { return nullptr; }
    bool LimitFieldWidth() const override { return false; }
    int MaxFieldWidth() const override { return 64; }
    int FieldWidth(const std::string&) const override { return 80; }
    void SetFieldWidth(const std::string&, int) override {}
    bool IsBusy() const override { return busy; }
    void AddToRecentFiles(const QString&) override {}
    QString GetSaveFileName(QWidget*, const QString&) override { return {}; }
    void RefreshStatus() override {}
    bool busy = false;
};

FilterProgram Registration(const char* name, const char* ext, const QString& program) {
    FilterProgram f;
    f.name = QString::fromUtf8(name);
    f.extension = QString::fromLatin1(ext);
    f.program = program;
    return f;
}

class FilterDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override {
        CFilterSetDlg::SetProgramEditor(nullptr);
        CFilterProgDlg::SetProgramChooser(nullptr);
        SetFilterFileDialogs(nullptr, nullptr);
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    // A document holding `file`'s records.
    std::unique_ptr<CTesseraDoc> Doc(const char* file) {
        auto doc = std::make_unique<CTesseraDoc>(m_host);
        doc->OnNewDocument();
        if (file != nullptr) {
            ScriptedPrompter quiet;
            auto set = std::make_unique<CRecordSet>();
            EXPECT_TRUE(set->ReadText(SampleBytes(file), nullptr));
            doc->SetRecordSet(std::move(set));
        }
        return doc;
    }

    TempSettings m_settings;
    QTemporaryDir m_dir;
    Host m_host;
};

// ---- the program dialog ----

TEST_F(FilterDialogTest, ProgramDialogChecksNameExtensionAndProgramInThatOrder) {
    ASSERT_TRUE(CAppSettings::WriteFilter(Registration("CSV", "csv", QStringLiteral("/bin/true"))));
    struct Case {
        const char* name;
        const char* ext;
        const char* program;
        int message; // 0: accepted
    };
    const std::vector<Case> cases = {
        {"", "", "", kMsgNoFilterName},
        {"a/b", "x", "/p", kMsgFilterBadName},
        {"a\\b", "x", "/p", kMsgFilterBadName},
        {"csv", "x", "/p", kMsgFilterExists}, // only the case differs
        {"CSV", "x", "/p", kMsgFilterExists},
        {"new", "", "", kMsgNoExtension},
        {"new", "x", "", kMsgNoProgram},
        {"new", "x", "/p", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFilterProgDlg dlg(FilterProgram{}, false);
        dlg.NameEdit()->setText(QString::fromUtf8(c.name));
        dlg.ExtensionEdit()->setText(QString::fromUtf8(c.ext));
        dlg.ProgramEdit()->setText(QString::fromUtf8(c.program));
        ScriptedPrompter prompter;
        if (c.message != 0)
            prompter.Expect(c.message);
        EXPECT_EQ(dlg.Validate(), c.message == 0);
        if (c.message != 0) {
            EXPECT_EQ(prompter.Messages().at(0).icon, PromptIcon::Warning);
        }
    }
}

// ".csv" typed (or stored by an older run) would make the file dialogs offer "*..csv".
TEST_F(FilterDialogTest, ExtensionIsStoredAndOfferedWithoutItsDot) {
    for (const auto& [typed, bare] :
         std::vector<std::pair<const char*, const char*>>{{".csv", "csv"},
                                                          {"*.vcf", "vcf"},
                                                          {" ics ", "ics"},
                                                          {"..x", "x"},
                                                          {"tar.gz", "tar.gz"}}) {
        CFilterProgDlg dlg(FilterProgram{}, false);
        dlg.ExtensionEdit()->setText(QString::fromLatin1(typed));
        EXPECT_EQ(dlg.Filter().extension, QString::fromLatin1(bare)) << typed;
    }
    {
        CFilterProgDlg dlg(FilterProgram{}, false);
        dlg.NameEdit()->setText(QStringLiteral("dot"));
        dlg.ExtensionEdit()->setText(QStringLiteral("."));
        dlg.ProgramEdit()->setText(QStringLiteral("/p"));
        ScriptedPrompter prompter;
        prompter.Expect(kMsgNoExtension);
        EXPECT_FALSE(dlg.Validate()) << "a dot alone is no extension";
    }
    ASSERT_TRUE(
        CAppSettings::WriteFilter(Registration("Old", ".csv", QStringLiteral("/bin/true"))));
    FilterProgram read;
    ASSERT_TRUE(CAppSettings::ReadFilter(QStringLiteral("Old"), read));
    EXPECT_EQ(read.extension, QStringLiteral("csv"));
    CAppSettings settings;
    EXPECT_EQ(settings.BuildFilterList(), QStringLiteral("Old (*.csv)|*.csv||"));
}

TEST_F(FilterDialogTest, EditingKeepsTheNameAndNeverAsksAboutIt) {
    ASSERT_TRUE(CAppSettings::WriteFilter(Registration("CSV", "csv", QStringLiteral("/bin/true"))));
    CFilterProgDlg dlg(Registration("CSV", "csv", QStringLiteral("/bin/true")), true);
    EXPECT_TRUE(dlg.NameEdit()->isReadOnly());
    ScriptedPrompter prompter;
    EXPECT_TRUE(dlg.Validate()) << "an existing name is no refusal when editing";
    dlg.ExtensionEdit()->clear();
    prompter.Expect(kMsgNoExtension);
    EXPECT_FALSE(dlg.Validate());
}

TEST_F(FilterDialogTest, ProgramDialogLimitsAndPerlDetection) {
    CFilterProgDlg dlg(FilterProgram{}, false);
    EXPECT_EQ(dlg.NameEdit()->maxLength(), 30);
    EXPECT_EQ(dlg.ExtensionEdit()->maxLength(), 256);
    EXPECT_EQ(dlg.ProgramEdit()->maxLength(), 256);
    for (const auto& [path, perl] :
         std::vector<std::pair<const char*, bool>>{{"/x/conv.PL", true},
                                                   {"/x/conv.pl", true},
                                                   {"/x/conv.exe", false},
                                                   {"/x/conv", false}}) {
        dlg.ProgramEdit()->setText(QString::fromLatin1(path));
        EXPECT_EQ(dlg.Filter().perlScript, perl) << path;
    }
}

TEST_F(FilterDialogTest, BrowseOffersTheCurrentPathAndTakesTheChoice) {
    QString offered;
    QString answer = QStringLiteral("/opt/filters/conv.pl");
    CFilterProgDlg::SetProgramChooser([&](QWidget*, const QString& current) {
        offered = current;
        return answer;
    });
    CFilterProgDlg dlg(Registration("a", "x", QStringLiteral("/old/path")), true);
    dlg.BrowseButton()->click();
    EXPECT_EQ(offered, QStringLiteral("/old/path"));
    EXPECT_EQ(dlg.ProgramEdit()->text(), answer);
    answer.clear(); // cancelled
    dlg.BrowseButton()->click();
    EXPECT_EQ(dlg.ProgramEdit()->text(), QStringLiteral("/opt/filters/conv.pl"));
}

// ---- the list dialog ----

TEST_F(FilterDialogTest, ListDialogAddsEditsAndDeletesWithTheCountInStep) {
    CAppSettings settings;
    settings.Installed = 7; // a stale count from an older store
    FilterProgram next = Registration("Text", "txt", QStringLiteral("/opt/t.PL"));
    bool sawEditing = false;
    FilterProgram shown;
    CFilterSetDlg::SetProgramEditor([&](QWidget*, FilterProgram& f, bool editing) {
        sawEditing = editing;
        shown = f;
        f = next;
        f.perlScript = IsPerlScriptPath(f.program);
        return true;
    });
    CFilterSetDlg dlg(settings);
    EXPECT_EQ(settings.Installed, 0);
    EXPECT_FALSE(dlg.DeleteButton()->isEnabled());
    EXPECT_FALSE(dlg.EditButton()->isEnabled());

    dlg.AddButton()->click();
    ASSERT_EQ(dlg.List()->count(), 1);
    EXPECT_EQ(settings.Installed, 1);
    FilterProgram stored;
    ASSERT_TRUE(CAppSettings::ReadFilter(QStringLiteral("Text"), stored));
    EXPECT_EQ(stored.extension, QStringLiteral("txt"));
    EXPECT_TRUE(stored.perlScript) << ".PL in upper case is a perl script";

    // Edit and Delete without a selection do nothing.
    ScriptedPrompter prompter;
    dlg.Edit();
    dlg.Delete();
    EXPECT_TRUE(prompter.Messages().empty());

    dlg.List()->item(0)->setSelected(true);
    EXPECT_TRUE(dlg.EditButton()->isEnabled());
    next = Registration("Ignored", "tsv", QStringLiteral("/opt/t.exe"));
    dlg.EditButton()->click();
    EXPECT_TRUE(sawEditing);
    EXPECT_EQ(shown.program, QStringLiteral("/opt/t.PL"));
    ASSERT_TRUE(CAppSettings::ReadFilter(QStringLiteral("Text"), stored)) << "the name stays";
    EXPECT_EQ(stored.extension, QStringLiteral("tsv"));
    EXPECT_FALSE(stored.perlScript);
    EXPECT_FALSE(CAppSettings::ReadFilter(QStringLiteral("Ignored"), stored));
    EXPECT_EQ(settings.Installed, 1);

    prompter.Expect(kMsgDeleteFilter, PromptResult::No);
    dlg.DeleteButton()->click();
    EXPECT_EQ(dlg.List()->count(), 1);
    prompter.Expect(kMsgDeleteFilter, PromptResult::Yes);
    dlg.DeleteButton()->click();
    EXPECT_EQ(dlg.List()->count(), 0);
    EXPECT_EQ(settings.Installed, 0);
    EXPECT_TRUE(CAppSettings::ReadFilters().empty());
    EXPECT_FALSE(dlg.DeleteButton()->isEnabled());
    EXPECT_FALSE(dlg.EditButton()->isEnabled());
    EXPECT_NE(prompter.Messages().at(0).Utf8().find("'Text'"), std::string::npos);
    EXPECT_EQ(prompter.Messages().at(0).buttons, PromptButtons::YesNo);
}

// ---- the commands ----

TEST_F(FilterDialogTest, CommandsAreEnabledByRegistrationsAndKind) {
    CAppSettings settings;
    auto fresh = Doc(nullptr);
    auto book = Doc("phonebook.tsr");
    EXPECT_FALSE(ImportEnabled(settings, *fresh));
    EXPECT_FALSE(ExportEnabled(settings, *book));
    settings.Installed = 1;
    EXPECT_TRUE(ImportEnabled(settings, *fresh));
    EXPECT_FALSE(ExportEnabled(settings, *fresh)) << "a new document has no kind";
    EXPECT_TRUE(ExportEnabled(settings, *book));
    m_host.busy = true;
    EXPECT_FALSE(ImportEnabled(settings, *book)) << "not while a transfer uses the document";
}

TEST_F(FilterDialogTest, ExportAppendsTheExtensionBeforeAskingAboutAnExistingFile) {
    ASSERT_TRUE(CAppSettings::WriteFilter(Registration("CSV", "csv", QStringLiteral(TSR_CSV))));
    CAppSettings settings;
    SyncInstalledCount(settings);
    FilterFileRequest seen;
    SetFilterFileDialogs(nullptr, [&](QWidget*, const FilterFileRequest& r, int& chosen) {
        seen = r;
        chosen = 0;
        return Path("address");
    });
    auto book = Doc("phonebook.tsr");
    {
        ScriptedPrompter prompter;
        prompter.Expect(kMsgExportDone);
        EXPECT_TRUE(RunExportCommand(*book, settings, nullptr));
        EXPECT_NE(prompter.Messages().at(0).Utf8().find("address.csv"), std::string::npos);
    }
    EXPECT_EQ(seen.filters, QStringList{QStringLiteral("CSV (*.csv)")});
    EXPECT_EQ(seen.title.toStdString(), "保存するファイル名の指定");
    const std::string first = ReadBytes(Path("address.csv"));
    ASSERT_FALSE(first.empty());

    // Now address.csv exists: the question comes, and No leaves it alone.
    QFile f(Path("address.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
    f.close();
    {
        ScriptedPrompter prompter;
        prompter.Expect(kMsgFilterOverwrite, PromptResult::No);
        EXPECT_FALSE(RunExportCommand(*book, settings, nullptr));
    }
    EXPECT_EQ(ReadBytes(Path("address.csv")), "keep me");
    {
        ScriptedPrompter prompter;
        prompter.Expect(kMsgFilterOverwrite, PromptResult::Yes).Expect(kMsgExportDone);
        EXPECT_TRUE(RunExportCommand(*book, settings, nullptr));
    }
    EXPECT_EQ(ReadBytes(Path("address.csv")), first);
}

TEST_F(FilterDialogTest, ImportMergesIntoTheDocumentOrLeavesItAsItWas) {
    ASSERT_TRUE(CAppSettings::WriteFilter(Registration("CSV", "csv", QStringLiteral(TSR_CSV))));
    CAppSettings settings;
    SyncInstalledCount(settings);
    // A CSV of the phone book, made by the filter itself.
    auto source = Doc("phonebook.tsr");
    {
        ScriptedPrompter prompter;
        prompter.Expect(kMsgExportDone);
        ASSERT_TRUE(RunExportFilter(*source->RecordSet(),
                                    Registration("CSV", "csv", QStringLiteral(TSR_CSV)),
                                    Path("book.csv")));
    }
    FilterFileRequest seen;
    SetFilterFileDialogs(
        [&](QWidget*, const FilterFileRequest& r, int& chosen) {
            seen = r;
            chosen = 0;
            return Path("book.csv");
        },
        nullptr);
    const int count = source->RecordSet()->RecordCount();

    ScriptedPrompter prompter;
    auto fresh = Doc(nullptr);
    EXPECT_TRUE(RunImportCommand(*fresh, settings, nullptr));
    EXPECT_EQ(seen.title.toStdString(), "インポートするファイルを開く");
    ASSERT_TRUE(fresh->RecordSet());
    EXPECT_EQ(fresh->RecordSet()->Kind(), kKindPhoneBook);
    EXPECT_EQ(fresh->RecordSet()->RecordCount(), count);
    EXPECT_TRUE(fresh->IsModified());

    EXPECT_TRUE(RunImportCommand(*fresh, settings, nullptr));
    EXPECT_EQ(fresh->RecordSet()->RecordCount(), 2 * count) << "same kind: appended";

    auto plan = Doc("schedule.tsr");
    const auto before = Rows(*plan->RecordSet());
    prompter.Expect(kMsgMergeKindMismatch);
    EXPECT_FALSE(RunImportCommand(*plan, settings, nullptr));
    EXPECT_EQ(Rows(*plan->RecordSet()), before);
    EXPECT_FALSE(plan->IsModified());
}

TEST_F(FilterDialogTest, ImportStartsTheUndoHistoryAfresh) {
    ASSERT_TRUE(CAppSettings::WriteFilter(Registration("CSV", "csv", QStringLiteral(TSR_CSV))));
    CAppSettings settings;
    SyncInstalledCount(settings);
    auto book = Doc("phonebook.tsr");
    {
        ScriptedPrompter prompter;
        prompter.Expect(kMsgExportDone);
        ASSERT_TRUE(RunExportFilter(*book->RecordSet(),
                                    Registration("CSV", "csv", QStringLiteral(TSR_CSV)),
                                    Path("book.csv")));
    }
    SetFilterFileDialogs(
        [&](QWidget*, const FilterFileRequest&, int& chosen) {
            chosen = 0;
            return Path("book.csv");
        },
        nullptr);
    ScriptedPrompter prompter;
    // A saved document with a step to undo: the import appends, and the step no longer
    // applies to what the document holds.
    ASSERT_EQ(DeleteRecordsUndoable(book->UndoStack(), *book, {0}, UndoText::Delete), 1);
    book->SetModifiedFlag(false);
    ASSERT_TRUE(book->CanUndo());
    const int count = book->RecordSet()->RecordCount();
    EXPECT_TRUE(RunImportCommand(*book, settings, nullptr));
    EXPECT_GT(book->RecordSet()->RecordCount(), count);
    EXPECT_EQ(book->UndoStack().count(), 0);
    EXPECT_FALSE(book->CanUndo());
    EXPECT_TRUE(book->IsModified()) << "closing must still ask to save the imported records";

    // Into a new document, which takes the imported set whole.
    auto fresh = Doc(nullptr);
    EXPECT_TRUE(RunImportCommand(*fresh, settings, nullptr));
    EXPECT_EQ(fresh->UndoStack().count(), 0);
    EXPECT_TRUE(fresh->IsModified());
    EXPECT_FALSE(fresh->UndoStack().isClean());
}

TEST_F(FilterDialogTest, BusyDialogIsApplicationModalAndCancelKillsTheFilter) {
    qputenv("PROBE_HANG", "1");
    CFilterProcess process;
    ASSERT_TRUE(process.Start({QStringLiteral(FILTER_PROBE), {}}, nullptr));
    CFilterBusyDlg dlg(process);
    EXPECT_EQ(dlg.windowModality(), Qt::ApplicationModal);
    QTimer::singleShot(50, &dlg, [&dlg] {
        EXPECT_TRUE(dlg.isVisible());
        dlg.reject();
    });
    dlg.exec();
    qunsetenv("PROBE_HANG");
    EXPECT_EQ(process.CurrentState(), CFilterProcess::State::Cancelled);

    // A filter that ends by itself closes the dialog without a click.
    CFilterProcess quick;
    ASSERT_TRUE(quick.Start({QStringLiteral(FILTER_PROBE), {}}, nullptr));
    CFilterBusyDlg wait(quick);
    EXPECT_EQ(wait.exec(), QDialog::Accepted);
    EXPECT_EQ(quick.CurrentState(), CFilterProcess::State::Finished);
}

TEST_F(FilterDialogTest, BusyDialogWaitsForAStoppedFilterAndASecondCancelKillsIt) {
    const QString log = Path("probe.log");
    qputenv("PROBE_LOG", log.toLocal8Bit());
    qputenv("PROBE_HANG", "1");
    qputenv("PROBE_IGNORE_TERM", "1"); // only SIGKILL ends it
    CFilterProcess process;
    ASSERT_TRUE(process.Start({QStringLiteral(FILTER_PROBE), {}}, nullptr));
    for (int i = 0; i < 3000 && ReadBytes(log).empty(); ++i)
        QThread::msleep(10);
    const qint64 pid = process.Pid();
    CFilterBusyDlg dlg(process);
    QString stopping;
    bool visibleAfterCancel = false;
    bool visibleBeforeSecond = false;
    QTimer::singleShot(0, &dlg, [&] {
        dlg.reject();
        visibleAfterCancel = dlg.isVisible();
        stopping = dlg.findChild<QLabel*>()->text();
        QTimer::singleShot(50, &dlg, [&] {
            visibleBeforeSecond = dlg.isVisible();
            dlg.reject(); // no more waiting
        });
    });
    dlg.exec();
    for (const char* v : {"PROBE_LOG", "PROBE_HANG", "PROBE_IGNORE_TERM"})
        qunsetenv(v);
    EXPECT_TRUE(visibleAfterCancel) << "the dialog stays while the filter may still write";
    EXPECT_TRUE(visibleBeforeSecond);
    EXPECT_EQ(stopping.toStdString(), "フィルタプログラムを終了させています...");
    EXPECT_EQ(process.CurrentState(), CFilterProcess::State::Cancelled);
    EXPECT_TRUE(ProcessGone(pid));
}

TEST_F(FilterDialogTest, TheMessageBoxCarriesTheNotesAsItsDetailText) {
    CGuiPrompter gui;
    Prompter* previous = CurrentPrompter();
    SetPrompter(&gui);
    struct Seen {
        QString text, details;
    };
    auto show = [](auto&& call) {
        Seen seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = {box->text(), box->detailedText()};
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(20);
        call();
        return seen;
    };
    const Seen with = show([] {
        ShowMessageWithDetails(kMsgFilterCancelled, PromptIcon::Warning, PromptButtons::Ok,
                               "レコード 1: 名前がありません\n2 行目: x");
    });
    const Seen without =
        show([] { ShowMessage(kMsgFilterCancelled, PromptIcon::Warning, PromptButtons::Ok); });
    SetPrompter(previous);
    EXPECT_EQ(with.text.toStdString(),
              "フィルタプログラムの実行を中止しました。何も変更されていません。");
    EXPECT_EQ(with.details.toStdString(), "レコード 1: 名前がありません\n2 行目: x");
    EXPECT_EQ(without.text, with.text);
    EXPECT_TRUE(without.details.isEmpty());
}

} // namespace
} // namespace tessera::test
