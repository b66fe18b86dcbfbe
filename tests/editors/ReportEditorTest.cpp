// Report / free-notebook editor: the two formats, the item list and its limits, the
// print-format bytes that belong to the items, and what is stored.

#include "EditorTestSupport.h"
#include "app/editors/report/ReportDlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace tessera::test {
namespace {

const std::string kSep = "\x1F";

class ReportEditorTest : public EditorTest {
protected:
    std::unique_ptr<CReportDlg> MakeReport() {
        return std::unique_ptr<CReportDlg>(static_cast<CReportDlg*>(Make(kKindReport).release()));
    }
    void Type(CReportDlg& ed, const char* name, const char* content) {
        SetText(ed, "itemName", U(name));
        SetText(ed, "content", U(content));
    }
    static QPushButton* Button(CReportDlg& ed, const char* name) {
        return Child<QPushButton>(ed, name);
    }
    KindRecords kind{kKindReport};
};

TEST(ReportText, ParseAndComposeRoundTrip) {
    const std::vector<ReportItem> items = {
        {Cp932("日付"), "2024/6/15"},
        {Cp932("内容"), Cp932("一行目") + "\r\n" + Cp932("二行目")},
        {"empty", ""},
    };
    std::string text;
    ASSERT_EQ(ComposeReportText(items, text), ReportCompose::Ok);
    EXPECT_EQ(Utf8(text),
              "日付\t2024/6/15" + kSep + "内容\t一行目" + kSep + "二行目" + kSep + "empty\t");
    EXPECT_TRUE(IsReportText(text));
    EXPECT_EQ(ParseReportText(text), items);
}

TEST(ReportText, ParsingOddTexts) {
    struct Case {
        std::string text;
        std::vector<ReportItem> items;
    } cases[] = {
        {"a\tb", {{"a", "b"}}},
        {"a\tb" + kSep + "c" + kSep + "d\te", {{"a", "b\r\nc"}, {"d", "e"}}},
        // No separator before the next TAB: nothing is dropped.
        {"a\tb\tc", {{"a", ""}, {"b", "c"}}},
        {"a\tb" + kSep + "tail", {{"a", "b\r\ntail"}}},
        // A double-byte character whose second byte looks like nothing special.
        {Cp932("表") + "\t" + Cp932("能"), {{Cp932("表"), Cp932("能")}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.text));
        EXPECT_EQ(ParseReportText(c.text), c.items);
    }
    EXPECT_FALSE(IsReportText("no tab here"));
    EXPECT_FALSE(IsReportText(""));
}

TEST(ReportText, ComposeLimits) {
    std::string text;
    std::vector<ReportItem> items(25, ReportItem{"n", "c"});
    EXPECT_EQ(ComposeReportText(items, text), ReportCompose::Ok);
    items.push_back({"n", "c"});
    EXPECT_EQ(ComposeReportText(items, text), ReportCompose::TooManyItems);

    // One item: name TAB content may take up to 2533 bytes in all.
    std::vector<ReportItem> one = {{"n", std::string(2531, 'x')}};
    EXPECT_EQ(ComposeReportText(one, text), ReportCompose::Ok);
    EXPECT_EQ(text.size(), 2533u);
    one[0].content.push_back('x');
    EXPECT_EQ(ComposeReportText(one, text), ReportCompose::TooLong);
    std::vector<ReportItem> two = {{"n", std::string(2000, 'x')}, {"m", std::string(600, 'y')}};
    EXPECT_EQ(ComposeReportText(two, text), ReportCompose::TooLong);
}

TEST(ReportPrintFormat, LookupSkipsMarkedBytes) {
    std::vector<uint8_t> bytes = {0x80, 0x05, 0xFF, 0x12};
    EXPECT_EQ(PrintFormatIndex(bytes, 0), 1);
    EXPECT_EQ(PrintFormatIndex(bytes, 1), 3);
    EXPECT_EQ(PrintFormatIndex(bytes, 2), -1);
    // A new third item's byte goes where the lookup finds it, after a zero filler if needed.
    SetItemPrintFormat(bytes, 3, 0x0A);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x80, 0x05, 0xFF, 0x12, 0x00, 0x0A}));
    EXPECT_EQ(PrintFormatIndex(bytes, 3), 5);
    SetItemPrintFormat(bytes, 1, 0x93); // bit 7 never written
    EXPECT_EQ(bytes[3], 0x13);
    RemoveItemPrintFormat(bytes, 0);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x80, 0xFF, 0x13, 0x00, 0x0A}));
    EXPECT_EQ(PrintFormatIndex(bytes, 0), 2);
}

