#include "document/FilterDoc.h"

#include "document/DocHost.h"
#include "document/TesseraDoc.h"
#include "document/UndoCommands.h"
#include "document/UpdateHint.h"
#include "model/RecordSet.h"

namespace tessera {

bool ImportFile(CTesseraDoc& doc, const QString& path, const QString& filterName,
                const FilterWaiter& waiter) {
    FilterProgram filter;
    if (!LookUpFilter(filterName, filter))
        return false;
    std::unique_ptr<CRecordSet> imported =
        RunImportFilter(filter, path, doc.Host().CodeMap(), waiter);
    if (!imported)
        return false;
    switch (MergeImported(doc.RecordSet(), *imported)) {
    case MergeResult::Refused:
        return false;
    case MergeResult::TakeWhole:
        doc.SetRecordSet(std::move(imported));
        break;
    case MergeResult::Appended:
        break;
    }
    // An import is not one of the steps the history takes back: it starts afresh, and the
    // document counts as changed until it is saved.
    ResetUndo(doc.UndoStack(), doc);
    doc.UpdateAllViews(nullptr, kHintRebuild);
    return true;
}

bool ExportFile(CTesseraDoc& doc, const QString& path, const QString& filterName,
                const FilterWaiter& waiter) {
    FilterProgram filter;
    if (!LookUpFilter(filterName, filter))
        return false;
    CRecordSet empty;
    const CRecordSet* set = doc.RecordSet() != nullptr ? doc.RecordSet() : &empty;
    return RunExportFilter(*set, filter, path, waiter);
}

} // namespace tessera
