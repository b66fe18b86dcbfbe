// Schedule editor: three tabs on one set of edits, auto-completion of the end time, dates
// without times, focus filling and reset.

#include "EditorTestSupport.h"
#include "app/editors/SchedDlg.h"

#include <QPushButton>
#include <QTabBar>

namespace tessera::test {
namespace {

class ScheduleEditorTest : public EditorTest {
protected:
    void SetTime(QObject& ed, const char* y, const char* mo, const char* d, const char* h,
                 const char* mi) {
        SetDate(ed, "date", U(y), U(mo), U(d));
        SetText(ed, "hour", U(h));
        SetText(ed, "minute", U(mi));
    }
    QString Shown(QObject& ed) {
        QString s;
        for (const char* n : {"dateYear", "dateMonth", "dateDay", "hour", "minute"})
            s += Child<CSpinEdit>(ed, n)->text() + QLatin1Char('|');
        return s;
    }
    KindRecords kind{kKindSchedule};
};

TEST_F(ScheduleEditorTest, EndTimeIsCompletedFromStartWhenSwitchedOn) {
    for (bool autoComp : {true, false}) {
        SCOPED_TRACE(autoComp);
        settings.ScheduleAutoComp = autoComp;
        auto rec = kind.New();
        auto ed = Make(kKindSchedule);
        ed->SetNewRecord();
        SetTime(*ed, "2024", "6", "20", "10", "0");
        SetText(*ed, "memo", U("会議"));
        Child<QTabBar>(*ed, "tabs")->setCurrentIndex(CSchedDlg::kEnd);
        EXPECT_EQ(Shown(*ed), autoComp ? U("2024|6|20|10|0|") : U("|||||"));
        ASSERT_TRUE(PressOk(*ed, *rec));
        EXPECT_EQ(KindRecords::Text(*rec, "TIM1"), "202406201000  ");
        EXPECT_EQ(KindRecords::Text(*rec, "TIM2"), autoComp ? "202406201000  " : "");
    }
}

TEST_F(ScheduleEditorTest, AutoCompletionLeavesAnExistingEndTime) {
    auto rec = kind.With({{"TIM1", "202406201000  "}, {"TIM2", "202406201130  "}, {"MEM1", "m"}});
    auto ed = Make(kKindSchedule);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    Child<QTabBar>(*ed, "tabs")->setCurrentIndex(CSchedDlg::kEnd);
    EXPECT_EQ(Shown(*ed), U("2024|6|20|11|30|"));
}

TEST_F(ScheduleEditorTest, TabsKeepTheirOwnValues) {
    auto rec = kind.New();
    auto ed = Make(kKindSchedule);
    ed->SetNewRecord();
    auto* tabs = Child<QTabBar>(*ed, "tabs");
    SetTime(*ed, "2024", "7", "1", "9", "15");
    tabs->setCurrentIndex(CSchedDlg::kAlarm);
    EXPECT_EQ(Shown(*ed), U("|||||"));
    SetTime(*ed, "2024", "7", "1", "8", "45");
    tabs->setCurrentIndex(CSchedDlg::kStart);
    EXPECT_EQ(Shown(*ed), U("2024|7|1|9|15|"));
    SetText(*ed, "memo", U("x"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "ALRM"), "202407010845  ");
}

TEST_F(ScheduleEditorTest, DateWithoutMinuteIsStoredAsDateOnly) {
    auto rec = kind.New();
    auto ed = Make(kKindSchedule);
    ed->SetNewRecord();
    SetTime(*ed, "2024", "6", "20", "10", "");
    SetText(*ed, "memo", U("x"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "TIM1"), "20240620      ");
}

TEST_F(ScheduleEditorTest, RequiredStartDateAndMemo) {
    auto rec = kind.New();
    auto ed = Make(kKindSchedule);
    ed->SetNewRecord();
    SetText(*ed, "memo", U("x"));
    SetTime(*ed, "1900", "6", "20", "", ""); // a year of 1900 is no date
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
    SetTime(*ed, "2024", "6", "20", "", "");
    SetText(*ed, "memo", U(""));
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
    SetText(*ed, "memo", U("x"));
    EXPECT_TRUE(PressOk(*ed, *rec));
}

TEST_F(ScheduleEditorTest, ValueTheFieldRefusesNamesTheField) {
    auto rec = kind.New();
    auto ed = Make(kKindSchedule);
    ed->SetNewRecord();
    SetTime(*ed, "2024", "2", "10", "24", "00"); // hour 24 does not exist
    SetText(*ed, "memo", U("x"));
    prompter.Expect(1073);
    EXPECT_FALSE(PressOk(*ed, *rec));
    EXPECT_NE(prompter.Messages().back().Utf8().find("開始時刻"), std::string::npos);
    EXPECT_EQ(KindRecords::Text(*rec, "MEM1"), "") << "nothing is written";
}

TEST_F(ScheduleEditorTest, ResetClearsTheTabsValue) {
    auto rec = kind.With({{"TIM1", "202406201000  "}, {"TIM2", "202406201130  "}, {"MEM1", "m"}});
    auto ed = Make(kKindSchedule);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    Child<QTabBar>(*ed, "tabs")->setCurrentIndex(CSchedDlg::kEnd);
    Child<QPushButton>(*ed, "reset")->click();
    EXPECT_EQ(Shown(*ed), U("|||||"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "TIM2"), "");
    EXPECT_EQ(KindRecords::Text(*rec, "TIM1"), "202406201000  ");
}

TEST_F(ScheduleEditorTest, EmptyEditTakesTheCurrentTimeOnFocus) {
    auto ed = Make(kKindSchedule);
    ed->SetNewRecord();
    auto* year = Child<CSpinEdit>(*ed, "dateYear");
    auto* minute = Child<CSpinEdit>(*ed, "minute");
    emit year->focusGained();
    emit minute->focusGained();
    EXPECT_EQ(year->text(), U("2024"));
    EXPECT_EQ(minute->text(), U("30"));
    year->SetNumber(2030);
    emit year->focusGained(); // not empty: left alone
    EXPECT_EQ(year->text(), U("2030"));
}

TEST_F(ScheduleEditorTest, LoadThenStoreUnchangedKeepsTheRecord) {
    // The end time has an hour but no minute: the edits cannot show it whole, so a tab the
    // user does not touch must keep it.
    auto rec = kind.With({{"SCRT", "*"},
                          {"TIM1", "202406201000  "},
                          {"TIM2", "2024062012    "},
                          {"ALRM", "202406200945  "},
                          {"ALON", "*"},
                          {"MEM1", "a\x1F"
                                   "b"}});
    const std::string before = KindRecords::All(*rec);
    auto ed = Make(kKindSchedule);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    Child<QTabBar>(*ed, "tabs")->setCurrentIndex(CSchedDlg::kAlarm);
    Child<QTabBar>(*ed, "tabs")->setCurrentIndex(CSchedDlg::kStart);
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::All(*rec), before);
}

} // namespace
} // namespace tessera::test
