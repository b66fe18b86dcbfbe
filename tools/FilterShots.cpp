// Renders the filter registration dialogs to PNG files for the documentation:
//   filter-dialog-screenshots <output folder>
// Run it on the offscreen platform; the settings go to a temporary folder.

#include "ShotLanguage.h"
#include "app/filters/FilterProgDlg.h"
#include "app/filters/FilterSetDlg.h"
#include "base/AppSettings.h"
#include "support/TempSettings.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <cstdio>

using namespace tessera;

namespace {

bool Save(QWidget& w, const QString& path) {
    w.show();
    QApplication::processEvents();
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

FilterProgram Make(const char* name, const char* ext, const char* program) {
    FilterProgram f;
    f.name = QString::fromUtf8(name);
    f.extension = QString::fromLatin1(ext);
    f.program = QString::fromUtf8(program);
    return f;
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
    tessera::test::TempSettings temp;
    CAppSettings::WriteFilter(Make("CSV", "csv", "/usr/bin/tsr-csv"));
    CAppSettings::WriteFilter(Make("vCard", "vcf", "/usr/bin/tsr-vcard"));
    CAppSettings::WriteFilter(Make("iCalendar", "ics", "/usr/bin/tsr-ical"));
    bool ok = true;
    {
        CAppSettings settings;
        CFilterSetDlg dlg(settings);
        dlg.List()->item(1)->setSelected(true);
        ok &= Save(dlg, out.filePath(QStringLiteral("filter-set.png")));
    }
    {
        CFilterProgDlg dlg(Make("vCard", "vcf", "/usr/bin/tsr-vcard"), true);
        ok &= Save(dlg, out.filePath(QStringLiteral("filter-prog.png")));
    }
    return ok ? 0 : 1;
}
