#pragma once
// A handwritten memo as a PNG file: one bit a dot (greyscale, black 0 and white 1), at the
// memo's own size, so any picture program shows exactly the dots the device holds.

#include <QByteArray>

namespace tessera {
class CDiBitmap;
}

namespace tessera::bundle {

// The PNG file of `bitmap`; empty when there is no picture.
QByteArray MemoPng(const CDiBitmap& bitmap);

} // namespace tessera::bundle
