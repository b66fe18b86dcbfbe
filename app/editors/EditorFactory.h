#pragma once
// The one way into the record editors: the add, insert and properties commands pick the
// editor of a record's kind here, run it modally and learn whether the record changed.

#include <memory>

class QWidget;

namespace tessera {

class CAppSettings;
class CDataRecord;
class CRecordEditor;

// True for the kinds that have an editor (1..8).
bool HasEditor(int kind);

// Runs the editor of `kind` on `record`. A new record (`isNew`) starts from the editor's
// defaults, an existing one is loaded first (a record that cannot be loaded shows 1038 and
// returns false). Returns true only when the user confirmed and every value was stored in
// `record`; on Cancel, or when loading fails, `record` is untouched.
bool EditRecord(QWidget* parent, int kind, CDataRecord& record, bool isNew,
                const CAppSettings& settings);

// The editor of `kind` without running it (null for a kind without one). For callers that
// need the dialog itself, such as widget tests and the screenshot tool.
std::unique_ptr<CRecordEditor> CreateEditor(int kind, QWidget* parent,
                                            const CAppSettings& settings);

} // namespace tessera
