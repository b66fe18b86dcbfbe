#include "app/TesseraApp.h"

#include "app/GuiPrompter.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "app/SingleInstance.h"
#include "app/dial/ToneDialInfo.h"
#include "app/transfer/AddInCommand.h"
#include "app/transfer/DemoDevice.h"
#include "base/AppSettings.h"
#include "base/Language.h"
#include "document/RecordCommands.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#ifdef TESSERA_HAVE_TONEDIAL
#include "app/dial/ToneDial.h"
#endif
#include "app/filters/FilterSetDlg.h"
#include "app/settings/SettingsSheet.h"
#include "base/Cp932.h"
#include "document/CommandIds.h"
#include "document/TesseraDoc.h"
#include "model/CodeMap.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

namespace tessera {

namespace {

// The parser names the program by the path it was started as; the usage line names it as
// the user knows it.
QString HelpTextNamingTheProgram(QString text, const QStringList& arguments) {
    const QString usage = QStringLiteral("Usage: ");
    if (!arguments.isEmpty() && text.startsWith(usage + arguments.front() + QLatin1Char(' ')))
        text.replace(usage.size(), arguments.front().size(), QStringLiteral("tessera"));
    return text;
}

} // namespace

namespace {

constexpr int kMsgCharTables = ids::kMsgCharTables;
constexpr int kDefaultFieldWidth = 100;
// Not one of the 23 settings values: the folder of the last Open or Save As.
const QString kLastFolderKey = QStringLiteral("Folders/LastUsed");

QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

QString FieldWidthKey(const std::string& tag) {
    return QStringLiteral("Field Width/") +
           QString::fromLatin1(tag.data(), static_cast<qsizetype>(tag.size()));
}

} // namespace

CTesseraApp::CTesseraApp() : CTesseraApp(Options{}) {}

CTesseraApp::CTesseraApp(Options options)
    : m_options(std::move(options)), m_settings(std::make_unique<CAppSettings>()),
      m_recent(std::make_unique<CRecentFileList>(0)) {}

CTesseraApp::~CTesseraApp() {
    ExitInstance();
}

QStringList CTesseraApp::ResourcePackCandidates() {
    QStringList list;
    const QString name = QStringLiteral("tsres.txt");
    list << QDir(QCoreApplication::applicationDirPath()).filePath(name);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!data.isEmpty())
        list << QDir(data).filePath(name);
    return list;
}

void CTesseraApp::LoadResourcePackIfPresent() {
    // The first pack found overrides the built-in texts; none is no error.
    for (const QString& path : ResourcePackCandidates()) {
        if (QFileInfo::exists(path)) {
            LoadResourcePack(QFile::encodeName(path).toStdString());
            return;
        }
    }
}

void CTesseraApp::LoadQtTranslations() {
    // Standard buttons and dialogs of the toolkit speak the language of the rest of Tessera
    // (English is the toolkit's own).
    const QString suffix = QtTranslationSuffix(m_language);
    if (suffix.isEmpty())
        return;
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString& name :
         {QStringLiteral("qtbase_") + suffix, QStringLiteral("qt_") + suffix}) {
        auto* t = new QTranslator(qApp);
        if (t->load(name, dir)) {
            QCoreApplication::installTranslator(t);
            m_translators.append(t);
            break;
        }
        delete t;
    }
}

bool CTesseraApp::InitInstance(const QStringList& arguments) {
    m_starting = true;
    const bool started = Start(arguments);
    m_starting = false;
    return started;
}

void CTesseraApp::RequestQuit() {
    if (!m_starting) {
        if (m_frame)
            m_frame->close();
        return;
    }
    // A message box of the start-up: it is answered as if cancelled, and the start ends
    // right after it.
    m_quitRequested = true;
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
}