TEST_F(ReportEditorTest, NewRecordStartsInFreeFormat) {
    auto ed = MakeReport();
    ed->SetNewRecord();
    EXPECT_FALSE(ed->IsReportFormat());
    EXPECT_TRUE(Child<QGroupBox>(*ed, "formatBox")->isEnabled());
    for (const char* b : {"add", "update", "delete", "printSettings"})
        EXPECT_FALSE(Button(*ed, b)->isEnabled()) << b;
    EXPECT_FALSE(Child<QTreeWidget>(*ed, "items")->isEnabled());
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    EXPECT_TRUE(Button(*ed, "add")->isEnabled());
    EXPECT_TRUE(Button(*ed, "printSettings")->isEnabled());
    EXPECT_FALSE(Button(*ed, "update")->isEnabled()) << "nothing selected";
    EXPECT_FALSE(Button(*ed, "delete")->isEnabled());
}

TEST_F(ReportEditorTest, FreeTextLimitIs997Bytes) {
    for (int size : {997, 998}) {
        SCOPED_TRACE(size);
        auto rec = kind.New();
        auto ed = MakeReport();
        ed->SetNewRecord();
        SetText(*ed, "content", QString(size, QLatin1Char('a')));
        if (size > 997)
            prompter.Expect(1088);
        EXPECT_EQ(PressOk(*ed, *rec), size <= 997);
    }
}

TEST_F(ReportEditorTest, FreeTextStoresAndResetsTheClassification) {
    auto rec = kind.With({{"MEM1", "old"}, {"CLSC", Cp932("あ")}});
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_FALSE(ed->IsReportFormat());
    EXPECT_FALSE(Child<QGroupBox>(*ed, "formatBox")->isEnabled());
    SetText(*ed, "content", U("一行目\n二行目"));
    SetText(*ed, "fileName", U("memo.txt"));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(*ValueAs<std::string>(rec->GetFieldValue(MakeTag("MEM1"))),
              Cp932("一行目") + "\r\n" + Cp932("二行目"));
    EXPECT_EQ(Utf8(KindRecords::Text(*rec, "CLSC")), "　");
    EXPECT_EQ(KindRecords::Text(*rec, "CLAS"), "memo.txt");
}

TEST_F(ReportEditorTest, EmptyTextIsRequired) {
    auto rec = kind.New();
    auto ed = MakeReport();
    ed->SetNewRecord();
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
}

TEST_F(ReportEditorTest, TwentyFiveItemsDisableAdd) {
    auto ed = MakeReport();
    ed->SetNewRecord();
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(Button(*ed, "add")->isEnabled()) << i;
        Type(*ed, std::to_string(i).c_str(), "c");
        Button(*ed, "add")->click();
    }
    EXPECT_EQ(ed->Items().size(), 25u);
    EXPECT_EQ(Child<QTreeWidget>(*ed, "items")->topLevelItemCount(), 25);
    EXPECT_FALSE(Button(*ed, "add")->isEnabled());
    ed->SelectRow(3);
    EXPECT_TRUE(Button(*ed, "delete")->isEnabled());
    Button(*ed, "delete")->click();
    EXPECT_EQ(ed->Items().size(), 24u);
    EXPECT_TRUE(Button(*ed, "add")->isEnabled());
    EXPECT_FALSE(Button(*ed, "delete")->isEnabled());
    EXPECT_EQ(ed->Items()[3].name, "4");
}

