// The pieces every editor shares: calendar texts, spin steps, text encoding and the staged
// writes that never leave a record half written.

#include "EditorTestSupport.h"

namespace tessera::test {
namespace {

TEST(EditorCalendar, DayOfWeekOfKnownDates) {
    struct Case {
        int y, m, d, dow;
    } cases[] = {
        {2024, 6, 15, 6},  {2000, 1, 1, 6}, {2000, 2, 29, 2}, {1901, 1, 1, 2},
        {2099, 12, 31, 4}, {2024, 3, 1, 5}, {1970, 1, 1, 4},  {2023, 12, 31, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DayOfWeek(c.y, c.m, c.d), c.dow) << c.y << "/" << c.m << "/" << c.d;
        EXPECT_EQ(DayOfWeek(c.y, c.m, c.d), QDate(c.y, c.m, c.d).dayOfWeek() % 7);
    }
}

TEST(EditorCalendar, AgeCountsWholeYears) {
    const QDate today(2024, 6, 15);
    EXPECT_EQ(AgeOn(today, 1990, 6, 15), 34);
    EXPECT_EQ(AgeOn(today, 1990, 6, 16), 33);
    EXPECT_EQ(AgeOn(today, 1990, 7, 1), 33);
    EXPECT_EQ(AgeOn(today, 1990, 5, 31), 34);
    EXPECT_EQ(AgeOn(today, 2024, 6, 15), 0);
}

TEST(EditorSpin, AccelerationSteps) {
    EditorApp();
    CSpinEdit year(1901, 2099, kYearAccel);
    CSpinEdit month(1, 12, kMonthAccel);
    CSpinEdit day(1, 31, kDayAccel);
    struct Case {
        CSpinEdit* spin;
        qint64 ms;
        int step;
    } cases[] = {
        {&year, 0, 1},     {&year, 1999, 1}, {&year, 2000, 5}, {&year, 3999, 5},
        {&year, 4000, 10}, {&month, 0, 1},   {&month, 999, 1}, {&month, 1000, 2},
        {&month, 9000, 2}, {&day, 0, 1},     {&day, 1000, 2},  {&day, 2000, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.spin->StepAfter(c.ms), c.step) << c.ms;
}

TEST(EditorSpin, StepsStayInRangeAndEmptyStartsAtItsValue) {
    EditorApp();
    CSpinEdit month(1, 12, kMonthAccel);
    month.SetEmptyStart([] { return 6; });
    month.stepBy(1);
    EXPECT_EQ(month.text(), QStringLiteral("6"));
    month.SetNumber(12);
    month.stepBy(1);
    EXPECT_EQ(month.text(), QStringLiteral("12"));
    month.SetNumber(1);
    month.stepBy(-1);
    EXPECT_EQ(month.text(), QStringLiteral("1"));
    EXPECT_EQ(month.Unsigned(), 1u);
    month.Clear();
    EXPECT_EQ(month.Unsigned(), 0u);
    EXPECT_EQ(month.Signed(), -1);
    QString typed = QStringLiteral("1a");
    int pos = 0;
    EXPECT_EQ(month.validate(typed, pos), QValidator::Invalid);
    typed = QStringLiteral("123");
    EXPECT_EQ(month.validate(typed, pos), QValidator::Invalid);
}

TEST(EditorText, EncodingRules) {
    struct Case {
        const char* utf8;
        bool allowTab;
        TextCheck check;
        std::string bytes;
    } cases[] = {
        {"abc", false, TextCheck::Ok, "abc"},
        {"a\nb", false, TextCheck::Ok, "a\r\nb"},
        {"a\rb", false, TextCheck::Ok, "a\r\nb"},
        {"a\r\nb", false, TextCheck::Ok, "a\r\nb"},
        {"a\tb", false, TextCheck::Forbidden, ""},
        {"a\tb", true, TextCheck::Ok, "a\tb"},
        {"a\x1A", false, TextCheck::Forbidden, ""},
        {"a\x1F", false, TextCheck::Forbidden, ""},
        {"say \",", false, TextCheck::Forbidden, ""},
        {"say \" ,", false, TextCheck::Ok, "say \" ,"},
        {"\xE2\x82\xAC", false, TextCheck::Unencodable, ""}, // euro sign
        {"日本", false, TextCheck::Ok, "\x93\xFA\x96\x7B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::string out;
        QString bad;
        EXPECT_EQ(EncodeFieldText(QString::fromUtf8(c.utf8), c.allowTab, out, &bad), c.check);
        if (c.check == TextCheck::Ok) {
            EXPECT_EQ(out, c.bytes);
        } else {
            EXPECT_FALSE(bad.isEmpty());
        }
    }
}

TEST(EditorText, ByteLengthCountsDoubleByteCharacters) {
    EXPECT_EQ(Cp932Length(QStringLiteral("abc")), 3);
    EXPECT_EQ(Cp932Length(QString::fromUtf8("あい")), 4);
    EXPECT_EQ(Cp932Length(QString::fromUtf8("ｱｲ")), 2); // half-width katakana
    EXPECT_EQ(Cp932Length(QStringLiteral("a\nb")), 4);
}

class FieldWritesTest : public EditorTest {};

TEST_F(FieldWritesTest, RefusedValueWritesNothing) {
    KindRecords kind(kKindSchedule);
    auto rec = kind.With({{"MEM1", "old"}, {"TIM1", "202401011200  "}});
    CFieldWrites writes;
    writes.SetText(MakeTag("MEM1"), "new");
    DateTimeValue bad;
    bad.flags = 7;
    bad.year = 2100;
    bad.month = 1;
    bad.day = 1;
    writes.SetDate(MakeTag("TIM2"), bad);
    prompter.Expect(1073);
    EXPECT_FALSE(writes.Apply(*rec));
    EXPECT_EQ(KindRecords::Text(*rec, "MEM1"), "old");
    EXPECT_NE(prompter.Messages().back().Utf8().find("終了時刻"), std::string::npos);
}

TEST_F(FieldWritesTest, EmptyValuesClearAndDatesReplace) {
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.With({{"NAME", "old"}, {"BRTH", "19800101      "}});
    CFieldWrites writes;
    writes.SetText(MakeTag("NAME"), "");
    DateTimeValue noYear;
    noYear.flags = DateTimeValue::kMonth | DateTimeValue::kDay;
    noYear.month = 3;
    noYear.day = 4;
    writes.SetDate(MakeTag("BRTH"), noYear);
    ASSERT_TRUE(writes.Apply(*rec));
    EXPECT_EQ(KindRecords::Text(*rec, "NAME"), "");
    EXPECT_EQ(KindRecords::Text(*rec, "BRTH"), "    0304      ");
}

TEST_F(FieldWritesTest, MissingFieldIsRefused) {
    KindRecords kind(kKindMemo);
    auto rec = kind.New();
    CFieldWrites writes;
    writes.SetText(MakeTag("NAME"), "x");
    prompter.Expect(1073);
    EXPECT_FALSE(writes.Apply(*rec));
}

TEST(EditorFactory, EveryKindHasItsEditor) {
    EditorApp();
    CAppSettings settings;
    for (int kind = 0; kind <= 9; ++kind) {
        auto e = CreateEditor(kind, nullptr, settings);
        EXPECT_EQ(e != nullptr, HasEditor(kind)) << kind;
    }
    EXPECT_FALSE(HasEditor(0));
    EXPECT_FALSE(HasEditor(9));
}

} // namespace
} // namespace tessera::test
