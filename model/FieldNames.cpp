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

namespace {

// The position of `tag` among the named tags; -1 when it has no name.
int NamedIndex(FieldTag tag) {
    static const std::unordered_map<FieldTag, int> index = [] {
        std::unordered_map<FieldTag, int> m;
        for (int i = 0; i < kNamedTagCount; ++i)
            m.emplace(kNamedTags[i], i);
        return m;
    }();
    const auto it = index.find(tag);
    return it == index.end() ? -1 : it->second;
}

} // namespace

const std::string& FieldDisplayName(FieldTag tag) {
    // Looked up each time (a window asks once per column), so a language pack loaded at
    // start-up or a test's override is what shows.
    static const std::string none;
    const int i = NamedIndex(tag);
    return i < 0 ? none : LoadString(kFieldNameFirstId + i);
}

const std::string& FieldStoredTitle(FieldTag tag) {
    static const std::string none;
    const int i = NamedIndex(tag);
    return i < 0 ? none : BuiltInString(kFieldNameFirstId + i);
}

} // namespace tessera
