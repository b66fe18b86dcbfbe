#include "bundle/MemoPng.h"

#include "model/DiBitmap.h"

#include <QtEndian>
#include <array>
#include <cstdint>
#include <vector>

namespace tessera::bundle {

namespace {

std::uint32_t Crc32(const QByteArray& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (char ch : bytes)
        c = table[(c ^ static_cast<std::uint8_t>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutBig32(QByteArray& out, std::uint32_t v) {
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}

void Chunk(QByteArray& out, const char* type, const QByteArray& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    QByteArray typed(type, 4);
    typed += data;
    out += typed;
    PutBig32(out, Crc32(typed));
}

} // namespace

QByteArray MemoPng(const CDiBitmap& bitmap) {
    if (bitmap.IsEmpty() || bitmap.Width() <= 0 || bitmap.Height() <= 0)
        return {};
    QByteArray header;
    PutBig32(header, static_cast<std::uint32_t>(bitmap.Width()));
    PutBig32(header, static_cast<std::uint32_t>(bitmap.Height()));
    header.append('\x01');    // bit depth
    header.append('\x00');    // greyscale
    header.append(3, '\x00'); // deflate, adaptive filtering, no interlace

    // The device's packed rows say 1 for black; greyscale says 1 for white.
    QByteArray raw;
    raw.reserve(static_cast<qsizetype>((bitmap.PackedRowSize() + 1) * bitmap.Height()));
    std::vector<std::uint8_t> row;
    for (int y = 0; y < bitmap.Height(); ++y) {
        bitmap.PackedRow(y, row);
        raw.append('\x00'); // filter: none
        for (std::uint8_t b : row)
            raw.append(static_cast<char>(~b));
    }
    // qCompress puts the length in four bytes before the zlib stream PNG wants.
    const QByteArray data = qCompress(raw, 9).mid(4);

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", data);
    Chunk(png, "IEND", {});
    return png;
}

} // namespace tessera::bundle
