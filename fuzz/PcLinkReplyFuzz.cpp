// The PC-link conversation of the add-in transfer on whatever the device answers. The first
// byte picks the port under it (cable, infrared with or without an echoing adapter) and
// which step the PC takes; the rest is the device's side. A reply the PC accepts must have
// a header that agrees with itself and a payload that came off the line, and the data step
// never reports more bytes sent than the file holds.

#include "FuzzCheck.h"
#include "FuzzLine.h"
#include "link/CableCom.h"
#include "link/OpticalCom.h"
#include "link/PcLink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

using namespace tessera;
using namespace tessera::pclink;

namespace {

// A small add-in file for the data step, made once: two full frames and a short one.
const QString& DataFile() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = QDir(dir.path()).filePath(QStringLiteral("APP.EXE"));
        QFile f(p);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly));
        const QByteArray bytes(kMaxDataPerFrame * 2 + 17, 'x');
        FUZZ_CHECK(f.write(bytes) == bytes.size());
        return p;
    }();
    return path;
}

void CheckReply(const CPcLink& link, std::string_view input) {
    const auto& reply = link.Reply();
    const int n = static_cast<std::uint8_t>(reply[3]) | (static_cast<std::uint8_t>(reply[4]) << 8);
    FUZZ_CHECK(n + kFrameOverhead <= kReceiveBufferSize);
    // The payload and its sum passed the check, so they are the device's bytes.
    FUZZ_CHECK(tessera::fuzz::CameFrom(input, {reply.data() + 5, static_cast<std::size_t>(n) + 2}));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const tessera::fuzz::ExactBlock input(data + 1, size - 1);
    tessera::fuzz::FuzzPeer peer;
    peer.data = input.data();
    peer.size = input.size();

    std::unique_ptr<CZaurusCom> port;
    if ((mode & 3) == 0)
        port = std::make_unique<CCableCom>(tessera::fuzz::FuzzOptions(peer, false));
    else
        port = std::make_unique<COpticalCom>(tessera::fuzz::FuzzOptions(peer, (mode & 3) == 2));
    FUZZ_CHECK(port->Open(QStringLiteral("fuzz"), 9600));
    CPcLink link(*port, port->Timing());

    switch ((mode >> 2) & 7) {
    case 0: {
        bool negative = false;
        if (link.ReadReply(negative))
            CheckReply(link, input.view());
        if (negative)
            link.RefuseNegativeReply();
        break;
    }
    case 1:
        if (link.CheckAddInSupport())
            CheckReply(link, input.view());
        break;
    case 2:
        if (link.FileExists("S7:NIFADR.BOX"))
            CheckReply(link, input.view());
        break;
    case 3:
        link.AnnounceFile("APP.EXE");
        break;
    case 4: {
        std::int64_t last = 0;
        const bool ok = link.SendFileData(DataFile(), [&last](std::int64_t soFar) {
            FUZZ_CHECK(soFar > last);
            last = soFar;
            return true;
        });
        FUZZ_CHECK(link.RunningTotal() <= kMaxDataPerFrame * 2 + 17);
        if (ok) {
            FUZZ_CHECK(link.RunningTotal() == kMaxDataPerFrame * 2 + 17);
            CheckReply(link, input.view());
        }
        break;
    }
    case 5:
        link.TakeTurnBack();
        break;
    case 6:
        if (link.EndPcLink())
            CheckReply(link, input.view());
        break;
    default:
        // A whole transfer of one file.
        if (link.CheckAddInSupport() && !link.FileExists("S1:APP.EXE") &&
            link.AnnounceFile("APP.EXE") && link.SendFileData(DataFile()))
            link.EndPcLink();
        break;
    }
    return 0;
}
