// Takes the pictures of the backup session window for the manual: streams coming in from the
// simulated device (one in progress), the sitting after 完了, and the export dialog. Run on
// the offscreen platform:
//     QT_QPA_PLATFORM=offscreen backup-screenshots docs/screenshots

#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "app/backup/BackupDlg.h"
#include "app/backup/BundleDlg.h"
#include "base/Cp932.h"
#include "document/RecordCommands.h"
#include "model/Prompter.h"
#include "sim/SimDevice.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>

using namespace tessera;

namespace {

class QuietPrompter : public Prompter {
public:
    PromptResult Show(int id, const std::string& text, PromptIcon, PromptButtons buttons) override {
        std::fprintf(stderr, "message %d: %s\n", id, qPrintable(Cp932ToQString(text)));
        return DefaultPromptResult(buttons);
    }
};

bool WaitFor(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

bool Save(QWidget* w, const QString& dir, const char* name) {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

std::string Sample(const char* name) {
    QFile f(
        QStringLiteral(TESSERA_SOURCE_DIR "/resources/samples/%1.tsr").arg(QLatin1String(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

} // namespace

int main(int argc, char** argv) {
    // The backup folder is pictured where a user's would be.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication qapp(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("IPAPGothic"), 10));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir settingsDir, work;
    QStandardPaths::setTestModeEnabled(true);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settingsDir.path());
    QuietPrompter prompter;
    SetPrompter(&prompter);

    CTesseraApp::Options options;
    options.singleInstance = false;
    options.installPrompter = false;
    options.showWindow = false;
    CTesseraApp app(options);
    if (!app.InitInstance({QStringLiteral("tessera")}))
        return 1;
    CMainFrame* frame = app.MainFrame();

    // Three kinds, the last one slow enough to be pictured on its way.
    sim::SimConfig cfg;
    cfg.method = sim::SimMethod::Cable;
    cfg.role = sim::SimRole::Send;
    cfg.timing = sim::SimTiming{}.Scaled(0.1);
    cfg.sendData = Sample("phonebook");
    cfg.moreSends = {Sample("schedule"), Sample("memo")};
    cfg.sendGap = std::chrono::milliseconds(300);
    sim::SimThread device(cfg);
    if (!device.Ok())
        return 1;
    SetJobLinkAdjuster([port = QString::fromStdString(device.PortName())](JobLink& link) {
        link.method = 1;
        link.portName = port;
        link.bitsPerSecond = 9600;
        link.timing = LinkTiming{}.Scaled(0.1);
    });
    bundle::SessionOptions session;
    frame->RecordCommands().FillLink(session.link);
    session.idleSeconds = 0;
    session.stopOnLinkFailure = false;

    int failures = 0;
    auto* dlg = new CBackupDlg(
        *frame, QDir(home.path()).filePath(QStringLiteral("Documents/Tessera/backup-2026-12-08")),
        session);
    dlg->show();
    if (!WaitFor([&] { return dlg->Rows() == 3; }, 120000))
        return 1;
    failures += !Save(dlg, out, "backup-session.png");
    dlg->Finish();
    WaitFor([&] { return !dlg->Running(); }, 60000);
    failures += !Save(dlg, out, "backup-done.png");
    dlg->close();
    delete dlg;

    CBundleDlg bundleDlg(*frame);
    bundleDlg.SetFromFolder(QStringLiteral("~/Documents/Tessera/backup-2026-12-08"));
    bundleDlg.SetOutput(QStringLiteral("~/Documents/Tessera/export-2026-12-08"));
    bundleDlg.show();
    failures += !Save(&bundleDlg, out, "export-bundle.png");
    device.Stop();
    return failures == 0 ? 0 : 1;
}
