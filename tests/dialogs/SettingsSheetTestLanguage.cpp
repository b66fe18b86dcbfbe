// The language choice on the settings sheet's edit page: offered choices, stored on OK only.

#include "WidgetApp.h"
#include "app/settings/SettingsSheet.h"
#include "base/AppSettings.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"

#include <QComboBox>
#include <gtest/gtest.h>

using namespace tessera;

namespace {

class SettingsLanguageTest : public ::testing::Test {
protected:
    std::unique_ptr<CSettingsSheet> Open() {
        auto sheet = std::make_unique<CSettingsSheet>(settings, nullptr, [] { return true; });
        combo = sheet->findChild<QComboBox*>(QStringLiteral("language"));
        return sheet;
    }
    QStringList Codes() const {
        QStringList codes;
        for (int i = 0; i < combo->count(); ++i)
            codes << combo->itemData(i).toString();
        return codes;
    }

    test::WidgetAppGuard app;
    test::TempSettings store;
    test::ScriptedPrompter prompter;
    CAppSettings settings;
    QComboBox* combo = nullptr;
};

TEST_F(SettingsLanguageTest, OffersAutoJapaneseEnglishAndStoresOnOkOnly) {
    settings.LoadSettings();
    EXPECT_EQ(settings.Language, QStringLiteral("auto"));
    {
        auto sheet = Open();
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(Codes().mid(0, 3), (QStringList{QStringLiteral("auto"), QStringLiteral("ja"),
                                                  QStringLiteral("en")}));
        EXPECT_EQ(combo->currentData().toString(), QStringLiteral("auto"));
        combo->setCurrentIndex(combo->findData(QStringLiteral("en")));
        sheet->reject();
        EXPECT_EQ(settings.Language, QStringLiteral("auto")) << "cancel keeps the setting";
    }
    {
        auto sheet = Open();
        combo->setCurrentIndex(combo->findData(QStringLiteral("en")));
        sheet->accept();
        EXPECT_EQ(settings.Language, QStringLiteral("en"));
    }
    // Written with the other settings and read back at the next start.
    EXPECT_EQ(settings.SaveSettings(), 0);
    CAppSettings next;
    next.LoadSettings();
    EXPECT_EQ(next.Language, QStringLiteral("en"));
}

TEST_F(SettingsLanguageTest, AStoredCodeWithoutAPackIsShownAndKept) {
    settings.Language = QStringLiteral("eo");
    auto sheet = Open();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentData().toString(), QStringLiteral("eo"));
    sheet->accept();
    EXPECT_EQ(settings.Language, QStringLiteral("eo"));
}

} // namespace
