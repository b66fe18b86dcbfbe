#include "base/AppSettings.h"

#include "model/CodeMap.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSettings>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

using namespace tessera;
using tessera::test::ScriptedPrompter;
using tessera::test::TempSettings;

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temp.IsValid()); }

    void Store(const QString& key, const QVariant& value) {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                    QStringLiteral("Tessera"));
        s.setValue(key, value);
        s.sync();
    }
    QVariant Stored(const QString& key) {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                    QStringLiteral("Tessera"));
        return s.value(key);
    }

    TempSettings m_temp;
    ScriptedPrompter m_prompter;
};

TEST_F(AppSettingsTest, EmptyStoreGivesTheDefaults) {
    CAppSettings s;
    s.LoadSettings();
    EXPECT_TRUE(s.IsLoaded());
    EXPECT_TRUE(s.PortIsDefault());
    EXPECT_EQ(s.Port(), CAppSettings::DefaultPort());
    EXPECT_EQ(s.Method, 0);
    EXPECT_EQ(s.Bps, 9600);
    EXPECT_TRUE(s.IgnoreEcho);
    EXPECT_EQ(s.DialMethod, 0);
    EXPECT_TRUE(s.CallOut.isEmpty());
    EXPECT_EQ(s.Installed, 0);
    EXPECT_EQ(s.ModelCode(), 0);
    EXPECT_EQ(s.SendBufferSize, 7);
    EXPECT_EQ(s.SendBufferBytes(), 128u * 1024u);
    EXPECT_TRUE(s.ImageSize);
    EXPECT_TRUE(s.LimitFieldWidth);
    EXPECT_EQ(s.MaxFieldWidth, 64);
    EXPECT_FALSE(s.ConvAlphaNumeric());
    EXPECT_FALSE(s.ConvSymbol());
    EXPECT_FALSE(s.ConvHiraKana());
    EXPECT_TRUE(s.ScheduleAutoComp);
    EXPECT_EQ(s.HistoryBuffer, 4);
    EXPECT_FALSE(s.NewOnStart);
    EXPECT_EQ(s.WindowStyle, 0);
    EXPECT_EQ(s.ShowState(), WindowShowState::Default);
    EXPECT_EQ(s.WindowLeft, 0);
    EXPECT_EQ(s.WindowTop, 0);
    EXPECT_EQ(s.WindowRight - s.WindowLeft, 639);
    EXPECT_EQ(s.WindowBottom - s.WindowTop, 479);
    EXPECT_TRUE(m_prompter.Ids().empty());
}

TEST_F(AppSettingsTest, StoredModelNumbersMapBothWays) {
    const int codeOfStored[10] = {0, 1, 2, 3, 4, 5, 7, 8, 6, 9};
    for (int stored = 0; stored < 10; ++stored) {
        SCOPED_TRACE(stored);
        Store(QStringLiteral("Settings/ZaurusType"), stored);
        CAppSettings s;
        s.LoadSettings();
        EXPECT_EQ(s.ModelCode(), codeOfStored[stored]);
        EXPECT_EQ(s.SaveSettings(), 0);
        EXPECT_EQ(Stored(QStringLiteral("Settings/ZaurusType")).toInt(), stored);
    }
    // PI-6600 is stored as 8, PI-7000 as 6, PI-8000 as 7.
    EXPECT_EQ(CAppSettings::StoredNumberOfModel(6), 8);
    EXPECT_EQ(CAppSettings::StoredNumberOfModel(7), 6);
    EXPECT_EQ(CAppSettings::StoredNumberOfModel(8), 7);
}

TEST_F(AppSettingsTest, BadModelNumberWarnsOnceAndFallsBack) {
    for (const QVariant& bad : {QVariant(10), QVariant(-1), QVariant(QStringLiteral("PI-7000"))}) {
        SCOPED_TRACE(bad.toString().toStdString());
        Store(QStringLiteral("Settings/ZaurusType"), bad);
        m_prompter.Clear();
        m_prompter.Expect(1013);
        CAppSettings s;
        s.LoadSettings();
        EXPECT_EQ(s.ModelCode(), 0);
        ASSERT_EQ(m_prompter.Messages().size(), 1u);
        EXPECT_EQ(m_prompter.Messages()[0].icon, PromptIcon::Warning);
        EXPECT_EQ(s.SaveSettings(), 0);
        EXPECT_EQ(Stored(QStringLiteral("Settings/ZaurusType")).toInt(), 0);
    }
}

