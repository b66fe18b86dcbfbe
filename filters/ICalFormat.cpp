#include "filters/ICalFormat.h"

#include "filters/ContentLines.h"
#include "filters/ICalTime.h"
#include "model/RecordKind.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <set>

namespace tessera::filters {

namespace {

using ical::Civil;

constexpr int kDate = DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay;
constexpr int kDateTime = kDate | DateTimeValue::kHour | DateTimeValue::kMinute;
// The year yearly anniversaries start in (a leap year, so 29 February is a valid start).
constexpr int kAnniversaryYear = 2000;

// Texts of the notes this filter leaves for the user.
enum ICalNote : int {
    kNoteAdjusted = 9290, // %s field, %s device value, %s written value, %s tag
    kNoteUndated = 9291,
    kNoteOtherKinds = 9292,   // %d count, %s list
    kNoteInMemo = 9293,       // %s property names
    kNoteICalLeftOut = 9294,  // %s property names
    kNoteAttachments = 9295,  // %d count
    kNoteExtraAlarms = 9296,  // %d count
    kNoteUnknownZone = 9297,  // %s zone, %s property
    kNoteTimeCut = 9298,      // %s property, %s time
    kNoteBadOwnValue = 9299,  // %s tag, %s value
    kNoteAlarmLeftOut = 9300, // %s trigger
};

Civil ToCivil(const DateTimeValue& v) {
    Civil c;
    c.year = v.year;
    c.month = v.month;
    c.day = v.day;
    c.hour = v.flags & DateTimeValue::kHour ? v.hour : 0;
    c.minute = v.flags & DateTimeValue::kMinute ? v.minute : 0;
    return c;
}

// A local wall-clock time in minutes since 1970-01-01 00:00.
long long ToMinutes(const DateTimeValue& v) {
    return ical::ToEpoch(ToCivil(v)) / 60;
}

DateTimeValue FromCivil(const Civil& c, bool withTime) {
    DateTimeValue v;
    v.flags = withTime ? kDateTime : kDate;
    v.year = c.year;
    v.month = c.month;
    v.day = c.day;
    v.hour = withTime ? c.hour : 0;
    v.minute = withTime ? c.minute : 0;
    return v;
}

DateTimeValue FromMinutes(long long minutes, bool withTime) {
    return FromCivil(ical::FromEpoch(minutes * 60), withTime);
}

std::string DateText(const DateTimeValue& v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", v.year, v.month, v.day);
    return buf;
}

std::string DateTimeText(const DateTimeValue& v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d00", v.year, v.month, v.day, v.hour,
                  v.minute);
    return buf;
}

// The cell text (as CellText gives it) of a time value.
std::string TimeCell(const DateTimeValue& v) {
    char buf[24];
    if ((v.flags & kDateTime) == kDateTime)
        std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d", v.year, v.month, v.day, v.hour,
                      v.minute);
    else
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", v.year, v.month, v.day);
    return buf;
}

// A device value as the user reads it, missing parts as dashes: "----/04/31 10:--".
std::string ShowTime(const DateTimeValue& v, bool withTime) {
    auto part = [&](int flag, int value, int width) {
        if (!(v.flags & flag))
            return std::string(static_cast<std::size_t>(width), '-');
        char buf[8];
        std::snprintf(buf, sizeof buf, "%0*d", width, value);
        return std::string(buf);
    };
    std::string s = part(DateTimeValue::kYear, v.year, 4) + "/" +
                    part(DateTimeValue::kMonth, v.month, 2) + "/" +
                    part(DateTimeValue::kDay, v.day, 2);
    if (withTime)
        s += " " + part(DateTimeValue::kHour, v.hour, 2) + ":" +
             part(DateTimeValue::kMinute, v.minute, 2);
    return s;
}

// The nearest real date (and time) of a device value: a missing year is `fallbackYear`, a
// day past the month's end is its last day, a missing hour or minute is 0. `exact` says
// whether reading the result back gives the device value itself.
struct Real {
    DateTimeValue value;
    bool exact = true;
};

Real Realize(const DateTimeValue& in, int fallbackYear, bool timed) {
    Real r{in, true};
    if (!(in.flags & DateTimeValue::kYear)) {
        r.value.year = fallbackYear;
        r.exact = false;
    }
    const int last = ical::DaysInMonth(r.value.year, in.month);
    if (in.day > last) {
        r.value.day = last;
        r.exact = false;
    }
    const bool hour = (in.flags & DateTimeValue::kHour) != 0,
               minute = (in.flags & DateTimeValue::kMinute) != 0;
    if (timed) {
        r.value.hour = hour ? in.hour : 0;
        r.value.minute = minute ? in.minute : 0;
        r.exact = r.exact && hour && minute;
    } else {
        r.value.hour = r.value.minute = 0;
        r.exact = r.exact && !hour && !minute;
    }
    r.value.flags = timed ? kDateTime : kDate;
    return r;
}

const CTimeField* TimeAt(const CRecordSet& set, const CDataRecord& rec, const char* tag) {
    const int i = set.FindTag(MakeTag(tag));
    if (i < 0)
        return nullptr;
    const auto* f = dynamic_cast<const CTimeField*>(rec.FieldAt(i));
    return f != nullptr && f->IsSet() ? f : nullptr;
}

std::string Cell(const CRecordSet& set, const CDataRecord& rec, const char* tag) {
    const int i = set.FindTag(MakeTag(tag));
    return i < 0 ? std::string() : CellText(rec, i);
}

std::string Title(const CRecordSet& set, const char* tag) {
    const int i = set.FindTag(MakeTag(tag));
    return i < 0 || static_cast<std::size_t>(i) >= set.Titles().size()
               ? std::string(tag)
               : ToUtf8(set.Titles()[static_cast<std::size_t>(i)]);
}

