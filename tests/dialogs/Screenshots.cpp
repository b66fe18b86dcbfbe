// Renders the dialogs of this folder to PNG files for the documentation:
//   tone-dialog-screenshots <output folder>
// Run it on the offscreen platform; every picture is what the widget itself paints.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <vector>

#include "app/dlg/ReportPrintDlg.h"

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
    return ok ? 0 : 1;
}
