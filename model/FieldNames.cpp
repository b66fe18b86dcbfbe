#include "model/FieldNames.h"

#include "text/StringTable.h"

#include <unordered_map>

namespace tessera {

namespace {

// Order matters: the i-th tag's name is string 7168 + i.
constexpr FieldTag kNamedTags[kNamedTagCount] = {
    MakeTag("SCRT"), MakeTag("NAME"), MakeTag("NAPR"), MakeTag("TEL1"), MakeTag("FAX1"),
    MakeTag("OFCE"), MakeTag("OFPR"), MakeTag("SCTN"), MakeTag("PSTN"), MakeTag("ZIPC"),
    MakeTag("ADR1"), MakeTag("BRTH"), MakeTag("RMRK"), MakeTag("CHK1"), MakeTag("CHK2"),
    MakeTag("CHK3"), MakeTag("CHK4"), MakeTag("ASCT"), MakeTag("TIM1"), MakeTag("TIM2"),
    MakeTag("ALRM"), MakeTag("ALON"), MakeTag("ANN1"), MakeTag("ANN2"), MakeTag("ETDY"),
    MakeTag("FNDY"), MakeTag("LTDY"), MakeTag("MARK"), MakeTag("PRTY"), MakeTag("MEM1"),
    MakeTag("CLAS"), MakeTag("PRF1"), MakeTag("CLSC"), MakeTag("IMG1"), MakeTag("SYNC"),
};

} // namespace

std::string TagText(FieldTag tag) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((tag >> (24 - 8 * i)) & 0xFF);
    return s;
}

FieldTag NamedTagAt(int i) {
    return (i >= 0 && i < kNamedTagCount) ? kNamedTags[i] : 0;
}

const std::string& FieldDisplayName(FieldTag tag) {
    // Names are taken from the string table on first use, after any resource pack has
    // been loaded at start-up, and kept for the life of the process.
    static const std::unordered_map<FieldTag, std::string> names = [] {
        std::unordered_map<FieldTag, std::string> m;
        for (int i = 0; i < kNamedTagCount; ++i)
            m.emplace(kNamedTags[i], LoadString(kFieldNameFirstId + i));
        return m;
    }();
    static const std::string none;
    auto it = names.find(tag);
    return it == names.end() ? none : it->second;
}

const std::string& FieldStoredTitle(FieldTag tag) {
    for (int i = 0; i < kNamedTagCount; ++i)
        if (kNamedTags[i] == tag)
            return BuiltInString(kFieldNameFirstId + i);
    static const std::string none;
    return none;
}

} // namespace tessera
