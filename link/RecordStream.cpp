#include "link/RecordStream.h"

#include "link/ZaurusCom.h"

#include <algorithm>

namespace tessera {

std::int64_t StreamBlockCount(std::int64_t length) {
    return length < 0 ? 0 : length / kLinkBlockSize + 1;
}

TransferResult SendRecordStream(CZaurusCom& port, const char* data, std::int64_t length,
                                const StreamProgress& progress) {
    if (length < 0)
        return TransferResult::Failed;
    // The last block is always shorter than 512 bytes (empty when the length is a multiple of
    // 512), which is how the receiver knows that the stream has ended.
    std::int64_t sent = 0;
    const std::int64_t blocks = StreamBlockCount(length);
    for (std::int64_t i = 0; i < blocks; ++i) {
        const int n = static_cast<int>(std::min<std::int64_t>(kLinkBlockSize, length - sent));
        if (!port.WriteBlock(data + sent, n))
            return port.WasCancelled() ? TransferResult::Cancelled : TransferResult::Failed;
        sent += n;
        if (progress && !progress(sent))
            return i + 1 == blocks ? TransferResult::Completed : TransferResult::Cancelled;
    }
    return TransferResult::Completed;
}

TransferResult ReceiveRecordStream(CZaurusCom& port, const StreamSink& sink,
                                   const StreamProgress& progress) {
    char block[kLinkBlockSize];
    std::int64_t received = 0;
    for (;;) {
        int n = 0;
        if (!port.ReadBlock(block, n))
            return port.WasCancelled() ? TransferResult::Cancelled : TransferResult::Failed;
        const bool last = n < kLinkBlockSize;
        if (n > 0) {
            if (sink && !sink(block, n))
                return TransferResult::Failed;
            received += n;
            // A cancel after the last block changes nothing: the stream is complete.
            if (progress && !progress(received) && !last)
                return TransferResult::Cancelled;
        }
        if (last)
            return TransferResult::Completed;
    }
}

} // namespace tessera