TEST_F(AppSettingsTest, OutOfRangeValuesTakeTheirDefaults) {
    struct Case {
        const char* key;
        QVariant stored;
        int expected;
    };
    const Case cases[] = {
        {"Settings/SendBufferSize", 5, 7},
        {"Settings/SendBufferSize", 6, 6},
        {"Settings/SendBufferSize", 10, 10},
        {"Settings/SendBufferSize", 11, 7},
        {"Settings/SendBufferSize", 22, 7},
        {"Settings/SendBufferSize", 32, 7},
        {"Settings/MaxFieldWidth", 0, 64},
        {"Settings/MaxFieldWidth", 1, 1},
        {"Settings/MaxFieldWidth", 1023, 1023},
        {"Settings/MaxFieldWidth", 1024, 1024}, // the settings sheet's range
        {"Settings/MaxFieldWidth", 1025, 64},
        {"Settings/HistoryBuffer", 0, 4},
        {"Settings/HistoryBuffer", 16, 16},
        {"Settings/HistoryBuffer", 17, 4},
        {"Device/Bps", 1234, 9600},
        {"Device/Bps", 115200, 115200},
        {"Device/Bps", 300, 300},
        {"Settings/WindowStyle", 3, 0},
        {"Settings/WindowStyle", -1, 0},
        {"Device/DialMethod", 2, 0},
        {"Device/DialMethod", 1, 1},
        {"Filters/Installed", -3, 0},
        {"Filters/Installed", 4, 4},
        {"Device/Method", 7, 7},
        {"Settings/SendBufferSize", QStringLiteral("lots"), 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " = " << c.stored.toString().toStdString());
        Store(QString::fromLatin1(c.key), c.stored);
        CAppSettings s;
        s.LoadSettings();
        const QString key = QString::fromLatin1(c.key);
        const int got = key.endsWith(QLatin1String("SendBufferSize"))  ? s.SendBufferSize
                        : key.endsWith(QLatin1String("MaxFieldWidth")) ? s.MaxFieldWidth
                        : key.endsWith(QLatin1String("HistoryBuffer")) ? s.HistoryBuffer
                        : key.endsWith(QLatin1String("Bps"))           ? s.Bps
                        : key.endsWith(QLatin1String("WindowStyle"))   ? s.WindowStyle
                        : key.endsWith(QLatin1String("DialMethod"))    ? s.DialMethod
                        : key.endsWith(QLatin1String("Installed"))     ? s.Installed
                                                                       : s.Method;
        EXPECT_EQ(got, c.expected);
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                  QStringLiteral("Tessera"))
            .clear();
    }
    EXPECT_TRUE(m_prompter.Ids().empty());
}

TEST_F(AppSettingsTest, BooleansAreOnlyZeroOrOne) {
    Store(QStringLiteral("Settings/ImageSize"), 2);  // default on
    Store(QStringLiteral("Settings/ConvSymbol"), 2); // default off
    Store(QStringLiteral("Settings/ConvHiraKana"), 1);
    Store(QStringLiteral("Settings/LimitFieldWidth"), 0);
    Store(QStringLiteral("Device/IgnoreEcho"), QStringLiteral("yes"));
    CAppSettings s;
    s.LoadSettings();
    EXPECT_TRUE(s.ImageSize);
    EXPECT_FALSE(s.ConvSymbol());
    EXPECT_TRUE(s.ConvHiraKana());
    EXPECT_FALSE(s.LimitFieldWidth);
    EXPECT_TRUE(s.IgnoreEcho);
}

