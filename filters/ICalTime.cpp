#include "filters/ICalTime.h"

#include "model/Calendar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

namespace tessera::filters::ical {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (month and day may overflow).
long long DaysFromCivil(long long y, long long m, long long d) {
    y += (m - 1) / 12;
    m = (m - 1) % 12 + 1;
    if (m <= 0) {
        m += 12;
        --y;
    }
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int Weekday(int y, int m, int d) { // 0 = Sunday
    const long long days = DaysFromCivil(y, m, d);
    return static_cast<int>(((days % 7) + 11) % 7);
}

bool Digits(const std::string& s, std::size_t at, std::size_t n, int& to) {
    to = 0;
    if (at + n > s.size())
        return false;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        to = to * 10 + (s[i] - '0');
    }
    return true;
}

std::optional<Civil> ParseStamp(const std::string& v) {
    Civil c;
    if (!Digits(v, 0, 4, c.year) || !Digits(v, 4, 2, c.month) || !Digits(v, 6, 2, c.day))
        return std::nullopt;
    if (v.size() >= 15 && v[8] == 'T' &&
        !(Digits(v, 9, 2, c.hour) && Digits(v, 11, 2, c.minute) && Digits(v, 13, 2, c.second)))
        return std::nullopt;
    return c;
}

// "+0900", "-0500", "+053000" -> seconds east of UTC.
std::optional<int> ParseOffset(const std::string& v) {
    if (v.size() < 5 || (v[0] != '+' && v[0] != '-'))
        return std::nullopt;
    int h = 0, m = 0, s = 0;
    if (!Digits(v, 1, 2, h) || !Digits(v, 3, 2, m) || (v.size() >= 7 && !Digits(v, 5, 2, s)))
        return std::nullopt;
    const int total = h * 3600 + m * 60 + s;
    return v[0] == '-' ? -total : total;
}

// The n-th (or, negative, n-th last) `weekday` of a month: the day of the month, 0 if none.
int NthWeekday(int y, int m, int n, int weekday) {
    if (n > 0) {
        const int first = Weekday(y, m, 1);
        const int day = 1 + (weekday - first + 7) % 7 + (n - 1) * 7;
        return day <= DaysInMonth(y, m) ? day : 0;
    }
    const int last = DaysInMonth(y, m);
    const int day = last - (Weekday(y, m, last) - weekday + 7) % 7 + (n + 1) * 7;
    return day >= 1 ? day : 0;
}

const char* const kDayNames[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

bool IsTzif(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    char magic[4] = {};
    const bool ok = std::fread(magic, 1, 4, f) == 4 && std::memcmp(magic, "TZif", 4) == 0;
    std::fclose(f);
    return ok;
}

// The name of a zone the system's zoneinfo holds, or empty.
std::string SystemZoneName(const std::string& tzid) {
    const char* dir = std::getenv("TZDIR");
    const std::string base = dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo";
    std::size_t from = 0;
    while (from < tzid.size()) {
        const std::string name = tzid.substr(from);
        // Letters, digits and "/_-+" only: no "..", so the name stays inside the folder.
        bool plain = !name.empty() && name[0] != '/';
        for (std::size_t i = 0; i < name.size() && plain; ++i) {
            const char c = name[i];
            plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '/' || c == '_' || c == '-' || c == '+';
        }
        if (plain && IsTzif(base + "/" + name))
            return name;
        const std::size_t slash = tzid.find('/', from);
        if (slash == std::string::npos)
            break;
        from = slash + 1;
    }
    return {};
}

// Runs `f` with the process's zone switched to `name`, then puts the PC's zone back.
template <typename F> auto InZone(const char* name, F f) {
    const char* old = std::getenv("TZ");
    const std::optional<std::string> saved =
        old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    if (name != nullptr)
        setenv("TZ", name, 1);
    tzset();
    auto result = f();
    if (saved)
        setenv("TZ", saved->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    return result;
}

long long MakeLocal(const Civil& c) {
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    tm.tm_isdst = -1;
    return static_cast<long long>(std::mktime(&tm));
}

} // namespace

int DaysInMonth(int year, int month) {
    return tessera::DaysInMonth(year, month);
}

long long ToEpoch(const Civil& c) {
    return DaysFromCivil(c.year, c.month, c.day) * 86400 + c.hour * 3600LL + c.minute * 60LL +
           c.second;
}

Civil FromEpoch(long long seconds) {
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Inverse of DaysFromCivil.
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    Civil c;
    c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2));
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest % 3600 / 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

Civil UtcToLocal(long long utc) {
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

long long LocalToUtc(const Civil& local) {
    return MakeLocal(local);
}

void ZoneRules::AddObservance(const std::vector<ContentLine>& lines) {
    Observance o;
    bool haveStart = false, haveFrom = false, haveTo = false;
    for (const ContentLine& l : lines) {
        if (l.name == "DTSTART") {
            if (auto c = ParseStamp(l.value)) {
                o.start = *c;
                haveStart = true;
            }
        } else if (l.name == "TZOFFSETFROM" || l.name == "TZOFFSETTO") {
            if (auto off = ParseOffset(l.value)) {
                (l.name == "TZOFFSETFROM" ? o.from : o.to) = *off;
                (l.name == "TZOFFSETFROM" ? haveFrom : haveTo) = true;
            }
        } else if (l.name == "RDATE") {
            for (const std::string& v : SplitStructured(l.value, ','))
                if (auto c = ParseStamp(v))
                    o.dates.push_back(*c);
        } else if (l.name == "RRULE") {
            bool yearly = false;
            for (const std::string& part : SplitStructured(l.value, ';')) {
                const std::size_t eq = part.find('=');
                const std::string key = ToUpperAscii(part.substr(0, eq));
                const std::string val =
                    eq == std::string::npos ? "" : ToUpperAscii(part.substr(eq + 1));
                if (key == "FREQ")
                    yearly = val == "YEARLY";
                else if (key == "BYMONTH")
                    o.month = std::atoi(val.c_str());
                else if (key == "BYMONTHDAY")
                    o.monthDay = std::atoi(val.c_str());
                else if (key == "UNTIL") {
                    if (auto c = ParseStamp(val))
                        o.until = ToEpoch(*c);
                } else if (key == "BYDAY" && val.size() >= 2) {
                    const std::string name = val.substr(val.size() - 2);
                    for (int d = 0; d < 7; ++d)
                        if (name == kDayNames[d])
                            o.weekday = d;
                    const std::string n = val.substr(0, val.size() - 2);
                    o.week = n.empty() ? 1 : std::atoi(n.c_str());
                }
            }
            o.yearly = yearly;
        }
    }
    if (haveStart && haveFrom && haveTo)
        m_observances.push_back(o);
}

int ZoneRules::OffsetAt(long long utc) const {
    const Civil at = FromEpoch(utc);
    long long best = 0;
    const Observance* current = nullptr;
    auto consider = [&](const Observance& o, const Civil& wall) {
        const long long onset = ToEpoch(wall) - o.from;
        if (onset <= utc && (current == nullptr || onset > best)) {
            best = onset;
            current = &o;
        }
    };
    for (const Observance& o : m_observances) {
        consider(o, o.start);
        for (const Civil& d : o.dates)
            consider(o, d);
        if (!o.yearly)
            continue;
        for (int y = at.year - 1; y <= at.year; ++y) {
            if (y < o.start.year)
                continue;
            Civil c = o.start;
            c.year = y;
            c.month = o.month != 0 ? o.month : o.start.month;
            if (o.weekday >= 0)
                c.day = NthWeekday(y, c.month, o.week, o.weekday);
            else if (o.monthDay != 0)
                c.day = o.monthDay;
            if (c.day <= 0 || (o.until != 0 && ToEpoch(c) - o.from > o.until))
                continue;
            consider(o, c);
        }
    }
    if (current != nullptr)
        return current->to;
    // Before every onset: the offset the earliest observance changes from.
    const Observance* first = &m_observances.front();
    for (const Observance& o : m_observances)
        if (ToEpoch(o.start) < ToEpoch(first->start))
            first = &o;
    return first->from;
}

long long ZoneRules::ToUtc(const Civil& wall) const {
    const long long local = ToEpoch(wall);
    long long utc = local - m_observances.front().to;
    for (int i = 0; i < 3; ++i)
        utc = local - OffsetAt(utc);
    return utc;
}

bool ZoneToUtc(const std::map<std::string, ZoneRules>& zones, const std::string& tzid,
               const Civil& wall, long long& utc) {
    if (const auto it = zones.find(tzid); it != zones.end() && it->second.Usable()) {
        utc = it->second.ToUtc(wall);
        return true;
    }
    const std::string name = SystemZoneName(tzid);
    if (name.empty())
        return false;
    utc = InZone(name.c_str(), [&] { return MakeLocal(wall); });
    return true;
}

} // namespace tessera::filters::ical
