#pragma once
// What the three bundled filters' fuzz targets share: the import step exactly as the filter
// program runs it (only UTF-8 reaches the format's reader, every question refused), then
// the round trip: records a file gave must export, and that export must import back to the
// very same records, so an import followed by an export loses nothing.

#include "FuzzCheck.h"
#include "FuzzPrompter.h"
#include "filters/FilterKit.h"

#include <string>
#include <string_view>

namespace tessera::fuzz {

// The filter program's own test before import: well-formed UTF-8 by lead and follow bytes.
inline bool LooksUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else if (c >= 0x80)
            return false;
        for (std::size_t k = 1; k <= n; ++k)
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n + 1;
    }
    return true;
}

template <typename Import, typename Export>
int FuzzFilterImport(const std::uint8_t* data, std::size_t size, Import import, Export exportSet) {
    using namespace tessera::filters;
    const ExactBlock input(data, size);
    if (!LooksUtf8(input.view()))
        return 0;
    PolicyPrompter prompter(0);
    RunNotes().Clear();
    CRecordSet set;
    Failure failure;
    if (!import(input.view(), set, failure)) {
        FUZZ_CHECK(failure.code != kExitOk);
        FUZZ_CHECK(!failure.message.empty());
        return 0;
    }
    std::string first;
    if (!set.WriteTextToString(first) || !prompter.ids.empty())
        return 0; // the program refuses these with a message of its own

    const int kind = set.Kind();
    const int count = set.RecordCount();
    // Takes the records out of `set`.
    std::unique_ptr<CRecordSet> own = OnKindTags(set, kind, failure);
    FUZZ_CHECK(own != nullptr);
    std::string foreign;
    FUZZ_CHECK(exportSet(*own, foreign, failure));
    CRecordSet back;
    RunNotes().Clear();
    FUZZ_CHECK(import(foreign, back, failure));
    FUZZ_CHECK(prompter.ids.empty());
    FUZZ_CHECK(back.Kind() == kind);
    FUZZ_CHECK(back.RecordCount() == count);
    std::string second;
    FUZZ_CHECK(back.WriteTextToString(second));
    FUZZ_CHECK(second == first);
    RunNotes().Clear();
    return 0;
}

} // namespace tessera::fuzz