std::time_t Now() {
    std::time_t now = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"))
        now = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
    return now;
}

std::string UtcText(long long seconds) {
    const Civil c = ical::FromEpoch(seconds);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02dZ", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return buf;
}

void Prop(std::string& out, const std::string& nameAndParams, const std::string& value) {
    AppendFolded(out, nameAndParams + ":" + value);
}

void Summary(std::string& out, const std::string& memo) {
    if (memo.empty())
        return;
    const std::string flat = NormalizeBreaks(memo, "\n");
    const std::size_t nl = flat.find('\n');
    Prop(out, "SUMMARY", EscapeText(flat.substr(0, nl)));
    if (nl != std::string::npos)
        Prop(out, "DESCRIPTION", EscapeText(flat));
}

const char* const kDays[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// The first date from kAnniversaryYear on that is weekday `dow` of week `week` in `m`.
std::optional<DateTimeValue> FirstWeekdayDate(int m, int week, int dow) {
    for (int y = kAnniversaryYear; y < kAnniversaryYear + 40; ++y) {
        const Civil first{y, m, 1, 0, 0, 0};
        const int firstDow = static_cast<int>(((ical::ToEpoch(first) / 86400 % 7) + 11) % 7);
        const int d = 1 + (dow - firstDow + 7) % 7 + (week - 1) * 7;
        if (d <= ical::DaysInMonth(y, m))
            return FromCivil({y, m, d, 0, 0, 0}, false);
    }
    return std::nullopt;
}

// One record's component: what the standard properties say, and the fields they cannot
// say, which then travel as X-TESSERA-<tag> (an import reads those first).
class RecordWriter {
public:
    RecordWriter(const CRecordSet& set, const CDataRecord& rec, int recordNo, int fallbackYear)
        : m_set(set), m_rec(rec), m_no(recordNo), m_year(fallbackYear) {}

    std::string Write(const std::string& uid, const std::string& stamp) {
        const int kind = m_set.Kind();
        std::string body;
        const char* type = kind == kKindActionList ? "VTODO" : "VEVENT";
        bool dated = true;
        if (kind == kKindSchedule)
            dated = Schedule(body);
        else if (kind == kKindAnniversary)
            dated = AnniversaryByDate(body);
        else if (kind == kKindAnniversaryWeek)
            dated = AnniversaryByWeek(body);
        else
            ToDo(body);
        if (!dated) {
            // Nothing to place it on a calendar by: a journal entry, which needs no date,
            // marked with the record kind so that import gives the same record back.
            type = "VJOURNAL";
            body.clear();
            Prop(body, "X-TESSERA-KIND", std::to_string(kind));
            RunNotes().Record(m_no, NoteText(kNoteUndated));
        }
        Summary(body, Cell(m_set, m_rec, "MEM1"));
        if (Cell(m_set, m_rec, "SCRT") == "*")
            Prop(body, "CLASS", "PRIVATE");
        for (int i = 0; i < m_set.FieldCount(); ++i) {
            const std::string& tag = m_set.Tags()[static_cast<std::size_t>(i)];
            if (m_done.count(tag) != 0)
                continue;
            if (const std::string s = CellText(m_rec, i); !s.empty())
                Prop(body, "X-TESSERA-" + tag, EscapeText(s));
        }
        std::string out = std::string("BEGIN:") + type + "\r\n";
        Prop(out, "UID", uid);
        Prop(out, "DTSTAMP", stamp);
        out += body;
        out += std::string("END:") + type + "\r\n";
        return out;
    }

private:
    // The real value of a time field; notes the change and keeps the field for its own
    // property when the value had to change.
    Real Place(const CTimeField* f, const char* tag, bool timed) {
        const Real r = Realize(f->Value(), m_year, timed);
        if (r.exact) {
            m_done.insert(tag);
        } else {
            const bool withTime = f->HasTime();
            RunNotes().Record(
                m_no, NoteText(kNoteAdjusted, {Title(m_set, tag), ShowTime(f->Value(), withTime),
                                               ShowTime(r.value, timed), std::string(tag)}));
        }
        return r;
    }

    bool Schedule(std::string& body) {
        const CTimeField* start = TimeAt(m_set, m_rec, "TIM1");
        if (start == nullptr)
            return false;
        // A start without an hour is an all-day event.
        const bool timed = (start->Value().flags & DateTimeValue::kHour) != 0;
        const Real s = Place(start, "TIM1", timed);
        Prop(body, timed ? "DTSTART" : "DTSTART;VALUE=DATE",
             timed ? DateTimeText(s.value) : DateText(s.value));
        if (const CTimeField* end = TimeAt(m_set, m_rec, "TIM2")) {
            const bool endTimed = (end->Value().flags & DateTimeValue::kHour) != 0;
            const Real probe = Realize(end->Value(), m_year, endTimed);
            const long long sm = ToMinutes(s.value), em = ToMinutes(probe.value);
            // The end goes out only as a value of the start's type after the start; an
            // all-day end is exclusive: the day after the last day.
            if (endTimed == timed && (timed ? em > sm : em >= sm)) {
                const Real e = Place(end, "TIM2", endTimed);
                Prop(body, timed ? "DTEND" : "DTEND;VALUE=DATE",
                     timed ? DateTimeText(e.value) : DateText(FromMinutes(em + 1440, false)));
            }
        }
        const CTimeField* alarm = TimeAt(m_set, m_rec, "ALRM");
        if (alarm != nullptr && Cell(m_set, m_rec, "ALON") == "*") {
            const Real a = Place(alarm, "ALRM", true);
            const long long offset = ToMinutes(a.value) - ToMinutes(s.value);
            body += "BEGIN:VALARM\r\nACTION:DISPLAY\r\n";
            Prop(body, "TRIGGER",
                 (offset < 0 ? "-PT" : "PT") + std::to_string(offset < 0 ? -offset : offset) + "M");
            const std::string memo = Cell(m_set, m_rec, "MEM1");
            Prop(body, "DESCRIPTION",
                 EscapeText(memo.empty() ? "Reminder" : NormalizeBreaks(memo, "\n")));
            body += "END:VALARM\r\n";
            m_done.insert("ALON");
        }
        return true;
    }

    bool AnniversaryByDate(std::string& body) {
        const CTimeField* date = TimeAt(m_set, m_rec, "ANN1");
        if (date == nullptr)
            return false;
        DateTimeValue v = date->Value();
        v.year = kAnniversaryYear;
        v.flags |= DateTimeValue::kYear;
        const Real r = Realize(v, kAnniversaryYear, false);
        if (r.exact) {
            m_done.insert("ANN1");
        } else {
            RunNotes().Record(
                m_no, NoteText(kNoteAdjusted,
                               {Title(m_set, "ANN1"), ShowTime(date->Value(), false).substr(5),
                                ShowTime(r.value, false).substr(5), std::string("ANN1")}));
        }
        YearlyDay(body, r.value, "FREQ=YEARLY");
        return true;
    }

    bool AnniversaryByWeek(std::string& body) {
        const int i = m_set.FindTag(MakeTag("ANN2"));
        const auto* f = i < 0 ? nullptr : dynamic_cast<const CDayWeekField*>(m_rec.FieldAt(i));
        if (f == nullptr || !f->IsSet())
            return false;
        const DayWeekValue& w = f->Value();
        const std::optional<DateTimeValue> first = FirstWeekdayDate(w.month, w.week, w.dayOfWeek);
        if (!first)
            return false;
        YearlyDay(body, *first,
                  "FREQ=YEARLY;BYMONTH=" + std::to_string(w.month) +
                      ";BYDAY=" + std::to_string(w.week) + kDays[w.dayOfWeek]);
        m_done.insert("ANN2");
        return true;
    }

    // A yearly all-day event the way calendar programs write birthdays.
    static void YearlyDay(std::string& body, const DateTimeValue& first, const std::string& rule) {
        Prop(body, "DTSTART;VALUE=DATE", DateText(first));
        Prop(body, "RRULE", rule);
        Prop(body, "DTEND;VALUE=DATE", DateText(FromMinutes(ToMinutes(first) + 1440, false)));
    }

    void ToDo(std::string& body) {
        const CTimeField* entry = TimeAt(m_set, m_rec, "ETDY");
        std::optional<Real> start;
        if (entry != nullptr) {
            start = Place(entry, "ETDY", false);
            Prop(body, "DTSTART;VALUE=DATE", DateText(start->value));
        }
        if (const CTimeField* due = TimeAt(m_set, m_rec, "LTDY")) {
            const Real probe = Realize(due->Value(), m_year, false);
            if (!start || ToMinutes(probe.value) > ToMinutes(start->value))
                Prop(body, "DUE;VALUE=DATE", DateText(Place(due, "LTDY", false).value));
        }
        if (const CTimeField* finished = TimeAt(m_set, m_rec, "FNDY")) {
            // Completion is a UTC instant: local midnight of the day it was done.
            Civil midnight = ToCivil(Place(finished, "FNDY", false).value);
            Prop(body, "COMPLETED", UtcText(ical::LocalToUtc(midnight)));
        }
        const std::string mark = Cell(m_set, m_rec, "MARK");
        if (mark == "01" || mark == "00") {
            Prop(body, "STATUS", mark == "01" ? "COMPLETED" : "NEEDS-ACTION");
            m_done.insert("MARK");
        }
        const std::string prty = Cell(m_set, m_rec, "PRTY");
        if (prty.size() == 2 && prty[0] == '0' && prty[1] >= '0' && prty[1] <= '3') {
            Prop(body, "PRIORITY", std::to_string(1 + 2 * (prty[1] - '0')));
            m_done.insert("PRTY");
        }
    }

    const CRecordSet& m_set;
    const CDataRecord& m_rec;
    const int m_no;
    const int m_year;
    std::set<std::string> m_done = {"SCRT", "MEM1"};
};

} // namespace

