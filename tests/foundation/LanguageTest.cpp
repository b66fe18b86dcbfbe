// Language packs: the English pack against the Japanese table (every id, the same "%"
// arguments, the same shape), where packs are found, which language a run takes, and that
// a text a pack lacks stays Japanese.

#include "base/Language.h"

#include "model/FieldNames.h"
#include "resources/StringData.h"
#include "support/TempSettings.h"
#include "support/TestApp.h"
#include "text/LeadByte.h"
#include "text/StringTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

namespace tessera {
namespace {

// The data folders are found from the program's own folder.
const auto* const g_app = ::testing::AddGlobalTestEnvironment(new test::CoreAppEnvironment);

const std::string kEnglishPack = TESSERA_SOURCE_DIR "/resources/lang/en.txt";

// The "%" conversions of a code page 932 text as FormatText reads them ("%4d", "%s", "%%"),
// and Qt's "%1" places, in order.
std::vector<std::string> Conversions(std::string_view t) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(t[i]))) {
            ++i;
            continue;
        }
        if (t[i] != '%')
            continue;
        std::size_t j = i + 1;
        while (j < t.size() && std::string_view("-+ #0").find(t[j]) != std::string_view::npos)
            ++j;
        while (j < t.size() &&
               (std::isdigit(static_cast<unsigned char>(t[j])) || t[j] == '*' || t[j] == '.'))
            ++j;
        while (j < t.size() && std::string_view("hlLqjzt").find(t[j]) != std::string_view::npos)
            ++j;
        if (j < t.size() && std::string_view("diuxXocs%").find(t[j]) != std::string_view::npos) {
            out.emplace_back(t.substr(i, j - i + 1));
            i = j;
        } else if (i + 1 < t.size() && t[i + 1] >= '1' && t[i + 1] <= '9') {
            out.emplace_back(t.substr(i, 2));
        }
    }
    return out;
}

// How often `c` stands in a code page 932 text (a trail byte may have its value too).
std::size_t CountOf(const std::string& s, char c) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(s[i])))
            ++i;
        else if (s[i] == c)
            ++n;
    }
    return n;
}

// The ids of a pack file and how many text lines it has.
std::set<int> PackIds(const std::string& path, int& lines) {
    std::set<int> ids;
    lines = 0;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        ++lines;
        ids.insert(std::atoi(line.c_str()));
    }
    return ids;
}

// Every test starts and ends on the built-in texts and without a language in the
// environment, so the order of the tests does not matter.
class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_lang = qgetenv("TESSERA_LANG");
        qunsetenv("TESSERA_LANG");
        RestoreBuiltInStrings();
    }
    void TearDown() override {
        RestoreBuiltInStrings();
        qunsetenv("TESSERA_LANG_PACK");
        qputenv("TESSERA_LANG", m_lang);
    }
    QByteArray m_lang;
};

TEST_F(LanguageTest, EnglishPackHasEveryTextWithTheSameArguments) {
    int lines = 0;
    const std::set<int> packIds = PackIds(kEnglishPack, lines);
    ASSERT_GT(lines, 0) << kEnglishPack;
    // Every line is taken: none is lost to a bad escape or a character code page 932 lacks.
    EXPECT_EQ(LoadResourcePack(kEnglishPack), lines);
    EXPECT_EQ(static_cast<int>(packIds.size()), lines) << "an id is given twice";

    std::set<int> builtIn;
    for (std::size_t i = 0; i < detail::kStringDataCount; ++i) {
        const int id = detail::kStringData[i].id;
        builtIn.insert(id);
        SCOPED_TRACE(id);
        EXPECT_TRUE(packIds.count(id)) << "no English text";
        const std::string& ja = BuiltInString(id);
        const std::string& en = LoadString(id);
        EXPECT_EQ(Conversions(en), Conversions(ja));
        // Multi-part texts (file types, "hint\ntip" prompts, dialog filters) keep their parts.
        EXPECT_EQ(CountOf(en, '\n'), CountOf(ja, '\n'));
        EXPECT_EQ(CountOf(en, '\t'), CountOf(ja, '\t'));
        EXPECT_EQ(CountOf(en, '|'), CountOf(ja, '|'));
        EXPECT_EQ(CountOf(en, '&') > 0, CountOf(ja, '&') > 0) << "access key";
    }
    for (int id : packIds)
        EXPECT_TRUE(builtIn.count(id)) << id << ": no such id in the Japanese table";
}

TEST_F(LanguageTest, WhatFilesAndTheDeviceCarryIsTheSameInEnglish) {
    ASSERT_GT(LoadResourcePack(kEnglishPack), 0);
    const struct {
        int first, last;
    } kept[] = {
        {10240, 10386}, // the kinds' tag lists
        {12800, 12802}, // check-mark symbols
        {4004, 4007},   // web addresses
        {6144, 6153},   // model names
    };
    for (const auto& r : kept) {
        for (int id = r.first; id <= r.last; ++id) {
            if (HasString(id)) {
                EXPECT_EQ(LoadString(id), BuiltInString(id)) << id;
            }
        }
    }
    // The stored title of a field stays Japanese while its shown name is English.
    EXPECT_EQ(FieldDisplayName(MakeTag("NAME")), "Name");
    EXPECT_EQ(FieldStoredTitle(MakeTag("NAME")), BuiltInString(kFieldNameFirstId + 1));
    EXPECT_NE(FieldStoredTitle(MakeTag("NAME")), FieldDisplayName(MakeTag("NAME")));
}

