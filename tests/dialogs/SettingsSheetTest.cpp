#include "app/settings/SettingsSheet.h"

#include "WidgetApp.h"
#include "base/AppSettings.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSerialPort>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdlib.h>
#include <unistd.h>

using namespace tessera;
using tessera::test::ScriptedPrompter;

namespace {

constexpr int kMsgPortOpen = 1120;
constexpr int kMsgSetAgain = 1032;
constexpr int kMsgIntRange = 61713;
constexpr int kMsgPortReason = 9201;

// A pseudo-terminal whose far end stands in for a serial adapter.
class Pty {
public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_path = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Pty() {
        if (m_master >= 0)
            close(m_master);
    }
    const QString& Path() const { return m_path; }

private:
    int m_master = -1;
    QString m_path;
};

class SettingsSheetTest : public ::testing::Test {
protected:
    std::unique_ptr<CSettingsSheet> Open(bool toneAvailable = true) {
        return std::make_unique<CSettingsSheet>(settings, nullptr,
                                                [toneAvailable] { return toneAvailable; });
    }
    template <class T> static T* Find(CSettingsSheet& sheet, const char* name) {
        T* w = sheet.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    test::WidgetAppGuard app;
    test::TempSettings store;
    ScriptedPrompter prompter;
    CAppSettings settings;
};

TEST_F(SettingsSheetTest, FivePagesInOrder) {
    auto sheet = Open();
    const QStringList titles = {QStringLiteral("通信ポート"), QStringLiteral("編集"),
                                QStringLiteral("ファイル"), QStringLiteral("機種"),
                                QStringLiteral("ダイアル")};
    ASSERT_EQ(sheet->Tabs()->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sheet->Tabs()->tabText(i), titles[i]);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("環境設定"));
}

TEST_F(SettingsSheetTest, PagesShowTheSettings) {
    settings.Method = 1;
    settings.Bps = 38400;
    settings.IgnoreEcho = false;
    settings.SendBufferSize = 9;
    settings.MaxFieldWidth = 200;
    settings.LimitFieldWidth = false;
    settings.SetConvSymbol(true);
    settings.HistoryBuffer = 16;
    settings.NewOnStart = true;
    settings.SetModel(8);
    settings.DialMethod = 1;
    settings.CallOut = QStringLiteral("0,");
    auto sheet = Open();
    EXPECT_TRUE(Find<QRadioButton>(*sheet, "methodCable")->isChecked());
    EXPECT_EQ(Find<QComboBox>(*sheet, "speed")->currentText(), QStringLiteral("38400"));
    EXPECT_EQ(Find<QSlider>(*sheet, "buffer")->value(), 9);
    EXPECT_EQ(Find<QLabel>(*sheet, "bufferLabel")->text(), QStringLiteral("512KB"));
    EXPECT_FALSE(Find<QCheckBox>(*sheet, "ignoreEcho")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(*sheet, "maxFieldWidth")->text(), QStringLiteral("200"));
    EXPECT_TRUE(Find<QCheckBox>(*sheet, "convSymbol")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(*sheet, "convAlphaNumeric")->isChecked());
    EXPECT_EQ(Find<QSlider>(*sheet, "history")->value(), 16);
    EXPECT_EQ(Find<QLabel>(*sheet, "historyLabel")->text(), QStringLiteral("16個"));
    EXPECT_TRUE(Find<QCheckBox>(*sheet, "newOnStart")->isChecked());
    EXPECT_EQ(Find<QListWidget>(*sheet, "models")->currentItem()->text(),
              QStringLiteral("PI-8000"));
    EXPECT_TRUE(Find<QRadioButton>(*sheet, "dialTones")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(*sheet, "callOut")->text(), QStringLiteral("0,"));
    EXPECT_EQ(sheet->ChosenPort(), QStringLiteral("COM1"));
}

TEST_F(SettingsSheetTest, ListsAndRanges) {
    auto sheet = Open();
    auto* speed = Find<QComboBox>(*sheet, "speed");
    ASSERT_EQ(speed->count(), 10);
    EXPECT_EQ(speed->itemText(0), QStringLiteral("300"));
    EXPECT_EQ(speed->itemText(9), QStringLiteral("115200"));
    auto* buffer = Find<QSlider>(*sheet, "buffer");
    EXPECT_EQ(buffer->minimum(), 6);
    EXPECT_EQ(buffer->maximum(), 10);
    buffer->setValue(6);
    EXPECT_EQ(Find<QLabel>(*sheet, "bufferLabel")->text(), QStringLiteral("64KB"));
    buffer->setValue(10);
    EXPECT_EQ(Find<QLabel>(*sheet, "bufferLabel")->text(), QStringLiteral("1024KB"));
    auto* history = Find<QSlider>(*sheet, "history");
    EXPECT_EQ(history->minimum(), 1);
    EXPECT_EQ(history->maximum(), 16);
    auto* models = Find<QListWidget>(*sheet, "models");
    ASSERT_EQ(models->count(), 11);
    const char* names[] = {"PI-3000", "PI-4000", "PI-4500", "PI-5000", "PI-6000", "PI-6500",
                           "PI-6600", "PI-7000", "PI-8000", "MobileZ", "PI系以外"};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(models->item(i)->text(), QString::fromUtf8(names[i]));
}

TEST_F(SettingsSheetTest, MethodEnablesSpeedOrEcho) {
    settings.Method = 0;
    auto sheet = Open();
    sheet->show();
    auto* speed = Find<QComboBox>(*sheet, "speed");
    auto* echo = Find<QCheckBox>(*sheet, "ignoreEcho");
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_TRUE(echo->isEnabled());
    QTest::mouseClick(Find<QRadioButton>(*sheet, "methodCable"), Qt::LeftButton);
    EXPECT_TRUE(speed->isEnabled());
    EXPECT_FALSE(echo->isEnabled());
    QTest::mouseClick(Find<QRadioButton>(*sheet, "methodAsk"), Qt::LeftButton);
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_TRUE(echo->isEnabled());

    settings.Method = 1;
    auto cable = Open();
    EXPECT_TRUE(Find<QComboBox>(*cable, "speed")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>(*cable, "ignoreEcho")->isEnabled());
}

TEST_F(SettingsSheetTest, WidthEditFollowsItsCheckBox) {
    settings.LimitFieldWidth = true;
    auto sheet = Open();
    sheet->show();
    sheet->Tabs()->setCurrentIndex(CSettingsSheet::EditPage);
    auto* width = Find<QLineEdit>(*sheet, "maxFieldWidth");
    auto* label = Find<QLabel>(*sheet, "maxFieldWidthLabel");
    EXPECT_TRUE(width->isEnabled());
    QTest::mouseClick(Find<QCheckBox>(*sheet, "limitFieldWidth"), Qt::LeftButton);
    EXPECT_FALSE(width->isEnabled());
    EXPECT_FALSE(label->isEnabled());
    QTest::mouseClick(Find<QCheckBox>(*sheet, "limitFieldWidth"), Qt::LeftButton);
    EXPECT_TRUE(width->isEnabled());
    EXPECT_TRUE(label->isEnabled());
}

TEST_F(SettingsSheetTest, OkAppliesEveryPage) {
    auto sheet = Open();
    Find<QRadioButton>(*sheet, "methodCable")->setChecked(true);
    Find<QComboBox>(*sheet, "speed")->setCurrentIndex(9);
    Find<QSlider>(*sheet, "buffer")->setValue(10);
    Find<QCheckBox>(*sheet, "ignoreEcho")->setChecked(false);
    Find<QCheckBox>(*sheet, "convAlphaNumeric")->setChecked(true);
    Find<QCheckBox>(*sheet, "convSymbol")->setChecked(true);
    Find<QCheckBox>(*sheet, "convHiraKana")->setChecked(true);
    Find<QCheckBox>(*sheet, "imageSize")->setChecked(false);
    Find<QCheckBox>(*sheet, "limitFieldWidth")->setChecked(false);
    Find<QLineEdit>(*sheet, "maxFieldWidth")->setText(QStringLiteral("1024"));
    Find<QCheckBox>(*sheet, "scheduleAutoComp")->setChecked(false);
    Find<QSlider>(*sheet, "history")->setValue(16);
    Find<QCheckBox>(*sheet, "newOnStart")->setChecked(true);
    Find<QListWidget>(*sheet, "models")->setCurrentRow(9);
    Find<QRadioButton>(*sheet, "dialTones")->setChecked(true);
    Find<QLineEdit>(*sheet, "callOut")->setText(QStringLiteral("0@"));

    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(settings.Method, 1);
    EXPECT_EQ(settings.Bps, 115200);
    EXPECT_EQ(settings.SendBufferSize, 10);
    EXPECT_FALSE(settings.IgnoreEcho);
    EXPECT_TRUE(settings.ConvAlphaNumeric());
    EXPECT_TRUE(settings.ConvSymbol());
    EXPECT_TRUE(settings.ConvHiraKana());
    EXPECT_FALSE(settings.ImageSize);
    EXPECT_FALSE(settings.LimitFieldWidth);
    EXPECT_EQ(settings.MaxFieldWidth, 1024);
    EXPECT_FALSE(settings.ScheduleAutoComp);
    EXPECT_EQ(settings.HistoryBuffer, 16);
    EXPECT_TRUE(settings.NewOnStart);
    EXPECT_EQ(settings.ModelCode(), 9);
    EXPECT_EQ(settings.DialMethod, 1);
    EXPECT_EQ(settings.CallOut, QStringLiteral("0@"));
    EXPECT_EQ(settings.Port(), QStringLiteral("COM1")) << "port untouched";
    EXPECT_TRUE(prompter.Ids().empty());
}

TEST_F(SettingsSheetTest, CancelAppliesNothing) {
    auto sheet = Open();
    Find<QComboBox>(*sheet, "speed")->setCurrentIndex(0);
    Find<QListWidget>(*sheet, "models")->setCurrentRow(4);
    Find<QLineEdit>(*sheet, "maxFieldWidth")->setText(QStringLiteral("5"));
    sheet->reject();
    EXPECT_EQ(settings.Bps, 9600);
    EXPECT_EQ(settings.ModelCode(), 0);
    EXPECT_EQ(settings.MaxFieldWidth, 64);
}

TEST_F(SettingsSheetTest, UnlistedSpeedShowsAndStores9600) {
    settings.Bps = 14400;
    auto sheet = Open();
    EXPECT_EQ(Find<QComboBox>(*sheet, "speed")->currentText(), QStringLiteral("9600"));
    sheet->accept();
    EXPECT_EQ(settings.Bps, 9600);
}

TEST_F(SettingsSheetTest, NotAPiModelKeepsTheModel) {
    settings.SetModel(4);
    auto sheet = Open();
    Find<QListWidget>(*sheet, "models")->setCurrentRow(10);
    sheet->accept();
    EXPECT_EQ(settings.ModelCode(), 4);
}

TEST_F(SettingsSheetTest, ClearedModelSelectionKeepsTheLastChoice) {
    auto sheet = Open();
    auto* models = Find<QListWidget>(*sheet, "models");
    models->setCurrentRow(6);
    models->setCurrentRow(-1);
    models->clearSelection();
    sheet->accept();
    EXPECT_EQ(settings.ModelCode(), 6);
}

TEST_F(SettingsSheetTest, OutOfRangeWidthIsRefused) {
    for (const char* bad : {"0", "1025", "-3", "abc", "", "12.5"}) {
        auto sheet = Open();
        sheet->show();
        sheet->Tabs()->setCurrentIndex(CSettingsSheet::DialPage);
        // Refused even while the width edit is disabled: the value is stored either way.
        Find<QCheckBox>(*sheet, "limitFieldWidth")->setChecked(false);
        Find<QLineEdit>(*sheet, "maxFieldWidth")->setText(QString::fromLatin1(bad));
        Find<QComboBox>(*sheet, "speed")->setCurrentIndex(0);
        prompter.Expect(kMsgIntRange);
        sheet->accept();
        EXPECT_EQ(prompter.Pending(), 0U) << bad;
        EXPECT_NE(sheet->result(), QDialog::Accepted) << bad;
        EXPECT_TRUE(sheet->isVisible()) << bad;
        EXPECT_EQ(sheet->Tabs()->currentIndex(), CSettingsSheet::EditPage) << bad;
        EXPECT_EQ(settings.MaxFieldWidth, 64) << bad;
        EXPECT_EQ(settings.Bps, 9600) << bad << ": nothing is applied";
        EXPECT_TRUE(settings.LimitFieldWidth) << bad;
    }
    ASSERT_EQ(prompter.Messages().size(), 6U);
    EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Warning);
    EXPECT_NE(prompter.Messages()[0].Utf8().find("1024"), std::string::npos);

