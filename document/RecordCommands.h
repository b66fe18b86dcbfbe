#pragma once
// The record commands of a document window (delete, cut, copy, paste, add, insert,
// properties, send, send selected, receive) and the transfer session that runs a job behind
// its progress window. A CRecordCommands object holds their table (id, enable rule and
// handler side by side) and the running session; the main window owns one and gives it to
// every table view it makes. What the commands need from the program (editors, the kind
// chooser, progress windows, the link settings, the busy flag) comes from its host.
//
//     CRecordCommands commands(host);       // host: the program's CRecordCommandHost
//     view->SetRecordCommands(&commands);   // the view's commands run through it

#include "document/CommandTarget.h"
#include "document/TesseraDoc.h"
#include "document/UndoCommands.h"
#include "link/Job.h"
#include "link/JobSignals.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace tessera {

class CDataRecord;
class CTesseraDoc;
class CTesseraView;

// Message ids of the record commands.
enum RecordCommandMessage : int {
    kMsgUnsupportedKind = 1026, // サポートしていないレコード形式です
    kMsgNewRecordFailed = 1033, // 新規レコードの作成に失敗しました
    kMsgConfirmSend = 3088,
    kMsgConfirmReceive = 3089,
    kMsgConfirmDelete = 3090, // %d件のレコードを削除します。...
    kMsgConfirmSendSelected = 3091,
    kMsgCancelToClose = 61722, // a window is closed while a transfer runs
};

// The progress window of a transfer as the session drives it. The window deletes itself
// when it closes; a close by the user (Cancel, the close box, Escape) cancels the job.
class CProgressWindow {
public:
    virtual ~CProgressWindow() = default;
    virtual QWidget* Widget() = 0;
    // Bytes moved so far (an add-in counts across all its files).
    virtual void OnProgress(qint64 bytes) = 0;
    // An add-in step 2..7 was reached.
    virtual void OnStep(int step) = 0;
    // Closes the window without cancelling: the job is over or the worker asked.
    virtual void OnCloseRequest() = 0;
};

class CTransferSession;

// What the record commands take from the program; tests give a small fake.
class CRecordCommandHost {
public:
    virtual ~CRecordCommandHost() = default;
    // True when `kind` has an editor; add, insert and properties stay disabled otherwise.
    virtual bool HasEditor(int kind) const = 0;
    // Runs the editor of `kind` on `record`; true when the user confirmed and every value
    // was stored.
    virtual bool EditRecord(QWidget* parent, int kind, CDataRecord& record, bool isNew) = 0;
    // The new-document dialog: the choice 0..7 in its list, or -1 for Cancel.
    virtual int ChooseNewKind(QWidget* parent) = 0;
    // Makes the progress window of `job` (its kind and link method pick the window); null
    // when there is none.
    virtual CProgressWindow* CreateProgress(const std::shared_ptr<TransferJob>& job,
                                            QWidget* parent) = 0;
    // Fills the link of a job from the settings.
    virtual void FillLink(JobLink& link) = 0;
    // 2^SendBufferSize KiB.
    virtual std::size_t SendBufferBytes() const = 0;
    // The application's busy flag.
    virtual void SetBusy(bool busy) = 0;
    // The failure beep before 1536 and 1539.
    virtual void Beep() = 0;
};

// For tests: a change to every job's link after the settings filled it (scaled timing).
void SetJobLinkAdjuster(std::function<void(JobLink&)> adjust);

// The list position of the kind chooser's entries: choice i makes a document of kind
// kNewDocumentKinds[i].
inline constexpr int kNewDocumentKinds[8] = {1, 2, 3, 6, 7, 8, 4, 5};

// ---- the document operations behind the commands ----

// Deletes the records at `indices` (any order, duplicates ignored) as one step of the
// document's undo history, named `what`; rebuilds its views when any went. Returns the
// number deleted.
int DeleteRecords(CTesseraDoc& doc, std::vector<int> indices, UndoText what = UndoText::Delete);
// Puts the records at `indices`, in that order, on the clipboard, written into a buffer of
// `bufferBytes`. False when the writer refused (it has said why) or there is no clipboard
// (1035).
bool CopyRecords(const CTesseraDoc& doc, const std::vector<int>& indices,
                 std::size_t bufferBytes = std::size_t{128} * 1024);
