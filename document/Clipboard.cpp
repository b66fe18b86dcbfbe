#include "document/Clipboard.h"

#include "base/Cp932.h"
#include "model/CodeMap.h"
#include "model/FieldLimits.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "text/LeadByte.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace tessera {

namespace {

constexpr char kEndMark = 0x1A;

QClipboard* Clipboard() {
    if (QGuiApplication::instance() == nullptr)
        return nullptr;
    return QGuiApplication::clipboard();
}

std::string CodePointName(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

std::string ByteName(unsigned char b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

// CR LF, lone CR and lone LF all become CR LF: a lone CR inside a value would end the
// reader's line in the middle of a record.
QString NormaliseLineBreaks(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\r\n");
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

bool RecordTextFromUnicode(const QString& text, std::string& out, std::string* badText,
                           int* message) {
    out.clear();
    QString t = NormaliseLineBreaks(text);
    // A text form copied from a file may still carry its end mark (and line breaks after it).
    qsizetype end = t.size();
    while (end > 0 && (t[end - 1] == QLatin1Char('\r') || t[end - 1] == QLatin1Char('\n')))
        --end;
    if (end > 0 && t[end - 1] == QChar(kEndMark))
        t.truncate(end - 1);
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c == 0 || c == static_cast<char16_t>(kEndMark)) {
            if (badText)
                *badText = ByteName(static_cast<unsigned char>(c));
            if (message)
                *message = kMsgClipboardControl;
            return false;
        }
    }
    qsizetype bad = -1;
    std::string bytes;
    if (!QStringToCp932(t, bytes, &bad)) {
        if (badText) {
            char32_t cp = bad >= 0 && bad < t.size() ? t[bad].unicode() : 0;
            if (bad >= 0 && bad + 1 < t.size() && t[bad].isHighSurrogate() &&
                t[bad + 1].isLowSurrogate())
                cp = QChar::surrogateToUcs4(t[bad], t[bad + 1]);
            *badText = CodePointName(cp);
        }
        if (message)
            *message = kMsgClipboardBadChar;
        return false;
    }
    // The reader takes a last line only with its line end.
    if (!bytes.empty() && (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0))
        bytes += "\r\n";
    bytes += kEndMark;
    out = std::move(bytes);
    return true;
}

bool RecordTextFromBytes(std::string bytes, std::string& out, std::string* badText) {
    out.clear();
    std::size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == '\r' || bytes[end - 1] == '\n'))
        --end;
    if (end > 0 && bytes[end - 1] == kEndMark)
        bytes.resize(end - 1);
    for (char c : bytes) {
        if (c == 0 || c == kEndMark) {
            if (badText)
                *badText = ByteName(static_cast<unsigned char>(c));
            return false;
        }
    }
    if (!bytes.empty() && (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0))
        bytes += "\r\n";
    bytes += kEndMark;
    out = std::move(bytes);
    return true;
}

bool IsTabTable(std::string_view text) {
    const std::size_t eol = text.find_first_of("\r\n");
    const std::string_view first = text.substr(0, eol);
    if (first.find('\t') == std::string_view::npos)
        return false;
    // A text-form line starts with a quoted one-letter type: "i", "T" or "D".
    return !(first.size() >= 4 && first[0] == '"' && first[2] == '"' &&
             (first[3] == ',' || first.size() == 3));
}

namespace {

// The rows of a TAB table: cells split at TABs, rows at CR LF; a cell in quotes (as a
// spreadsheet writes a cell with a line break or a quote in it) may hold both, and "" is a
// quote. Line breaks inside a cell stay CR LF, as texts hold them in memory.
std::vector<std::vector<std::string>> SplitTabTable(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (cell.empty() && text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        cell += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += text[i++];
            }
            continue;
        }
        const char c = text[i];
        if (c == '\t') {
            row.push_back(std::move(cell));
            cell.clear();
            ++i;
        } else if (c == '\r' || c == '\n') {
            row.push_back(std::move(cell));
            cell.clear();
            rows.push_back(std::move(row));
            row.clear();
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
        } else {
            // A double-byte character is taken whole: its trail byte is never a TAB or a quote.
            const std::size_t step = IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < n ? 2 : 1;
            cell.append(text.substr(i, step));
            i += step;
        }
    }
    if (!cell.empty() || !row.empty()) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    // Empty rows (a spreadsheet's last line end) carry nothing.
    std::erase_if(rows, [](const std::vector<std::string>& r) {
        return std::all_of(r.begin(), r.end(), [](const std::string& c) { return c.empty(); });
    });
    return rows;
}

} // namespace

