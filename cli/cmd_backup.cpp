// tessera-cli backup --dir DIR [link options] [--streams N] [--idle SECONDS] [--verify]
// [--json]: waits for the device's sends one after another and keeps each as DIR/<slug>.tsr,
// one line "saved PATH: KINDNAME, N records" each, with DIR/backup.json listing them. Exit 0;
// 2 when a stream was kept raw (the reader refused it) or a verify pair differed; 3 when the
// port or the link failed (streams before it stay saved); 4 for Ctrl+C during a stream.

#include "base/Cp932.h"
#include "bundle/BackupFolder.h"
#include "bundle/BackupSession.h"
#include "cli/Command.h"
#include "cli/LinkOptions.h"
#include "model/RecordKind.h"
#include "text/Cp932Text.h"
#include "text/StringTable.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonDocument>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#define TESSERA_BACKUP_ISATTY() ::isatty(::fileno(stderr))
#else
#define TESSERA_BACKUP_ISATTY() 0
#endif

namespace tessera::cli {

namespace {

std::atomic<bundle::CBackupSession*> g_session{nullptr};

extern "C" void OnBackupInterrupt(int) {
    if (bundle::CBackupSession* s = g_session.load())
        s->Stop();
}

// Ctrl+C (and SIGTERM) end the sitting for the length of one Run; a second one ends the
// program at once.
class SessionInterrupt {
public:
    explicit SessionInterrupt(bundle::CBackupSession& session) : m_scope(OnBackupInterrupt) {
        g_session.store(&session);
    }
    ~SessionInterrupt() { g_session.store(nullptr); }

private:
    InterruptScope m_scope;
};

class CliSessionObserver : public bundle::BackupSessionObserver {
public:
    CliSessionObserver(Context& ctx, bool json) : m_ctx(ctx), m_json(json) {}

    void SessionWaiting() override { Progress(LoadString(kMsgWaiting)); }
    void SessionProgress(std::int64_t bytes) override {
        Progress(FormatString(kMsgBytesReceived, bytes));
    }
    void SessionStreamTaken(const bundle::StreamOutcome& o) override {
        EndProgress();
        using K = bundle::StreamOutcome;
        const QString kind = IsValidKind(o.recordKind) ? Cp932ToQString(KindName(o.recordKind))
                                                       : QStringLiteral("unknown");
        const QString saved = QStringLiteral("saved %1: %2, %3 records\n")
                                  .arg(QDir::toNativeSeparators(o.path), kind)
                                  .arg(o.records);
        switch (o.kind) {
        case K::Saved:
            Human(saved);
            break;
        case K::Verified:
            m_ctx.Err(QStringLiteral("tessera-cli backup: %1 verified: the second send is the same")
                          .arg(QDir::toNativeSeparators(o.path)));
            break;
        case K::Mismatch:
            Human(saved);
            m_ctx.Err(QStringLiteral("tessera-cli backup: the second send differs from the first; "
                                     "both are kept (%1 is the second): check them, or send again")
                          .arg(QDir::toNativeSeparators(o.path)));
            break;
        case K::Rejected:
            m_ctx.Err(QStringLiteral("tessera-cli backup: a stream could not be read (%1); its "
                                     "bytes are kept as %2")
                          .arg(o.note, QDir::toNativeSeparators(o.path)));
            break;
        case K::WriteFailed:
            m_ctx.Err(QStringLiteral("tessera-cli backup: cannot write '%1': %2")
                          .arg(QDir::toNativeSeparators(o.path), o.note));
            break;
        }
    }
    void SessionStreamDropped(bool cancelled, std::int64_t bytes) override {
        EndProgress();
        if (!cancelled)
            m_ctx.Err(QStringLiteral("tessera-cli backup: the stream broke off after %1 bytes; "
                                     "nothing of it was kept")
                          .arg(bytes));
    }
    void EndProgress() {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_drawn) {
            std::fputc('\n', stderr);
            std::fflush(stderr);
            m_drawn = false;
        }
    }

private:
    void Human(const QString& line) {
        if (m_json)
            m_ctx.Err(line.chopped(1));
        else
            m_ctx.Out(line);
    }
    void Progress(const std::string& cp932) {
        if (!m_tty)
            return;
        std::lock_guard<std::mutex> guard(m_lock);
        std::fprintf(stderr, "\r%s\x1b[K", Cp932ToUtf8(cp932).c_str());
        std::fflush(stderr);
        m_drawn = true;
    }

