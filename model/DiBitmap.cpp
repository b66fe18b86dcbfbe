#include "model/DiBitmap.h"

#include "model/Prompter.h"
#include "resources/StringIds.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tessera {

namespace {

constexpr int kMsgNoMemory = ids::kMsgNoMemory;
constexpr int kMsgUnsupportedPacking = 1059;
constexpr int kMsgDataTooLong = 2050;

// Offsets inside the 40-byte bitmap header.
constexpr std::size_t kOffSize = 0;
constexpr std::size_t kOffWidth = 4;
constexpr std::size_t kOffHeight = 8;
constexpr std::size_t kOffPlanes = 12;
constexpr std::size_t kOffBitCount = 14;
constexpr std::size_t kOffCompression = 16;
constexpr std::size_t kOffClrUsed = 32;
constexpr std::size_t kOffColor0 = 40; // blue, green, red, reserved
constexpr std::size_t kOffColor1 = 44;

// Packed stream header.
constexpr std::size_t kStreamHeaderSize = 8;
constexpr std::size_t kStreamTrailerSize = 2;
constexpr std::size_t kMaxStreamSize = 0xFFFF;
constexpr std::uint8_t kPackingNone = 0;
constexpr std::uint8_t kPackingRunLength = 2;
constexpr std::size_t kMaxLiteralRun = 128;
constexpr std::size_t kMaxRepeatRun = 129;
constexpr std::size_t kMinRepeatRun = 3;

std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutU16(std::uint8_t* p, std::size_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Decodes `count` bytes from the digit pairs at the start of `digits` (which holds at least
// 2 * count characters). False on a character that is not a hexadecimal digit.
bool DecodeHex(std::string_view digits, std::size_t count, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
        const int hi = HexValue(digits[2 * i]);
        const int lo = HexValue(digits[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

// Packs one row on its own: runs of 3 or more equal bytes become repeat codes of at most
// 129, everything between becomes literal codes of at most 128 bytes, cut from the left.
// One or two bytes left over from a repeat run longer than 129 begin the next literal.
void PackRow(const std::vector<std::uint8_t>& row, std::vector<std::uint8_t>& out) {
    const std::size_t n = row.size();
    std::size_t literalStart = 0;
    auto flushLiteral = [&](std::size_t end) {
        while (literalStart < end) {
            const std::size_t count = std::min(kMaxLiteralRun, end - literalStart);
            out.push_back(static_cast<std::uint8_t>(count - 1));
            out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(literalStart),
                       row.begin() + static_cast<std::ptrdiff_t>(literalStart + count));
            literalStart += count;
        }
    };

    std::size_t i = 0;
    while (i < n) {
        std::size_t j = i + 1;
        while (j < n && row[j] == row[i])
            ++j;
        std::size_t run = j - i;
        if (run < kMinRepeatRun) {
            i = j;
            continue;
        }
        flushLiteral(i);
        while (run >= kMinRepeatRun) {
            const std::size_t count = std::min(run, kMaxRepeatRun);
            out.push_back(static_cast<std::uint8_t>(257 - count));
            out.push_back(row[i]);
            i += count;
            run -= count;
        }
        literalStart = i;
        i += run;
    }
    flushLiteral(n);
}

} // namespace

// ---- CDiBitmap ----

void CDiBitmap::Clear() {
    m_info.clear();
    m_info.shrink_to_fit();
    m_bits.clear();
    m_bits.shrink_to_fit();
    m_width = 0;
    m_height = 0;
    m_colorsUsed = 0;
}

bool CDiBitmap::CopyFrom(const CDiBitmap& other) {
    if (this == &other)
        return true;
    try {
        CDiBitmap copy(other);
        *this = std::move(copy);
        return true;
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
}

bool CDiBitmap::TakeInfo(std::span<const std::uint8_t> info) {
    if (info.size() < kDibInfoSize)
        return false;
    const std::uint8_t* p = info.data();
    const auto width = static_cast<std::int32_t>(GetU32(p + kOffWidth));
    const auto rawHeight = static_cast<std::int32_t>(GetU32(p + kOffHeight));
    const std::int64_t height = rawHeight < 0 ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
    const std::uint32_t colorsUsed = GetU32(p + kOffClrUsed);
    // Every size below is derived from a one-plane, uncompressed, 1 bit-per-pixel layout;
    // any other header would make them wrong.
    if (GetU32(p + kOffSize) != kDibHeaderSize || GetU16(p + kOffPlanes) != 1 ||
        GetU16(p + kOffBitCount) != 1 || GetU32(p + kOffCompression) != 0)
        return false;
    if (width < 1 || width > kMaxImageSide || height < 1 || height > kMaxImageSide ||
        colorsUsed > 2)
        return false;
    std::vector<std::uint8_t> newInfo(info.begin(), info.begin() + kDibInfoSize);
    std::vector<std::uint8_t> newBits(PaddedRowSizeFor(width) * static_cast<std::size_t>(height));
    m_info = std::move(newInfo);
    m_bits = std::move(newBits);
    m_width = width;
    m_height = static_cast<int>(height);
    m_colorsUsed = static_cast<int>(colorsUsed);
    return true;
}

bool CDiBitmap::SetInfo(std::span<const std::uint8_t> info) {
    try {
        return TakeInfo(info);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
}

void CDiBitmap::TakePackedBits(std::span<const std::uint8_t> bytes) {
    const std::size_t packed = PackedRowSize();
    const std::size_t padded = PaddedRowSize();
    std::vector<std::uint8_t> bits(padded * static_cast<std::size_t>(m_height), 0);
    for (std::size_t row = 0; row < static_cast<std::size_t>(m_height); ++row)
        std::memcpy(bits.data() + row * padded, bytes.data() + row * packed, packed);
    m_bits = std::move(bits);
}

bool CDiBitmap::SetPackedBits(std::span<const std::uint8_t> bytes) {
    if (IsEmpty() || bytes.size() < PackedSize())
        return false;
    try {
        TakePackedBits(bytes);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    return true;
}

bool CDiBitmap::SetDibBits(std::span<const std::uint8_t> bytes) {
    const std::size_t size = PaddedRowSize() * static_cast<std::size_t>(m_height);
    if (IsEmpty() || bytes.size() < size)
        return false;
    try {
        std::vector<std::uint8_t> bits(bytes.begin(), bytes.begin() + size);
        m_bits = std::move(bits);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    return true;
}

bool CDiBitmap::IsTopDown() const {
    return !IsEmpty() && static_cast<std::int32_t>(GetU32(m_info.data() + kOffHeight)) < 0;
}

bool CDiBitmap::IsFirstColorBlack() const {
    return !IsEmpty() && m_info[kOffColor0] == 0;
}

std::size_t CDiBitmap::PaddedRowSizeFor(int width) {
    return width <= 0 ? 0 : (static_cast<std::size_t>(width) + 31) / 32 * 4;
}

std::size_t CDiBitmap::PackedRowSizeFor(int width) {
    return width <= 0 ? 0 : (static_cast<std::size_t>(width) + 7) / 8;
}

bool CDiBitmap::PackedRow(int row, std::vector<std::uint8_t>& out) const {
    if (IsEmpty() || row < 0 || row >= m_height)
        return false;
    const std::size_t packed = PackedRowSize();
    const std::size_t source =
        IsTopDown() ? static_cast<std::size_t>(row) : static_cast<std::size_t>(m_height - 1 - row);
    const std::uint8_t* p = m_bits.data() + source * PaddedRowSize();
    out.assign(p, p + packed);
    if (IsFirstColorBlack()) {
        for (auto& b : out)
            b = static_cast<std::uint8_t>(~b);
    }
    // Bits past the width are not part of the picture: whatever a pasted bitmap or an
    // inverted colour table left there, the device gets white, so equal pictures pack alike.
    if (const int tail = m_width % 8; tail != 0)
        out.back() &= static_cast<std::uint8_t>(0xFF << (8 - tail));
    return true;
}

bool CDiBitmap::PackedByteAt(std::size_t index, std::uint8_t& byte) const {
    if (IsEmpty() || index >= PackedSize())
        return false;
    const std::size_t packed = PackedRowSize();
    const std::size_t row = index / packed;
    const std::size_t column = index % packed;
    const std::size_t source = IsTopDown() ? row : static_cast<std::size_t>(m_height) - 1 - row;
    std::uint8_t b = m_bits[source * PaddedRowSize() + column];
    if (IsFirstColorBlack())
        b = static_cast<std::uint8_t>(~b);
    if (const int tail = m_width % 8; tail != 0 && column == packed - 1)
        b &= static_cast<std::uint8_t>(0xFF << (8 - tail));
    byte = b;
    return true;
}

bool CDiBitmap::IsBlack(int x, int y) const {
    if (IsEmpty() || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return false;
    std::uint8_t b = 0;
    const std::size_t index =
        static_cast<std::size_t>(y) * PackedRowSize() + static_cast<std::size_t>(x) / 8;
    if (!PackedByteAt(index, b))
        return false;
    return (b >> (7 - x % 8) & 1) != 0;
}

std::array<std::uint8_t, kDibInfoSize> CDiBitmap::DeviceInfo(int width, int height) {
    std::array<std::uint8_t, kDibInfoSize> info{};
    PutU32(info.data() + kOffSize, kDibHeaderSize);
    PutU32(info.data() + kOffWidth, static_cast<std::uint32_t>(width));
    PutU32(info.data() + kOffHeight, static_cast<std::uint32_t>(-height));
    info[kOffPlanes] = 1;
    info[kOffBitCount] = 1;
    // Colour 0 white, colour 1 black: the device's bit 1 is a black dot.
    info[kOffColor0] = info[kOffColor0 + 1] = info[kOffColor0 + 2] = 0xFF;
    info[kOffColor1] = info[kOffColor1 + 1] = info[kOffColor1 + 2] = 0;
    return info;
}

bool CDiBitmap::CreateBlank(int width, int height) {
    if (width < 1 || width > kMaxImageSide || height < 1 || height > kMaxImageSide)
        return false;
    const auto info = DeviceInfo(width, height);
    return SetInfo(info);
}

bool CDiBitmap::SamePicture(const CDiBitmap& other) const {
    if (IsEmpty() || other.IsEmpty())
        return IsEmpty() == other.IsEmpty();
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    std::vector<std::uint8_t> a;
    std::vector<std::uint8_t> b;
    for (int row = 0; row < m_height; ++row) {
        PackedRow(row, a);
        other.PackedRow(row, b);
        if (a != b)
            return false;
    }
    return true;
}

// ---- Packed text ----

bool PackImage(const CDiBitmap& bitmap, std::vector<std::uint8_t>& stream) {
    stream.clear();
    if (bitmap.IsEmpty())
        return false;
    stream.resize(kStreamHeaderSize);
    PutU16(stream.data() + 2, static_cast<std::size_t>(bitmap.Width() - 1));
    PutU16(stream.data() + 4, static_cast<std::size_t>(bitmap.Height() - 1));
    stream[6] = 4;
    stream[7] = kPackingRunLength;
    std::vector<std::uint8_t> row;
    for (int y = 0; y < bitmap.Height(); ++y) {
        bitmap.PackedRow(y, row);
        PackRow(row, stream);
        // The length is stated in 16 bits: a longer stream would read back as another one.
        if (stream.size() + kStreamTrailerSize > kMaxStreamSize) {
            stream.clear();
            return false;
        }
    }
    stream.push_back(0);
    stream.push_back(0);
    PutU16(stream.data(), stream.size());
    return true;
}

bool FormatImageText(const CDiBitmap& bitmap, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0)
        return false;
    buffer[0] = '\0';
    if (capacity < kImageTextMinCapacity)
        return false;
    if (bitmap.IsEmpty())
        return true;
    std::vector<std::uint8_t> stream;
    try {
        if (!PackImage(bitmap, stream))
            return false;
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    if (stream.size() * 2 + 1 > capacity)
        return false;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char* out = buffer;
    for (const std::uint8_t b : stream) {
        *out++ = kDigits[b >> 4];
        *out++ = kDigits[b & 0x0F];
    }
    *out = '\0';
    return true;
}

std::string ImageText(const CDiBitmap& bitmap) {
    std::vector<std::uint8_t> stream;
    if (bitmap.IsEmpty() || !PackImage(bitmap, stream))
        return {};
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(stream.size() * 2);
    for (const std::uint8_t b : stream) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

ImageDecodeStatus DecodeImageText(std::string_view text, CDiBitmap& bitmap) {
    if (text.empty()) {
        bitmap.Clear();
        return ImageDecodeStatus::NoPicture;
    }
    std::uint8_t header[kStreamHeaderSize];
    if (text.size() < 2 * kStreamHeaderSize || !DecodeHex(text, kStreamHeaderSize, header))
        return ImageDecodeStatus::BadData;
    const std::size_t total = GetU16(header);
    const std::size_t width = std::size_t{GetU16(header + 2)} + 1;
    const std::size_t height = std::size_t{GetU16(header + 4)} + 1;
    const std::uint8_t packing = header[7];
    if (packing != kPackingNone && packing != kPackingRunLength)
        return ImageDecodeStatus::Unsupported;
    // The total counts the header and the two end bytes; anything shorter states no data.
    if (total < kStreamHeaderSize + kStreamTrailerSize)
        return ImageDecodeStatus::BadData;
    const std::size_t dataSize = total - kStreamHeaderSize - kStreamTrailerSize;
    const std::string_view digits = text.substr(2 * kStreamHeaderSize);
    if (digits.size() < 2 * dataSize)
        return ImageDecodeStatus::BadData;

    const std::size_t rowSize = (width + 7) / 8;
    const std::size_t packedSize = rowSize * height;
    // A run-length code pair yields at most 129 bytes; a header asking for more than its
    // data could ever fill is not a picture, and must not make us allocate for it.
    const std::size_t maxFill = packing == kPackingNone ? dataSize : dataSize / 2 * kMaxRepeatRun;
    if (packedSize > maxFill || packedSize > kMaxPackedImageBytes)
        return ImageDecodeStatus::BadData;

    try {
        std::vector<std::uint8_t> data(dataSize);
        if (!DecodeHex(digits, dataSize, data.data()))
            return ImageDecodeStatus::BadData;
        std::vector<std::uint8_t> packed(packedSize, 0); // unreached bytes stay white
        std::size_t out = 0;
        std::size_t pos = 0;
        bool excess = false;
        while (pos < dataSize && !excess) {
            if (out == packedSize) {
                excess = true;
                break;
            }
            const std::uint8_t code = data[pos];
            if (packing == kPackingNone) {
                packed[out++] = code;
                ++pos;
            } else if (code <= 0x7F) {
                const std::size_t count = std::size_t{code} + 1;
                if (count > dataSize - pos - 1)
                    return ImageDecodeStatus::BadData;
                const std::size_t room = std::min(count, packedSize - out);
                std::memcpy(packed.data() + out, data.data() + pos + 1, room);
                out += room;
                excess = room < count;
                pos += count + 1;
            } else if (code != 0xFF) {
                const std::size_t count = 257 - std::size_t{code};
                if (pos + 2 > dataSize)
                    return ImageDecodeStatus::BadData;
                const std::size_t room = std::min(count, packedSize - out);
                std::memset(packed.data() + out, data[pos + 1], room);
                out += room;
                excess = room < count;
                pos += 2;
            } else {
                ++pos;
            }
        }
        if (!excess && pos < dataSize)
            excess = true;

        CDiBitmap result;
        const auto info = CDiBitmap::DeviceInfo(static_cast<int>(width), static_cast<int>(height));
        if (!result.TakeInfo(info))
            return ImageDecodeStatus::BadData;
        result.TakePackedBits(packed);
        bitmap = std::move(result);
        if (excess)
            return ImageDecodeStatus::Excess;
        return out < packedSize ? ImageDecodeStatus::ShortData : ImageDecodeStatus::Ok;
    } catch (const std::bad_alloc&) {
        return ImageDecodeStatus::NoMemory;
    }
}

bool ParseImageText(std::string_view text, CDiBitmap& bitmap) {
    switch (DecodeImageText(text, bitmap)) {
    case ImageDecodeStatus::Ok:
    case ImageDecodeStatus::NoPicture:
    case ImageDecodeStatus::ShortData:
        return true;
    case ImageDecodeStatus::Excess:
        ShowMessage(kMsgDataTooLong, PromptIcon::Warning, PromptButtons::Ok);
        return true;
    case ImageDecodeStatus::Unsupported:
        ShowMessage(kMsgUnsupportedPacking, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    case ImageDecodeStatus::NoMemory:
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    case ImageDecodeStatus::BadData:
        break;
    }
    return false;
}

} // namespace tessera
