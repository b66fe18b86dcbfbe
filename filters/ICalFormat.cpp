#include "filters/ICalFormat.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <set>

#include "filters/ContentLines.h"
#include "model/RecordKind.h"

namespace tessera::filters {

namespace {

using namespace std::chrono;

constexpr int kDate = DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay;
constexpr int kDateTime = kDate | DateTimeValue::kHour | DateTimeValue::kMinute;
// The year yearly anniversaries start in (a leap year, so 29 February is a valid start).
constexpr int kAnniversaryYear = 2000;

// A local wall-clock time in minutes since 1970-01-01 00:00.
long long ToMinutes(const DateTimeValue& v) {
    const sys_days d = year_month_day{year{v.year}, month{static_cast<unsigned>(v.month)},
                                      day{static_cast<unsigned>(v.day)}};
    const long long hm = (v.flags & DateTimeValue::kHour ? v.hour : 0) * 60 +
                         (v.flags & DateTimeValue::kMinute ? v.minute : 0);
    return static_cast<long long>(d.time_since_epoch().count()) * 1440 + hm;
}

DateTimeValue FromMinutes(long long minutes, bool withTime) {
    long long days = minutes / 1440;
    long long rest = minutes % 1440;
    if (rest < 0) {
        rest += 1440;
        --days;
    }
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    DateTimeValue v;
    v.flags = withTime ? kDateTime : kDate;
    v.year = static_cast<int>(ymd.year());
    v.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    v.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    v.hour = withTime ? static_cast<int>(rest / 60) : 0;
    v.minute = withTime ? static_cast<int>(rest % 60) : 0;
    return v;
}

std::string DateText(const DateTimeValue& v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", v.year, v.month, v.day);
    return buf;
}

std::string DateTimeText(const DateTimeValue& v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d00", v.year, v.month, v.day, v.hour, v.minute);
    return buf;
}

// The cell text (as CellText gives it) of a time value.
std::string TimeCell(const DateTimeValue& v) {
    char buf[24];
    if ((v.flags & kDateTime) == kDateTime)
        std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d", v.year, v.month, v.day, v.hour, v.minute);
    else
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", v.year, v.month, v.day);
    return buf;
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

int Flags(const CTimeField* f) { return f == nullptr ? 0 : (f->Value().flags & kDateTime); }

std::string Stamp() {
    std::time_t now = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"))
        now = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[24];
    std::strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &tm);
    return buf;
}

// A stable UID: the same record gives the same UID at every export.
std::string Uid(const CRecordSet& set, const CDataRecord& rec, int index) {
    unsigned long long h = 1469598103934665603ull;
    for (int i = 0; i < set.FieldCount(); ++i) {
        for (char c : CellText(rec, i) + "\x1F")
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%016llx-%d-%d@tessera", h, set.Kind(), index + 1);
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
        const year_month_weekday ymw{year{y}, month{static_cast<unsigned>(m)},
                                     weekday_indexed{weekday{static_cast<unsigned>(dow)},
                                                     static_cast<unsigned>(week)}};
        if (ymw.ok()) {
            const year_month_day ymd{sys_days{ymw}};
            DateTimeValue v;
            v.flags = kDate;
            v.year = y;
            v.month = m;
            v.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
            return v;
        }
    }
    return std::nullopt;
}

bool Refuse(Failure& failure, int record, const std::string& what) {
    failure = {kExitExport, "record " + std::to_string(record) + ": " + what};
    return false;
}

} // namespace

bool ExportICal(const CRecordSet& set, std::string& out, Failure& failure) {
    out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    Prop(out, "PRODID", "-//Quillon//Tessera//JA");
    out += "CALSCALE:GREGORIAN\r\n";
    const std::string stamp = Stamp();
    const int kind = set.Kind();
    for (int r = 0; r < set.RecordCount(); ++r) {
        const CDataRecord& rec = *set.RecordAt(r);
        std::set<std::string> done = {"SCRT", "MEM1"};
        const bool todo = kind == kKindActionList;
        out += todo ? "BEGIN:VTODO\r\n" : "BEGIN:VEVENT\r\n";
        Prop(out, "UID", Uid(set, rec, r));
        Prop(out, "DTSTAMP", stamp);
        const std::string memo = Cell(set, rec, "MEM1");
        if (kind == kKindSchedule) {
            const CTimeField* start = TimeAt(set, rec, "TIM1");
            const int sf = Flags(start);
            if (sf != kDate && sf != kDateTime)
                return Refuse(failure, r + 1, "the start needs a whole date (and a whole time)");
            const bool timed = sf == kDateTime;
            Prop(out, timed ? "DTSTART" : "DTSTART;VALUE=DATE",
                 timed ? DateTimeText(start->Value()) : DateText(start->Value()));
            done.insert("TIM1");
            const CTimeField* end = TimeAt(set, rec, "TIM2");
            if (end != nullptr && Flags(end) == sf) {
                const long long s = ToMinutes(start->Value()), e = ToMinutes(end->Value());
                if (timed && e > s) {
                    Prop(out, "DTEND", DateTimeText(end->Value()));
                    done.insert("TIM2");
                } else if (!timed && e >= s) {
                    // An all-day end is exclusive: the day after the last day.
                    Prop(out, "DTEND;VALUE=DATE", DateText(FromMinutes(e + 1440, false)));
                    done.insert("TIM2");
                }
            }
            Summary(out, memo);
            if (Cell(set, rec, "SCRT") == "*")
                Prop(out, "CLASS", "PRIVATE");
            const CTimeField* alarm = TimeAt(set, rec, "ALRM");
            if (alarm != nullptr && Flags(alarm) == kDateTime && Cell(set, rec, "ALON") == "*") {
                const long long offset = ToMinutes(alarm->Value()) - ToMinutes(start->Value());
                out += "BEGIN:VALARM\r\nACTION:DISPLAY\r\n";
                Prop(out, "TRIGGER", (offset < 0 ? "-PT" : "PT") + std::to_string(offset < 0 ? -offset : offset) + "M");
                Prop(out, "DESCRIPTION", EscapeText(memo.empty() ? "Reminder" : NormalizeBreaks(memo, "\n")));
                out += "END:VALARM\r\n";
                done.insert("ALRM");
                done.insert("ALON");
            }
        } else if (kind == kKindAnniversary) {
            const CTimeField* date = TimeAt(set, rec, "ANN1");
            const int flags = date == nullptr ? 0 : (date->Value().flags & (DateTimeValue::kMonth | DateTimeValue::kDay));
            if (flags != (DateTimeValue::kMonth | DateTimeValue::kDay))
                return Refuse(failure, r + 1, "the anniversary needs a month and a day");
            DateTimeValue v = date->Value();
            v.year = kAnniversaryYear;
            Prop(out, "DTSTART;VALUE=DATE", DateText(v));
            Prop(out, "RRULE", "FREQ=YEARLY");
            done.insert("ANN1");
            Summary(out, memo);
            if (Cell(set, rec, "SCRT") == "*")
                Prop(out, "CLASS", "PRIVATE");
        } else if (kind == kKindAnniversaryWeek) {
            const int i = set.FindTag(MakeTag("ANN2"));
            const auto* f = i < 0 ? nullptr : dynamic_cast<const CDayWeekField*>(rec.FieldAt(i));
            if (f == nullptr || !f->IsSet())
                return Refuse(failure, r + 1, "the anniversary needs a month, a week and a day of week");
            const DayWeekValue& w = f->Value();
            const std::optional<DateTimeValue> first = FirstWeekdayDate(w.month, w.week, w.dayOfWeek);
            if (!first)
                return Refuse(failure, r + 1, "the anniversary never falls on a date");
            Prop(out, "DTSTART;VALUE=DATE", DateText(*first));
            Prop(out, "RRULE", "FREQ=YEARLY;BYMONTH=" + std::to_string(w.month) + ";BYDAY=" +
                                   std::to_string(w.week) + kDays[w.dayOfWeek]);
            done.insert("ANN2");
            Summary(out, memo);
            if (Cell(set, rec, "SCRT") == "*")
                Prop(out, "CLASS", "PRIVATE");
        } else { // action list
            const CTimeField* entry = TimeAt(set, rec, "ETDY");
            const bool entryWhole = Flags(entry) == kDate;
            if (entryWhole) {
                Prop(out, "DTSTART;VALUE=DATE", DateText(entry->Value()));
                done.insert("ETDY");
            }
            const CTimeField* due = TimeAt(set, rec, "LTDY");
            if (Flags(due) == kDate &&
                (!entryWhole || ToMinutes(due->Value()) > ToMinutes(entry->Value()))) {
                Prop(out, "DUE;VALUE=DATE", DateText(due->Value()));
                done.insert("LTDY");
            }
            const CTimeField* finished = TimeAt(set, rec, "FNDY");
            if (Flags(finished) == kDate) {
                Prop(out, "COMPLETED", DateText(finished->Value()) + "T000000Z");
                done.insert("FNDY");
            }
            const std::string mark = Cell(set, rec, "MARK");
            if (mark == "01" || mark == "00") {
                Prop(out, "STATUS", mark == "01" ? "COMPLETED" : "NEEDS-ACTION");
                done.insert("MARK");
            }
            const std::string prty = Cell(set, rec, "PRTY");
            if (prty.size() == 2 && prty[0] == '0' && prty[1] >= '0' && prty[1] <= '3') {
                Prop(out, "PRIORITY", std::to_string(1 + 2 * (prty[1] - '0')));
                done.insert("PRTY");
            }
            Summary(out, memo);
            if (Cell(set, rec, "SCRT") == "*")
                Prop(out, "CLASS", "PRIVATE");
        }
        for (int i = 0; i < set.FieldCount(); ++i) {
            const std::string& tag = set.Tags()[static_cast<std::size_t>(i)];
            if (done.count(tag) != 0)
                continue;
            if (const std::string s = CellText(rec, i); !s.empty())
                Prop(out, "X-TESSERA-" + tag, EscapeText(s));
        }
        out += todo ? "END:VTODO\r\n" : "END:VEVENT\r\n";
    }
    out += "END:VCALENDAR\r\n";
    return true;
}

namespace {

struct Component {
    std::string type; // VEVENT or VTODO
    int lineNo = 0;
    std::vector<ContentLine> props;
    std::vector<std::vector<ContentLine>> alarms;
};

struct ParsedTime {
    DateTimeValue value;
    bool dateOnly = false;
};

bool ParseTime(const ContentLine& line, ParsedTime& out, Failure& failure) {
    const std::string& v = line.value;
    auto bad = [&] {
        failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": '" + v + "' is no date or time"};
        return false;
    };
    auto num = [&](std::size_t at, std::size_t n, int& to) {
        to = 0;
        for (std::size_t i = at; i < at + n; ++i) {
            if (i >= v.size() || v[i] < '0' || v[i] > '9')
                return false;
            to = to * 10 + (v[i] - '0');
        }
        return true;
    };
    DateTimeValue t;
    if (!num(0, 4, t.year) || !num(4, 2, t.month) || !num(6, 2, t.day))
        return bad();
    if (v.size() == 8) {
        t.flags = kDate;
        out = {t, true};
        return true;
    }
    int sec = 0;
    if (v.size() < 15 || v[8] != 'T' || !num(9, 2, t.hour) || !num(11, 2, t.minute) || !num(13, 2, sec))
        return bad();
    t.flags = kDateTime;
    if (v.size() == 16 && v[15] == 'Z') {
        // UTC: the device keeps local wall-clock times.
        const year_month_day ymd{year{t.year}, month{static_cast<unsigned>(t.month)}, day{static_cast<unsigned>(t.day)}};
        if (!ymd.ok())
            return bad();
        std::time_t when = static_cast<std::time_t>(sys_days{ymd}.time_since_epoch().count()) * 86400 +
                           t.hour * 3600 + t.minute * 60 + sec;
        std::tm tm{};
        localtime_r(&when, &tm);
        t.year = tm.tm_year + 1900;
        t.month = tm.tm_mon + 1;
        t.day = tm.tm_mday;
        t.hour = tm.tm_hour;
        t.minute = tm.tm_min;
    } else if (v.size() != 15) {
        return bad();
    }
    out = {t, false};
    return true;
}

// "-PT15M", "P1DT2H", "PT0S", "-P1W" -> minutes. Seconds must make whole minutes.
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
        else if (inTime && c == 'S') {
            if (n % 60 != 0)
                return false;
            total += n / 60;
        } else
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

std::string FirstLine(const std::string& text) {
    const std::string flat = NormalizeBreaks(text, "\n");
    return flat.substr(0, flat.find('\n'));
}

bool Meta(const std::string& name) {
    static const std::set<std::string> names = {"UID", "DTSTAMP", "CREATED", "LAST-MODIFIED", "SEQUENCE"};
    return names.count(name) != 0;
}

struct Entry {
    int kind = 0;
    std::map<std::string, std::string> values; // tag -> cell text
};

bool Put(Entry& e, const std::string& tag, const std::string& value, const ContentLine& line, Failure& failure) {
    if (value.empty())
        return true;
    if (!e.values.emplace(tag, value).second) {
        failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": a second value for " + line.name +
                                    " has no place in the record"};
        return false;
    }
    return true;
}

