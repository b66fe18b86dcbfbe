// The window's publish: the dialog's rules, the password kept out of the settings file, and
// the publish under its progress window against Debian's Radicale on a loopback port
// (summary, a second run sending nothing, cancel, an unreachable server).

#include "../dialogs/WidgetApp.h"
#include "app/publish/PublishCommand.h"
#include "app/publish/PublishDlg.h"
#include "dav/DavInput.h"
#include "model/CodeMap.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"
#include "support/TestFiles.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

int FreePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// Radicale with its storage and its one user (tessera, password x) in a temporary folder.
class Radicale {
public:
    Radicale() : m_port(FreePort()) {
        const QString config = m_dir.filePath(QStringLiteral("config"));
        const QString users = m_dir.filePath(QStringLiteral("users"));
        QFile u(users);
        u.open(QIODevice::WriteOnly);
        u.write("tessera:x\n");
        u.close();
        QFile f(config);
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = htpasswd\n"
                               "htpasswd_filename = %3\nhtpasswd_encryption = plain\n[rights]\n"
                               "type = owner_only\n[storage]\nfilesystem_folder = %2\n[web]\n"
                               "type = none\n[logging]\nlevel = warning\n")
                    .arg(m_port)
                    .arg(m_dir.filePath(QStringLiteral("collections")), users)
                    .toUtf8());
        f.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"), config});
        for (int i = 0; i < 600 && m_process.state() != QProcess::NotRunning; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_port));
            if (probe.waitForConnected(200)) {
                m_up = true;
                return;
            }
            QThread::msleep(200);
        }
    }
    ~Radicale() {
        m_process.terminate();
        if (!m_process.waitForFinished(30000))
            m_process.kill();
        m_process.waitForFinished(30000);
    }
    bool Up() const { return m_up; }
    QUrl Url(const QString& path = QStringLiteral("/")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
    }

private:
    QTemporaryDir m_dir;
    int m_port;
    QProcess m_process;
    bool m_up = false;
};

TEST(PublishDlg, OkOnlyForAServerUrlAndAFolderThatIsThere) {
    WidgetAppGuard app;
    TempSettings store;
    QTemporaryDir folder;
    struct Case {
        const char* url;
        bool document; // the open document, else the folder
        QString folder;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"https://dav.example.org/", true, QString(), true},
        {"http://127.0.0.1:5232/user/contacts/", false, folder.path(), true},
        {"dav.example.org", true, QString(), false},
        {"ftp://dav.example.org/", true, QString(), false},
        {"https://dav.example.org/", false, folder.filePath(QStringLiteral("none")), false},
        {"https://dav.example.org/", false, QString(), false},
    };
    for (const Case& c : cases) {
        PublishChoice choice;
        choice.url = QString::fromLatin1(c.url);
        choice.useDocument = c.document;
        choice.folder = c.folder;
        CPublishDlg dlg(choice, QStringLiteral("phonebook.tsr"), QString());
        QDialogButtonBox* box = dlg.findChild<QDialogButtonBox*>();
        ASSERT_NE(box, nullptr);
        const bool anyEnabled = box->button(QDialogButtonBox::Ok)->isEnabled();
        EXPECT_EQ(anyEnabled, c.ok) << c.url << " " << c.folder.toStdString();
    }
}

TEST(PublishDlg, ThePasswordNeverReachesTheSettingsFile) {
    WidgetAppGuard app;
    TempSettings store;
    PublishChoice c;
    c.url = QStringLiteral("https://dav.example.org/");
    c.user = QStringLiteral("hanako");
    c.password = QStringLiteral("Zq7-not-in-the-file");
    c.folder = QStringLiteral("/backup");
    c.deleteMissing = true;
    CPublishDlg::SaveChoice(c);
    const PublishChoice back = CPublishDlg::LoadChoice();
    EXPECT_EQ(back.url, c.url);
    EXPECT_EQ(back.user, c.user);
    EXPECT_EQ(back.folder, c.folder);
    EXPECT_TRUE(back.deleteMissing);
    EXPECT_TRUE(back.password.isEmpty());
    const std::string file = ReadFileBytes(store.StoreFile());
    EXPECT_NE(file.find("dav.example.org"), std::string::npos) << "the settings were not written";
    EXPECT_EQ(file.find("Zq7-not-in-the-file"), std::string::npos);
}

class PublishWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Up()) << "Radicale did not start";
        map = std::make_unique<CCodeMap>(nullptr);
        ASSERT_TRUE(map->LoadTables());
        dav::DavClientOptions o;
        o.user = QStringLiteral("tessera");
        o.password = QStringLiteral("x");
        dav::CDavClient client(o);
        ASSERT_EQ(
            client.Send("MKCALENDAR", server.Url(QStringLiteral("/tessera/calendar/"))).status,
            201);
        for (const char* sample : {"phonebook", "schedule"}) {
            CRecordSet set;
            ASSERT_TRUE(set.ReadText(SampleBytes(sample), map.get()));
            dav::AddSet(set, QString::fromLatin1(sample), objects, notes);
        }
        // Only the calendar is there: the phone book has nowhere to go, so publish the
        // schedule alone.
        std::erase_if(objects, [](const dav::DavObject& o) {
            return o.collection != dav::Collection::Calendar;
        });
        ASSERT_FALSE(objects.empty());
    }

    dav::PublishResult Publish(const QUrl& url) {
        dav::PublishOptions options;
        options.url = url;
        return PublishWithProgress(objects, options, QStringLiteral("tessera"), QStringLiteral("x"),
                                   notes, nullptr);
    }

    WidgetAppGuard app;
    TempSettings store;
    Radicale server;
    std::unique_ptr<CCodeMap> map;
    std::vector<dav::DavObject> objects;
    std::vector<QString> notes;
};

TEST_F(PublishWindow, SummaryThenNothingSentThenCancelAndUnreachable) {
    const int n = static_cast<int>(objects.size());
    {
        ScriptedPrompter prompter;
        prompter.Expect(ids::kMsgDavDone);
        const dav::PublishResult r = Publish(server.Url());
        EXPECT_EQ(r.counts.created, n);
        ASSERT_EQ(prompter.Messages().size(), 1u);
        EXPECT_NE(prompter.Messages()[0].Utf8().find("新規 " + std::to_string(n) + " 件"),
                  std::string::npos)
            << prompter.Messages()[0].Utf8();
    }
    {
        ScriptedPrompter prompter;
        prompter.Expect(ids::kMsgDavDone);
        const dav::PublishResult r = Publish(server.Url());
        EXPECT_EQ(r.counts.created + r.counts.updated, 0);
        EXPECT_EQ(r.counts.unchanged, n);
    }
    {
        // Cancel as soon as the progress window's first request waits.
        ScriptedPrompter prompter;
        prompter.Expect(ids::kMsgDavCancelled);
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<QProgressDialog*>(w); p != nullptr && p->isVisible())
                    if (auto* button = p->findChild<QPushButton*>())
                        button->click(); // as the user does: cancel() alone says nothing
        });
        const dav::PublishResult r = Publish(server.Url());
        EXPECT_TRUE(r.cancelled);
    }
    {
        ScriptedPrompter prompter;
        prompter.Expect(ids::kMsgDavNoConnect);
        const dav::PublishResult r =
            Publish(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(FreePort())));
        EXPECT_EQ(r.counts.created, 0);
        EXPECT_EQ(prompter.Messages().at(0).icon, PromptIcon::Stop);
    }
}

} // namespace
} // namespace tessera::test

namespace tessera::test {
namespace {

// The menu command as the user goes through it: the dialog filled in and accepted, a
// backup folder published, the summary; URL and user kept, the password not in the file.
TEST_F(PublishWindow, TheCommandPublishesAFolderAndKeepsThePasswordOutOfTheSettings) {
    QTemporaryDir backup;
    ASSERT_TRUE(
        QFile::copy(SamplePath("schedule"), backup.filePath(QStringLiteral("schedule.tsr"))));
    ASSERT_TRUE(QFile::copy(SamplePath("memo"), backup.filePath(QStringLiteral("memo.tsr"))));
    ScriptedPrompter prompter;
    // Said when no secret store runs (as here, most likely); a desktop with one says nothing.
    prompter.Allow(ids::kMsgDavNoSecretStore);
    prompter.Expect(ids::kMsgDavDone);
    const QString url = server.Url().toString();
    // The secret store is asked first (in an event loop of its own): wait for the dialog.
    QTimer fill;
    fill.setInterval(20);
    QObject::connect(&fill, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dlg = dynamic_cast<CPublishDlg*>(w); dlg != nullptr && dlg->isVisible()) {
                fill.stop();
                dlg->findChild<QLineEdit*>(QStringLiteral("url"))->setText(url);
                dlg->findChild<QLineEdit*>(QStringLiteral("user"))
                    ->setText(QStringLiteral("tessera"));
                dlg->findChild<QLineEdit*>(QStringLiteral("password"))
                    ->setText(QStringLiteral("x"));
                dlg->findChild<QLineEdit*>(QStringLiteral("folder"))->setText(backup.path());
                dlg->accept();
            }
    });
    fill.start();
    RunPublishCommand(nullptr, map.get(), nullptr);
    ASSERT_EQ(prompter.Count(ids::kMsgDavDone), 1);
    const std::vector<ScriptedPrompter::Shown> shown = prompter.Messages();
    EXPECT_NE(shown.back().Utf8().find("新規 4 件"), std::string::npos) << shown.back().Utf8();
    const PublishChoice kept = CPublishDlg::LoadChoice();
    EXPECT_EQ(kept.url, url);
    EXPECT_EQ(kept.user, QStringLiteral("tessera"));
    EXPECT_EQ(kept.folder, backup.path());
    const std::string file = ReadFileBytes(store.StoreFile());
    EXPECT_EQ(file.find("password=x"), std::string::npos);
    EXPECT_EQ(file.find("Password=x"), std::string::npos);
}

} // namespace
} // namespace tessera::test
