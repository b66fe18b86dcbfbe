#include "model/RecordArena.h"

#include <cstdint>
#include <mutex>
#include <new>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#endif

namespace tessera {

namespace {

constexpr std::size_t kPieceAlign = 16;

// Blocks whose records are all gone wait here for the next read, up to a limit: a program
// that opens one large file after another then reuses pages it already has, as the heap
// would, instead of having the system clear new ones. Plain pointers in static storage, so
// a leak checker sees them as held. Under the address sanitizer every block goes back at
// once, so that a record used after its block went is caught.
#if defined(__SANITIZE_ADDRESS__)
#define TESSERA_KEEP_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSERA_KEEP_BLOCKS 0
#endif
#endif
#ifndef TESSERA_KEEP_BLOCKS
#define TESSERA_KEEP_BLOCKS 32
#endif
constexpr int kKeptBlocks = TESSERA_KEEP_BLOCKS;
std::mutex g_keptMutex;
void* g_kept[kKeptBlocks > 0 ? kKeptBlocks : 1];
int g_keptCount = 0;

void* NewBlockMemory(std::size_t size) {
    {
        const std::lock_guard<std::mutex> lock(g_keptMutex);
        if (g_keptCount > 0)
            return g_kept[--g_keptCount];
    }
    void* memory = ::operator new (size, std::align_val_t{size});
#if defined(MADV_HUGEPAGE)
    // Where the system offers large pages only on request, ask; a refusal changes nothing.
    ::madvise(memory, size, MADV_HUGEPAGE);
#endif
    return memory;
}

void FreeBlockMemory(void* memory, std::size_t size) noexcept {
    {
        const std::lock_guard<std::mutex> lock(g_keptMutex);
        if (g_keptCount < kKeptBlocks) {
            g_kept[g_keptCount++] = memory;
            return;
        }
    }
    ::operator delete (memory, std::align_val_t{size});
}

constexpr std::size_t AlignUp(std::size_t n, std::size_t a) {
    return (n + a - 1) / a * a;
}

} // namespace

CRecordArena::~CRecordArena() {
    if (m_block != nullptr)
        Drop(m_block);
}

CRecordArena::Block* CRecordArena::NewBlock() {
    void* memory = NewBlockMemory(kBlockSize);
    auto* block = ::new (memory) Block{};
    block->holds.store(1, std::memory_order_relaxed);
    return block;
}

CRecordArena::Block* CRecordArena::TakeStretch(std::size_t least, std::size_t& start,
                                               std::size_t& end) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_block == nullptr || m_used + least > kBlockSize) {
        Block* block = NewBlock();
        if (m_block != nullptr)
            Drop(m_block);
        m_block = block;
        m_used = kHeader;
    }
    // A block's last stretch is what is left of it.
    const std::size_t left = kBlockSize - m_used;
    const std::size_t bytes = least > kStretch ? least : left < 2 * kStretch ? left : kStretch;
    start = m_used;
    end = m_used + bytes;
    m_used = end;
    m_block->holds.fetch_add(1, std::memory_order_relaxed);
    return m_block;
}

void* CRecordArena::Allocate(std::size_t bytes) {
    bytes = AlignUp(bytes, kPieceAlign);
    if (!Fits(bytes))
        throw std::bad_alloc();
    if (m_block == nullptr || m_used + bytes > m_limit) {
        Block* block = nullptr;
        std::size_t start = kHeader;
        std::size_t limit = kBlockSize;
        if (m_blocks != nullptr) {
            block = m_blocks->TakeStretch(bytes, start, limit);
        } else {
            block = NewBlock();
        }
        if (m_block != nullptr)
            Drop(m_block);
        m_block = block;
        m_used = start;
        m_limit = limit;
    }
    void* piece = reinterpret_cast<std::byte*>(m_block) + m_used;
    m_used += bytes;
    m_block->holds.fetch_add(1, std::memory_order_relaxed);
    return piece;
}

void CRecordArena::Release(void* piece) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(piece);
    Drop(reinterpret_cast<Block*>(address & ~(std::uintptr_t{kBlockSize} - 1)));
}

void CRecordArena::Drop(Block* block) noexcept {
    if (block->holds.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    block->~Block();
    FreeBlockMemory(block, kBlockSize);
}

} // namespace tessera
