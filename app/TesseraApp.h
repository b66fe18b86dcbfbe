#pragma once
// The application object: starts Tessera (one instance per user, resource pack, Japanese
// toolkit texts, settings, character map, main window, the files named on the command
// line), owns what lives as long as the program, and writes the settings back at exit.

#include "app/commands/CommandRouter.h"
#include "document/DocHost.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QSettings;
class QTranslator;

namespace tessera {

class CAppSettings;
class CCodeMap;
class CDemoDevice;
class CGuiPrompter;
class CMainFrame;
class CRecentFileList;
class CRecordCommandHost;
class CSingleInstance;

class CTesseraApp : public QObject, public CDocHost {
    Q_OBJECT
public:
    struct Options {
        // Where the single-instance lock lives; empty = the user's runtime folder.
        QString instanceDir;
        bool singleInstance = true;
        // Tests keep their own prompter; the program installs the message-box one.
        bool installPrompter = true;
        bool showWindow = true;
        // The main window's command table; empty = the program's own (tests give theirs).
        CommandTableFn commandTable;
    };

    CTesseraApp();
    explicit CTesseraApp(Options options);
    ~CTesseraApp() override;

    // Start-up. False when the program is to end now (a second start that handed its files
    // over, or a failure already reported); ExitCode() tells with what code.
    bool InitInstance(const QStringList& arguments);
    // Exit processing: the settings (when they were read), the recent files, the lock.
    void ExitInstance();
    int ExitCode() const { return m_exitCode; }
    // The language of this run's texts ("ja", "en", ...), fixed at start-up.
    const QString& Language() const { return m_language; }

    CAppSettings& Settings() { return *m_settings; }
    const CAppSettings& Settings() const { return *m_settings; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    CRecordCommandHost& RecordHost() const { return *m_recordHost; }
    CRecentFileList& RecentFiles() { return *m_recent; }
    CSingleInstance* SingleInstance() const { return m_instance.get(); }
    CDemoDevice* DemoDevice() const { return m_demo.get(); }

    void SetBusy(bool busy);
    // The settings sheet; a change of the display limit or link method shows at once.
    void RunSettingsSheet();

    // Opens the files a second start handed over and brings the window to the front.
    void OpenHandedOverFiles(const QStringList& files);

    // A termination signal: while start-up still runs (a prompt may be up), the start ends
    // once the prompt has returned; afterwards the window closes as its close box does.
    void RequestQuit();
    bool QuitRequested() const { return m_quitRequested; }

    // Where the next Open or Save As dialog starts: the folder last used (remembered across
    // runs), else the user's documents folder.
    QString StartFolder() const;
    void RememberFolder(const QString& filePath);

    // The file dialogs and the browser; tests replace them.
    // `suggested` is the start folder (open) or the proposed path (save).
    using FileDialogFn =
        std::function<QString(bool save, QWidget* parent, const QString& suggested)>;
    void SetFileDialog(FileDialogFn fn) { m_fileDialog = std::move(fn); }
    QString GetOpenFileName(QWidget* parent);
    using UrlOpenerFn = std::function<bool(const QUrl&)>;
    void SetUrlOpener(UrlOpenerFn fn) { m_urlOpener = std::move(fn); }
    bool OpenUrl(const QUrl& url);

    // CDocHost
    const CCodeMap* CodeMap() const override;
    bool LimitFieldWidth() const override;
    int MaxFieldWidth() const override;
    int FieldWidth(const std::string& tag) const override;
    void SetFieldWidth(const std::string& tag, int width) override;
    bool IsBusy() const override { return m_busy; }
    bool IsReceivingInto(const CTesseraDoc& doc) const override;
    void AddToRecentFiles(const QString& path) override;
    QString GetSaveFileName(QWidget* parent, const QString& suggested) override;
    void RefreshStatus() override;

    // Where an optional resource pack is looked for, in order.
    static QStringList ResourcePackCandidates();

signals:
    void BusyChanged(bool busy);

private:
    bool Start(const QStringList& arguments);
    void LoadQtTranslations();
    void LoadResourcePackIfPresent();
    bool StartDemo();

    Options m_options;
    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CAppSettings> m_settings;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<CCodeMap> m_codeMap;
    std::unique_ptr<CRecentFileList> m_recent;
    std::unique_ptr<CGuiPrompter> m_prompter;
    // Before the window: the window's record commands and their sessions use it.
    std::unique_ptr<CRecordCommandHost> m_recordHost;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CDemoDevice> m_demo;
    QList<QTranslator*> m_translators;
    QString m_language = QStringLiteral("ja");
    FileDialogFn m_fileDialog;
    UrlOpenerFn m_urlOpener;
    // The link settings as stored before --demo pointed them at its device.
    struct LinkSettings {
        QString port;
        int method = 0;
        int bps = 9600;
    };
    std::optional<LinkSettings> m_linkBeforeDemo;
    bool m_starting = false;
    bool m_quitRequested = false;
    bool m_busy = false;
    bool m_exited = false;
    int m_exitCode = 0;
};

} // namespace tessera