bool CTesseraApp::Start(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tessera"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Start with a simulated device holding a sample phone book."));
    parser.addOption(demo);
    QCommandLineOption lang(QStringLiteral("lang"),
                            QStringLiteral("Language of the texts for this run (ja, en)."),
                            QStringLiteral("code"));
    parser.addOption(lang);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Documents to open (*.tsr)."),
                                 QStringLiteral("[files...]"));
    if (!parser.parse(arguments)) {
        fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        m_exitCode = 2;
        return false;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        const QString text =
            parser.isSet(QStringLiteral("version"))
                ? QStringLiteral("Tessera %1\n").arg(QStringLiteral(TESSERA_VERSION))
                : HelpTextNamingTheProgram(parser.helpText(), arguments);
        fputs(qPrintable(text), stdout);
        return false;
    }
    QStringList files;
    for (const QString& f : parser.positionalArguments())
        files << QFileInfo(f).absoluteFilePath();

    // 1. One instance: a later start hands its files to the running one and ends.
    if (m_options.singleInstance) {
        m_instance =
            std::make_unique<CSingleInstance>(QStringLiteral("tessera"), m_options.instanceDir);
        if (!m_instance->Acquire()) {
            if (!files.isEmpty() && !m_instance->SendFiles(files))
                m_exitCode = 1;
            return false;
        }
        connect(m_instance.get(), &CSingleInstance::FilesReceived, this,
                &CTesseraApp::OpenHandedOverFiles);
    }

    // 2. Language pack, resource pack, toolkit texts and the message boxes.
    m_language = ApplyLanguage(ChooseLanguage(parser.value(lang), StoredLanguageSetting()));
    LoadResourcePackIfPresent();
    LoadQtTranslations();
    if (m_options.installPrompter) {
        m_prompter = std::make_unique<CGuiPrompter>();
        SetPrompter(m_prompter.get());
    }

    // 3. Settings, the recent-file list sized by them, the column-width store.
    m_settings->LoadSettings();
    if (m_quitRequested)
        return false;
    m_store = CAppSettings::OpenStore();
    m_recent = std::make_unique<CRecentFileList>(m_settings->HistoryBuffer);
    m_recent->ReadList(*m_store);

    // 4. Character map.
    m_codeMap = std::make_unique<CCodeMap>(m_settings->ConvFlags());
    if (!m_codeMap->LoadTables()) {
        ShowMessage(kMsgCharTables, PromptIcon::Stop, PromptButtons::Ok);
        m_exitCode = 1;
        return false;
    }
#ifdef TESSERA_HAVE_TONEDIAL
    SetToneDialVersionProvider(&InstalledToneDialVersion);
#endif

    // 5. Main window, and the commands that belong to no document.
    m_recordHost = MakeRecordCommandHost(*this);
    m_frame = std::make_unique<CMainFrame>(*this, m_options.commandTable);
    InstallFilterCommands(*m_settings);
    if (m_prompter)
        m_prompter->SetParentWidget(m_frame.get());

    // 6. The demo device, before any document, so its port is ready for a receive.
    if (parser.isSet(demo))
        StartDemo();

    // 7. Documents: the named files, else an empty one when NewOnStart asks for it. A file
    // that cannot be read has been reported and Tessera starts without it.
    if (!files.isEmpty()) {
        for (const QString& f : files) {
            if (m_quitRequested)
                break;
            m_frame->OpenDocumentFile(f);
        }
    } else if (m_settings->NewOnStart) {
        m_frame->NewDocument();
    }
    // A termination signal during a start-up message ends the program here.
    if (m_quitRequested)
        return false;

    // 8. Placement and show.
    if (m_options.showWindow)
        m_frame->ShowWithStoredState();
    else
        m_frame->ApplyStoredPlacement();
    m_frame->ScheduleUpdate();
    return true;
}

void CTesseraApp::ExitInstance() {
    if (m_exited)
        return;
    m_exited = true;
    if (m_frame) {
        m_frame->CloseAllDocuments();
        m_frame.reset();
    }
    // The demo's line belongs to this run only: the user's own link settings go back to
    // the store as they were, unless the user chose another port meanwhile.
    QString demoPort;
    if (m_demo) {
        demoPort = m_demo->PortName();
        m_demo.reset();
    }
    // Settings go back only when they were read: a second start must not overwrite what the
    // running one will store.
    if (m_settings->IsLoaded()) {
        m_settings->SaveSettings();
        if (m_store) {
            if (m_linkBeforeDemo && !demoPort.isEmpty() && m_settings->Port() == demoPort) {
                // No port was configured before the demo: none is after it.
                if (m_linkBeforeDemo->port.isEmpty())
                    m_store->remove(QStringLiteral("Device/Port"));
                else
                    m_store->setValue(QStringLiteral("Device/Port"), m_linkBeforeDemo->port);
                m_store->setValue(QStringLiteral("Device/Method"), m_linkBeforeDemo->method);
                m_store->setValue(QStringLiteral("Device/Bps"), m_linkBeforeDemo->bps);
            }
            m_recent->WriteList(*m_store);
        }
    }
    if (m_store)
        m_store->sync();
    m_store.reset();
    m_codeMap.reset();
    if (m_prompter && CurrentPrompter() == m_prompter.get())
        SetPrompter(nullptr);
    m_prompter.reset();
    m_instance.reset();
    for (QTranslator* t : m_translators) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    m_translators.clear();
}

void CTesseraApp::SetBusy(bool busy) {
    if (m_busy == busy)
        return;
    m_busy = busy;
    emit BusyChanged(busy);
}

