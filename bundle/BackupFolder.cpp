#include "bundle/BackupFolder.h"

#include "base/SafeSave.h"
#include "filters/FilterKit.h"
#include "model/RecordSet.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessera::bundle {

namespace {

const QString kManifest = QStringLiteral("backup.json");

QString Sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

QString KindSlug(int kind) {
    static const char* const kSlugs[] = {"unknown",  "phonebook",   "cards",
                                         "schedule", "anniversary", "anniversary-week",
                                         "actions",  "report",      "memo"};
    if (kind < 0 || kind > 8)
        kind = 0;
    return QString::fromLatin1(kSlugs[kind]);
}

QString FreeName(const QString& dir, const QString& stem, const QString& suffix) {
    const QDir d(dir);
    QString name = stem + suffix;
    for (int n = 2; QFileInfo::exists(d.filePath(name)); ++n)
        name = QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
    return d.filePath(name);
}

QJsonObject EntryJson(const BackupEntry& e) {
    QJsonObject o;
    o.insert(QStringLiteral("file"), e.file);
    o.insert(QStringLiteral("kind"), e.kind);
    o.insert(QStringLiteral("records"), e.records);
    o.insert(QStringLiteral("bytes"), static_cast<double>(e.bytes));
    o.insert(QStringLiteral("time"),
             e.time.toOffsetFromUtc(e.time.offsetFromUtc()).toString(Qt::ISODate));
    o.insert(QStringLiteral("sha256"), e.sha256);
    o.insert(QStringLiteral("verified"), e.verified);
    if (e.rejected)
        o.insert(QStringLiteral("rejected"), true);
    if (!e.note.isEmpty())
        o.insert(QStringLiteral("note"), e.note);
    return o;
}

CBackupFolder::CBackupFolder(QString dir, bool verify) : m_dir(std::move(dir)), m_verify(verify) {}

bool CBackupFolder::Prepare(QString* error) {
    if (!QDir().mkpath(m_dir) || !QFileInfo(m_dir).isDir()) {
        if (error)
            *error = QStringLiteral("cannot make the folder '%1'").arg(m_dir);
        return false;
    }
    QFile old(QDir(m_dir).filePath(kManifest));
    if (old.open(QIODevice::ReadOnly)) {
        const QJsonDocument doc = QJsonDocument::fromJson(old.readAll());
        if (doc.isArray())
            m_older = doc.array();
    }
    return true;
}

StreamOutcome CBackupFolder::Take(const QByteArray& stream) {
    StreamOutcome out;
    BackupEntry entry;
    entry.bytes = stream.size();
    entry.time = QDateTime::currentDateTime();
    entry.sha256 = Sha256(stream);

    CRecordSet set;
    filters::Failure failure;
    const bool readable =
        filters::ReadTextForm(std::string_view(stream.constData(), stream.size()), set, failure);
    filters::RunNotes().Clear();
    QString path;
    if (!readable) {
        // Kept byte for byte: the user may still get something out of it by hand.
        out.kind = StreamOutcome::Rejected;
        out.note = QString::fromStdString(failure.message);
        entry.rejected = true;
        entry.note = out.note;
        QString stem = QStringLiteral("received-%1").arg(m_entries.size() + 1);
        path = QDir(m_dir).filePath(stem + QStringLiteral(".bin"));
        for (int n = static_cast<int>(m_entries.size()) + 2; QFileInfo::exists(path); ++n)
            path = QDir(m_dir).filePath(QStringLiteral("received-%1.bin").arg(n));
    } else {
        out.recordKind = entry.kind = set.Kind();
        out.records = entry.records = set.RecordCount();
        if (m_pending >= 0) {
            BackupEntry& first = m_entries[static_cast<std::size_t>(m_pending)];
            const QString firstPath = QDir(m_dir).filePath(first.file);
            if (stream == m_pendingBytes) {
                first.verified = true;
                m_pending = -1;
                m_pendingBytes.clear();
                out.kind = StreamOutcome::Verified;
                out.path = firstPath;
                WriteManifest();
                return out;
            }
            // Both are kept: which one the line changed cannot be told from here.
            out.kind = StreamOutcome::Mismatch;
            const QString stem = QFileInfo(first.file).completeBaseName();
            path = FreeName(m_dir, stem + QStringLiteral(".second"), QStringLiteral(".tsr"));
            first.note = entry.note = QStringLiteral("the two sends differ");
            m_pending = -1;
            m_pendingBytes.clear();
        } else {
            out.kind = StreamOutcome::Saved;
            path = FreeName(m_dir, KindSlug(set.Kind()), QStringLiteral(".tsr"));
        }
    }

    QString reason;
    if (!SaveFileSafely(path, std::string_view(stream.constData(), stream.size()), &reason)) {
        out.kind = StreamOutcome::WriteFailed;
        out.note = reason;
        out.path = path;
        ++m_problems;
        return out;
    }
    out.path = path;
    entry.file = QFileInfo(path).fileName();
    if (out.kind != StreamOutcome::Saved)
        ++m_problems;
    if (out.kind == StreamOutcome::Saved && m_verify.load()) {
        m_pending = static_cast<int>(m_entries.size());
        m_pendingBytes = stream;
    }
    m_entries.push_back(entry);
    WriteManifest();
    return out;
}

void CBackupFolder::Finish() {
    if (m_pending >= 0) {
        m_entries[static_cast<std::size_t>(m_pending)].note =
            QStringLiteral("not verified: the second send did not come");
        m_pending = -1;
        m_pendingBytes.clear();
        ++m_problems;
    }
    WriteManifest();
}

std::vector<BackupEntry> CBackupFolder::Entries() const {
    return m_entries;
}

QJsonArray CBackupFolder::EntriesJson() const {
    QJsonArray a;
    for (const BackupEntry& e : m_entries)
        a.append(EntryJson(e));
    return a;
}

bool CBackupFolder::ManifestWritten(QString* error) const {
    if (error)
        *error = m_manifestError;
    return m_manifestError.isEmpty();
}

void CBackupFolder::WriteManifest() {
    QJsonArray all = m_older;
    for (const BackupEntry& e : m_entries)
        all.append(EntryJson(e));
    const QByteArray json = QJsonDocument(all).toJson(QJsonDocument::Indented);
    QString reason;
    m_manifestError.clear();
    if (!SaveFileSafely(QDir(m_dir).filePath(kManifest),
                        std::string_view(json.constData(), json.size()), &reason))
        m_manifestError = reason.isEmpty() ? QStringLiteral("cannot write backup.json") : reason;
}

} // namespace tessera::bundle
