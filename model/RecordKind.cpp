// The eight record kinds: their field lists, names and the deduction from a tag list.

#include "model/RecordKind.h"

#include "text/StringTable.h"

#include <array>

namespace tessera {

namespace {

using FC = FieldClass;

constexpr KindField kPhoneBook[] = {
    {"SCRT", FC::Flag},  {"NAME", FC::Text},  {"NAPR", FC::Text},  {"TEL1", FC::Text},
    {"ZIPC", FC::Text},  {"ADR1", FC::Text},  {"BRTH", FC::Time},  {"RMRK", FC::SubText},
    {"CHK1", FC::Check}, {"CHK2", FC::Check}, {"CHK3", FC::Check}, {"CHK4", FC::Check},
};
constexpr KindField kBusinessCard[] = {
    {"SCRT", FC::Flag},    {"NAME", FC::Text},    {"NAPR", FC::Text},  {"TEL1", FC::Text},
    {"FAX1", FC::Text},    {"OFCE", FC::Text},    {"OFPR", FC::Text},  {"SCTN", FC::Text},
    {"PSTN", FC::Text},    {"ZIPC", FC::Text},    {"ADR1", FC::Text},  {"BRTH", FC::Time},
    {"RMRK", FC::SubText}, {"CHK1", FC::Check},   {"CHK2", FC::Check}, {"CHK3", FC::Check},
    {"CHK4", FC::Check},   {"ASCT", FC::SubText},
};
constexpr KindField kSchedule[] = {
    {"SCRT", FC::Flag}, {"TIM1", FC::Time}, {"TIM2", FC::Time},
    {"ALRM", FC::Time}, {"ALON", FC::Flag}, {"MEM1", FC::Text},
};
constexpr KindField kAnniversary[] = {
    {"SCRT", FC::Flag},
    {"ANN1", FC::Time},
    {"MEM1", FC::Text},
};
constexpr KindField kAnniversaryWeek[] = {
    {"SCRT", FC::Flag},
    {"ANN2", FC::DayWeek},
    {"MEM1", FC::Text},
};
constexpr KindField kActionList[] = {
    {"SCRT", FC::Flag},  {"ETDY", FC::Time}, {"FNDY", FC::Time}, {"MARK", FC::Ascii},
    {"PRTY", FC::Ascii}, {"MEM1", FC::Text}, {"LTDY", FC::Time},
};
constexpr KindField kReport[] = {
    {"SCRT", FC::Flag},   {"CLAS", FC::Text},      {"MEM1", FC::Text},
    {"PRF1", FC::Binary}, {"CLSC", FC::Phonogram},
};
constexpr KindField kMemo[] = {
    {"SCRT", FC::Flag},
    {"CLAS", FC::Text},
    {"IMG1", FC::Image},
};

struct KindInfo {
    std::span<const KindField> fields;
    int tagBaseId;
};

const std::array<KindInfo, 8> kKinds = {{
    {kPhoneBook, 10240},
    {kBusinessCard, 10256},
    {kSchedule, 10288},
    {kAnniversary, 10304},
    {kAnniversaryWeek, 10320},
    {kActionList, 10336},
    {kReport, 10352},
    {kMemo, 10384},
}};

constexpr int kKindNameBaseId = 4095;

bool IsTagText(const std::string& s) {
    if (s.size() != 4)
        return false;
    for (const char c : s) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

} // namespace

std::span<const KindField> KindFieldList(int kind) {
    if (!IsValidKind(kind))
        return {};
    return kKinds[static_cast<std::size_t>(kind - 1)].fields;
}

int KindFieldCount(int kind) {
    return static_cast<int>(KindFieldList(kind).size());
}

int KindTagBaseId(int kind) {
    return IsValidKind(kind) ? kKinds[static_cast<std::size_t>(kind - 1)].tagBaseId : 0;
}

int KindNameId(int kind) {
    return IsValidKind(kind) ? kKindNameBaseId + kind : 0;
}

std::string KindName(int kind) {
    return IsValidKind(kind) ? LoadString(KindNameId(kind)) : std::string();
}

std::vector<std::string> KindTags(int kind) {
    std::vector<std::string> tags;
    const auto fields = KindFieldList(kind);
    tags.reserve(fields.size());
    const int base = KindTagBaseId(kind);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& loaded = LoadString(base + static_cast<int>(i));
        tags.push_back(IsTagText(loaded) ? loaded : std::string(fields[i].tag));
    }
    return tags;
}

std::vector<std::string> TitlesForTags(const std::vector<std::string>& tags) {
    std::vector<std::string> titles;
    titles.reserve(tags.size());
    for (const std::string& tag : tags)
        titles.push_back(FieldStoredTitle(TagCodeOf(tag)));
    return titles;
}

bool KindLayout(int kind, std::vector<std::string>& tags, std::vector<std::string>& titles) {
    tags.clear();
    titles.clear();
    if (!IsValidKind(kind))
        return false;
    tags = KindTags(kind);
    titles = TitlesForTags(tags);
    return true;
}

int DeduceKind(std::span<const FieldTag> tags) {
    int counter = 0;
    for (const FieldTag tag : tags) {
        switch (tag) {
        case MakeTag("TIM1"):
            return kKindSchedule;
        case MakeTag("ANN1"):
            return kKindAnniversary;
        case MakeTag("ANN2"):
            return kKindAnniversaryWeek;
        case MakeTag("ETDY"):
            return kKindActionList;
        case MakeTag("CLSC"):
            return kKindReport;
        case MakeTag("IMG1"):
            return kKindMemo;
        case MakeTag("NAME"):
            counter += 1;
            break;
        case MakeTag("OFCE"):
            counter += 2;
            break;
        default:
            break;
        }
    }
    if (counter == 1)
        return kKindPhoneBook;
    if (counter == 3)
        return kKindBusinessCard;
    return kKindNone;
}

int DeduceKind(const std::vector<std::string>& tags) {
    std::vector<FieldTag> codes;
    codes.reserve(tags.size());
    for (const std::string& tag : tags)
        codes.push_back(TagCodeOf(tag));
    return DeduceKind(std::span<const FieldTag>(codes));
}

} // namespace tessera
