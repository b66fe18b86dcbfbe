// tessera-cli receive -o OUT.tsr [link options] [--bad-values abort|empty]: waits for the
// device to send the records of one kind and writes them as a record-set file. OUT is
// written only once the received text was read successfully, so a failed or cancelled
// receive never leaves it half-written or replaces an older file.

#include <QCommandLineParser>
#include <QSaveFile>

#include <string_view>

#include "app/core/AppSettings.h"
#include "cli/Command.h"
#include "cli/LinkOptions.h"
#include "cli/RecordSetFile.h"
#include "model/RecordSet.h"

namespace tessera::cli {

namespace {

class ReceiveCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("receive"); }
    QString Description() const override {
        return QStringLiteral("receive records from the device into a .tsr file");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                          QStringLiteral("the record-set file to write"),
                          QStringLiteral("OUT.tsr")});
        AddLinkOptions(parser);
        AddReadOptions(parser);
    }

    int Run(Context& ctx) override {
        if (!ctx.Arguments().isEmpty())
            return ctx.UsageError(QStringLiteral("receive takes no file arguments (give -o OUT.tsr)"));
        const QString output = ctx.Parser().value(QStringLiteral("output"));
        if (output.isEmpty())
            return ctx.UsageError(QStringLiteral("receive: give the output file with -o"));
        ReadOptions options;
        if (!TakeTransferReadOptions(ctx, options))
            return kExitUsage;

        auto job = std::make_shared<ReceiveJob>();
        if (!TakeLinkOptions(ctx, job->link))
            return kExitUsage;

        CRecordSet set;
        CompletionHooks hooks;
        hooks.loadReceived = [&](const QString& path) {
            int emptied = 0;
            return ReadRecordFile(ctx, path, options, set, emptied) == kExitOk;
        };
        const int rc = RunTransferJob(ctx, job, hooks);
        if (rc != kExitOk)
            return rc;

        QSaveFile file(output);
        bool ok = file.open(QIODevice::WriteOnly);
        ok = ok && set.WriteText([&](std::string_view bytes) {
            return file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                   static_cast<qint64>(bytes.size());
        });
        if (!ok || !file.commit()) {
            file.cancelWriting();
            ctx.Err(QStringLiteral("tessera-cli receive: cannot write '%1'").arg(output));
            return kExitBadData;
        }
        return kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(ReceiveCommand);

} // namespace

} // namespace tessera::cli
