#include "filters/FilterKit.h"

#include "text/Cp932Twins.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#if defined(__unix__) || defined(__APPLE__)
#define TESSERA_FILTER_POSIX 1
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#include <io.h>
#ifndef STDIN_FILENO
#define STDIN_FILENO 0
#endif
#endif

#include "model/Calendar.h"
#include "model/CodeMap.h"
#include "model/Prompter.h"
#include "model/RecordKind.h"
#include "model/TextForm.h"
#include "text/Cp932Text.h"

namespace tessera::filters {

namespace {

// Answers every question of the reader with its refusing button and remembers the first
// message, so a filter never empties a value behind the user's back.
class RefusingPrompter : public Prompter {
public:
    PromptResult Show(int id, const std::string& text, PromptIcon, PromptButtons buttons) override {
        if (m_first.empty())
            m_first = std::to_string(id) + ": " + Cp932ToUtf8(text);
        ++m_count;
        switch (buttons) {
        case PromptButtons::Ok:
            return PromptResult::Ok;
        case PromptButtons::YesNo:
            return PromptResult::No;
        case PromptButtons::AbortRetryIgnore:
            return PromptResult::Abort;
        default:
            return PromptResult::Cancel;
        }
    }
    int Count() const { return m_count; }
    const std::string& First() const { return m_first; }

private:
    std::string m_first;
    int m_count = 0;
};

class PrompterScope {
public:
    explicit PrompterScope(Prompter* p) : m_previous(CurrentPrompter()) { SetPrompter(p); }
    ~PrompterScope() { SetPrompter(m_previous); }
    PrompterScope(const PrompterScope&) = delete;
    PrompterScope& operator=(const PrompterScope&) = delete;

private:
    Prompter* m_previous;
};

bool Fail(Failure& failure, int code, std::string message) {
    failure.code = code;
    failure.message = std::move(message);
    return false;
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty() || text.size() > 6)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

std::string TrimRight(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::string TrimLeft(std::string s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return s.substr(i);
}

} // namespace

bool ParseFilterArgs(const std::vector<std::string>& args, FilterArgs& out, Failure& failure) {
    bool haveI = false, haveE = false, haveT = false, haveV = false;
    std::string version, kind;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "-I" || a == "-E" || a == "-T" || a == "-V";
        if (!takesValue)
            return Fail(failure, kExitOption, "unknown option: " + a);
        if (i + 1 >= args.size())
            return Fail(failure, kExitOption, "option " + a + " needs a value");
        const std::string& v = args[++i];
        bool& seen = a == "-I" ? haveI : a == "-E" ? haveE : a == "-T" ? haveT : haveV;
        if (seen)
            return Fail(failure, kExitOption, "option " + a + " given twice");
        seen = true;
        if (a == "-I" || a == "-E")
            out.path = v;
        else if (a == "-T")
            kind = v;
        else
            version = v;
    }
    if (!haveV || version != "1")
        return Fail(failure, kExitVersion, "filter interface version 1 expected");
    if (haveI == haveE)
        return Fail(failure, kExitOption, "exactly one of -I and -E is needed");
    if (out.path.empty())
        return Fail(failure, kExitOption, "the file name is empty");
    out.import = haveI;
    if (haveI) {
        if (haveT)
            return Fail(failure, kExitOption, "-T belongs to an export");
        return true;
    }
    if (!haveT)
        return Fail(failure, kExitOption, "an export needs -T");
    if (!ParseInt(kind, out.kind) || !IsValidKind(out.kind))
        return Fail(failure, kExitType, "no such record kind: " + kind);
    return true;
}

bool ReadTextForm(std::string_view bytes, CRecordSet& set, Failure& failure) {
    std::string text(bytes);
    if (text.find('\x1A') == std::string::npos)
        text.push_back('\x1A');
    RefusingPrompter prompter;
    PrompterScope scope(&prompter);
    // The host writes circled numbers as their device codes and reads every text through
    // the always-on part of the character map; a filter must read the same characters.
    static const CCodeMap map = [] {
        CCodeMap m(nullptr);
        m.LoadTables();
        return m;
    }();
    int errors = 0;
    bool ok = false;
    try {
        ok = set.ReadText(text, map.IsLoaded() ? &map : nullptr, &errors);
    } catch (const CUserAbort&) {
        ok = false;
    }
    if (!ok || errors != 0 || prompter.Count() != 0)
        return Fail(failure, kExitExport,
                    "the records cannot be read" +
                        (prompter.First().empty() ? std::string() : " (" + prompter.First() + ")"));
    return true;
}

std::unique_ptr<CRecordSet> OnKindTags(CRecordSet& from, int kind, Failure& failure) {
    if (from.Kind() != kind) {
        Fail(failure, kExitExport,
             "the records are of kind " + std::to_string(from.Kind()) + ", not " +
                 std::to_string(kind));
        return nullptr;
    }
    auto to = std::make_unique<CRecordSet>();
    to->SetKind(kind);
    if (from.Tags() == to->Tags()) {
        if (from.RecordCount() > 0 && !CRecordSet::MoveRecords(from, *to, -1)) {
            Fail(failure, kExitExport, "the records cannot be taken over");
            return nullptr;
        }
        return to;
    }
    RefusingPrompter prompter;
    PrompterScope scope(&prompter);
    if (from.RecordCount() > 0 && !CRecordSet::MoveRecords(from, *to, -1)) {
        Fail(failure, kExitExport, "the records hold a field this format has no place for");
        return nullptr;
    }
    return to;
}

std::string ToUtf8(std::string_view cp932) {
    return Cp932ToUtf8(cp932);
}

namespace {

int g_replaced = 0;

std::string Utf8Of(char32_t c) {
    std::string out;
    AppendUtf8(out, c);
    return out;
}

// Length of the well-formed UTF-8 sequence at `i` (with its code point), 0 when malformed.
std::size_t Utf8At(std::string_view s, std::size_t i, char32_t& c) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    char32_t min = 0;
    if (b < 0x80) {
        c = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF)
        n = 1, c = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 2, c = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 3, c = b & 0x07, min = 0x10000;
    else
        return 0;
    if (i + n >= s.size())
        return 0;
    for (std::size_t k = 1; k <= n; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n + 1;
}

} // namespace

bool FromUtf8(std::string_view utf8, std::string& cp932, Failure& failure) {
    std::size_t bad = 0;
    if (Utf8ToCp932(utf8, cp932, &bad))
        return true;
    // Slow path from the first character that needs help: convert piece by piece.
    std::string out;
    std::string piece;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t at = 0;
        if (Utf8ToCp932(utf8.substr(pos), piece, &at)) {
            out += piece;
            break;
        }
        std::string head;
        Utf8ToCp932(utf8.substr(pos, at), head);
        out += head;
        pos += at;
        char32_t c = 0;
        const std::size_t n = Utf8At(utf8, pos, c);
        if (n == 0)
            return Fail(failure, kExitBadInput,
                        "byte " + std::to_string(pos) +
                            " is not UTF-8 (save the file as UTF-8 or Shift_JIS)");
        std::string twin;
        if (const char32_t t = Cp932Twin(c); t != 0 && Utf8ToCp932(Utf8Of(t), twin)) {
            out += twin;
        } else {
            out += "\x81\xAC"; // 〓
            ++g_replaced;
        }
        pos += n;
    }
    cp932 = std::move(out);
    return true;
}

