// The transfer commands of tessera-cli run as a user would, against zaurus-sim: exit codes,
// messages, the output file's safety, Ctrl+C, record lists and the add-in model check.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class TransferCliTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_env = QProcessEnvironment::systemEnvironment();
        // Never the user's settings.
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_env.insert(QStringLiteral("HOME"), m_dir.path());
    }
    void TearDown() override {
        if (m_sim) {
            m_sim->kill();
            m_sim->waitForFinished(3000);
        }
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Port() const { return Path(QStringLiteral("tty")); }

    void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QString Sample(const char* name) {
        return QStringLiteral(TESSERA_SAMPLES "/%1.tsr").arg(QLatin1String(name));
    }

    // Starts the simulated device on Port() and waits for it to be ready.
    void StartSim(QStringList args) {
        m_sim = std::make_unique<QProcess>();
        m_sim->setProcessEnvironment(m_env);
        args << QStringLiteral("--link") << Port() << QStringLiteral("--time-scale")
             << QStringLiteral("0.2");
        m_sim->start(QStringLiteral(TESSERA_ZAURUS_SIM), args);
        ASSERT_TRUE(m_sim->waitForStarted(5000));
        QByteArray out;
        while (!out.contains("ready") && m_sim->waitForReadyRead(5000))
            out += m_sim->readAllStandardOutput();
        ASSERT_TRUE(out.contains("ready")) << out.constData();
    }
    int SimExit() {
        if (!m_sim->waitForFinished(15000))
            return -1;
        return m_sim->exitCode();
    }

    CliRun Cli(const QStringList& args, int interruptAfterMs = -1) {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral(TESSERA_CLI), args);
        CliRun r;
        if (!p.waitForStarted(5000))
            return r;
        if (interruptAfterMs >= 0) {
            p.waitForFinished(interruptAfterMs);
            ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        }
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QStringList Link(const QString& method = QStringLiteral("cable")) const {
        return {QStringLiteral("--port"), Port(), QStringLiteral("--method"), method,
                QStringLiteral("--no-echo")};
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    std::unique_ptr<QProcess> m_sim;
};

TEST_F(TransferCliTest, ReceiveWritesTheReceivedRecords) {
    for (const char* method : {"cable", "ir"}) {
        StartSim({QStringLiteral("--method"), QLatin1String(method), QStringLiteral("--send"),
                  Sample("phonebook")});
        const QString out = Path(QStringLiteral("out.tsr"));
        QFile::remove(out);
        const CliRun r = Cli(QStringList{QStringLiteral("receive"), QStringLiteral("-o"), out} +
                             Link(QLatin1String(method)));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("1537"))) << r.err.toStdString();
        EXPECT_EQ(SimExit(), 0);
        EXPECT_EQ(ReadFile(out), ReadFile(Sample("phonebook"))) << method;
        const CliRun dump = Cli({QStringLiteral("dump"), out});
        EXPECT_EQ(dump.exitCode, 0);
        EXPECT_TRUE(dump.out.contains(QStringLiteral("\"kind\":1")));
    }
}

// A stream cut short fails the receive, and the file named by -o keeps what it held.
TEST_F(TransferCliTest, FailedReceiveLeavesTheOutputAlone) {
    QByteArray cut = ReadFile(Sample("schedule"));
    cut.chop(1);
    WriteFile(QStringLiteral("cut.tsr"), cut);
    WriteFile(QStringLiteral("keep.tsr"), "older contents");
    StartSim({QStringLiteral("--send"), Path(QStringLiteral("cut.tsr"))});
    const CliRun r = Cli(QStringList{QStringLiteral("receive"), QStringLiteral("-o"),
                                     Path(QStringLiteral("keep.tsr"))} +
                         Link());
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("1536"))) << r.err.toStdString();
    EXPECT_EQ(ReadFile(Path(QStringLiteral("keep.tsr"))), QByteArray("older contents"));
}

TEST_F(TransferCliTest, CtrlCCancelsAReceive) {
    StartSim({QStringLiteral("--send"), Sample("memo"), QStringLiteral("--mute")});
    const QString out = Path(QStringLiteral("never.tsr"));
    const CliRun r =
        Cli(QStringList{QStringLiteral("receive"), QStringLiteral("-o"), out} + Link(), 1500);
    EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("1538"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(TransferCliTest, PortThatCannotBeOpened) {
    const CliRun r = Cli(QStringList{QStringLiteral("receive"), QStringLiteral("-o"),
                                     Path(QStringLiteral("x.tsr"))} +
                         Link());
    EXPECT_EQ(r.exitCode, 3);
    const qsizetype open = r.err.indexOf(QStringLiteral("1120"));
    EXPECT_GE(open, 0) << r.err.toStdString();
    EXPECT_GT(r.err.indexOf(QStringLiteral("1536")), open);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("x.tsr"))));
}

TEST_F(TransferCliTest, SendOnlyTheListedRecords) {
    const QString got = Path(QStringLiteral("got.tsr"));
    StartSim({QStringLiteral("--method"), QStringLiteral("ir"), QStringLiteral("--receive"), got});
    const CliRun r = Cli(QStringList{QStringLiteral("send"), Sample("phonebook"),
                                     QStringLiteral("--records"), QStringLiteral("3,1-2")} +
                         Link(QStringLiteral("ir")));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("1540")));
    EXPECT_EQ(SimExit(), 0);
    const CliRun info = Cli({QStringLiteral("info"), got});
    EXPECT_TRUE(info.out.contains(QStringLiteral("records: 3"))) << info.out.toStdString();
}

