// The record commands' table and the document operations behind it; the transfers and
// their session are in TransferSession.cpp.
#include "document/RecordCommands.h"

#include "document/Clipboard.h"
#include "document/CommandIds.h"
#include "document/DocHost.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/Prompter.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QThread>
#include <algorithm>
#include <new>

namespace tessera {

namespace {

std::function<void(JobLink&)>& LinkAdjuster() {
    static std::function<void(JobLink&)> adjust;
    return adjust;
}

// A set without a kind that already has columns (tags no kind is known by) cannot be given
// a kind without destroying its records, so nothing is added to it.
bool IsBlankSet(const CRecordSet& set) {
    return set.Kind() == 0 && set.FieldCount() == 0 && set.RecordCount() == 0;
}

bool Locked(const CTesseraView& view) {
    return IsDocumentLocked(&view.Document());
}

bool HasSet(const CTesseraView& view) {
    return view.Document().RecordSet() != nullptr;
}

bool Selected(const CTesseraView& v) {
    return !Locked(v) && HasSet(v) && v.SelectedCount() > 0;
}
bool TransferAllowed(const CTesseraView& v) {
    return !v.Document().Host().IsBusy() && !Locked(v) && HasSet(v);
}

} // namespace

// ---------------------------------------------------------------- the command table

struct CRecordCommands::Entry {
    int id;
    bool (*enabled)(const CRecordCommands& c, const CTesseraView& v);
    void (*run)(CRecordCommands& c, CTesseraView& v);
};

const std::vector<CRecordCommands::Entry>& CRecordCommands::Table() {
    using C = CRecordCommands;
    using V = CTesseraView;
    static const std::vector<Entry> table = {
        {ID_RECORD_DELETE, [](const C&, const V& v) { return Selected(v); },
         [](C&, V& v) {
             const int n = v.SelectedCount();
             if (n > 0 && ShowMessage(kMsgConfirmDelete, PromptIcon::Question,
                                      PromptButtons::OkCancel, n) == PromptResult::Ok)
                 DeleteRecords(v.Document(), v.SelectedRecordIndices());
         }},
        {ID_EDIT_CUT, [](const C&, const V& v) { return Selected(v); },
         [](C& c, V& v) {
             const std::vector<int> indices = v.SelectedRecordIndices();
             if (!indices.empty() && CopyRecords(v.Document(), indices, c.m_host.SendBufferBytes()))
                 DeleteRecords(v.Document(), indices, UndoText::Cut);
         }},
        {ID_EDIT_COPY, [](const C&, const V& v) { return Selected(v); },
         [](C& c, V& v) {
             if (v.SelectedCount() > 0)
                 CopyRecords(v.Document(), v.SelectedRecordIndices(), c.m_host.SendBufferBytes());
         }},
        {ID_EDIT_PASTE,
         [](const C&, const V& v) { return !Locked(v) && HasSet(v) && ClipboardHasRecordText(); },
         [](C&, V& v) { PasteRecords(v.Document(), v.FocusedRecordIndex()); }},
        {ID_RECORD_ADD,
         [](const C& c, const V& v) { return !Locked(v) && c.CanAddRecord(v.Document()); },
         [](C& c, V& v) { c.AddRecord(v.Document(), &v, -1); }},
        {ID_RECORD_INSERT,
         [](const C& c, const V& v) { return Selected(v) && c.CanAddRecord(v.Document()); },
         [](C& c, V& v) {
             if (const int index = v.FocusedRecordIndex(); index >= 0)
                 c.AddRecord(v.Document(), &v, index);
         }},
        {ID_RECORD_PROPERTIES,
         [](const C& c, const V& v) { return Selected(v) && c.CanEditRecords(v.Document()); },
         [](C& c, V& v) {
             if (const int index = v.FocusedRecordIndex(); index >= 0)
                 c.EditRecordAt(v.Document(), &v, index);
         }},
        {ID_SEND_TO_DEVICE, [](const C&, const V& v) { return TransferAllowed(v); },
         [](C& c, V& v) {
             if (ShowMessage(kMsgConfirmSend, PromptIcon::Question, PromptButtons::OkCancel) ==
                 PromptResult::Ok)
                 c.SendRecords(v, nullptr);
         }},
        {ID_RECEIVE_FROM_DEVICE, [](const C&, const V& v) { return TransferAllowed(v); },
         [](C& c, V& v) { c.StartReceive(v); }},
        {ID_RECORD_SEND,
         [](const C&, const V& v) { return TransferAllowed(v) && v.SelectedCount() > 0; },
         [](C& c, V& v) {
             if (ShowMessage(kMsgConfirmSendSelected, PromptIcon::Question,
                             PromptButtons::OkCancel) != PromptResult::Ok)
                 return;
             const std::vector<int> indices = v.SelectedRecordIndices();
             c.SendRecords(v, &indices);
         }},
    };
    return table;
}

CRecordCommands::CRecordCommands(CRecordCommandHost& host) : m_host(host) {}

CRecordCommands::~CRecordCommands() {
    // A session still running reports to nobody; its job is cancelled and it ends on its own.
    if (m_session)
        m_session->Cancel();
}

bool CRecordCommands::UpdateCommand(const CTesseraView& view, int id, CommandState& state) const {
    for (const Entry& e : Table())
        if (e.id == id) {
            state.enabled = e.enabled(*this, view);
            return true;
        }
    return false;
}

bool CRecordCommands::RunCommand(CTesseraView& view, int id) {
    for (const Entry& e : Table())
        if (e.id == id) {
            if (e.enabled(*this, view))
                e.run(*this, view);
            return true;
        }
    return false;
}

bool CRecordCommands::HasEditorFor(int kind) const {
    return m_host.HasEditor(kind);
}

bool CRecordCommands::AnyEditor() const {
    for (int kind : kNewDocumentKinds)
        if (HasEditorFor(kind))
            return true;
    return false;
}

void SetJobLinkAdjuster(std::function<void(JobLink&)> adjust) {
    LinkAdjuster() = std::move(adjust);
}

void CRecordCommands::FillLink(JobLink& link) {
    m_host.FillLink(link);
    if (LinkAdjuster())
        LinkAdjuster()(link);
}

// ---------------------------------------------------------------- document operations

int DeleteRecords(CTesseraDoc& doc, std::vector<int> indices, UndoText what) {
    if (doc.RecordSet() == nullptr || indices.empty())
        return 0;
    return DeleteRecordsUndoable(doc.UndoStack(), doc, std::move(indices), what);
}

bool CopyRecords(const CTesseraDoc& doc, const std::vector<int>& indices, std::size_t bufferBytes) {
    const CRecordSet* set = doc.RecordSet();
    if (set == nullptr || indices.empty())
        return false;
    const std::vector<std::int32_t> selection(indices.begin(), indices.end());
    std::vector<char> buffer;
    const std::size_t capacity = std::min<std::size_t>(bufferBytes, 0x7FFFFFFF);
    try {
        buffer.resize(capacity);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    const int n = set->WriteTextToBuffer(&selection, buffer.data(), static_cast<int>(capacity));
    if (n < 0)
        return false;
    if (!PutRecordText(std::string(buffer.data(), static_cast<std::size_t>(n)),
                       doc.Host().CodeMap())) {
        ShowMessage(kMsgClipboardOpen, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    return true;
}

bool PasteRecords(CTesseraDoc& doc, int position) {
    CRecordSet* set = doc.RecordSet();
    if (set == nullptr)
        return false;
    std::string text;
    if (TakeRecordText(text) != ClipboardText::Ok)
        return false;
    // Cells copied from a spreadsheet: one record per row, in the table's column order.
    if (IsTabTable(text)) {
        RecordList rows;
        if (!ReadTabTable(text, *set, rows))
            return false;
        return InsertRecordsUndoable(doc.UndoStack(), doc, position, std::move(rows),
                                     UndoText::Paste);
    }
    std::unique_ptr<CRecordSet> pasted;
    int errors = 0;
    try {
        pasted = std::make_unique<CRecordSet>();
        if (!pasted->ReadText(text, doc.Host().CodeMap(), &errors))
            return false;
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    if (errors != 0)
        ShowMessage(kMsgFieldsEmptied, PromptIcon::Warning, PromptButtons::Ok, errors);
    // Values longer than their fields hold keep what fits, as the editors would take them.
    LimitCut cut;
    for (int i = 0; i < pasted->RecordCount(); ++i) {
        if (CDataRecord* record = pasted->RecordAt(i))
            CutRecordToLimits(pasted->Kind(), *record, cut);
    }
    ShowLimitCut(cut);

    // A document without a kind and without records takes the pasted set as it is. One
    // without a kind that holds records (of tags no kind is known by) is treated as a kind
    // of its own: replacing its set would throw those records away.
    if (set->Kind() == 0 && set->RecordCount() == 0) {
        doc.SetRecordSet(std::move(pasted));
        ResetUndo(doc.UndoStack(), doc);
        doc.UpdateAllViews(nullptr, kHintRebuild);
        return true;
    }
    // Where the records land, as the move places them.
    const int before = set->RecordCount();
    const int first = position < 0 || position >= before ? before : position;
    if (pasted->Kind() != set->Kind() || !CRecordSet::MoveRecords(*pasted, *set, position)) {
        ShowMessage(kMsgClipboardKind, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    pasted->Detach();
    RecordsInsertedUndoable(doc.UndoStack(), doc, first, set->RecordCount() - before,
                            UndoText::Paste);
    doc.UpdateAllViews(nullptr, kHintRebuild);
    return true;
}

bool CRecordCommands::CanAddRecord(const CTesseraDoc& doc) const {
    const CRecordSet* set = doc.RecordSet();
    if (set == nullptr)
        return false;
    if (set->Kind() == 0)
        return IsBlankSet(*set) && AnyEditor();
    return HasEditorFor(set->Kind());
}

bool CRecordCommands::CanEditRecords(const CTesseraDoc& doc) const {
    const CRecordSet* set = doc.RecordSet();
    return set != nullptr && IsValidKind(set->Kind()) && HasEditorFor(set->Kind());
}

bool CRecordCommands::AddRecord(CTesseraDoc& doc, QWidget* parent, int position) {
    CRecordSet* set = doc.RecordSet();
    if (set == nullptr)
        return false;
    bool kindChosen = false;
    if (set->Kind() == 0) {
        if (!IsBlankSet(*set)) {
            ShowMessage(kMsgUnsupportedKind, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
        const int choice = m_host.ChooseNewKind(parent);
        if (choice < 0)
            return false;
        if (choice > 7 || !set->SetKind(kNewDocumentKinds[choice])) {
            ShowMessage(kMsgNewRecordFailed, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
        kindChosen = true;
        // The columns of the chosen kind show at once, whether a record follows or not.
        doc.UpdateAllViews(nullptr, kHintRebuild);
    }
    const int kind = set->Kind();
    if (!IsValidKind(kind) || !HasEditorFor(kind)) {
        ShowMessage(kMsgUnsupportedKind, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    std::unique_ptr<CDataRecord> record = set->NewRecord();
    if (!record)
        return false;
    if (!m_host.EditRecord(parent, kind, *record, true))
        return false;
    // The set may have gone while the editor ran (it cannot while its window is modal, but
    // the record is only inserted into the set it was made for).
    if (doc.RecordSet() != set)
        return false;
    // The kind is a change of the whole set that undoing the record leaves in place, so the
    // document stays modified from here on.
    if (kindChosen)
        ResetUndo(doc.UndoStack(), doc);
    RecordList records;
    records.push_back(std::move(record));
    return InsertRecordsUndoable(doc.UndoStack(), doc, position, std::move(records),
                                 position < 0 ? UndoText::Add : UndoText::Insert);
}

bool CRecordCommands::EditRecordAt(CTesseraDoc& doc, QWidget* parent, int index) {
    CRecordSet* set = doc.RecordSet();
    if (set == nullptr)
        return false;
    CDataRecord* record = set->RecordAt(index);
    if (record == nullptr)
        return false;
    const int kind = set->Kind();
    if (!IsValidKind(kind) || !HasEditorFor(kind)) {
        ShowMessage(kMsgUnsupportedKind, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    // The editor works on a copy: the record changes only when every value was taken.
    std::unique_ptr<CDataRecord> copy;
    try {
        copy = record->Clone();
    } catch (const std::bad_alloc&) {
        copy.reset();
    }
    if (!copy) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    if (!m_host.EditRecord(parent, kind, *copy, false))
        return false;
    if (doc.RecordSet() != set || set->RecordAt(index) != record)
        return false;
    // The edited copy takes the record's place; the record itself is kept for undo.
    return ReplaceRecordUndoable(doc.UndoStack(), doc, index, std::move(copy));
}

} // namespace tessera