TEST_F(LanguageTest, AutoFollowsTheSystemLanguage) {
    const struct {
        QLocale locale;
        const char* language;
    } cases[] = {
        {QLocale::c(), "ja"},
        {QLocale(QLocale::Japanese, QLocale::Japan), "ja"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "en"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "en"},
        {QLocale(QLocale::German, QLocale::Germany), "en"}, // no German pack
    };
    for (const auto& c : cases)
        EXPECT_EQ(AutoLanguage(c.locale), QLatin1String(c.language))
            << c.locale.name().toStdString();
}

TEST_F(LanguageTest, CommandLineThenEnvironmentThenSetting) {
    const QString system = SystemLanguage();
    const struct {
        const char* commandLine;
        const char* environment;
        const char* setting;
        QString expected;
    } cases[] = {
        {"en", "ja", "ja", QStringLiteral("en")},
        {"", "en", "ja", QStringLiteral("en")},
        {"", "", "en", QStringLiteral("en")},
        {"", "", "ja", QStringLiteral("ja")},
        {"", "", "auto", system},
        {"", "", "", system},
        {"auto", "en", "en", system}, // --lang auto asks the system for this run
        {"", "", "Deutsch", system},  // not a language code
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.commandLine) + "/" + c.environment + "/" + c.setting);
        qputenv("TESSERA_LANG", c.environment);
        EXPECT_EQ(
            ChooseLanguage(QString::fromLatin1(c.commandLine), QString::fromLatin1(c.setting)),
            c.expected);
    }
}

TEST_F(LanguageTest, PacksAreFoundBesideTheProgram) {
    const QString en = FindLanguagePack(QStringLiteral("en"));
    ASSERT_FALSE(en.isEmpty());
    EXPECT_TRUE(en.endsWith(QLatin1String("/tessera/lang/en.txt"))) << en.toStdString();
    EXPECT_TRUE(FindLanguagePack(QStringLiteral("ja")).isEmpty()) << "built in";
    EXPECT_TRUE(FindLanguagePack(QStringLiteral("../en")).isEmpty());
    const QStringList installed = InstalledLanguages();
    ASSERT_FALSE(installed.isEmpty());
    EXPECT_EQ(installed.first(), QStringLiteral("ja"));
    EXPECT_TRUE(installed.contains(QStringLiteral("en")));
    for (const QString& code : installed) // work files such as en-i15a.txt are no language
        EXPECT_TRUE(IsLanguageCode(code)) << code.toStdString();
}

TEST_F(LanguageTest, AThirdLanguageIsAFileAndMissingTextsStayJapanese) {
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(QStringLiteral("lang")));
    {
        QFile f(data.filePath(QStringLiteral("lang/eo.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("1537\tRicevita.\n");
    }
    qputenv("TESSERA_DATA_DIR", data.path().toLocal8Bit());
    EXPECT_EQ(ApplyLanguage(QStringLiteral("eo")), QStringLiteral("eo"));
    EXPECT_EQ(LoadString(1537), "Ricevita.");
    EXPECT_EQ(LoadString(1540), BuiltInString(1540)); // not in the pack: Japanese
    EXPECT_EQ(qgetenv("TESSERA_LANG_PACK"),
              QFile::encodeName(data.filePath(QStringLiteral("lang/eo.txt"))));
    EXPECT_TRUE(InstalledLanguages().contains(QStringLiteral("eo")));
    qunsetenv("TESSERA_DATA_DIR");

    // A language without a pack is Japanese, and filters are told no pack.
    RestoreBuiltInStrings();
    EXPECT_EQ(ApplyLanguage(QStringLiteral("zz")), QStringLiteral("ja"));
    EXPECT_TRUE(qgetenv("TESSERA_LANG_PACK").isEmpty());
    EXPECT_EQ(LoadString(1537), BuiltInString(1537));
}

TEST_F(LanguageTest, RestoringKeepsTextsHeldByReference) {
    const std::string& held = LoadString(1537);
    ASSERT_GT(LoadResourcePack(kEnglishPack), 0);
    EXPECT_EQ(held, "The data has been received.");
    OverrideString(999999, "only in a pack");
    RestoreBuiltInStrings();
    EXPECT_EQ(held, BuiltInString(1537));
    EXPECT_FALSE(HasString(999999));
}

TEST_F(LanguageTest, SettingIsStoredAndReadBeforeTheSettings) {
    test::TempSettings settings;
    EXPECT_TRUE(StoredLanguageSetting().isEmpty());
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
              QStringLiteral("Tessera"))
        .setValue(QStringLiteral("Settings/Language"), QStringLiteral("en"));
    EXPECT_EQ(StoredLanguageSetting(), QStringLiteral("en"));
    EXPECT_EQ(QtTranslationSuffix(QStringLiteral("en")), QString());
    EXPECT_EQ(QtTranslationSuffix(QStringLiteral("ja")), QStringLiteral("ja"));
}

} // namespace
} // namespace tessera