TEST_F(AppSettingsTest, TextsThatDoNotFitAreRefused) {
    Store(QStringLiteral("Device/Port"), QString(300, QLatin1Char('x')));
    Store(QStringLiteral("Device/CallOut"), QString(36, QLatin1Char('0')));
    CAppSettings s;
    s.LoadSettings();
    EXPECT_EQ(s.Port(), CAppSettings::DefaultPort());
    EXPECT_TRUE(s.CallOut.isEmpty());

    // A platform path is a port name too, and 35 characters of prefix still fit.
    Store(QStringLiteral("Device/Port"),
          QStringLiteral(
              "/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"));
    Store(QStringLiteral("Device/CallOut"), QString(35, QLatin1Char('0')));
    CAppSettings t;
    t.LoadSettings();
    EXPECT_EQ(
        t.Port(),
        QStringLiteral(
            "/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"));
    EXPECT_EQ(t.CallOut.size(), 35);
}

TEST_F(AppSettingsTest, WindowStyleChoosesTheStartState) {
    Store(QStringLiteral("Settings/WindowLeft"), 10);
    Store(QStringLiteral("Settings/WindowTop"), 20);
    Store(QStringLiteral("Settings/WindowRight"), 810);
    Store(QStringLiteral("Settings/WindowBottom"), 620);
    Store(QStringLiteral("Settings/WindowStyle"), 2);
    CAppSettings s;
    s.LoadSettings();
    EXPECT_EQ(s.ShowState(), WindowShowState::Maximized);
    EXPECT_FALSE(s.ApplyStoredRect());
    // Not applied, but kept: exiting while maximized must not lose the normal placement.
    EXPECT_EQ(s.SaveSettings(), 0);
    EXPECT_EQ(Stored(QStringLiteral("Settings/WindowRight")).toInt(), 810);
    EXPECT_EQ(Stored(QStringLiteral("Settings/WindowTop")).toInt(), 20);

    Store(QStringLiteral("Settings/WindowStyle"), 1);
    CAppSettings m;
    m.LoadSettings();
    EXPECT_EQ(m.ShowState(), WindowShowState::Minimized);

    Store(QStringLiteral("Settings/WindowStyle"), 0);
    CAppSettings n;
    n.LoadSettings();
    EXPECT_TRUE(n.ApplyStoredRect());
    EXPECT_EQ(n.WindowLeft, 10);
    EXPECT_EQ(n.WindowBottom, 620);
}

TEST_F(AppSettingsTest, SaveWritesAllValuesUnderTheirNames) {
    CAppSettings s;
    s.LoadSettings();
    s.Method = 1;
    s.Bps = 38400;
    s.IgnoreEcho = false;
    s.DialMethod = 1;
    s.CallOut = QStringLiteral("0,");
    s.Installed = 2;
    ASSERT_TRUE(s.SetModel(6));
    s.SendBufferSize = 9;
    s.SetConvSymbol(true);
    s.HistoryBuffer = 8;
    s.NewOnStart = true;
    s.WindowRight = 1000;
    EXPECT_EQ(s.SaveSettings(), 0);
    EXPECT_TRUE(m_prompter.Ids().empty());

    QSettings raw(m_temp.StoreFile(), QSettings::IniFormat);
    // The default port is not stored: the next start finds the ports anew.
    EXPECT_EQ(raw.allKeys().size(), CAppSettings::kSettingsValueCount - 1);
    EXPECT_FALSE(raw.contains(QStringLiteral("Device/Port")));
    EXPECT_EQ(raw.value(QStringLiteral("Device/Method")).toInt(), 1);
    EXPECT_EQ(raw.value(QStringLiteral("Device/Bps")).toInt(), 38400);
    EXPECT_EQ(raw.value(QStringLiteral("Device/IgnoreEcho")).toString(), QStringLiteral("0"));
    EXPECT_EQ(raw.value(QStringLiteral("Device/CallOut")).toString(), QStringLiteral("0,"));
    EXPECT_EQ(raw.value(QStringLiteral("Filters/Installed")).toInt(), 2);
    EXPECT_EQ(raw.value(QStringLiteral("Settings/ZaurusType")).toInt(), 8);
    EXPECT_EQ(raw.value(QStringLiteral("Settings/ConvSymbol")).toString(), QStringLiteral("1"));
    EXPECT_EQ(raw.value(QStringLiteral("Settings/ConvAlphaNumeric")).toString(),
              QStringLiteral("0"));
    EXPECT_EQ(raw.value(QStringLiteral("Settings/NewOnStart")).toString(), QStringLiteral("1"));
    EXPECT_EQ(raw.value(QStringLiteral("Settings/WindowRight")).toInt(), 1000);

    CAppSettings again;
    again.LoadSettings();
    EXPECT_EQ(again.ModelCode(), 6);
    EXPECT_EQ(again.Bps, 38400);
    EXPECT_EQ(again.SendBufferSize, 9);
    EXPECT_TRUE(again.ConvSymbol());
    EXPECT_EQ(again.HistoryBuffer, 8);
}

