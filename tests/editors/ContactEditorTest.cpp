// Phone-book and business-card editors: required fields, the birthday rules, what is stored
// and what is kept, and the limits of the edits.

#include "EditorTestSupport.h"
#include "app/dial/TelDlg.h"

#include <QLabel>
#include <QTest>

namespace tessera::test {
namespace {

class ContactEditorTest : public EditorTest {};

TEST_F(ContactEditorTest, NewPhoneEntryNeedsAName) {
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.New();
    auto ed = Make(kKindPhoneBook);
    ed->SetNewRecord();
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "NAME"), "");

    SetText(*ed, "name", U("山田太郎"));
    EXPECT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(Utf8(KindRecords::Text(*rec, "NAME")), "山田太郎");
    // New check combos start at "？", which stores as no mark.
    for (const char* tag : {"CHK1", "CHK2", "CHK3", "CHK4"})
        EXPECT_EQ(KindRecords::Text(*rec, tag), "") << tag;
    EXPECT_EQ(KindRecords::Text(*rec, "BRTH"), "");
}

TEST_F(ContactEditorTest, CardNeedsNameAndCompany) {
    KindRecords kind(kKindBusinessCard);
    auto rec = kind.New();
    auto ed = Make(kKindBusinessCard);
    ed->SetNewRecord();
    SetText(*ed, "name", U("鈴木"));
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
    SetText(*ed, "office", U("東西商事"));
    EXPECT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(Utf8(KindRecords::Text(*rec, "OFCE")), "東西商事");
}

struct BirthdayCase {
    const char* year;
    const char* month;
    const char* day;
    bool refused;         // message 1072
    const char* exchange; // BRTH exchange text when accepted
};

TEST_F(ContactEditorTest, BirthdayRules) {
    const BirthdayCase cases[] = {
        {"", "2", "30", false, "    0230      "}, // no year, no month-length check
        {"1900", "1", "1", true, nullptr},
        {"2099", "12", "31", false, "20991231      "},
        {"1901", "1", "1", false, "19010101      "},
        {"2100", "1", "1", true, nullptr},
        {"", "", "5", true, nullptr}, // only the day
        {"2000", "13", "1", true, nullptr},
        {"2000", "", "", true, nullptr}, // a year alone is no date
        {"1980", "5", "", true, nullptr},
        {"", "5", "32", true, nullptr},
        {"", "", "", false, ""}, // no birthday at all
    };
    KindRecords kind(kKindPhoneBook);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.year) + "/" + c.month + "/" + c.day);
        auto rec = kind.New();
        auto ed = Make(kKindPhoneBook);
        ed->SetNewRecord();
        SetText(*ed, "name", U("a"));
        SetDate(*ed, "birth", U(c.year), U(c.month), U(c.day));
        if (c.refused)
            prompter.Expect(1072);
        EXPECT_EQ(PressOk(*ed, *rec), !c.refused);
        if (!c.refused) {
            EXPECT_EQ(KindRecords::Text(*rec, "BRTH"), c.exchange);
        } else {
            EXPECT_EQ(KindRecords::Text(*rec, "NAME"), "") << "nothing stored when refused";
        }
    }
}

TEST_F(ContactEditorTest, LoadThenStoreUnchangedKeepsTheRecord) {
    const std::string lf = "\x1F";
    KindRecords cards(kKindBusinessCard);
    auto rec = cards.With({{"SCRT", "*"},
                           {"NAME", Cp932("佐藤花子")},
                           {"NAPR", Cp932("さとう")},
                           {"TEL1", "03-1234-5678"},
                           {"FAX1", "03-1234-5679"},
                           {"OFCE", Cp932("株式会社東西")},
                           {"OFPR", Cp932("とうざい")},
                           {"SCTN", Cp932("営業部")},
                           {"PSTN", Cp932("課長")},
                           {"ZIPC", "100-0001"},
                           {"ADR1", Cp932("東京都") + lf + Cp932("千代田区")},
                           {"BRTH", "19850704      "},
                           {"RMRK", "MEM1:line1" + lf + "line2\x1E\x0C"},
                           {"CHK1", Cp932("○")},
                           {"CHK3", Cp932("△")},
                           {"ASCT", "MEM1:met at fair\x1E\x0C"}});
    const std::string before = KindRecords::All(*rec);
    auto ed = Make(kKindBusinessCard);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::All(*rec), before);
}

TEST_F(ContactEditorTest, ClearingTheBirthdayRemovesIt) {
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.With({{"NAME", "x"}, {"BRTH", "19850704      "}});
    auto ed = Make(kKindPhoneBook);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    SetDate(*ed, "birth", U(""), U(""), U(""));
    EXPECT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "BRTH"), "");
}

TEST_F(ContactEditorTest, EmptiedYearLeavesTheBirthday) {
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.With({{"NAME", "x"}, {"BRTH", "19850704      "}});
    auto ed = Make(kKindPhoneBook);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    SetText(*ed, "birthYear", U(""));
    EXPECT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "BRTH"), "    0704      ");
}

TEST_F(ContactEditorTest, AgeAndDayOfWeekFollowTheBirthday) {
    auto ed = Make(kKindPhoneBook);
    ed->SetNewRecord();
    auto* age = Child<QLabel>(*ed, "age");
    auto* unit = Child<QLabel>(*ed, "ageUnit");
    auto* dow = Child<QLabel>(*ed, "birthDayOfWeek");
    EXPECT_TRUE(age->text().isEmpty());
    EXPECT_FALSE(unit->isEnabled());
    SetDate(*ed, "birth", U("1990"), U("6"), U("16")); // the day after "today" (2024-06-15)
    EXPECT_EQ(age->text(), U("33"));
    EXPECT_EQ(dow->text(), U("(土)"));
    EXPECT_TRUE(unit->isEnabled());
    SetText(*ed, "birthDay", U("15"));
    EXPECT_EQ(age->text(), U("34"));
    SetText(*ed, "birthYear", U(""));
    EXPECT_TRUE(age->text().isEmpty());
    EXPECT_FALSE(unit->isEnabled());
}