    for (const char* good : {"1", "1024", " 77 "}) {
        auto sheet = Open();
        Find<QLineEdit>(*sheet, "maxFieldWidth")->setText(QString::fromLatin1(good));
        sheet->accept();
        EXPECT_EQ(sheet->result(), QDialog::Accepted) << good;
        EXPECT_EQ(settings.MaxFieldWidth, QString::fromLatin1(good).trimmed().toInt()) << good;
    }
}

TEST_F(SettingsSheetTest, LeavingTheEditPageWithABadWidthStaysThere) {
    auto sheet = Open();
    sheet->show();
    sheet->Tabs()->setCurrentIndex(CSettingsSheet::EditPage);
    Find<QLineEdit>(*sheet, "maxFieldWidth")->setText(QStringLiteral("2000"));
    prompter.Expect(kMsgIntRange);
    sheet->Tabs()->setCurrentIndex(CSettingsSheet::FilePage);
    EXPECT_EQ(sheet->Tabs()->currentIndex(), CSettingsSheet::EditPage);
    EXPECT_EQ(prompter.Pending(), 0U);

    Find<QLineEdit>(*sheet, "maxFieldWidth")->setText(QStringLiteral("20"));
    sheet->Tabs()->setCurrentIndex(CSettingsSheet::FilePage);
    EXPECT_EQ(sheet->Tabs()->currentIndex(), CSettingsSheet::FilePage);
}