bool ExportICal(const CRecordSet& set, std::string& out, Failure& /*failure*/) {
    out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    Prop(out, "PRODID", "-//Quillon//Tessera//JA");
    out += "CALSCALE:GREGORIAN\r\n";
    const std::time_t now = Now();
    const std::string stamp = UtcText(static_cast<long long>(now));
    // A date without a year is placed in the year of the export.
    const int year = ical::UtcToLocal(static_cast<long long>(now)).year;
    std::map<std::string, int> seen;
    for (int r = 0; r < set.RecordCount(); ++r) {
        const CDataRecord& rec = *set.RecordAt(r);
        RecordWriter writer(set, rec, r + 1, year);
        out += writer.Write(ContentUid(rec, set.Kind(), seen), stamp);
    }
    out += "END:VCALENDAR\r\n";
    return true;
}

namespace {

// "-PT15M", "P1DT2H", "PT0S", "-P1W" -> minutes; seconds short of a minute are cut.
bool ParseDuration(const std::string& text, long long& minutes) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= text.size() || text[i++] != 'P')
        return false;
    long long total = 0, n = 0;
    bool inTime = false, haveDigits = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            n = n * 10 + (c - '0');
            haveDigits = true;
            if (n > 100000000)
                return false;
            continue;
        }
        if (c == 'T' && !inTime && !haveDigits) {
            inTime = true;
            continue;
        }
        if (!haveDigits)
            return false;
        if (!inTime && c == 'W')
            total += n * 7 * 1440;
        else if (!inTime && c == 'D')
            total += n * 1440;
        else if (inTime && c == 'H')
            total += n * 60;
        else if (inTime && c == 'M')
            total += n;
        else if (inTime && c == 'S')
            total += n / 60; // the device counts whole minutes
        else
            return false;
        n = 0;
        haveDigits = false;
        any = true;
    }
    if (haveDigits || !any)
        return false;
    minutes = negative ? -total : total;
    return true;
}

