#pragma once
// Phone book and business cards <-> vCard 3.0. Fields vCard has no property for travel in
// X-TESSERA-<tag> properties, so a round trip keeps every value.

#include <string>
#include <string_view>

#include "filters/FilterKit.h"

namespace tessera::filters {

bool ExportVCard(const CRecordSet& set, std::string& out, Failure& failure);
// A property the records have no place for (an e-mail address, a second phone number) is
// refused with 19 rather than left out.
bool ImportVCard(std::string_view in, CRecordSet& set, Failure& failure);

FormatOps VCardOps();

} // namespace tessera::filters
