#include "filters/CsvFormat.h"

#include "model/RecordKind.h"

#include <cstdio>

namespace tessera::filters {

std::string CsvQuote(std::string_view cell) {
    const bool quote = cell.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!cell.empty() && (cell.front() == ' ' || cell.back() == ' '));
    if (!quote)
        return std::string(cell);
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

bool ReadCsvRow(std::string_view text, std::size_t& pos, std::vector<std::string>& cells,
                Failure& failure) {
    cells.clear();
    std::string cell;
    for (;;) {
        if (pos < text.size() && text[pos] == '"') {
            ++pos;
            for (;;) {
                if (pos >= text.size()) {
                    failure = {kExitBadInput, "a quoted value is never closed"};
                    return false;
                }
                if (text[pos] == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        cell += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                cell += text[pos++];
            }
            if (pos < text.size() && text[pos] != ',' && text[pos] != '\r' && text[pos] != '\n') {
                failure = {kExitBadInput, "text after a closing quote"};
                return false;
            }
        } else {
            while (pos < text.size() && text[pos] != ',' && text[pos] != '\r' &&
                   text[pos] != '\n') {
                if (text[pos] == '"') {
                    failure = {kExitBadInput, "a quote inside an unquoted value"};
                    return false;
                }
                cell += text[pos++];
            }
        }
        cells.push_back(std::move(cell));
        cell.clear();
        if (pos >= text.size())
            return true;
        if (text[pos] == ',') {
            ++pos;
            continue;
        }
        if (text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
        return true;
    }
}

namespace {

std::string ToUpperAsciiCell(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

const char* const kDayNames[] = {"日", "月", "火", "水", "木", "金", "土"};
const char* const kPriorities[] = {"緊急", "Ａ", "Ｂ", "Ｃ"};
const char* const kDone = "済";
constexpr int kDefaultPriority = 2; // Ｂ

// A cell a spreadsheet would evaluate as a formula (or one that starts with the mark that
// protects such a cell, so that the mark itself survives).
bool NeedsProtection(std::string_view cell) {
    if (cell.empty())
        return false;
    const char c = cell.front();
    if (c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r' || c == '\n')
        return true;
    return c == '\'' && NeedsProtection(cell.substr(1));
}

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// Dates as people write them: 2001/05/28, 2001/05/28 10:00, 04/12 without a year. A value
// with only some of its time (the device allows an hour without minutes) keeps its code.
std::string HumanTime(const CDataRecord& record, int index) {
    const auto* field = static_cast<const CTimeField*>(record.FieldAt(index));
    if (!field->IsSet())
        return {};
    const DateTimeValue& v = field->Value();
    const bool year = (v.flags & DateTimeValue::kYear) != 0;
    const bool hour = (v.flags & DateTimeValue::kHour) != 0,
               minute = (v.flags & DateTimeValue::kMinute) != 0;
    if ((v.flags & DateTimeValue::kMonth) == 0 || (v.flags & DateTimeValue::kDay) == 0)
        return CellText(record, index);
    std::string out;
    if (year) {
        out += std::to_string(v.year);
        out += '/';
    }
    out += TwoDigits(v.month);
    out += '/';
    out += TwoDigits(v.day);
    if (hour || minute) {
        // The device allows an hour without minutes (and the other way round): the
        // missing part stays empty, "10:".
        out += ' ';
        if (hour)
            out += TwoDigits(v.hour);
        out += ':';
        if (minute)
            out += TwoDigits(v.minute);
    }
    return out;
}

std::string CsvCell(const CDataRecord& record, int index) {
    const CField* field = record.FieldAt(index);
    if (field == nullptr)
        return {};
    std::string cell;
    switch (field->Class()) {
    case FieldClass::Time:
        cell = HumanTime(record, index);
        break;
    case FieldClass::DayWeek: {
        const auto* f = static_cast<const CDayWeekField*>(field);
        if (f->IsSet()) {
            const DayWeekValue& v = f->Value();
            cell = std::to_string(v.month) + "月 第" + std::to_string(v.week) + " " +
                   kDayNames[v.dayOfWeek % 7] + "曜日";
        }
        break;
    }
    case FieldClass::Ascii: {
        const auto* f = static_cast<const CAsciiField*>(field);
        if (f->MaxValue() == 1)
            cell = f->Value() == 1 ? kDone : "";
        else if (f->Value() >= 0 && f->Value() <= 3)
            cell = kPriorities[f->Value()];
        break;
    }
    default:
        cell = NormalizeBreaks(CellText(record, index), "\r\n");
        break;
    }
    if (NeedsProtection(cell))
        cell.insert(cell.begin(), '\'');
    return cell;
}

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::vector<std::string> SplitAny(std::string_view s, std::string_view seps) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (seps.find(c) != std::string_view::npos) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

// A date cell in any of the forms this filter, a spreadsheet or the device write, as the
// 14-byte exchange text. False when it is none of them.
bool TimeExchange(std::string cell, std::string& out) {
    while (!cell.empty() && cell.back() == ' ')
        cell.pop_back();
    std::size_t lead = 0;
    while (lead < cell.size() && cell[lead] == ' ')
        ++lead;
    if (lead > 0 || cell.find_first_not_of("0123456789 ") == std::string::npos) {
        // The device's own code (old files): "20010528", "    0412", "200105281000".
        std::string digits = cell.substr(lead);
        if (lead == 0 && (digits.size() == 3 || digits.size() == 4)) // 0412 read as a number
            digits = std::string(4 - digits.size(), '0') + digits, lead = 4;
        if (lead + digits.size() > 14)
            return false;
        out = std::string(lead, ' ') + digits;
        out.append(14 - out.size(), ' ');
        return true;
    }
    std::string date = cell, time;
    if (const std::size_t sp = cell.find(' '); sp != std::string::npos) {
        date = cell.substr(0, sp);
        time = cell.substr(cell.find_first_not_of(' ', sp));
    }
    const std::vector<std::string> d = SplitAny(date, "/-.");
    int year = 0, month = 0, day = 0;
    for (const std::string& part : d)
        if (!AllDigits(part) || part.size() > 4)
            return false;
    if (d.size() == 3 && d[0].size() == 4) {
        year = std::stoi(d[0]), month = std::stoi(d[1]), day = std::stoi(d[2]);
    } else if (d.size() == 2) {
        month = std::stoi(d[0]), day = std::stoi(d[1]);
    } else {
        return false;
    }
    out = (year == 0 ? std::string("    ") : std::to_string(year)) + TwoDigits(month) +
          TwoDigits(day);
    if (year != 0 && out.size() != 8)
        return false;
    if (!time.empty()) {
        const std::vector<std::string> t = SplitAny(time, ":");
        if (t.size() < 2 || t.size() > 3 || t[0].size() > 2 || t[1].size() > 2 ||
            (t[0].empty() && t[1].empty()))
            return false;
        for (int k = 0; k < 2; ++k) {
            if (t[static_cast<std::size_t>(k)].empty())
                out += "  ";
            else if (AllDigits(t[static_cast<std::size_t>(k)]))
                out += TwoDigits(std::stoi(t[static_cast<std::size_t>(k)]));
            else
                return false;
        }
    }
    out.append(14 - out.size(), ' ');
    return true;
}

// "3月 第3 土曜日" (or the device's "    0326", or 326 from a spreadsheet) as "    0326".
bool DayWeekExchange(const std::string& cell, std::string& out) {
    std::string digits;
    for (char c : cell)
        if (c != ' ')
            digits += c;
    if (AllDigits(digits) && digits.size() >= 3 && digits.size() <= 4) {
        out = "    " + std::string(4 - digits.size(), '0') + digits;
        return true;
    }
    const std::size_t m = cell.find("月"), w = cell.find("第");
    if (m == std::string::npos || w == std::string::npos || w < m)
        return false;
    const std::string month = cell.substr(0, m);
    std::size_t wEnd = w + std::string("第").size();
    std::string week;
    while (wEnd < cell.size() && cell[wEnd] >= '0' && cell[wEnd] <= '9')
        week += cell[wEnd++];
    std::string rest = cell.substr(wEnd);
    while (!rest.empty() && rest.front() == ' ')
        rest.erase(0, 1);
    int dow = -1;
    for (int i = 0; i < 7; ++i)
        if (rest.rfind(kDayNames[i], 0) == 0)
            dow = i;
    std::string mm = month;
    while (!mm.empty() && mm.front() == ' ')
        mm.erase(0, 1);
    if (!AllDigits(mm) || mm.size() > 2 || week.size() != 1 || dow < 0)
        return false;
    out = "    " + TwoDigits(std::stoi(mm)) + week + std::to_string(dow);
    return true;
}

bool BadCell(Failure& failure, int recordNo, const std::string& tag, const std::string& cell,
             const char* hint) {
    failure = {kExitBadInput, "row " + std::to_string(recordNo) + ", " + tag + ": '" + cell +
                                  "' is not valid (" + hint + ")"};
    return false;
}

bool ParseCsvCell(CDataRecord& record, int index, std::string cell, int recordNo,
                  const std::string& tag, Failure& failure) {
    if (!cell.empty() && cell.front() == '\'' && NeedsProtection(std::string_view(cell).substr(1)))
        cell.erase(0, 1);
    CField* field = record.FieldAt(index);
    if (field == nullptr)
        return ParseCellText(record, index, cell, recordNo, tag, failure);
    switch (field->Class()) {
    case FieldClass::Time: {
        if (cell.empty())
            return true;
        std::string exchange;
        if (!TimeExchange(cell, exchange))
            return BadCell(failure, recordNo, tag, cell,
                           "write a date as 2001/05/28, 2001/05/28 10:00 or 04/12");
        return ParseExchangeUtf8(record, index, exchange, recordNo, tag, failure);
    }
    case FieldClass::DayWeek: {
        if (cell.empty())
            return true;
        std::string exchange;
        if (!DayWeekExchange(cell, exchange))
            return BadCell(failure, recordNo, tag, cell, "write it as 3月 第3 土曜日");
        return ParseExchangeUtf8(record, index, exchange, recordNo, tag, failure);
    }
    case FieldClass::Ascii: {
        const bool mark = static_cast<CAsciiField*>(field)->MaxValue() == 1;
        int value = -1;
        std::string t = cell;
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        if (t.empty()) {
            // An empty done mark is simply not done; an empty priority gets the middle one.
            value = mark ? 0 : kDefaultPriority;
            if (!mark)
                RunNotes().Record(recordNo, NoteText(kNoteDefaultPriority));
        } else if (AllDigits(t) && t.size() <= 2 && std::stoi(t) <= (mark ? 1 : 3)) {
            value = std::stoi(t); // the device's "01", or 1 from a spreadsheet
        } else if (mark && t == kDone) {
            value = 1;
        } else if (!mark) {
            static const char* const ascii[] = {"", "A", "B", "C"};
            for (int i = 0; i < 4; ++i)
                if (t == kPriorities[i] || (i > 0 && ToUpperAsciiCell(t) == ascii[i]))
                    value = i;
        }
        if (value < 0)
            return BadCell(failure, recordNo, tag, cell,
                           mark ? "済 or empty" : "緊急, Ａ, Ｂ or Ｃ");
        const char exchange[3] = {'0', static_cast<char>('0' + value), '\0'};
        return ParseExchangeUtf8(record, index, exchange, recordNo, tag, failure);
    }
    default:
        return ParseCellText(record, index, cell, recordNo, tag, failure);
    }
}

} // namespace

bool ExportCsv(const CRecordSet& set, std::string& out, Failure&) {
    // The byte order mark is how a spreadsheet tells UTF-8 from the local code page.
    out = "\xEF\xBB\xBF";
    const int n = set.FieldCount();
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            out += ',';
        out += CsvQuote(ToUtf8(set.Titles()[static_cast<std::size_t>(i)]));
    }
    out += "\r\n";
    for (int r = 0; r < set.RecordCount(); ++r) {
        const CDataRecord* record = set.RecordAt(r);
        std::string row;
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                row += ',';
            row += CsvQuote(CsvCell(*record, i));
        }
        if (row.find_first_not_of(',') == std::string::npos)
            row.insert(0, "\"\""); // not a row of bare commas, which the import skips
        out += row;
        out += "\r\n";
    }
    return true;
}

namespace {

// The column of `name` (a title or a tag) in `tags`/`titles`, -1 when none.
int ColumnOf(const std::string& name, const std::vector<std::string>& tags,
             const std::vector<std::string>& titles) {
    for (std::size_t i = 0; i < tags.size(); ++i)
        if (ToUtf8(titles[i]) == name || tags[i] == name)
            return static_cast<int>(i);
    return -1;
}

std::string Trimmed(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The header row of column titles (or tags), trimmed, without a spreadsheet's trailing
// empty columns.
bool ReadHeader(std::string_view in, std::size_t& pos, std::vector<std::string>& header,
                Failure& failure) {
    if (in.empty() || !ReadCsvRow(in, pos, header, failure)) {
        if (in.empty())
            failure = {kExitBadInput, "the file is empty: a header row of column titles is needed"};
        return false;
    }
    for (std::string& h : header)
        h = Trimmed(h);
    while (header.size() > 1 && header.back().empty())
        header.pop_back(); // a spreadsheet's trailing empty columns
    return true;
}

// Why no kind has the header's columns: the first column no kind knows, or a mix.
std::string NoKindFor(const std::vector<std::string>& header) {
    for (const std::string& name : header) {
        bool known = false;
        for (int k = kFirstKind; k <= kLastKind && !known; ++k) {
            std::vector<std::string> tags, titles;
            KindLayout(k, tags, titles);
            known = ColumnOf(name, tags, titles) >= 0;
        }
        if (!known)
            return "the column '" + name +
                   "' is no field of any record kind: rename it to a column title (such as 個人名) "
                   "or remove it";
    }
    return "the header row mixes columns of different record kinds";
}

// The first kind (in kind order) that has every column, and the field of each column; a
// kind with exactly these columns wins, so a whole phone book never reads as business cards.
bool KindOfColumns(const std::vector<std::string>& header, int& kind, std::vector<int>& columns,
                   Failure& failure) {
    kind = 0;
    for (int k = kFirstKind; k <= kLastKind; ++k) {
        std::vector<std::string> tags, titles;
        KindLayout(k, tags, titles);
        std::vector<int> found;
        for (const std::string& name : header) {
            const int c = ColumnOf(name, tags, titles);
            if (c < 0)
                break;
            for (int prev : found)
                if (prev == c) {
                    failure = {kExitBadInput,
                               "the column '" + name + "' is given twice: remove one of them"};
                    return false;
                }
            found.push_back(c);
        }
        if (found.size() != header.size())
            continue;
        if (kind == 0 || found.size() == tags.size()) {
            kind = k;
            columns = found;
        }
        if (found.size() == tags.size())
            break;
    }
    if (kind == 0) {
        failure = {kExitBadInput, NoKindFor(header)};
        return false;
    }
    return true;
}

// One row's cells into a new record of `set`; the fields no column gives get what an empty
// cell would.
std::unique_ptr<CDataRecord> RowRecord(const std::vector<std::string>& cells,
                                       const std::vector<int>& columns, int recordNo,
                                       CRecordSet& set, Failure& failure) {
    std::unique_ptr<CDataRecord> record = set.NewRecord();
    if (!record) {
        failure = {kExitImport, "out of memory"};
        return nullptr;
    }
    std::vector<bool> given(static_cast<std::size_t>(set.FieldCount()), false);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int c = columns[i];
        given[static_cast<std::size_t>(c)] = true;
        if (!ParseCsvCell(*record, c, cells[i], recordNo, set.Tags()[static_cast<std::size_t>(c)],
                          failure))
            return nullptr;
    }
    // A done mark or priority the file leaves out gets the same default as an empty cell.
    for (int c = 0; c < set.FieldCount(); ++c)
        if (!given[static_cast<std::size_t>(c)] && record->FieldAt(c) != nullptr &&
            record->FieldAt(c)->Class() == FieldClass::Ascii &&
            !ParseCsvCell(*record, c, "", recordNo, set.Tags()[static_cast<std::size_t>(c)],
                          failure))
            return nullptr;
    return record;
}

// The rows after the header, each a record of `set`.
bool ReadRows(std::string_view in, std::size_t pos, std::size_t width,
              const std::vector<int>& columns, CRecordSet& set, Failure& failure) {
    std::vector<std::string> cells;
    RecordList records;
    int recordNo = 0;
    while (pos < in.size()) {
        const std::size_t rowStart = pos;
        if (!ReadCsvRow(in, pos, cells, failure)) {
            failure.message = "row " + std::to_string(recordNo + 1) + ": " + failure.message;
            return false;
        }
        // A blank line or a row of bare commas is padding; a record whose values are all
        // empty is written with a quoted empty cell and is kept.
        if (in.substr(rowStart, pos - rowStart).find_first_not_of(",\r\n") ==
            std::string_view::npos)
            continue;
        ++recordNo;
        for (std::size_t i = width; i < cells.size(); ++i)
            if (!cells[i].empty()) {
                failure = {kExitBadInput, "row " + std::to_string(recordNo) + " has " +
                                              std::to_string(cells.size()) +
                                              " values, the header " + std::to_string(width) +
                                              " (a comma in a value needs quotes)"};
                return false;
            }
        cells.resize(width); // a spreadsheet drops empty cells at a row's end
        std::unique_ptr<CDataRecord> record = RowRecord(cells, columns, recordNo, set, failure);
        if (!record)
            return false;
        records.push_back(std::move(record));
    }
    if (!records.empty())
        set.InsertRecords(-1, std::move(records));
    return true;
}

} // namespace

bool ImportCsv(std::string_view in, CRecordSet& set, Failure& failure) {
    if (in.substr(0, 3) == "\xEF\xBB\xBF")
        in.remove_prefix(3);
    // What a Japanese spreadsheet saves as "CSV" is code page 932.
    std::string converted;
    if (!IsUtf8(in)) {
        converted = ToUtf8(in);
        in = converted;
        RunNotes().General(NoteText(kNoteCp932File));
    }
    std::size_t pos = 0;
    std::vector<std::string> header;
    if (!ReadHeader(in, pos, header, failure))
        return false;
    int kind = 0;
    std::vector<int> columns;
    if (!KindOfColumns(header, kind, columns, failure))
        return false;
    set.SetKind(kind);
    return ReadRows(in, pos, header.size(), columns, set, failure);
}

FormatOps CsvOps() {
    FormatOps ops;
    ops.name = "tsr-csv";
    ops.handlesKind = [](int kind) { return IsValidKind(kind); };
    ops.exportSet = ExportCsv;
    ops.importSet = ImportCsv;
    ops.decodesBytes = true;
    return ops;
}

} // namespace tessera::filters
