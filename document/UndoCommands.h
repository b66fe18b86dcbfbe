#pragma once
// Undo and redo of the record commands. Every add, insert, edit, delete, cut and paste of a
// document is one command on the document's QUndoStack. Each operation below performs the
// change, then pushes the command that can take it back, so callers keep their own checks
// and messages and only swap the final step:
//
//     InsertRecordsUndoable(stack, doc, position, std::move(records), UndoText::Add);
//     DeleteRecordsUndoable(stack, doc, indices, UndoText::Cut);
//     ReplaceRecordUndoable(stack, doc, index, std::move(editedCopy));
//
// A command holds the records it took out, and positions in the set. That is only sound
// while every change of the set goes through the stack: anything that replaces the whole
// set (receive, import, paste into a kind-0 document) calls ResetUndo, and a new or opened
// document starts with no history at all.

#include "model/RecordSet.h"

#include <QString>
#include <QUndoCommand>
#include <memory>
#include <utility>
#include <vector>

class QUndoStack;

namespace tessera {

class CTesseraDoc;

enum class UndoText { Add, Insert, Edit, Delete, Cut, Paste };
// The name the Edit menu shows after "元に戻す" / "やり直し".
QString UndoTextOf(UndoText what);

// Records inserted at `first`, `first + 1`, ...: undo takes them out again.
class CInsertRecordsCommand : public QUndoCommand {
public:
    // The records are in the set already (the change was made); the first redo does nothing.
    CInsertRecordsCommand(CTesseraDoc& doc, int first, int count, const QString& text);
    void undo() override;
    void redo() override;
    int First() const { return m_first; }
    int Count() const { return m_count; }

private:
    CTesseraDoc& m_doc;
    int m_first;
    int m_count;
    RecordList m_taken; // while undone
    bool m_done = true;
};

// Records taken out of the set, each with the index it had: undo puts them back.
class CDeleteRecordsCommand : public QUndoCommand {
public:
    using Removed = std::vector<std::pair<int, std::unique_ptr<CDataRecord>>>;
    // `removed` ascending by original index; already out of the set.
    CDeleteRecordsCommand(CTesseraDoc& doc, Removed removed, const QString& text);
    void undo() override;
    void redo() override;

private:
    CTesseraDoc& m_doc;
    std::vector<int> m_indices;
    RecordList m_records; // while done
    bool m_done = true;
};

// One record replaced by its edited copy: undo swaps the old record back in.
class CEditRecordCommand : public QUndoCommand {
public:
    // The edited record is in the set at `index` already; `previous` is the one it replaced.
    CEditRecordCommand(CTesseraDoc& doc, int index, std::unique_ptr<CDataRecord> previous,
                       const QString& text);
    void undo() override;
    void redo() override;

private:
    void Swap();
    CTesseraDoc& m_doc;
    int m_index;
    std::unique_ptr<CDataRecord> m_other;
    bool m_done = true;
};

// Inserts `records` before `position` (-1 or past the end appends) and pushes the command.
// False (nothing changed, nothing pushed) when there is no set or no record.
bool InsertRecordsUndoable(QUndoStack& stack, CTesseraDoc& doc, int position, RecordList records,
                           UndoText what);
// For records a move already put into the set (a paste): `count` records at `first`.
void RecordsInsertedUndoable(QUndoStack& stack, CTesseraDoc& doc, int first, int count,
                             UndoText what);
// Takes out the records at `indices` (any order, duplicates and bad indices ignored) and
// pushes the command. Returns the number taken out.
int DeleteRecordsUndoable(QUndoStack& stack, CTesseraDoc& doc, std::vector<int> indices,
                          UndoText what);
// Puts `edited` in place of the record at `index` and pushes the command. False when there is
// no record there.
bool ReplaceRecordUndoable(QUndoStack& stack, CTesseraDoc& doc, int index,
                           std::unique_ptr<CDataRecord> edited);

// Makes the document's modified flag follow the stack: modified while the stack is away from
// its clean state. A save (the flag going false) marks the stack clean; a change made outside
// the stack (the flag going true while clean) leaves the clean state for good.
void BindUndoStack(CTesseraDoc& doc, QUndoStack& stack);
// The whole set was replaced: the history no longer applies. Clears the stack and marks the
// document modified (the stack can never get back to a clean state before the next save).
void ResetUndo(QUndoStack& stack, CTesseraDoc& doc);

} // namespace tessera
