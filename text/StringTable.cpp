#include "text/StringTable.h"

#include "resources/StringData.h"
#include "text/Cp932Text.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <unordered_map>

namespace tessera {

namespace {

struct Table {
    std::mutex lock; // guards overrides against concurrent lookups
    std::unordered_map<int, std::string> texts;
};

void FillBuiltIn(std::unordered_map<int, std::string>& texts) {
    texts.clear();
    texts.reserve(detail::kStringDataCount * 2);
    for (std::size_t i = 0; i < detail::kStringDataCount; ++i)
        texts.emplace(detail::kStringData[i].id,
                      std::string(detail::kStringData[i].text, detail::kStringData[i].size));
}

// The generated table never changes: one copy made on first use, read without a lock.
const std::unordered_map<int, std::string>& BuiltInTexts() {
    static const auto* texts = [] {
        auto* m = new std::unordered_map<int, std::string>;
        FillBuiltIn(*m);
        return m;
    }();
    return *texts;
}

bool BuiltInHas(int id) {
    return BuiltInTexts().count(id) != 0;
}

Table& TheTable() {
    static Table* table = [] {
        auto* t = new Table;
        FillBuiltIn(t->texts);
        return t;
    }();
    return *table;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Undoes the C escapes of a pack line (\n \r \t \\ \" \xHH); false on a bad escape.
bool Unescape(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i >= in.size())
            return false;
        switch (in[i]) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'x': {
            if (i + 2 >= in.size())
                return false;
            int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
            if (hi < 0 || lo < 0)
                return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

long long AsNumber(const FormatArg* a) {
    if (a == nullptr)
        return 0;
    if (const long long* n = std::get_if<long long>(a))
        return *n;
    const std::string& s = std::get<std::string>(*a);
    long long v = 0;
    std::sscanf(s.c_str(), "%lld", &v);
    return v;
}

std::string AsText(const FormatArg* a) {
    if (a == nullptr)
        return {};
    if (const long long* n = std::get_if<long long>(a))
        return std::to_string(*n);
    return std::get<std::string>(*a);
}

// Cuts `s` to at most `max` bytes without splitting a double-byte character.
void CutBytes(std::string& s, std::size_t max) {
    if (s.size() <= max)
        return;
    std::size_t i = 0;
    while (i < max) {
        std::size_t n = IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
        if (i + n > max)
            break;
        i += n;
    }
    s.resize(i);
}

} // namespace

const std::string& LoadString(int id) {
    static const std::string empty;
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.texts.find(id);
    return it == t.texts.end() ? empty : it->second;
}

bool HasString(int id) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.texts.count(id) != 0;
}

void OverrideString(int id, std::string text) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    t.texts[id] = std::move(text);
}

const std::string& BuiltInString(int id) {
    static const std::string empty;
    const auto& builtIn = BuiltInTexts();
    const auto it = builtIn.find(id);
    return it == builtIn.end() ? empty : it->second;
}

void RestoreBuiltInStrings() {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    // Entries are assigned in place, not rebuilt, so a text a caller still holds by
    // reference stays a valid string; only ids the built-in table lacks are dropped.
    for (auto it = t.texts.begin(); it != t.texts.end();) {
        if (!BuiltInHas(it->first)) {
            it = t.texts.erase(it);
        } else {
            it->second = BuiltInString(it->first);
            ++it;
        }
    }
}

int LoadResourcePack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return -1;
    int taken = 0;
    std::string line, text, bytes;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        first = false;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab > 6)
            continue;
        int id = 0;
        bool digits = true;
        for (std::size_t i = 0; i < tab; ++i) {
            digits = digits && line[i] >= '0' && line[i] <= '9';
            id = id * 10 + (line[i] - '0');
        }
        // A line that cannot be taken whole is skipped: a half-converted text is worse
        // than the built-in one.
        if (!digits || !Unescape(std::string_view(line).substr(tab + 1), text) ||
            !Utf8ToCp932(text, bytes))
            continue;
        OverrideString(id, bytes);
        ++taken;
    }
    return taken;
}

std::string FormatText(std::string_view format, const std::vector<FormatArg>& args) {
    std::string out;
    out.reserve(format.size() + 16);
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < format.size()) {
            // A trail byte may be '%' (0x25 never is one, but stay safe on any byte).
            out += c;
            out += format[++i];
            continue;
        }
        if (c != '%') {
            out += c;
            continue;
        }
        std::size_t j = i + 1;
        std::string flags;
        while (j < format.size() &&
               std::string_view("-+ #0").find(format[j]) != std::string_view::npos)
            flags += format[j++];
        int width = -1, precision = -1;
        if (j < format.size() && format[j] == '*') {
            width = static_cast<int>(AsNumber(take()));
            if (width < 0)
                flags += '-', width = -width;
            ++j;
        } else {
            while (j < format.size() && format[j] >= '0' && format[j] <= '9')
                width = (width < 0 ? 0 : width * 10) + (format[j++] - '0');
        }
        if (j < format.size() && format[j] == '.') {
            ++j;
            precision = 0;
            if (j < format.size() && format[j] == '*') {
                precision = static_cast<int>(AsNumber(take()));
                ++j;
            } else {
                while (j < format.size() && format[j] >= '0' && format[j] <= '9')
                    precision = precision * 10 + (format[j++] - '0');
            }
        }
        while (j < format.size() &&
               std::string_view("hlLqjzt").find(format[j]) != std::string_view::npos)
            ++j;
        if (j >= format.size()) {
            out.append(format.substr(i));
            break;
        }
        width = std::min(width, 4096);
        precision = std::min(precision, 4096);
        const char conv = format[j];
        std::string piece;
        switch (conv) {
        case '%':
            piece = "%";
            break;
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            std::string pattern = "%" + flags;
            if (width >= 0)
                pattern += std::to_string(width);
            if (precision >= 0)
                pattern += "." + std::to_string(precision);
            long long v = AsNumber(take());
            char buf[4200];
            if (conv == 'd' || conv == 'i') {
                pattern += "lld";
                std::snprintf(buf, sizeof buf, pattern.c_str(), v);
            } else {
                pattern += "ll";
                pattern += conv;
                // Like printf, %u/%x show the 32-bit pattern of a negative int.
                unsigned long long u =
                    v < 0 && v >= INT32_MIN
                        ? static_cast<unsigned long long>(static_cast<unsigned>(v))
                        : static_cast<unsigned long long>(v);
                std::snprintf(buf, sizeof buf, pattern.c_str(), u);
            }
            piece = buf;
            width = -1; // already padded
            break;
        }
        case 'c': {
            const FormatArg* a = take();
            if (a && std::holds_alternative<std::string>(*a))
                piece = std::get<std::string>(*a).substr(0, 1);
            else
                piece = std::string(1, static_cast<char>(AsNumber(a)));
            break;
        }
        case 's': {
            piece = AsText(take());
            if (precision >= 0)
                CutBytes(piece, static_cast<std::size_t>(precision));
            break;
        }
        default:
            // Not a conversion ("%で", "%1 "): keep the text as written and go on from the
            // character after the '%' part, so a double-byte character is never split.
            out.append(format.substr(i, j - i));
            i = j - 1;
            continue;
        }
        if (width > 0 && piece.size() < static_cast<std::size_t>(width)) {
            std::string pad(static_cast<std::size_t>(width) - piece.size(), ' ');
            piece = flags.find('-') != std::string::npos ? piece + pad : pad + piece;
        }
        out += piece;
        i = j;
    }
    return out;
}

} // namespace tessera
