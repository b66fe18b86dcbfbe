// The tessera program as a process: its command line answers and exits without a window,
// and a terminate signal closes it like its close box, so this run's demo line, lock and
// socket do not outlive it.

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QStringList Entries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

// The program offscreen, with runtime and settings folders of the test's own.
void UseOwnFolders(QProcess& p, const QTemporaryDir& runtime, const QTemporaryDir& config) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    p.setProcessEnvironment(env);
}

// --help, --version and a mistyped option answer on their own stream and exit at once,
// leaving nothing behind in the runtime folder.
TEST(Program, CommandLineAnswersAndExits) {
    const struct {
        QStringList args;
        int exitCode;
        bool onStdout;
        const char* text;
    } cases[] = {
        {{QStringLiteral("--help")}, 0, true, "Usage: tessera [options] [files...]"},
        {{QStringLiteral("--help")}, 0, true, "--lang <code>"},
        {{QStringLiteral("--version")}, 0, true, "Tessera "},
        {{QStringLiteral("--bogus")}, 2, false, "Unknown option 'bogus'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        QTemporaryDir runtime, config;
        ASSERT_TRUE(runtime.isValid() && config.isValid());
        QProcess p;
        UseOwnFolders(p, runtime, config);
        p.start(QStringLiteral(TESSERA_PROGRAM), c.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.exitCode);
        const QByteArray out = c.onStdout ? p.readAllStandardOutput() : p.readAllStandardError();
        EXPECT_TRUE(out.contains(c.text)) << out.toStdString();
        EXPECT_TRUE(Entries(runtime.path()).isEmpty())
            << Entries(runtime.path()).join(QLatin1Char(' ')).toStdString();
    }
}

TEST(Program, TerminateSignalClosesTheWindowAndCleansUp) {
    QTemporaryDir runtime, config;
    ASSERT_TRUE(runtime.isValid() && config.isValid());
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess p;
    UseOwnFolders(p, runtime, config);
    p.start(QStringLiteral(TESSERA_PROGRAM), {QStringLiteral("--demo")});
    ASSERT_TRUE(p.waitForStarted(10000));

    // Up and running: the demo device's line is in the runtime folder. Its first check of
    // the line makes the link and takes it away again, so wait until it stays.
    const auto hasLine = [&runtime] {
        return Entries(runtime.path())
            .join(QLatin1Char(' '))
            .contains(QLatin1String("tessera-demo"));
    };
    QElapsedTimer t;
    t.start();
    int seen = 0;
    while (seen < 10 && t.elapsed() < 20000) {
        seen = hasLine() ? seen + 1 : 0;
        QThread::msleep(50);
    }
    ASSERT_TRUE(
        Entries(runtime.path()).join(QLatin1Char(' ')).contains(QLatin1String("tessera-demo")))
        << Entries(runtime.path()).join(QLatin1Char(' ')).toStdString();

    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(Entries(runtime.path()).isEmpty())
        << Entries(runtime.path()).join(QLatin1Char(' ')).toStdString();
}

} // namespace
