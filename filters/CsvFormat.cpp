#include "filters/CsvFormat.h"

#include "model/RecordKind.h"

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
            while (pos < text.size() && text[pos] != ',' && text[pos] != '\r' && text[pos] != '\n') {
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

bool ExportCsv(const CRecordSet& set, std::string& out, Failure&) {
    out.clear();
    const int n = set.FieldCount();
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            out += ',';
        out += CsvQuote(ToUtf8(set.Titles()[static_cast<std::size_t>(i)]));
    }
    out += "\r\n";
    for (int r = 0; r < set.RecordCount(); ++r) {
        const CDataRecord* record = set.RecordAt(r);
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                out += ',';
            out += CsvQuote(NormalizeBreaks(CellText(*record, i), "\r\n"));
        }
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

} // namespace

bool ImportCsv(std::string_view in, CRecordSet& set, Failure& failure) {
    if (in.substr(0, 3) == "\xEF\xBB\xBF")
        in.remove_prefix(3);
    std::size_t pos = 0;
    std::vector<std::string> header;
    if (in.empty() || !ReadCsvRow(in, pos, header, failure)) {
        if (in.empty())
            failure = {kExitBadInput, "the file is empty: a header row is needed"};
        return false;
    }

    // The first kind (in kind order) that has every column; a kind with exactly these
    // columns wins, so a whole phone book never reads as business cards.
    int kind = 0;
    std::vector<int> columns;
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
                    failure = {kExitBadInput, "the column '" + name + "' is given twice"};
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
        failure = {kExitBadInput, "the header row names columns of no record kind"};
        return false;
    }
    set.SetKind(kind);

    std::vector<std::string> cells;
    RecordList records;
    int recordNo = 0;
    while (pos < in.size()) {
        if (!ReadCsvRow(in, pos, cells, failure))
            return false;
        if (cells.size() == 1 && cells[0].empty())
            continue; // a blank line
        ++recordNo;
        if (cells.size() != header.size()) {
            failure = {kExitBadInput, "row " + std::to_string(recordNo) + " has " +
                                          std::to_string(cells.size()) + " values, the header " +
                                          std::to_string(header.size())};
            return false;
        }
        std::unique_ptr<CDataRecord> record = set.NewRecord();
        if (!record) {
            failure = {kExitImport, "out of memory"};
            return false;
        }
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const int c = columns[i];
            if (!ParseCellText(*record, c, cells[i], recordNo, set.Tags()[static_cast<std::size_t>(c)],
                               failure))
                return false;
        }
        records.push_back(std::move(record));
    }
    if (!records.empty())
        set.InsertRecords(-1, std::move(records));
    return true;
}

FormatOps CsvOps() {
    FormatOps ops;
    ops.name = "tsr-csv";
    ops.handlesKind = [](int kind) { return IsValidKind(kind); };
    ops.exportSet = ExportCsv;
    ops.importSet = ImportCsv;
    return ops;
}

} // namespace tessera::filters