TEST_F(SettingsSheetTest, UnchangedPortIsNotOpened) {
    // "COM1" does not exist here: checking it again would show 1032. Keeping it must not.
    auto sheet = Open();
    sheet->accept();
    EXPECT_EQ(settings.Port(), QStringLiteral("COM1"));
    EXPECT_TRUE(prompter.Ids().empty());
}

TEST_F(SettingsSheetTest, MalformedPortAsksAgainAndKeepsTheOldOne) {
    auto sheet = Open();
    sheet->show();
    sheet->Tabs()->setCurrentIndex(CSettingsSheet::FilePage);
    auto* port = Find<QComboBox>(*sheet, "port");
    port->setEditText(QStringLiteral("no-such-port"));
    Find<QComboBox>(*sheet, "speed")->setCurrentIndex(2);
    prompter.Expect(kMsgSetAgain);
    sheet->accept();
    EXPECT_EQ(settings.Port(), QStringLiteral("COM1"));
    // The sheet stays up on the port page, nothing applied, for another choice.
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_NE(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(sheet->Tabs()->currentIndex(), CSettingsSheet::PortPage);
    EXPECT_EQ(settings.Bps, 9600);
    port->setEditText(QStringLiteral("COM1"));
    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(settings.Bps, 1200);
}

TEST_F(SettingsSheetTest, PortHeldByAnotherProgramShows1120Then1032) {
    Pty pty;
    ASSERT_FALSE(pty.Path().isEmpty());
    QSerialPort holder;
    holder.setPortName(pty.Path());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));

    auto sheet = Open();
    sheet->show();
    sheet->findChild<QComboBox*>(QStringLiteral("port"))->setEditText(pty.Path());
    Find<QCheckBox>(*sheet, "newOnStart")->setChecked(true);
    sheet->Tabs()->setCurrentIndex(CSettingsSheet::FilePage);
    // 1120 guesses; the system's own reason follows it.
    prompter.Expect(kMsgPortOpen).Expect(kMsgPortReason).Expect(kMsgSetAgain);
    sheet->accept();
    EXPECT_EQ(prompter.Pending(), 0U);
    ASSERT_EQ(prompter.Messages().size(), 3U);
    EXPECT_GT(prompter.Messages()[1].Utf8().size(),
              std::string("ポートを開けなかった理由: ").size());
    EXPECT_EQ(settings.Port(), QStringLiteral("COM1"));
    EXPECT_FALSE(settings.NewOnStart) << "nothing is applied while the port is refused";
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->Tabs()->currentIndex(), CSettingsSheet::PortPage);

    holder.close();
    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(settings.Port(), pty.Path());
    EXPECT_TRUE(settings.NewOnStart);
}

