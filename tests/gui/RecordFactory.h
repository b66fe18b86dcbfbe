#pragma once
// Record sets of any kind with believable Japanese contents, for the widget tests, the
// screenshots and the window benchmark. Header-only so the benchmark can use it too.

#include "model/Field.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tessera::testdata {

inline std::string Sjis(const std::string& utf8) {
    std::string out;
    Utf8ToCp932(utf8, out);
    return out;
}

inline const char* Pick(const char* const* list, std::size_t n, std::uint32_t i) {
    return list[i % n];
}

// Fills every field of `record` from its class and tag, varied by `i`.
inline void FillRecord(CDataRecord& record, const CRecordSet& set, std::uint32_t i) {
    static const char* const kFamily[] = {"山田", "佐藤", "鈴木", "高橋", "田中", "伊藤",
                                          "渡辺", "中村", "小林", "加藤", "吉田", "山本"};
    static const char* const kFamilyKana[] = {"ﾔﾏﾀﾞ",  "ｻﾄｳ",  "ｽｽﾞｷ",  "ﾀｶﾊｼ", "ﾀﾅｶ",  "ｲﾄｳ",
                                              "ﾜﾀﾅﾍﾞ", "ﾅｶﾑﾗ", "ｺﾊﾞﾔｼ", "ｶﾄｳ",  "ﾖｼﾀﾞ", "ﾔﾏﾓﾄ"};
    static const char* const kGiven[] = {"太郎", "花子", "一郎", "美咲",
                                         "健太", "陽子", "翔",   "愛"};
    static const char* const kGivenKana[] = {"ﾀﾛｳ", "ﾊﾅｺ", "ｲﾁﾛｳ", "ﾐｻｷ",
                                             "ｹﾝﾀ", "ﾖｳｺ", "ｼｮｳ",  "ｱｲ"};
    static const char* const kCity[] = {"東京都千代田区丸の内",     "大阪府大阪市北区梅田",
                                        "愛知県名古屋市中区栄",     "福岡県福岡市博多区博多駅前",
                                        "北海道札幌市中央区大通西", "京都府京都市下京区四条通"};
    static const char* const kCompany[] = {"株式会社みらい商事", "さくら電機株式会社",
                                           "有限会社ひかり企画", "あおぞら物産株式会社"};
    static const char* const kSection[] = {"営業部", "開発部", "総務部", "企画室"};
    static const char* const kPost[] = {"部長", "課長", "主任", "係長"};
    static const char* const kMemo[] = {"定例会議",       "打ち合わせ（本社）",
                                        "歯医者の予約",   "誕生日プレゼントを買う",
                                        "出張：大阪支店", "レポート提出"};
    static const char* const kRemark[] = {"", "大学の同期", "取引先", "テニス仲間", "", "近所"};

    const std::uint32_t f = i % 12;
    const std::uint32_t g = (i / 12) % 8;
    for (int c = 0; c < set.FieldCount(); ++c) {
        const CField* field = record.FieldAt(c);
        if (field == nullptr)
            continue;
        const FieldTag tag = field->Tag();
        const std::string t = TagText(tag);
        switch (field->Class()) {
        case FieldClass::Text:
        case FieldClass::SubText: {
            std::string v;
            if (t == "NAME")
                v = std::string(kFamily[f]) + " " + kGiven[g];
            else if (t == "NAPR")
                v = std::string(kFamilyKana[f]) + " " + kGivenKana[g];
            else if (t == "TEL1")
                v = "0" + std::to_string(3 + i % 7) + "-" + std::to_string(1000 + (i * 37) % 9000) +
                    "-" + std::to_string(1000 + (i * 53) % 9000);
            else if (t == "FAX1")
                v = (i % 3 == 0) ? "" : "03-" + std::to_string(2000 + i % 7000) + "-0000";
            else if (t == "ZIPC")
                v = std::to_string(100 + i % 900) + "-" + std::to_string(1000 + (i * 7) % 9000);
            else if (t == "ADR1")
                v = std::string(Pick(kCity, 6, i)) + std::to_string(1 + i % 9) + "-" +
                    std::to_string(1 + i % 20);
            else if (t == "OFCE")
                v = Pick(kCompany, 4, i);
            else if (t == "OFPR")
                v = "ｶﾌﾞｼｷｶﾞｲｼｬ";
            else if (t == "SCTN")
                v = Pick(kSection, 4, i);
            else if (t == "PSTN")
                v = Pick(kPost, 4, i);
            else if (t == "MEM1")
                v = Pick(kMemo, 6, i);
            else if (t == "CLAS")
                v = "MEMO" + std::to_string(i % 100);
            else if (t == "RMRK" || t == "ASCT")
                v = Pick(kRemark, 6, i);
            if (!v.empty())
                record.SetFieldValue(tag, Sjis(v));
            break;
        }
        case FieldClass::Flag:
            record.SetFieldValue(tag, static_cast<int32_t>(i % 5 == 0));
            break;
        case FieldClass::Check:
            record.SetFieldValue(tag, static_cast<int32_t>((i + c) % 4));
            break;
        case FieldClass::Ascii: {
            const auto* a = dynamic_cast<const CAsciiField*>(field);
            const int32_t max = a != nullptr ? a->MaxValue() : 1;
            if (max > 0)
                record.SetFieldValue(tag, static_cast<int32_t>((i + c) % (max + 1)));
            break;
        }
        case FieldClass::Time: {
            DateTimeValue v;
            v.flags = DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay;
            v.year = t == "BRTH" ? 1950 + static_cast<int32_t>(i % 50) : 2026;
            v.month = 1 + static_cast<int32_t>(i % 12);
            v.day = 1 + static_cast<int32_t>((i * 7) % 28);
            if (t == "TIM1" || t == "TIM2" || t == "ALRM") {
                v.flags |= DateTimeValue::kHour | DateTimeValue::kMinute;
                v.hour = 9 + static_cast<int32_t>(i % 9) + (t == "TIM2" ? 1 : 0);
                v.minute = t == "ALRM" ? 45 : 0;
                if (t == "ALRM")
                    v.hour -= 1;
            }
            record.SetFieldValue(tag, v);
            break;
        }
        case FieldClass::DayWeek: {
            DayWeekValue v;
            v.flags = DayWeekValue::kAll;
            v.month = 1 + static_cast<int32_t>(i % 12);
            v.week = 1 + static_cast<int32_t>(i % 4);
            v.dayOfWeek = static_cast<int32_t>(i % 7);
            record.SetFieldValue(tag, v);
            break;
        }
        default:
            break;
        }
    }
}

// A record set of `kind` with `count` records.
inline std::unique_ptr<CRecordSet> MakeRecordSet(int kind, int count) {
    auto set = std::make_unique<CRecordSet>();
    if (!set->SetKind(kind))
        return set;
    RecordList records;
    records.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<CDataRecord> r = set->NewRecord();
        FillRecord(*r, *set, static_cast<std::uint32_t>(i));
        records.push_back(std::move(r));
    }
    if (!records.empty())
        set->InsertRecords(-1, std::move(records));
    return set;
}

// The text form of such a set, as a document file holds it.
inline std::string MakeTextForm(int kind, int count) {
    std::string text;
    MakeRecordSet(kind, count)->WriteTextToString(text);
    return text;
}

} // namespace tessera::testdata
