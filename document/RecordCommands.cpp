#include "document/RecordCommands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QThread>

#include <algorithm>
#include <new>

#include "document/Clipboard.h"
#include "document/CommandIds.h"
#include "document/DocHost.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/Prompter.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

namespace tessera {

namespace {

std::function<void(JobLink&)>& LinkAdjuster() {
    static std::function<void(JobLink&)> adjust;
    return adjust;
}

// A set without a kind that already has columns (tags no kind is known by) cannot be given
// a kind without destroying its records, so nothing is added to it.
bool IsBlankSet(const CRecordSet& set) { return set.Kind() == 0 && set.FieldCount() == 0 && set.RecordCount() == 0; }

bool Locked(const CTesseraView& view) { return IsDocumentLocked(&view.Document()); }

bool HasSet(const CTesseraView& view) { return view.Document().RecordSet() != nullptr; }

bool Selected(const CTesseraView& v) { return !Locked(v) && HasSet(v) && v.SelectedCount() > 0; }
bool TransferAllowed(const CTesseraView& v) { return !v.Document().Host().IsBusy() && !Locked(v) && HasSet(v); }

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
             if (n > 0 && ShowMessage(kMsgConfirmDelete, PromptIcon::Question, PromptButtons::OkCancel, n) ==
                              PromptResult::Ok)
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
        {ID_EDIT_PASTE, [](const C&, const V& v) { return !Locked(v) && HasSet(v) && ClipboardHasRecordText(); },
         [](C&, V& v) { PasteRecords(v.Document(), v.FocusedRecordIndex()); }},
        {ID_RECORD_ADD, [](const C& c, const V& v) { return !Locked(v) && c.CanAddRecord(v.Document()); },
         [](C& c, V& v) { c.AddRecord(v.Document(), &v, -1); }},
        {ID_RECORD_INSERT, [](const C& c, const V& v) { return Selected(v) && c.CanAddRecord(v.Document()); },
         [](C& c, V& v) {
             if (const int index = v.FocusedRecordIndex(); index >= 0)
                 c.AddRecord(v.Document(), &v, index);
         }},
        {ID_RECORD_PROPERTIES, [](const C& c, const V& v) { return Selected(v) && c.CanEditRecords(v.Document()); },
         [](C& c, V& v) {
             if (const int index = v.FocusedRecordIndex(); index >= 0)
                 c.EditRecordAt(v.Document(), &v, index);
         }},
        {ID_SEND_TO_DEVICE, [](const C&, const V& v) { return TransferAllowed(v); },
         [](C& c, V& v) {
             if (ShowMessage(kMsgConfirmSend, PromptIcon::Question, PromptButtons::OkCancel) == PromptResult::Ok)
                 c.SendRecords(v, nullptr);
         }},
        {ID_RECEIVE_FROM_DEVICE, [](const C&, const V& v) { return TransferAllowed(v); },
         [](C& c, V& v) { c.StartReceive(v); }},
        {ID_RECORD_SEND, [](const C&, const V& v) { return TransferAllowed(v) && v.SelectedCount() > 0; },
         [](C& c, V& v) {
             if (ShowMessage(kMsgConfirmSendSelected, PromptIcon::Question, PromptButtons::OkCancel) !=
                 PromptResult::Ok)
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

bool CRecordCommands::HasEditorFor(int kind) const { return m_host.HasEditor(kind); }

bool CRecordCommands::AnyEditor() const {
    for (int kind : kNewDocumentKinds)
        if (HasEditorFor(kind))
            return true;
    return false;
}

void SetJobLinkAdjuster(std::function<void(JobLink&)> adjust) { LinkAdjuster() = std::move(adjust); }

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
    if (!PutRecordText(std::string(buffer.data(), static_cast<std::size_t>(n)))) {
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
    RecordsInsertedUndoable(doc.UndoStack(), doc, first, set->RecordCount() - before, UndoText::Paste);
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

// ---------------------------------------------------------------- transfers

bool CRecordCommands::SendRecords(CTesseraView& view, const std::vector<int>* indices) {
    CTesseraDoc& doc = view.Document();
    const CRecordSet* set = doc.RecordSet();
    if (set == nullptr || Session() != nullptr)
        return false;
    std::shared_ptr<SendJob> job;
    try {
        job = std::make_shared<SendJob>();
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    FillLink(job->link);
    std::vector<std::int32_t> selection;
    if (indices != nullptr)
        selection.assign(indices->begin(), indices->end());
    if (!PrepareSendJob(*job, *set, indices != nullptr ? &selection : nullptr, m_host.SendBufferBytes()))
        return false;
    auto beep = [this] { m_host.Beep(); };
    return StartSession(job, &doc, &view, [beep](TransferJob& j, CJobSignals& jobSignals) {
               CompletionHooks h;
               h.beep = beep;
               CompleteJob(j, jobSignals, h);
           }) != nullptr;
}

bool CRecordCommands::StartReceive(CTesseraView& view) {
    CTesseraDoc& doc = view.Document();
    if (doc.RecordSet() == nullptr || Session() != nullptr)
        return false;
    if (!doc.SaveModified(&view))
        return false;
    if (ShowMessage(kMsgConfirmReceive, PromptIcon::Question, PromptButtons::OkCancel) != PromptResult::Ok)
        return false;

    std::shared_ptr<ReceiveJob> job;
    std::unique_ptr<CRecordSet> empty;
    try {
        job = std::make_shared<ReceiveJob>();
        empty = std::make_unique<CRecordSet>();
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    FillLink(job->link);

    // The received kind may differ: every view reads the width store again.
    for (CTesseraView* v : doc.Views())
        v->ResetColumnWidths();
    // The records held so far wait aside until the receive has ended, and their undo
    // history with them (the document is locked meanwhile, undo included).
    auto previous = std::make_shared<std::unique_ptr<CRecordSet>>(doc.TakeRecordSet());
    const bool wasModified = doc.IsModified();
    doc.SetRecordSet(std::move(empty), CTesseraDoc::UndoHistory::Keep);
    doc.UpdateAllViews(nullptr, kHintRebuild);

    QPointer<CTesseraDoc> target(&doc);
    auto restore = [target, previous, wasModified] {
        if (!target || !*previous)
            return;
        target->SetRecordSet(std::move(*previous), CTesseraDoc::UndoHistory::Keep);
        target->SetModifiedFlag(wasModified);
        target->UpdateAllViews(nullptr, kHintRebuild);
    };
    auto beep = [this] { m_host.Beep(); };
    CTransferSession* session = StartSession(
        job, &doc, &view, [target, restore, beep](TransferJob& j, CJobSignals& jobSignals) {
            // Nothing received: the records come back before the user is told.
            if (j.result != kJobCompleted)
                restore();
            CompletionHooks h;
            h.beep = beep;
            h.loadReceived = [target, restore](const QString& path) {
                if (target && target->LoadReceivedText(path))
                    return true;
                restore();
                return false;
            };
            CompleteJob(j, jobSignals, h);
        });
    if (session == nullptr) {
        restore();
        return false;
    }
    return true;
}

bool IsDocumentLocked(const CTesseraDoc* doc) { return doc != nullptr && doc->Host().IsReceivingInto(*doc); }

bool CRecordCommands::IsLocked(const CTesseraDoc* doc) const {
    const CTransferSession* s = m_session.data();
    return doc != nullptr && s != nullptr && !s->HasEnded() && s->Job()->Kind() == JobKind::Receive &&
           s->Document() == doc;
}

CTransferSession* CRecordCommands::Session() const {
    CTransferSession* s = m_session.data();
    return s != nullptr && !s->HasEnded() ? s : nullptr;
}

// ---------------------------------------------------------------- session

CTransferSession::CTransferSession(std::shared_ptr<TransferJob> job, CTesseraDoc* doc, Completion completion,
                                   CRecordCommandHost& host)
    : m_job(std::move(job)), m_doc(doc), m_completion(std::move(completion)), m_host(host) {}

CTransferSession::~CTransferSession() {
    if (qApp != nullptr)
        qApp->removeEventFilter(this);
}

CTransferSession* CRecordCommands::StartSession(std::shared_ptr<TransferJob> job, CTesseraDoc* doc, QWidget* parent,
                                                std::function<void(TransferJob&, CJobSignals&)> completion) {
    if (Session() != nullptr || !job)
        return nullptr;
    auto* session = new CTransferSession(job, doc, std::move(completion), m_host);
    CProgressWindow* window = m_host.CreateProgress(job, parent);
    if (window == nullptr || window->Widget() == nullptr) {
        delete session;
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return nullptr;
    }
    session->m_progress = window;
    session->m_window = window->Widget();
    m_session = session;

    QObject::connect(&session->m_signals, &CJobSignals::Progress, session, [session](int, qint64 bytes) {
        if (session->m_window)
            session->m_progress->OnProgress(bytes);
    });
    QObject::connect(&session->m_signals, &CJobSignals::StepReached, session, [session](int step) {
        if (session->m_window)
            session->m_progress->OnStep(step);
    });
    QObject::connect(&session->m_signals, &CJobSignals::CloseRequested, session, [session](int) {
        if (session->m_window)
            session->m_progress->OnCloseRequest();
    });
    QObject::connect(&session->m_signals, &CJobSignals::Finished, session, &CTransferSession::OnFinished,
            Qt::QueuedConnection);

    m_host.SetBusy(true);
    if (!session->m_runner.Start(job, session->m_signals)) {
        if (session->m_window)
            session->m_progress->OnCloseRequest();
        m_host.SetBusy(false);
        delete session;
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return nullptr;
    }
    qApp->installEventFilter(session);
    QWidget* w = session->m_window;
    w->show();
    w->raise();
    w->activateWindow();
    return session;
}

void CTransferSession::Cancel() {
    m_job->Cancel();
    if (m_window)
        m_window->close();
}

void CTransferSession::OnFinished() {
    if (m_ended)
        return;
    m_runner.Finish();
    qApp->removeEventFilter(this);
    if (m_completion)
        m_completion(*m_job, m_signals);
    // No window outlives its job.
    if (m_window)
        m_progress->OnCloseRequest();
    m_ended = true;
    m_host.SetBusy(false);
    emit Ended();
    // Windows whose close waited for the job go now (they ask their own questions).
    for (const QPointer<QWidget>& w : m_closeAfterEnd)
        if (w)
            w->close();
    deleteLater();
}

bool CTransferSession::GuardsClose(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget == m_window)
        return false;
    if (qobject_cast<QMainWindow*>(widget) != nullptr && widget->isWindow())
        return true;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(widget)) {
        auto* view = qobject_cast<CTesseraView*>(sub->widget());
        return view != nullptr && m_doc != nullptr && &view->Document() == m_doc.data();
    }
    return false;
}

bool CTransferSession::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Close || m_ended || !GuardsClose(watched))
        return QObject::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    event->ignore();
    if (m_closeAfterEnd.contains(widget))
        return true;
    if (ShowMessage(kMsgCancelToClose, PromptIcon::Question, PromptButtons::OkCancel) == PromptResult::Ok) {
        m_closeAfterEnd.append(widget);
        Cancel();
    } else if (m_doc && qobject_cast<QMdiSubWindow*>(widget) != nullptr) {
        // The document stays open: it is no longer on its way out.
        m_doc->SetClosing(false);
    }
    return true;
}

bool CRecordCommands::WaitForEnd(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (Session() != nullptr && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    QApplication::processEvents();
    return Session() == nullptr;
}

} // namespace tessera
