#pragma once
// Update hints of a document's views: 0 rebuilds the whole table, 1 replaces the row of one
// changed record, which `CUpdateWindow` names.

namespace tessera {

class CDataRecord;

enum UpdateHint : int {
    kHintRebuild = 0,
    kHintRecord = 1,
};

struct CUpdateWindow {
    int index = -1;
    CDataRecord* record = nullptr;
};

} // namespace tessera
