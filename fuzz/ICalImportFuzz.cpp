// The iCalendar filter's reader on arbitrary text, and the round trip of what it accepts
// (fuzz/FuzzFilter.h).

#include "FuzzFilter.h"
#include "filters/ICalFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tessera::fuzz::FuzzFilterImport(data, size, tessera::filters::ImportICal,
                                           tessera::filters::ExportICal);
}