bool Unplaceable(const ContentLine& line, Failure& failure) {
    failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": " + line.name + " has no place in the records"};
    return false;
}

bool ReadComponent(const Component& c, Entry& e, Failure& failure) {
    const ContentLine* start = nullptr;
    const ContentLine* end = nullptr;
    const ContentLine* duration = nullptr;
    const ContentLine* rrule = nullptr;
    std::string summary, description;
    bool haveSummary = false, haveDescription = false;
    for (const ContentLine& p : c.props) {
        const std::string& n = p.name;
        const std::string text = UnescapeText(p.value);
        bool ok = true;
        if (Meta(n)) {
        } else if (n == "DTSTART") {
            start = &p;
        } else if (n == "DTEND" || n == "DUE") {
            if ((n == "DUE") != (c.type == "VTODO"))
                return Unplaceable(p, failure);
            end = &p;
        } else if (n == "DURATION" && c.type == "VEVENT") {
            duration = &p;
        } else if (n == "RRULE" && c.type == "VEVENT") {
            rrule = &p;
        } else if (n == "SUMMARY") {
            summary = text;
            haveSummary = true;
        } else if (n == "DESCRIPTION") {
            description = text;
            haveDescription = true;
        } else if (n == "CLASS") {
            const std::string v = ToUpperAscii(text);
            if (v == "PRIVATE" || v == "CONFIDENTIAL")
                ok = Put(e, "SCRT", "*", p, failure);
            else if (v != "PUBLIC")
                return Unplaceable(p, failure);
        } else if (n == "STATUS" && c.type == "VTODO") {
            const std::string v = ToUpperAscii(text);
            if (v == "COMPLETED")
                ok = Put(e, "MARK", "01", p, failure);
            else if (v == "NEEDS-ACTION")
                ok = Put(e, "MARK", "00", p, failure);
            else
                return Unplaceable(p, failure);
        } else if (n == "PRIORITY" && c.type == "VTODO") {
            int v = -1;
            if (text.size() == 1 && text[0] >= '0' && text[0] <= '9')
                v = text[0] - '0';
            if (v < 0) {
                failure = {kExitBadInput, "line " + std::to_string(p.lineNo) + ": PRIORITY '" + text + "'"};
                return false;
            }
            // 1 urgent, 2-4 A, 5 B, 6-9 C; 0 means none.
            if (v > 0)
                ok = Put(e, "PRTY", v == 1 ? "00" : v <= 4 ? "01" : v == 5 ? "02" : "03", p, failure);
        } else if (n == "COMPLETED" && c.type == "VTODO") {
            if (p.value.size() < 8) {
                failure = {kExitBadInput, "line " + std::to_string(p.lineNo) + ": COMPLETED '" + p.value + "'"};
                return false;
            }
            // The record keeps the day of completion.
            ok = Put(e, "FNDY", p.value.substr(0, 8), p, failure);
        } else if (n.rfind("X-TESSERA-", 0) == 0 && n.size() == 14) {
            ok = Put(e, n.substr(10), text, p, failure);
        } else {
            return Unplaceable(p, failure);
        }
        if (!ok)
            return false;
    }

    // The memo: the summary, with the description's further lines.
    std::string memo = summary;
    if (haveDescription) {
        memo = (!haveSummary || FirstLine(description) == summary) ? description
                                                                     : summary + "\r\n" + description;
    }
    if (!memo.empty() && !Put(e, "MEM1", memo, c.props.front(), failure))
        return false;

    ParsedTime s{};
    if (start != nullptr && !ParseTime(*start, s, failure))
        return false;
    if (c.type == "VTODO") {
        e.kind = kKindActionList;
        if (!c.alarms.empty())
            return Unplaceable(c.alarms.front().front(), failure);
        if (start != nullptr) {
            if (!s.dateOnly)
                return Unplaceable(*start, failure);
            if (!Put(e, "ETDY", TimeCell(s.value), *start, failure))
                return false;
        }
        if (end != nullptr) {
            ParsedTime d{};
            if (!ParseTime(*end, d, failure))
                return false;
            if (!d.dateOnly)
                return Unplaceable(*end, failure);
            if (!Put(e, "LTDY", TimeCell(d.value), *end, failure))
                return false;
        }
        return true;
    }

    if (start == nullptr) {
        failure = {kExitBadInput, "line " + std::to_string(c.lineNo) + ": a VEVENT without DTSTART"};
        return false;
    }
    if (rrule != nullptr) {
        // Anniversaries: a yearly all-day event, by date or by weekday of a week.
        std::map<std::string, std::string> parts;
        for (const std::string& kv : SplitStructured(rrule->value, ';')) {
            const std::size_t eq = kv.find('=');
            parts[ToUpperAscii(kv.substr(0, eq))] = eq == std::string::npos ? "" : ToUpperAscii(kv.substr(eq + 1));
        }
        if (parts["FREQ"] != "YEARLY" || !s.dateOnly || end != nullptr || duration != nullptr || !c.alarms.empty() ||
            parts.size() > (parts.count("BYDAY") ? 3u : parts.count("BYMONTH") ? 2u : 1u))
            return Unplaceable(*rrule, failure);
        if (parts.count("BYDAY") == 0) {
            if (parts.count("BYMONTH") != 0 && parts["BYMONTH"] != std::to_string(s.value.month))
                return Unplaceable(*rrule, failure);
            e.kind = kKindAnniversary;
            char buf[16];
            std::snprintf(buf, sizeof buf, "    %02d%02d", s.value.month, s.value.day);
            return Put(e, "ANN1", buf, *start, failure);
        }
        const std::string byday = parts["BYDAY"];
        int week = 0, dow = -1;
        if (byday.size() == 3 && byday[0] >= '1' && byday[0] <= '5') {
            week = byday[0] - '0';
            for (int d = 0; d < 7; ++d)
                if (byday.substr(1) == kDays[d])
                    dow = d;
        }
        const int m = parts.count("BYMONTH") ? std::atoi(parts["BYMONTH"].c_str()) : s.value.month;
        if (dow < 0 || m < 1 || m > 12)
            return Unplaceable(*rrule, failure);
        e.kind = kKindAnniversaryWeek;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d%d%d", m, week, dow);
        return Put(e, "ANN2", buf, *start, failure);
    }

    e.kind = kKindSchedule;
    if (!Put(e, "TIM1", TimeCell(s.value), *start, failure))
        return false;
    std::optional<DateTimeValue> endValue;
    if (end != nullptr) {
        ParsedTime d{};
        if (!ParseTime(*end, d, failure))
            return false;
        if (d.dateOnly != s.dateOnly)
            return Unplaceable(*end, failure);
        endValue = d.value;
        if (d.dateOnly) // exclusive end -> the last day
            endValue = FromMinutes(ToMinutes(d.value) - 1440, false);
    } else if (duration != nullptr) {
        long long minutes = 0;
        if (!ParseDuration(duration->value, minutes) || minutes < 0)
            return Unplaceable(*duration, failure);
        if (s.dateOnly)
            endValue = FromMinutes(ToMinutes(s.value) + (minutes > 0 ? minutes - 1440 : 0), false);
        else
            endValue = FromMinutes(ToMinutes(s.value) + minutes, true);
    }
    if (endValue && !Put(e, "TIM2", TimeCell(*endValue), end != nullptr ? *end : *duration, failure))
        return false;
    if (c.alarms.size() > 1)
        return Unplaceable(c.alarms[1].front(), failure);
    if (!c.alarms.empty()) {
        const ContentLine* trigger = nullptr;
        for (const ContentLine& p : c.alarms.front()) {
            if (p.name == "TRIGGER")
                trigger = &p;
            else if (p.name != "ACTION" && p.name != "DESCRIPTION" && p.name != "SUMMARY" && !Meta(p.name))
                return Unplaceable(p, failure);
        }
        if (trigger == nullptr) {
            failure = {kExitBadInput, "line " + std::to_string(c.lineNo) + ": a VALARM without TRIGGER"};
            return false;
        }
        DateTimeValue when;
        const auto value = trigger->params.find("VALUE");
        if (value != trigger->params.end() && !value->second.empty() && ToUpperAscii(value->second.front()) == "DATE-TIME") {
            ParsedTime t{};
            if (!ParseTime(*trigger, t, failure))
                return false;
            when = t.value;
        } else {
            long long minutes = 0;
            const auto related = trigger->params.find("RELATED");
            if ((related != trigger->params.end() && !related->second.empty() &&
                 ToUpperAscii(related->second.front()) == "END") ||
                !ParseDuration(trigger->value, minutes))
                return Unplaceable(*trigger, failure);
            when = FromMinutes(ToMinutes(s.value) + minutes, true);
        }
        if (!Put(e, "ALRM", TimeCell(when), *trigger, failure) || !Put(e, "ALON", "*", *trigger, failure))
            return false;
    }
    return true;
}

} // namespace