bool ReadTabTable(std::string_view text, const CRecordSet& set, RecordList& records) {
    records.clear();
    if (!text.empty() && text.back() == kEndMark)
        text.remove_suffix(1);
    std::vector<std::vector<std::string>> rows = SplitTabTable(text);
    const int fields = set.FieldCount();
    if (fields == 0 || rows.empty()) {
        ShowMessage(kMsgClipboardKind, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    // A header row: every cell is empty or the title of its column, and one is a title.
    const auto& titles = set.Titles();
    bool header = false;
    for (std::size_t c = 0; c < rows.front().size(); ++c) {
        const std::string& cell = rows.front()[c];
        if (cell.empty())
            continue;
        if (c >= titles.size() || cell != titles[c]) {
            header = false;
            break;
        }
        header = true;
    }
    LimitCut cut;
    for (std::size_t r = header ? 1 : 0; r < rows.size(); ++r) {
        std::vector<std::string>& cells = rows[r];
        while (static_cast<int>(cells.size()) > fields && cells.back().empty())
            cells.pop_back();
        if (static_cast<int>(cells.size()) > fields) {
            ShowMessage(kMsgClipboardKind, PromptIcon::Warning, PromptButtons::Ok);
            return false;
        }
        std::unique_ptr<CDataRecord> record = set.NewRecord();
        if (!record)
            return false;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].empty())
                continue;
            // Texts are taken as the user sees them (a remark without its memo prefix); the
            // other fields read their cells as the text form writes them.
            bool taken = false;
            CField* field = record->FieldAt(static_cast<int>(c));
            if (field != nullptr &&
                (field->Class() == FieldClass::Text || field->Class() == FieldClass::SubText)) {
                // A value longer than the field holds keeps what fits; the cut is reported.
                if (const std::size_t n =
                        CutToByteLimit(cells[c], FieldByteLimit(set.Kind(), field->Tag()))) {
                    ++cut.fields;
                    cut.bytes += n;
                }
                taken = field->SetValue(FieldValue{cells[c]});
            } else {
                try {
                    taken = record->ParseField(static_cast<int>(c), cells[c], false);
                } catch (const CUserAbort&) {
                    taken = false;
                }
            }
            if (!taken) {
                ShowMessage(ids::kMsgPasteTableBad, PromptIcon::Warning, PromptButtons::Ok,
                            static_cast<int>(r + 1), static_cast<int>(c + 1), cells[c],
                            c < titles.size() ? titles[c] : std::string());
                records.clear();
                return false;
            }
        }
        records.push_back(std::move(record));
    }
    if (records.empty()) {
        ShowMessage(kMsgClipboardKind, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    ShowLimitCut(cut);
    return true;
}

void ShowLimitCut(const LimitCut& cut) {
    if (cut.fields > 0)
        ShowMessage(ids::kMsgPasteCut, PromptIcon::Information, PromptButtons::Ok, cut.fields,
                    static_cast<int>(cut.bytes));
}

std::string MapDeviceCharacters(std::string_view text, const CCodeMap& map) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(b) && i + 1 < text.size()) {
            const auto code =
                static_cast<std::uint16_t>((b << 8) | static_cast<unsigned char>(text[i + 1]));
            out += map.MapDeviceCode(code).View();
            ++i;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

bool PutRecordText(const std::string& text, const CCodeMap* map) {
    QClipboard* clipboard = Clipboard();
    if (clipboard == nullptr)
        return false;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kRecordMimeType),
                  QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    // Other programs get the text without the end mark, which is no character to them.
    std::string_view plain(text);
    if (!plain.empty() && plain.back() == kEndMark)
        plain.remove_suffix(1);
    static const CCodeMap builtIn = [] {
        CCodeMap m;
        m.LoadTables();
        return m;
    }();
    const CCodeMap& use = map != nullptr && map->IsLoaded() ? *map : builtIn;
    mime->setText(use.IsLoaded() ? Cp932ToQString(MapDeviceCharacters(plain, use))
                                 : Cp932ToQString(plain));
    clipboard->setMimeData(mime);
    return true;
}

bool ClipboardHasRecordText() {
    QClipboard* clipboard = Clipboard();
    if (clipboard == nullptr)
        return false;
    const QMimeData* mime = clipboard->mimeData();
    return mime != nullptr &&
           (mime->hasFormat(QString::fromLatin1(kRecordMimeType)) || mime->hasText());
}

ClipboardText TakeRecordText(std::string& out) {
    out.clear();
    QClipboard* clipboard = Clipboard();
    if (clipboard == nullptr) {
        ShowMessage(kMsgClipboardOpen, PromptIcon::Stop, PromptButtons::Ok);
        return ClipboardText::Refused;
    }
    const QMimeData* mime = clipboard->mimeData();
    if (mime == nullptr)
        return ClipboardText::None;
    std::string bad;
    const QString ours = QString::fromLatin1(kRecordMimeType);
    if (mime->hasFormat(ours)) {
        const QByteArray bytes = mime->data(ours);
        if (RecordTextFromBytes(
                std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), out, &bad))
            return ClipboardText::Ok;
        ShowMessage(kMsgClipboardControl, PromptIcon::Warning, PromptButtons::Ok, bad);
        return ClipboardText::Refused;
    }
    if (!mime->hasText())
        return ClipboardText::None;
    int message = 0;
    if (RecordTextFromUnicode(mime->text(), out, &bad, &message))
        return ClipboardText::Ok;
    ShowMessage(message, PromptIcon::Warning, PromptButtons::Ok, bad);
    return ClipboardText::Refused;
}

} // namespace tessera
