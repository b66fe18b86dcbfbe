#pragma once
// The backup session window: modeless, it waits for the device's sends one after another
// and lists each stream kept in the backup folder. 完了 ends the sitting, 中断 drops the
// stream coming in; a double click opens a kept file. The sitting runs on a thread of its
// own; the application stays busy (no other transfer) until it has ended.

#include "bundle/BackupFolder.h"
#include "bundle/BackupSession.h"

#include <QDialog>
#include <QString>
#include <memory>
#include <thread>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessera {

class CMainFrame;

class CBackupDlg final : public QDialog {
    Q_OBJECT
public:
    // Starts the sitting at once into `dir` with `options` (link from the settings).
    CBackupDlg(CMainFrame& frame, const QString& dir, bundle::SessionOptions options);
    ~CBackupDlg() override;

    // The default folder: ~/Documents/Tessera/backup-YYYY-MM-DD.
    static QString DefaultFolder();
    // The menu command: asks for the folder and opens the window; nothing when the user
    // cancels or another transfer runs (message shown).
    static void Run(CMainFrame& frame);

    bool Running() const { return m_thread.joinable() && !m_ended; }
    int Rows() const;
    const bundle::CBackupFolder& Folder() const { return m_folder; }

    // The buttons' work.
    void Finish();       // 完了
    void CancelStream(); // 中断

signals:
    void SessionEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    class Observer;
    void OnWaiting();
    void OnProgress(qint64 bytes);
    void OnTaken(const bundle::StreamOutcome& outcome);
    void OnDropped(bool cancelled, qint64 bytes);
    void OnEnded(bundle::SessionEnd end);
    void OpenRow(QTreeWidgetItem* item);
    QTreeWidgetItem* AddRow(int kind, int records, const QString& path, const QString& status);

    CMainFrame& m_frame;
    bundle::CBackupFolder m_folder;
    std::unique_ptr<Observer> m_observer;
    std::unique_ptr<bundle::CBackupSession> m_session;
    std::thread m_thread;
    bool m_ended = false;
    bool m_closeWhenEnded = false;
    QTreeWidgetItem* m_awaiting = nullptr; // the first send of an open verify pair
    QString m_note;                        // what became of the last dropped stream

    QLabel* m_where = nullptr;
    QCheckBox* m_verify = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_done = nullptr;
};

} // namespace tessera