struct Component {
    std::string type; // VEVENT, VTODO or VJOURNAL
    int lineNo = 0;
    std::vector<ContentLine> props;
    std::vector<std::vector<ContentLine>> alarms;
    std::vector<std::string> nested; // other components inside, left out
    int kind = 0;                    // the record kind it reads as, 0 for none
};

struct Calendar {
    std::vector<Component> components;
    std::map<std::string, int> others; // components that are no record: type -> count
    std::map<std::string, ical::ZoneRules> zones;
};

bool Bad(Failure& failure, int code, int lineNo, const std::string& what) {
    failure = {code, (lineNo > 0 ? "line " + std::to_string(lineNo) + ": " : std::string()) + what};
    return false;
}

bool ReadCalendar(std::string_view in, Calendar& cal, Failure& failure) {
    std::vector<ContentLine> lines;
    if (!ParseContentLines(in, lines, failure))
        return false;
    std::vector<std::string> stack; // open components
    bool inComponent = false, inAlarm = false, inZone = false, inObservance = false;
    std::string zoneId;
    ical::ZoneRules zone;
    std::vector<ContentLine> observance;
    for (const ContentLine& line : lines) {
        const std::string value = ToUpperAscii(line.value);
        if (line.name == "BEGIN") {
            if (stack.empty()) {
                if (value != "VCALENDAR")
                    return Bad(failure, kExitBadInput, line.lineNo, "no VCALENDAR");
            } else if (stack.size() == 1) {
                if (value == "VEVENT" || value == "VTODO" || value == "VJOURNAL") {
                    cal.components.push_back({value, line.lineNo, {}, {}, {}, 0});
                    inComponent = true;
                } else if (value == "VTIMEZONE") {
                    inZone = true;
                    zoneId.clear();
                    zone = {};
                } else {
                    ++cal.others[value];
                }
            } else if (stack.size() == 2 && inComponent && value == "VALARM") {
                cal.components.back().alarms.emplace_back();
                inAlarm = true;
            } else if (stack.size() == 2 && inComponent) {
                cal.components.back().nested.push_back(value);
            } else if (stack.size() == 2 && inZone &&
                       (value == "STANDARD" || value == "DAYLIGHT")) {
                inObservance = true;
                observance.clear();
            }
            stack.push_back(value);
            continue;
        }
        if (line.name == "END") {
            if (stack.empty() || stack.back() != value)
                return Bad(failure, kExitBadInput, line.lineNo,
                           "END:" + value + " does not close " +
                               (stack.empty() ? std::string("anything") : stack.back()));
            stack.pop_back();
            if (stack.size() == 2 && inObservance) {
                zone.AddObservance(observance);
                inObservance = false;
            } else if (stack.size() == 2) {
                inAlarm = false;
            } else if (stack.size() == 1) {
                if (inZone && !zoneId.empty())
                    cal.zones[zoneId] = zone;
                inComponent = inZone = false;
            }
            continue;
        }
        if (stack.empty())
            return Bad(failure, kExitBadInput, line.lineNo, line.name + " outside VCALENDAR");
        if (stack.size() == 1) {
            if (line.name == "CALSCALE" && value != "GREGORIAN")
                return Bad(failure, kExitImport, line.lineNo,
                           "only the Gregorian calendar is read");
        } else if (stack.size() == 2 && inComponent) {
            cal.components.back().props.push_back(line);
        } else if (stack.size() == 2 && inZone && line.name == "TZID") {
            zoneId = line.value;
        } else if (stack.size() == 3 && inAlarm) {
            cal.components.back().alarms.back().push_back(line);
        } else if (stack.size() == 3 && inObservance) {
            observance.push_back(line);
        }
    }
    if (!stack.empty())
        return Bad(failure, kExitBadInput, 0, stack.back() + " is never closed");
    return true;
}

const ContentLine* Find(const Component& c, const char* name) {
    for (const ContentLine& p : c.props)
        if (p.name == name)
            return &p;
    return nullptr;
}

bool IsDateValue(const ContentLine& p) {
    const auto v = p.params.find("VALUE");
    if (v != p.params.end() && !v->second.empty())
        return ToUpperAscii(v->second.front()) == "DATE";
    return p.value.size() == 8;
}

// A yearly rule an anniversary can hold: by date (4) or by weekday of a week (5); 0 when
// the rule says more than the records can hold. `bounded` is set for COUNT or UNTIL.
struct YearlyRule {
    int kind = 0;
    int month = 0, week = 0, weekday = -1;
    bool bounded = false;
};

