#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tessera {

namespace {

// A hand-over is a byte count followed by the serialised list, answered by one byte.
constexpr char kAck = '\x06';

QString RuntimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

} // namespace

CSingleInstance::CSingleInstance(const QString& key, const QString& dir, QObject* parent)
    : QObject(parent), m_key(key), m_dir(dir.isEmpty() ? RuntimeFolder() : dir) {}

CSingleInstance::~CSingleInstance() {
    if (m_server != nullptr)
        m_server->close();
    if (m_lock)
        m_lock->unlock();
}

QString CSingleInstance::LockPath() const {
    return QDir(m_dir).filePath(m_key + QStringLiteral(".lock"));
}

QString CSingleInstance::ServerName() const {
    return QDir(m_dir).filePath(m_key + QStringLiteral(".socket"));
}

bool CSingleInstance::Acquire() {
    QDir().mkpath(m_dir);
    m_lock = std::make_unique<QLockFile>(LockPath());
    // A lock left by a crashed Tessera is taken over; the owner's process id tells.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            m_primary = false;
            return false;
        }
        // The folder is unusable: run unguarded rather than not at all.
        m_lock.reset();
    }
    m_primary = true;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(ServerName());
    if (m_server->listen(ServerName()))
        connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    return true;
}

bool CSingleInstance::SendFiles(const QStringList& files, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << files;
    }
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << static_cast<quint32>(payload.size());
    }
    message += payload;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    char ack = 0;
    socket.getChar(&ack);
    socket.disconnectFromServer();
    return ack == kAck;
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray data = socket->peek(socket->bytesAvailable());
            if (data.size() < 4)
                return;
            quint32 size = 0;
            {
                QDataStream in(data.left(4));
                in.setVersion(QDataStream::Qt_6_0);
                in >> size;
            }
            // Hand-overs are a few paths; anything huge is not one of ours.
            if (size > (1u << 20)) {
                socket->abort();
                return;
            }
            if (static_cast<quint32>(data.size()) < 4 + size)
                return;
            socket->read(4 + size);
            QStringList files;
            QDataStream in(data.mid(4, size));
            in.setVersion(QDataStream::Qt_6_0);
            in >> files;
            socket->putChar(kAck);
            socket->flush();
            // Opening a file may ask the user (a damaged file): a modal box's event loop
            // would then run inside this handler, where the sender's disconnect frees the
            // socket under it. The files are opened once the handler has returned.
            if (in.status() == QDataStream::Ok)
                QMetaObject::invokeMethod(
                    this, [this, files] { emit FilesReceived(files); }, Qt::QueuedConnection);
        });
    }
}

} // namespace tessera
