#pragma once
// One QApplication for a widget test program (gtest_main does not make one).

#include <QApplication>

namespace tessera::test {

inline QApplication& WidgetApp() {
    static int argc = 1;
    static char name[] = "dialog-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr
                                   ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                   : new QApplication(argc, argv);
    return *app;
}

} // namespace tessera::test

namespace tessera::test {

// As a fixture's first member: the application exists before any widget member is built.
struct WidgetAppGuard {
    WidgetAppGuard() { WidgetApp(); }
};

} // namespace tessera::test