YearlyRule ReadYearlyRule(const std::string& rule, int startMonth, int startDay) {
    YearlyRule y;
    std::map<std::string, std::string> parts;
    for (const std::string& kv : SplitStructured(rule, ';')) {
        const std::size_t eq = kv.find('=');
        parts[ToUpperAscii(kv.substr(0, eq))] =
            eq == std::string::npos ? "" : ToUpperAscii(kv.substr(eq + 1));
    }
    if (parts["FREQ"] != "YEARLY")
        return y;
    y.month = startMonth;
    for (const auto& [key, value] : parts) {
        if (key == "FREQ" || key == "WKST") {
        } else if (key == "INTERVAL") {
            if (value != "1")
                return {};
        } else if (key == "COUNT" || key == "UNTIL") {
            y.bounded = true;
        } else if (key == "BYMONTH") {
            y.month = std::atoi(value.c_str());
            if (value != std::to_string(y.month) || y.month < 1 || y.month > 12)
                return {};
        } else if (key == "BYMONTHDAY") {
            if (value != std::to_string(startDay))
                return {};
        } else if (key == "BYDAY") {
            std::string d = value;
            if (!d.empty() && d[0] == '+')
                d.erase(0, 1);
            if (d.size() != 3 || d[0] < '1' || d[0] > '5')
                return {};
            y.week = d[0] - '0';
            for (int i = 0; i < 7; ++i)
                if (d.substr(1) == kDays[i])
                    y.weekday = i;
            if (y.weekday < 0)
                return {};
        } else {
            return {};
        }
    }
    if (y.weekday >= 0) {
        if (parts.count("BYMONTHDAY") != 0)
            return {};
        y.kind = kKindAnniversaryWeek;
    } else {
        if (y.month != startMonth)
            return {};
        y.kind = kKindAnniversary;
    }
    return y;
}

int KindOf(const Component& c) {
    if (c.type == "VTODO")
        return kKindActionList;
    if (c.type == "VJOURNAL") {
        // Only the undated records this filter writes; other journals are no record.
        const ContentLine* k = Find(c, "X-TESSERA-KIND");
        const int kind = k == nullptr ? 0 : std::atoi(k->value.c_str());
        return kind >= kKindSchedule && kind <= kKindActionList ? kind : 0;
    }
    const ContentLine* start = Find(c, "DTSTART");
    const ContentLine* rule = Find(c, "RRULE");
    if (start != nullptr && rule != nullptr && IsDateValue(*start) && start->value.size() >= 8) {
        const int m = std::atoi(start->value.substr(4, 2).c_str()),
                  d = std::atoi(start->value.substr(6, 2).c_str());
        if (const YearlyRule y = ReadYearlyRule(rule->value, m, d); y.kind != 0)
            return y.kind;
    }
    return kKindSchedule;
}

struct When {
    DateTimeValue value;
    bool dateOnly = false;
};

// Fields of one record as cell texts, the lines its memo gains, and what it tells the user.
struct Entry {
    std::map<std::string, std::string> values; // from the standard properties
    std::map<std::string, std::string> own;    // from X-TESSERA-<tag>, read first
    std::string summary, description;
    bool haveSummary = false, haveDescription = false;
    std::vector<std::string> memoLines;
    std::vector<std::string> labels;  // properties kept in the memo
    std::vector<std::string> dropped; // properties left out
    std::vector<std::string> notes;
    int attachments = 0;
};

void AddOnce(std::vector<std::string>& list, const std::string& item) {
    for (const std::string& s : list)
        if (s == item)
            return;
    list.push_back(item);
}

std::string Join(const std::vector<std::string>& items, const char* sep) {
    std::string out;
    for (const std::string& s : items)
        out += (out.empty() ? "" : sep) + s;
    return out;
}

class ComponentReader {
public:
    ComponentReader(const Calendar& cal, const Component& c, Entry& e)
        : m_cal(cal), m_c(c), m_e(e) {}

