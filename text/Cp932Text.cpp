#include "text/Cp932Text.h"

#include <algorithm>
#include <memory>

namespace tessera {

namespace {

const detail::Cp932Pair* Find(const detail::Cp932Pair* begin, std::size_t count, unsigned key) {
    const detail::Cp932Pair* end = begin + count;
    const detail::Cp932Pair* it = std::lower_bound(
        begin, end, key, [](const detail::Cp932Pair& p, unsigned k) { return p.first < k; });
    return (it != end && it->first == key) ? it : nullptr;
}

// Decodes one UTF-8 sequence at `i`; returns false when it is malformed.
bool NextUtf8(std::string_view s, std::size_t& i, char32_t& c) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t min = 0;
    if (b < 0x80) {
        c = b;
        ++i;
        return true;
    } else if ((b & 0xE0) == 0xC0) {
        extra = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3, c = b & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + extra >= s.size())
        return false;
    for (int k = 1; k <= extra; ++k) {
        auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    i += extra + 1;
    return true;
}

} // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool Utf8ToCp932(std::string_view utf8, std::string& out, std::size_t* badOffset) {
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t at = i;
        char32_t c = 0;
        bool ok = NextUtf8(utf8, i, c);
        if (ok && c >= kDeviceCodeBase && c <= kDeviceCodeBase + 0xFFFF) {
            const unsigned code = c - kDeviceCodeBase;
            // Only codes the decoder would have produced this way are given back.
            ok = Find(detail::kCp932Decode, detail::kCp932DecodeCount, code) == nullptr;
            if (ok && code > 0xFF) {
                out += static_cast<char>(code >> 8);
                out += static_cast<char>(code & 0xFF);
            } else if (ok) {
                out += static_cast<char>(code);
            }
        } else if (ok) {
            const detail::Cp932Pair* p =
                c <= 0xFFFF ? Find(detail::kCp932Encode, detail::kCp932EncodeCount, c) : nullptr;
            ok = p != nullptr;
            if (ok && p->second > 0xFF)
                out += static_cast<char>(p->second >> 8);
            if (ok)
                out += static_cast<char>(p->second & 0xFF);
        }
        if (!ok) {
            if (badOffset)
                *badOffset = at;
            return false;
        }
    }
    return true;
}

namespace {

// The character of every code, or the one that stands for a code the table lacks: one look-up
// per character instead of a search, since exports turn whole files into UTF-8. Made on
// first use, 256 KiB.
const char32_t* DecodeTable() {
    static const std::unique_ptr<char32_t[]> table = [] {
        auto t = std::make_unique<char32_t[]>(0x10000);
        for (unsigned code = 0; code < 0x10000; ++code)
            t[code] = kDeviceCodeBase + code;
        for (std::size_t k = 0; k < detail::kCp932DecodeCount; ++k)
            t[detail::kCp932Decode[k].first] = detail::kCp932Decode[k].second;
        return t;
    }();
    return table.get();
}

// AppendUtf8's bytes at `dst`; returns how many.
std::size_t EncodeUtf8(char* dst, char32_t c) {
    if (c < 0x80) {
        dst[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        dst[0] = static_cast<char>(0xC0 | (c >> 6));
        dst[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        dst[0] = static_cast<char>(0xE0 | (c >> 12));
        dst[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        dst[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    dst[0] = static_cast<char>(0xF0 | (c >> 18));
    dst[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    dst[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    dst[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

} // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    const char32_t* const table = DecodeTable();
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    // Characters go to a small buffer first, which goes to `out` in large pieces.
    char chunk[1024];
    std::size_t used = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    const unsigned char* const end = p + cp932.size();
    while (p < end) {
        unsigned code = *p++;
        if (IsLeadByte(static_cast<unsigned char>(code)) && p < end)
            code = (code << 8) | *p++;
        used += EncodeUtf8(chunk + used, table[code]);
        if (used > sizeof chunk - 4) {
            out.append(chunk, used);
            used = 0;
        }
    }
    out.append(chunk, used);
    return out;
}

} // namespace tessera
