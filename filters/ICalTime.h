#pragma once
// Time zones for the iCalendar filter: the PC's own zone (TZ or the system's), the zones a
// calendar defines in its VTIMEZONE components, and IANA zone names through the system's
// zoneinfo. The device keeps local wall-clock times, so every time read from a file ends
// up in the PC's zone.

#include "filters/ContentLines.h"

#include <map>
#include <string>
#include <vector>

namespace tessera::filters::ical {

struct Civil {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// A civil time taken as UTC <-> seconds since the epoch (any day number is normalised).
long long ToEpoch(const Civil& c);
Civil FromEpoch(long long seconds);
int DaysInMonth(int year, int month);

// The PC's zone: a UTC instant as local wall-clock time, and back (a local time that does
// not exist, skipped by a clock change, moves forward as the C library moves it).
Civil UtcToLocal(long long utc);
long long LocalToUtc(const Civil& local);

// One VTIMEZONE: its STANDARD and DAYLIGHT observances with their yearly rules.
class ZoneRules {
public:
    // The lines of one STANDARD or DAYLIGHT part; one without a start or offsets is passed over.
    void AddObservance(const std::vector<ContentLine>& lines);
    bool Usable() const { return !m_observances.empty(); }
    // The UTC instant of a wall-clock time of this zone.
    long long ToUtc(const Civil& wall) const;

private:
    struct Observance {
        Civil start;          // wall-clock time in the offset before the onset
        int from = 0, to = 0; // TZOFFSETFROM / TZOFFSETTO, seconds east of UTC
        bool yearly = false;
        int month = 0;            // BYMONTH, 0 = the start's month
        int week = 0;             // BYDAY ordinal (-1 = last), 0 = none
        int weekday = -1;         // 0 = Sunday
        int monthDay = 0;         // BYMONTHDAY, 0 = none
        long long until = 0;      // UTC, 0 = none
        std::vector<Civil> dates; // RDATEs
    };
    int OffsetAt(long long utc) const;
    std::vector<Observance> m_observances;
};

// Finds the UTC instant of a wall-clock time in the zone `tzid`: the file's own VTIMEZONE
// first, then the system's zoneinfo for an IANA name (a "/vendor/…/Area/City" prefix is
// passed over). False when the zone is unknown.
bool ZoneToUtc(const std::map<std::string, ZoneRules>& zones, const std::string& tzid,
               const Civil& wall, long long& utc);

} // namespace tessera::filters::ical
