#pragma once
// Schedule, anniversaries and the action list <-> iCalendar (RFC 5545): schedule entries
// as VEVENTs with an optional VALARM, anniversaries as yearly VEVENTs (by month and day, or
// by weekday of a week such as 3SA), the action list as VTODOs. Fields iCalendar has no
// property for travel as X-TESSERA-<tag>, so a round trip keeps every value.

#include <string>
#include <string_view>

#include "filters/FilterKit.h"

namespace tessera::filters {

// DTSTAMP is the current time, or SOURCE_DATE_EPOCH when set (reproducible output).
bool ExportICal(const CRecordSet& set, std::string& out, Failure& failure);
// Components of different kinds in one file, a recurrence other than a yearly date, or a
// property the records have no place for are refused with 19.
bool ImportICal(std::string_view in, CRecordSet& set, Failure& failure);

FormatOps ICalOps();

} // namespace tessera::filters
