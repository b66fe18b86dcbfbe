#pragma once
// What the fuzz targets share: a check that stops the run with a message (a broken property
// is a finding just like a crash) and input in an exact-size heap block, so the sanitizer
// sees any read past it.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace tessera::fuzz {

class ExactBlock {
public:
    ExactBlock(const void* data, std::size_t size)
        : m_data(std::make_unique<char[]>(size == 0 ? 1 : size)), m_size(size) {
        if (size != 0)
            std::memcpy(m_data.get(), data, size);
    }
    const char* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    std::string_view view() const { return {m_data.get(), m_size}; }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size;
};

} // namespace tessera::fuzz
