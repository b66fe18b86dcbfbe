#include "document/TesseraDoc.h"

#include "base/SafeSave.h"
#include "document/CommandIds.h"
#include "document/DocHost.h"
#include "document/RecordCommands.h"
#include "document/UndoCommands.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <new>

namespace tessera {

namespace {

int g_untitledCount = 0;

std::string ToCp932(const QString& text) {
    std::string out;
    if (!Utf8ToCp932(text.toStdString(), out))
        out = text.toLatin1().toStdString();
    return out;
}

} // namespace

CTesseraDoc::CTesseraDoc(CDocHost& host, QObject* parent) : QObject(parent), m_host(host) {
    BindUndoStack(*this, m_undo);
}

CTesseraDoc::~CTesseraDoc() = default;

bool CTesseraDoc::OnNewDocument() {
    DeleteContents();
    try {
        ReplaceRecordSet(std::make_unique<CRecordSet>());
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    m_path.clear();
    SetTitle(QString::fromLatin1(kNewFileName) + QString::number(++g_untitledCount));
    SetModifiedFlag(false);
    return true;
}

bool CTesseraDoc::LoadText(const QByteArray& bytes) {
    // The end of the buffer ends the text as an end mark does, so the bytes are read where
    // they lie: adding a mark would copy the whole file once more.
    if (!m_recordSet) {
        try {
            ReplaceRecordSet(std::make_unique<CRecordSet>());
        } catch (const std::bad_alloc&) {
            ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
    }
    int errors = 0;
    bool ok = false;
    try {
        ok = m_recordSet->ReadText(bytes.constData(), static_cast<std::size_t>(bytes.size()),
                                   m_host.CodeMap(), &errors);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        ok = false;
    }
    if (!ok) {
        ReplaceRecordSet(nullptr);
        return false;
    }
    if (errors != 0)
        ShowMessage(kMsgFieldsEmptied, PromptIcon::Warning, PromptButtons::Ok, errors);
    return true;
}

bool CTesseraDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    DeleteContents();
    QByteArray bytes;
    try {
        bytes = file.readAll();
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    file.close();
    // An empty file goes through the reader as well, which refuses it with its own message
    // rather than leaving the user with no answer at all.
    if (!LoadText(bytes))
        return false;
    m_partial = m_recordSet->ReadStoppedEarly();
    SetPathName(path);
    SetModifiedFlag(false);
    return true;
}

bool CTesseraDoc::OnSaveDocument(const QString& path) {
    if (!m_recordSet)
        return false;
    CSafeSave file(path);
    if (!file.Open()) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    const bool written =
        m_recordSet->WriteText([&file](std::string_view bytes) { return file.Write(bytes); });
    if (!written) {
        // The writer has told the user; the old file stays as it was.
        file.Cancel();
        return false;
    }
    // A disk that fills up shows here, not in the writes: the old file then stays whole and
    // the document stays modified, so closing it still asks.
    if (!file.Commit()) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

QString CTesseraDoc::SuggestedFileName() const {
    if (!m_path.isEmpty())
        return m_path;
    QString name = m_title;
    for (QChar bad :
         {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':'), QLatin1Char('*'), QLatin1Char('?'),
          QLatin1Char('"'), QLatin1Char('<'), QLatin1Char('>'), QLatin1Char('|')})
        name.replace(bad, QLatin1Char('_'));
    return WithDefaultSuffix(name);
}

QString CTesseraDoc::WithDefaultSuffix(const QString& path) {
    if (path.isEmpty())
        return path;
    const QFileInfo info(path);
    if (!info.suffix().isEmpty())
        return path;
    QString p = path;
    if (p.endsWith(QLatin1Char('.')))
        p.chop(1);
    return p + QLatin1Char('.') + QLatin1String(kDefaultSuffix);
}

bool CTesseraDoc::DoSave(const QString& path, QWidget* dialogParent) {
    QString target = path;
    if (target.isEmpty()) {
        target = m_host.GetSaveFileName(dialogParent, SuggestedFileName());
        if (target.isEmpty())
            return false;
        target = WithDefaultSuffix(target);
    }
    // The reader stopped before the end of this file: writing over it would lose the rest.
    if (m_partial && QFileInfo(target) == QFileInfo(m_path) &&
        ShowMessage(kMsgSavePartialFile, PromptIcon::Warning, PromptButtons::YesNo,
                    ToCp932(QFileInfo(m_path).fileName())) != PromptResult::Yes)
        return false;
    if (!OnSaveDocument(target))
        return false;
    m_partial = false;
    SetPathName(target);
    return true;
}

bool CTesseraDoc::DoFileSave(QWidget* dialogParent) {
    // A file that became read-only is saved under a new name, as a new document is.
    if (m_path.isEmpty() || (QFileInfo::exists(m_path) && !QFileInfo(m_path).isWritable()))
        return DoSave(QString(), dialogParent);
    return DoSave(m_path, dialogParent);
}

bool CTesseraDoc::SaveModified(QWidget* dialogParent) {
    if (!m_modified)
        return true;
    const QString name = m_path.isEmpty() ? m_title : QFileInfo(m_path).fileName();
    switch (ShowMessage(kMsgAskToSave, PromptIcon::Warning, PromptButtons::YesNoCancel,
                        ToCp932(name))) {
    case PromptResult::Yes:
        return DoFileSave(dialogParent);
    case PromptResult::No:
        return true;
    default:
        return false;
    }
}

bool CTesseraDoc::LoadReceivedText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    QByteArray bytes;
    try {
        bytes = file.readAll();
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    file.close();
    LoadText(bytes);
    if (!m_recordSet) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    // Nothing done before the receive can be taken back in the records it brought, and the
    // file on disk does not hold them yet.
    ResetUndo(m_undo, *this);
    UpdateAllViews(nullptr, kHintRebuild);
    return true;
}

void CTesseraDoc::DeleteContents() {
    m_partial = false;
    ReplaceRecordSet(nullptr);
    DropUndoHistory();
}

void CTesseraDoc::DropUndoHistory() {
    // Quietly: clearing would pass through the clean state and take the modified flag along.
    {
        const QSignalBlocker block(m_undo);
        m_undo.clear();
        if (m_modified)
            m_undo.resetClean();
        else
            m_undo.setClean();
    }
    emit UndoStateChanged();
}

bool CTesseraDoc::CanUndo() const {
    return m_recordSet != nullptr && m_undo.canUndo() && !IsDocumentLocked(this);
}

bool CTesseraDoc::CanRedo() const {
    return m_recordSet != nullptr && m_undo.canRedo() && !IsDocumentLocked(this);
}

void CTesseraDoc::ReplaceRecordSet(std::unique_ptr<CRecordSet> set) {
    const bool hadSet = m_recordSet != nullptr;
    m_recordSet = std::move(set);
    // Views read the set directly: they must let go of the old one at once.
    if (hadSet)
        emit Updated(nullptr, kHintRebuild, nullptr);
}

void CTesseraDoc::SetModifiedFlag(bool modified) {
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit ModifiedChanged(modified);
}

void CTesseraDoc::SetRecordSet(std::unique_ptr<CRecordSet> set, UndoHistory history) {
    ReplaceRecordSet(std::move(set));
    if (history == UndoHistory::Drop)
        DropUndoHistory();
}

std::unique_ptr<CRecordSet> CTesseraDoc::TakeRecordSet() {
    std::unique_ptr<CRecordSet> set = std::move(m_recordSet);
    if (set)
        emit Updated(nullptr, kHintRebuild, nullptr);
    return set;
}

void CTesseraDoc::SetPathName(const QString& path, bool addToRecent) {
    const QFileInfo info(path);
    QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(info.absoluteFilePath());
    m_path = canonical;
    SetTitle(info.fileName());
    if (addToRecent)
        m_host.AddToRecentFiles(m_path);
}

void CTesseraDoc::SetTitle(const QString& title) {
    if (m_title == title)
        return;
    m_title = title;
    emit TitleChanged(title);
}

void CTesseraDoc::AddView(CTesseraView* view) {
    if (!m_views.contains(view)) {
        m_views.append(view);
        emit ViewsChanged();
    }
}

void CTesseraDoc::RemoveView(CTesseraView* view) {
    if (m_views.removeAll(view) == 0)
        return;
    emit ViewsChanged();
    if (m_views.isEmpty())
        emit LastViewClosed();
}

void CTesseraDoc::UpdateAllViews(QObject* sender, int hint, const CUpdateWindow* window) {
    emit Updated(sender, hint, window);
    m_host.RefreshStatus();
}

QString CTesseraDoc::MailProgram() {
    // Looked up once: the menus ask for it on every update.
    static const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    return program;
}

bool CTesseraDoc::SendMail() {
    const QString program = MailProgram();
    if (program.isEmpty() || !m_recordSet)
        return false;
    // The mail program reads the attachment after we return, so it gets a copy of its own
    // that stays until the temporary folder is cleaned, never the live document file.
    const QString dir =
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
            .filePath(QStringLiteral("tessera-mail-%1").arg(QCoreApplication::applicationPid()));
    if (!QDir().mkpath(dir)) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    const QString copy = QDir(dir).filePath(SuggestedFileName().section(QLatin1Char('/'), -1));
    CSafeSave file(copy);
    if (!file.Open()) {
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    if (!m_recordSet->WriteText([&file](std::string_view bytes) { return file.Write(bytes); }))
        return false; // the writer has told the user
    if (!file.Commit()) {
        // A short copy would go out as the attachment.
        ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    return QProcess::startDetached(program, {QStringLiteral("--attach"), copy});
}

bool CTesseraDoc::UpdateCommand(int id, CommandState& state) {
    switch (id) {
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
        // While a receive runs the set is empty: saving it would empty the file.
        state.enabled = m_recordSet != nullptr && !IsDocumentLocked(this);
        return true;
    case ID_FILE_SEND_MAIL:
        state.enabled = m_recordSet != nullptr && !MailProgram().isEmpty();
        return true;
    case ID_EDIT_UNDO:
        state.enabled = CanUndo();
        state.detail = state.enabled ? m_undo.undoText() : QString();
        return true;
    case ID_EDIT_REDO:
        state.enabled = CanRedo();
        state.detail = state.enabled ? m_undo.redoText() : QString();
        return true;
    default:
        return false;
    }
}

bool CTesseraDoc::RunCommand(int id) {
    switch (id) {
    case ID_EDIT_UNDO:
        // A shortcut may come between two menu updates: the lock is checked again here.
        if (CanUndo())
            m_undo.undo();
        return true;
    case ID_EDIT_REDO:
        if (CanRedo())
            m_undo.redo();
        return true;
    case ID_FILE_SAVE:
        DoFileSave();
        return true;
    case ID_FILE_SAVE_AS:
        DoSave(QString());
        return true;
    case ID_FILE_SEND_MAIL:
        SendMail();
        return true;
    default:
        return false;
    }
}

} // namespace tessera
