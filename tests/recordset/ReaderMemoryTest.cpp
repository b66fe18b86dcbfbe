// The reader when memory runs out: one allocation fails, at every point of a read in turn.
// Whatever failed, the read returns (no exception leaves it), the set can be destroyed, and
// the fields already made are undone exactly once (a second destruction of a picture would
// free it twice). Under the sanitizers a field left behind shows up as a leak.

#include "model/Prompter.h"
#include "model/RecordSet.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <new>
#include <sstream>
#include <string>

namespace {

// Allocations count down while armed; the one that reaches zero fails, the rest succeed.
std::atomic<long> g_failIn{0};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (g_failIn.load(std::memory_order_relaxed) > 0 &&
        g_failIn.fetch_sub(1, std::memory_order_relaxed) == 1)
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        // Fresh memory never looks like an object: undoing a field that was never made
        // calls through a bad table and stops the test.
        std::memset(p, 0xA5, size);
        return p;
    }
    throw std::bad_alloc();
}

} // namespace

// The whole test program allocates through these; unarmed they are malloc and free.
void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
// The reader's record blocks are aligned allocations: they may fail too.
void* operator new(std::size_t size, std::align_val_t align) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (g_failIn.load(std::memory_order_relaxed) > 0 &&
        g_failIn.fetch_sub(1, std::memory_order_relaxed) == 1)
        throw std::bad_alloc();
    const auto a = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) {
        std::memset(p, 0xA5, size);
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace tessera {
namespace {

// The one prompter here that is not the shared scripted one: it must never allocate, as
// every allocation may be the one made to fail. It allows the out-of-memory message and the
// questions about a refused value (a picture that cannot get memory for its rows refuses
// its text), and keeps the first other id it sees, for the test to fail on.
class QuietPrompter : public Prompter {
public:
    QuietPrompter() { SetPrompter(this); }
    ~QuietPrompter() override { SetPrompter(nullptr); }
    PromptResult Show(int id, const std::string&, PromptIcon, PromptButtons buttons) override {
        if (id == kMsgNoMemory)
            ++noMemory;
        else if (id != kMsgInvalidInput && id != kMsgBadValue && unexpected == 0)
            unexpected = id;
        return DefaultPromptResult(buttons); // a refused value: Abort
    }
    int noMemory = 0;
    int unexpected = 0;
};

std::string Sample(const char* name) {
    std::ifstream in(std::string(TESSERA_SAMPLES) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ReaderMemory, AFailedAllocationAnywhereLeavesNothingHalfMade) {
    // Pictures and print formats (fields that allocate when they parse, the latter without
    // catching it), and texts of every kind of field.
    const std::string printFormats = "\"i\",\"SCRT\",\"CLAS\",\"MEM1\",\"PRF1\",\"CLSC\"\r\n"
                                     "\"D\",\" \",\"x\",\"a\tb\",\"0A0B0C\",\"\x82\xA0\"\r\n"
                                     "\"D\",\"*\",\"y\",\"c\",\"41\",\r\n\x1A";
    for (const char* name : {"memo.tsr", "report.tsr", "phonebook.tsr", ""}) {
        SCOPED_TRACE(name);
        const std::string text = *name != '\0' ? Sample(name) : printFormats;
        ASSERT_FALSE(text.empty());
        std::string expected;
        long total = 0;
        {
            CRecordSet set;
            const long before = g_allocations.load();
            ASSERT_TRUE(set.ReadText(text, nullptr));
            total = g_allocations.load() - before;
            ASSERT_TRUE(set.WriteTextToString(expected));
        }
        ASSERT_GT(total, 0);
        for (long n = 1; n <= total + 1; ++n) {
            SCOPED_TRACE(n);
            QuietPrompter prompter;
            bool ok = false;
            {
                CRecordSet set;
                g_failIn = n;
                EXPECT_NO_THROW(ok = set.ReadText(text, nullptr));
                g_failIn = 0;
                EXPECT_EQ(prompter.unexpected, 0) << "message shown besides out-of-memory";
                if (ok && prompter.noMemory == 0) {
                    std::string again;
                    ASSERT_TRUE(set.WriteTextToString(again));
                    EXPECT_EQ(again, expected);
                }
            }
            // Past the last allocation nothing fails and the read is whole.
            if (n == total + 1) {
                EXPECT_TRUE(ok);
                EXPECT_EQ(prompter.noMemory, 0);
            }
        }
    }
}

} // namespace
} // namespace tessera