    bool Read(int kind, Failure& failure) {
        const ContentLine* start = nullptr;
        const ContentLine* end = nullptr;
        const ContentLine* duration = nullptr;
        const ContentLine* rule = nullptr;
        for (const std::string& name : m_c.nested)
            AddOnce(m_e.dropped, name);
        for (const ContentLine& p : m_c.props) {
            const std::string& n = p.name;
            const std::string text = UnescapeText(p.value);
            if (n == "UID" || n == "DTSTAMP" || n == "CREATED" || n == "LAST-MODIFIED" ||
                n == "SEQUENCE" || n == "X-TESSERA-KIND") {
            } else if (n == "DTSTART" && start == nullptr) {
                start = &p;
            } else if ((n == "DTEND" || n == "DUE") && end == nullptr &&
                       (n == "DUE") == (kind == kKindActionList)) {
                end = &p;
            } else if (n == "DURATION" && duration == nullptr && kind != kKindActionList) {
                duration = &p;
            } else if (n == "RRULE" && rule == nullptr &&
                       (kind == kKindAnniversary || kind == kKindAnniversaryWeek)) {
                rule = &p;
            } else if (n == "SUMMARY" && !m_e.haveSummary) {
                m_e.summary = text;
                m_e.haveSummary = true;
            } else if (n == "DESCRIPTION" && !m_e.haveDescription) {
                m_e.description = text;
                m_e.haveDescription = true;
            } else if (n == "CLASS" &&
                       (ToUpperAscii(text) == "PRIVATE" || ToUpperAscii(text) == "CONFIDENTIAL")) {
                m_e.values["SCRT"] = "*";
            } else if (n == "CLASS" && ToUpperAscii(text) == "PUBLIC") {
            } else if (n == "STATUS" && kind == kKindActionList) {
                const std::string v = ToUpperAscii(text);
                if (v == "COMPLETED")
                    m_e.values["MARK"] = "01";
                else if (v == "NEEDS-ACTION" || v == "IN-PROCESS")
                    m_e.values["MARK"] = "00";
                else
                    Label(p, text);
            } else if (n == "STATUS" && ToUpperAscii(text) == "CONFIRMED") {
                AddOnce(m_e.dropped, n);
            } else if (n == "PRIORITY" && kind == kKindActionList) {
                // 1 urgent, 2-4 A, 5 B, 6-9 C; 0 means none.
                const int v =
                    text.size() == 1 && text[0] >= '0' && text[0] <= '9' ? text[0] - '0' : -1;
                if (v < 0)
                    Label(p, text);
                else if (v > 0)
                    m_e.values["PRTY"] = v == 1 ? "00" : v <= 4 ? "01" : v == 5 ? "02" : "03";
            } else if (n == "COMPLETED" && kind == kKindActionList) {
                When w;
                if (!ReadWhen(p, w, failure))
                    return false;
                m_e.values["FNDY"] = TimeCell(FromCivil(ToCivil(w.value), false));
            } else if (n.rfind("X-TESSERA-", 0) == 0 && n.size() == 14) {
                m_e.own[n.substr(10)] = text;
            } else if (n == "TRANSP" || n.rfind("X-", 0) == 0) {
                AddOnce(m_e.dropped, n);
            } else if (n == "ATTACH" && IsBinary(p)) {
                ++m_e.attachments;
            } else {
                Label(p, text);
            }
        }

        When s;
        if (start != nullptr && !ReadWhen(*start, s, failure))
            return false;
        if (kind == kKindActionList)
            return ToDo(start, s, end, failure);
        if (kind == kKindAnniversary || kind == kKindAnniversaryWeek)
            return Anniversary(kind, start, s, end, duration, rule);
        return Schedule(start, s, end, duration, failure);
    }

private:
    static bool IsBinary(const ContentLine& p) {
        const auto enc = p.params.find("ENCODING");
        const auto val = p.params.find("VALUE");
        return (enc != p.params.end() && !enc->second.empty() &&
                ToUpperAscii(enc->second.front()) == "BASE64") ||
               (val != p.params.end() && !val->second.empty() &&
                ToUpperAscii(val->second.front()) == "BINARY");
    }

    // "LOCATION: 第二会議室" at the end of the memo; a person by the name a client shows.
    void Label(const ContentLine& p, const std::string& text) {
        std::string value = text;
        if (const auto cn = p.params.find("CN"); cn != p.params.end() && !cn->second.empty())
            value = cn->second.front() + " <" + text + ">";
        if (p.name == "CATEGORIES")
            value = Join(SplitStructured(p.value, ','), ", ");
        m_e.memoLines.push_back(p.name + ": " + value);
        AddOnce(m_e.labels, p.name);
    }

    // A DATE or DATE-TIME value as the PC's wall-clock time: UTC and zoned times are
    // converted, a floating time is taken as it is.
    bool ReadWhen(const ContentLine& p, When& out, Failure& failure) {
        const std::string& v = p.value;
        Civil c;
        auto num = [&](std::size_t at, std::size_t n, int& to) {
            to = 0;
            for (std::size_t i = at; i < at + n; ++i) {
                if (i >= v.size() || v[i] < '0' || v[i] > '9')
                    return false;
                to = to * 10 + (v[i] - '0');
            }
            return true;
        };
        if (!num(0, 4, c.year) || !num(4, 2, c.month) || !num(6, 2, c.day))
            return Bad(failure, kExitBadInput, p.lineNo, "'" + v + "' is no date or time");
        if (v.size() == 8) {
            out = {FromCivil(c, false), true};
            return true;
        }
        if (v.size() < 15 || v[8] != 'T' || !num(9, 2, c.hour) || !num(11, 2, c.minute) ||
            !num(13, 2, c.second) || (v.size() == 16 && v[15] != 'Z') || v.size() > 16)
            return Bad(failure, kExitBadInput, p.lineNo, "'" + v + "' is no date or time");
        if (v.size() == 16) {
            c = ical::UtcToLocal(ical::ToEpoch(c));
        } else if (const auto tz = p.params.find("TZID");
                   tz != p.params.end() && !tz->second.empty()) {
            long long utc = 0;
            if (ical::ZoneToUtc(m_cal.zones, tz->second.front(), c, utc))
                c = ical::UtcToLocal(utc);
            else
                AddOnceNote(NoteText(kNoteUnknownZone, {tz->second.front(), p.name}));
        }
        out = {FromCivil(c, true), false};
        return true;
    }

    void AddOnceNote(const std::string& text) { AddOnce(m_e.notes, text); }

    // A to-do's dates are days: a time of day is cut, with a note.
    bool DayOf(const ContentLine* p, const char* tag, Failure& failure) {
        if (p == nullptr)
            return true;
        When w;
        if (!ReadWhen(*p, w, failure))
            return false;
        if (!w.dateOnly) {
            char hm[8];
            std::snprintf(hm, sizeof hm, "%02d:%02d", w.value.hour, w.value.minute);
            AddOnceNote(NoteText(kNoteTimeCut, {p->name, std::string(hm)}));
        }
        m_e.values[tag] = TimeCell(FromCivil(ToCivil(w.value), false));
        return true;
    }

    bool ToDo(const ContentLine* start, const When&, const ContentLine* due, Failure& failure) {
        if (!DayOf(start, "ETDY", failure) || !DayOf(due, "LTDY", failure))
            return false;
        // Most to-do programs write neither: not done yet, and the middle priority.
        if (m_e.values.count("MARK") == 0)
            m_e.values["MARK"] =
                m_e.values.count("FNDY") != 0 && Find(m_c, "STATUS") == nullptr ? "01" : "00";
        if (m_e.values.count("PRTY") == 0)
            m_e.values["PRTY"] = "02";
        LeaveAlarms(0);
        return true;
    }