int ReplacedCharacters() {
    return g_replaced;
}

bool IsUtf8(std::string_view bytes) {
    std::size_t i = 0;
    char32_t c = 0;
    while (i < bytes.size()) {
        const std::size_t n = Utf8At(bytes, i, c);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

bool CharsetToUtf8(std::string_view bytes, std::string_view charset, std::string& utf8) {
    std::string name;
    for (char ch : charset)
        name += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
    if (name.empty() || name == "UTF-8" || name == "UTF8" || name == "US-ASCII" ||
        name == "ASCII") {
        if (!IsUtf8(bytes))
            return false;
        utf8.assign(bytes);
        return true;
    }
    if (name == "SHIFT_JIS" || name == "SHIFT-JIS" || name == "SJIS" || name == "CP932" ||
        name == "WINDOWS-31J" || name == "MS_KANJI" || name == "X-SJIS" || name == "MS932") {
        utf8 = ToUtf8(bytes);
        return true;
    }
#ifdef TESSERA_FILTER_POSIX
    iconv_t cd = ::iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in(bytes);
    std::string out(in.size() * 4 + 16, '\0');
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    ::iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || srcLeft != 0)
        return false;
    out.resize(out.size() - dstLeft);
    utf8 = std::move(out);
    return true;
#else
    return false; // no converter for other character sets here: the caller notes it
#endif
}

// Year 0 (a date without its year) is a leap year like every fourth hundred.
int DaysInMonth(int year, int month) {
    return tessera::DaysInMonth(year, month);
}

std::string NormalizeBreaks(std::string_view text, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += to;
        } else if (text[i] == '\n') {
            out += to;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ExchangeUtf8(const CDataRecord& record, int index) {
    std::string text;
    record.FormatField(index, text, false);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == kExchangeLineBreak)
            out += "\r\n";
        else
            out += c;
    }
    return ToUtf8(out);
}

