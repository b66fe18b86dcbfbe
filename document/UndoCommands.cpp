#include "document/UndoCommands.h"

#include "base/Cp932.h"
#include "document/TesseraDoc.h"
#include "document/UpdateHint.h"
#include "text/StringTable.h"

#include <QUndoStack>
#include <algorithm>

namespace tessera {

namespace {

QString Text(int id, const char* fallback) {
    if (HasString(id))
        return Cp932ToQString(LoadString(id));
    return QString::fromUtf8(fallback);
}

void Rebuild(CTesseraDoc& doc) {
    doc.UpdateAllViews(nullptr, kHintRebuild);
}

} // namespace

QString UndoTextOf(UndoText what) {
    switch (what) {
    case UndoText::Add:
        return Text(9120, "");
    case UndoText::Insert:
        return Text(9121, "");
    case UndoText::Edit:
        return Text(9122, "");
    case UndoText::Delete:
        return Text(9123, "");
    case UndoText::Cut:
        return Text(9124, "");
    case UndoText::Paste:
        return Text(9125, "");
    }
    return {};
}

// ---------------------------------------------------------------- insert

CInsertRecordsCommand::CInsertRecordsCommand(CTesseraDoc& doc, int first, int count,
                                             const QString& text)
    : QUndoCommand(text), m_doc(doc), m_first(first), m_count(count) {}

void CInsertRecordsCommand::undo() {
    CRecordSet* set = m_doc.RecordSet();
    if (set == nullptr || !m_done)
        return;
    m_taken.clear();
    for (int i = 0; i < m_count; ++i) {
        std::unique_ptr<CDataRecord> r = set->TakeRecord(m_first);
        if (r)
            m_taken.push_back(std::move(r));
    }
    m_done = false;
    Rebuild(m_doc);
}

void CInsertRecordsCommand::redo() {
    if (m_done)
        return; // the change was made before the command was pushed
    CRecordSet* set = m_doc.RecordSet();
    if (set == nullptr)
        return;
    set->InsertRecords(m_first, std::move(m_taken));
    m_taken.clear();
    m_done = true;
    Rebuild(m_doc);
}

// ---------------------------------------------------------------- delete

CDeleteRecordsCommand::CDeleteRecordsCommand(CTesseraDoc& doc, Removed removed, const QString& text)
    : QUndoCommand(text), m_doc(doc) {
    for (auto& [index, record] : removed) {
        m_indices.push_back(index);
        m_records.push_back(std::move(record));
    }
}

void CDeleteRecordsCommand::undo() {
    CRecordSet* set = m_doc.RecordSet();
    if (set == nullptr || !m_done)
        return;
    // Ascending original indices: each goes back where it was, the earlier ones already in.
    for (std::size_t i = 0; i < m_indices.size(); ++i)
        set->InsertRecord(m_indices[i], std::move(m_records[i]));
    m_records.clear();
    m_done = false;
    Rebuild(m_doc);
}

void CDeleteRecordsCommand::redo() {
    if (m_done)
        return;
    CRecordSet* set = m_doc.RecordSet();
    if (set == nullptr)
        return;
    m_records.clear();
    m_records.resize(m_indices.size());
    for (std::size_t i = m_indices.size(); i-- > 0;)
        m_records[i] = set->TakeRecord(m_indices[i]);
    m_done = true;
    Rebuild(m_doc);
}

// ---------------------------------------------------------------- edit

CEditRecordCommand::CEditRecordCommand(CTesseraDoc& doc, int index,
                                       std::unique_ptr<CDataRecord> previous, const QString& text)
    : QUndoCommand(text), m_doc(doc), m_index(index), m_other(std::move(previous)) {}

void CEditRecordCommand::Swap() {
    CRecordSet* set = m_doc.RecordSet();
    if (set == nullptr || !m_other)
        return;
    std::unique_ptr<CDataRecord> current = set->TakeRecord(m_index);
    if (!current)
        return;
    CDataRecord* in = m_other.get();
    set->InsertRecord(m_index, std::move(m_other));
    m_other = std::move(current);
    CUpdateWindow hint{m_index, in};
    m_doc.UpdateAllViews(nullptr, kHintRecord, &hint);
}

void CEditRecordCommand::undo() {
    if (!m_done)
        return;
    Swap();
    m_done = false;
}

void CEditRecordCommand::redo() {
    if (m_done)
        return;
    Swap();
    m_done = true;
}

// ---------------------------------------------------------------- operations

bool InsertRecordsUndoable(QUndoStack& stack, CTesseraDoc& doc, int position, RecordList records,
                           UndoText what) {
    CRecordSet* set = doc.RecordSet();
    records.erase(std::remove(records.begin(), records.end(), nullptr), records.end());
    if (set == nullptr || records.empty())
        return false;
    const int count = static_cast<int>(records.size());
    const int first =
        position < 0 || position >= set->RecordCount() ? set->RecordCount() : position;
    if (!set->InsertRecords(first, std::move(records)))
        return false;
    stack.push(new CInsertRecordsCommand(doc, first, count, UndoTextOf(what)));
    Rebuild(doc);
    return true;
}

void RecordsInsertedUndoable(QUndoStack& stack, CTesseraDoc& doc, int first, int count,
                             UndoText what) {
    if (count <= 0)
        return;
    stack.push(new CInsertRecordsCommand(doc, first, count, UndoTextOf(what)));
}

int DeleteRecordsUndoable(QUndoStack& stack, CTesseraDoc& doc, std::vector<int> indices,
                          UndoText what) {
    CRecordSet* set = doc.RecordSet();
    if (set == nullptr)
        return 0;
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    indices.erase(std::remove_if(indices.begin(), indices.end(),
                                 [set](int i) { return i < 0 || i >= set->RecordCount(); }),
                  indices.end());
    if (indices.empty())
        return 0;
    CDeleteRecordsCommand::Removed removed(indices.size());
    // From the back, so the indices in front stay valid.
    for (std::size_t i = indices.size(); i-- > 0;)
        removed[i] = {indices[i], set->TakeRecord(indices[i])};
    const int count = static_cast<int>(removed.size());
    stack.push(new CDeleteRecordsCommand(doc, std::move(removed), UndoTextOf(what)));
    Rebuild(doc);
    return count;
}

bool ReplaceRecordUndoable(QUndoStack& stack, CTesseraDoc& doc, int index,
                           std::unique_ptr<CDataRecord> edited) {
    CRecordSet* set = doc.RecordSet();
    if (set == nullptr || !edited || set->RecordAt(index) == nullptr)
        return false;
    std::unique_ptr<CDataRecord> previous = set->TakeRecord(index);
    CDataRecord* in = edited.get();
    set->InsertRecord(index, std::move(edited));
    stack.push(new CEditRecordCommand(doc, index, std::move(previous), UndoTextOf(UndoText::Edit)));
    CUpdateWindow hint{index, in};
    doc.UpdateAllViews(nullptr, kHintRecord, &hint);
    return true;
}

void BindUndoStack(CTesseraDoc& doc, QUndoStack& stack) {
    QObject::connect(&stack, &QUndoStack::indexChanged, &doc,
                     [&doc, &stack] { doc.SetModifiedFlag(!stack.isClean()); });
    QObject::connect(&stack, &QUndoStack::cleanChanged, &doc,
                     [&doc](bool clean) { doc.SetModifiedFlag(!clean); });
    QObject::connect(&doc, &CTesseraDoc::ModifiedChanged, &stack, [&stack](bool modified) {
        if (!modified)
            stack.setClean(); // saved (or back at the saved state)
        else if (stack.isClean())
            stack.resetClean(); // changed outside the history
    });
}

void ResetUndo(QUndoStack& stack, CTesseraDoc& doc) {
    stack.clear();
    stack.resetClean();
    doc.SetModifiedFlag(true);
}

} // namespace tessera