TEST_F(TransferCliTest, BadOptionsAreUsageErrors) {
    const QString file = Sample("phonebook");
    const QStringList bad[] = {
        {QStringLiteral("send"), file, QStringLiteral("--records"), QStringLiteral("0")},
        {QStringLiteral("send"), file, QStringLiteral("--records"), QStringLiteral("3-1")},
        {QStringLiteral("send"), file, QStringLiteral("--records"), QStringLiteral("999")},
        {QStringLiteral("send"), file, QStringLiteral("--records"), QStringLiteral("1,x")},
        {QStringLiteral("send"), file, QStringLiteral("--method"), QStringLiteral("usb")},
        {QStringLiteral("send"), file, QStringLiteral("--bps"), QStringLiteral("1234")},
        {QStringLiteral("send"), file, QStringLiteral("--echo"), QStringLiteral("--no-echo")},
        {QStringLiteral("receive")},
        {QStringLiteral("addin"), file, QStringLiteral("--model"), QStringLiteral("PI-3000")},
        {QStringLiteral("addin"), file, QStringLiteral("--model"), QStringLiteral("PI-9999")},
    };
    for (const QStringList& args : bad) {
        const CliRun r = Cli(args + QStringList{QStringLiteral("--port"), Port()});
        EXPECT_EQ(r.exitCode, 1) << args.join(QLatin1Char(' ')).toStdString() << "\n"
                                 << r.err.toStdString();
    }
}

TEST_F(TransferCliTest, AddInInstallsTheFiles) {
    WriteFile(QStringLiteral("README.TXT"), "About this add-in\n");
    WriteFile(QStringLiteral("App.Exe"), QByteArray(700, 'a'));
    WriteFile(QStringLiteral("ADDIN.ZRS"), "ZRS,P,\"Demo\"\r\nREADME.TXT\r\nAPP.EXE\r\n");
    QDir().mkpath(Path(QStringLiteral("device")));
    StartSim({QStringLiteral("--pclink"), Path(QStringLiteral("device"))});
    const CliRun r = Cli(QStringList{QStringLiteral("addin"), Path(QStringLiteral("ADDIN.ZRS")),
                                     QStringLiteral("--model"), QStringLiteral("PI-6000")} +
                         Link());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("About this add-in")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("3092")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("1540")));
    EXPECT_EQ(SimExit(), 0);
    EXPECT_EQ(ReadFile(Path(QStringLiteral("device/S1/APP.EXE"))), QByteArray(700, 'a'));
}

// The device takes the last of twelve frames as damaged and leaves a stray ACK behind its
// NAK; the add-in still arrives whole.
TEST_F(TransferCliTest, AddInArrivesWholePastAStaleAck) {
    QByteArray app(3000, '\0');
    for (int i = 0; i < app.size(); ++i)
        app[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    WriteFile(QStringLiteral("README.TXT"), "x\n");
    WriteFile(QStringLiteral("APP.EXE"), app);
    WriteFile(QStringLiteral("ADDIN.ZRS"), "ZRS,P,\"Demo\"\r\nREADME.TXT\r\nAPP.EXE\r\n");
    StartSim({QStringLiteral("--pclink"), Path(QStringLiteral("device")),
              QStringLiteral("--stale-ack"), QStringLiteral("11")});
    const CliRun r = Cli(QStringList{QStringLiteral("addin"), Path(QStringLiteral("ADDIN.ZRS")),
                                     QStringLiteral("--model"), QStringLiteral("PI-6000")} +
                         Link());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(SimExit(), 0);
    EXPECT_EQ(ReadFile(Path(QStringLiteral("device/S1/APP.EXE"))), app);
}

// A document line that leaves the package is refused before the document is shown.
TEST_F(TransferCliTest, AddInNamingAFileOutsideShowsNothing) {
    WriteFile(QStringLiteral("SECRET.TXT"), "not for the add-in\n");
    QDir().mkpath(Path(QStringLiteral("pkg")));
    WriteFile(QStringLiteral("pkg/APP.EXE"), "x");
    WriteFile(QStringLiteral("pkg/ADDIN.ZRS"), "ZRS,P,\"Demo\"\r\n../SECRET.TXT\r\nAPP.EXE\r\n");
    const CliRun r = Cli(QStringList{QStringLiteral("addin"), Path(QStringLiteral("pkg/ADDIN.ZRS")),
                                     QStringLiteral("--model"), QStringLiteral("PI-6000")} +
                         Link());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("9240")) && r.err.contains(QStringLiteral("2563")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("../SECRET.TXT"))) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("not for the add-in")));
    EXPECT_FALSE(r.err.contains(QStringLiteral("3092")));
}

TEST_F(TransferCliTest, AddInDeclinedOrBrokenStartsNothing) {
    WriteFile(QStringLiteral("README.TXT"), "x");
    WriteFile(QStringLiteral("ADDIN.ZRS"), "ZRS,P,\"Demo\"\r\nREADME.TXT\r\nNONE.EXE\r\n");
    CliRun r = Cli(QStringList{QStringLiteral("addin"), Path(QStringLiteral("ADDIN.ZRS")),
                               QStringLiteral("--model"), QStringLiteral("MobileZ")} +
                   Link());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("2561")) && r.err.contains(QStringLiteral("2563")))
        << r.err.toStdString();

    WriteFile(QStringLiteral("APP.EXE"), "x");
    WriteFile(QStringLiteral("ADDIN.ZRS"), "ZRS,P,\"Demo\"\r\nREADME.TXT\r\nAPP.EXE\r\n");
    r = Cli(QStringList{QStringLiteral("--answer"), QStringLiteral("cancel"),
                        QStringLiteral("addin"), Path(QStringLiteral("ADDIN.ZRS")),
                        QStringLiteral("--model"), QStringLiteral("8000")} +
            Link());
    EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("1120")));
}

} // namespace
