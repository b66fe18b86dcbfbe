// Print-format bytes, classification codes and memo pictures.

#include "model/DiBitmap.h"
#include "model/Field.h"
#include "model/FieldInternal.h"

#include <cstdio>
#include <new>
#include <string>

namespace tessera {

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The plain hiragana a classification may hold, in code order: no small, voiced or
// semi-voiced forms, no ゐ or ゑ.
constexpr uint16_t kClassHiragana[] = {
    0x82A0, 0x82A2, 0x82A4, 0x82A6, 0x82A8, 0x82A9, 0x82AB, 0x82AD, 0x82AF, 0x82B1, 0x82B3, 0x82B5,
    0x82B7, 0x82B9, 0x82BB, 0x82BD, 0x82BF, 0x82C2, 0x82C4, 0x82C6, 0x82C8, 0x82C9, 0x82CA, 0x82CB,
    0x82CC, 0x82CD, 0x82D0, 0x82D3, 0x82D6, 0x82D9, 0x82DC, 0x82DD, 0x82DE, 0x82DF, 0x82E0, 0x82E2,
    0x82E4, 0x82E6, 0x82E7, 0x82E8, 0x82E9, 0x82EA, 0x82EB, 0x82ED, 0x82F0, 0x82F1,
};
static_assert(sizeof(kClassHiragana) / sizeof(kClassHiragana[0]) == 46);

constexpr uint16_t kFullWidthSpace = 0x8140;
constexpr uint16_t kFullWidthZero = 0x824F;
constexpr uint16_t kFullWidthNine = 0x8258;

} // namespace

// ---- CBinaryField ----

bool CBinaryField::ParseText(std::string_view text) {
    if (text.empty()) {
        m_bytes.clear();
        return true;
    }
    m_bytes.clear();
    if (text.size() % 2 != 0)
        return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigitValue(text[i]);
        const int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    m_bytes = std::move(bytes);
    return true;
}

bool CBinaryField::SetValue(const FieldValue& value) {
    const auto* bytes = std::get_if<std::vector<uint8_t>>(&value);
    if (bytes == nullptr)
        return false;
    m_bytes = *bytes;
    return true;
}

std::unique_ptr<CField> CBinaryField::Clone() const {
    return std::make_unique<CBinaryField>(*this);
}

std::size_t CBinaryField::RequiredCapacity(bool) const {
    return 2 * m_bytes.size() + 1;
}

bool CBinaryField::Render(std::string& out, bool) const {
    const std::size_t start = out.size();
    out.resize(start + 2 * m_bytes.size());
    char* p = out.data() + start;
    for (const uint8_t b : m_bytes) {
        *p++ = kHexDigits[b >> 4];
        *p++ = kHexDigits[b & 0x0F];
    }
    return true;
}

// ---- CPhonogramField ----

bool CPhonogramField::IsAcceptedCode(uint16_t code) {
    if (code == kFullWidthSpace)
        return true;
    if (code >= kFullWidthZero && code <= kFullWidthNine)
        return true;
    for (const uint16_t h : kClassHiragana) {
        if (h == code)
            return true;
    }
    return false;
}

bool CPhonogramField::ParseText(std::string_view text) {
    if (text.empty()) {
        m_code = 0;
        return true;
    }
    // A digit may arrive folded to ASCII by the reader's character conversion; it stands
    // for the full-width digit, or a digit classification would be lost on every read.
    if (text[0] >= '0' && text[0] <= '9') {
        m_code = static_cast<uint16_t>(kFullWidthZero + (text[0] - '0'));
        return true;
    }
    if (text.size() < 2) {
        m_code = 0;
        return false;
    }
    const auto code = static_cast<uint16_t>(static_cast<unsigned char>(text[0]) << 8 |
                                            static_cast<unsigned char>(text[1]));
    if (!IsAcceptedCode(code)) {
        m_code = 0;
        return false;
    }
    m_code = code;
    return true;
}

bool CPhonogramField::SetValue(const FieldValue& value) {
    uint16_t code = 0;
    if (const auto* c = std::get_if<uint16_t>(&value)) {
        code = *c;
    } else if (const auto* i = std::get_if<int32_t>(&value)) {
        if (*i < 0 || *i > 0xFFFF)
            return false;
        code = static_cast<uint16_t>(*i);
    } else {
        return false;
    }
    if (!IsAcceptedCode(code))
        return false;
    m_code = code;
    return true;
}

std::unique_ptr<CField> CPhonogramField::Clone() const {
    return std::make_unique<CPhonogramField>(*this);
}

std::size_t CPhonogramField::RequiredCapacity(bool) const {
    return 3;
}

bool CPhonogramField::Render(std::string& out, bool) const {
    if (m_code == 0)
        return true;
    out.push_back(static_cast<char>(m_code >> 8));
    out.push_back(static_cast<char>(m_code & 0xFF));
    return true;
}

// ---- CImageField ----

CImageField::CImageField(FieldTag tag) : CField(tag) {}

CImageField::CImageField(const CImageField& other) : CField(other) {
    if (other.m_bitmap)
        m_bitmap = std::make_unique<CDiBitmap>(*other.m_bitmap);
}

CImageField::~CImageField() = default;

bool CImageField::ParseText(std::string_view text) {
    if (text.empty()) {
        m_bitmap.reset();
        return true;
    }
    // Decode into a new bitmap so that a refused text leaves the previous picture alone.
    try {
        auto bitmap = std::make_unique<CDiBitmap>();
        if (!ParseImageText(text, *bitmap))
            return false;
        if (bitmap->IsEmpty())
            m_bitmap.reset();
        else
            m_bitmap = std::move(bitmap);
    } catch (const std::bad_alloc&) {
        fieldimpl::ReportNoMemory();
        return false;
    }
    return true;
}

bool CImageField::SetValue(const FieldValue& value) {
    const auto* p = std::get_if<const CDiBitmap*>(&value);
    if (p == nullptr || *p == nullptr)
        return false;
    try {
        if ((*p)->IsEmpty())
            m_bitmap.reset();
        else
            m_bitmap = std::make_unique<CDiBitmap>(**p);
    } catch (const std::bad_alloc&) {
        fieldimpl::ReportNoMemory();
        return false;
    }
    return true;
}

FieldValueRef CImageField::GetValue() const {
    if (!m_bitmap)
        return std::monostate{};
    return static_cast<const CDiBitmap*>(m_bitmap.get());
}

void CImageField::Clear() {
    m_bitmap.reset();
}

std::unique_ptr<CField> CImageField::Clone() const {
    return std::make_unique<CImageField>(*this);
}

std::size_t CImageField::RequiredCapacity(bool display) const {
    return display ? 16 : kImageTextMinCapacity;
}

bool CImageField::Render(std::string& out, bool display) const {
    if (!m_bitmap || m_bitmap->IsEmpty())
        return true;
    if (display) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%d x %d", m_bitmap->Width(), m_bitmap->Height());
        out.append(buf);
        return true;
    }
    const std::string text = ImageText(*m_bitmap);
    if (text.empty())
        return false; // a picture the packed text cannot state
    out.append(text);
    return true;
}

} // namespace tessera
