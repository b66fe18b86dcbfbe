// The foreign formats of the bundled filters: hand-made files as other programs write them
// read field by field, the syntax rules of vCard and iCalendar that other programs rely on,
// and the refusals that keep a value from being dropped.

#include "filters/ContentLines.h"
#include "filters/CsvFormat.h"
#include "filters/ICalFormat.h"
#include "filters/VCardFormat.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"

namespace tessera::test {
namespace {

using namespace filters;

// The UTF-8 exchange text of `tag` in record `r`.
std::unique_ptr<CRecordSet> Sample(const char* file, int kind) {
    CRecordSet read;
    Failure failure;
    EXPECT_TRUE(ReadTextForm(SampleBytes(file), read, failure)) << failure.message;
    auto set = OnKindTags(read, kind, failure);
    EXPECT_TRUE(set != nullptr) << failure.message;
    return set;
}

// ---- command line ----

TEST(FilterArgs, ReadsBothDirectionsAndRefusesEverythingElse) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        int code;
        bool import;
        int kind;
    };
    const std::vector<Case> cases = {
        {{"-I", "a b.csv", "-V", "1"}, true, 0, true, 0},
        {{"-E", "out.vcf", "-T", "2", "-V", "1"}, true, 0, false, 2},
        {{"-V", "1", "-T", "8", "-E", "x"}, true, 0, false, 8}, // any order
        {{"-I", "a", "-V", "2"}, false, 1, false, 0},
        {{"-I", "a"}, false, 1, false, 0},
        {{"-I", "a", "-V", "1", "-q"}, false, 2, false, 0},
        {{"-I", "a", "-I", "b", "-V", "1"}, false, 2, false, 0},
        {{"-I", "a", "-V"}, false, 2, false, 0},
        {{"-I", "a", "-T", "1", "-V", "1"}, false, 2, false, 0},
        {{"-E", "a", "-V", "1"}, false, 2, false, 0},
        {{"-E", "a", "-T", "0", "-V", "1"}, false, 3, false, 0},
        {{"-E", "a", "-T", "x", "-V", "1"}, false, 3, false, 0},
        {{"-I", "", "-V", "1"}, false, 2, false, 0},
    };
    for (const Case& c : cases) {
        FilterArgs args;
        Failure failure;
        const bool ok = ParseFilterArgs(c.args, args, failure);
        EXPECT_EQ(ok, c.ok) << failure.message;
        if (ok) {
            EXPECT_EQ(args.import, c.import);
            EXPECT_EQ(args.kind, c.kind);
        } else {
            EXPECT_EQ(failure.code, c.code) << failure.message;
        }
    }
}

// ---- CSV ----

TEST(Csv, QuotesOnlyWhatNeedsItAndReadsItBack) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {" padded", "\" padded\""},
        {"", ""},
    };
    for (const auto& [cell, quoted] : cases) {
        EXPECT_EQ(CsvQuote(cell), quoted);
        std::vector<std::string> cells;
        std::size_t pos = 0;
        Failure failure;
        const std::string row = quoted + ",x\r\n";
        ASSERT_TRUE(ReadCsvRow(row, pos, cells, failure)) << failure.message;
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(cells[0], cell);
        EXPECT_EQ(pos, row.size());
    }
    for (const std::string bad : {"\"open", "\"a\"b,c", "a\"b"}) {
        std::vector<std::string> cells;
        std::size_t pos = 0;
        Failure failure;
        EXPECT_FALSE(ReadCsvRow(bad, pos, cells, failure)) << bad;
        EXPECT_EQ(failure.code, kExitBadInput);
    }
}

