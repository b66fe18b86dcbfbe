#include "model/FieldLimits.h"

#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "text/LeadByte.h"

namespace tessera {

int FieldByteLimit(int kind, FieldTag tag) {
    constexpr int kMemoLimit = 1024;
    constexpr int kTitleLimit = 20; // a report's file name, a handwritten memo's title
    switch (kind) {
    case kKindSchedule:
    case kKindAnniversary:
    case kKindAnniversaryWeek:
    case kKindActionList:
        return tag == MakeTag("MEM1") ? kMemoLimit : 0;
    case kKindReport:
    case kKindMemo:
        return tag == MakeTag("CLAS") ? kTitleLimit : 0;
    default:
        return 0;
    }
}

std::size_t CutToByteLimit(std::string& text, int limit) {
    if (limit <= 0 || text.size() <= static_cast<std::size_t>(limit))
        return 0;
    const std::size_t end = WholeCharacterBytes(text, static_cast<std::size_t>(limit));
    const std::size_t cut = text.size() - end;
    text.resize(end);
    return cut;
}

void CutRecordToLimits(int kind, CDataRecord& record, LimitCut& cut) {
    for (int i = 0; i < record.FieldCount(); ++i) {
        CField* field = record.FieldAt(i);
        if (field == nullptr ||
            (field->Class() != FieldClass::Text && field->Class() != FieldClass::SubText))
            continue;
        const int limit = FieldByteLimit(kind, field->Tag());
        const std::string* value = ValueAs<std::string>(field->GetValue());
        if (limit <= 0 || value == nullptr || value->size() <= static_cast<std::size_t>(limit))
            continue;
        std::string text = *value;
        const std::size_t n = CutToByteLimit(text, limit);
        if (field->SetValue(FieldValue{std::move(text)})) {
            ++cut.fields;
            cut.bytes += n;
        }
    }
}

} // namespace tessera
