// Import and export from a running Tessera window: the commands of the table view, with the
// filters registered as a first start leaves them, the busy dialog in between and the
// messages the user sees.

#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "app/filters/FilterBusyDlg.h"
#include "base/AppSettings.h"
#include "document/CommandIds.h"
#include "document/FilterCommands.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "gui/GuiTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

namespace tessera::test {
namespace {

FilterProgram Registration(const char* name, const char* ext, const char* program) {
    FilterProgram f;
    f.name = QString::fromLatin1(name);
    f.extension = QString::fromLatin1(ext);
    f.program = QString::fromLocal8Bit(program);
    return f;
}

// Answers a file dialog with `path` and the filter whose description starts with `name`.
FilterFileDialog Answer(const QString& path, const QString& name) {
    return [path, name](QWidget*, const FilterFileRequest& r, int& chosen) {
        chosen = -1;
        for (int i = 0; i < r.filters.size(); ++i)
            if (r.filters.at(i).startsWith(name + QStringLiteral(" (")))
                chosen = i;
        return path;
    };
}

TEST(GuiFilters, TheSamplePhoneBookGoesToVCardAndComesBackFromTheWindow) {
    TempSettings settings;
    for (const FilterProgram& f :
         {Registration("CSV", "csv", TSR_CSV), Registration("vCard", "vcf", TSR_VCARD),
          Registration("iCalendar", "ics", TSR_ICAL)})
        ASSERT_TRUE(CAppSettings::WriteFilter(f));
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    StartedApp started({}, false, false);
    ASSERT_TRUE(started.started);
    CMainFrame* frame = started.app->MainFrame();
    EXPECT_EQ(started.app->Settings().Installed, 3)
        << "the count follows the registrations at start";

    CTesseraDoc* book = frame->OpenDocumentFile(QStringLiteral(TESSERA_SAMPLES "/phonebook.tsr"));
    ASSERT_NE(book, nullptr);
    ASSERT_FALSE(book->Views().isEmpty());
    ASSERT_EQ(frame->ActiveView(), book->Views().front());
    CommandState state;
    ASSERT_TRUE(frame->Router().UpdateCommand(ID_FILE_EXPORT, state)); // the book is active
    EXPECT_TRUE(state.enabled);

    const QString vcf = dir.filePath(QStringLiteral("book"));
    SetFilterFileDialogs(Answer(dir.filePath(QStringLiteral("book.vcf")), QStringLiteral("vCard")),
                         Answer(vcf, QStringLiteral("vCard")));
    prompter.Expect(1290);
    EXPECT_TRUE(frame->RouteCommand(ID_FILE_EXPORT));
    EXPECT_EQ(prompter.Count(1290), 1);
    EXPECT_FALSE(ReadBytes(vcf + QStringLiteral(".vcf")).empty()) << "the extension was added";

    CTesseraDoc* fresh = frame->NewDocument();
    ASSERT_NE(fresh, nullptr);
    CTesseraView* freshView = fresh->Views().front();
    ASSERT_EQ(frame->ActiveView(), freshView);
    ASSERT_TRUE(frame->Router().UpdateCommand(ID_FILE_EXPORT, state));
    EXPECT_FALSE(state.enabled) << "nothing to export from a new document";
    ASSERT_TRUE(frame->Router().UpdateCommand(ID_FILE_IMPORT, state));
    EXPECT_TRUE(state.enabled);
    EXPECT_TRUE(frame->RouteCommand(ID_FILE_IMPORT));
    ASSERT_NE(fresh->RecordSet(), nullptr);
    EXPECT_EQ(Rows(*fresh->RecordSet()), Rows(*book->RecordSet()));
    EXPECT_TRUE(fresh->IsModified());
    EXPECT_EQ(freshView->model()->rowCount(), book->RecordSet()->RecordCount())
        << "the table shows them";
    SetFilterFileDialogs(nullptr, nullptr);
    fresh->SetModifiedFlag(false);
}

TEST(GuiFilters, CancelInTheBusyDialogStopsAHangingExportAndKeepsTheFile) {
    TempSettings settings;
    QTemporaryDir dir;
    // A filter that never ends, with a child of its own; it tells its process ids once it runs.
    const QString script = dir.filePath(QStringLiteral("hang.sh"));
    const QString pids = dir.filePath(QStringLiteral("pids"));
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nsleep 100000 &\necho $! $$ > \"$0.new\" && mv \"$0.new\" \"" +
                pids.toLocal8Bit() + "\"\nwait\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    ASSERT_TRUE(
        CAppSettings::WriteFilter(Registration("Hang", "csv", script.toLocal8Bit().constData())));
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    const QString target = out + QStringLiteral("/book.csv");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the user's file");
    }
    ScriptedPrompter prompter;
    StartedApp started({}, false, false);
    ASSERT_TRUE(started.started);
    CTesseraDoc* book = started.app->MainFrame()->OpenDocumentFile(
        QStringLiteral(TESSERA_SAMPLES "/phonebook.tsr"));
    ASSERT_NE(book, nullptr);
    SetFilterFileDialogs(nullptr, Answer(target, QStringLiteral("Hang")));
    prompter.Expect(kMsgFilterOverwrite, PromptResult::Yes).Expect(kMsgFilterCancelled);
    // The user presses Cancel once the filter runs.
    QTimer poll;
    bool cancelled = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* busy = qobject_cast<CFilterBusyDlg*>(QApplication::activeModalWidget());
        if (busy != nullptr && QFile::exists(pids) && !cancelled) {
            cancelled = true;
            busy->reject();
        }
    });
    poll.start(20);
    EXPECT_TRUE(started.app->MainFrame()->RouteCommand(
        ID_FILE_EXPORT)); // handled; its outcome is the message
    poll.stop();
    SetFilterFileDialogs(nullptr, nullptr);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(ReadBytes(target), "the user's file");
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"book.csv"});
    for (const QByteArray& id : QByteArray::fromStdString(ReadBytes(pids)).trimmed().split(' '))
        EXPECT_TRUE(WaitUntilGone(id.toLongLong())) << id.toStdString();
}

} // namespace
} // namespace tessera::test