TEST(Csv, HandMadeFileWithSomeColumnsReadsFieldByField) {
    ScriptedPrompter prompter;
    const std::string csv = "\xEF\xBB\xBF"
                            "個人名,電話番号,シークレット,生年月日,備考\n"
                            "山田 太郎,03-1234-5678,*,19700101,\"一行目\n二行目\"\n"
                            "\n"
                            "佐藤 花子,,,    1224,\n";
    CRecordSet set;
    Failure failure;
    ASSERT_TRUE(ImportCsv(csv, set, failure)) << failure.message;
    EXPECT_EQ(set.Kind(), kKindPhoneBook);
    ASSERT_EQ(set.RecordCount(), 2);
    EXPECT_EQ(Value(set, 0, "NAME"), "山田 太郎");
    EXPECT_EQ(Value(set, 0, "TEL1"), "03-1234-5678");
    EXPECT_EQ(Value(set, 0, "SCRT"), "*");
    EXPECT_EQ(Value(set, 0, "BRTH"), "19700101      ");
    EXPECT_EQ(Value(set, 0, "RMRK"), "MEM1:一行目\x1F二行目\x1E\x0C");
    EXPECT_EQ(Value(set, 1, "SCRT"), " ");
    EXPECT_EQ(Value(set, 1, "BRTH"), "    1224      ");
    EXPECT_EQ(Value(set, 1, "TEL1"), "");
}

TEST(Csv, ExportWritesTitlesAndReadableValues) {
    auto set = Sample("actions.tsr", kKindActionList);
    std::string out;
    Failure failure;
    ASSERT_TRUE(ExportCsv(*set, out, failure));
    EXPECT_EQ(out.substr(0, out.find("\r\n")),
              "\xEF\xBB\xBFシークレット,記入日,処理日,チェック,重要度,内容,期限日");
    // Dates as people write them, the done mark and priority as their display texts.
    EXPECT_NE(out.find(",2001/05/28,2001/05/30,済,Ａ,"), std::string::npos) << out;
}

TEST(Csv, RefusesWhatWouldBeLostOrMisread) {
    struct Case {
        const char* name;
        std::string csv;
        int code;
    };
    const std::vector<Case> cases = {
        {"unknown column", "個人名,メール\nA,a@b\n", kExitBadInput},
        {"repeated column", "個人名,個人名\nA,B\n", kExitBadInput},
        {"long row", "個人名,電話番号\nA,1,2\n", kExitBadInput},
        {"value the field refuses", "個人名,生年月日\nA,19701340\n", kExitBadInput},
        {"flag other than *", "シークレット\nyes\n", kExitBadInput},
        {"empty file", "", kExitBadInput},
    };
    for (const Case& c : cases) {
        CRecordSet set;
        Failure failure;
        EXPECT_FALSE(ImportCsv(c.csv, set, failure)) << c.name;
        EXPECT_EQ(failure.code, c.code) << c.name << ": " << failure.message;
        EXPECT_FALSE(failure.message.empty()) << c.name;
    }
}

TEST(Csv, AWholeBusinessCardHeaderIsNotTakenForAPhoneBook) {
    auto set = Sample("cards.tsr", kKindBusinessCard);
    std::string out;
    Failure failure;
    ASSERT_TRUE(ExportCsv(*set, out, failure));
    CRecordSet back;
    ASSERT_TRUE(ImportCsv(out, back, failure)) << failure.message;
    EXPECT_EQ(back.Kind(), kKindBusinessCard);
    EXPECT_EQ(Rows(back), Rows(*set));
}

// ---- content lines ----

TEST(ContentLines, EscapingRoundTripsTheSpecialCharacters) {
    const std::string text = "a,b;c\\d\r\ne";
    EXPECT_EQ(EscapeText(text), "a\\,b\\;c\\\\d\\ne");
    EXPECT_EQ(UnescapeText(EscapeText(text)), text);
    EXPECT_EQ(SplitStructured("a\\;b;c;;d", ';'), (std::vector<std::string>{"a;b", "c", "", "d"}));
}

