#pragma once
// Schedule, anniversaries and the action list <-> iCalendar (RFC 5545): schedule entries
// as VEVENTs with an optional VALARM, anniversaries as yearly VEVENTs (by month and day, or
// by weekday of a week such as 3SA), the action list as VTODOs, and a record with no date
// to place it by as a VJOURNAL. A value the standard properties cannot say exactly (a day
// the month lacks, a missing year or minute, an end before the start) goes out as the
// nearest real one and travels as X-TESSERA-<tag> too, so a round trip keeps every value.

#include "filters/FilterKit.h"

#include <string>
#include <string_view>

namespace tessera::filters {

// DTSTAMP is the current time, or SOURCE_DATE_EPOCH when set (reproducible output). Every
// record goes out; what had to change is noted in RunNotes().
bool ExportICal(const CRecordSet& set, std::string& out, Failure& failure);
// Reads the components of the kind most of them have (the others are left out with a
// note); UTC and zoned times become the PC's local time; what a record has no field for
// is kept in its memo as "NAME: value" lines or left out with a note.
bool ImportICal(std::string_view in, CRecordSet& set, Failure& failure);

FormatOps ICalOps();

} // namespace tessera::filters