bool ParseExchangeUtf8(CDataRecord& record, int index, std::string_view utf8, int recordNo,
                       const std::string& tag, Failure& failure) {
    std::string bytes;
    const int replacedBefore = ReplacedCharacters();
    if (!FromUtf8(NormalizeBreaks(utf8, "\x1F"), bytes, failure)) {
        failure.message =
            "record " + std::to_string(recordNo) + ", " + tag + ": " + failure.message;
        return false;
    }
    if (const int n = ReplacedCharacters() - replacedBefore; n > 0)
        RunNotes().Record(recordNo, NoteText(kNoteReplaced, {tag, n}));
    try {
        if (record.ParseField(index, bytes, false))
            return true;
    } catch (const CUserAbort&) {
    }
    return Fail(failure, kExitBadInput,
                "record " + std::to_string(recordNo) + ", " + tag + ": the value '" +
                    std::string(utf8) +
                    "' is not valid (correct it in the file or leave it empty)");
}

std::string CellText(const CDataRecord& record, int index) {
    const CField* field = record.FieldAt(index);
    if (field == nullptr)
        return {};
    switch (field->Class()) {
    case FieldClass::Flag:
        return static_cast<const CFlagField*>(field)->Value() != 0 ? "*" : "";
    case FieldClass::Time:
        return TrimRight(ExchangeUtf8(record, index));
    case FieldClass::DayWeek:
        return TrimLeft(ExchangeUtf8(record, index));
    case FieldClass::SubText:
        return ToUtf8(static_cast<const CSubTextField*>(field)->Value());
    default:
        return ExchangeUtf8(record, index);
    }
}

bool ParseCellText(CDataRecord& record, int index, std::string_view utf8, int recordNo,
                   const std::string& tag, Failure& failure) {
    if (utf8.empty())
        return true;
    CField* field = record.FieldAt(index);
    if (field == nullptr)
        return Fail(failure, kExitBadInput,
                    "record " + std::to_string(recordNo) + ": no field " + tag);
    std::string text(utf8);
    switch (field->Class()) {
    case FieldClass::Flag:
        if (text != "*" && text != " ")
            return Fail(failure, kExitBadInput,
                        "record " + std::to_string(recordNo) + ", " + tag + ": '" + text +
                            "' is neither * nor empty");
        break;
    case FieldClass::Time:
        if (text.size() < 14)
            text.append(14 - text.size(), ' ');
        break;
    case FieldClass::DayWeek:
        if (text.size() < 8)
            text.insert(0, 8 - text.size(), ' ');
        break;
    case FieldClass::SubText: {
        std::string bytes;
        const int replacedBefore = ReplacedCharacters();
        if (!FromUtf8(NormalizeBreaks(text, "\r\n"), bytes, failure)) {
            failure.message =
                "record " + std::to_string(recordNo) + ", " + tag + ": " + failure.message;
            return false;
        }
        if (const int n = ReplacedCharacters() - replacedBefore; n > 0)
            RunNotes().Record(recordNo, NoteText(kNoteReplaced, {tag, n}));
        if (!field->SetValue(bytes))
            return Fail(failure, kExitBadInput,
                        "record " + std::to_string(recordNo) + ", " + tag +
                            ": the value is not valid");
        return true;
    }
    default:
        break;
    }
    return ParseExchangeUtf8(record, index, text, recordNo, tag, failure);
}

