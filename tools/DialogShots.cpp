// Renders the dialogs of this folder to PNG files for the documentation:
//   tone-dialog-screenshots <output folder>
// Run it on the offscreen platform; every picture is what the widget itself paints.

#include "ShotLanguage.h"
#include "app/editors/report/ReportPrintDlg.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <vector>
#ifdef TONE_WITH_SETTINGS_SHEET
#include "app/settings/SettingsSheet.h"
#include "base/AppSettings.h"

#include <QTabWidget>
#endif

using namespace tessera;

namespace {

bool Save(QWidget& w, const QString& path) {
    w.show();
    QApplication::processEvents();
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tessera::shots::UseShotLanguage();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    bool ok = true;

    {
        CReportPrintDlg dlg;
        dlg.SetSettings({true, true, false, 1, 0});
        ok &= Save(dlg, out.filePath(QStringLiteral("report-print.png")));
        dlg.SetSettings({false, true, true, 3, 2});
        ok &= Save(dlg, out.filePath(QStringLiteral("report-print-off.png")));
    }
#ifdef TONE_WITH_SETTINGS_SHEET
    {
        // Built-in defaults only: nothing is read from or written to the settings store.
        CAppSettings settings;
        settings.Method = 1;
        settings.SetModel(4);
        settings.CallOut = QStringLiteral("0,");
        const char* names[] = {"settings-port.png", "settings-edit.png", "settings-file.png",
                               "settings-model.png", "settings-dial.png"};
        for (bool tones : {true, false}) {
            CSettingsSheet sheet(settings, nullptr, [tones] { return tones; });
            sheet.SetPortChoices(
                {{QStringLiteral("ttyS0"), QString()},
                 {QStringLiteral("ttyUSB0"), QStringLiteral("USB-Serial Controller (Prolific)")}});
            sheet.Tabs()->setCurrentIndex(0);
            sheet.SetPortChoices(
                {{QStringLiteral("ttyS0"), QString()},
                 {QStringLiteral("ttyUSB0"), QStringLiteral("USB-Serial Controller (Prolific)")}});
            for (int i = 0; i < 5; ++i) {
                if (!tones && i != CSettingsSheet::DialPage)
                    continue;
                sheet.Tabs()->setCurrentIndex(i);
                QString name = QString::fromLatin1(names[i]);
                if (!tones)
                    name.replace(QStringLiteral(".png"), QStringLiteral("-noaudio.png"));
                ok &= Save(sheet, out.filePath(name));
            }
        }
    }
#endif
    return ok ? 0 : 1;
}
