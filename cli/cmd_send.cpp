// tessera-cli send FILE.tsr [--records LIST] [link options]: sends all records of a
// record-set file, or those at the listed 1-based positions ("1,3-5"), to the device, which
// must already wait in its receive mode.

#include "base/AppSettings.h"
#include "cli/Command.h"
#include "cli/LinkOptions.h"
#include "cli/RecordSetFile.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"

#include <QCommandLineParser>

namespace tessera::cli {

namespace {

constexpr int kMsgNoRecordData = ids::kMsgNoRecordData; // レコードデータを読み込めませんでした

class SendCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("send"); }
    QString Description() const override {
        return QStringLiteral("send the records of a .tsr file to the device");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption(
            {QStringLiteral("records"),
             QStringLiteral("send only these records: 1-based positions such as 1,3-5"),
             QStringLiteral("LIST")});
        AddLinkOptions(parser);
        AddReadOptions(parser);
        parser.addPositionalArgument(QStringLiteral("FILE.tsr"), QStringLiteral("record-set file"));
    }

    int Run(Context& ctx) override {
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("send: give one record-set file"));
        ReadOptions options;
        if (!TakeTransferReadOptions(ctx, options))
            return kExitUsage;
        auto job = std::make_shared<SendJob>();
        if (!TakeLinkOptions(ctx, job->link))
            return kExitUsage;

        CRecordSet set;
        int emptied = 0;
        const int rc = ReadRecordFile(ctx, ctx.Arguments().front(), options, set, emptied);
        if (rc != kExitOk)
            return rc;

        // A text without a tag line reads as a set without tags (so does a new, empty
        // document); sending it would send an empty stream and report success.
        if (set.FieldCount() == 0) {
            ShowMessage(kMsgNoRecordData, PromptIcon::Stop, PromptButtons::Ok);
            ctx.Err(QStringLiteral("tessera-cli send: '%1' holds no record set (no field tags); "
                                   "nothing was sent")
                        .arg(ctx.Arguments().front()));
            return kExitBadData;
        }

        std::vector<std::int32_t> positions;
        if (ctx.Parser().isSet(QStringLiteral("records"))) {
            QString error;
            if (!ParseRecordList(ctx.Parser().value(QStringLiteral("records")), set.RecordCount(),
                                 positions, error))
                return ctx.UsageError(QStringLiteral("send: --records: %1").arg(error));
        }
        if (!PrepareSendJob(*job, set, positions.empty() ? nullptr : &positions,
                            ctx.Settings().SendBufferBytes()))
            return kExitBadData;
        return RunTransferJob(ctx, job, {});
    }
};

TESSERA_REGISTER_COMMAND(SendCommand);

} // namespace

} // namespace tessera::cli
