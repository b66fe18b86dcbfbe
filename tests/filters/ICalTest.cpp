// The iCalendar filter against what today's calendar tools expect: values the device allows
// but no calendar can hold go out as real ones and come back exact, UIDs follow content,
// zoned and UTC times arrive as the PC's local time, files as calendar programs write them
// import with their extras kept or noted, and third-party parsers and a CalDAV server take
// every export.

#include "filters/ContentLines.h"
#include "filters/ICalFormat.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>

namespace tessera::test {
namespace {

using namespace filters;

// The process's zone (and the export year) for one test; the previous ones come back after.
class EnvScope {
public:
    EnvScope(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value, 1);
        tzset();
    }
    ~EnvScope() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
        tzset();
    }
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// A set of `kind` from rows of exchange texts (UTF-8 here, code page 932 in the records).
std::unique_ptr<CRecordSet> Records(int kind, const std::vector<std::vector<std::string>>& rows) {
    auto set = std::make_unique<CRecordSet>();
    set->SetKind(kind);
    for (const auto& row : rows) {
        auto rec = set->NewRecord();
        for (std::size_t i = 0; i < row.size(); ++i) {
            std::string bytes;
            EXPECT_TRUE(Utf8ToCp932(row[i], bytes));
            EXPECT_TRUE(rec->ParseField(static_cast<int>(i), bytes, false)) << row[i];
        }
        set->InsertRecord(-1, std::move(rec));
    }
    return set;
}

std::string Notes() {
    std::string all;
    for (const std::string& l : RunNotes().Lines())
        all += l + "\n";
    return all;
}

std::string Calendar(const std::string& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::vector<std::string> Uids(const std::string& ics) {
    std::vector<ContentLine> lines;
    Failure failure;
    EXPECT_TRUE(ParseContentLines(ics, lines, failure));
    std::vector<std::string> uids;
    for (const ContentLine& l : lines)
        if (l.name == "UID")
            uids.push_back(l.value);
    return uids;
}

// ---- values the device allows and calendars do not ----

TEST(ICalExport, ImpossibleAndPartialValuesGoOutAsRealOnesAndComeBackExact) {
    ScriptedPrompter prompter;
    EnvScope epoch("SOURCE_DATE_EPOCH", "1796688000"); // 2026-12-08: the year of a yearless date
    EnvScope zone("TZ", "Asia/Tokyo");
    struct Case {
        int kind;
        std::vector<std::string> row;
        std::vector<std::string> lines; // each must appear as a whole content line
        bool noted;
    };
    const std::vector<Case> cases = {
        {3,
         {" ", "200104311000  ", "", "", " ", "31 April"},
         {"DTSTART:20010430T100000", "X-TESSERA-TIM1:200104311000"},
         true},
        {3,
         {" ", "20010230      ", "", "", " ", "30 Feb"},
         {"DTSTART;VALUE=DATE:20010228", "X-TESSERA-TIM1:20010230"},
         true},
        {3,
         {" ", "    06041000  ", "", "", " ", "no year"},
         {"DTSTART:20260604T100000", "X-TESSERA-TIM1:    06041000"},
         true},
        {3,
         {" ", "2001060410    ", "", "", " ", "no minute"},
         {"DTSTART:20010604T100000", "X-TESSERA-TIM1:2001060410"},
         true},
        {3,
         {" ", "20010604  30  ", "", "", " ", "a minute only"},
         {"DTSTART;VALUE=DATE:20010604", "X-TESSERA-TIM1:20010604  30"},
         true},
        {3,
         {" ", "20010611      ", "20010613      ", "", " ", "all day"},
         {"DTSTART;VALUE=DATE:20010611", "DTEND;VALUE=DATE:20010614"},
         false},
        {3,
         {" ", "200104301000  ", "200104311000  ", "", " ", "end on 31 April"},
         {"X-TESSERA-TIM2:200104311000"},
         false},
        {3,
         {" ", "", "200106041100  ", "200106040945  ", "*", "no start"},
         {"BEGIN:VJOURNAL", "X-TESSERA-KIND:3", "X-TESSERA-TIM2:200106041100",
          "X-TESSERA-ALRM:200106040945", "X-TESSERA-ALON:*"},
         true},
        {3, {" ", "200106041000  ", "", "200106040945  ", "*", "alarm"}, {"TRIGGER:-PT15M"}, false},
        {4,
         {" ", "    0431      ", "31 April"},
         {"DTSTART;VALUE=DATE:20000430", "RRULE:FREQ=YEARLY", "X-TESSERA-ANN1:    0431"},
         true},
        {4,
         {" ", "    0229      ", "leap day"},
         {"DTSTART;VALUE=DATE:20000229", "DTEND;VALUE=DATE:20000301"},
         false},
        {4, {"*", "", "no date"}, {"BEGIN:VJOURNAL", "X-TESSERA-KIND:4", "CLASS:PRIVATE"}, true},
        {5, {" ", "", "no date"}, {"BEGIN:VJOURNAL", "X-TESSERA-KIND:5"}, true},
        {5,
         {" ", "    0256", "fifth Saturday of February"},
         {"DTSTART;VALUE=DATE:20200229", "RRULE:FREQ=YEARLY;BYMONTH=2;BYDAY=5SA"},
         false},
        {6,
         {" ", "    0230      ", "", "00", "02", "yearless 30 Feb", ""},
         {"DTSTART;VALUE=DATE:20260228", "X-TESSERA-ETDY:    0230"},
         true},
        {6,
         {" ", "20010610      ", "", "00", "01", "due before entry", "20010601      "},
         {"X-TESSERA-LTDY:20010601"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row.back() + (c.kind == 6 ? c.row[5] : ""));
        RunNotes().Clear();
        auto set = Records(c.kind, {c.row});
        std::string out;
        Failure failure;
        ASSERT_TRUE(ExportICal(*set, out, failure)) << failure.message;
        for (const std::string& line : c.lines)
            EXPECT_NE(out.find("\r\n" + line + "\r\n"), std::string::npos) << line << "\n" << out;
        EXPECT_EQ(!RunNotes().Lines().empty(), c.noted) << Notes();
        CRecordSet back;
        ASSERT_TRUE(ImportICal(out, back, failure)) << failure.message;
        EXPECT_EQ(Rows(back), Rows(*set)) << out;
    }
    RunNotes().Clear();
}

TEST(ICalExport, UidsFollowTheContentNotThePosition) {
    ScriptedPrompter prompter;
    CRecordSet read;
    Failure failure;
    ASSERT_TRUE(ReadTextForm(SampleBytes("schedule.tsr"), read, failure));
    auto set = OnKindTags(read, kKindSchedule, failure);
    ASSERT_TRUE(set);
    std::string before, after;
    ASSERT_TRUE(ExportICal(*set, before, failure));
    // A new record first, and a second copy of the last one.
    auto extra = Records(kKindSchedule, {{" ", "200107011000  ", "", "", " ", "new"}});
    set->InsertRecord(0, extra->TakeRecord(0));
    set->InsertRecord(-1, set->RecordAt(set->RecordCount() - 1)->Clone());
    ASSERT_TRUE(ExportICal(*set, after, failure));
    const std::vector<std::string> a = Uids(before), b = Uids(after);
    ASSERT_EQ(b.size(), a.size() + 2);
    EXPECT_EQ(std::vector<std::string>(b.begin() + 1, b.end() - 1), a)
        << "inserting one record changes no other UID";
    EXPECT_NE(b.back(), b[b.size() - 2]) << "identical records keep distinct UIDs";
    for (const std::string& uid : b)
        EXPECT_NE(uid.find("@tessera.invalid"), std::string::npos) << uid;
}

// ---- time zones ----

TEST(ICalZones, ZonedAndUtcTimesArriveAsTheLocalTimeOfThePC) {
    ScriptedPrompter prompter;
    const std::string eastern =
        "BEGIN:VTIMEZONE\r\nTZID:Eastern Standard Time\r\n"
        "BEGIN:STANDARD\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
        "RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=1SU;BYMONTH=11\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
        "RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=2SU;BYMONTH=3\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    struct Case {
        const char* tz;
        std::string zones;
        std::string start;
        const char* tim1;
        const char* note; // part of a note, or empty for none
    };
    const std::vector<Case> cases = {
        {"Asia/Tokyo", "", "DTSTART:20260310T010000Z", "202603101000  ", ""},
        {"Asia/Tokyo", eastern, "DTSTART;TZID=Eastern Standard Time:20260115T100000",
         "202601160000  ", ""},
        {"Asia/Tokyo", eastern, "DTSTART;TZID=Eastern Standard Time:20260710T100000",
         "202607102300  ", ""},
        {"Asia/Tokyo", "", "DTSTART;TZID=America/New_York:20260310T100000", "202603102300  ",
         ""}, // zoneinfo, EDT
        {"Asia/Tokyo", "", "DTSTART;TZID=America/New_York:20260305T100000", "202603060000  ",
         ""}, // EST
        {"Asia/Tokyo", "", "DTSTART;TZID=/mozilla.org/20050126_1/Europe/Berlin:20260701T120000",
         "202607011900  ", ""},
        {"Asia/Tokyo", "", "DTSTART;TZID=Mars/Olympus:20260310T100000", "202603101000  ",
         "Mars/Olympus"},
        {"Asia/Tokyo", "", "DTSTART:20260310T100000", "202603101000  ", ""}, // floating: as it is
        {"America/New_York", "", "DTSTART:20260310T010000Z", "202603092100  ", ""},
        {"America/New_York", "", "DTSTART;TZID=Asia/Tokyo:20260310T100000", "202603092100  ",
         ""}, // EDT already
        {"America/New_York", eastern, "DTSTART;TZID=Eastern Standard Time:20261101T120000",
         "202611011200  ", ""},
        {"UTC", "", "DTSTART;TZID=Asia/Tokyo:20260310T100000", "202603100100  ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tz) + " " + c.start);
        EnvScope zone("TZ", c.tz);
        RunNotes().Clear();
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(ImportICal(Calendar(c.zones + "BEGIN:VEVENT\r\nUID:z\r\n" + c.start +
                                        "\r\nSUMMARY:x\r\nEND:VEVENT\r\n"),
                               set, failure))
            << failure.message;
        EXPECT_EQ(Value(set, 0, "TIM1"), c.tim1);
        if (*c.note == '\0') {
            EXPECT_TRUE(RunNotes().Lines().empty()) << Notes();
        } else {
            EXPECT_NE(Notes().find(c.note), std::string::npos) << Notes();
        }
    }
    RunNotes().Clear();
}

TEST(ICalZones, CompletedIsTheLocalDayAsAUtcInstant) {
    ScriptedPrompter prompter;
    struct Case {
        const char* tz;
        const char* completed; // what export writes for 30 May 2001
        const char* foreign;   // a COMPLETED another program wrote
        const char* fndy;      // the day it is in this zone
    };
    const std::vector<Case> cases = {
        {"Asia/Tokyo", "20010529T150000Z", "20010529T163000Z",
         "20010530      "}, // 01:30 JST on 30 May
        {"America/New_York", "20010530T040000Z", "20010529T163000Z", "20010529      "},
        {"UTC", "20010530T000000Z", "20010530T235900Z", "20010530      "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        EnvScope zone("TZ", c.tz);
        auto set = Records(kKindActionList,
                           {{" ", "20010528      ", "20010530      ", "01", "01", "done", ""}});
        std::string out;
        Failure failure;
        ASSERT_TRUE(ExportICal(*set, out, failure));
        EXPECT_NE(out.find("\r\nCOMPLETED:" + std::string(c.completed) + "\r\n"), std::string::npos)
            << out;
        CRecordSet back;
        ASSERT_TRUE(ImportICal(out, back, failure)) << failure.message;
        EXPECT_EQ(Rows(back), Rows(*set));
        CRecordSet foreign;
        ASSERT_TRUE(
            ImportICal(Calendar("BEGIN:VTODO\r\nUID:t\r\nCOMPLETED:" + std::string(c.foreign) +
                                "\r\nSTATUS:COMPLETED\r\nSUMMARY:x\r\nEND:VTODO\r\n"),
                       foreign, failure));
        EXPECT_EQ(Value(foreign, 0, "FNDY"), c.fndy);
    }
}

// ---- files as calendar programs write them ----

struct Expect {
    int record;
    const char* tag;
    std::string value;
};

TEST(ICalImport, FilesOfCalendarProgramsImportWithTheirExtrasKeptOrNoted) {
    ScriptedPrompter prompter;
    EnvScope zone("TZ", "Asia/Tokyo");
    struct Case {
        const char* file;
        int kind;
        int records;
        std::vector<Expect> values;
        std::vector<std::string> notes; // parts of the notes, in any order
    };
    const std::vector<Case> cases = {
        {"google.ics",
         kKindSchedule,
         2,
         {{0, "TIM1", "202603102300  "},
          {0, "TIM2", "202603110030  "},
          {0, "ALRM", "202603102230  "},
          {0, "ALON", "*"},
          {0, "MEM1", "定例会議\x1F四半期の見直し\x1FLOCATION: 本社 12F 第二会議室"},
          {1, "TIM1", "202601151000  "},
          {1, "TIM2", "202601151100  "},
          {1, "ALON", " "}},
         {"LOCATION", "STATUS, TRANSP"}},
        {"apple.ics",
         kKindSchedule,
         1,
         {{0, "TIM1", "202612011700  "},
          {0, "TIM2", "202612011900  "},
          {0, "ALRM", "202612011600  "},
          {0, "MEM1", "忘年会\x1FURL: https://example.com/party"}},
         {"URL", "TRANSP, X-APPLE-TRAVEL-ADVISORY-BEHAVIOR"}},
        {"caldav-server.ics",
         kKindSchedule,
         3,
         {{0, "TIM1", "202606151600  "},
          {0, "TIM2", "202606160000  "}, // CEST: +7 hours to Tokyo
          {0, "MEM1", "展示会\x1Fブース 4.2\x1FLOCATION: Messe Berlin"},
          {1, "TIM1", "202612210300  "},
          {1, "TIM2", "202612210500  "}, // CET: +8 hours
          {2, "TIM1", "20260614      "},
          {2, "TIM2", "20260616      "}},
         {"LOCATION", "TRANSP"}},
        {"birthdays.ics",
         kKindAnniversary,
         3,
         {{0, "ANN1", "    0412      "},
          {0, "MEM1", "山田 太郎さんの誕生日"},
          {1, "ANN1", "    0229      "},
          {2, "ANN1", "    1224      "},
          {2, "SCRT", "*"}},
         {"TRANSP", "X-APPLE-UNIVERSAL-ID", "-PT15H"}},
        {"todo.ics",
         kKindActionList,
         3,
         {{0, "MARK", "00"},
          {0, "PRTY", "02"},
          {0, "ETDY", ""},
          {1, "LTDY", "20260320      "},
          {1, "PRTY", "02"},
          {2, "ETDY", "20260301      "},
          {2, "LTDY", "20260306      "},
          {2, "FNDY", "20260305      "},
          {2, "MARK", "01"},
          {2, "MEM1", "報告書\x1FPERCENT-COMPLETE: 100"}},
         {"DTSTART", "09:00", "X-MOZ-GENERATION"}},
        {"mixed.ics",
         kKindSchedule,
         2,
         {{0, "TIM1", "202604021400  "},
          {0, "TIM2", "202604021530  "},
          {0, "ALRM", "202604021345  "},
          {0, "MEM1",
           "商談\x1FLOCATION: 大阪支社, 3F\x1FPRIORITY: 5\x1FSTATUS: TENTATIVE\x1F"
           "CATEGORIES: 仕事, 営業"},
          {1, "TIM1", "202604060930  "},
          {1, "MEM1", "朝会\x1FRRULE: FREQ=WEEKLY;BYDAY=MO"}},
         {"3 件", "VJOURNAL 1", "X-MICROSOFT-CDO-BUSYSTATUS", "添付データ 1 件", "アラーム 1 件"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RunNotes().Clear();
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(ImportICal(TestDataBytes(std::string("ical/") + c.file), set, failure))
            << failure.message;
        EXPECT_EQ(set.Kind(), c.kind);
        ASSERT_EQ(set.RecordCount(), c.records);
        for (const Expect& e : c.values)
            EXPECT_EQ(Value(set, e.record, e.tag), e.value) << e.record << " " << e.tag;
        for (const std::string& n : c.notes)
            EXPECT_NE(Notes().find(n), std::string::npos) << n << "\n" << Notes();
        // What came in is a text form the host reads without a question.
        std::string text;
        EXPECT_TRUE(set.WriteTextToString(text));
        CRecordSet again;
        EXPECT_TRUE(ReadTextForm(text, again, failure)) << failure.message;
    }
    RunNotes().Clear();
}

TEST(ICalImport, ComponentsOnceRefusedWholeNowImport) {
    ScriptedPrompter prompter;
    struct Case {
        const char* name;
        std::string body;
        std::vector<Expect> values;
        const char* note;
    };
    const std::string event =
        "BEGIN:VEVENT\r\nDTSTART:20260101T100000\r\nSUMMARY:a\r\nEND:VEVENT\r\n";
    const std::vector<Case> cases = {
        {"kinds mixed",
         event + "BEGIN:VTODO\r\nSUMMARY:b\r\nEND:VTODO\r\n",
         {{0, "MEM1", "a"}},
         "アクションリスト 1"},
        {"weekly rule",
         "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260101\r\nRRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n",
         {{0, "TIM1", "20260101      "}, {0, "MEM1", "RRULE: FREQ=WEEKLY"}},
         "RRULE"},
        {"attendee",
         "BEGIN:VEVENT\r\nDTSTART:20260101T100000\r\nATTENDEE;CN=山田:mailto:a@b\r\nEND:VEVENT\r\n",
         {{0, "MEM1", "ATTENDEE: 山田 <mailto:a@b>"}},
         "ATTENDEE"},
        {"two alarms",
         "BEGIN:VEVENT\r\nDTSTART:20260101T100000\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:"
         "VALARM\r\n"
         "BEGIN:VALARM\r\nTRIGGER:-PT1M\r\nEND:VALARM\r\nEND:VEVENT\r\n",
         {{0, "ALRM", "202601010955  "}, {0, "ALON", "*"}},
         "アラーム 1 件"},
        {"an all-day end on the start day",
         "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260101\r\nDTEND;VALUE=DATE:20260101\r\nEND:"
         "VEVENT\r\n",
         {{0, "TIM1", "20260101      "}, {0, "TIM2", ""}},
         ""},
        {"an alarm in seconds",
         "BEGIN:VEVENT\r\nDTSTART:20260101T100000\r\nBEGIN:VALARM\r\nTRIGGER:-PT630S\r\nEND:"
         "VALARM\r\nEND:VEVENT\r\n",
         {{0, "ALRM", "202601010950  "}},
         ""},
        {"a component inside",
         "BEGIN:VEVENT\r\nDTSTART:20260101T100000\r\nBEGIN:VLOCATION\r\nNAME:x\r\nEND:"
         "VLOCATION\r\nEND:VEVENT\r\n",
         {{0, "TIM1", "202601011000  "}},
         "VLOCATION"},
        {"no start",
         "BEGIN:VEVENT\r\nSUMMARY:a\r\nEND:VEVENT\r\n",
         {{0, "TIM1", ""}, {0, "MEM1", "a"}},
         ""},
        {"a stale value of our own",
         "BEGIN:VEVENT\r\nDTSTART:20260101T100000\r\nX-TESSERA-TIM2:20261340\r\nEND:VEVENT\r\n",
         {{0, "TIM2", ""}},
         "X-TESSERA-TIM2"},
        {"the event moved by another program",
         "BEGIN:VEVENT\r\nDTSTART:20260105T100000\r\nX-TESSERA-TIM1:200104311000\r\nEND:VEVENT\r\n",
         {{0, "TIM1", "202601051000  "}},
         "X-TESSERA-TIM1"},
        {"an exact value still behind its property",
         "BEGIN:VEVENT\r\nDTSTART:20010430T100000\r\nX-TESSERA-TIM1:200104311000\r\nEND:VEVENT\r\n",
         {{0, "TIM1", "200104311000  "}},
         ""},
        {"a to-do with priority 0",
         "BEGIN:VTODO\r\nPRIORITY:0\r\nSUMMARY:c\r\nEND:VTODO\r\n",
         {{0, "PRTY", "02"}, {0, "MARK", "00"}},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunNotes().Clear();
        CRecordSet set;
        Failure failure;
        ASSERT_TRUE(ImportICal(Calendar(c.body), set, failure)) << failure.message;
        ASSERT_EQ(set.RecordCount(), 1);
        for (const Expect& e : c.values)
            EXPECT_EQ(Value(set, e.record, e.tag), e.value) << e.tag;
        if (*c.note != '\0') {
            EXPECT_NE(Notes().find(c.note), std::string::npos) << Notes();
        }
    }
    RunNotes().Clear();
}

// ---- third-party judges on the real programs ----

constexpr const char* kPython = "/usr/bin/python3";

struct ProcessResult {
    int code = -1;
    std::string out, err;
};

ProcessResult Start(const QString& program, const QStringList& args, const std::string& input = {},
                    int seconds = 60, const char* tz = nullptr) {
    QProcess p;
    if (tz != nullptr) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TZ"), QString::fromLatin1(tz));
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    if (!p.waitForStarted(30000))
        return {};
    p.write(input.data(), static_cast<qint64>(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(seconds * 1000);
    ProcessResult r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

bool HavePython(const char* modules) {
    return Start(QString::fromLatin1(kPython),
                 {"-c", QStringLiteral("import ") + QString::fromLatin1(modules)})
               .code == 0;
}

// The records of a text form as the host reads them: through the always-on part of the
// character map, so a device code such as 0xEBAE is the character the host would show.
std::vector<std::vector<std::string>> RowsOf(const std::string& text) {
    CRecordSet set;
    Failure failure;
    EXPECT_TRUE(ReadTextForm(text, set, failure)) << failure.message;
    return Rows(set);
}

// Text forms of random records of `kind` with the values that trip other programs: days a
// month lacks, missing parts, circled numbers and device codes, TABs and line breaks.
std::string RandomSet(int kind, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto two = [](int v) {
        char b[4];
        std::snprintf(b, sizeof b, "%02d", v);
        return std::string(b);
    };
    auto time = [&](bool withTime) -> std::string {
        if (pick(6) == 0)
            return "";
        std::string s = pick(5) == 0 ? "    " : std::to_string(1901 + pick(199));
        s += two(1 + pick(12)) + two(pick(3) == 0 ? 29 + pick(3) : 1 + pick(28));
        if (withTime) {
            s += pick(4) == 0 ? "  " : two(pick(24));
            s += pick(4) == 0 ? "  " : two(pick(60));
        } else {
            s += "    ";
        }
        return s + "  ";
    };
    // Code page 932 bytes: ① ⑳, the device's own codes of ① 0 10, 〜, and text in UTF-8.
    std::vector<std::string> pieces = {"\x87\x40", "\x87\x53", "\xED\x40", "\xEB\xAE", "\x82\x59",
                                       "\x81\x60", "\t",       "\x1F",     ",",        ";",
                                       "\\",       "abc",      " "};
    for (const char* utf8 : {"会議", "第二会議室で打ち合わせ、資料は前日までに用意すること"}) {
        std::string bytes;
        EXPECT_TRUE(Utf8ToCp932(utf8, bytes));
        pieces.push_back(bytes);
    }
    auto memo = [&] {
        std::string s;
        for (int n = pick(6); n > 0; --n)
            s += pieces[static_cast<std::size_t>(pick(static_cast<int>(pieces.size())))];
        return s;
    };
    auto set = std::make_unique<CRecordSet>();
    set->SetKind(kind);
    for (int r = 0; r < 12; ++r) {
        auto rec = set->NewRecord();
        for (int i = 0; i < set->FieldCount(); ++i) {
            const std::string& tag = set->Tags()[static_cast<std::size_t>(i)];
            std::string v;
            if (tag == "SCRT" || tag == "ALON")
                v = pick(2) ? "*" : " ";
            else if (tag == "TIM1" || tag == "TIM2" || tag == "ALRM")
                v = time(true);
            else if (tag == "ETDY" || tag == "FNDY" || tag == "LTDY" || tag == "ANN1")
                v = time(false);
            else if (tag == "ANN2")
                v = pick(6) == 0 ? ""
                                 : "    " + two(1 + pick(12)) + std::to_string(1 + pick(5)) +
                                       std::to_string(pick(7));
            else if (tag == "MARK")
                v = "0" + std::to_string(pick(2));
            else if (tag == "PRTY")
                v = "0" + std::to_string(pick(4));
            else
                v = memo();
            EXPECT_TRUE(rec->ParseField(i, v, false)) << tag << " '" << v << "'";
        }
        set->InsertRecord(-1, std::move(rec));
    }
    std::string text;
    EXPECT_TRUE(set->WriteTextToString(text));
    return text;
}

struct Exported {
    QString path;
    std::string text; // the text form that went out
};

// Every sample of the kinds the filter takes and random sets of each, exported by tsr-ical.
std::vector<Exported> ExportAll(const QTemporaryDir& dir) {
    std::vector<Exported> files;
    auto add = [&](const QString& name, int kind, const std::string& text) {
        const QString path = dir.filePath(name + QStringLiteral(".ics"));
        const ProcessResult r = Start(QStringLiteral(TSR_ICAL),
                                      {"-E", path, "-T", QString::number(kind), "-V", "1"}, text);
        EXPECT_EQ(r.code, 0) << name.toStdString() << ": " << r.err;
        files.push_back({path, text});
    };
    for (const SampleFile& s : Samples())
        if (s.kind >= kKindSchedule && s.kind <= kKindActionList)
            add(QString::fromLatin1(s.file), s.kind, SampleBytes(s.file));
    for (int kind = kKindSchedule; kind <= kKindActionList; ++kind)
        for (unsigned seed = 1; seed <= 3; ++seed)
            add(QStringLiteral("random-%1-%2").arg(kind).arg(seed), kind,
                RandomSet(kind, seed * 7919u + kind));
    return files;
}

TEST(ThirdPartyJudges, StrictParsersTakeEveryExportAndImportGivesTheSameRecords) {
    EnsureCoreApp();
    if (!HavePython("icalendar"))
        GTEST_SKIP() << "python3-icalendar is not installed (scripts/install-deps.sh)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<Exported> files = ExportAll(dir);
    QStringList args = {QStringLiteral(ICAL_JUDGE)};
    for (const Exported& f : files)
        args << f.path;
    const ProcessResult judged = Start(QString::fromLatin1(kPython), args, {}, 300);
    EXPECT_EQ(judged.code, 0) << judged.out << judged.err;
    for (const Exported& f : files) {
        SCOPED_TRACE(f.path.toStdString());
        const ProcessResult back = Start(QStringLiteral(TSR_ICAL), {"-I", f.path, "-V", "1"});
        ASSERT_EQ(back.code, 0) << back.err;
        EXPECT_EQ(RowsOf(back.out), RowsOf(f.text));
    }
}

TEST(ICalZones, TheProgramsRoundTripHoldsInZonesFarEastAndWest) {
    EnsureCoreApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* tz :
         {"Asia/Tokyo", "America/New_York", "Pacific/Kiritimati", "Pacific/Pago_Pago"}) {
        for (unsigned seed = 1; seed <= 2; ++seed) {
            SCOPED_TRACE(std::string(tz) + " " + std::to_string(seed));
            const std::string text = RandomSet(kKindActionList, seed);
            const QString path = dir.filePath(QStringLiteral("zone.ics"));
            const ProcessResult out =
                Start(QStringLiteral(TSR_ICAL), {"-E", path, "-T", "6", "-V", "1"}, text, 60, tz);
            ASSERT_EQ(out.code, 0) << out.err;
            const ProcessResult back =
                Start(QStringLiteral(TSR_ICAL), {"-I", path, "-V", "1"}, {}, 60, tz);
            ASSERT_EQ(back.code, 0) << back.err;
            EXPECT_EQ(RowsOf(back.out), RowsOf(text));
        }
    }
}

TEST(ThirdPartyJudges, CalDavServerStoresEveryExportedComponent) {
    EnsureCoreApp();
    if (!HavePython("radicale, icalendar"))
        GTEST_SKIP() << "radicale is not installed (scripts/install-deps.sh)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList args = {QStringLiteral(DAV_JUDGE)};
    for (const Exported& f : ExportAll(dir))
        args << f.path;
    for (const QString& golden :
         QDir(QStringLiteral(TESSERA_TEST_DATA "/ical")).entryList({"*.ics"}))
        args << QStringLiteral(TESSERA_TEST_DATA "/ical/") + golden;
    const ProcessResult r = Start(QString::fromLatin1(kPython), args, {}, 300);
    EXPECT_EQ(r.code, 0) << r.out << r.err;
}

} // namespace
} // namespace tessera::test
