#include "app/transfer/AddInCommand.h"

#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "app/editors/EditorFactory.h"
#include "app/editors/NewDlg.h"
#include "app/transfer/RecvDlg.h"
#include "app/transfer/ShowDocDlg.h"
#include "app/transfer/TransDlg.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "document/CommandIds.h"
#include "document/RecordCommands.h"
#include "link/AddInTransfer.h"
#include "link/Job.h"
#include "model/Prompter.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QFileDialog>
#include <memory>
#include <new>

namespace tessera {

namespace {

constexpr int kStrAddInOpenTitle = 3068; // アドインファイルを開く

AddInFileDialog& FileDialogHook() {
    static AddInFileDialog hook;
    return hook;
}

QString AskAddInFile(QWidget* parent) {
    if (FileDialogHook())
        return FileDialogHook()(parent);
    const std::string& title = LoadString(kStrAddInOpenTitle);
    // Add-ins come from Windows: their names may be in either case.
    return QFileDialog::getOpenFileName(
        parent, Cp932ToQString(title), QString(),
        QStringLiteral("Add-In Files (*.zrs *.ZRS);;All Files (*)"));
}

CProgressWindow* CreateProgressWindow(const std::shared_ptr<TransferJob>& job, QWidget* parent) {
    const int method = job->link.method;
    if (job->Kind() == JobKind::Receive)
        return new CRecvDlg(job, method, parent);
    return new CTransDlg(job, job->TotalBytes(), method, job->Kind() == JobKind::AddIn, parent);
}

} // namespace

void SetAddInFileDialog(AddInFileDialog dialog) {
    FileDialogHook() = std::move(dialog);
}

QString AddInOverviewText(const std::string& document) {
    QString text = Cp932ToQString(document);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

namespace {

// The program's parts the record commands use: the editors, the kind chooser, the progress
// windows and the settings of the link.
class CAppRecordHost : public CRecordCommandHost {
public:
    explicit CAppRecordHost(CTesseraApp& app) : m_app(app) {}
    bool HasEditor(int kind) const override { return tessera::HasEditor(kind); }
    bool EditRecord(QWidget* parent, int kind, CDataRecord& record, bool isNew) override {
        return tessera::EditRecord(parent, kind, record, isNew, m_app.Settings());
    }
    int ChooseNewKind(QWidget* parent) override { return CNewDlg::Choose(parent); }
    CProgressWindow* CreateProgress(const std::shared_ptr<TransferJob>& job,
                                    QWidget* parent) override {
        return CreateProgressWindow(job, parent != nullptr ? parent->window() : nullptr);
    }
    void FillLink(JobLink& link) override {
        const CAppSettings& s = m_app.Settings();
        link.method = s.Method;
        link.portName = s.Port();
        link.bitsPerSecond = s.Bps;
        link.ignoreEcho = s.IgnoreEcho;
    }
    std::size_t SendBufferBytes() const override { return m_app.Settings().SendBufferBytes(); }
    void SetBusy(bool busy) override { m_app.SetBusy(busy); }
    void Beep() override { QApplication::beep(); }

private:
    CTesseraApp& m_app;
};

} // namespace

std::unique_ptr<CRecordCommandHost> MakeRecordCommandHost(CTesseraApp& app) {
    return std::make_unique<CAppRecordHost>(app);
}

bool RunAddInCommand(CTesseraApp& app, CRecordCommands& commands, QWidget* parent) {
    if (app.IsBusy() || commands.Session() != nullptr || app.Settings().ModelCode() < 2)
        return false;
    const QString path = AskAddInFile(parent);
    if (path.isEmpty())
        return false;

    std::unique_ptr<CAddInTransfer> transfer;
    std::shared_ptr<AddInJob> job;
    try {
        transfer = std::make_unique<CAddInTransfer>();
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgJobNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    // Its messages, then 2563.
    if (!transfer->Load(path))
        return false;

    std::string document;
    const bool readable = transfer->ReadDocument(document);
    if (!readable)
        ShowMessage(kMsgAddInDocument, PromptIcon::Warning, PromptButtons::Ok);
    {
        CShowDocDlg overview(AddInOverviewText(document), parent);
        if (overview.exec() != QDialog::Accepted)
            return false;
    }
    if (ShowMessage(kMsgAddInConfirm, PromptIcon::Question, PromptButtons::OkCancel) !=
        PromptResult::Ok)
        return false;

    try {
        job = std::make_shared<AddInJob>(std::move(transfer));
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgJobNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    commands.FillLink(job->link);
    return commands.StartSession(job, nullptr, parent, [](TransferJob& j, CJobSignals& jobSignals) {
        CompleteJob(j, jobSignals, CompletionHooks{});
    }) != nullptr;
}

} // namespace tessera
