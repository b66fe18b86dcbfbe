// The anniversary editors and the action-list editor.

#include "EditorTestSupport.h"
#include "app/editors/ActionDlg.h"

#include <QCheckBox>
#include <QLabel>

namespace tessera::test {
namespace {

class AnniversaryEditorTest : public EditorTest {};

TEST_F(AnniversaryEditorTest, MonthDayRules) {
    struct Case {
        const char* month;
        const char* day;
        int message; // 0 accepted
    } cases[] = {
        {"2", "31", 0}, // no month-length check
        {"2", "32", 1073}, {"13", "1", 1073}, {"", "1", 1073}, {"12", "", 1073},
    };
    KindRecords kind(kKindAnniversary);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.month) + "/" + c.day);
        auto rec = kind.New();
        auto ed = Make(kKindAnniversary);
        ed->SetNewRecord();
        SetText(*ed, "month", U(c.month));
        SetText(*ed, "day", U(c.day));
        SetText(*ed, "memo", U("結婚記念日"));
        if (c.message)
            prompter.Expect(c.message);
        EXPECT_EQ(PressOk(*ed, *rec), c.message == 0);
        if (c.message == 0) {
            EXPECT_EQ(KindRecords::Text(*rec, "ANN1"), "    0231      ");
        }
    }
}

TEST_F(AnniversaryEditorTest, MonthDayNeedsText) {
    KindRecords kind(kKindAnniversary);
    auto rec = kind.New();
    auto ed = Make(kKindAnniversary);
    ed->SetNewRecord();
    SetText(*ed, "month", U("5"));
    SetText(*ed, "day", U("5"));
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
}

TEST_F(AnniversaryEditorTest, MonthDayRoundTrip) {
    KindRecords kind(kKindAnniversary);
    auto rec = kind.With({{"SCRT", "*"}, {"ANN1", "    1224      "}, {"MEM1", "x\x1Fy"}});
    const std::string before = KindRecords::All(*rec);
    auto ed = Make(kKindAnniversary);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_EQ(Child<CSpinEdit>(*ed, "month")->text(), U("12"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::All(*rec), before);
}

TEST_F(AnniversaryEditorTest, WeekDayRules) {
    struct Case {
        const char* month;
        const char* week;
        int dayOfWeek;
        int message;
        const char* exchange;
    } cases[] = {
        {"3", "2", 6, 0, "    0326"}, {"12", "5", 0, 0, "    1250"}, {"3", "6", 1, 1073, nullptr},
        {"0", "1", 1, 1073, nullptr}, {"13", "1", 1, 1073, nullptr}, {"3", "", 1, 1073, nullptr},
    };
    KindRecords kind(kKindAnniversaryWeek);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.month) + "/" + c.week);
        auto rec = kind.New();
        auto ed = Make(kKindAnniversaryWeek);
        ed->SetNewRecord();
        SetText(*ed, "month", U(c.month));
        SetText(*ed, "week", U(c.week));
        Child<QComboBox>(*ed, "dayOfWeek")->setCurrentIndex(c.dayOfWeek);
        SetText(*ed, "memo", U("x"));
        if (c.message)
            prompter.Expect(c.message);
        EXPECT_EQ(PressOk(*ed, *rec), c.message == 0);
        if (c.exchange) {
            EXPECT_EQ(KindRecords::Text(*rec, "ANN2"), c.exchange);
        }
    }
}

TEST_F(AnniversaryEditorTest, WeekDayStartsOnSundayAndLoads) {
    KindRecords kind(kKindAnniversaryWeek);
    auto ed = Make(kKindAnniversaryWeek);
    ed->SetNewRecord();
    EXPECT_EQ(Child<QComboBox>(*ed, "dayOfWeek")->currentIndex(), 0);

    auto rec = kind.With({{"ANN2", "    0326"}, {"MEM1", "m"}});
    const std::string before = KindRecords::All(*rec);
    auto ed2 = Make(kKindAnniversaryWeek);
    ASSERT_TRUE(ed2->LoadFromRecord(*rec));
    EXPECT_EQ(Child<CSpinEdit>(*ed2, "month")->text(), U("3"));
    EXPECT_EQ(Child<CSpinEdit>(*ed2, "week")->text(), U("2"));
    EXPECT_EQ(Child<QComboBox>(*ed2, "dayOfWeek")->currentIndex(), 6);
    ASSERT_TRUE(PressOk(*ed2, *rec));
    EXPECT_EQ(KindRecords::All(*rec), before);
}

