#include "model/Find.h"

#include "model/RecordSet.h"
#include "resources/Cp932Data.h"
#include "text/LeadByte.h"

#include <array>
#include <memory>

namespace tessera {

namespace {

constexpr char16_t kVoiced = u'\u309B';     // ゛ as the folded form keeps it
constexpr char16_t kSemiVoiced = u'\u309C'; // ゜
constexpr char16_t kUnknown = u'\uFFFD';

// Half-width katakana U+FF66..U+FF9D as their full-width letters.
constexpr char16_t kHalfKana[] =
    u"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
    u"ハヒフヘホマミムメモヤユヨラリルレロワン";

// Hiragana that carry a voiced (1) or semi-voiced (2) mark, each as base + 1 or + 2.
int VoicedStep(char16_t h) {
    if ((h >= u'\u304C' && h <= u'\u3062' && h % 2 == 0) || h == u'\u3065' || h == u'\u3067' ||
        h == u'\u3069')
        return 1; // が..ぢ, づ, で, ど
    if (h >= u'\u3070' && h <= u'\u307D') {
        const int r = (h - 0x306F) % 3; // は ば ぱ, ひ び ぴ, ...
        return r;
    }
    return 0;
}

// One Unicode character, folded, appended to `out`.
void FoldChar(std::u16string& out, char32_t c) {
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z')
            c += 0x20;
        out += static_cast<char16_t>(c);
        return;
    }
    if (c > 0xFFFF) {
        out += kUnknown;
        return;
    }
    if (c == 0x3000) { // ideographic space
        out += u' ';
        return;
    }
    if (c >= 0xFF01 && c <= 0xFF5E) { // full-width ASCII
        FoldChar(out, c - 0xFEE0);
        return;
    }
    // The long-vowel mark and the dashes, in every width.
    switch (c) {
    case 0x30FC:
    case 0xFF70:
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212:
    case 0x2500:
        out += u'-';
        return;
    case 0x301C: // wave dash, as the full-width tilde
        out += u'~';
        return;
    case 0x3099:
    case 0xFF9E:
        out += kVoiced;
        return;
    case 0x309A:
    case 0xFF9F:
        out += kSemiVoiced;
        return;
    case 0xFF61:
        out += u'\u3002';
        return; // ｡
    case 0xFF62:
        out += u'\u300C';
        return; // ｢
    case 0xFF63:
        out += u'\u300D';
        return; // ｣
    case 0xFF64:
        out += u'\u3001';
        return; // ､
    case 0xFF65:
        out += u'\u30FB';
        return; // ･
    default:
        break;
    }
    if (c >= 0xFF66 && c <= 0xFF9D) {
        FoldChar(out, kHalfKana[c - 0xFF66]);
        return;
    }
    // Katakana as hiragana; the four with no hiragana twin as their base and the mark.
    if (c >= 0x30F7 && c <= 0x30FA) {
        static constexpr char16_t bases[] = u"わゐゑを";
        out += bases[c - 0x30F7];
        out += kVoiced;
        return;
    }
    if ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE)
        c -= 0x60;
    if (c >= 0x3041 && c <= 0x3096) {
        const char16_t h = static_cast<char16_t>(c);
        if (h == u'\u3094') { // ゔ
            out += u'\u3046';
            out += kVoiced;
            return;
        }
        const int step = VoicedStep(h);
        if (step != 0) {
            out += static_cast<char16_t>(h - step);
            out += step == 1 ? kVoiced : kSemiVoiced;
            return;
        }
        out += h;
        return;
    }
    if (c == 0x309E) { // ゞ
        out += u'\u309D';
        out += kVoiced;
        return;
    }
    // Greek and Cyrillic capitals, which code page 932 also holds.
    if ((c >= 0x0391 && c <= 0x03A9) || (c >= 0x0410 && c <= 0x042F)) {
        out += static_cast<char16_t>(c + 0x20);
        return;
    }
    if (c == 0x0401) {
        out += u'\u0451';
        return;
    }
    out += static_cast<char16_t>(c);
}

// The Unicode character of every code page 932 code, 0 where the code has none.
const std::array<char16_t, 0x10000>& DecodeTable() {
    static const std::unique_ptr<std::array<char16_t, 0x10000>> table = [] {
        auto t = std::make_unique<std::array<char16_t, 0x10000>>();
        t->fill(0);
        for (std::size_t i = 0; i < detail::kCp932DecodeCount; ++i)
            (*t)[detail::kCp932Decode[i].first] = detail::kCp932Decode[i].second;
        for (unsigned b = 0; b < 0x80; ++b)
            (*t)[b] = static_cast<char16_t>(b);
        for (unsigned b = 0xA1; b <= 0xDF; ++b)
            (*t)[b] = static_cast<char16_t>(0xFF61 + (b - 0xA1));
        return t;
    }();
    return *table;
}

bool IsQuerySpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool IsMark(char16_t c) {
    return c == kVoiced || c == kSemiVoiced;
}

// `word` occurs in `text`, but not as the plain half of a voiced kana: "やまた" is not in
// "やまだ", which is folded as "やまた゛".
bool Contains(std::u16string_view text, std::u16string_view word) {
    std::size_t at = text.find(word);
    while (at != std::u16string_view::npos) {
        const std::size_t end = at + word.size();
        if (end >= text.size() || !IsMark(text[end]))
            return true;
        at = text.find(word, at + 1);
    }
    return false;
}

} // namespace

void AppendFolded(std::u16string& out, std::string_view cp932) {
    const auto& decode = DecodeTable();
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        unsigned code = b;
        if (IsLeadByte(b) && i + 1 < cp932.size()) {
            code = (code << 8) | static_cast<unsigned char>(cp932[++i]);
        }
        const char16_t u = decode[code];
        if (u == 0 && code != 0)
            out += kUnknown;
        else
            FoldChar(out, u);
    }
}

std::u16string FoldText(std::string_view cp932) {
    std::u16string out;
    out.reserve(cp932.size());
    AppendFolded(out, cp932);
    return out;
}

std::u16string RecordFindText(const CDataRecord& record) {
    std::u16string out;
    std::string text;
    const int n = record.FieldCount();
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            out += kFindFieldBreak;
        if (record.FormatField(i, text, true))
            AppendFolded(out, text);
    }
    return out;
}

CFindQuery::CFindQuery(std::string_view cp932) {
    const std::u16string folded = FoldText(cp932);
    std::size_t i = 0;
    while (i < folded.size()) {
        while (i < folded.size() && IsQuerySpace(folded[i]))
            ++i;
        std::size_t end = i;
        while (end < folded.size() && !IsQuerySpace(folded[end]))
            ++end;
        if (end > i)
            m_words.emplace_back(folded, i, end - i);
        i = end;
    }
}

CFindQuery CFindQuery::Nothing() {
    CFindQuery q;
    q.m_nothing = true;
    return q;
}

bool CFindQuery::Matches(std::u16string_view findText) const {
    if (m_nothing)
        return false;
    for (const std::u16string& w : m_words)
        if (!Contains(findText, w))
            return false;
    return true;
}

bool CFindQuery::Matches(const CDataRecord& record) const {
    return IsEmpty() || Matches(RecordFindText(record));
}

std::vector<int> FindRecords(const CRecordSet& set, const CFindQuery& query) {
    std::vector<int> out;
    for (int i = 0; i < set.RecordCount(); ++i)
        if (const CDataRecord* r = set.RecordAt(i); r != nullptr && query.Matches(*r))
            out.push_back(i);
    return out;
}

} // namespace tessera
