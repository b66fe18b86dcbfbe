// Takes the pictures of the user manual: the main window with a phone book, with a schedule,
// without documents, the about box and the record table's context menu. Run by
// scripts/screenshots.sh on Qt's offscreen platform; every PNG goes to the folder given.

#include "RecordFactory.h"
#include "ShotLanguage.h"
#include "app/AboutDlg.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "base/Cp932.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "document/UndoCommands.h"
#include "model/Prompter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

class PrintingPrompter : public tessera::Prompter {
public:
    tessera::PromptResult Show(int id, const std::string& text, tessera::PromptIcon,
                               tessera::PromptButtons buttons) override {
        fprintf(stderr, "message %d: %s\n", id, qPrintable(tessera::Cp932ToQString(text)));
        return tessera::DefaultPromptResult(buttons);
    }
};

void Settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool Save(QWidget* w, const QString& dir, const char* name) {
    Settle();
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!w->grab().save(path)) {
        fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    printf("%s\n", qPrintable(path));
    return true;
}

// A sample of `kind` from the repository, else a generated one, as a file in `tmp`.
QString SampleFile(const QTemporaryDir& tmp, int kind, const char* name, int count) {
    const QString sample =
        QStringLiteral(TESSERA_SOURCE_DIR "/resources/samples/") + QLatin1String(name);
    if (QFile::exists(sample))
        return sample;
    const QString path = tmp.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        const std::string text = tessera::testdata::MakeTextForm(kind, count);
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    return path;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    tessera::shots::DefaultShotLanguage();
    if (argc < 2) {
        fprintf(stderr, "usage: tessera-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    // Never touch the user's own settings.
    QTemporaryDir settingsDir;
    QStandardPaths::setTestModeEnabled(true);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settingsDir.path());

    // Column widths as a user would have set them for dates and addresses.
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                        QStringLiteral("Tessera"));
        const std::pair<const char*, int> widths[] = {
            {"SCRT", 80},  {"NAME", 100}, {"NAPR", 110}, {"TEL1", 110}, {"ZIPC", 80},
            {"ADR1", 190}, {"BRTH", 90},  {"TIM1", 130}, {"TIM2", 130}, {"ALRM", 130},
            {"ALON", 90},  {"MEM1", 220}, {"RMRK", 110}};
        for (const auto& [tag, width] : widths)
            store.setValue(QStringLiteral("Field Width/") + QLatin1String(tag), width);
    }

    PrintingPrompter prompter;
    tessera::SetPrompter(&prompter);

    tessera::CTesseraApp::Options options;
    options.singleInstance = false;
    options.installPrompter = false;
    options.showWindow = false;
    tessera::CTesseraApp app(options);
    if (!app.InitInstance({QStringLiteral("tessera")}))
        return 1;
    tessera::CMainFrame* frame = app.MainFrame();
    frame->resize(1000, 620);
    frame->show();
    int failures = 0;

    failures += !Save(frame, out, "main-empty.png");

    QTemporaryDir tmp;
    const QString phone = SampleFile(tmp, tessera::kKindPhoneBook, "phonebook.tsr", 40);
    const QString schedule = SampleFile(tmp, tessera::kKindSchedule, "schedule.tsr", 30);

    tessera::CTesseraDoc* doc = frame->OpenDocumentFile(phone);
    if (doc == nullptr)
        return 1;
    frame->ActiveChild()->showMaximized();

    // The record table sorted by reading, with a row selected, and its context menu.
    tessera::CTesseraView* view = frame->ActiveView();
    view->OnHeaderClicked(2);
    view->selectRow(3);
    failures += !Save(frame, out, "main-phonebook.png");
    QMenu* popup = view->CreateContextMenu(view);
    popup->popup(frame->mapToGlobal(QPoint(300, 200)));
    failures += !Save(popup, out, "record-popup.png");
    popup->close();
    delete popup;

    for (QMenu* m : frame->CurrentMenus()) {
        if (m->objectName() == QLatin1String("FileMenu1")) {
            m->popup(frame->mapToGlobal(QPoint(10, 30)));
            failures += !Save(m, out, "menu-file.png");
            m->close();
        }
        if (m->objectName() == QLatin1String("EditMenu1")) {
            // With one deleted record to take back.
            tessera::DeleteRecordsUndoable(doc->UndoStack(), *doc,
                                           {view->Model()->RecordIndexAt(3)},
                                           tessera::UndoText::Delete);
            m->popup(frame->mapToGlobal(QPoint(60, 30)));
            failures += !Save(m, out, "menu-edit.png");
            m->close();
            doc->UndoStack().undo();
        }
        if (m->objectName() == QLatin1String("RecordMenu1")) {
            m->popup(frame->mapToGlobal(QPoint(10, 30)));
            failures += !Save(m, out, "menu-record.png");
            m->close();
        }
    }

    frame->CloseAllDocuments();
    Settle();
    if (frame->OpenDocumentFile(schedule) == nullptr)
        return 1;
    frame->ActiveChild()->showMaximized();
    failures += !Save(frame, out, "main-schedule.png");

    // Two documents side by side.
    frame->OpenDocumentFile(phone);
    frame->MdiArea()->tileSubWindows();
    failures += !Save(frame, out, "main-tiled.png");

    {
        tessera::CAboutDlg about(frame);
        about.show();
        failures += !Save(&about, out, "about.png");
        about.close();
    }

    frame->CloseAllDocuments();
    Settle();
    app.ExitInstance();
    tessera::SetPrompter(nullptr);
    return failures == 0 ? 0 : 1;
}
