// The --demo start: a simulated device with the sample phone book on a pseudo-terminal,
// this run's port pointed at it, and the user's own port kept in the store.

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QSettings>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/DemoDevice.h"
#include "app/MainFrame.h"
#include "app/core/AppSettings.h"
#include "link/CableCom.h"
#include "link/RecordStream.h"
#include "support/ScriptedPrompter.h"

namespace tessera::test {
namespace {

TEST(DemoTest, DeviceSendsTheSamplePhoneBookOnThePortItGivesTheSettings) {
    const QString sample = CDemoDevice::SamplePhoneBook();
    ASSERT_FALSE(sample.isEmpty()) << "the repository's samples hold a phone book";
    QFile f(sample);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string expected = f.readAll().toStdString();

    ScriptedPrompter prompter;
    TempSettings folder;
    CAppSettings settings;
    CDemoDevice demo;
    ASSERT_TRUE(demo.Start(settings));
    EXPECT_EQ(settings.Port(), demo.PortName());
    EXPECT_EQ(settings.Method, 1);
    EXPECT_EQ(demo.PreviousPort(), QStringLiteral("COM1"));

    // Two receives in a row: the device is ready again after each one.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // A device that has just finished lingers a moment for a line closed and reopened at
        // once; the next receive comes to the next device, as a user's second one would.
        QDeadlineTimer ready(5000);
        while (!(demo.Exchanges() == round && demo.IsReady()) && !ready.hasExpired())
            QThread::msleep(20);
        ASSERT_TRUE(demo.IsReady());
        {
            CCableCom port;
            ASSERT_TRUE(port.Open(settings.Port(), settings.Bps));
            std::string got;
            const TransferResult r = ReceiveRecordStream(port, [&got](const char* data, int count) {
                got.append(data, static_cast<std::size_t>(count));
                return true;
            });
            EXPECT_EQ(r, TransferResult::Completed);
            EXPECT_EQ(got, expected);
        }
        QDeadlineTimer done(5000);
        while (demo.Exchanges() == round && !done.hasExpired())
            QThread::msleep(20);
    }
    demo.Stop();
    EXPECT_FALSE(QFile::exists(demo.PortName())) << "the line's name goes with the device";
}

TEST(DemoTest, DemoPortIsNotStoredAtExit) {
    ScriptedPrompter prompter;
    TempSettings folder;
    {
        StartedApp s({QStringLiteral("--demo")}, false, false);
        ASSERT_TRUE(s.started);
        ASSERT_NE(s.app->DemoDevice(), nullptr);
        EXPECT_EQ(s.app->Settings().Port(), s.app->DemoDevice()->PortName());
        s.app->MainFrame()->RefreshStatusPanes();
    }
    auto store = CAppSettings::OpenStore();
    EXPECT_EQ(store->value(QStringLiteral("Device/Port")).toString(), QStringLiteral("COM1"));
}

} // namespace
} // namespace tessera::test