namespace {

// Reads with read(2), which returns what the pipe holds: a host that keeps the pipe open
// and ends its text with 0x1A must not leave the filter waiting for a full buffer.
bool ReadAll(int fd, std::string& out, bool stopAtEndMark) {
    char buf[8192];
    for (;;) {
#ifdef TESSERA_FILTER_POSIX
        const ssize_t n = ::read(fd, buf, sizeof buf);
#else
        const int n = ::_read(fd, buf, sizeof buf);
#endif
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buf, static_cast<std::size_t>(n));
        if (stopAtEndMark && std::memchr(buf, 0x1A, static_cast<std::size_t>(n)) != nullptr)
            return true;
    }
}

void WriteNotes() {
    for (const std::string& line : RunNotes().Lines())
        std::fprintf(stderr, "%s\n", line.c_str());
    RunNotes().Clear();
    std::fflush(stderr);
}

int Report(const FormatOps& ops, const Failure& failure) {
    WriteNotes();
    std::fprintf(stderr, "%s: %s\n", ops.name, failure.message.c_str());
    return failure.code;
}

// Offset of the first byte that is not well-formed UTF-8, npos when all of it is.
std::size_t FirstBadUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else if (c >= 0x80)
            return i;
        for (std::size_t k = 1; k <= n; ++k)
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return i;
        i += n + 1;
    }
    return std::string_view::npos;
}

int RunImport(const FormatOps& ops, const FilterArgs& args) {
    Failure failure;
#ifdef TESSERA_FILTER_POSIX
    struct stat st {};
    if (::stat(args.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return Report(ops, {kExitNoInput, "no such file: " + args.path});
    const int in = ::open(args.path.c_str(), O_RDONLY);
    if (in < 0)
        return Report(ops,
                      {kExitNoInput, "cannot open " + args.path + ": " + std::strerror(errno)});
    std::string bytes;
    const bool read = ReadAll(in, bytes, false);
    ::close(in);
#else
    std::error_code ec;
    if (!std::filesystem::is_regular_file(args.path, ec))
        return Report(ops, {kExitNoInput, "no such file: " + args.path});
    std::ifstream file(args.path, std::ios::binary);
    if (!file)
        return Report(ops,
                      {kExitNoInput, "cannot open " + args.path + ": " + std::strerror(errno)});
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const bool read = !file.bad();
#endif
    if (!read)
        return Report(ops, {kExitNoInput, "cannot read " + args.path});
    // A file in another encoding (a spreadsheet's Shift_JIS, say) is a format fault, not a
    // character the records lack.
    if (const std::size_t bad = FirstBadUtf8(bytes);
        !ops.decodesBytes && bad != std::string_view::npos)
        return Report(
            ops, {kExitBadInput, "the file is not UTF-8 text (byte " + std::to_string(bad) + ")"});
    CRecordSet set;
    RefusingPrompter prompter;
    PrompterScope scope(&prompter);
    if (!ops.importSet(bytes, set, failure))
        return Report(ops, failure);
    std::string text;
    if (!set.WriteTextToString(text))
        return Report(
            ops, {kExitImport,
                  "the records cannot be written as text form" +
                      (prompter.First().empty() ? std::string() : " (" + prompter.First() + ")")});
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return Report(ops, {kExitImport, "standard output cannot be written"});
    WriteNotes();
    return kExitOk;
}

int RunExport(const FormatOps& ops, const FilterArgs& args) {
    Failure failure;
    if (!ops.handlesKind(args.kind))
        return Report(ops,
                      {kExitType, "record kind " + std::to_string(args.kind) + " is not handled"});
    std::string input;
    if (!ReadAll(STDIN_FILENO, input, true))
        return Report(ops, {kExitExport, "standard input cannot be read"});
    CRecordSet read;
    if (!ReadTextForm(input, read, failure))
        return Report(ops, failure);
    std::unique_ptr<CRecordSet> set = OnKindTags(read, args.kind, failure);
    if (!set)
        return Report(ops, failure);
    std::string out;
    if (!ops.exportSet(*set, out, failure))
        return Report(ops, failure);

    std::FILE* file = std::fopen(args.path.c_str(), "wb");
    if (file == nullptr)
        return Report(ops,
                      {kExitCreate, "cannot create " + args.path + ": " + std::strerror(errno)});
    const bool written =
        std::fwrite(out.data(), 1, out.size(), file) == out.size() && std::fflush(file) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(args.path.c_str()); // a cut file would look like a whole one
        const int err = written ? errno : writeErrno;
        return Report(ops, {err == ENOSPC ? kExitDiskFull : kExitCreate,
                            "cannot write " + args.path + ": " + std::strerror(err)});
    }
    WriteNotes();
    return kExitOk;
}

} // namespace

