// The settings file on arbitrary bytes: it is a plain file anyone can edit. Every value read
// must lie in its accepted range; the only question on the way is the one about a bad
// model; writing the values back must succeed and read back as the very same values, so
// nothing the user set is lost at exit. The registered filters are read as the file
// dialogs read them.
// Run it with -detect_leaks=0: QSettings keeps every file it has read in a cache, which
// libFuzzer takes for a possible leak after each new input and checks at length (15 times
// slower).

#include "FuzzCheck.h"
#include "FuzzPrompter.h"
#include "base/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>

using namespace tessera;

namespace {

void PointSettingsAt(const QString& folder) {
    for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope s : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(f, s, folder);
}

void CheckRanges(const CAppSettings& s) {
    FUZZ_CHECK(std::find(std::begin(CAppSettings::kBpsChoices), std::end(CAppSettings::kBpsChoices),
                         s.Bps) != std::end(CAppSettings::kBpsChoices));
    FUZZ_CHECK(s.DialMethod == 0 || s.DialMethod == 1);
    FUZZ_CHECK(s.CallOut.size() <= 35);
    FUZZ_CHECK(!s.Port().contains(QChar(0)));
    FUZZ_CHECK(s.Installed >= 0);
    FUZZ_CHECK(s.ModelCode() >= 0 && s.ModelCode() < CAppSettings::kModelCount);
    FUZZ_CHECK(s.SendBufferSize >= 6 && s.SendBufferSize <= 10);
    FUZZ_CHECK(s.MaxFieldWidth >= 1 && s.MaxFieldWidth <= 1024);
    FUZZ_CHECK(s.HistoryBuffer >= 1);
    FUZZ_CHECK(s.WindowStyle >= 0 && s.WindowStyle <= 2);
}

bool SameValues(const CAppSettings& a, const CAppSettings& b) {
    return a.Port() == b.Port() && a.Method == b.Method && a.Bps == b.Bps &&
           a.IgnoreEcho == b.IgnoreEcho && a.DialMethod == b.DialMethod && a.CallOut == b.CallOut &&
           a.Installed == b.Installed && a.ModelCode() == b.ModelCode() &&
           a.SendBufferSize == b.SendBufferSize && a.ImageSize == b.ImageSize &&
           a.LimitFieldWidth == b.LimitFieldWidth && a.MaxFieldWidth == b.MaxFieldWidth &&
           a.ConvAlphaNumeric() == b.ConvAlphaNumeric() && a.ConvSymbol() == b.ConvSymbol() &&
           a.ConvHiraKana() == b.ConvHiraKana() && a.ScheduleAutoComp == b.ScheduleAutoComp &&
           a.HistoryBuffer == b.HistoryBuffer && a.NewOnStart == b.NewOnStart &&
           a.WindowStyle == b.WindowStyle && a.WindowTop == b.WindowTop &&
           a.WindowLeft == b.WindowLeft && a.WindowBottom == b.WindowBottom &&
           a.WindowRight == b.WindowRight;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir root;
    static int run = 0;
    FUZZ_CHECK(root.isValid());
    // A folder of its own every time: QSettings keeps files it has seen in a cache.
    const QString folder = QDir(root.path()).filePath(QString::number(++run));
    FUZZ_CHECK(QDir().mkpath(folder + QStringLiteral("/Quillon")));
    PointSettingsAt(folder);
    {
        QFile f(folder + QStringLiteral("/Quillon/Tessera.conf"));
        FUZZ_CHECK(f.open(QIODevice::WriteOnly));
        FUZZ_CHECK(f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size));
    }

    tessera::fuzz::PolicyPrompter prompter(0);
    {
        CAppSettings first;
        first.LoadSettings();
        FUZZ_CHECK(prompter.ids.empty() || prompter.ids == std::vector<int>{1013});
        CheckRanges(first);

        // The file dialogs' list: one entry per filter with an extension.
        CAppSettings filters;
        const QString list = filters.BuildFilterList();
        for (const QString& name : filters.FilterNames())
            FUZZ_CHECK(!name.isEmpty() && !name.contains(QLatin1Char('/')));
        FUZZ_CHECK(list.isEmpty() == filters.FilterNames().isEmpty());

        prompter.ids.clear();
        FUZZ_CHECK(first.SaveSettings() == 0);
        FUZZ_CHECK(prompter.ids.empty());

        CAppSettings again;
        again.LoadSettings();
        FUZZ_CHECK(prompter.ids.empty());
        FUZZ_CHECK(SameValues(first, again));
    }
    QDir(folder).removeRecursively();
    return 0;
}
