#pragma once
// The eight kinds of device data. A kind fixes the ordered tag list of its records, and
// through the tags the field classes and the column titles.

#include "model/Field.h"
#include "model/FieldNames.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

enum RecordKindId : int {
    kKindNone = 0,      // not yet set, or not recognised
    kKindPhoneBook = 1, // 電話帳
    kKindBusinessCard = 2,
    kKindSchedule = 3,
    kKindAnniversary = 4,     // month and day
    kKindAnniversaryWeek = 5, // month, week and day of week
    kKindActionList = 6,
    kKindReport = 7, // report / free notebook
    kKindMemo = 8,   // handwritten memo
};
constexpr int kFirstKind = 1;
constexpr int kLastKind = 8;

inline bool IsValidKind(int kind) {
    return kind >= kFirstKind && kind <= kLastKind;
}

// One column of a kind's records.
struct KindField {
    const char* tag; // four upper-case ASCII characters
    FieldClass fieldClass;
};

// The built-in field list of a kind, in column order; empty for an invalid kind.
std::span<const KindField> KindFieldList(int kind);
// Number of fields of a kind; 0 for an invalid kind.
int KindFieldCount(int kind);
// String id of the kind's first tag; its tags are the following strings. 0 when invalid.
int KindTagBaseId(int kind);
// String id of the kind's name (4095 + kind); 0 when invalid.
int KindNameId(int kind);
// The kind's name from the string table; empty for an invalid kind.
std::string KindName(int kind);

// The kind's tag list as loaded from the string table (base id + i). An entry the table
// lacks or holds malformed falls back to the built-in tag, so a partial resource pack can
// never shift columns.
std::vector<std::string> KindTags(int kind);
// One title per tag through the field-name table (empty for an unknown tag), same order.
std::vector<std::string> TitlesForTags(const std::vector<std::string>& tags);
// Tags and titles of a kind in one call: what a record set takes when it is given a kind.
// False (both emptied) for an invalid kind.
bool KindLayout(int kind, std::vector<std::string>& tags, std::vector<std::string>& titles);

// The kind of a tag list read from text: the first of TIM1 ANN1 ANN2 ETDY CLSC IMG1 decides
// (3 4 5 6 7 8); otherwise NAME counts 1 and OFCE 2, and a total of 1 is the phone book, 3
// the business cards. 0 when not recognised (and for an empty list).
int DeduceKind(const std::vector<std::string>& tags);
int DeduceKind(std::span<const FieldTag> tags);

} // namespace tessera
