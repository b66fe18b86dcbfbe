// The record commands' transfers (send, send selected, receive), the lock of a document
// being received into, and the session that runs a job behind its progress window.
#include "document/Clipboard.h"
#include "document/CommandIds.h"
#include "document/DocHost.h"
#include "document/RecordCommands.h"
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
    if (!PrepareSendJob(*job, *set, indices != nullptr ? &selection : nullptr,
                        m_host.SendBufferBytes()))
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
    if (ShowMessage(kMsgConfirmReceive, PromptIcon::Question, PromptButtons::OkCancel) !=
        PromptResult::Ok)
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

bool IsDocumentLocked(const CTesseraDoc* doc) {
    return doc != nullptr && doc->Host().IsReceivingInto(*doc);
}

bool CRecordCommands::IsLocked(const CTesseraDoc* doc) const {
    const CTransferSession* s = m_session.data();
    return doc != nullptr && s != nullptr && !s->HasEnded() &&
           s->Job()->Kind() == JobKind::Receive && s->Document() == doc;
}

CTransferSession* CRecordCommands::Session() const {
    CTransferSession* s = m_session.data();
    return s != nullptr && !s->HasEnded() ? s : nullptr;
}

// ---------------------------------------------------------------- session

CTransferSession::CTransferSession(std::shared_ptr<TransferJob> job, CTesseraDoc* doc,
                                   Completion completion, CRecordCommandHost& host)
    : m_job(std::move(job)), m_doc(doc), m_completion(std::move(completion)), m_host(host) {}

CTransferSession::~CTransferSession() {
    if (qApp != nullptr)
        qApp->removeEventFilter(this);
}

CTransferSession*
CRecordCommands::StartSession(std::shared_ptr<TransferJob> job, CTesseraDoc* doc, QWidget* parent,
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

    QObject::connect(&session->m_signals, &CJobSignals::Progress, session,
                     [session](int, qint64 bytes) {
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
    QObject::connect(&session->m_signals, &CJobSignals::Finished, session,
                     &CTransferSession::OnFinished, Qt::QueuedConnection);

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
    if (ShowMessage(kMsgCancelToClose, PromptIcon::Question, PromptButtons::OkCancel) ==
        PromptResult::Ok) {
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
