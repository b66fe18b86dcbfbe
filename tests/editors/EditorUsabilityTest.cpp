// The editors as a user at the keyboard meets them: where the focus starts, where Tab goes,
// access keys and required marks, pastes that do not fit, the characters other programs
// write, the report's pending item, growing memos and the dial button's call state.

#include "EditorTestSupport.h"
#include "app/dial/Dialer.h"
#include "app/dial/TelDlg.h"
#include "app/editors/ImageDlg.h"
#include "app/editors/report/ReportDlg.h"
#include "dial/FakeToneOutput.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>

namespace tessera::test {
namespace {

class EditorUsabilityTest : public EditorTest {};

// Every editor opens with the focus on its first text field, and a typed space there does
// not mark the record secret.
TEST_F(EditorUsabilityTest, FocusStartsOnTheFirstTextField) {
    const struct {
        int kind;
        const char* first;
    } cases[] = {
        {kKindPhoneBook, "name"},        {kKindBusinessCard, "name"}, {kKindAnniversary, "month"},
        {kKindAnniversaryWeek, "month"}, {kKindActionList, "memo"},   {kKindSchedule, "memo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        auto ed = Make(c.kind);
        ed->SetNewRecord();
        ShowActive(*ed);
        EXPECT_EQ(FocusName(), QString::fromLatin1(c.first));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_FALSE(Child<QCheckBox>(*ed, "secret")->isChecked());
    }
}

// Tab walks the form top to bottom and left to right; the card reaches its required company
// name right after the name and its reading.
TEST_F(EditorUsabilityTest, TabFollowsTheLayout) {
    const struct {
        int kind;
        QStringList walk; // from the first field on
    } cases[] = {
        {kKindPhoneBook,
         {"reading", "tel", "dial", "zip", "address", "birthYear", "birthMonth", "birthDay",
          "remark", "check1", "check2", "check3", "check4", "buttons"}},
        {kKindBusinessCard,
         {"reading", "office", "officeReading", "section", "post", "tel", "dial", "fax", "zip",
          "birthYear", "birthMonth", "birthDay", "address", "remark", "association", "check1"}},
        {kKindAnniversary, {"day", "memo", "buttons"}},
        {kKindAnniversaryWeek, {"week", "dayOfWeek", "memo", "buttons"}},
        {kKindActionList,
         {"buttons", "buttons", "buttons", "secret", "done", "priority", "entryYear"}},
        {kKindSchedule,
         {"buttons", "buttons", "buttons", "secret", "alarmOn", "tabs", "dateYear", "dateMonth",
          "dateDay", "hour", "minute", "reset", "memo"}},
        {kKindMemo, {"buttons", "buttons", "buttons", "secret", "title"}}, // nothing to copy
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.walk.join(QLatin1Char(' ')).toStdString());
        auto ed = Make(c.kind);
        ed->SetNewRecord();
        ShowActive(*ed);
        const QStringList walk = TabWalk(static_cast<int>(c.walk.size()));
        EXPECT_EQ(walk, c.walk) << walk.join(QLatin1Char(' ')).toStdString();
    }
}

// Every field label has an access key no other control of its editor uses, and the
// required fields' labels are marked.
TEST_F(EditorUsabilityTest, LabelsHaveTheirOwnAccessKeysAndRequiredMarks) {
    const QString mark = U(" *");
    const struct {
        int kind;
        std::vector<const char*> required; // field names whose labels carry the mark
    } cases[] = {
        {kKindPhoneBook, {"個人名"}},
        {kKindBusinessCard, {"個人名", "会社名"}},
        {kKindAnniversary, {"内容"}},
        {kKindActionList, {"内容"}},
        {kKindSchedule, {"内容"}},
        {kKindReport, {}},
        {kKindMemo, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        auto ed = Make(c.kind);
        QSet<QChar> keys;
        for (QLabel* label : ed->findChildren<QLabel*>()) {
            if (label->buddy() == nullptr)
                continue;
            const QString text = label->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            ASSERT_GE(amp, 0) << text.toStdString();
            const QChar key = text.at(amp + 1).toUpper();
            EXPECT_FALSE(keys.contains(key)) << text.toStdString();
            keys.insert(key);
        }
        for (QAbstractButton* b : ed->findChildren<QAbstractButton*>()) {
            const qsizetype amp = b->text().indexOf(QLatin1Char('&'));
            if (amp >= 0) {
                EXPECT_FALSE(keys.contains(b->text().at(amp + 1).toUpper()))
                    << b->text().toStdString();
            }
        }
        for (const char* name : c.required) {
            bool found = false;
            for (QLabel* label : ed->findChildren<QLabel*>())
                if (label->buddy() != nullptr && label->text().startsWith(U(name)))
                    found = found || label->text().contains(mark);
            EXPECT_TRUE(found) << name;
        }
    }
}

// 1040 says which required field is empty; 1073 of the anniversaries says which field.
TEST_F(EditorUsabilityTest, MessagesNameTheField) {
    const struct {
        int kind;
        std::vector<std::pair<const char*, const char*>> texts;
        int message;
        const char* field;
    } cases[] = {
        {kKindPhoneBook, {}, kMsgEditRequired, "個人名"},
        {kKindBusinessCard, {{"name", "a"}}, kMsgEditRequired, "会社名"},
        {kKindAnniversary, {{"memo", "m"}}, kMsgEditBadInput, "月日"},
        {kKindAnniversaryWeek, {{"month", "3"}, {"memo", "m"}}, kMsgEditBadInput, "月週曜"},
        {kKindAnniversary, {{"month", "3"}, {"day", "3"}}, kMsgEditRequired, "内容"},
        {kKindActionList, {}, kMsgEditRequired, "内容"},
        {kKindSchedule, {{"memo", "m"}}, kMsgEditRequired, "開始"},
        {kKindMemo, {}, kMsgEditRequired, "イメージデータ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        KindRecords kind(c.kind);
        auto rec = kind.New();
        auto ed = Make(c.kind);
        ed->SetNewRecord();
        for (const auto& [name, text] : c.texts)
            SetText(*ed, name, U(text));
        prompter.Clear();
        prompter.Expect(c.message);
        EXPECT_FALSE(PressOk(*ed, *rec));
        ASSERT_FALSE(prompter.Messages().empty());
        EXPECT_NE(prompter.Messages().back().Utf8().find(c.field), std::string::npos)
            << prompter.Messages().back().Utf8();
    }
}

// Characters other programs write for a code page 932 character are stored as it; one that
// has no code is refused with its code named, never as "?", and is selected in the field.
TEST_F(EditorUsabilityTest, TwinCharactersAreTakenAndRefusalsNameTheCharacter) {
    KindRecords kind(kKindPhoneBook);
    auto rec = kind.New();
    auto ed = Make(kKindPhoneBook);
    ed->SetNewRecord();
    SetText(*ed, "name", U("〜−‖¢£¬—¥"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(Utf8(KindRecords::Text(*rec, "NAME")), "～－∥￠￡￢―￥");

    auto ed2 = Make(kKindPhoneBook);
    ed2->SetNewRecord();
    SetText(*ed2, "name", U("ab€"));
    ShowActive(*ed2);
    prompter.Expect(kMsgEditUnencodable);
    EXPECT_FALSE(PressOk(*ed2, *rec));
    const std::string text = prompter.Messages().back().Utf8();
    EXPECT_NE(text.find("U+20AC"), std::string::npos) << text;
    EXPECT_EQ(text.find('?'), std::string::npos) << text;
    EXPECT_EQ(Child<QLineEdit>(*ed2, "name")->selectedText(), U("€"));
}

// A paste that does not fit takes what fits, whole characters only, and says how much was
// left out; one that fits says nothing.
TEST_F(EditorUsabilityTest, PasteTakesWhatFits) {
    const struct {
        const char* before;
        const char* pasted;
        const char* after;
        int cut; // bytes left out; 0: no message
    } cases[] = {
        {"", "abc", "abc", 0},
        {"", "あいうえおかきく", "あいうえおか", 4},
        {"a", "あいうえおかきく", "aあいうえお", 6}, // 11 bytes: the sixth would be split
        {"abcdefghijk", "ｱｲ", "abcdefghijkｱ", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted);
        auto ed = Make(kKindPhoneBook);
        auto* reading = Child<CByteLineEdit>(*ed, "reading");
        ASSERT_EQ(reading->MaxBytes(), 16);
        // Four bytes taken already: twelve are left for the cases.
        const QString filler(4, QLatin1Char('-'));
        reading->setText(filler + U(c.before));
        prompter.Clear();
        if (c.cut > 0)
            prompter.Expect(ids::kMsgEditPasteCut);
        reading->PasteLimited(U(c.pasted));
        EXPECT_EQ(reading->text(), filler + U(c.after));
        if (c.cut > 0) {
            ASSERT_EQ(prompter.Ids(), std::vector<int>{ids::kMsgEditPasteCut});
            const std::string text = prompter.Messages().back().Utf8();
            EXPECT_NE(text.find(std::to_string(c.cut) + " "), std::string::npos) << text;
            EXPECT_NE(text.find("個人名読み"), std::string::npos) << text;
        } else {
            EXPECT_TRUE(prompter.Ids().empty());
        }
    }
}

// The same for the multi-line edits, through the clipboard; their counters show the room.
TEST_F(EditorUsabilityTest, MultiLinePasteTakesWhatFitsAndCountersShow) {
    for (int kindId : {kKindPhoneBook, kKindBusinessCard}) {
        auto ed = Make(kindId);
        auto* address = Child<CByteTextEdit>(*ed, "address");
        const int limit = address->MaxBytes();
        auto* room = Child<QLabel>(*ed, "addressRoom");
        ASSERT_NE(room, nullptr);
        EXPECT_FALSE(room->isHidden());
        EXPECT_NE(room->text().indexOf(QString::number(limit)), -1) << room->text().toStdString();
        for (const char* name :
             {"remarkRoom", kindId == kKindBusinessCard ? "associationRoom" : "remarkRoom"})
            EXPECT_NE(ed->findChild<QLabel*>(QString::fromLatin1(name)), nullptr) << name;

        QGuiApplication::clipboard()->setText(QString(limit / 2 + 3, QChar(u'表')));
        prompter.Clear();
        prompter.Expect(ids::kMsgEditPasteCut);
        address->paste();
        EXPECT_EQ(Cp932Length(address->toPlainText()), limit - limit % 2);
        EXPECT_EQ(address->RoomLeft(), limit % 2);
        EXPECT_EQ(prompter.Ids(), std::vector<int>{ids::kMsgEditPasteCut});
        EXPECT_NE(room->text().indexOf(QString::number(limit % 2)), -1);
    }
}

// Enter in the item name puts the item into the list (or updates the selected one) instead
// of closing the dialog.
TEST_F(EditorUsabilityTest, EnterInTheItemNameAddsTheItem) {
    auto ed = std::unique_ptr<CReportDlg>(static_cast<CReportDlg*>(Make(kKindReport).release()));
    ed->SetNewRecord();
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    ShowActive(*ed);
    auto* name = Child<QLineEdit>(*ed, "itemName");
    SetText(*ed, "itemName", U("天気"));
    SetText(*ed, "content", U("晴れ"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(ed->isVisible()) << "Enter is not OK here";
    ASSERT_EQ(ed->Items().size(), 1u);
    EXPECT_EQ(Utf8(ed->Items()[0].name), "天気");
    EXPECT_TRUE(name->text().isEmpty());

    ed->SelectRow(0);
    SetText(*ed, "content", U("雨"));
    QTest::keyClick(name, Qt::Key_Enter);
    ASSERT_EQ(ed->Items().size(), 1u);
    EXPECT_EQ(Utf8(ed->Items()[0].content), "雨");
    // Ctrl+Enter in the content does the same; a plain Enter breaks the line.
    ed->SelectRow(0);
    auto* content = Child<CByteTextEdit>(*ed, "content");
    content->setFocus();
    content->moveCursor(QTextCursor::End);
    QTest::keyClick(content, Qt::Key_Return);
    EXPECT_EQ(content->toPlainText(), U("雨\n"));
    QTest::keyClick(content, Qt::Key_X);
    QTest::keyClick(content, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Utf8(ed->Items()[0].content), "雨\r\nx");
}

// OK with an item typed but not yet in the list asks; it is never dropped unasked.
TEST_F(EditorUsabilityTest, OkWithAPendingItemAsks) {
    const struct {
        PromptResult answer;
        bool closed;
        const char* stored;
    } cases[] = {
        {PromptResult::Yes, true, "日付\t6/15\x1F天気\t晴れ"},
        {PromptResult::No, true, "日付\t6/15"},
        {PromptResult::Cancel, false, ""},
    };
    KindRecords kind(kKindReport);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        auto rec = kind.New();
        auto ed =
            std::unique_ptr<CReportDlg>(static_cast<CReportDlg*>(Make(kKindReport).release()));
        ed->SetNewRecord();
        Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
        SetText(*ed, "itemName", U("日付"));
        SetText(*ed, "content", U("6/15"));
        ed->AddItem();
        SetText(*ed, "itemName", U("天気"));
        SetText(*ed, "content", U("晴れ"));
        prompter.Clear();
        prompter.Expect(ids::kMsgReportPendingAdd, c.answer);
        EXPECT_EQ(PressOk(*ed, *rec), c.closed);
        EXPECT_EQ(prompter.Ids(), std::vector<int>{ids::kMsgReportPendingAdd});
        EXPECT_NE(prompter.Messages()[0].Utf8().find("天気"), std::string::npos);
        EXPECT_EQ(Utf8(KindRecords::Text(*rec, "MEM1")), c.stored);
    }
}

// The report format shows the bytes its whole text has left, the typed item counted in.
TEST_F(EditorUsabilityTest, ReportShowsItsRoomLeft) {
    auto ed = std::unique_ptr<CReportDlg>(static_cast<CReportDlg*>(Make(kKindReport).release()));
    ed->SetNewRecord();
    auto* room = Child<QLabel>(*ed, "reportRoom");
    EXPECT_TRUE(room->isHidden()) << "the free format has its own counter";
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    EXPECT_FALSE(room->isHidden());
    EXPECT_NE(room->text().indexOf(QStringLiteral("2533")), -1) << room->text().toStdString();
    SetText(*ed, "itemName", U("ab"));
    SetText(*ed, "content", U("c\nd"));
    EXPECT_EQ(ed->ReportRoomLeft(), 2533 - 6); // ab TAB c 0x1F d
    ed->AddItem();
    EXPECT_EQ(ed->ReportRoomLeft(), 2533 - 6);
    EXPECT_NE(room->text().indexOf(QString::number(2533 - 6)), -1);
}

// Multi-line fields take the height a dialog gains; the memo editor's buttons stay where
// they were after a paste.
TEST_F(EditorUsabilityTest, MemosGrowAndButtonsStay) {
    for (int kindId : {kKindPhoneBook, kKindBusinessCard, kKindSchedule, kKindActionList,
                       kKindAnniversary, kKindAnniversaryWeek}) {
        SCOPED_TRACE(kindId);
        auto ed = Make(kindId);
        ed->show();
        ed->adjustSize();
        QApplication::processEvents();
        auto* memo = ed->findChild<CByteTextEdit*>(QString::fromLatin1(
            kindId == kKindPhoneBook || kindId == kKindBusinessCard ? "remark" : "memo"));
        ASSERT_NE(memo, nullptr);
        const int before = memo->height();
        ed->resize(ed->width() + 100, ed->height() + 200);
        QApplication::processEvents();
        EXPECT_GT(memo->height(), before + 40);
    }

    auto ed = Make(kKindMemo);
    ed->show();
    ed->adjustSize();
    QApplication::processEvents();
    auto* copy = Child<QPushButton>(*ed, "copy");
    auto* paste = Child<QPushButton>(*ed, "paste");
    const QRect copyBefore = copy->geometry(), pasteBefore = paste->geometry();
    QImage img(30, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setPixelColor(1, 1, Qt::black);
    ASSERT_TRUE(static_cast<CImageDlg&>(*ed).PasteImage(img));
    QApplication::processEvents();
    EXPECT_EQ(copy->geometry(), copyBefore);
    EXPECT_EQ(paste->geometry(), pasteBefore);
}

// 1057 gives the size a picture may have.
TEST_F(EditorUsabilityTest, PictureRefusalGivesTheAllowedSize) {
    auto ed = Make(kKindMemo);
    QImage img(300, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    prompter.Expect(1057);
    EXPECT_FALSE(static_cast<CImageDlg&>(*ed).PasteImage(img));
    const std::string text = prompter.Messages().back().Utf8();
    EXPECT_NE(text.find("198"), std::string::npos) << text;
    EXPECT_NE(text.find("128"), std::string::npos) << text;
}

// A birthday still to come shows no age (not "-73歳").
TEST_F(EditorUsabilityTest, FutureBirthdayShowsNoAge) {
    const struct {
        const char* year;
        const char* month;
        const char* age;
    } cases[] = {{"2030", "1", ""}, {"2024", "6", "0"}, {"2024", "7", ""}, {"1951", "6", "73"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.year);
        auto ed = Make(kKindPhoneBook);
        SetDate(*ed, "birth", U(c.year), U(c.month), U("15"));
        EXPECT_EQ(Child<QLabel>(*ed, "age")->text(), U(c.age));
    }
}

// While tones play the dial button says so and stops them.
TEST_F(EditorUsabilityTest, DialButtonShowsTheCallAndStopsIt) {
    FakeToneState state;
    CToneDialModule tones;
    tones.SetOutput(std::make_unique<FakeToneOutput>(state));
    settings.DialMethod = 1;
    auto ed = Make(kKindPhoneBook);
    auto& contact = static_cast<CContactDlg&>(*ed);
    contact.Dialer().SetToneModule(&tones);
    SetText(*ed, "tel", U("117"));
    auto* dial = Child<QPushButton>(*ed, "dial");
    auto* dialing = Child<QLabel>(*ed, "dialState");
    const QString idle = dial->text();
    EXPECT_TRUE(dialing->isHidden());
    dial->click();
    EXPECT_EQ(state.plays, 1);
    EXPECT_TRUE(contact.Dialer().InCall());
    EXPECT_FALSE(dialing->isHidden());
    EXPECT_TRUE(dial->isEnabled());
    EXPECT_NE(dial->text(), idle);
    dial->click(); // stop
    EXPECT_FALSE(contact.Dialer().InCall());
    EXPECT_EQ(state.stops, 1);
    EXPECT_TRUE(dialing->isHidden());
    EXPECT_EQ(dial->text(), idle);
    // Tones that end by themselves put the button back too.
    dial->click();
    state.Finish(true);
    EXPECT_TRUE(dialing->isHidden());
    EXPECT_EQ(dial->text(), idle);
}

} // namespace
} // namespace tessera::test
