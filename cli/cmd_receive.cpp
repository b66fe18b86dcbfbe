// tessera-cli receive -o OUT.tsr [link options] [--bad-values abort|empty]: waits for the
// device to send the records of one kind and writes them as a record-set file. OUT is
// written only once the received text was read successfully, so a failed or cancelled
// receive never leaves it half-written or replaces an older file. A text read with warnings
// is written too, but the command then exits 2 naming the warning.

#include "base/AppSettings.h"
#include "cli/Command.h"
#include "cli/LinkOptions.h"
#include "cli/RecordSetFile.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>
#include <string>

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
            return ctx.UsageError(
                QStringLiteral("receive takes no file arguments (give -o OUT.tsr)"));
        const QString output = ctx.Parser().value(QStringLiteral("output"));
        if (output.isEmpty())
            return ctx.UsageError(QStringLiteral("receive: give the output file with -o"));
        ReadOptions options;
        if (!TakeTransferReadOptions(ctx, options))
            return kExitUsage;

        auto job = std::make_shared<ReceiveJob>();
        if (!TakeLinkOptions(ctx, job->link))
            return kExitUsage;

        // The output is written while the job completes, before success is reported: a
        // receive whose file cannot be written ends with 1536, never 1537 and then a failure.
        CompletionHooks hooks;
        hooks.loadReceived = [&](const QString& path) {
            CRecordSet set;
            int emptied = 0;
            if (ReadRecordFile(ctx, path, options, set, emptied) != kExitOk)
                return false;
            std::string text;
            return set.WriteTextToString(text) && WriteOutputFile(ctx, Name(), output, text);
        };
        const int rc = RunTransferJob(ctx, job, hooks);
        if (rc != kExitOk)
            return rc;
        if (job->loadWarning != 0) {
            // The cable has no check of its own: a warning while reading is the one sign
            // that bytes changed on the way. What arrived is kept for the user to look at.
            ctx.Err(QStringLiteral("tessera-cli receive: the received data may be damaged "
                                   "(message %1 while reading it); what arrived is in '%2'")
                        .arg(job->loadWarning)
                        .arg(output));
            return kExitBadData;
        }
        return kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(ReceiveCommand);

} // namespace

} // namespace tessera::cli
