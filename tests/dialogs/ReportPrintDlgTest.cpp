#include "app/editors/report/ReportPrintDlg.h"

#include "WidgetApp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tessera;

namespace {

TEST(PrintFormatByte, BitLayout) {
    struct Case {
        ReportPrintSettings s;
        std::uint8_t byte;
    };
    const Case cases[] = {
        {{true, true, false, 0, 0}, 0x00},  {{false, true, false, 0, 0}, 0x40},
        {{true, false, false, 0, 0}, 0x20}, {{true, true, true, 0, 0}, 0x04},
        {{true, true, false, 0, 1}, 0x01},  {{true, true, false, 0, 2}, 0x02},
        {{true, true, false, 1, 0}, 0x08},  {{true, true, false, 2, 0}, 0x10},
        {{true, true, false, 3, 0}, 0x18},  {{false, false, true, 3, 2}, 0x7E},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PackPrintFormat(c.s), c.byte) << int(c.byte);
        EXPECT_EQ(UnpackPrintFormat(c.byte), c.s) << int(c.byte);
    }
}

TEST(PrintFormatByte, EveryStoredByteRoundTrips) {
    for (int b = 0; b < 0x80; ++b)
        EXPECT_EQ(PackPrintFormat(UnpackPrintFormat(static_cast<std::uint8_t>(b))), b) << b;
}

TEST(PrintFormatByte, OutOfRangeValuesStayInTheirBits) {
    // -1 and large values must not set the skip bit 7 or spill into the flags beside them.
    ReportPrintSettings s = DefaultItemPrintSettings();
    for (int v : {-1, 4, 7, 255, 1000, -128}) {
        s.position = v;
        s.charSize = 0;
        std::uint8_t b = PackPrintFormat(s);
        EXPECT_EQ(b & 0xFC, 0) << "position " << v;
        s.position = 0;
        s.charSize = v;
        b = PackPrintFormat(s);
        EXPECT_EQ(b & 0xE7, 0) << "size " << v;
    }
}

TEST(PrintFormatByte, NewItemDefaults) {
    EXPECT_EQ(PackPrintFormat(DefaultItemPrintSettings()), 0x00);
}

class ReportPrintDlgTest : public ::testing::Test {
protected:
    QCheckBox* Check(const char* name) {
        return dlg.findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    QComboBox* Combo(const char* name) {
        return dlg.findChild<QComboBox*>(QString::fromLatin1(name));
    }
    test::WidgetAppGuard app;
    CReportPrintDlg dlg;
};

TEST_F(ReportPrintDlgTest, ListsInTheirOrder) {
    const QStringList sizes = {QStringLiteral("普通"), QStringLiteral("縦倍角"),
                               QStringLiteral("横倍角"), QStringLiteral("4倍角")};
    const QStringList positions = {QStringLiteral("左詰め"), QStringLiteral("センタリング"),
                                   QStringLiteral("右詰め")};
    ASSERT_EQ(Combo("charSize")->count(), 4);
    ASSERT_EQ(Combo("position")->count(), 3);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Combo("charSize")->itemText(i), sizes[i]);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Combo("position")->itemText(i), positions[i]);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("印刷設定"));
}

TEST_F(ReportPrintDlgTest, ItemNotPrintedDisablesTheRestButShowsValues) {
    dlg.SetSettings({false, true, true, 2, 1});
    EXPECT_FALSE(Check("printName")->isEnabled());
    EXPECT_FALSE(Check("underline")->isEnabled());
    EXPECT_FALSE(Combo("charSize")->isEnabled());
    EXPECT_FALSE(Combo("position")->isEnabled());
    EXPECT_TRUE(Check("printName")->isChecked());
    EXPECT_EQ(Combo("charSize")->currentIndex(), 2);
    EXPECT_EQ(Combo("position")->currentIndex(), 1);

    dlg.show();
    QTest::mouseClick(Check("printItem"), Qt::LeftButton);
    EXPECT_TRUE(Check("printItem")->isChecked());
    EXPECT_TRUE(Check("printName")->isEnabled());
    EXPECT_TRUE(Check("underline")->isEnabled());
    EXPECT_TRUE(Combo("charSize")->isEnabled());
    EXPECT_TRUE(Combo("position")->isEnabled());

    QTest::mouseClick(Check("printItem"), Qt::LeftButton);
    EXPECT_FALSE(Combo("position")->isEnabled());
}

TEST_F(ReportPrintDlgTest, ClearingWholeItemKeepsTheOtherAttributes) {
    const ReportPrintSettings in{true, false, true, 3, 2};
    dlg.SetSettings(in);
    dlg.show();
    QTest::mouseClick(Check("printItem"), Qt::LeftButton);
    ReportPrintSettings expected = in;
    expected.printItem = false;
    EXPECT_EQ(dlg.Settings(), expected);
}

TEST_F(ReportPrintDlgTest, NothingSelectedNeverComesBack) {
    dlg.SetSettings({true, true, false, -1, -1});
    EXPECT_EQ(dlg.Settings().charSize, 0);
    EXPECT_EQ(dlg.Settings().position, 0);
    // A stored position 3 has no entry: the first one is shown instead.
    dlg.SetSettings({true, true, false, 3, 3});
    EXPECT_EQ(dlg.Settings().charSize, 3);
    EXPECT_EQ(dlg.Settings().position, 0);
    // A fresh dialog starts at the first entries too.
    CReportPrintDlg fresh;
    EXPECT_EQ(fresh.Settings().charSize, 0);
    EXPECT_EQ(fresh.Settings().position, 0);
}

TEST_F(ReportPrintDlgTest, EditHandsBackOnOkOnly) {
    ReportPrintSettings s{true, true, false, 1, 1};
    const ReportPrintSettings original = s;

    // Cancel after a change: the caller's values stay.
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<CReportPrintDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->findChild<QCheckBox*>(QStringLiteral("underline"))->setChecked(true);
        d->reject();
    });
    EXPECT_FALSE(CReportPrintDlg::Edit(nullptr, s));
    EXPECT_EQ(s, original);

    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<CReportPrintDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->findChild<QCheckBox*>(QStringLiteral("underline"))->setChecked(true);
        d->findChild<QComboBox*>(QStringLiteral("position"))->setCurrentIndex(2);
        d->accept();
    });
    EXPECT_TRUE(CReportPrintDlg::Edit(nullptr, s));
    EXPECT_TRUE(s.underline);
    EXPECT_EQ(s.position, 2);
    EXPECT_EQ(s.charSize, 1);
}

} // namespace
