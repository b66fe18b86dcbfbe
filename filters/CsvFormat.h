#pragma once
// Records <-> CSV: UTF-8, a header row of column titles, RFC 4180 quoting, CR LF between
// rows, line breaks inside values kept. Every record kind.

#include <string>
#include <string_view>
#include <vector>

#include "filters/FilterKit.h"

namespace tessera::filters {

// One CSV row from `text` at `pos` (moved past the row and its line end). False with 11
// for a quote that is never closed or text after a closing quote.
bool ReadCsvRow(std::string_view text, std::size_t& pos, std::vector<std::string>& cells,
                Failure& failure);
std::string CsvQuote(std::string_view cell);

bool ExportCsv(const CRecordSet& set, std::string& out, Failure& failure);
// The header names the columns by title or by tag, in any order and any subset of one
// kind's columns; an unknown or repeated column is refused, so no value is left behind.
bool ImportCsv(std::string_view in, CRecordSet& set, Failure& failure);

FormatOps CsvOps();

} // namespace tessera::filters
