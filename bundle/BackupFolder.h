#pragma once
// A backup folder: every record stream received in one sitting is kept as <slug>.tsr (never
// over an existing file: -2, -3, ...), a stream the reader refuses byte for byte as
// received-N.bin, and DIR/backup.json lists them all. In verify mode each kind comes twice
// and the two streams must be byte-identical; a pair that differs keeps both
// (<slug>.tsr and <slug>.second.tsr).
//
//     CBackupFolder folder(dir, verify);
//     if (!folder.Prepare(&why)) ...
//     StreamOutcome out = folder.Take(bytes);   // after each completed stream
//     ... folder.Finish(); folder.Problems() != 0 -> exit 2

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QString>
#include <atomic>
#include <vector>

namespace tessera::bundle {

// File name stem of a kind: phonebook, cards, schedule, anniversary, anniversary-week,
// actions, report, memo; "unknown" for kind 0 and anything else.
QString KindSlug(int kind);

// `dir`/`stem``suffix` when that is free, else `stem`-2`suffix`, -3, ... (never an existing
// file's name).
QString FreeName(const QString& dir, const QString& stem, const QString& suffix);

// One line of backup.json.
struct BackupEntry {
    QString file; // name inside the folder
    int kind = 0;
    int records = 0;
    qint64 bytes = 0;
    QDateTime time;
    QString sha256; // hexadecimal, of the bytes as received
    bool verified = false;
    bool rejected = false; // kept raw: the reader refused it
    QString note;          // why it was rejected, or what the verify found (UTF-8)
};

struct StreamOutcome {
    enum Kind {
        Saved,      // a new <slug>.tsr (in verify mode: waiting for its second send)
        Verified,   // the second send matched the first: nothing new written
        Mismatch,   // the second send differed: kept as <slug>.second.tsr
        Rejected,   // kept raw as received-N.bin
        WriteFailed // the file could not be written (`note` says why)
    };
    Kind kind = Saved;
    QString path; // the file written (or matched)
    int recordKind = 0;
    int records = 0;
    QString note; // the reader's or the system's reason, for Rejected and WriteFailed
};

class CBackupFolder {
public:
    CBackupFolder(QString dir, bool verify);

    // Creates the folder and reads an older backup.json there (its entries stay listed).
    // False with `error` when the folder cannot be made.
    bool Prepare(QString* error);
    // Keeps one completed stream and rewrites backup.json.
    StreamOutcome Take(const QByteArray& stream);
    // At the end of the sitting: a first send still waiting for its second is noted (and
    // counts as a problem). Rewrites backup.json.
    void Finish();

    const QString& Dir() const { return m_dir; }
    bool Verifying() const { return m_verify.load(); }
    // Turns verify mode on or off; meant for before the first stream (the window's check
    // box), safe while the session's thread waits.
    void SetVerify(bool verify) { m_verify.store(verify); }
    // True while a verify pair has had its first send only.
    bool AwaitingSecond() const { return m_pending >= 0; }
    // Rejected streams, differing pairs and unpaired first sends of this sitting.
    int Problems() const { return m_problems; }
    // The entries of this sitting, in order.
    std::vector<BackupEntry> Entries() const;
    // This sitting's entries as backup.json writes them.
    QJsonArray EntriesJson() const;
    // False (with the reason) when backup.json could not be written at the last change.
    bool ManifestWritten(QString* error) const;

private:
    void WriteManifest();

    QString m_dir;
    std::atomic<bool> m_verify;
    QJsonArray m_older; // entries of earlier sittings
    std::vector<BackupEntry> m_entries;
    QByteArray m_pendingBytes;
    int m_pending = -1; // index of the first send of an open verify pair
    int m_problems = 0;
    QString m_manifestError;
};

QJsonObject EntryJson(const BackupEntry& entry);

} // namespace tessera::bundle
