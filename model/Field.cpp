// The field base, the text-like fields, flags, the tag-to-class table and shared helpers.

#include "model/Field.h"

#include <cstring>
#include <new>

#include "model/FieldInternal.h"
#include "model/Prompter.h"

namespace tessera {

using fieldimpl::Tag4;

namespace fieldimpl {

std::optional<int> ReadDecimalPart(std::string_view part) {
    std::size_t i = 0;
    while (i < part.size() && part[i] == ' ')
        ++i;
    int value = 0;
    for (; i < part.size(); ++i) {
        const char c = part[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

void AppendZeroPadded(std::string& out, int value, int digits) {
    char buf[16];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 15);
    for (int i = n; i < digits; ++i)
        out.push_back('0');
    while (n > 0)
        out.push_back(buf[--n]);
}

void AppendWithBreaks(std::string& out, std::string_view text, char lineBreak) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Copy runs without a CR in one go; CR and LF never occur as trail bytes.
        const void* cr = std::memchr(text.data() + i, '\r', n - i);
        const std::size_t stop = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - text.data()) : n;
        out.append(text.data() + i, stop - i);
        i = stop;
        if (i >= n)
            break;
        if (i + 1 < n && text[i + 1] == '\n') {
            out.push_back(lineBreak);
            i += 2;
        } else {
            out.push_back('\r'); // a lone CR is copied; the writer decides what to do with it
            ++i;
        }
    }
}

void ReportNoMemory() {
    ShowMessage(1036, PromptIcon::Stop, PromptButtons::Ok);
}

} // namespace fieldimpl

// ---- CField ----

bool CField::FormatText(std::string& out, bool display, std::size_t capacity) const {
    out.clear();
    if (capacity < RequiredCapacity(display))
        return false;
    try {
        if (!Render(out, display)) {
            out.clear();
            return false;
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    if (out.size() >= capacity) {
        out.clear();
        return false;
    }
    return true;
}

bool CField::FormatText(char* buffer, std::size_t capacity, bool display) const {
    if (buffer == nullptr || capacity == 0)
        return false;
    thread_local std::string scratch;
    const bool ok = FormatText(scratch, display, capacity);
    if (!ok) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, scratch.data(), scratch.size());
    buffer[scratch.size()] = '\0';
    return true;
}

std::string CField::Text(bool display) const {
    std::string out;
    FormatText(out, display, kNoLimit);
    return out;
}

// ---- CTextField ----

namespace {

// Scans `text` character by character: whether it holds a TAB and how many single 0x1F
// bytes it holds. Trail bytes are never taken for either.
void ScanText(std::string_view text, bool& tab, std::size_t& separators) {
    tab = false;
    separators = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c < 0x20) {
            if (c == '\t')
                tab = true;
            else if (c == 0x1f)
                ++separators;
        } else if (fieldimpl::IsLeadByte(c)) {
            ++i;
        }
    }
}

bool HoldsTab(std::string_view text) {
    bool tab = false;
    std::size_t separators = 0;
    ScanText(text, tab, separators);
    return tab;
}

} // namespace

CTextField::CTextField(const CTextField& other) : CField(other), m_text(other.m_text) {}

bool CTextField::ParseText(std::string_view text) {
    if (text.empty()) {
        Clear();
        return true;
    }
    try {
        bool tabMode = false;
        std::size_t separators = 0;
        ScanText(text, tabMode, separators);
        if (tabMode || separators == 0) {
            m_text.assign(text); // nothing to convert
        } else {
            std::string converted;
            converted.reserve(text.size() + separators);
            for (std::size_t i = 0; i < text.size(); ++i) {
                const char c = text[i];
                if (fieldimpl::IsLeadByte(static_cast<unsigned char>(c))) {
                    converted.push_back(c);
                    if (i + 1 < text.size())
                        converted.push_back(text[++i]);
                } else if (c == '\x1f') {
                    converted.append("\r\n");
                } else {
                    converted.push_back(c);
                }
            }
            m_text = std::move(converted);
        }
        m_tabMode = tabMode;
    } catch (const std::bad_alloc&) {
        fieldimpl::ReportNoMemory();
        Clear();
        return false;
    }
    return true;
}

bool CTextField::SetValue(const FieldValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr)
        return false;
    m_text = *text;
    m_tabMode = HoldsTab(m_text);
    return true;
}

void CTextField::Clear() {
    m_text.clear();
    m_tabMode = false;
}

std::unique_ptr<CField> CTextField::Clone() const {
    return std::make_unique<CTextField>(*this);
}

std::size_t CTextField::RequiredCapacity(bool) const {
    return m_text.size() + 1;
}

bool CTextField::Render(std::string& out, bool display) const {
    fieldimpl::AppendWithBreaks(out, m_text, display ? ' ' : '\x1f');
    return true;
}

// ---- CSubTextField ----

namespace {
constexpr std::string_view kSubTextPrefix = "MEM1:";
} // namespace

bool CSubTextField::ParseText(std::string_view text) {
    if (text.empty()) {
        m_text.clear();
        return true;
    }
    if (text.substr(0, kSubTextPrefix.size()) != kSubTextPrefix) {
        m_text.clear();
        return false;
    }
    const std::string_view rest = text.substr(kSubTextPrefix.size());
    const std::size_t end = rest.find('\x1e');
    if (end == std::string_view::npos) {
        m_text.clear();
        return false;
    }
    try {
        std::string content;
        content.reserve(end + 16);
        for (std::size_t i = 0; i < end; ++i) {
            if (rest[i] == '\x1f')
                content.append("\r\n");
            else
                content.push_back(rest[i]);
        }
        m_text = std::move(content);
    } catch (const std::bad_alloc&) {
        fieldimpl::ReportNoMemory();
        m_text.clear();
        return false;
    }
    return true;
}

