#pragma once
// The device character map: turns each double-byte code the device writes into the PC
// character or short string it stands for, with three groups that the user switches.

#include "resources/CharTables.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessera {

// The three conversion switches. The settings own them and the map reads them at every
// call, so a change applies to the next text read, from any thread.
struct CodeMapFlags {
    std::atomic<bool> convAlphaNumeric{false};
    std::atomic<bool> convSymbol{false};
    std::atomic<bool> convHiraKana{false};
};

// The tables a map works from; the built-in ones unless a test gives others.
struct CodeMapTables {
    const unsigned char* classes = nullptr;
    std::size_t classCount = 0;
    const char* singles = nullptr;
    std::size_t singleCount = 0;
    const unsigned char* doubles = nullptr; // two bytes per entry
    std::size_t doubleBytes = 0;
    const chartables::RangeInfo* ranges = nullptr;
    std::size_t rangeCount = 0;
    const chartables::ResultString* strings = nullptr;
    std::size_t stringCount = 0;
    const char* text = nullptr;
    std::size_t textSize = 0;

    static CodeMapTables BuiltIn();
};

// One converted code: 1 to 6 bytes.
struct MappedCode {
    char bytes[8] = {};
    int size = 0;
    std::string_view View() const { return {bytes, static_cast<std::size_t>(size)}; }
};

class CCodeMap {
public:
    // `flags` may be null: then every switchable group is off.
    explicit CCodeMap(const CodeMapFlags* flags = nullptr);
    CCodeMap(const CodeMapTables& tables, const CodeMapFlags* flags);

    // Checks the tables (sizes, and that every range stays inside its result table) and
    // makes the map usable. False when a table is missing or damaged; start-up then shows
    // message 1012 and stops.
    bool LoadTables();
    bool IsLoaded() const { return m_loaded; }

    void SetFlags(const CodeMapFlags* flags) { m_flags = flags; }
    const CodeMapFlags* Flags() const { return m_flags; }

    // Converts one double-byte code (lead byte in the high 8 bits) into `out`, which has
    // room for at least 16 bytes, and returns the number of bytes written (1 to 6).
    // Codes outside the map, or of a group switched off, come back unchanged (2 bytes).
    int MapDeviceCode(std::uint16_t code, char* out) const;
    MappedCode MapDeviceCode(std::uint16_t code) const;

private:
    bool GroupOn(unsigned cls) const;

    CodeMapTables m_tables;
    const CodeMapFlags* m_flags = nullptr;
    bool m_loaded = false;
};

} // namespace tessera