TEST_F(ContactEditorTest, UntouchedTextKeepsItsBytes) {
    // A lone CR and a TAB can come in from a file; an edit the user leaves alone must not
    // rewrite them, while an edit the user changes is held to the rules.
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.New();
    ASSERT_TRUE(rec->SetFieldValue(MakeTag("NAME"), std::string("a\rb")));
    ASSERT_TRUE(rec->SetFieldValue(MakeTag("ZIPC"), std::string("1\t2")));
    auto ed = Make(kKindPhoneBook);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(*ValueAs<std::string>(rec->GetFieldValue(MakeTag("NAME"))), "a\rb");
    EXPECT_EQ(*ValueAs<std::string>(rec->GetFieldValue(MakeTag("ZIPC"))), "1\t2");

    auto ed2 = Make(kKindPhoneBook);
    ASSERT_TRUE(ed2->LoadFromRecord(*rec));
    SetText(*ed2, "zip", U("1\t23"));
    prompter.Expect(kMsgEditForbidden);
    EXPECT_FALSE(PressOk(*ed2, *rec));
    EXPECT_NE(prompter.Messages().back().Utf8().find("郵便番号"), std::string::npos);
}

TEST_F(ContactEditorTest, RefusedCharactersKeepTheDialogOpen) {
    struct Case {
        const char* text;
        int message;
    } cases[] = {
        {"smile \xF0\x9F\x98\x80", kMsgEditUnencodable},
        {"a\",b", kMsgEditForbidden},
        {"a\tb", kMsgEditForbidden},
        {"a\x1A", kMsgEditForbidden},
    };
    KindRecords kind(kKindPhoneBook);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto rec = kind.New();
        auto ed = Make(kKindPhoneBook);
        ed->SetNewRecord();
        SetText(*ed, "name", U("ok"));
        SetText(*ed, "address", QString::fromUtf8(c.text));
        prompter.Expect(c.message);
        EXPECT_FALSE(PressOk(*ed, *rec));
        EXPECT_EQ(KindRecords::Text(*rec, "NAME"), "") << "nothing is written";
        EXPECT_NE(prompter.Messages().back().Utf8().find("住所"), std::string::npos);
    }
}

TEST_F(ContactEditorTest, MultiLineTextIsStoredWithCrLf) {
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.New();
    auto ed = Make(kKindPhoneBook);
    ed->SetNewRecord();
    SetText(*ed, "name", U("n"));
    SetText(*ed, "address", U("one\ntwo\r\nthree"));
    SetText(*ed, "remark", U("r1\nr2"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(*ValueAs<std::string>(rec->GetFieldValue(MakeTag("ADR1"))), "one\r\ntwo\r\nthree");
    EXPECT_EQ(KindRecords::Text(*rec, "ADR1"), "one\x1Ftwo\x1Fthree");
    EXPECT_EQ(KindRecords::Text(*rec, "RMRK"), "MEM1:r1\x1Fr2\x1E\x0C");
}

TEST_F(ContactEditorTest, EditsRefuseTypingPastTheirLimit) {
    auto ed = Make(kKindPhoneBook);
    ed->SetNewRecord();
    auto* reading = Child<CByteLineEdit>(*ed, "reading");
    ASSERT_EQ(reading->MaxBytes(), 16);
    QTest::keyClicks(reading, QStringLiteral("12345678901234567"));
    EXPECT_EQ(reading->text(), QStringLiteral("1234567890123456"));
    reading->clear();
    for (QChar c : U("あいうえおかきくけ")) // nine double-byte characters, typed one by one
        QTest::sendKeyEvent(QTest::Click, reading, Qt::Key_A, QString(c), Qt::NoModifier);
    EXPECT_EQ(reading->text(), U("あいうえおかきく"));
    EXPECT_EQ(reading->RoomLeft(), 0);

    auto* remark = Child<CByteTextEdit>(*ed, "remark");
    remark->setPlainText(QString(991, QLatin1Char('x')));
    EXPECT_EQ(remark->RoomLeft(), 1);
    remark->moveCursor(QTextCursor::End);
    QTest::keyClicks(remark, QStringLiteral("yz"));
    EXPECT_EQ(remark->toPlainText().size(), 992);
    EXPECT_EQ(remark->RoomLeft(), 0);
}

TEST_F(ContactEditorTest, CheckMarksRoundTrip) {
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.With({{"NAME", "n"}, {"CHK2", Cp932("×")}});
    auto ed = Make(kKindPhoneBook);
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_EQ(Child<QComboBox>(*ed, "check2")->currentIndex(), 2);
    Child<QComboBox>(*ed, "check4")->setCurrentIndex(3);
    Child<QComboBox>(*ed, "check2")->setCurrentIndex(0);
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "CHK2"), "");
    EXPECT_EQ(Utf8(KindRecords::Text(*rec, "CHK4")), "○");
}

TEST_F(ContactEditorTest, RecordWithoutTheFieldsCannotBeLoaded) {
    // A record of another kind lacks the phone-book fields: 1038, and the load fails.
    KindRecords memo(kKindMemo);
    auto rec = memo.New();
    auto ed = Make(kKindPhoneBook);
    prompter.Expect(1038);
    EXPECT_FALSE(ed->LoadFromRecord(*rec));
}

} // namespace
} // namespace tessera::test