class ActionEditorTest : public EditorTest {
protected:
    KindRecords kind{kKindActionList};
};

TEST_F(ActionEditorTest, NewRecordStartsTodayWithPriorityA) {
    auto rec = kind.New();
    auto ed = Make(kKindActionList);
    ed->SetNewRecord();
    EXPECT_EQ(Child<CSpinEdit>(*ed, "entryYear")->text(), U("2024"));
    EXPECT_EQ(Child<QComboBox>(*ed, "priority")->currentIndex(), 1);
    EXPECT_EQ(Child<QLabel>(*ed, "entryDayOfWeek")->text(), U("(土)"));
    SetText(*ed, "memo", U("買い物"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "ETDY"), "20240615      ");
    EXPECT_EQ(KindRecords::Text(*rec, "PRTY"), "01");
    EXPECT_EQ(KindRecords::Text(*rec, "MARK"), "00");
    EXPECT_EQ(KindRecords::Text(*rec, "FNDY"), "");
    EXPECT_EQ(KindRecords::Text(*rec, "LTDY"), "");
}

TEST_F(ActionEditorTest, EntryDateAndTextAreRequired) {
    auto rec = kind.New();
    auto ed = Make(kKindActionList);
    ed->SetNewRecord();
    SetText(*ed, "memo", U("x"));
    SetText(*ed, "entryDay", U(""));
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
    SetText(*ed, "entryDay", U("3"));
    SetText(*ed, "memo", U(""));
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
}

TEST_F(ActionEditorTest, DoneMarkSetsAndClearsTheFinishDate) {
    auto rec = kind.With({{"ETDY", "20240601      "},
                          {"FNDY", "20240610      "},
                          {"MARK", "01"},
                          {"PRTY", "02"},
                          {"MEM1", "m"}});
    auto ed = Make(kKindActionList);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    auto* done = Child<QCheckBox>(*ed, "done");
    EXPECT_TRUE(done->isChecked());
    EXPECT_EQ(Child<CSpinEdit>(*ed, "finishDay")->text(), U("10"))
        << "loading keeps the stored date";
    done->setChecked(false);
    EXPECT_TRUE(Child<CSpinEdit>(*ed, "finishYear")->text().isEmpty());
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "FNDY"), "");
    EXPECT_EQ(KindRecords::Text(*rec, "MARK"), "00");

    auto ed2 = Make(kKindActionList);
    ASSERT_TRUE(ed2->LoadFromRecord(*rec));
    Child<QCheckBox>(*ed2, "done")->setChecked(true);
    ASSERT_TRUE(PressOk(*ed2, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "FNDY"), "20240615      ");
    EXPECT_EQ(KindRecords::Text(*rec, "MARK"), "01");
}

TEST_F(ActionEditorTest, NoDueDateOnPi3000) {
    settings.SetModel(0);
    auto rec = kind.With({{"ETDY", "20240601      "}, {"LTDY", "20240701      "}, {"MEM1", "m"}});
    auto ed = Make(kKindActionList);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    auto* dueYear = Child<CSpinEdit>(*ed, "dueYear");
    EXPECT_FALSE(dueYear->isEnabled());
    EXPECT_TRUE(dueYear->text().isEmpty()) << "the due date is not loaded";
    EXPECT_TRUE(Child<QLabel>(*ed, "remainDays")->text().isEmpty());
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "LTDY"), "20240701      ") << "and not stored";

    auto fresh = kind.New();
    auto ed2 = Make(kKindActionList);
    ed2->SetNewRecord();
    SetText(*ed2, "memo", U("x"));
    ASSERT_TRUE(PressOk(*ed2, *fresh));
    EXPECT_EQ(KindRecords::Text(*fresh, "LTDY"), "");
}

