#include "model/CodeMap.h"

#include <algorithm>
#include <cstring>

namespace tessera {

namespace ct = chartables;

CodeMapTables CodeMapTables::BuiltIn() {
    CodeMapTables t;
    t.classes = ct::kClassTable;
    t.classCount = ct::kClassTableSize;
    t.singles = ct::kSingleTable;
    t.singleCount = ct::kSingleTableSize;
    t.doubles = ct::kDoubleTable;
    t.doubleBytes = ct::kDoubleTableSize;
    t.ranges = ct::kRanges;
    t.rangeCount = ct::kRangeCount;
    t.strings = ct::kResultStrings;
    t.stringCount = ct::kResultStringCount;
    t.text = ct::kResultText;
    t.textSize = 0;
    for (std::size_t i = 0; i < ct::kResultStringCount; ++i)
        t.textSize = std::max<std::size_t>(t.textSize, ct::kResultStrings[i].offset +
                                                           ct::kResultStrings[i].size);
    return t;
}

CCodeMap::CCodeMap(const CodeMapFlags* flags) : CCodeMap(CodeMapTables::BuiltIn(), flags) {}

CCodeMap::CCodeMap(const CodeMapTables& tables, const CodeMapFlags* flags)
    : m_tables(tables), m_flags(flags) {}

bool CCodeMap::LoadTables() {
    m_loaded = false;
    const CodeMapTables& t = m_tables;
    if (t.classes == nullptr || t.classCount != ct::kClassTableSize || t.singles == nullptr ||
        t.singleCount != ct::kSingleTableSize || t.doubles == nullptr ||
        t.doubleBytes != ct::kDoubleTableSize || t.ranges == nullptr ||
        t.rangeCount != ct::kRangeCount || t.strings == nullptr || t.text == nullptr)
        return false;
    // Every code that names a range must land inside that range's result table, so the
    // lookup itself never needs a bounds check.
    for (std::size_t i = 0; i < t.classCount; ++i) {
        const unsigned range = t.classes[i] & 0x3F;
        if (range == 0)
            continue;
        const unsigned code = static_cast<unsigned>(ct::kFirstCode + i);
        if (code < t.ranges[range].first)
            return false;
        const std::size_t entry = t.ranges[range].offset + (code - t.ranges[range].first);
        if (range <= 20) {
            if (entry >= t.stringCount)
                return false;
            const ct::ResultString& s = t.strings[entry];
            if (s.size < 1 || s.size > 6 ||
                static_cast<std::size_t>(s.offset) + s.size > t.textSize)
                return false;
        } else if (range <= 40) {
            if (entry >= t.singleCount)
                return false;
        } else if (entry * 2 + 1 >= t.doubleBytes) {
            return false;
        }
    }
    m_loaded = true;
    return true;
}

bool CCodeMap::GroupOn(unsigned cls) const {
    switch (cls & 0xC0) {
    case 0x00:
        return true;
    case 0x40:
        return m_flags != nullptr && m_flags->convSymbol.load(std::memory_order_relaxed);
    case 0x80:
        return m_flags != nullptr && m_flags->convHiraKana.load(std::memory_order_relaxed);
    default:
        return m_flags != nullptr && m_flags->convAlphaNumeric.load(std::memory_order_relaxed);
    }
}

int CCodeMap::MapDeviceCode(std::uint16_t code, char* out) const {
    unsigned cls = 0;
    if (m_loaded && code >= ct::kFirstCode &&
        std::size_t{code} - ct::kFirstCode < m_tables.classCount)
        cls = m_tables.classes[code - ct::kFirstCode];
    const unsigned range = cls & 0x3F;
    if (range == 0 || !GroupOn(cls)) {
        out[0] = static_cast<char>(code >> 8);
        out[1] = static_cast<char>(code & 0xFF);
        return 2;
    }
    const std::size_t entry = m_tables.ranges[range].offset + (code - m_tables.ranges[range].first);
    if (range <= 20) {
        const ct::ResultString& s = m_tables.strings[entry];
        std::memcpy(out, m_tables.text + s.offset, s.size);
        return s.size;
    }
    if (range <= 40) {
        out[0] = m_tables.singles[entry];
        return 1;
    }
    out[0] = static_cast<char>(m_tables.doubles[entry * 2]);
    out[1] = static_cast<char>(m_tables.doubles[entry * 2 + 1]);
    return 2;
}

MappedCode CCodeMap::MapDeviceCode(std::uint16_t code) const {
    MappedCode r;
    char buf[16];
    r.size = MapDeviceCode(code, buf);
    std::memcpy(r.bytes, buf, static_cast<std::size_t>(r.size));
    return r;
}

} // namespace tessera
