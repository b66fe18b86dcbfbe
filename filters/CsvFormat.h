#pragma once
// Records <-> CSV: UTF-8 with a byte order mark, a header row of column titles, RFC 4180
// quoting, CR LF between rows, line breaks inside values kept. Every record kind. Dates,
// done marks and priorities are written as people read them (2001/05/28, 済, Ｂ) and a cell
// a spreadsheet would evaluate gets a leading '. Import also takes the device's codes, the
// numbers a spreadsheet saves instead, and Shift_JIS files.

#include "filters/FilterKit.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessera::filters {

// One CSV row from `text` at `pos` (moved past the row and its line end). False with 11
// for a quote that is never closed or text after a closing quote.
bool ReadCsvRow(std::string_view text, std::size_t& pos, std::vector<std::string>& cells,
                Failure& failure);
std::string CsvQuote(std::string_view cell);

bool ExportCsv(const CRecordSet& set, std::string& out, Failure& failure);
// The header names the columns by title or by tag, in any order and any subset of one
// kind's columns; an unknown or repeated column is refused (and named), so no value is left
// behind. Rows of bare commas are skipped; an empty done mark is "not done", an empty or
// missing priority Ｂ (with a note).
bool ImportCsv(std::string_view in, CRecordSet& set, Failure& failure);

FormatOps CsvOps();

} // namespace tessera::filters