TEST(ContentLines, FoldingKeepsLinesShortAndCharactersWhole) {
    std::string line = "NOTE:";
    for (int i = 0; i < 60; ++i)
        line += "あ"; // three octets each
    std::string out;
    AppendFolded(out, line);
    std::size_t pos = 0;
    std::string unfolded;
    bool first = true;
    while (pos < out.size()) {
        const std::size_t end = out.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        const std::string physical = out.substr(pos, end - pos);
        EXPECT_LE(physical.size(), 75u);
        std::string cp932;
        EXPECT_TRUE(Utf8ToCp932(first ? physical : physical.substr(1), cp932)) << "split character";
        if (!first) {
            EXPECT_EQ(physical[0], ' ');
        }
        unfolded += first ? physical : physical.substr(1);
        first = false;
        pos = end + 2;
    }
    EXPECT_EQ(unfolded, line);
    std::vector<ContentLine> lines;
    Failure failure;
    ASSERT_TRUE(ParseContentLines(out, lines, failure));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].name, "NOTE");
    EXPECT_EQ("NOTE:" + lines[0].value, line);
}

TEST(ContentLines, ParametersQuotedListedOrBare) {
    std::vector<ContentLine> lines;
    Failure failure;
    ASSERT_TRUE(ParseContentLines("item1.TEL;TYPE=work,FAX;X-A=\"a:b;c\":1\r\ntel;fax:2\r\n", lines,
                                  failure));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "TEL");
    EXPECT_TRUE(lines[0].HasType("fax"));
    EXPECT_EQ(lines[0].params.at("X-A").front(), "a:b;c");
    EXPECT_EQ(lines[0].value, "1");
    EXPECT_TRUE(lines[1].HasType("FAX"));
    EXPECT_FALSE(ParseContentLines("no colon here\r\n", lines, failure));
    EXPECT_EQ(failure.code, kExitBadInput);
}

// Every physical line ends with CR LF and holds at most 75 octets.
void ExpectContentLineSyntax(const std::string& out) {
    std::size_t pos = 0;
    while (pos < out.size()) {
        const std::size_t end = out.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - pos, 75u);
        EXPECT_EQ(out.substr(pos, end - pos).find_first_of("\r\n"), std::string::npos);
        pos = end + 2;
    }
}

// ---- vCard ----

TEST(VCard, HandMadeCardsReadFieldByField) {
    ScriptedPrompter prompter;
    const std::string vcf = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nFN:山田 太郎\r\n"
                            "SORT-STRING:やまだ たろう\r\nTEL;TYPE=VOICE,HOME:03-1234-5678\r\n"
                            "ADR;TYPE=HOME:;;本郷1-2-3\\, 201号;;;113-0033;\r\nBDAY:--0412\r\n"
                            "NOTE:メモの一行目\\n二行目はとても長いので折り返されてい\r\n "
                            "るかもしれません\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:佐藤;花子;;;\r\n"
                            "TEL;TYPE=FAX:06-0000-1111\r\nORG:株式会社例;営業部\r\nTITLE:部長\r\n"
                            "BDAY:1975-02-03\r\nCLASS:PRIVATE\r\nEND:VCARD\r\n";
    CRecordSet set;
    Failure failure;
    ASSERT_TRUE(ImportVCard(vcf, set, failure)) << failure.message;
    EXPECT_EQ(set.Kind(), kKindBusinessCard) << "a fax number and a company need business cards";
    ASSERT_EQ(set.RecordCount(), 2);
    EXPECT_EQ(Value(set, 0, "NAME"), "山田 太郎");
    EXPECT_EQ(Value(set, 0, "NAPR"), "やまだ たろう");
    EXPECT_EQ(Value(set, 0, "TEL1"), "03-1234-5678");
    EXPECT_EQ(Value(set, 0, "ADR1"), "本郷1-2-3, 201号");
    EXPECT_EQ(Value(set, 0, "ZIPC"), "113-0033");
    EXPECT_EQ(Value(set, 0, "BRTH"), "    0412      ");
    EXPECT_EQ(Value(set, 0, "RMRK"),
              "MEM1:メモの一行目\x1F二行目はとても長いので折り返されているかもしれません\x1E\x0C");
    EXPECT_EQ(Value(set, 1, "NAME"), "佐藤 花子") << "from N when there is no FN";
    EXPECT_EQ(Value(set, 1, "FAX1"), "06-0000-1111");
    EXPECT_EQ(Value(set, 1, "OFCE"), "株式会社例");
    EXPECT_EQ(Value(set, 1, "SCTN"), "営業部");
    EXPECT_EQ(Value(set, 1, "PSTN"), "部長");
    EXPECT_EQ(Value(set, 1, "BRTH"), "19750203      ");
    EXPECT_EQ(Value(set, 1, "SCRT"), "*");
}

