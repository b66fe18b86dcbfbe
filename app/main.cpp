// The tessera program: the window application. Everything it does is in tessera_app, so the
// widget tests can build the same windows.

#include <QApplication>
#include <QFont>

#include "app/TesseraApp.h"

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessera"));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(TESSERA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tessera"));

    tessera::CTesseraApp app;
    if (!app.InitInstance(QApplication::arguments()))
        return app.ExitCode();
    const int rc = QApplication::exec();
    app.ExitInstance();
    return rc;
}