TEST_F(ActionEditorTest, RemainingTimeUntilTheDueDay) {
    struct Case {
        unsigned y, m, d;
        bool shown;
        qint64 days, hours, minutes;
    } cases[] = {
        {2024, 6, 17, true, 1, 13, 30}, // from 2024-06-15 10:30
        {2024, 6, 16, true, 0, 13, 30},
        {2024, 6, 15, false, 0, 0, 0}, // midnight today has passed
        {2020, 1, 1, false, 0, 0, 0},
        {1970, 1, 1, false, 0, 0, 0}, // years up to 1970 are not counted
        {2024, 13, 1, false, 0, 0, 0},
        {2024, 7, 0, false, 0, 0, 0},
    };
    const QDateTime now(QDate(2024, 6, 15), QTime(10, 30));
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.y << "/" << c.m << "/" << c.d);
        auto r = RemainingUntil(now, c.y, c.m, c.d);
        ASSERT_EQ(r.has_value(), c.shown);
        if (r) {
            EXPECT_EQ(r->days, c.days);
            EXPECT_EQ(r->hours, c.hours);
            EXPECT_EQ(r->minutes, c.minutes);
        }
    }
}

TEST_F(ActionEditorTest, RemainingTimeShowsAndRefreshes) {
    auto ed = Make(kKindActionList);
    ed->SetNewRecord();
    SetDate(*ed, "due", U("2024"), U("6"), U("17"));
    EXPECT_EQ(Child<QLabel>(*ed, "remainDays")->text(), U("1"));
    EXPECT_EQ(Child<QLabel>(*ed, "remainHours")->text(), U("13"));
    EXPECT_EQ(Child<QLabel>(*ed, "remainMinutes")->text(), U("30"));
    EXPECT_EQ(Child<QLabel>(*ed, "dueDayOfWeek")->text(), U("(月)"));
    SetEditorClockForTests(QDateTime(QDate(2024, 6, 16), QTime(23, 59)));
    static_cast<CActionDlg&>(*ed).RefreshTexts();
    EXPECT_EQ(Child<QLabel>(*ed, "remainDays")->text(), U("0"));
    EXPECT_EQ(Child<QLabel>(*ed, "remainMinutes")->text(), U("1"));
    SetDate(*ed, "due", U("2024"), U("6"), U("1")); // in the past
    EXPECT_TRUE(Child<QLabel>(*ed, "remainDays")->text().isEmpty());
}

TEST_F(ActionEditorTest, TabbingThroughTheDueDateStoresNothing) {
    auto rec = kind.New();
    auto ed = Make(kKindActionList);
    ed->SetNewRecord();
    SetText(*ed, "memo", U("m"));
    ShowActive(*ed);
    // Tab from the entry date's year through the due date's three edits.
    auto* dueYear = Child<CSpinEdit>(*ed, "dueYear");
    auto* dueDay = Child<CSpinEdit>(*ed, "dueDay");
    Child<CSpinEdit>(*ed, "entryYear")->setFocus();
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(dueDay->hasFocus() || dueDay->isAncestorOf(QApplication::focusWidget()));
    EXPECT_TRUE(dueYear->text().isEmpty());
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "LTDY"), "");
    // A spin button on the empty edit still starts at today.
    auto ed2 = Make(kKindActionList);
    ed2->SetNewRecord();
    Child<CSpinEdit>(*ed2, "dueYear")->stepBy(1);
    EXPECT_EQ(Child<CSpinEdit>(*ed2, "dueYear")->text(), U("2024"));
}

TEST_F(ActionEditorTest, LoadThenStoreUnchangedKeepsTheRecord) {
    // A finish date without its year cannot be shown whole; left alone it stays as it is.
    auto rec = kind.With({{"SCRT", "*"},
                          {"ETDY", "20240601      "},
                          {"FNDY", "    0610      "},
                          {"MARK", "01"},
                          {"PRTY", "00"},
                          {"MEM1", "a\x1F"
                                   "b"},
                          {"LTDY", "20241231      "}});
    const std::string before = KindRecords::All(*rec);
    auto ed = Make(kKindActionList);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::All(*rec), before);
}

TEST_F(ActionEditorTest, ClearingTheDueDateRemovesIt) {
    auto rec = kind.With({{"ETDY", "20240601      "}, {"LTDY", "20241231      "}, {"MEM1", "m"}});
    auto ed = Make(kKindActionList);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    SetDate(*ed, "due", U(""), U(""), U(""));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "LTDY"), "");
}

} // namespace
} // namespace tessera::test
