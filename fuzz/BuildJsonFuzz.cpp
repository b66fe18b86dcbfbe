// `tessera-cli build` on an arbitrary JSON file, run as the command line runs it. The first
// byte picks the --answer for a value a field refuses (the first button, or ignore). The
// command ends with success or bad data, nothing else; a file it wrote must read back with
// no question asked and write out to the very same bytes. The one exception, as for the
// text form itself: a done mark or priority left without a value is written as a text that
// reading refuses on purpose (so no value is made up); ignoring that gives the same file.

#include "FuzzCheck.h"
#include "FuzzPrompter.h"
#include "cli/CliPrompter.h"
#include "cli/Command.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>

using namespace tessera;
using namespace tessera::cli;

namespace {

std::unique_ptr<Command> BuildCommand() {
    for (auto& c : AllCommands())
        if (c->Name() == QLatin1String("build"))
            return std::move(c);
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QString in = QDir(dir.path()).filePath(QStringLiteral("in.json"));
    const QString out = QDir(dir.path()).filePath(QStringLiteral("out.tsr"));
    QFile::remove(out);
    {
        QFile f(in);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly));
        const auto n = static_cast<qint64>(size - 1);
        FUZZ_CHECK(f.write(reinterpret_cast<const char*>(data + 1), n) == n);
    }

    static std::unique_ptr<Command> command = BuildCommand();
    FUZZ_CHECK(command != nullptr);
    QCommandLineParser parser;
    command->AddOptions(parser);
    FUZZ_CHECK(parser.parse({QStringLiteral("tessera-cli build"), in, QStringLiteral("-o"), out}));

    const bool ignore = (data[0] & 1) != 0;
    CliPrompter prompter(ignore ? PromptResult::Ignore : PromptResult::Ok, ignore, true);
    SetPrompter(&prompter);
    Context ctx(parser, prompter);
    const int rc = command->Run(ctx);
    SetPrompter(nullptr);
    FUZZ_CHECK(rc == kExitOk || rc == kExitBadData);
    if (rc != kExitOk) {
        FUZZ_CHECK(!QFile::exists(out));
        return 0;
    }

    QFile written(out);
    FUZZ_CHECK(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    tessera::fuzz::PolicyPrompter ignoring(1);
    CRecordSet set;
    int errors = 0;
    FUZZ_CHECK(
        set.ReadText(bytes.constData(), static_cast<std::size_t>(bytes.size()), nullptr, &errors));
    int unsetMarks = 0;
    for (int r = 0; r < set.RecordCount(); ++r)
        for (int f = 0; f < set.RecordAt(r)->FieldCount(); ++f) {
            const CField* field = set.RecordAt(r)->FieldAt(f);
            if (field != nullptr && field->Class() == FieldClass::Ascii && field->IsEmpty())
                ++unsetMarks;
        }
    FUZZ_CHECK(errors == unsetMarks);
    for (const int id : ignoring.ids)
        FUZZ_CHECK(id == kMsgInvalidInput || id == kMsgBadValue || id == kMsgIgnoreAll);
    std::string again;
    FUZZ_CHECK(set.WriteTextToString(again));
    FUZZ_CHECK(again == std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return 0;
}
