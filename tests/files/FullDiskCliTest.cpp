// tessera-cli's outputs when the disk is full, and the receive, send and build cases where a
// failure used to pass for a success. The full disk is a real one: a 32 KiB tmpfs mounted in
// a user namespace (skipped where unshare or mount is refused), or a file-size limit.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Mounts a full tmpfs at DIR, copies OLD into it as doc.tsr, runs the rest of the arguments
// and copies doc.tsr and the listing of DIR out to OUT before the mount goes away.
constexpr const char* kFullDiskScript =
    "dir=$1; old=$2; out=$3; shift 3\n"
    "mount -t tmpfs -o size=32k tmpfs \"$dir\" || exit 99\n"
    "cp \"$old\" \"$dir/doc.tsr\" || exit 99\n"
    "dd if=/dev/zero of=\"$dir/fill\" bs=1024 count=64 2>/dev/null\n"
    "\"$@\"; rc=$?\n"
    "cp \"$dir/doc.tsr\" \"$out/after.tsr\"; ls \"$dir\" > \"$out/files.txt\"\n"
    "exit $rc\n";

class FullDiskCliTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
        m_env.insert(QStringLiteral("HOME"), m_dir.path());
        QDir().mkpath(Path(QStringLiteral("config/Quillon")));
        QDir().mkpath(Path(QStringLiteral("disk")));
        // A filter that hands a record-set file back as it is, for import.
        const QString filter = Path(QStringLiteral("same.sh"));
        WriteFile(QStringLiteral("same.sh"), "#!/bin/sh\ncat \"$2\"\n");
        QFile::setPermissions(filter, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSettings store(Path(QStringLiteral("config/Quillon/Tessera.conf")), QSettings::IniFormat);
        store.setValue(QStringLiteral("FilterPrograms/Same/szExtension"), QStringLiteral("tsr"));
        store.setValue(QStringLiteral("FilterPrograms/Same/szFilter"), filter);
        store.setValue(QStringLiteral("FilterPrograms/Same/bPerlScript"), 0);
        store.setValue(QStringLiteral("Filters/Installed"), 3);
        store.sync();
        ASSERT_EQ(Cli({QStringLiteral("dump"), Sample("phonebook")}, &m_json).exitCode, 0);
        WriteFile(QStringLiteral("book.json"), m_json.toUtf8());
    }
    void TearDown() override {
        if (m_sim) {
            m_sim->kill();
            m_sim->waitForFinished(3000);
        }
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Port() const { return Path(QStringLiteral("tty")); }
    static QString Sample(const char* name) {
        return QStringLiteral(TESSERA_SAMPLES "/%1.tsr").arg(QLatin1String(name));
    }
    void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList Link() const {
        return {QStringLiteral("--port"), Port(), QStringLiteral("--method"),
                QStringLiteral("cable"), QStringLiteral("--no-echo")};
    }

    CliRun Run(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(program, args);
        CliRun r;
        if (!p.waitForStarted(5000))
            return r;
        if (!p.waitForFinished(90000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    CliRun Cli(const QStringList& args, QString* out = nullptr) {
        CliRun r = Run(QStringLiteral(TESSERA_CLI), args);
        if (out != nullptr)
            *out = r.out;
        return r;
    }
    // Runs tessera-cli with its output on a full disk that holds `old` as doc.tsr.
    CliRun CliOnFullDisk(const QString& old, const QStringList& args) {
        QFile::remove(Path(QStringLiteral("after.tsr")));
        return Run(QStringLiteral("unshare"),
                   QStringList{QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                               QString::fromLatin1(kFullDiskScript), QStringLiteral("sh"),
                               Path(QStringLiteral("disk")), old, m_dir.path(),
                               QStringLiteral(TESSERA_CLI)} +
                       args);
    }
    // Runs tessera-cli where no file may grow beyond `blocks` 512-byte blocks.
    CliRun CliWithFileLimit(int blocks, const QStringList& args) {
        return Run(
            QStringLiteral("sh"),
            QStringList{QStringLiteral("-c"),
                        QStringLiteral("trap '' XFSZ; ulimit -f %1 && exec \"$@\"").arg(blocks),
                        QStringLiteral("sh"), QStringLiteral(TESSERA_CLI)} +
                args);
    }
    bool FullDiskWorks() {
        const CliRun probe =
            Run(QStringLiteral("unshare"),
                {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("mount -t tmpfs -o size=32k tmpfs \"$1\" && echo mounted"),
                 QStringLiteral("sh"), Path(QStringLiteral("disk"))});
        return probe.exitCode == 0 && probe.out.contains(QStringLiteral("mounted"));
    }

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

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    std::unique_ptr<QProcess> m_sim;
    QString m_json;
};

// Every command that writes -o keeps the old file whole and exits 2 with the system's reason.
TEST_F(FullDiskCliTest, OutputsOnAFullDiskLeaveTheOldFileWhole) {
    if (!FullDiskWorks())
        GTEST_SKIP() << "unshare or mount of a tmpfs is refused here";
    const QString old = Sample("schedule");
    const QString target = Path(QStringLiteral("disk/doc.tsr"));
    struct Case {
        const char* what;
        QStringList args;
        bool needsSim;
    };
    const Case cases[] = {
        {"build",
         {QStringLiteral("build"), Path(QStringLiteral("book.json")), QStringLiteral("-o"), target},
         false},
        {"import",
         {QStringLiteral("import"), Sample("phonebook"), QStringLiteral("--filter"),
          QStringLiteral("Same"), QStringLiteral("-o"), target},
         false},
        {"receive", QStringList{QStringLiteral("receive"), QStringLiteral("-o"), target} + Link(),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsSim)
            StartSim({QStringLiteral("--send"), Sample("phonebook")});
        const CliRun r = CliOnFullDisk(old, c.args);
        ASSERT_NE(r.exitCode, 99) << r.err.toStdString();
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device")))
            << r.err.toStdString();
        EXPECT_EQ(ReadFile(Path(QStringLiteral("after.tsr"))), ReadFile(old));
        EXPECT_EQ(ReadFile(Path(QStringLiteral("files.txt"))), QByteArray("doc.tsr\nfill\n"))
            << "no temporary file stays";
        if (c.needsSim) {
            // The output is written before success is told: never 1537 and then a failure.
            EXPECT_FALSE(r.err.contains(QStringLiteral("1537"))) << r.err.toStdString();
            const qsizetype cannot = r.err.indexOf(QStringLiteral("cannot write"));
            EXPECT_GE(cannot, 0);
            EXPECT_GT(r.err.indexOf(QStringLiteral("1536")), cannot) << r.err.toStdString();
            m_sim->waitForFinished(15000);
            m_sim.reset();
        }
    }
}

// The same without a namespace: a file-size limit fails the final flush of a small output.
TEST_F(FullDiskCliTest, OutputsBeyondTheFileSizeLimitLeaveTheOldFileWhole) {
    const QString target = Path(QStringLiteral("doc.tsr"));
    for (const QStringList& args :
         {QStringList{QStringLiteral("build"), Path(QStringLiteral("book.json")),
                      QStringLiteral("-o"), target},
          QStringList{QStringLiteral("import"), Sample("phonebook"), QStringLiteral("--filter"),
                      QStringLiteral("Same"), QStringLiteral("-o"), target}}) {
        SCOPED_TRACE(args.front().toStdString());
        WriteFile(QStringLiteral("doc.tsr"), "older contents");
        const CliRun r = CliWithFileLimit(1, args);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("File too large"))) << r.err.toStdString();
        EXPECT_EQ(ReadFile(target), QByteArray("older contents"));
    }
}

// What arrived with a warning is kept, but the receive is no clean success.
TEST_F(FullDiskCliTest, ReceivedTextWithWarningsExitsTwoAndKeepsWhatArrived) {
    WriteFile(QStringLiteral("bad.tsr"), "\"i\",\"SCRT\",\"NAME\",\"BRTH\"\r\n\"T\"\r\n"
                                         "\"D\",\" \",\"Ann\",\"2001#301      \"\r\n"
                                         "\"D\",\" \",\"Bob\",\r\n\x1A");
    StartSim({QStringLiteral("--send"), Path(QStringLiteral("bad.tsr"))});
    const QString out = Path(QStringLiteral("out.tsr"));
    const CliRun r = Cli(QStringList{QStringLiteral("receive"), QStringLiteral("-o"), out,
                                     QStringLiteral("--bad-values"), QStringLiteral("empty")} +
                         Link());
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    const qsizetype done = r.err.indexOf(QStringLiteral("1537"));
    EXPECT_GT(done, r.err.indexOf(QStringLiteral("1079"))) << r.err.toStdString();
    EXPECT_GT(r.err.indexOf(QStringLiteral("9200")), done) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("may be damaged (message 1079")))
        << r.err.toStdString();
    const CliRun info = Cli({QStringLiteral("info"), out});
    EXPECT_TRUE(info.out.contains(QStringLiteral("records: 2"))) << info.out.toStdString();
}