TEST_F(AppSettingsTest, UnwritableStoreCountsEveryValue) {
    CAppSettings s;
    s.LoadSettings();
    // A folder where the settings file should be: nothing can be written.
    ASSERT_TRUE(QDir().mkpath(m_temp.StoreFile()));
    m_prompter.Expect(1014);
    // Every value but the default port, which is never stored.
    EXPECT_EQ(s.SaveSettings(), CAppSettings::kSettingsValueCount - 1);
    ASSERT_EQ(m_prompter.Messages().size(), 1u);
    EXPECT_EQ(m_prompter.Messages()[0].Utf8(), "23個のレジストリを書き込みできませんでした");
    EXPECT_EQ(m_prompter.Messages()[0].icon, PromptIcon::Warning);
}

TEST_F(AppSettingsTest, MalformedHandEditedFileIsStillSaved) {
    // A section line without its closing bracket makes the file malformed, not unwritable.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_temp.StoreFile()).path()));
    const auto edit = [this](QIODevice::OpenMode mode, const char* text) {
        QFile f(m_temp.StoreFile());
        ASSERT_TRUE(f.open(mode));
        f.write(text);
    };
    edit(QIODevice::WriteOnly, "[Devi\n[Device]\nBps=38400\n");
    CAppSettings s;
    s.LoadSettings();
    s.HistoryBuffer = 9;
    // Edited again while the program runs, so saving reads the malformed file afresh.
    edit(QIODevice::Append, "[Other]\nKey=1\n");
    EXPECT_EQ(s.SaveSettings(), 0);
    EXPECT_TRUE(m_prompter.Messages().empty());
    EXPECT_EQ(Stored(QStringLiteral("Device/Bps")).toInt(), 38400);
    EXPECT_EQ(Stored(QStringLiteral("Settings/HistoryBuffer")).toInt(), 9);
}

TEST_F(AppSettingsTest, NothingIsWrittenWithoutLoading) {
    // A start that ended before the settings were read must not overwrite them.
    Store(QStringLiteral("Settings/ZaurusType"), 8);
    CAppSettings s;
    EXPECT_EQ(s.SaveSettings(), 0);
    EXPECT_EQ(Stored(QStringLiteral("Settings/ZaurusType")).toInt(), 8);
    EXPECT_FALSE(Stored(QStringLiteral("Device/Port")).isValid());
}

TEST_F(AppSettingsTest, SetModelTakesOnlyTheTenModels) {
    CAppSettings s;
    for (unsigned code = 0; code < 10; ++code) {
        EXPECT_TRUE(s.SetModel(code));
        EXPECT_EQ(s.ModelCode(), static_cast<int>(code));
    }
    EXPECT_FALSE(s.SetModel(10)); // "PI系以外"
    EXPECT_FALSE(s.SetModel(static_cast<unsigned>(-1)));
    EXPECT_EQ(s.ModelCode(), 9);
}

TEST_F(AppSettingsTest, ConversionSwitchesDriveTheCodeMap) {
    CAppSettings s;
    s.LoadSettings();
    CCodeMap map(s.ConvFlags());
    ASSERT_TRUE(map.LoadTables());
    EXPECT_EQ(std::string(map.MapDeviceCode(0xEC41).View()), "\xEC\x41");
    s.SetConvHiraKana(true);
    EXPECT_EQ(std::string(map.MapDeviceCode(0xEC41).View()), "\x82\xA0");
    s.SetConvAlphaNumeric(true);
    EXPECT_EQ(std::string(map.MapDeviceCode(0x8260).View()), "A");
}

