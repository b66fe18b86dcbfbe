// tessera-cli charmap [--conv alnum,symbol,kana] HEXCODE...: shows what the device
// character map makes of double-byte codes: the result bytes in hex, a tab, the result.

#include "base/Cp932.h"
#include "cli/Command.h"
#include "model/CodeMap.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"
#include "text/Cp932Text.h"

namespace tessera::cli {

namespace {

class CharmapCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("charmap"); }
    QString Description() const override {
        return QStringLiteral("convert device character codes");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption(
            {QStringLiteral("conv"),
             QStringLiteral(
                 "conversions to switch on: alnum, symbol, kana (comma-separated), all or none"),
             QStringLiteral("list")});
        parser.addPositionalArgument(
            QStringLiteral("HEXCODE"),
            QStringLiteral("double-byte codes in hex, lead byte first (EBA4)"),
            QStringLiteral("HEXCODE..."));
    }

    int Run(Context& ctx) override {
        CodeMapFlags flags;
        if (ctx.Parser().isSet(QStringLiteral("conv"))) {
            QStringList words;
            const QStringList allowed = {QStringLiteral("alnum"), QStringLiteral("symbol"),
                                         QStringLiteral("kana"), QStringLiteral("all"),
                                         QStringLiteral("none")};
            if (!ParseWordList(ctx.Parser().value(QStringLiteral("conv")), allowed, words))
                return ctx.UsageError(
                    QStringLiteral("charmap: --conv takes alnum, symbol, kana, all or none"));
            const bool all = words.contains(QStringLiteral("all"));
            flags.convAlphaNumeric = all || words.contains(QStringLiteral("alnum"));
            flags.convSymbol = all || words.contains(QStringLiteral("symbol"));
            flags.convHiraKana = all || words.contains(QStringLiteral("kana"));
        }
        const QStringList codes = ctx.Arguments();
        if (codes.isEmpty())
            return ctx.UsageError(QStringLiteral("charmap: give at least one code"));
        std::vector<std::uint16_t> values;
        for (const QString& c : codes) {
            unsigned v = 0;
            if (!ParseHex(c, 0xFFFF, v))
                return ctx.UsageError(QStringLiteral("charmap: '%1' is not a hex code").arg(c));
            values.push_back(static_cast<std::uint16_t>(v));
        }

        CCodeMap map(&flags);
        if (!map.LoadTables()) {
            ShowMessage(ids::kMsgCharTables, PromptIcon::Stop, PromptButtons::Ok);
            return kExitBadData;
        }
        int rc = kExitOk;
        for (std::uint16_t code : values) {
            // Only double-byte characters go through the map.
            if (code < 0x100 || !IsLeadByte(static_cast<unsigned char>(code >> 8))) {
                ctx.Err(
                    QStringLiteral("tessera-cli charmap: %1 is not a double-byte code")
                        .arg(QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper()));
                rc = kExitBadData;
                continue;
            }
            const MappedCode m = map.MapDeviceCode(code);
            QString hex;
            for (int i = 0; i < m.size; ++i)
                hex += QStringLiteral("%1")
                           .arg(static_cast<unsigned char>(m.bytes[i]), 2, 16, QLatin1Char('0'))
                           .toUpper();
            ctx.Out(hex + QLatin1Char('\t') + Cp932ToQString(m.View()) + QLatin1Char('\n'));
        }
        return rc;
    }
};

TESSERA_REGISTER_COMMAND(CharmapCommand);

} // namespace

} // namespace tessera::cli
