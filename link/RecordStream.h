#pragma once
// The record stream: the text form of a record set moved as plain blocks of at most 512
// bytes. The sender always ends with a block shorter than 512 (empty when the length is a
// multiple of 512); the receiver stops at the first such block.

#include <cstdint>
#include <functional>

namespace tessera {

class CZaurusCom;

enum class TransferResult { Completed = 0, Cancelled = 1, Failed = 2 };

// Told the byte count so far after every block; returns false when the user has cancelled.
using StreamProgress = std::function<bool(std::int64_t bytesSoFar)>;
// Takes one received block; returns false when it could not be stored.
using StreamSink = std::function<bool(const char* data, int count)>;

// Number of blocks a stream of `length` bytes is cut into: floor(length / 512) + 1.
std::int64_t StreamBlockCount(std::int64_t length);

// Sends `length` bytes as blocks through WriteBlock. A failed block fails the transfer;
// `progress` returning false after a block ends it as cancelled.
TransferResult SendRecordStream(CZaurusCom& port, const char* data, std::int64_t length,
                                const StreamProgress& progress = {});

// Receives blocks until one is shorter than 512 bytes. Every non-empty block goes to `sink`
// (the block in hand is stored even when the user cancels right after it).
TransferResult ReceiveRecordStream(CZaurusCom& port, const StreamSink& sink,
                                   const StreamProgress& progress = {});

} // namespace tessera
