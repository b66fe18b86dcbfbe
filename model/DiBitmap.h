#pragma once
// The picture of a handwritten memo: a one-bit-per-pixel device-independent bitmap, plus the
// run-length packed hexadecimal text that carries it inside the record-set text form.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// Size of the bitmap information of a memo picture: a 40-byte bitmap header followed by a
// two-entry colour table.
inline constexpr std::size_t kDibHeaderSize = 40;
inline constexpr std::size_t kDibInfoSize = 48;

// Largest width and height the packed text can state (both are stored minus one in 16 bits).
inline constexpr int kMaxImageSide = 65536;

// A picture whose packed form is larger than this is refused by the decoder as bad data.
inline constexpr std::size_t kMaxPackedImageBytes = 4u * 1024u * 1024u;

enum class ImageDecodeStatus;

class CDiBitmap {
public:
    CDiBitmap() = default;
    CDiBitmap(const CDiBitmap& other) = default;
    CDiBitmap(CDiBitmap&& other) noexcept = default;
    CDiBitmap& operator=(const CDiBitmap& other) = default;
    CDiBitmap& operator=(CDiBitmap&& other) noexcept = default;

    // Frees the bitmap information and the pixel data.
    void Clear();
    // Deep copy of every member; 1036 and false (this one unchanged) on memory failure.
    bool CopyFrom(const CDiBitmap& other);

    // Takes a 48-byte bitmap information block: width, height (absolute value of the
    // header's height) and colours used come from it. Refuses (false, nothing changed) a block
    // that is not a 40-byte header of an uncompressed one-plane 1 bit-per-pixel bitmap of
    // 1..kMaxImageSide dots each way. Any previous pixel data is dropped. 1036 on memory
    // failure.
    bool SetInfo(std::span<const std::uint8_t> info);

    // Builds the pixel data from packed rows (PackedRowSize() bytes each, PackedSize() in
    // all) in the bitmap's own row order. False without bitmap information or when `bytes` is
    // shorter; 1036 and false on memory failure.
    bool SetPackedBits(std::span<const std::uint8_t> bytes);
    // Copies padded pixel data (PaddedRowSize() * Height() bytes) of a bitmap of the same
    // layout. False without bitmap information or when `bytes` is shorter; 1036 on memory
    // failure.
    bool SetDibBits(std::span<const std::uint8_t> bytes);

    // Byte `index` of the device's packed form: rows top first, PackedRowSize() bytes each,
    // 1 for a black dot whatever the colour table's order. Dots past the width read as
    // white. False when `index` is past the last byte or there is no picture.
    bool PackedByteAt(std::size_t index, std::uint8_t& byte) const;
    // One whole row (0 = top) of the packed form into `out` (resized to PackedRowSize()).
    bool PackedRow(int row, std::vector<std::uint8_t>& out) const;

    // True for a black dot at (x, y), y = 0 the top row; false outside the picture.
    bool IsBlack(int x, int y) const;

    bool IsEmpty() const { return m_info.empty(); }
    std::span<const std::uint8_t> Info() const { return m_info; }
    std::size_t InfoSize() const { return m_info.size(); }
    std::span<const std::uint8_t> Bits() const { return m_bits; }
    std::size_t BitsSize() const { return m_bits.size(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int ColorsUsed() const { return m_colorsUsed; }
    // True when the header's height is negative (rows stored top row first).
    bool IsTopDown() const;
    // True when colour 0 of the colour table is black (blue component 0).
    bool IsFirstColorBlack() const;

    std::size_t PaddedRowSize() const { return PaddedRowSizeFor(m_width); }
    std::size_t PackedRowSize() const { return PackedRowSizeFor(m_width); }
    std::size_t PackedSize() const { return PackedRowSize() * static_cast<std::size_t>(m_height); }

    static std::size_t PaddedRowSizeFor(int width);
    static std::size_t PackedRowSizeFor(int width);

    // Bitmap information of a w x h picture made from device data: top-down, 1 bit per
    // pixel, colour 0 white, colour 1 black.
    static std::array<std::uint8_t, kDibInfoSize> DeviceInfo(int width, int height);
    // A white w x h picture with DeviceInfo; false for sizes out of range or no memory.
    bool CreateBlank(int width, int height);

    // Same size and same dots (colour table order and row order aside).
    bool SamePicture(const CDiBitmap& other) const;

private:
    friend ImageDecodeStatus DecodeImageText(std::string_view text, CDiBitmap& bitmap);
    // The work of SetInfo and SetPackedBits without the message: std::bad_alloc escapes.
    bool TakeInfo(std::span<const std::uint8_t> info);
    void TakePackedBits(std::span<const std::uint8_t> bytes);

    std::vector<std::uint8_t> m_info; // header and colour table
    std::vector<std::uint8_t> m_bits; // padded rows in the header's row order
    int m_width = 0;
    int m_height = 0;
    int m_colorsUsed = 0;
};

// ---- The packed text of a memo picture ----

// Capacity FormatImageText asks for at the least, whatever the picture.
inline constexpr std::size_t kImageTextMinCapacity = 16384;

// The binary packed stream of `bitmap`: 8-byte header, run-length data (packing 2), two zero
// bytes. False when the picture cannot be stated in it (no picture, or a stream longer than
// 65 535 bytes).
bool PackImage(const CDiBitmap& bitmap, std::vector<std::uint8_t>& stream);

// Writes the exchange text (upper-case hexadecimal digits of the packed stream, then a zero
// byte) into `buffer`. A bitmap without a picture writes an empty text. False (and an empty
// text when capacity allows) when `capacity` is below kImageTextMinCapacity or below what the
// text needs, or when the picture cannot be packed.
bool FormatImageText(const CDiBitmap& bitmap, char* buffer, std::size_t capacity);
// The same text as a string; empty for no picture or a picture that cannot be packed.
std::string ImageText(const CDiBitmap& bitmap);

enum class ImageDecodeStatus {
    Ok,          // the whole picture was read
    NoPicture,   // empty text: no picture
    ShortData,   // the data ended before the picture was full; the rest is white
    Excess,      // the data went on after the picture was full; the excess was dropped
    Unsupported, // packing other than 0 or 2
    BadData,     // not hexadecimal, shorter than its header says, a code running past the
                 // data, or a picture larger than its data could ever fill
    NoMemory,
};

// Decodes an exchange text into `bitmap` without showing anything. On Ok, NoPicture,
// ShortData and Excess `bitmap` holds the result (cleared for NoPicture); otherwise it is
// unchanged. Reads only inside `text` and writes only inside its own buffers.
ImageDecodeStatus DecodeImageText(std::string_view text, CDiBitmap& bitmap);

// The field's reading: DecodeImageText, then 1059 for an unsupported packing, 2050 for
// dropped excess data (the picture stands), 1036 for memory exhaustion. True when `bitmap`
// took a value (an empty text gives no picture).
bool ParseImageText(std::string_view text, CDiBitmap& bitmap);

} // namespace tessera