    bool Anniversary(int kind, const ContentLine* start, const When& s, const ContentLine* end,
                     const ContentLine* duration, const ContentLine* rule) {
        if (start != nullptr) {
            const YearlyRule y = rule != nullptr
                                     ? ReadYearlyRule(rule->value, s.value.month, s.value.day)
                                     : YearlyRule{};
            char buf[16];
            if (kind == kKindAnniversary)
                std::snprintf(buf, sizeof buf, "%02d%02d", s.value.month, s.value.day);
            else
                std::snprintf(buf, sizeof buf, "%02d%d%d", y.month, y.week, y.weekday);
            m_e.values[kind == kKindAnniversary ? "ANN1" : "ANN2"] =
                kind == kKindAnniversary ? "    " + std::string(buf) : buf;
            if (y.bounded)
                Label(*rule, rule->value);
            // The usual one-day length says nothing; a longer one is kept in the memo.
            When e;
            Failure ignored;
            if (end != nullptr &&
                (!ReadWhen(*end, e, ignored) || ToMinutes(e.value) != ToMinutes(s.value) + 1440))
                Label(*end, end->value);
            long long minutes = 0;
            if (duration != nullptr &&
                (!ParseDuration(duration->value, minutes) || minutes != 1440))
                Label(*duration, duration->value);
        }
        LeaveAlarms(0);
        return true;
    }

    bool Schedule(const ContentLine* start, const When& s, const ContentLine* end,
                  const ContentLine* duration, Failure& failure) {
        if (start == nullptr) {
            if (end != nullptr)
                Label(*end, end->value);
            LeaveAlarms(0);
            return true;
        }
        m_e.values["TIM1"] = TimeCell(s.value);
        std::optional<DateTimeValue> endValue;
        if (end != nullptr) {
            When d;
            if (!ReadWhen(*end, d, failure))
                return false;
            // An all-day end is exclusive: the day before is the last one. An end on the start
            // day itself means one day, as most programs read it.
            if (d.dateOnly != s.dateOnly)
                Label(*end, end->value);
            else if (!d.dateOnly)
                endValue = d.value;
            else if (ToMinutes(d.value) > ToMinutes(s.value))
                endValue = FromMinutes(ToMinutes(d.value) - 1440, false);
        } else if (duration != nullptr) {
            long long minutes = 0;
            if (!ParseDuration(duration->value, minutes) || minutes < 0)
                Label(*duration, duration->value);
            else if (s.dateOnly)
                endValue =
                    FromMinutes(ToMinutes(s.value) + (minutes > 0 ? minutes - 1440 : 0), false);
            else
                endValue = FromMinutes(ToMinutes(s.value) + minutes, true);
        }
        if (endValue)
            m_e.values["TIM2"] = TimeCell(*endValue);
        if (m_c.alarms.empty())
            return true;
        // The device has one alarm: the first one.
        const ContentLine* trigger = nullptr;
        for (const ContentLine& p : m_c.alarms.front())
            if (p.name == "TRIGGER")
                trigger = &p;
        LeaveAlarms(1);
        if (trigger == nullptr) {
            AddOnceNote(NoteText(kNoteAlarmLeftOut, {std::string("TRIGGER")}));
            return true;
        }
        std::optional<DateTimeValue> when;
        const auto value = trigger->params.find("VALUE");
        if (value != trigger->params.end() && !value->second.empty() &&
            ToUpperAscii(value->second.front()) == "DATE-TIME") {
            When t;
            if (!ReadWhen(*trigger, t, failure))
                return false;
            when = t.value;
        } else if (long long minutes = 0; ParseDuration(trigger->value, minutes)) {
            const auto related = trigger->params.find("RELATED");
            const bool fromEnd = related != trigger->params.end() && !related->second.empty() &&
                                 ToUpperAscii(related->second.front()) == "END";
            if (!fromEnd)
                when = FromMinutes(ToMinutes(s.value) + minutes, true);
            else if (endValue)
                when = FromMinutes(ToMinutes(*endValue) + (s.dateOnly ? 1440 : 0) + minutes, true);
        }
        if (!when) {
            AddOnceNote(NoteText(kNoteAlarmLeftOut, {trigger->value}));
            return true;
        }
        m_e.values["ALRM"] = TimeCell(*when);
        m_e.values["ALON"] = "*";
        return true;
    }

    // Alarms from `first` on have no place in the record.
    void LeaveAlarms(std::size_t first) {
        if (m_c.alarms.size() <= first)
            return;
        const int n = static_cast<int>(m_c.alarms.size() - first);
        if (first == 0) {
            for (const auto& alarm : m_c.alarms)
                for (const ContentLine& p : alarm)
                    if (p.name == "TRIGGER")
                        AddOnceNote(NoteText(kNoteAlarmLeftOut, {p.value}));
        } else {
            AddOnceNote(NoteText(kNoteExtraAlarms, {n}));
        }
    }

    const Calendar& m_cal;
    const Component& m_c;
    Entry& m_e;
};

std::string FirstLine(const std::string& text) {
    const std::string flat = NormalizeBreaks(text, "\n");
    return flat.substr(0, flat.find('\n'));
}

// The memo: the summary, with the description's further lines, then the labelled lines.
std::string Memo(const Entry& e) {
    std::string memo = e.summary;
    if (e.haveDescription)
        memo = (!e.haveSummary || FirstLine(e.description) == e.summary)
                   ? e.description
                   : e.summary + "\r\n" + e.description;
    for (const std::string& line : e.memoLines)
        memo += (memo.empty() ? "" : "\r\n") + line;
    return memo;
}