bool CSubTextField::SetValue(const FieldValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr)
        return false;
    m_text = *text;
    return true;
}

std::unique_ptr<CField> CSubTextField::Clone() const {
    return std::make_unique<CSubTextField>(*this);
}

std::size_t CSubTextField::RequiredCapacity(bool) const {
    return m_text.empty() ? 1 : m_text.size() + 8;
}

bool CSubTextField::Render(std::string& out, bool display) const {
    if (m_text.empty())
        return true;
    if (display) {
        fieldimpl::AppendWithBreaks(out, m_text, ' ');
        return true;
    }
    out.append(kSubTextPrefix);
    fieldimpl::AppendWithBreaks(out, m_text, '\x1f');
    out.append("\x1e\x0c");
    return true;
}

// ---- CFlagField ----

bool CFlagField::ParseText(std::string_view text) {
    if (!text.empty() && text[0] == '*') {
        m_value = 1;
        return true;
    }
    if (!text.empty() && text[0] == ' ') {
        m_value = 0;
        return true;
    }
    m_value = 0;
    return false;
}

bool CFlagField::SetValue(const FieldValue& value) {
    // Only 0 and 1 can be written and read back; any other integer would turn into 0.
    const auto* v = std::get_if<int32_t>(&value);
    if (v == nullptr || (*v != 0 && *v != 1))
        return false;
    m_value = *v;
    return true;
}

std::unique_ptr<CField> CFlagField::Clone() const {
    return std::make_unique<CFlagField>(*this);
}

std::size_t CFlagField::RequiredCapacity(bool) const {
    return 2;
}

bool CFlagField::Render(std::string& out, bool) const {
    out.push_back(m_value == 1 ? '*' : ' ');
    return true;
}

// ---- Tag table and factory ----

FieldClass FieldClassOf(FieldTag tag) {
    switch (tag) {
    case Tag4("NAME"):
    case Tag4("NAPR"):
    case Tag4("TEL1"):
    case Tag4("FAX1"):
    case Tag4("OFCE"):
    case Tag4("OFPR"):
    case Tag4("SCTN"):
    case Tag4("PSTN"):
    case Tag4("ZIPC"):
    case Tag4("ADR1"):
    case Tag4("MEM1"):
    case Tag4("CLAS"):
        return FieldClass::Text;
    case Tag4("RMRK"):
    case Tag4("ASCT"):
        return FieldClass::SubText;
    case Tag4("SCRT"):
    case Tag4("ALON"):
        return FieldClass::Flag;
    case Tag4("BRTH"):
    case Tag4("TIM1"):
    case Tag4("TIM2"):
    case Tag4("ALRM"):
    case Tag4("ANN1"):
    case Tag4("ETDY"):
    case Tag4("FNDY"):
    case Tag4("LTDY"):
        return FieldClass::Time;
    case Tag4("ANN2"):
        return FieldClass::DayWeek;
    case Tag4("CHK1"):
    case Tag4("CHK2"):
    case Tag4("CHK3"):
    case Tag4("CHK4"):
        return FieldClass::Check;
    case Tag4("MARK"):
    case Tag4("PRTY"):
        return FieldClass::Ascii;
    case Tag4("PRF1"):
        return FieldClass::Binary;
    case Tag4("CLSC"):
        return FieldClass::Phonogram;
    case Tag4("IMG1"):
        return FieldClass::Image;
    default:
        return FieldClass::None;
    }
}

const char* FieldClassName(FieldClass fieldClass) {
    switch (fieldClass) {
    case FieldClass::Text: return "CTextField";
    case FieldClass::SubText: return "CSubTextField";
    case FieldClass::Flag: return "CFlagField";
    case FieldClass::Time: return "CTimeField";
    case FieldClass::DayWeek: return "CDayWeekField";
    case FieldClass::Check: return "CCheckField";
    case FieldClass::Ascii: return "CAsciiField";
    case FieldClass::Binary: return "CBinaryField";
    case FieldClass::Phonogram: return "CPhonogramField";
    case FieldClass::Image: return "CImageField";
    case FieldClass::None: break;
    }
    return "";
}

std::unique_ptr<CField> CreateField(FieldTag tag) {
    switch (FieldClassOf(tag)) {
    case FieldClass::Text: return std::make_unique<CTextField>(tag);
    case FieldClass::SubText: return std::make_unique<CSubTextField>(tag);
    case FieldClass::Flag: return std::make_unique<CFlagField>(tag);
    case FieldClass::Time: return std::make_unique<CTimeField>(tag);
    case FieldClass::DayWeek: return std::make_unique<CDayWeekField>(tag);
    case FieldClass::Check: return std::make_unique<CCheckField>(tag);
    case FieldClass::Ascii: return std::make_unique<CAsciiField>(tag);
    case FieldClass::Binary: return std::make_unique<CBinaryField>(tag);
    case FieldClass::Phonogram: return std::make_unique<CPhonogramField>(tag);
    case FieldClass::Image: return std::make_unique<CImageField>(tag);
    case FieldClass::None: break;
    }
    return nullptr;
}

FieldTag TagCodeOf(std::string_view tag) {
    if (tag.size() < 4)
        return 0;
    return (static_cast<FieldTag>(static_cast<unsigned char>(tag[0])) << 24) |
           (static_cast<FieldTag>(static_cast<unsigned char>(tag[1])) << 16) |
           (static_cast<FieldTag>(static_cast<unsigned char>(tag[2])) << 8) |
           static_cast<FieldTag>(static_cast<unsigned char>(tag[3]));
}

std::string NormalizeLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append("\r\n");
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace tessera