TEST_F(SettingsSheetTest, FreePortIsTaken) {
    Pty pty;
    ASSERT_FALSE(pty.Path().isEmpty());
    auto sheet = Open();
    sheet->findChild<QComboBox*>(QStringLiteral("port"))->setEditText(pty.Path());
    sheet->accept();
    EXPECT_TRUE(prompter.Ids().empty());
    EXPECT_EQ(settings.Port(), pty.Path());
}

// With no port configured the sheet shows the default port and says so, until another is chosen.
TEST_F(SettingsSheetTest, DefaultPortIsShownWithANote) {
    {
        auto sheet = Open();
        EXPECT_TRUE(Find<QLabel>(*sheet, "portDefaultNote")->isHidden()) << "a configured port";
    }
    CAppSettings fresh;
    fresh.LoadSettings();
    ASSERT_TRUE(fresh.PortIsDefault());
    CSettingsSheet sheet(fresh, nullptr, [] { return true; });
    auto* note = Find<QLabel>(sheet, "portDefaultNote");
    EXPECT_EQ(sheet.ChosenPort(), fresh.Port());
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains(fresh.Port())) << note->text().toStdString();
    auto* port = Find<QComboBox>(sheet, "port");
    port->setEditText(QStringLiteral("/dev/ttyACM3"));
    EXPECT_TRUE(note->isHidden());
    port->setEditText(fresh.Port());
    EXPECT_FALSE(note->isHidden());
    sheet.accept();
    EXPECT_TRUE(fresh.PortIsDefault()) << "keeping the default port does not make it configured";
    EXPECT_TRUE(prompter.Ids().empty());
}