// Takes records from the clipboard and inserts them before the record at `position` (-1
// appends), as one undo step. A document without a kind and without records takes the
// pasted set whole, which starts its undo history afresh. True when the document changed.
bool PasteRecords(CTesseraDoc& doc, int position);
// True while a receive into `doc` runs (its host knows): its record commands, import,
// export and saving are disabled and its views show the emptied table.
bool IsDocumentLocked(const CTesseraDoc* doc);

// The record commands of the table views of one main window, and its transfer session.
class CRecordCommands {
public:
    explicit CRecordCommands(CRecordCommandHost& host);
    ~CRecordCommands();
    CRecordCommands(const CRecordCommands&) = delete;
    CRecordCommands& operator=(const CRecordCommands&) = delete;

    CRecordCommandHost& Host() const { return m_host; }

    // The state of record command `id` in `view`; false when `id` is none.
    bool UpdateCommand(const CTesseraView& view, int id, CommandState& state) const;
    // Runs `id` in `view` when it is enabled.
    bool RunCommand(CTesseraView& view, int id);

    // A new record through the kind's editor, inserted before `position` (-1 appends) as
    // one undo step. A document without a kind asks for one first.
    bool AddRecord(CTesseraDoc& doc, QWidget* parent, int position);
    // Edits the record at `index` through the kind's editor; true when it changed (one undo
    // step).
    bool EditRecordAt(CTesseraDoc& doc, QWidget* parent, int index);
    // True when records may be added to `doc` (an editor exists for its kind, or for some
    // kind when it has none yet).
    bool CanAddRecord(const CTesseraDoc& doc) const;
    bool CanEditRecords(const CTesseraDoc& doc) const;

    // Starts a send of the records at `indices` (all records when null) from `view`'s document.
    bool SendRecords(CTesseraView& view, const std::vector<int>* indices);
    // Starts a receive into `view`'s document. Its records are kept aside until the receive
    // has ended: a receive that fails, is cancelled or brings a text the reader refuses
    // gives them back.
    bool StartReceive(CTesseraView& view);

    // The session running now, if any.
    CTransferSession* Session() const;
    // Starts `job` with its progress window; `doc` is the document the job belongs to (null
    // for an add-in). Sets the busy flag. Null when nothing started (another job runs, or no
    // window could be made).
    CTransferSession* StartSession(std::shared_ptr<TransferJob> job, CTesseraDoc* doc,
                                   QWidget* parent,
                                   std::function<void(TransferJob&, CJobSignals&)> completion);
    // Waits (processing events) until the running session has ended; false on time-out.
    bool WaitForEnd(int timeoutMs);
    // True while a receive into `doc` runs.
    bool IsLocked(const CTesseraDoc* doc) const;
    // Fills `link` from the settings (and the adjuster).
    void FillLink(JobLink& link);

private:
    struct Entry;
    static const std::vector<Entry>& Table();
    bool HasEditorFor(int kind) const;
    bool AnyEditor() const;

    CRecordCommandHost& m_host;
    QPointer<CTransferSession> m_session;
};

// One transfer job behind its progress window. The session lives until the job has ended
// and its completion was handled, whatever happens to the window that started it; closing
// the job's document window or the main window meanwhile asks whether to cancel and closes
// once the job has ended.
class CTransferSession : public QObject {
    Q_OBJECT
public:
    // Completion handling, on the GUI thread after the worker has been joined.
    using Completion = std::function<void(TransferJob& job, CJobSignals& jobSignals)>;

    ~CTransferSession() override;

    const std::shared_ptr<TransferJob>& Job() const { return m_job; }
    CTesseraDoc* Document() const { return m_doc; }
    QWidget* ProgressWidget() const { return m_window; }
    // Cancels as the user's close of the progress window does.
    void Cancel();
    bool HasEnded() const { return m_ended; }

signals:
    void Ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CRecordCommands;
    CTransferSession(std::shared_ptr<TransferJob> job, CTesseraDoc* doc, Completion completion,
                     CRecordCommandHost& host);
    void OnFinished();
    bool GuardsClose(QObject* watched) const;

    std::shared_ptr<TransferJob> m_job;
    QPointer<CTesseraDoc> m_doc;
    Completion m_completion;
    CJobRunner m_runner;
    CJobSignals m_signals;
    CProgressWindow* m_progress = nullptr;
    QPointer<QWidget> m_window;
    QList<QPointer<QWidget>> m_closeAfterEnd;
    CRecordCommandHost& m_host;
    bool m_ended = false;
};

} // namespace tessera
