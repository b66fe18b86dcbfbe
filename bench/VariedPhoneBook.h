#pragma once
// A phone book of varied content, as real ones are: Japanese text of random characters and
// mixed lengths, line breaks inside values, check marks, birthdays with and without a year,
// empty fields, remarks, now and then a circled number or a half-width kana. Made from a
// fixed pseudo-random sequence, so every run and every program gets the same bytes.
// Header-only: the benchmarks and the whole-process script's input maker share it.

#include "model/RecordKind.h"
#include "model/RecordSet.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tessera::bench {

class CVariedText {
public:
    explicit CVariedText(std::uint32_t seed) : m_seed(seed) {}

    std::uint32_t Next(std::uint32_t n) {
        m_seed = m_seed * 1103515245u + 12345u;
        return (m_seed >> 8) % n;
    }

    // One character: mostly kanji and kana, some ASCII, a few half-width kana and circled
    // numbers (which the writer rewrites and the reader maps back).
    void AppendChar(std::string& out) {
        const std::uint32_t kind = Next(100);
        if (kind < 45) { // level-1 kanji, rows 0x89-0x97 are full
            out.push_back(static_cast<char>(0x89 + Next(15)));
            out.push_back(Trail());
        } else if (kind < 70) { // hiragana
            out.push_back('\x82');
            out.push_back(static_cast<char>(0x9F + Next(0xF1 - 0x9F + 1)));
        } else if (kind < 82) { // katakana
            out.push_back('\x83');
            std::uint32_t t = 0x40 + Next(0x96 - 0x40 + 1);
            if (t == 0x7F)
                t = 0x80;
            out.push_back(static_cast<char>(t));
        } else if (kind < 94) { // ASCII letters, digits and a few signs
            static const char kAscii[] =
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -./(),@";
            out.push_back(kAscii[Next(sizeof kAscii - 1)]);
        } else if (kind < 98) { // half-width katakana
            out.push_back(static_cast<char>(0xA6 + Next(0xDD - 0xA6 + 1)));
        } else if (kind < 99) { // circled numbers 1-20
            out.push_back('\x87');
            out.push_back(static_cast<char>(0x40 + Next(20)));
        } else { // full-width punctuation
            static const char kPunct[][3] = {"\x81\x41", "\x81\x42", "\x81\x45", "\x81\x5B",
                                             "\x81\x69", "\x81\x6A", "\x81\x75", "\x81\x76"};
            out.append(kPunct[Next(8)], 2);
        }
    }

    // `min` to `max` characters, with a line break (0x1F) now and then when `breaks`.
    std::string Text(std::uint32_t min, std::uint32_t max, bool breaks) {
        std::string out;
        const std::uint32_t n = min + Next(max - min + 1);
        for (std::uint32_t i = 0; i < n; ++i) {
            if (breaks && i > 0 && i + 1 < n && Next(14) == 0)
                out.push_back('\x1F');
            else
                AppendChar(out);
        }
        // A trailing space would be harmless; a value must not end on a lone lead byte,
        // which AppendChar never leaves.
        return out;
    }

private:
    char Trail() {
        std::uint32_t t = 0x40 + Next(0xFC - 0x40);
        if (t >= 0x7F)
            ++t; // 0x7F is no trail byte
        return static_cast<char>(t);
    }

    std::uint32_t m_seed;
};

// `count` records of the phone book.
inline std::unique_ptr<CRecordSet> MakeVariedPhoneBook(int count) {
    auto set = std::make_unique<CRecordSet>();
    set->SetKind(kKindPhoneBook);
    CVariedText gen(20261208u);
    static const char* const kMarks[] = {"", "\x81\x9B", "\x81\x7E", "\x81\xA2"}; // ○ × △
    RecordList records;
    records.reserve(static_cast<std::size_t>(count));
    char buf[64];
    for (int i = 0; i < count; ++i) {
        auto r = set->NewRecord();
        r->ParseField(0, gen.Next(13) == 0 ? "*" : " ", false);
        r->ParseField(1, gen.Text(2, 9, false), false);
        if (gen.Next(5) != 0)
            r->ParseField(2, gen.Text(3, 14, false), false);
        if (gen.Next(6) != 0) {
            std::snprintf(buf, sizeof buf, "0%u-%u-%04u", 3 + gen.Next(990), gen.Next(10000),
                          gen.Next(10000));
            r->ParseField(3, buf, false);
        }
        if (gen.Next(3) != 0) {
            std::snprintf(buf, sizeof buf, "%03u-%04u", gen.Next(1000), gen.Next(10000));
            r->ParseField(4, buf, false);
        }
        if (gen.Next(4) != 0)
            r->ParseField(5, gen.Text(6, 34, true), false);
        const std::uint32_t birth = gen.Next(10);
        if (birth < 6) { // with a year, without one, or none
            std::snprintf(buf, sizeof buf, "%04u%02u%02u      ",
                          birth < 4 ? 1930 + gen.Next(90) : 0, 1 + gen.Next(12), 1 + gen.Next(28));
            r->ParseField(6, buf, false);
        }
        if (gen.Next(3) == 0)
            r->ParseField(7, "MEM1:" + gen.Text(4, 60, true) + "\x1E\x0C", false);
        for (int c = 8; c < 12; ++c)
            r->ParseField(c, kMarks[gen.Next(4)], false);
        records.push_back(std::move(r));
    }
    set->InsertRecords(-1, std::move(records));
    return set;
}

// Its text form, as a file holds it.
inline std::string VariedPhoneBookText(int count) {
    std::string out;
    MakeVariedPhoneBook(count)->WriteTextToString(out);
    return out;
}

} // namespace tessera::bench