TEST_F(FullDiskCliTest, SendRefusesAFileThatIsNoRecordSetBeforeTheLinkOpens) {
    // A line of quoted words reads as a set without tags, and so does a new empty document.
    for (const QByteArray& bytes :
         {QByteArray("\"hello\",\"x\"\r\n"), QByteArray("\"i\"\r\n\"T\"\r\n\x1A")}) {
        SCOPED_TRACE(bytes.constData());
        WriteFile(QStringLiteral("notes.txt"), bytes);
        const CliRun r =
            Cli(QStringList{QStringLiteral("send"), Path(QStringLiteral("notes.txt"))} + Link());
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("1038"))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("1120"))) << "the link was never opened";
        EXPECT_FALSE(r.err.contains(QStringLiteral("1540")));
    }
}

TEST_F(FullDiskCliTest, PortThatCannotBeOpenedSaysWhy) {
    const CliRun r = Cli(QStringList{QStringLiteral("receive"), QStringLiteral("-o"),
                                     Path(QStringLiteral("x.tsr"))} +
                         Link());
    EXPECT_EQ(r.exitCode, 3);
    const qsizetype open = r.err.indexOf(QStringLiteral("1120"));
    const qsizetype why = r.err.indexOf(QStringLiteral("9201"));
    EXPECT_GE(open, 0) << r.err.toStdString();
    EXPECT_GT(why, open) << r.err.toStdString();
    EXPECT_GT(r.err.indexOf(QStringLiteral("1536")), why) << r.err.toStdString();
}