TEST_F(ReportEditorTest, ItemNeedsAName) {
    auto ed = MakeReport();
    ed->SetNewRecord();
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    Type(*ed, "", "content only");
    prompter.Expect(1090);
    Button(*ed, "add")->click();
    EXPECT_TRUE(ed->Items().empty());
}

TEST_F(ReportEditorTest, ReportRoundTripWithTwoLineContent) {
    auto rec = kind.New();
    auto ed = MakeReport();
    ed->SetNewRecord();
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    Type(*ed, "件名", "一行目\n二行目");
    Button(*ed, "add")->click();
    Type(*ed, "結論", "ok");
    Button(*ed, "add")->click();
    ASSERT_TRUE(PressOk(*ed, *rec));
    const std::string stored = *ValueAs<std::string>(rec->GetFieldValue(MakeTag("MEM1")));
    EXPECT_EQ(Utf8(stored), "件名\t一行目" + kSep + "二行目" + kSep + "結論\tok");
    EXPECT_EQ(KindRecords::Text(*rec, "PRF1"), "0000");
    EXPECT_EQ(Utf8(KindRecords::Text(*rec, "CLSC")), "　");

    // Through the text form and back into the editor.
    CRecordSet set;
    ASSERT_TRUE(set.SetKind(kKindReport));
    auto copy = set.NewRecord();
    ASSERT_TRUE(copy->FieldAt(copy->FindField(MakeTag("MEM1")))
                    ->ParseText(KindRecords::Text(*rec, "MEM1")));
    auto ed2 = MakeReport();
    ASSERT_TRUE(ed2->LoadFromRecord(*copy));
    ASSERT_EQ(ed2->Items().size(), 2u);
    EXPECT_EQ(ed2->Items()[0].content, Cp932("一行目") + "\r\n" + Cp932("二行目"));
    auto* list = Child<QTreeWidget>(*ed2, "items");
    EXPECT_EQ(list->topLevelItem(0)->text(0), U("件名"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), U("一行目 二行目"));
}

TEST_F(ReportEditorTest, UpdateNeedsASelectionAndWritesTheItemsByte) {
    auto rec = kind.With({{"MEM1", "a\t1" + kSep + "b\t2"}, {"PRF1", "8001FF02"}});
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_TRUE(ed->IsReportFormat());
    EXPECT_FALSE(Button(*ed, "update")->isEnabled());
    ed->SelectRow(1);
    EXPECT_TRUE(Button(*ed, "update")->isEnabled());
    EXPECT_EQ(ed->CurrentPrintSettings().position, 2);
    ReportPrintSettings s = DefaultItemPrintSettings();
    s.underline = true;
    s.charSize = 3;
    ed->TakePrintSettings(s);
    EXPECT_EQ(Child<QLabel>(*ed, "pendingMark")->text(), U("*"));
    SetText(*ed, "content", U("22"));
    Button(*ed, "update")->click();
    EXPECT_TRUE(Child<QLabel>(*ed, "pendingMark")->text().isEmpty());
    EXPECT_EQ(ed->PrintFormats(), (std::vector<uint8_t>{0x80, 0x01, 0xFF, PackPrintFormat(s)}));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(*ValueAs<std::string>(rec->GetFieldValue(MakeTag("MEM1"))), "a\t1" + kSep + "b\t22");
}

TEST_F(ReportEditorTest, DeletingKeepsLaterItemsOwnSettings) {
    auto rec = kind.With({{"MEM1", "a\t1" + kSep + "b\t2" + kSep + "c\t3"}, {"PRF1", "010204"}});
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    ed->SelectRow(0);
    Button(*ed, "delete")->click();
    ed->SelectRow(1); // "c"
    EXPECT_EQ(PackPrintFormat(ed->CurrentPrintSettings()), 0x04);
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::Text(*rec, "PRF1"), "0204");
}