void CTesseraApp::OpenHandedOverFiles(const QStringList& files) {
    if (!m_frame)
        return;
    for (const QString& f : files)
        m_frame->OpenDocumentFile(f);
    if (m_frame->isMinimized())
        m_frame->showNormal();
    m_frame->raise();
    m_frame->activateWindow();
}

QString CTesseraApp::StartFolder() const {
    if (m_store) {
        const QString last = m_store->value(kLastFolderKey).toString();
        if (!last.isEmpty() && QFileInfo(last).isDir())
            return last;
    }
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!docs.isEmpty() && QFileInfo(docs).isDir())
        return docs;
    return QDir::homePath();
}

void CTesseraApp::RememberFolder(const QString& filePath) {
    if (m_store && !filePath.isEmpty())
        m_store->setValue(kLastFolderKey, QFileInfo(filePath).absolutePath());
}

QString CTesseraApp::GetOpenFileName(QWidget* parent) {
    const QString folder = StartFolder();
    const QString path =
        m_fileDialog
            ? m_fileDialog(false, parent, folder)
            : QFileDialog::getOpenFileName(parent, Text(ids::kStrOpenTitle), folder,
                                           QString::fromLatin1(CTesseraDoc::kFileFilter) +
                                               QStringLiteral(";;") + Text(ids::kStrAllFiles));
    RememberFolder(path);
    return path;
}

QString CTesseraApp::GetSaveFileName(QWidget* parent, const QString& suggested) {
    // A document that has no file yet is proposed in the start folder.
    QString proposed = suggested;
    if (!suggested.isEmpty() && QFileInfo(suggested).isRelative())
        proposed = QDir(StartFolder()).filePath(suggested);
    QString path;
    if (m_fileDialog) {
        path = m_fileDialog(true, parent, proposed);
    } else {
        QFileDialog dialog(parent ? parent : m_frame.get(), Text(ids::kStrSaveAsTitle),
                           QFileInfo(proposed).absolutePath(),
                           QString::fromLatin1(CTesseraDoc::kFileFilter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QString::fromLatin1(CTesseraDoc::kDefaultSuffix));
        dialog.selectFile(proposed);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    RememberFolder(path);
    return path;
}

bool CTesseraApp::OpenUrl(const QUrl& url) {
    if (m_urlOpener)
        return m_urlOpener(url);
    return QDesktopServices::openUrl(url);
}

const CCodeMap* CTesseraApp::CodeMap() const {
    return m_codeMap.get();
}

bool CTesseraApp::LimitFieldWidth() const {
    return m_settings->LimitFieldWidth;
}

int CTesseraApp::MaxFieldWidth() const {
    // The range the settings sheet offers; a limit of 0 would show nothing.
    return std::clamp(m_settings->MaxFieldWidth, CAppSettings::kMinFieldWidth,
                      CAppSettings::kMaxFieldWidth);
}

int CTesseraApp::FieldWidth(const std::string& tag) const {
    if (!m_store)
        return kDefaultFieldWidth;
    bool ok = false;
    const int w = m_store->value(FieldWidthKey(tag), kDefaultFieldWidth).toInt(&ok);
    return ok && w > 0 ? w : kDefaultFieldWidth;
}

void CTesseraApp::SetFieldWidth(const std::string& tag, int width) {
    if (m_store && tag.size() == 4)
        m_store->setValue(FieldWidthKey(tag), width);
}

void CTesseraApp::AddToRecentFiles(const QString& path) {
    m_recent->Add(path);
    if (m_frame)
        m_frame->RebuildRecentMenus();
}

void CTesseraApp::RefreshStatus() {
    if (m_frame) {
        m_frame->RefreshStatusPanes();
        m_frame->ScheduleUpdate();
    }
}

bool CTesseraApp::IsReceivingInto(const CTesseraDoc& doc) const {
    return m_frame != nullptr && m_frame->RecordCommands().IsLocked(&doc);
}

void CTesseraApp::RunSettingsSheet() {
    if (!CSettingsSheet::Run(*m_settings, m_frame.get()))
        return;
    // The field-width limit and the link method show at once.
    for (CTesseraDoc* doc : m_frame->Documents())
        doc->UpdateAllViews(nullptr, kHintRebuild);
    RefreshStatus();
}

bool CTesseraApp::StartDemo() {
    // An empty port: none was configured, the first one found was in use.
    m_linkBeforeDemo = LinkSettings{m_settings->PortIsDefault() ? QString() : m_settings->Port(),
                                    m_settings->Method, m_settings->Bps};
    m_demo = std::make_unique<CDemoDevice>();
    return m_demo->Start(*m_settings);
}

} // namespace tessera
