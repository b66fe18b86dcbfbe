#pragma once
// What every record editor shares: the modal dialog base with its OK/Cancel/Help flow, the
// edits that count their limit in code page 932 bytes, the number edits with spin buttons,
// and the staged writes that put the composed values into a record only once every field
// has accepted its value.
//
// The parts live in app/editors/common/, one file per kind of part; this header gives them all.

#include "app/editors/common/EditorDialog.h"