TEST_F(ReportEditorTest, NewItemAfterSkippedBytesIsFoundAgain) {
    auto rec = kind.With({{"MEM1", "a\t1"}, {"PRF1", "8005"}});
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    ReportPrintSettings s = DefaultItemPrintSettings();
    s.position = 1;
    ed->TakePrintSettings(s);
    Type(*ed, "b", "2");
    Button(*ed, "add")->click();
    ed->SelectRow(1);
    EXPECT_EQ(ed->CurrentPrintSettings(), s);
    ed->SelectRow(0);
    EXPECT_EQ(PackPrintFormat(ed->CurrentPrintSettings()), 0x05);
}

TEST_F(ReportEditorTest, LongStoredNameIsKeptUntilEdited) {
    const std::string longName = "ABCDEFGHIJKLMNOPQRST"; // 20 bytes
    auto rec = kind.With({{"MEM1", longName + "\tx" + kSep + "b\ty"}});
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_EQ(ed->Items()[0].name, longName);
    EXPECT_EQ(Child<QTreeWidget>(*ed, "items")->topLevelItem(0)->text(0),
              QString::fromStdString(longName));
    ed->SelectRow(0);
    SetText(*ed, "content", U("changed"));
    Button(*ed, "update")->click();
    EXPECT_EQ(ed->Items()[0].name, longName) << "name not edited";
    SetText(*ed, "itemName", QString::fromStdString(longName.substr(0, 19)));
    Button(*ed, "update")->click();
    EXPECT_EQ(ed->Items()[0].name, "ABCDEFGHIJKL");
}

TEST_F(ReportEditorTest, LoadThenStoreUnchangedKeepsTheRecord) {
    auto rec = kind.With({{"SCRT", "*"},
                          {"CLAS", "file"},
                          {"MEM1", "a\t1" + kSep + "2" + kSep + "b\t"},
                          {"PRF1", "0140"},
                          {"CLSC", Cp932("か")}});
    const std::string before = KindRecords::All(*rec);
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(KindRecords::All(*rec), before);
}

TEST_F(ReportEditorTest, EmptyClassificationIsNotRefused) {
    auto rec = kind.With({{"MEM1", "a\t1"}});
    ASSERT_EQ(KindRecords::Text(*rec, "CLSC"), "");
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    ed->SelectRow(0);
    SetText(*ed, "content", U("2"));
    Button(*ed, "update")->click();
    ASSERT_TRUE(PressOk(*ed, *rec));
    EXPECT_EQ(*ValueAs<std::string>(rec->GetFieldValue(MakeTag("MEM1"))), "a\t2");
    EXPECT_EQ(KindRecords::Text(*rec, "CLSC"), "");
}

TEST_F(ReportEditorTest, TooManyStoredItemsAreRefused) {
    std::string text;
    for (int i = 0; i < 26; ++i)
        text += (i ? kSep : "") + std::string("n\tc");
    auto rec = kind.With({{"MEM1", text}});
    auto ed = MakeReport();
    ASSERT_TRUE(ed->LoadFromRecord(*rec));
    EXPECT_FALSE(Button(*ed, "add")->isEnabled());
    prompter.Expect(1089);
    EXPECT_FALSE(PressOk(*ed, *rec));
}

TEST_F(ReportEditorTest, TabInAnItemIsRefused) {
    auto ed = MakeReport();
    ed->SetNewRecord();
    Child<QRadioButton>(*ed, "reportFormat")->setChecked(true);
    Type(*ed, "n", "a\tb");
    prompter.Expect(kMsgEditForbidden);
    Button(*ed, "add")->click();
    EXPECT_TRUE(ed->Items().empty());
}

} // namespace
} // namespace tessera::test