TEST_F(SettingsSheetTest, ListedPortsShowDescriptionsButStoreNames) {
    auto sheet = Open();
    sheet->SetPortChoices({{QStringLiteral("ttyS0"), QString()},
                           {QStringLiteral("ttyUSB0"), QStringLiteral("USB-Serial Controller")}});
    auto* port = Find<QComboBox>(*sheet, "port");
    ASSERT_EQ(port->count(), 2);
    EXPECT_TRUE(port->itemText(1).contains(QStringLiteral("USB-Serial Controller")));
    EXPECT_EQ(sheet->ChosenPort(), QStringLiteral("COM1")) << "the stored port stays shown";
    port->setCurrentIndex(1);
    EXPECT_EQ(port->currentText(), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(sheet->ChosenPort(), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(Find<QLabel>(*sheet, "portDescription")->text(),
              QStringLiteral("USB-Serial Controller"));
    port->setEditText(QStringLiteral("/dev/ttyACM3"));
    EXPECT_EQ(sheet->ChosenPort(), QStringLiteral("/dev/ttyACM3"));
}

TEST_F(SettingsSheetTest, ToneDialingUnavailableKeepsTheStoredChoice) {
    settings.DialMethod = 1;
    auto sheet = Open(false);
    EXPECT_FALSE(Find<QRadioButton>(*sheet, "dialTones")->isEnabled());
    EXPECT_FALSE(Find<QLabel>(*sheet, "toneNote")->isEnabled());
    EXPECT_FALSE(Find<QLabel>(*sheet, "callOutLabel")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>(*sheet, "callOut")->isEnabled());
    EXPECT_EQ(settings.DialMethod, 1) << "opening the page changes nothing";
    sheet->reject();
    EXPECT_EQ(settings.DialMethod, 1);

    auto again = Open(false);
    again->accept();
    EXPECT_EQ(settings.DialMethod, 1) << "OK without touching the choice keeps it";

    auto third = Open(false);
    Find<QRadioButton>(*third, "dialHandler")->setChecked(true);
    third->accept();
    EXPECT_EQ(settings.DialMethod, 0);

    auto available = Open(true);
    EXPECT_TRUE(Find<QRadioButton>(*available, "dialTones")->isEnabled());
    EXPECT_TRUE(Find<QLabel>(*available, "callOutLabel")->isEnabled());
}

TEST_F(SettingsSheetTest, CallOutTakesOnlyDialableTextUpTo32) {
    auto sheet = Open();
    sheet->show();
    auto* callOut = Find<QLineEdit>(*sheet, "callOut");
    callOut->clear();
    QTest::keyClicks(callOut, QStringLiteral("0x@1,#"));
    EXPECT_EQ(callOut->text(), QStringLiteral("0@1,#"));
    callOut->setText(QString(40, QLatin1Char('9')));
    sheet->accept();
    EXPECT_EQ(settings.CallOut, QString(32, QLatin1Char('9')));
}

TEST_F(SettingsSheetTest, RunAppliesOnlyOnOk) {
    QTimer::singleShot(0, [] {
        auto* s = qobject_cast<CSettingsSheet*>(QApplication::activeModalWidget());
        ASSERT_NE(s, nullptr);
        s->findChild<QComboBox*>(QStringLiteral("speed"))->setCurrentIndex(0);
        s->reject();
    });
    EXPECT_FALSE(CSettingsSheet::Run(settings));
    EXPECT_EQ(settings.Bps, 9600);

    QTimer::singleShot(0, [] {
        auto* s = qobject_cast<CSettingsSheet*>(QApplication::activeModalWidget());
        ASSERT_NE(s, nullptr);
        s->findChild<QComboBox*>(QStringLiteral("speed"))->setCurrentIndex(0);
        s->accept();
    });
    EXPECT_TRUE(CSettingsSheet::Run(settings));
    EXPECT_EQ(settings.Bps, 300);
}

} // namespace

TEST_F(SettingsSheetTest, WidthRangeIsTheSameInTheSheetAndTheStore) {
    // What the sheet accepts comes back after a restart; what it refuses is not read either.
    for (const auto& [stored, read] : std::vector<std::pair<int, int>>{
             {1, 1}, {64, 64}, {1023, 1023}, {1024, 1024}, {0, 64}, {1025, 64}}) {
        settings.MaxFieldWidth = stored;
        settings.LoadSettings(); // marks the settings loaded, so they are written
        settings.MaxFieldWidth = stored;
        EXPECT_EQ(settings.SaveSettings(), 0);
        CAppSettings next;
        next.LoadSettings();
        EXPECT_EQ(next.MaxFieldWidth, read) << stored;
    }
}

TEST_F(SettingsSheetTest, EditPageSaysTheConversionsApplyToEveryText) {
    auto sheet = Open();
    auto* note = Find<QLabel>(*sheet, "convNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().contains(QStringLiteral("開いたファイル")));
    // Right under the three conversion boxes, before the other settings.
    auto* page = sheet->Tabs()->widget(CSettingsSheet::EditPage);
    auto* layout = page->layout();
    EXPECT_EQ(layout->indexOf(note), layout->indexOf(Find<QCheckBox>(*sheet, "convHiraKana")) + 1);
}
