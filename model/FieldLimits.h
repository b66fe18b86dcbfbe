#pragma once
// The byte limits of the record fields, in code page 932 bytes: the editors bound their edits
// with them and a paste into the record table cuts to them, so both agree on what fits.

#include "model/FieldNames.h"
#include "model/RecordKind.h" // the kind ids callers pass

#include <cstddef>
#include <string>

namespace tessera {

// The most bytes field `tag` of kind `kind` may hold; 0 when the field has no fixed limit.
int FieldByteLimit(int kind, FieldTag tag);

// Cuts `text` (code page 932) to at most `limit` bytes without splitting a double-byte
// character; returns the number of bytes cut. A limit of 0 or less cuts nothing.
std::size_t CutToByteLimit(std::string& text, int limit);

class CDataRecord;

// What a paste cut to the field limits: how many values and how many bytes in all.
struct LimitCut {
    int fields = 0;
    std::size_t bytes = 0;
};

// Cuts every text field of `record` (of kind `kind`) to its limit, adding what it cut to `cut`.
void CutRecordToLimits(int kind, CDataRecord& record, LimitCut& cut);

} // namespace tessera