// ---- serial ports ----

class PseudoTerminal {
public:
    PseudoTerminal() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0)
            m_name = QString::fromLocal8Bit(name);
    }
    ~PseudoTerminal() {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    QString Name() const { return m_name; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_name;
};

TEST_F(AppSettingsTest, SetPortRefusesNamesSilently) {
    CAppSettings s;
    s.LoadSettings();
    for (const char* name :
         {"COM10", "LPT1", "", "ttyNoSuchPort", "/dev/no-such-port", "/tmp", "relative/ttyS0"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(s.SetPort(QString::fromLatin1(name)));
    }
    EXPECT_EQ(s.Port(), CAppSettings::DefaultPort());
    EXPECT_TRUE(m_prompter.Ids().empty());
}

TEST_F(AppSettingsTest, SetPortAcceptsASerialDevicePath) {
    PseudoTerminal pty;
    ASSERT_FALSE(pty.Name().isEmpty());
    CAppSettings s;
    s.LoadSettings();
    EXPECT_TRUE(s.SetPort(pty.Name()));
    EXPECT_EQ(s.Port(), pty.Name());
    EXPECT_TRUE(m_prompter.Ids().empty());
}

// With no port configured, the first USB adapter is taken, else the first other port, in
// natural order; with none at all, the name an adapter usually gets.
TEST(DefaultPort, UsbAdaptersFirstThenNaturalOrder) {
    using P = CAppSettings::PortCandidate;
    const struct {
        std::vector<P> ports;
        const char* chosen;
        bool found;
    } kCases[] = {
        {{}, nullptr, false},
        {{{QStringLiteral("ttyS0")}}, "ttyS0", true},
        {{{QStringLiteral("ttyS0")},
          {QStringLiteral("ttyUSB1"), true},
          {QStringLiteral("ttyUSB0"), true}},
         "ttyUSB0",
         true},
        {{{QStringLiteral("ttyS10")}, {QStringLiteral("ttyS2")}}, "ttyS2", true},
        {{{QStringLiteral("ttyUSB10"), true}, {QStringLiteral("ttyUSB9"), true}}, "ttyUSB9", true},
        {{{QStringLiteral("ttyS0")}, {QStringLiteral("rfcomm0"), true}}, "rfcomm0", true},
        {{{QStringLiteral("ttyUSB0"), true}, {QStringLiteral("ttyACM0"), true}}, "ttyACM0", true},
    };
    for (const auto& c : kCases) {
        bool found = !c.found;
        const QString chosen = CAppSettings::ChooseDefaultPort(c.ports, &found);
        SCOPED_TRACE(chosen.toStdString());
        EXPECT_EQ(found, c.found);
        if (c.chosen)
            EXPECT_EQ(chosen, QLatin1String(c.chosen));
        else
            EXPECT_FALSE(chosen.isEmpty());
    }
}

TEST_F(AppSettingsTest, ChosenPortIsStoredAndNoLongerDefault) {
    PseudoTerminal pty;
    ASSERT_FALSE(pty.Name().isEmpty());
    {
        CAppSettings s;
        s.LoadSettings();
        ASSERT_TRUE(s.PortIsDefault());
        ASSERT_TRUE(s.SetPort(pty.Name()));
        EXPECT_FALSE(s.PortIsDefault());
        EXPECT_EQ(s.SaveSettings(), 0);
    }
    EXPECT_EQ(Stored(QStringLiteral("Device/Port")).toString(), pty.Name());
    CAppSettings again;
    again.LoadSettings();
    EXPECT_FALSE(again.PortIsDefault());
    EXPECT_EQ(again.Port(), pty.Name());
}

TEST_F(AppSettingsTest, SetPortReportsADeviceThatIsNoSerialLine) {
    CAppSettings s;
    s.LoadSettings();
    m_prompter.Expect(1121).Expect(9201); // the system's reason follows
    EXPECT_FALSE(s.SetPort(QStringLiteral("/dev/null")));
    EXPECT_EQ(s.Port(), CAppSettings::DefaultPort());
}

TEST_F(AppSettingsTest, SetPortReportsAPortInUse) {
    PseudoTerminal pty;
    ASSERT_FALSE(pty.Name().isEmpty());
    QSerialPort holder(pty.Name());
    if (!holder.open(QIODevice::ReadWrite))
        GTEST_SKIP() << "cannot hold the pseudo-terminal open";
    CAppSettings s;
    s.LoadSettings();
    m_prompter.Expect(1120).Expect(9201);
    EXPECT_FALSE(s.SetPort(pty.Name()));
    EXPECT_EQ(s.Port(), CAppSettings::DefaultPort());
    ASSERT_EQ(m_prompter.Messages().size(), 2u);
    EXPECT_EQ(m_prompter.Messages()[0].icon, PromptIcon::Warning);
    // 1120 only guesses; the second message says what the system reported.
    EXPECT_NE(m_prompter.Messages()[1].Utf8().find("ポートを開けなかった理由: "),
              std::string::npos);
    EXPECT_GT(m_prompter.Messages()[1].Utf8().size(),
              std::string("ポートを開けなかった理由: ").size());
}

// ---- registered filters ----

TEST_F(AppSettingsTest, FilterListFollowsTheRegisteredFilters) {
    CAppSettings s;
    EXPECT_EQ(s.BuildFilterList(), QString());
    EXPECT_TRUE(s.FilterNameAt(0).isEmpty());

    ASSERT_TRUE(CAppSettings::WriteFilter(
        {QStringLiteral("CSV"), QStringLiteral("csv"), QStringLiteral("/usr/bin/csvf"), false}));
    ASSERT_TRUE(CAppSettings::WriteFilter(
        {QStringLiteral("vCard"), QStringLiteral("vcf"), QStringLiteral("/opt/vc.pl"), true}));
    // A group without its extension cannot serve a file dialog and is left out.
    Store(QStringLiteral("FilterPrograms/Broken/szFilter"), QStringLiteral("/bin/true"));

    EXPECT_EQ(s.BuildFilterList(), QStringLiteral("CSV (*.csv)|*.csv|vCard (*.vcf)|*.vcf||"));
    EXPECT_EQ(s.FilterNameAt(0), QStringLiteral("CSV"));
    EXPECT_EQ(s.FilterNameAt(1), QStringLiteral("vCard"));
    EXPECT_TRUE(s.FilterNameAt(2).isEmpty());
    EXPECT_TRUE(s.FilterNameAt(-1).isEmpty());

    FilterProgram f;
    ASSERT_TRUE(CAppSettings::ReadFilter(QStringLiteral("vCard"), f));
    EXPECT_EQ(f.program, QStringLiteral("/opt/vc.pl"));
    EXPECT_TRUE(f.perlScript);
    EXPECT_FALSE(CAppSettings::ReadFilter(QStringLiteral("../Device"), f));

    ASSERT_TRUE(CAppSettings::RemoveFilter(QStringLiteral("CSV")));
    EXPECT_EQ(s.BuildFilterList(), QStringLiteral("vCard (*.vcf)|*.vcf||"));
    EXPECT_EQ(s.FilterNameAt(0), QStringLiteral("vCard"));
    EXPECT_TRUE(s.FilterNameAt(1).isEmpty());
    // Filters are not part of the 23 settings values.
    EXPECT_FALSE(CAppSettings::WriteFilter(
        {QStringLiteral("a/b"), QStringLiteral("x"), QStringLiteral("y"), false}));
}

TEST_F(AppSettingsTest, StoreLivesUnderTheProgramsName) {
    CAppSettings s;
    s.LoadSettings();
    ASSERT_EQ(s.SaveSettings(), 0);
    EXPECT_TRUE(QFile::exists(m_temp.StoreFile()));
}

} // namespace