    Context& m_ctx;
    bool m_json;
    bool m_tty = TESSERA_BACKUP_ISATTY() != 0;
    std::mutex m_lock;
    bool m_drawn = false;
};

bool TakeCount(Context& ctx, const QString& option, int minimum, int& value) {
    if (!ctx.Parser().isSet(option))
        return true;
    bool ok = false;
    const int v = ctx.Parser().value(option).trimmed().toInt(&ok);
    if (!ok || v < minimum) {
        ctx.UsageError(
            QStringLiteral("--%1 takes a whole number from %2").arg(option).arg(minimum));
        return false;
    }
    value = v;
    return true;
}

class BackupCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("backup"); }
    QString Description() const override {
        return QStringLiteral("receive the device's sends one after another into a folder");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("dir"),
                          QStringLiteral("the backup folder (made if needed)"),
                          QStringLiteral("DIR")});
        AddLinkOptions(parser);
        parser.addOption({QStringLiteral("streams"), QStringLiteral("stop after N streams"),
                          QStringLiteral("N")});
        parser.addOption({QStringLiteral("idle"),
                          QStringLiteral("stop when no send starts for SECONDS after the last "
                                         "(default 600)"),
                          QStringLiteral("SECONDS")});
        parser.addOption({QStringLiteral("verify"),
                          QStringLiteral("each kind is sent twice; the two must be the same")});
        parser.addOption({QStringLiteral("json"),
                          QStringLiteral("print the backup.json entries of this run on stdout at "
                                         "the end (the saved lines go to stderr)")});
    }

    int Run(Context& ctx) override {
        if (!ctx.Arguments().isEmpty())
            return ctx.UsageError(
                QStringLiteral("backup takes no file arguments (give --dir DIR)"));
        const QString dir = ctx.Parser().value(QStringLiteral("dir"));
        if (dir.isEmpty())
            return ctx.UsageError(QStringLiteral("backup: give the folder with --dir"));
        bundle::SessionOptions options;
        if (!TakeLinkOptions(ctx, options.link) ||
            !TakeCount(ctx, QStringLiteral("streams"), 1, options.maxStreams) ||
            !TakeCount(ctx, QStringLiteral("idle"), 1, options.idleSeconds))
            return kExitUsage;
        const bool json = ctx.Parser().isSet(QStringLiteral("json"));

        bundle::CBackupFolder folder(dir, ctx.Parser().isSet(QStringLiteral("verify")));
        QString why;
        if (!folder.Prepare(&why)) {
            ctx.Err(QStringLiteral("tessera-cli backup: %1").arg(why));
            return kExitLink;
        }
        CliSessionObserver observer(ctx, json);
        bundle::CBackupSession session(folder, options, observer);
        bundle::SessionEnd end;
        {
            SessionInterrupt interrupt(session);
            end = session.Run();
        }
        observer.EndProgress();
        folder.Finish();

        int rc = folder.Problems() > 0 ? kExitBadData : kExitOk;
        switch (end) {
        case bundle::SessionEnd::Cancelled:
            ctx.Err(
                QStringLiteral("tessera-cli backup: cancelled; the stream coming in was not kept"));
            rc = kExitCancelled;
            break;
        case bundle::SessionEnd::PortFailed:
        case bundle::SessionEnd::LinkFailed:
            rc = kExitLink;
            break;
        case bundle::SessionEnd::Idle:
        case bundle::SessionEnd::Stopped:
            break;
        }
        if (!folder.ManifestWritten(&why)) {
            ctx.Err(QStringLiteral("tessera-cli backup: cannot write '%1': %2")
                        .arg(QDir(dir).filePath(QStringLiteral("backup.json")), why));
            if (rc == kExitOk)
                rc = kExitBadData;
        }
        for (const bundle::BackupEntry& e : folder.Entries())
            if (!e.note.isEmpty() && !e.rejected)
                ctx.Err(QStringLiteral("tessera-cli backup: %1: %2").arg(e.file, e.note));
        ctx.Err(QStringLiteral("tessera-cli backup: %1 stream(s) received into %2")
                    .arg(session.StreamsTaken())
                    .arg(QDir::toNativeSeparators(dir)));
        if (json)
            ctx.OutBytes(
                QJsonDocument(folder.EntriesJson()).toJson(QJsonDocument::Indented).toStdString());
        return rc;
    }
};

TESSERA_REGISTER_COMMAND(BackupCommand);

} // namespace

} // namespace tessera::cli
