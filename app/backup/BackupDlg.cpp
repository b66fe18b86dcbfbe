#include "app/backup/BackupDlg.h"

#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "base/Cp932.h"
#include "document/RecordCommands.h"
#include "model/Prompter.h"
#include "model/RecordKind.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTime>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessera {

namespace {

QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

template <class... A> QString Format(int id, const A&... args) {
    return Cp932ToQString(FormatString(id, args...));
}

std::string Cp932(const QString& text) {
    return QStringToCp932Lossy(text);
}

enum Column { kKindColumn, kRecordsColumn, kFileColumn, kTimeColumn, kStatusColumn };

} // namespace

// Hands the session's reports to the window's thread.
class CBackupDlg::Observer : public bundle::BackupSessionObserver {
public:
    explicit Observer(CBackupDlg& dlg) : m_dlg(dlg) {}
    void SessionWaiting() override {
        QMetaObject::invokeMethod(
            &m_dlg, [d = &m_dlg] { d->OnWaiting(); }, Qt::QueuedConnection);
    }
    void SessionProgress(std::int64_t bytes) override {
        QMetaObject::invokeMethod(
            &m_dlg, [d = &m_dlg, bytes] { d->OnProgress(bytes); }, Qt::QueuedConnection);
    }
    void SessionStreamTaken(const bundle::StreamOutcome& outcome) override {
        QMetaObject::invokeMethod(
            &m_dlg, [d = &m_dlg, outcome] { d->OnTaken(outcome); }, Qt::QueuedConnection);
    }
    void SessionStreamDropped(bool cancelled, std::int64_t bytes) override {
        QMetaObject::invokeMethod(
            &m_dlg, [d = &m_dlg, cancelled, bytes] { d->OnDropped(cancelled, bytes); },
            Qt::QueuedConnection);
    }

private:
    CBackupDlg& m_dlg;
};

