// Every field class's ParseText on arbitrary text. The first byte picks the tag. What a
// field accepts must format to an exchange text that a new field of the same tag accepts and
// formats identically; copies must agree; a refused text leaves the field empty (an image
// field keeps its picture); FormatText must keep to the capacity it is given.

#include "FuzzCheck.h"
#include "FuzzPrompter.h"
#include "model/Field.h"

#include <string>
#include <vector>

using namespace tessera;

namespace {

void CheckCapacity(const CField& field, const std::string& full, bool display) {
    const std::size_t sizes[] = {0, 1, 2, full.size(), full.size() + 1, 16384};
    for (const std::size_t capacity : sizes) {
        std::vector<char> buffer(capacity);
        const bool ok = field.FormatText(buffer.data(), capacity, display);
        if (ok) {
            FUZZ_CHECK(capacity > full.size());
            // Compared by length: a value read from elsewhere than the text form may hold a
            // zero byte, which the text form itself never carries.
            FUZZ_CHECK(std::string(buffer.data(), full.size()) == full);
            FUZZ_CHECK(buffer[full.size()] == '\0');
        } else if (capacity > 0) {
            FUZZ_CHECK(buffer[0] == '\0');
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    tessera::fuzz::PolicyPrompter prompter(0);
    const FieldTag tag = NamedTagAt(data[0] % kNamedTagCount);
    std::unique_ptr<CField> field = CreateField(tag);
    if (!field)
        return 0;
    const tessera::fuzz::ExactBlock text(data + 1, size - 1);

    if (!field->ParseText(text.view())) {
        if (field->Class() != FieldClass::Image)
            FUZZ_CHECK(field->IsEmpty());
        return 0;
    }

    std::string exchange;
    const bool formatted = field->FormatText(exchange, false);
    std::string display;
    const bool shown = field->FormatText(display, true);
    if (formatted)
        CheckCapacity(*field, exchange, false);
    if (shown)
        CheckCapacity(*field, display, true);

    const std::unique_ptr<CField> copy = field->Clone();
    FUZZ_CHECK(copy != nullptr);
    FUZZ_CHECK(copy->Text(false) == field->Text(false));
    FUZZ_CHECK(copy->Text(true) == field->Text(true));
    FUZZ_CHECK(copy->IsEmpty() == field->IsEmpty());

    if (!formatted)
        return 0;
    std::unique_ptr<CField> fresh = CreateField(tag);
    FUZZ_CHECK(fresh->ParseText(exchange));
    std::string again;
    FUZZ_CHECK(fresh->FormatText(again, false));
    FUZZ_CHECK(again == exchange);
    // The text form never hands a field a CR, a zero byte or an end mark; given one, a report
    // item list (tab mode) legitimately reads its CR LF back as an item separator.
    if (text.view().find_first_of(std::string_view("\r\0\x1a", 3)) == std::string_view::npos)
        FUZZ_CHECK(fresh->Text(true) == field->Text(true));
    return 0;
}