TEST(VCard, ExportFollowsTheSyntaxRules) {
    auto set = Sample("cards.tsr", kKindBusinessCard);
    std::string out;
    Failure failure;
    ASSERT_TRUE(ExportVCard(*set, out, failure));
    ExpectContentLineSyntax(out);
    std::vector<ContentLine> lines;
    ASSERT_TRUE(ParseContentLines(out, lines, failure));
    int cards = 0, fn = 0, n = 0, version = 0;
    for (const ContentLine& l : lines) {
        cards += l.name == "BEGIN";
        fn += l.name == "FN";
        n += l.name == "N";
        version += l.name == "VERSION" && l.value == "3.0";
    }
    EXPECT_EQ(cards, set->RecordCount());
    EXPECT_EQ(fn, cards);
    EXPECT_EQ(n, cards);
    EXPECT_EQ(version, cards);
    EXPECT_NE(out.find("TEL;TYPE=FAX:03-5280-1165\r\n"), std::string::npos);
    EXPECT_NE(out.find("N:渡辺;誠;;;\r\n"), std::string::npos) << out.substr(0, 400);
}

TEST(VCard, RefusesOnlyWhatCannotBeRead) {
    struct Case {
        const char* name;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"no END", "BEGIN:VCARD\r\nFN:A\r\n"},
        {"outside a card", "FN:A\r\nBEGIN:VCARD\r\nEND:VCARD\r\n"},
        {"a card in a card", "BEGIN:VCARD\r\nBEGIN:VCARD\r\nEND:VCARD\r\nEND:VCARD\r\n"},
        {"no colon", "BEGIN:VCARD\r\nFN A\r\nEND:VCARD\r\n"},
    };
    for (const Case& c : cases) {
        CRecordSet set;
        Failure failure;
        EXPECT_FALSE(ImportVCard(c.text, set, failure)) << c.name;
        EXPECT_EQ(failure.code, kExitBadInput) << c.name << ": " << failure.message;
    }
}

// ---- iCalendar ----

TEST(ICal, HandMadeEventsReadFieldByField) {
    ScriptedPrompter prompter;
    const std::string ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example//EN\r\n"
        "BEGIN:VEVENT\r\nUID:1@example\r\nDTSTAMP:20260101T000000Z\r\n"
        "DTSTART:20260310T093000\r\nDTEND:20260310T103000\r\n"
        "SUMMARY:定例会議\r\nDESCRIPTION:定例会議\\n第二会議室\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
        "END:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:2@example\r\nDTSTAMP:20260101T000000Z\r\n"
        "DTSTART;VALUE=DATE:20260320\r\nDTEND;VALUE=DATE:20260322\r\n"
        "SUMMARY:旅行\r\nDESCRIPTION:荷物を忘れない\r\nCLASS:PRIVATE\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    CRecordSet set;
    Failure failure;
    ASSERT_TRUE(ImportICal(ics, set, failure)) << failure.message;
    EXPECT_EQ(set.Kind(), kKindSchedule);
    ASSERT_EQ(set.RecordCount(), 2);
    EXPECT_EQ(Value(set, 0, "TIM1"), "202603100930  ");
    EXPECT_EQ(Value(set, 0, "TIM2"), "202603101030  ");
    EXPECT_EQ(Value(set, 0, "ALRM"), "202603100915  ");
    EXPECT_EQ(Value(set, 0, "ALON"), "*");
    EXPECT_EQ(Value(set, 0, "MEM1"), "定例会議\x1F第二会議室");
    EXPECT_EQ(Value(set, 1, "TIM1"), "20260320      ");
    EXPECT_EQ(Value(set, 1, "TIM2"), "20260321      ") << "an all-day end is exclusive";
    EXPECT_EQ(Value(set, 1, "MEM1"), "旅行\x1F荷物を忘れない")
        << "summary and description both kept";
    EXPECT_EQ(Value(set, 1, "SCRT"), "*");
    EXPECT_EQ(Value(set, 1, "ALON"), " ");
}

