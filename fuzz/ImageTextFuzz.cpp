// The memo picture decoder on arbitrary text. The first input byte chooses whether the rest
// is the text itself or bytes to be written as hexadecimal digits (which reaches the
// run-length decoding far more often). Beyond crashes it checks that a refused text leaves
// the picture alone and that every accepted picture packs and reads back unchanged.

#include "FuzzCheck.h"
#include "model/DiBitmap.h"

#include <string>
#include <vector>

using namespace tessera;

namespace {

std::string ToHex(const std::uint8_t* data, std::size_t size, bool lower) {
    const char* digits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string s;
    s.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        s.push_back(digits[data[i] >> 4]);
        s.push_back(digits[data[i] & 15]);
    }
    return s;
}

CDiBitmap Marker() {
    CDiBitmap b;
    const auto info = CDiBitmap::DeviceInfo(8, 1);
    const std::uint8_t bits[] = {0x5A};
    b.SetInfo(info);
    b.SetPackedBits(bits);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    std::string text = (mode & 1) ? ToHex(data + 1, size - 1, (mode & 2) != 0)
                                  : std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    const tessera::fuzz::ExactBlock block(text.data(), text.size());

    const CDiBitmap marker = Marker();
    CDiBitmap bitmap = marker;
    const ImageDecodeStatus status = DecodeImageText(block.view(), bitmap);
    switch (status) {
    case ImageDecodeStatus::NoPicture:
        FUZZ_CHECK(text.empty());
        FUZZ_CHECK(bitmap.IsEmpty());
        return 0;
    case ImageDecodeStatus::BadData:
    case ImageDecodeStatus::Unsupported:
    case ImageDecodeStatus::NoMemory:
        FUZZ_CHECK(bitmap.SamePicture(marker));
        FUZZ_CHECK(!ParseImageText(block.view(), bitmap));
        FUZZ_CHECK(bitmap.SamePicture(marker));
        return 0;
    case ImageDecodeStatus::Ok:
    case ImageDecodeStatus::ShortData:
    case ImageDecodeStatus::Excess:
        break;
    }

    FUZZ_CHECK(!bitmap.IsEmpty());
    FUZZ_CHECK(bitmap.IsTopDown());
    FUZZ_CHECK(bitmap.BitsSize() == bitmap.PaddedRowSize() * bitmap.Height());
    FUZZ_CHECK(bitmap.PackedSize() <= kMaxPackedImageBytes);

    const std::string again = ImageText(bitmap);
    if (again.empty())
        return 0; // too large to state in one packed stream; the writer refuses it
    CDiBitmap back;
    FUZZ_CHECK(DecodeImageText(again, back) == ImageDecodeStatus::Ok);
    FUZZ_CHECK(back.SamePicture(bitmap));

    // The writer keeps to the buffer it is given.
    if (again.size() + 1 >= kImageTextMinCapacity) {
        std::vector<char> exact(again.size() + 1);
        FUZZ_CHECK(FormatImageText(bitmap, exact.data(), exact.size()));
        FUZZ_CHECK(again == exact.data());
        std::vector<char> tight(again.size());
        FUZZ_CHECK(!FormatImageText(bitmap, tight.data(), tight.size()));
    }
    return 0;
}
