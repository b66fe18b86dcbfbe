// The tessera program: the window application. Everything it does is in tessera_app, so the
// widget tests can build the same windows.

#include <QApplication>
#include <QFont>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "app/TesseraApp.h"

namespace {

#ifdef Q_OS_UNIX
int g_signalPipe[2] = {-1, -1};

extern "C" void OnTerminateSignal(int signo) {
    // A second signal of the same kind ends the program at once.
    std::signal(signo, SIG_DFL);
    const char byte = static_cast<char>(signo);
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP close the main window the way its close box does (the save
// question, a running transfer's question, and the clean-up of this run's demo line, lock
// and socket) instead of leaving them behind.
void CloseOnTerminateSignals(tessera::CTesseraApp& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&app] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &byte, 1);
        // Still starting (a start-up message is up): the start ends once it has returned.
        app.RequestQuit();
    });
    for (int signo : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signo, OnTerminateSignal);
}
#else
// Elsewhere the system closes the window through its own messages.
void CloseOnTerminateSignals(tessera::CTesseraApp&) {}
#endif

} // namespace

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessera"));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(TESSERA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tessera"));

    tessera::CTesseraApp app;
    CloseOnTerminateSignals(app);
    if (!app.InitInstance(QApplication::arguments()))
        return app.ExitCode();
    const int rc = QApplication::exec();
    app.ExitInstance();
    return rc;
}