// Whether an exact time of our own still belongs to the standard property beside it: the
// property must still hold the real value export made of it. Another program that moved
// the event changed the property and kept our property unchanged, and then the move wins.
bool OwnValueStillHolds(CDataRecord& scratch, int i, const std::string& own,
                        const std::string& standard) {
    Failure ignored;
    auto value = [&](const std::string& text) -> std::optional<DateTimeValue> {
        scratch.FieldAt(i)->Clear();
        const auto* f = dynamic_cast<const CTimeField*>(scratch.FieldAt(i));
        if (f == nullptr || !ParseCellText(scratch, i, text, 0, "", ignored) || !f->IsSet())
            return std::nullopt;
        return f->Value();
    };
    const std::optional<DateTimeValue> d = value(standard);
    if (!d)
        return true; // not a time: nothing to compare
    const std::optional<DateTimeValue> o = value(own);
    if (!o)
        return true; // refused below, with its own note
    const bool timed = (d->flags & DateTimeValue::kHour) != 0;
    const bool hasYear = (d->flags & DateTimeValue::kYear) != 0;
    const Real r = Realize(*o, hasYear ? d->year : kAnniversaryYear, timed);
    return r.value.month == d->month && r.value.day == d->day &&
           (!hasYear || r.value.year == d->year) &&
           (!timed || (r.value.hour == d->hour && r.value.minute == d->minute));
}

} // namespace

bool ImportICal(std::string_view in, CRecordSet& set, Failure& failure) {
    Calendar cal;
    if (!ReadCalendar(in, cal, failure))
        return false;
    // The kind most components read as (the first of them on a tie) is the one imported.
    std::map<int, int> counts;
    std::map<int, int> firstSeen;
    for (std::size_t i = 0; i < cal.components.size(); ++i) {
        Component& c = cal.components[i];
        c.kind = KindOf(c);
        if (c.kind == 0) {
            ++cal.others[c.type];
            continue;
        }
        ++counts[c.kind];
        firstSeen.emplace(c.kind, static_cast<int>(i));
    }
    if (counts.empty())
        return Bad(failure, kExitBadInput, 0, "the calendar holds no event or to-do");
    int kind = 0;
    for (const auto& [k, n] : counts)
        if (kind == 0 || n > counts[kind] || (n == counts[kind] && firstSeen[k] < firstSeen[kind]))
            kind = k;
    int leftOut = 0;
    std::vector<std::string> what;
    for (const auto& [k, n] : counts) {
        if (k == kind)
            continue;
        leftOut += n;
        what.push_back(ToUtf8(KindName(k)) + " " + std::to_string(n));
    }
    for (const auto& [type, n] : cal.others) {
        leftOut += n;
        what.push_back(type + " " + std::to_string(n));
    }
    if (leftOut > 0)
        RunNotes().General(NoteText(kNoteOtherKinds, {leftOut, Join(what, ", ")}));

    set.SetKind(kind);
    RecordList records;
    int number = 0;
    for (const Component& c : cal.components) {
        if (c.kind != kind)
            continue;
        ++number;
        Entry e;
        if (!ComponentReader(cal, c, e).Read(kind, failure)) {
            failure.message = "record " + std::to_string(number) + ", " + failure.message;
            return false;
        }
        if (const std::string memo = Memo(e); !memo.empty())
            e.values["MEM1"] = memo;
        std::unique_ptr<CDataRecord> record = set.NewRecord();
        if (!record)
            return Bad(failure, kExitImport, 0, "out of memory");
        std::unique_ptr<CDataRecord> scratch = set.NewRecord();
        if (!scratch)
            return Bad(failure, kExitImport, 0, "out of memory");
        for (const auto& [tag, value] : e.own)
            if (set.FindTag(MakeTag(tag)) < 0 || tag.size() != 4)
                AddOnce(e.dropped, "X-TESSERA-" + tag);
        for (int i = 0; i < set.FieldCount(); ++i) {
            const std::string& tag = set.Tags()[static_cast<std::size_t>(i)];
            const auto own = e.own.find(tag);
            const auto found = e.values.find(tag);
            if (own != e.own.end()) {
                Failure ignored;
                if ((found == e.values.end() ||
                     OwnValueStillHolds(*scratch, i, own->second, found->second)) &&
                    ParseCellText(*record, i, own->second, number, tag, ignored))
                    continue;
                record->FieldAt(i)->Clear();
                e.notes.push_back(NoteText(kNoteBadOwnValue, {tag, own->second}));
            }
            if (found != e.values.end() &&
                !ParseCellText(*record, i, found->second, number, tag, failure))
                return false;
        }
        if (!e.labels.empty())
            e.notes.push_back(NoteText(kNoteInMemo, {Join(e.labels, ", ")}));
        if (!e.dropped.empty())
            e.notes.push_back(NoteText(kNoteICalLeftOut, {Join(e.dropped, ", ")}));
        if (e.attachments > 0)
            e.notes.push_back(NoteText(kNoteAttachments, {e.attachments}));
        for (const std::string& note : e.notes)
            RunNotes().Record(number, note);
        records.push_back(std::move(record));
    }
    set.InsertRecords(-1, std::move(records));
    return true;
}

FormatOps ICalOps() {
    FormatOps ops;
    ops.name = "tsr-ical";
    ops.handlesKind = [](int kind) {
        return kind == kKindSchedule || kind == kKindAnniversary || kind == kKindAnniversaryWeek ||
               kind == kKindActionList;
    };
    ops.exportSet = ExportICal;
    ops.importSet = ImportICal;
    return ops;
}

} // namespace tessera::filters