bool ImportICal(std::string_view in, CRecordSet& set, Failure& failure) {
    std::vector<ContentLine> lines;
    if (!ParseContentLines(in, lines, failure))
        return false;
    std::vector<Component> components;
    std::vector<std::string> stack; // open components
    for (const ContentLine& line : lines) {
        const std::string value = ToUpperAscii(line.value);
        if (line.name == "BEGIN") {
            if (stack.empty() && value != "VCALENDAR") {
                failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": no VCALENDAR"};
                return false;
            }
            if (stack.size() == 1 && (value == "VEVENT" || value == "VTODO")) {
                components.push_back({value, line.lineNo, {}, {}});
            } else if (stack.size() == 2 && value == "VALARM" && !components.empty()) {
                components.back().alarms.emplace_back();
            } else if (stack.size() == 1 && value == "VTIMEZONE") {
                // Time-zone rules: times are read as the wall-clock times they name.
            } else if (stack.size() >= 1 && stack.front() == "VCALENDAR" && stack.size() >= 2 && stack[1] == "VTIMEZONE") {
            } else if (stack.size() >= 1) {
                failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": " + value + " has no place in the records"};
                return false;
            }
            stack.push_back(value);
            continue;
        }
        if (line.name == "END") {
            if (stack.empty() || stack.back() != value) {
                failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": END:" + value + " does not close " +
                                              (stack.empty() ? std::string("anything") : stack.back())};
                return false;
            }
            stack.pop_back();
            continue;
        }
        if (stack.empty()) {
            failure = {kExitBadInput, "line " + std::to_string(line.lineNo) + ": " + line.name + " outside VCALENDAR"};
            return false;
        }
        if (stack.size() == 1) {
            static const std::set<std::string> calendar = {"VERSION", "PRODID", "CALSCALE", "METHOD"};
            if (calendar.count(line.name) == 0 && line.name.rfind("X-", 0) != 0) {
                failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": " + line.name + " has no place in the records"};
                return false;
            }
            if (line.name == "CALSCALE" && value != "GREGORIAN") {
                failure = {kExitImport, "line " + std::to_string(line.lineNo) + ": only the Gregorian calendar is read"};
                return false;
            }
            continue;
        }
        if (stack[1] == "VTIMEZONE")
            continue;
        if (stack.size() == 2)
            components.back().props.push_back(line);
        else
            components.back().alarms.back().push_back(line);
    }
    if (!stack.empty()) {
        failure = {kExitBadInput, stack.back() + " is never closed"};
        return false;
    }
    if (components.empty()) {
        failure = {kExitBadInput, "the calendar holds no event or to-do"};
        return false;
    }

    std::vector<Entry> entries;
    for (const Component& c : components) {
        Entry e;
        if (c.props.empty()) {
            failure = {kExitBadInput, "line " + std::to_string(c.lineNo) + ": an empty " + c.type};
            return false;
        }
        if (!ReadComponent(c, e, failure))
            return false;
        if (!entries.empty() && entries.front().kind != e.kind) {
            failure = {kExitImport, "line " + std::to_string(c.lineNo) +
                                        ": events of different kinds cannot share one document"};
            return false;
        }
        entries.push_back(std::move(e));
    }
    set.SetKind(entries.front().kind);
    RecordList records;
    int number = 0;
    for (const Entry& e : entries) {
        ++number;
        std::unique_ptr<CDataRecord> record = set.NewRecord();
        if (!record) {
            failure = {kExitImport, "out of memory"};
            return false;
        }
        for (const auto& [tag, value] : e.values) {
            const int i = set.FindTag(MakeTag(tag));
            if (i < 0 || tag.size() != 4) {
                failure = {kExitImport, "entry " + std::to_string(number) + ": the records have no field " + tag};
                return false;
            }
            if (!ParseCellText(*record, i, value, number, tag, failure))
                return false;
        }
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
