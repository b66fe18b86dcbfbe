#pragma once
// One running Tessera per user: the first start holds a lock file and listens on a local
// socket beside it; a later start given files hands them over and ends, given nothing it
// just ends.

#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <memory>

class QLocalServer;

namespace tessera {

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // `dir` holds the lock file and the socket; empty means the user's runtime folder.
    explicit CSingleInstance(const QString& key = QStringLiteral("tessera"),
                             const QString& dir = QString(), QObject* parent = nullptr);
    ~CSingleInstance() override;

    // True when this process is the first (or the lock cannot be used at all, in which case
    // Tessera runs rather than refusing to start). Starts listening for hand-overs.
    bool Acquire();
    bool IsPrimary() const { return m_primary; }

    // From a second start: gives `files` (absolute paths) to the first. True when delivered.
    bool SendFiles(const QStringList& files, int timeoutMs = 5000) const;

    QString LockPath() const;
    QString ServerName() const;

signals:
    void FilesReceived(const QStringList& files);

private:
    void OnNewConnection();

    QString m_key;
    QString m_dir;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_primary = false;
};

} // namespace tessera