CBackupDlg::CBackupDlg(CMainFrame& frame, const QString& dir, bundle::SessionOptions options)
    : QDialog(&frame), m_frame(frame), m_folder(dir, false) {
    setObjectName(QStringLiteral("CBackupDlg"));
    setWindowTitle(Text(ids::kStrBackupTitle));
    setModal(false);

    // A folder under the home folder is shown as ~/..., as people write it.
    QString shown = QDir::cleanPath(QDir(dir).absolutePath());
    const QString home = QDir::cleanPath(QDir::homePath());
    if (shown.startsWith(home + QLatin1Char('/')))
        shown = QStringLiteral("~") + shown.mid(home.size());
    m_where =
        new QLabel(Format(ids::kStrBackupFolder, Cp932(QDir::toNativeSeparators(shown))), this);
    m_where->setObjectName(QStringLiteral("folder"));
    m_where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_verify = new QCheckBox(Text(ids::kStrBackupVerify), this);
    m_verify->setObjectName(QStringLiteral("verify"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("streams"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels(Text(ids::kStrBackupColumns).split(QLatin1Char('\t')));
    m_list->header()->setStretchLastSection(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setTextVisible(false);
    m_cancel = new QPushButton(Text(ids::kStrBackupCancel), this);
    m_cancel->setObjectName(QStringLiteral("cancelStream"));
    m_cancel->setAutoDefault(false);
    m_done = new QPushButton(Text(ids::kStrBackupDone), this);
    m_done->setObjectName(QStringLiteral("done"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_done);
    auto* top = new QVBoxLayout(this);
    top->addWidget(m_where);
    top->addWidget(m_verify);
    top->addWidget(m_list, 1);
    top->addWidget(m_progress);
    top->addLayout(buttons);
    resize(620, 340);
    m_list->setColumnWidth(kKindColumn, 150);
    m_list->setColumnWidth(kRecordsColumn, 50);
    m_list->setColumnWidth(kFileColumn, 170);
    m_list->setColumnWidth(kTimeColumn, 70);

    connect(m_verify, &QCheckBox::toggled, this, [this](bool on) { m_folder.SetVerify(on); });
    connect(m_cancel, &QPushButton::clicked, this, &CBackupDlg::CancelStream);
    connect(m_done, &QPushButton::clicked, this, &CBackupDlg::Finish);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OpenRow(item); });

    OnWaiting();
    QString why;
    if (!m_folder.Prepare(&why)) {
        ShowMessage(ids::kMsgBackupNoFolder, PromptIcon::Stop, PromptButtons::Ok,
                    Cp932(QDir::toNativeSeparators(dir)));
        m_ended = true;
        m_cancel->setEnabled(false);
        return;
    }
    // One transfer at a time: the flag stays up until the sitting has ended.
    m_frame.App().SetBusy(true);
    m_observer = std::make_unique<Observer>(*this);
    m_session = std::make_unique<bundle::CBackupSession>(m_folder, std::move(options), *m_observer);
    m_thread = std::thread([this] {
        const bundle::SessionEnd end = m_session->Run();
        QMetaObject::invokeMethod(
            this, [this, end] { OnEnded(end); }, Qt::QueuedConnection);
    });
}

CBackupDlg::~CBackupDlg() {
    if (m_thread.joinable()) {
        m_session->Stop();
        m_thread.join();
        m_folder.Finish();
        m_frame.App().SetBusy(false);
    }
}

QString CBackupDlg::DefaultFolder() {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::home().filePath(QStringLiteral("Documents"));
    return QDir(docs).filePath(QStringLiteral("Tessera/backup-") +
                               QDate::currentDate().toString(Qt::ISODate));
}

void CBackupDlg::Run(CMainFrame& frame) {
    if (frame.App().IsBusy()) {
        ShowMessage(ids::kMsgBackupBusy, PromptIcon::Warning, PromptButtons::Ok);
        return;
    }
    const QString suggested = DefaultFolder();
    const bool made = !QFileInfo::exists(suggested) && QDir().mkpath(suggested);
    const QString dir =
        QFileDialog::getExistingDirectory(&frame, Text(ids::kStrBackupChooseDir), suggested);
    // The suggestion was made only to be offered: gone again unless it was taken.
    if (made && QDir(dir) != QDir(suggested))
        QDir().rmdir(suggested);
    if (dir.isEmpty() || frame.App().IsBusy())
        return;
    bundle::SessionOptions options;
    frame.RecordCommands().FillLink(options.link);
    options.maxStreams = 0;
    options.idleSeconds = 0; // the window waits until 完了
    options.stopOnLinkFailure = false;
    auto* dlg = new CBackupDlg(frame, dir, std::move(options));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
}

int CBackupDlg::Rows() const {
    return m_list->topLevelItemCount();
}

void CBackupDlg::Finish() {
    if (Running()) {
        m_done->setEnabled(false);
        m_cancel->setEnabled(false);
        m_session->Stop();
        return;
    }
    close();
}

void CBackupDlg::CancelStream() {
    if (Running() && m_session->StreamInProgress())
        m_session->CancelStream();
}

void CBackupDlg::closeEvent(QCloseEvent* event) {
    if (Running()) {
        // The window goes once the sitting has let go of the port and the folder.
        m_closeWhenEnded = true;
        Finish();
        event->ignore();
        return;
    }
    event->accept();
}

void CBackupDlg::reject() {
    close();
}

void CBackupDlg::OnWaiting() {
    if (m_ended)
        return;
    // What became of a dropped stream stays in sight while the next one is awaited.
    m_status->setText(m_note.isEmpty()
                          ? Text(ids::kStrBackupWaiting)
                          : Text(ids::kStrBackupWaiting) + QStringLiteral("  ") + m_note);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_cancel->setEnabled(false);
}

void CBackupDlg::OnProgress(qint64 bytes) {
    if (m_ended)
        return;
    // A receive cannot know its length: the bar only shows that bytes move.
    m_note.clear();
    m_progress->setRange(0, 0);
    m_status->setText(
        Cp932ToQString(FormatString(kMsgBytesReceived, static_cast<long long>(bytes))));
    m_cancel->setEnabled(m_done->isEnabled());
}

QTreeWidgetItem* CBackupDlg::AddRow(int kind, int records, const QString& path,
                                    const QString& status) {
    auto* item = new QTreeWidgetItem(m_list);
    item->setText(kKindColumn,
                  IsValidKind(kind) ? Cp932ToQString(KindName(kind)) : QStringLiteral("—"));
    item->setText(kRecordsColumn, IsValidKind(kind) ? QString::number(records) : QString());
    item->setTextAlignment(kRecordsColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(kFileColumn, QFileInfo(path).fileName());
    item->setData(kFileColumn, Qt::UserRole, path);
    item->setText(kTimeColumn, QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    item->setText(kStatusColumn, status);
    item->setToolTip(kStatusColumn, status);
    m_list->scrollToItem(item);
    return item;
}

void CBackupDlg::OnTaken(const bundle::StreamOutcome& o) {
    using K = bundle::StreamOutcome;
    m_note.clear();
    m_verify->setEnabled(false);
    const std::string name = Cp932(QFileInfo(o.path).fileName());
    switch (o.kind) {
    case K::Saved:
        m_awaiting =
            AddRow(o.recordKind, o.records, o.path,
                   m_folder.AwaitingSecond() ? Text(ids::kStrBackupAwaitSecond) : QString());
        if (!m_folder.AwaitingSecond())
            m_awaiting = nullptr;
        break;
    case K::Verified:
        if (m_awaiting)
            m_awaiting->setText(kStatusColumn, Text(ids::kStrBackupVerified));
        m_awaiting = nullptr;
        break;
    case K::Mismatch: {
        const QString text = Format(ids::kStrBackupMismatch, name);
        if (m_awaiting)
            m_awaiting->setText(kStatusColumn, text);
        AddRow(o.recordKind, o.records, o.path, text);
        m_awaiting = nullptr;
        break;
    }
    case K::Rejected:
        AddRow(0, 0, o.path, Format(ids::kStrBackupRejected, Cp932(o.note)));
        break;
    case K::WriteFailed:
        AddRow(o.recordKind, o.records, QString(),
               Format(ids::kStrBackupWriteFailed, Cp932(o.note)));
        break;
    }
    OnWaiting();
}

void CBackupDlg::OnDropped(bool cancelled, qint64 bytes) {
    m_note = cancelled ? Text(ids::kStrBackupDropped)
                       : Format(ids::kStrBackupBroken, static_cast<long long>(bytes));
    m_status->setText(m_note);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_cancel->setEnabled(false);
}

void CBackupDlg::OnEnded(bundle::SessionEnd end) {
    if (m_thread.joinable())
        m_thread.join();
    m_ended = true;
    m_folder.Finish();
    if (m_awaiting)
        m_awaiting->setText(kStatusColumn, Text(ids::kStrBackupNotVerified));
    m_awaiting = nullptr;
    m_frame.App().SetBusy(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_cancel->setEnabled(false);
    m_done->setEnabled(true);
    m_status->setText(Format(ids::kStrBackupEnded, m_session->StreamsTaken()));
    if (end == bundle::SessionEnd::PortFailed)
        ShowMessage(ids::kMsgBackupPortFailed, PromptIcon::Stop, PromptButtons::Ok);
    emit SessionEnded();
    if (m_closeWhenEnded)
        close();
}

void CBackupDlg::OpenRow(QTreeWidgetItem* item) {
    const QString path = item ? item->data(kFileColumn, Qt::UserRole).toString() : QString();
    if (path.endsWith(QStringLiteral(".tsr")))
        m_frame.OpenDocumentFile(path);
}

} // namespace tessera
