#include "base/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <memory>
#include <unordered_map>
#include <vector>

namespace tessera {

namespace {

constexpr char32_t kDeviceBase = 0xF0000;

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD); }

// The codec's answer for every code, taken once: decoding then needs no converter state,
// and a code the codec does not define is known exactly instead of being replaced.
struct Cp932Tables {
    std::vector<char32_t> decode;                // index: code (0..0xFFFF); 0 = undefined
    std::unordered_map<char32_t, unsigned> encode; // Unicode -> canonical code

    Cp932Tables() : decode(0x10000, 0) {
        auto tryCode = [&](unsigned code, const QByteArray& bytes) {
            // A fresh converter per code: an error would otherwise stick to the next one.
            QStringDecoder dec("windows-31j");
            QString s = dec.decode(bytes);
            if (dec.hasError() || s.size() != 1 || s.at(0) == QChar(0xFFFD) ||
                (s.at(0) == QChar(0x1A) && code != 0x1A))
                return;
            const char32_t u = s.at(0).unicode();
            decode[code] = u == 0 ? 0xFFFFFFFF : u;
            if (!encode.count(u)) {
                QStringEncoder enc("windows-31j");
                QByteArray b = enc.encode(s);
                if (enc.hasError() || b.isEmpty() || b.size() > 2)
                    return;
                unsigned c = 0;
                for (char ch : b)
                    c = (c << 8) | static_cast<unsigned char>(ch);
                encode.emplace(u, c);
            }
        };
        for (unsigned b = 0; b < 0x100; ++b)
            if (!IsLead(static_cast<unsigned char>(b)))
                tryCode(b, QByteArray(1, static_cast<char>(b)));
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0)
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                QByteArray b;
                b += static_cast<char>(lead);
                b += static_cast<char>(trail);
                tryCode((lead << 8) | trail, b);
            }
        }
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
        if (IsLead(static_cast<unsigned char>(code)) && i + 1 < bytes.size()) {
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

QString Cp932ToQString(std::string_view bytes) { return Decode(bytes, false); }

QString Cp932ToDisplayString(std::string_view bytes) { return Decode(bytes, true); }

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
