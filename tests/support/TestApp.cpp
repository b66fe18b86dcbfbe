#include "support/TestApp.h"

#include <QCoreApplication>

namespace tessera::test {

QCoreApplication& CoreApp() {
    static int argc = 1;
    static char name[] = "tessera-tests";
    static char* argv[] = {name, nullptr};
    // Never deleted: objects made during the tests may still refer to it at exit.
    static QCoreApplication* app = QCoreApplication::instance() != nullptr
                                       ? QCoreApplication::instance()
                                       : new QCoreApplication(argc, argv);
    return *app;
}

void CoreAppEnvironment::SetUp() {
    CoreApp();
}

} // namespace tessera::test