std::string ContentUid(const CDataRecord& record, int kind, std::map<std::string, int>& seen) {
    // FNV-1a over the kind and every exchange text with a separator, which no text holds.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    auto mix = [&h](std::string_view bytes) {
        for (unsigned char c : bytes) {
            h ^= c;
            h *= 0x100000001b3ULL;
        }
    };
    mix(std::to_string(kind));
    std::string text;
    for (int i = 0; i < record.FieldCount(); ++i) {
        mix(std::string_view("\0", 1));
        text.clear();
        record.FormatField(i, text, false);
        mix(text);
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    const int n = ++seen[hex];
    std::string uid = hex;
    if (n > 1) {
        uid += '-';
        uid += std::to_string(n);
    }
    uid += kUidSuffix;
    return uid;
}

void Notes::Record(int recordNo, std::string_view text) {
    m_lines.push_back(NoteText(kNoteRecord, {recordNo, std::string(text)}));
}

void Notes::Line(int lineNo, std::string_view text) {
    m_lines.push_back(NoteText(kNoteLine, {lineNo, std::string(text)}));
}

void Notes::General(std::string_view text) {
    m_lines.emplace_back(text);
}

Notes& RunNotes() {
    static Notes notes;
    return notes;
}

std::string NoteText(int id, const std::vector<FormatArg>& args) {
    // The table is code page 932; arguments arrive in UTF-8 and are put in after the
    // conversion, so that no character of theirs has to fit code page 932.
    std::string utf8 = ToUtf8(LoadString(id));
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%' || i + 1 >= utf8.size()) {
            out.push_back(utf8[i]);
            continue;
        }
        const char c = utf8[++i];
        if (c == '%') {
            out.push_back('%');
        } else if (c == 'd' || c == 's') {
            if (next < args.size()) {
                if (const auto* n = std::get_if<long long>(&args[next]))
                    out += std::to_string(*n);
                else
                    out += std::get<std::string>(args[next]);
            }
            ++next;
        } else {
            out.push_back('%');
            out.push_back(c);
        }
    }
    return out;
}

int RunFilter(int argc, char** argv, const FormatOps& ops) {
    // Tessera names its language pack to the filters it starts, so notes read as it does.
    if (const char* pack = std::getenv("TESSERA_LANG_PACK"); pack != nullptr && *pack != '\0')
        LoadResourcePack(pack);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    FilterArgs parsed;
    Failure failure;
    if (!ParseFilterArgs(args, parsed, failure))
        return Report(ops, failure);
    try {
        return parsed.import ? RunImport(ops, parsed) : RunExport(ops, parsed);
    } catch (const std::bad_alloc&) {
        return Report(ops, {parsed.import ? kExitImport : kExitExport, "out of memory"});
    }
}

} // namespace tessera::filters
