#include "base/Cp932.h"

#include "text/Cp932Text.h"
#include "text/Cp932Twins.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace tessera {

namespace {

constexpr char32_t kDeviceBase = kDeviceCodeBase;

// The build-time tables of text/ indexed for the edges: decoding a table cell then costs one
// array read, and both layers agree on every code because they read the same data.
struct Cp932Tables {
    std::vector<char32_t> decode;                  // index: code (0..0xFFFF); 0 = undefined
    std::unordered_map<char32_t, unsigned> encode; // Unicode -> canonical code

    Cp932Tables() : decode(0x10000, 0) {
        for (std::size_t i = 0; i < detail::kCp932DecodeCount; ++i) {
            const char32_t u = detail::kCp932Decode[i].second;
            decode[detail::kCp932Decode[i].first] = u == 0 ? 0xFFFFFFFF : u;
        }
        encode.reserve(detail::kCp932EncodeCount);
        for (std::size_t i = 0; i < detail::kCp932EncodeCount; ++i)
            encode.emplace(detail::kCp932Encode[i].first, detail::kCp932Encode[i].second);
    }
};

const Cp932Tables& Tables() {
    static const Cp932Tables tables;
    return tables;
}

char32_t DecodeCode(const Cp932Tables& t, unsigned code) {
    const char32_t u = t.decode[code];
    if (u == 0)
        return kDeviceBase + code;
    return u == 0xFFFFFFFF ? 0 : u;
}

QString Decode(std::string_view bytes, bool forDisplay) {
    const Cp932Tables& t = Tables();
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        unsigned code = static_cast<unsigned char>(bytes[i]);
        std::size_t n = 1;
        if (IsLeadByte(static_cast<unsigned char>(code)) && i + 1 < bytes.size()) {
            code = (code << 8) | static_cast<unsigned char>(bytes[i + 1]);
            n = 2;
        }
        const char32_t u = DecodeCode(t, code);
        if (u > 0xFFFF && forDisplay) {
            out += QChar(char16_t{0x3013});
        } else if (u > 0xFFFF) {
            out += QChar(QChar::highSurrogate(u));
            out += QChar(QChar::lowSurrogate(u));
        } else {
            out += QChar(static_cast<char16_t>(u));
        }
        i += n;
    }
    return out;
}

} // namespace

QString Cp932ToQString(std::string_view bytes) {
    return Decode(bytes, false);
}

QString Cp932ToDisplayString(std::string_view bytes) {
    return Decode(bytes, true);
}

bool IsDeviceCodeChar(char32_t c, unsigned* code) {
    if (c < kDeviceBase || c > kDeviceBase + 0xFFFF)
        return false;
    const unsigned v = c - kDeviceBase;
    // Only codes the decoder itself turns into this character count.
    if (Tables().decode[v] != 0)
        return false;
    if (code)
        *code = v;
    return true;
}

bool QStringToCp932(const QString& text, std::string& out, qsizetype* badIndex) {
    const Cp932Tables& t = Tables();
    out.clear();
    out.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        const qsizetype at = i;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        unsigned code = 0;
        bool ok = false;
        if (IsDeviceCodeChar(c, &code)) {
            ok = true;
        } else if (auto it = t.encode.find(c); it != t.encode.end()) {
            code = it->second;
            ok = true;
        } else if (const char32_t twin = Cp932Twin(c); twin != 0) {
            if (auto tw = t.encode.find(twin); tw != t.encode.end()) {
                code = tw->second;
                ok = true;
            }
        }
        if (!ok) {
            if (badIndex)
                *badIndex = at;
            return false;
        }
        if (code > 0xFF)
            out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    }
    return true;
}

std::string QStringToCp932Lossy(const QString& text) {
    std::string out, piece;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        if (QStringToCp932(text.mid(i, n), piece))
            out += piece;
        else
            out += '?';
        i += n - 1;
    }
    return out;
}

} // namespace tessera
