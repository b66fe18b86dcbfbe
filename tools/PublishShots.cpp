// Renders the publish dialog to a PNG file for the documentation:
//   QT_QPA_PLATFORM=offscreen publish-screenshots <output folder>
// The settings go to a temporary folder.

#include "ShotLanguage.h"
#include "app/publish/PublishDlg.h"
#include "support/TempSettings.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

using namespace tessera;

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
    PublishChoice c;
    c.url = QStringLiteral("https://dav.example.org/");
    c.user = QStringLiteral("hanako");
    c.password = QStringLiteral("password");
    c.remember = true;
    c.folder = QStringLiteral("/home/hanako/Tessera/backup");
    CPublishDlg dlg(c, QStringLiteral("phonebook.tsr"), QString());
    dlg.show();
    QApplication::processEvents();
    const QString path = out.filePath(QStringLiteral("publish.png"));
    const bool ok = dlg.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok ? 0 : 1;
}
