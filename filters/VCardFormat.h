#pragma once
// Phone book and business cards <-> vCard. Export writes 3.0 with a UID on every card and
// only real dates; fields vCard has no property for (and a day the month does not have)
// travel in X-TESSERA-<tag> properties, which import reads first, so a round trip keeps
// every value. Import reads 2.1 (quoted-printable, CHARSET=SHIFT_JIS and others), 3.0 and 4.0.

#include "filters/FilterKit.h"

#include <string>
#include <string_view>

namespace tessera::filters {

bool ExportVCard(const CRecordSet& set, std::string& out, Failure& failure);
// A property the records have no field for (an e-mail address, a second phone number) is
// kept in the remark as a labelled line; binary data (a photo) is left out with a note.
bool ImportVCard(std::string_view in, CRecordSet& set, Failure& failure);

FormatOps VCardOps();

} // namespace tessera::filters
