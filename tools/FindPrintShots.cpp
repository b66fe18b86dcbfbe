// Takes the pictures of the manual's finding and printing section: the phone book filtered
// by a reading typed into the find bar, and the print preview of that table. Run on Qt's
// offscreen platform: tessera-findprint-screenshots OUTPUT-FOLDER.

#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "base/Cp932.h"
#include "document/FindBar.h"
#include "document/TesseraView.h"
#include "model/Prompter.h"
#include "print/TablePrint.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
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
    for (int i = 0; i < 10; ++i)
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

} // namespace

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: tessera-findprint-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    // Never touch the user's own settings.
    QTemporaryDir settingsDir;
    QStandardPaths::setTestModeEnabled(true);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settingsDir.path());
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                        QStringLiteral("Tessera"));
        const std::pair<const char*, int> widths[] = {{"SCRT", 70},  {"NAME", 100}, {"NAPR", 120},
                                                      {"TEL1", 110}, {"ZIPC", 80},  {"ADR1", 200},
                                                      {"BRTH", 90},  {"RMRK", 160}};
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
    frame->resize(1000, 520);
    frame->show();

    if (frame->OpenDocumentFile(
            QStringLiteral(TESSERA_SOURCE_DIR "/resources/samples/phonebook.tsr")) == nullptr)
        return 1;
    frame->ActiveChild()->showMaximized();
    int failures = 0;

    // The reading typed in katakana finds the records whose reading is in hiragana.
    tessera::CFindBar* bar = frame->ActiveChild()->FindBar();
    bar->Activate();
    bar->Edit()->insert(QStringLiteral("タ"));
    frame->ActiveView()->selectRow(0);
    failures += !Save(frame, out, "find-bar.png");

    // The print preview of the table as shown: all rows again, sorted by reading.
    bar->Edit()->clear();
    frame->ActiveView()->OnHeaderClicked(2);
    const tessera::CPrintTable table = frame->ActiveView()->PrintTable();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    QPrintPreviewDialog preview(&printer, frame);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&table](QPrinter* p) { tessera::PaintTable(*p, table); });
    preview.resize(900, 640);
    preview.show();
    failures += !Save(&preview, out, "print-preview.png");
    preview.close();
    return failures == 0 ? 0 : 1;
}
