#pragma once
// Large blocks from which the reader cuts the records of a set, one after another: a read of
// 100 000 records makes a few dozen allocations instead of 100 000, without a heap header
// per record, and the system can back each block with a few large pages instead of hundreds
// of small ones (each first touch of a page costs a trip into the system).
//
// A block goes back to the heap when its last record does, wherever that record has gone
// (another set, the undo history), so the records stay as independent as heap ones; the
// price is that a block lives as long as any record cut from it.

#include <atomic>
#include <cstddef>
#include <mutex>

namespace tessera {

class CRecordArena {
public:
    // Blocks are this large and aligned to their size, so a record finds its block from its
    // own address.
    static constexpr std::size_t kBlockSize = std::size_t{2} << 20;
    // Larger pieces come from the heap (the caller asks Fits first).
    static constexpr std::size_t kLargest = kBlockSize / 8;

    CRecordArena() = default;
    // An arena for one of several threads that read into one set: it cuts its pieces from
    // stretches of `blocks`' blocks, so that the threads together leave one block part used,
    // not one each (a block's memory is there from its first use). `blocks` must outlive it
    // and is used for nothing else.
    explicit CRecordArena(CRecordArena& blocks) : m_blocks(&blocks) {}
    CRecordArena(const CRecordArena&) = delete;
    CRecordArena& operator=(const CRecordArena&) = delete;
    ~CRecordArena();

    static constexpr bool Fits(std::size_t bytes) { return bytes <= kLargest; }
    // `bytes` (Fits) at a 16-byte boundary, from the current block or a new one; throws
    // std::bad_alloc when no block can be had. Each piece holds its block until Release.
    void* Allocate(std::size_t bytes);
    // Gives back a piece that Allocate returned: its block goes once nothing holds it.
    static void Release(void* piece) noexcept;

private:
    struct Block {
        std::atomic<std::size_t> holds; // live pieces, and one while the arena cuts from it
    };
    static constexpr std::size_t kHeader = 64;
    static void Drop(Block* block) noexcept;
    // For the arena that other arenas cut from: a stretch [start, end) of at least `least`
    // bytes of its current block (or of a new one), with a hold on the block for the taker.
    Block* TakeStretch(std::size_t least, std::size_t& start, std::size_t& end);
    // A new block with the hold of the arena that cuts from it.
    static Block* NewBlock();

    // How much a thread's arena takes from the shared one at a time.
    static constexpr std::size_t kStretch = std::size_t{256} << 10;

    CRecordArena* m_blocks = nullptr;
    std::mutex m_mutex; // over the following, when other arenas cut from this one
    Block* m_block = nullptr;
    std::size_t m_used = 0;
    std::size_t m_limit = 0;
};

} // namespace tessera
