#pragma once
// Import into and export from a document through a registered filter program.

#include "base/FilterRunner.h"

#include <QString>

namespace tessera {

class CTesseraDoc;

// Imports `path` through the filter registered as `filterName` and merges the records into
// the document (see MergeImported). On any failure the document is as it was.
bool ImportFile(CTesseraDoc& doc, const QString& path, const QString& filterName,
                const FilterWaiter& waiter = WaitForFilter);
// Exports all records of the document into `path` (taken as given).
bool ExportFile(CTesseraDoc& doc, const QString& path, const QString& filterName,
                const FilterWaiter& waiter = WaitForFilter);

} // namespace tessera
