#pragma once
// Replacing a file without ever losing it: the new content goes to a temporary file next to
// the target, and the target is replaced only once every byte is known to be on the disk.
// QSaveFile alone is not enough: its buffer takes every write() as a success, and a final
// flush that fails (a full disk) still renames the short temporary file over the target.
// Every writer that replaces a file (documents, command-line outputs, the mail copy) goes
// through this one class.

#include <QSaveFile>
#include <QString>
#include <string>
#include <string_view>

namespace tessera {

class CSafeSave {
public:
    explicit CSafeSave(const QString& path);
    // Discards the temporary file unless Commit succeeded; the target stays as it was.
    ~CSafeSave();
    CSafeSave(const CSafeSave&) = delete;
    CSafeSave& operator=(const CSafeSave&) = delete;

    // Creates the temporary file. False (ErrorString says why) when it cannot be made.
    bool Open();
    // Appends bytes. False once any write failed; the file is then never committed.
    bool Write(std::string_view bytes);
    // Flushes, checks that the temporary file holds every byte written and is on the disk,
    // and only then replaces the target. False (the target untouched) on any failure.
    bool Commit();
    // Gives up: the temporary file goes, the target stays as it was.
    void Cancel();

    // Why the save failed, in the operating system's words ("No space left on device").
    QString ErrorString() const { return m_error; }
    qint64 BytesWritten() const { return m_written; }
    const QString& Path() const { return m_path; }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;
    bool Fail(const QString& reason);
    bool WriteOut(std::string_view bytes);

    QString m_path;
    QSaveFile m_file;
    std::string m_buffer; // what has not gone to the file yet
    qint64 m_written = 0; // bytes the file took
    bool m_failed = false;
    bool m_done = false;
    QString m_error;
};

// Writes `bytes` as the whole new content of `path`. False on failure, with `reason` (when
// given) set to why; the old file is then untouched.
bool SaveFileSafely(const QString& path, std::string_view bytes, QString* reason = nullptr);

} // namespace tessera