TEST_F(FullDiskCliTest, BuildRefusesALoneSurrogateWithItsPosition) {
    const QString target = Path(QStringLiteral("out.tsr"));
    struct Case {
        const char* json;
        const char* where;
        const char* what;
    };
    const Case cases[] = {
        {R"({"tags":["SCRT","NAME"],"records":[[" ","ab\ud800c"]]})", "record 1, field 2 (NAME)",
         "U+D800) at character 3"},
        {R"({"tags":["SCRT","NAME"],"records":[[" ","ab\udc00"]]})", "record 1, field 2 (NAME)",
         "U+DC00) at character 3"},
        {R"({"tags":["SCRT","N\ud83dX"],"records":[]})", "tag 2", "U+D83D) at character 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        WriteFile(QStringLiteral("in.json"), c.json);
        const CliRun r = Cli({QStringLiteral("build"), Path(QStringLiteral("in.json")),
                              QStringLiteral("-o"), target});
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.where))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("lone surrogate"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.what))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(target));
    }
    // A pair stays a character (and is refused only for having no code page 932 code).
    WriteFile(QStringLiteral("in.json"),
              R"({"tags":["SCRT","NAME"],"records":[[" ","a\ud83d\ude00"]]})");
    const CliRun pair = Cli(
        {QStringLiteral("build"), Path(QStringLiteral("in.json")), QStringLiteral("-o"), target});
    EXPECT_FALSE(pair.err.contains(QStringLiteral("lone surrogate"))) << pair.err.toStdString();
}

} // namespace
