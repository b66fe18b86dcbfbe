// The record-set reader on arbitrary bytes. The first byte picks the answers to the reader's
// questions and the character conversion groups. Whatever the reader accepts must write out
// and read back with no question asked, and write out again to the very same bytes; the
// buffer writer must keep to its capacity. The one exception: a done mark or priority
// without a value writes a text that reading refuses on purpose (so no value is made up),
// and each of them is asked about once.

#include "FuzzCheck.h"
#include "FuzzPrompter.h"
#include "model/CodeMap.h"
#include "model/RecordSet.h"

#include <string>
#include <vector>

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const unsigned policy = data[0];
    const tessera::fuzz::ExactBlock input(data + 1, size - 1);

    CodeMapFlags flags;
    flags.convAlphaNumeric = (policy & 0x10) != 0;
    flags.convSymbol = (policy & 0x20) != 0;
    flags.convHiraKana = (policy & 0x40) != 0;
    static CCodeMap* map = [] {
        static CCodeMap m;
        FUZZ_CHECK(m.LoadTables());
        return &m;
    }();
    map->SetFlags(&flags);

    std::string first;
    int count = 0;
    int kind = 0;
    int unsetMarks = 0;
    {
        tessera::fuzz::PolicyPrompter prompter(policy);
        CRecordSet set;
        int errors = 0;
        const bool ok =
            set.ReadText(input.data(), input.size(), (policy & 0x80) != 0 ? map : nullptr, &errors);
        map->SetFlags(nullptr);
        FUZZ_CHECK(errors >= 0);
        if (!ok)
            return 0;
        count = set.RecordCount();
        kind = set.Kind();
        for (int r = 0; r < count; ++r) {
            const CDataRecord* record = set.RecordAt(r);
            for (int f = 0; f < record->FieldCount(); ++f) {
                const CField* field = record->FieldAt(f);
                if (field != nullptr && field->Class() == FieldClass::Ascii && field->IsEmpty())
                    ++unsetMarks;
            }
        }
        if (!set.WriteTextToString(first))
            return 0;

        // The buffer writer: exactly enough room, and one byte less.
        const int need = static_cast<int>(first.size());
        std::vector<char> exact(first.size());
        const int written = set.WriteTextToBuffer(nullptr, exact.data(), need);
        FUZZ_CHECK(written == need);
        FUZZ_CHECK(std::string(exact.data(), exact.size()) == first);
        if (need > 0) {
            std::vector<char> tight(first.size() - 1);
            FUZZ_CHECK(set.WriteTextToBuffer(nullptr, tight.data(), need - 1) == -1);
        }

        // A selection writes the listed records in the listed order; a position without a
        // record fails the whole write.
        if (count > 0) {
            const std::vector<int32_t> selection = {count - 1, 0};
            std::vector<char> room(first.size() * 2 + 64);
            const int size =
                set.WriteTextToBuffer(&selection, room.data(), static_cast<int>(room.size()));
            FUZZ_CHECK(size > 0);
            tessera::fuzz::PolicyPrompter ignoring(1);
            CRecordSet picked;
            FUZZ_CHECK(picked.ReadText(room.data(), static_cast<std::size_t>(size), nullptr));
            FUZZ_CHECK(picked.RecordCount() == 2);
            const std::vector<int32_t> missing = {0, count};
            FUZZ_CHECK(
                set.WriteTextToBuffer(&missing, room.data(), static_cast<int>(room.size())) == -1);
        }
    }

    tessera::fuzz::PolicyPrompter ignoring(1);
    CRecordSet again;
    int errors = 0;
    FUZZ_CHECK(again.ReadText(first, nullptr, &errors));
    FUZZ_CHECK(errors == unsetMarks);
    for (const int id : ignoring.ids)
        FUZZ_CHECK(id == kMsgInvalidInput || id == kMsgBadValue || id == kMsgIgnoreAll);
    FUZZ_CHECK(unsetMarks > 0 || ignoring.ids.empty());
    FUZZ_CHECK(again.RecordCount() == count);
    FUZZ_CHECK(again.Kind() == kind);
    std::string second;
    FUZZ_CHECK(again.WriteTextToString(second));
    FUZZ_CHECK(second == first);
    return 0;
}
