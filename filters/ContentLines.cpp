#include "filters/ContentLines.h"

namespace tessera::filters {

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool ContentLine::HasType(std::string_view word) const {
    const std::string want = ToUpperAscii(word);
    for (const auto& [key, values] : params) {
        if (key == want)
            return true; // vCard 2.1: TEL;FAX:...
        for (const std::string& v : values)
            if (ToUpperAscii(v) == want)
                return true;
    }
    return false;
}

std::string ContentLine::Param(std::string_view name) const {
    const auto it = params.find(std::string(name));
    if (it == params.end() || it->second.empty())
        return {};
    return it->second.front();
}

std::string ContentLine::Encoding() const {
    std::string e = ToUpperAscii(Param("ENCODING"));
    if (e.empty()) {
        if (params.count("QUOTED-PRINTABLE") != 0)
            e = "QUOTED-PRINTABLE";
        else if (params.count("BASE64") != 0)
            e = "BASE64";
    }
    return e;
}

std::string DecodeQuotedPrintable(std::string_view value) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '=') {
            out += value[i];
            continue;
        }
        if (i + 2 < value.size() && hex(value[i + 1]) >= 0 && hex(value[i + 2]) >= 0) {
            out += static_cast<char>(hex(value[i + 1]) * 16 + hex(value[i + 2]));
            i += 2;
        } else if (i + 1 < value.size() && (value[i + 1] == '\r' || value[i + 1] == '\n')) {
            ++i; // a soft break kept by the reader
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
        } else if (i + 1 >= value.size()) {
            // a soft break at the very end
        } else {
            out += '=';
        }
    }
    return out;
}

std::string EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char n = text[++i];
            if (n == 'n' || n == 'N')
                out += "\r\n";
            else
                out += n;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> SplitStructured(std::string_view value, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] == '\\') {
            ++i;
            continue;
        }
        if (i == value.size() || value[i] == sep) {
            parts.push_back(UnescapeText(value.substr(start, i - start)));
            start = i + 1;
        }
    }
    return parts;
}

void AppendFolded(std::string& out, std::string_view line) {
    std::size_t pos = 0;
    std::size_t limit = 75; // the first line; continuation lines start with a space
    while (line.size() - pos > limit) {
        std::size_t cut = pos + limit;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut; // never inside a UTF-8 sequence
        out.append(line.substr(pos, cut - pos));
        out += "\r\n ";
        pos = cut;
        limit = 74;
    }
    out.append(line.substr(pos));
    out += "\r\n";
}

bool ParseContentLines(std::string_view text, std::vector<ContentLine>& out, Failure& failure) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    // Unfold: a line starting with a space or a tab continues the previous one.
    std::vector<std::pair<std::string, int>> lines;
    std::size_t pos = 0;
    int lineNo = 0;
    bool continueQp = false, inBase64 = false;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        ++lineNo;
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
        if (line.empty())
            continue;
        if (!lines.empty() && continueQp) {
            // The previous quoted-printable value ended in a soft break.
            std::string& prev = lines.back().first;
            prev.pop_back();
            prev.append(line);
        } else if ((line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
            lines.back().first.append(line.substr(1));
        } else if (!lines.empty() && inBase64 && line.find(':') == std::string_view::npos) {
            lines.back().first.append(line); // vCard 2.1 writes base64 lines unindented
        } else {
            lines.emplace_back(std::string(line), lineNo);
        }
        const std::string& cur = lines.back().first;
        const std::string head = ToUpperAscii(std::string_view(cur).substr(0, cur.find(':')));
        continueQp = head.find("QUOTED-PRINTABLE") != std::string::npos && cur.back() == '=';
        inBase64 = head.find("BASE64") != std::string::npos ||
                   head.find("ENCODING=B") != std::string::npos;
    }

    out.clear();
    for (const auto& entry : lines) {
        // Named copies rather than a structured binding: clang 14 cannot capture one.
        const std::string& line = entry.first;
        const int number = entry.second;
        ContentLine cl;
        cl.lineNo = number;
        // name, then ;param=value(,value)* with quoted values, then ':' and the value
        std::size_t i = 0;
        auto bad = [&](const char* what) {
            failure = {kExitBadInput, "line " + std::to_string(number) + ": " + what};
            return false;
        };
        while (i < line.size() && line[i] != ';' && line[i] != ':')
            ++i;
        if (i == 0 || i >= line.size())
            return bad("not a content line");
        cl.name = ToUpperAscii(line.substr(0, i));
        // A group prefix ("item1.TEL") does not change what the property is.
        if (const std::size_t dot = cl.name.rfind('.'); dot != std::string::npos) {
            cl.group = cl.name.substr(0, dot);
            cl.name = cl.name.substr(dot + 1);
        }
        while (i < line.size() && line[i] == ';') {
            ++i;
            std::size_t j = i;
            while (j < line.size() && line[j] != '=' && line[j] != ';' && line[j] != ':')
                ++j;
            if (j >= line.size())
                return bad("a parameter without a value");
            const std::string pname = ToUpperAscii(line.substr(i, j - i));
            std::vector<std::string>& values = cl.params[pname];
            i = j;
            if (line[i] != '=')
                continue;
            ++i;
            for (;;) {
                std::string v;
                if (i < line.size() && line[i] == '"') {
                    const std::size_t close = line.find('"', i + 1);
                    if (close == std::string::npos)
                        return bad("a quoted parameter value is never closed");
                    v = line.substr(i + 1, close - i - 1);
                    i = close + 1;
                } else {
                    const std::size_t j2 = line.find_first_of(",;:", i);
                    if (j2 == std::string::npos)
                        return bad("a parameter runs to the end of the line");
                    v = line.substr(i, j2 - i);
                    i = j2;
                }
                values.push_back(v);
                if (i < line.size() && line[i] == ',') {
                    ++i;
                    continue;
                }
                break;
            }
        }
        if (i >= line.size() || line[i] != ':')
            return bad("no ':' before the value");
        cl.value = line.substr(i + 1);
        out.push_back(std::move(cl));
    }
    return true;
}

} // namespace tessera::filters
