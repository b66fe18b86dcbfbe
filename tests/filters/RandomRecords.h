#pragma once
// Random record sets of the kinds the bundled filters convert, made to hit what breaks
// converters: days the month does not have, missing parts, circled numbers, codes only the
// device knows, TABs and 0x1F, characters the foreign syntaxes escape or a spreadsheet
// evaluates. Every value is one the host itself could hold (parsed from exchange texts).

#include "model/Field.h"
#include "model/RecordSet.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>

namespace tessera::test {

class RandomRecords {
public:
    explicit RandomRecords(unsigned seed) : m_rng(seed) {}

    std::unique_ptr<CRecordSet> Make(int kind, int count) {
        auto set = std::make_unique<CRecordSet>();
        set->SetKind(kind);
        RecordList records;
        for (int r = 0; r < count; ++r) {
            std::unique_ptr<CDataRecord> record = set->NewRecord();
            for (int i = 0; i < set->FieldCount(); ++i) {
                const std::string text =
                    Value(set->Tags()[static_cast<std::size_t>(i)], record->FieldAt(i));
                bool ok = false;
                try {
                    ok = record->ParseField(i, text, false);
                } catch (const CUserAbort&) {
                }
                EXPECT_TRUE(ok) << set->Tags()[static_cast<std::size_t>(i)] << " '" << text << "'";
            }
            records.push_back(std::move(record));
        }
        set->InsertRecords(-1, std::move(records));
        return set;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    std::string Text(bool allowEmpty) {
        // Code page 932 pieces: ① ⑳ (written as device codes in the text form), a code
        // only the device has, full-width letters, ～, and the bytes the syntaxes care about.
        static const char* const pieces[] = {
            "\x8E\x52\x93\x63", // 山田
            "\x87\x40",
            "\x87\x53",         // ① ⑳
            "\xEB\x5B",         // a device-only code
            "\x82\x60\x82\x82", // Ａｂ
            "\x81\x60",         // ～
            "a,b;c\\d",
            "\"q\"",
            "=1+1",
            "-5",
            "+81",
            "@x",
            "'=x",
            " lead",
            "0101",
            "01",
            "\t",
            "\x1F",
            "x:y",
            "tel:1",
            "MEM1:",
            "*",
        };
        std::string out;
        const int n = Pick(4) + (allowEmpty ? 0 : 1);
        for (int k = 0; k < n; ++k)
            out += pieces[Pick(static_cast<int>(sizeof pieces / sizeof pieces[0]))];
        return out;
    }

    std::string Two(int v) {
        char b[4];
        std::snprintf(b, sizeof b, "%02d", v);
        return b;
    }

    std::string Date(bool year, bool time) {
        if (Pick(4) == 0)
            return {};
        std::string out = year && Pick(3) != 0 ? std::to_string(1901 + Pick(199)) : "    ";
        const int month = 1 + Pick(12);
        const int day = Pick(3) == 0 ? 29 + Pick(3) : 1 + Pick(28); // April 31, February 30
        out += Two(month) + Two(day);
        if (time) {
            const int shape = Pick(4); // both, none, or (the device allows it) only the hour
            out += shape == 1 ? "  " : Two(Pick(24));
            out += shape == 1 || shape == 2 ? "  " : Two(Pick(60));
        } else {
            out += "    ";
        }
        return out + "  ";
    }

    std::string Value(const std::string& tag, const CField* field) {
        switch (field->Class()) {
        case FieldClass::Flag:
            return Pick(2) ? "*" : " ";
        case FieldClass::Time:
            return Date(tag != "ANN1", tag == "TIM1" || tag == "TIM2" || tag == "ALRM");
        case FieldClass::DayWeek:
            return Pick(4) == 0 ? ""
                                : "    " + Two(1 + Pick(12)) + std::to_string(1 + Pick(5)) +
                                      std::to_string(Pick(7));
        case FieldClass::Check: {
            static const char* const marks[] = {"", "\x81\x9B", "\x81\x7E", "\x81\xA2"}; // ○ × △
            return marks[Pick(4)];
        }
        case FieldClass::Ascii:
            return "0" + std::to_string(Pick(tag == "MARK" ? 2 : 4));
        case FieldClass::SubText:
            return Pick(3) == 0 ? "" : "MEM1:" + Text(false) + "\x1E\x0C";
        default:
            return Text(true);
        }
    }

    std::mt19937 m_rng;
};

} // namespace tessera::test