TEST(ICal, AnniversariesAndToDosReadFieldByField) {
    ScriptedPrompter prompter;
    CRecordSet week;
    Failure failure;
    ASSERT_TRUE(ImportICal(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260919\r\n"
        "RRULE:FREQ=YEARLY;BYMONTH=9;BYDAY=3SA\r\nSUMMARY:町内会\r\nEND:VEVENT\r\nEND:"
        "VCALENDAR\r\n",
        week, failure))
        << failure.message;
    EXPECT_EQ(week.Kind(), kKindAnniversaryWeek);
    EXPECT_EQ(Value(week, 0, "ANN2"), "    0936");

    CRecordSet day;
    ASSERT_TRUE(ImportICal(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:19900229\r\n"
        "RRULE:FREQ=YEARLY\r\nSUMMARY:うるう日\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
        day, failure))
        << failure.message;
    EXPECT_EQ(day.Kind(), kKindAnniversary);
    EXPECT_EQ(Value(day, 0, "ANN1"), "    0229      ");

    CRecordSet todo;
    ASSERT_TRUE(ImportICal(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nDTSTART;VALUE=DATE:20260301\r\n"
        "DUE;VALUE=DATE:20260310\r\nCOMPLETED:20260305T120000Z\r\nSTATUS:COMPLETED\r\n"
        "PRIORITY:1\r\nSUMMARY:報告書\r\nEND:VTODO\r\n"
        "BEGIN:VTODO\r\nPRIORITY:9\r\nSUMMARY:掃除\r\nEND:VTODO\r\nEND:VCALENDAR\r\n",
        todo, failure))
        << failure.message;
    EXPECT_EQ(todo.Kind(), kKindActionList);
    EXPECT_EQ(Value(todo, 0, "ETDY"), "20260301      ");
    EXPECT_EQ(Value(todo, 0, "LTDY"), "20260310      ");
    EXPECT_EQ(Value(todo, 0, "FNDY"), "20260305      ");
    EXPECT_EQ(Value(todo, 0, "MARK"), "01");
    EXPECT_EQ(Value(todo, 0, "PRTY"), "00") << "PRIORITY 1 is 緊急";
    EXPECT_EQ(Value(todo, 1, "PRTY"), "03") << "PRIORITY 9 is Ｃ";
}

TEST(ICal, ExportFollowsTheSyntaxRules) {
    for (const auto& [file, kind] :
         std::vector<std::pair<const char*, int>>{{"schedule.tsr", 3},
                                                  {"anniversary.tsr", 4},
                                                  {"anniversary-week.tsr", 5},
                                                  {"actions.tsr", 6}}) {
        SCOPED_TRACE(file);
        auto set = Sample(file, kind);
        std::string out;
        Failure failure;
        ASSERT_TRUE(ExportICal(*set, out, failure)) << failure.message;
        ExpectContentLineSyntax(out);
        std::vector<ContentLine> lines;
        ASSERT_TRUE(ParseContentLines(out, lines, failure));
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines.front().value, "VCALENDAR");
        EXPECT_EQ(lines.back().value, "VCALENDAR");
        int components = 0, uids = 0, stamps = 0, prodid = 0;
        for (const ContentLine& l : lines) {
            components += l.name == "BEGIN" && (l.value == "VEVENT" || l.value == "VTODO");
            uids += l.name == "UID";
            prodid += l.name == "PRODID";
            if (l.name == "DTSTAMP") {
                ++stamps;
                EXPECT_EQ(l.value.size(), 16u);
                EXPECT_EQ(l.value.back(), 'Z');
            }
        }
        EXPECT_EQ(prodid, 1);
        EXPECT_EQ(components, set->RecordCount());
        EXPECT_EQ(uids, components);
        EXPECT_EQ(stamps, components);
    }
    auto week = Sample("anniversary-week.tsr", 5);
    std::string out;
    Failure failure;
    ASSERT_TRUE(ExportICal(*week, out, failure));
    // 0520: May, second Sunday -> the first such date from 2000 on is 14 May 2000.
    EXPECT_NE(out.find("DTSTART;VALUE=DATE:20000514\r\nRRULE:FREQ=YEARLY;BYMONTH=5;BYDAY=2SU\r\n"),
              std::string::npos)
        << out;
}

