#include "base/SafeSave.h"

#include <QtGlobal>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tessera {

CSafeSave::CSafeSave(const QString& path) : m_path(path), m_file(path) {}

CSafeSave::~CSafeSave() {
    if (!m_done && m_file.isOpen())
        m_file.cancelWriting();
}

bool CSafeSave::Fail(const QString& reason) {
    if (!m_failed) {
        m_failed = true;
        m_error = reason.isEmpty() ? QStringLiteral("write error") : reason;
    }
    return false;
}

bool CSafeSave::Open() {
    m_written = 0;
    m_failed = false;
    m_done = false;
    m_error.clear();
    m_buffer.clear();
    // Unbuffered, with a buffer of our own: QFileDevice's buffer loses the system's reason
    // when a flush gets only part of its bytes onto the disk.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(m_file.errorString());
    m_buffer.reserve(kBufferSize);
    return true;
}

bool CSafeSave::Write(std::string_view bytes) {
    if (m_failed || !m_file.isOpen())
        return false;
    if (m_buffer.size() + bytes.size() <= kBufferSize) {
        m_buffer.append(bytes);
        return true;
    }
    if (!WriteOut(m_buffer))
        return false;
    m_buffer.clear();
    if (bytes.size() >= kBufferSize)
        return WriteOut(bytes);
    m_buffer.append(bytes);
    return true;
}

bool CSafeSave::WriteOut(std::string_view bytes) {
    // A write the disk took only in part is tried again with the rest, so that the system
    // says why it stops ("No space left on device") rather than only that it did.
    const char* data = bytes.data();
    qint64 left = static_cast<qint64>(bytes.size());
    while (left > 0) {
        const qint64 n = m_file.write(data, left);
        if (n <= 0 || m_file.error() != QFileDevice::NoError)
            return Fail(m_file.errorString());
        m_written += n;
        data += n;
        left -= n;
    }
    return true;
}

bool CSafeSave::Commit() {
    if (m_done)
        return !m_failed;
    if (!m_file.isOpen() && !m_failed)
        Fail(QStringLiteral("the file was not opened"));
    if (!m_failed) {
        // The last bytes go out here, where a failure is seen: QSaveFile::commit() would
        // write them too, but would not notice that they did not fit.
        if (WriteOut(m_buffer))
            m_buffer.clear();
        if (!m_failed && (!m_file.flush() || m_file.error() != QFileDevice::NoError))
            Fail(m_file.errorString());
    }
    if (!m_failed && m_file.size() != m_written)
        Fail(QStringLiteral("only %1 of %2 bytes reached the disk")
                 .arg(m_file.size())
                 .arg(m_written));
#ifdef Q_OS_UNIX
    // Some file systems (network, quotas) only say at this point that the data did not fit.
    if (!m_failed && m_file.handle() >= 0 && ::fsync(m_file.handle()) != 0 && errno != EINVAL &&
        errno != EROFS)
        Fail(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (m_failed) {
        Cancel();
        return false;
    }
    m_done = true;
    if (!m_file.commit()) {
        m_failed = true;
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

void CSafeSave::Cancel() {
    if (m_file.isOpen())
        m_file.cancelWriting();
    if (m_file.isOpen())
        m_file.commit(); // after cancelWriting this only removes the temporary file
    m_done = true;
    if (!m_failed) {
        m_failed = true;
        m_error = QStringLiteral("cancelled");
    }
}

bool SaveFileSafely(const QString& path, std::string_view bytes, QString* reason) {
    CSafeSave file(path);
    const bool ok = file.Open() && file.Write(bytes) && file.Commit();
    if (!ok && reason != nullptr)
        *reason = file.ErrorString();
    return ok;
}

} // namespace tessera
