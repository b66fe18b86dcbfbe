#include "model/RecordArena.h"

#include <cstdint>
#include <new>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#endif

namespace tessera {

namespace {

constexpr std::size_t kPieceAlign = 16;

constexpr std::size_t AlignUp(std::size_t n, std::size_t a) {
    return (n + a - 1) / a * a;
}

} // namespace

CRecordArena::~CRecordArena() {
    if (m_block != nullptr)
        Drop(m_block);
}

void* CRecordArena::Allocate(std::size_t bytes) {
    bytes = AlignUp(bytes, kPieceAlign);
    if (!Fits(bytes))
        throw std::bad_alloc();
    if (m_block == nullptr || m_used + bytes > kBlockSize) {
        void* memory = ::operator new (kBlockSize, std::align_val_t{kBlockSize});
#if defined(MADV_HUGEPAGE)
        // Where the system offers large pages only on request, ask; a refusal changes nothing.
        ::madvise(memory, kBlockSize, MADV_HUGEPAGE);
#endif
        auto* block = ::new (memory) Block{};
        block->holds.store(1, std::memory_order_relaxed);
        if (m_block != nullptr)
            Drop(m_block);
        m_block = block;
        m_used = kHeader;
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
    ::operator delete (static_cast<void*>(block), std::align_val_t{kBlockSize});
}

} // namespace tessera