TEST(ICal, RefusesWhatIsNoCalendarOfRecords) {
    // Mixed kinds, other rules, extra properties and alarms import since they are kept or
    // noted (ICalTest); what is left is a file with no record in it or a broken one.
    struct Case {
        const char* name;
        std::string body;
        int code;
    };
    const std::vector<Case> cases = {
        {"only a journal of another program", "BEGIN:VJOURNAL\r\nSUMMARY:a\r\nEND:VJOURNAL\r\n",
         kExitBadInput},
        {"only free/busy", "BEGIN:VFREEBUSY\r\nEND:VFREEBUSY\r\n", kExitBadInput},
        {"bad time", "BEGIN:VEVENT\r\nDTSTART:2026-01-01\r\nEND:VEVENT\r\n", kExitBadInput},
        {"bad zoned time", "BEGIN:VEVENT\r\nDTSTART;TZID=Asia/Tokyo:20260101T10\r\nEND:VEVENT\r\n",
         kExitBadInput},
        {"unclosed", "BEGIN:VEVENT\r\nDTSTART:20260101T100000\r\n", kExitBadInput},
        {"year the device lacks", "BEGIN:VEVENT\r\nDTSTART:21000101T100000\r\nEND:VEVENT\r\n",
         kExitBadInput},
        {"nothing", "", kExitBadInput},
    };
    for (const Case& c : cases) {
        CRecordSet set;
        Failure failure;
        EXPECT_FALSE(ImportICal("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + c.body + "END:VCALENDAR\r\n",
                                set, failure))
            << c.name;
        EXPECT_EQ(failure.code, c.code) << c.name << ": " << failure.message;
    }
    CRecordSet set;
    Failure failure;
    EXPECT_FALSE(ImportICal("BEGIN:VCALENDAR\r\nCALSCALE:CHINESE\r\n" +
                                std::string("BEGIN:VEVENT\r\n") +
                                "DTSTART:20260101T100000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
                            set, failure));
    EXPECT_EQ(failure.code, kExitImport) << "another calendar scale";
}

TEST(ICal, ValuesWithoutAStandardPlaceTravelAsOwnProperties) {
    ScriptedPrompter prompter;
    // An end before the start and an alarm that is switched off: both kept, neither made
    // into something another program would misread.
    const std::string text =
        "\"i\",\"SCRT\",\"TIM1\",\"TIM2\",\"ALRM\",\"ALON\",\"MEM1\"\r\n\"T\",\"a\",\"b\",\"c\","
        "\"d\",\"e\",\"f\"\r\n"
        "\"D\",\" \",\"200106041000  \",\"200106040900  \",\"200106040945  \",\" \",\"x\"\r\n\x1A";
    CRecordSet read;
    Failure failure;
    ASSERT_TRUE(ReadTextForm(text, read, failure)) << failure.message;
    auto set = OnKindTags(read, kKindSchedule, failure);
    ASSERT_TRUE(set);
    std::string out;
    ASSERT_TRUE(ExportICal(*set, out, failure));
    EXPECT_EQ(out.find("DTEND"), std::string::npos);
    EXPECT_EQ(out.find("VALARM"), std::string::npos);
    EXPECT_NE(out.find("X-TESSERA-TIM2:200106040900\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("X-TESSERA-ALRM:200106040945\r\n"), std::string::npos) << out;
    CRecordSet back;
    ASSERT_TRUE(ImportICal(out, back, failure)) << failure.message;
    EXPECT_EQ(Rows(back), Rows(*set));
}

} // namespace
} // namespace tessera::test
