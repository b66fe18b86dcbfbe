#include "base/Language.h"

#include "base/AppSettings.h"
#include "base/DataPaths.h"
#include "text/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>

namespace tessera {

namespace {

QString g_current = QString::fromLatin1(kBuiltInLanguage);

QString PackPathIn(const QString& folder, const QString& code) {
    return QDir(folder).filePath(QStringLiteral("lang/%1.txt").arg(code));
}

} // namespace

bool IsLanguageCode(const QString& code) {
    static const QRegularExpression pattern(QStringLiteral("^[a-z]{2,3}(_[A-Z]{2})?$"));
    return pattern.match(code).hasMatch();
}

QString AutoLanguage(const QLocale& locale) {
    // The C/POSIX locale is the plain system that speaks no language: the built-in one.
    if (locale.language() == QLocale::C)
        return QString::fromLatin1(kBuiltInLanguage);
    // The first UI language (LANGUAGE comes before LANG there), else the locale itself.
    const QStringList ui = locale.uiLanguages();
    const QLocale first = ui.isEmpty() ? locale : QLocale(ui.first());
    if (first.language() == QLocale::Japanese)
        return QString::fromLatin1(kBuiltInLanguage);
    // "de_DE" → a "de_DE" pack, else a "de" pack, else English.
    const QString name = first.name();
    for (const QString& code : {name, name.section(QLatin1Char('_'), 0, 0)})
        if (IsLanguageCode(code) && !FindLanguagePack(code).isEmpty())
            return code;
    return QStringLiteral("en");
}

QString SystemLanguage() {
    return AutoLanguage(QLocale::system());
}

QString ChooseLanguage(const QString& commandLine, const QString& setting) {
    for (const QString& choice : {commandLine, qEnvironmentVariable("TESSERA_LANG"), setting}) {
        const QString code = choice.trimmed();
        if (code.isEmpty())
            continue;
        if (IsLanguageCode(code))
            return code;
        break; // "auto", or a value no pack can have: the system decides
    }
    return SystemLanguage();
}

QString FindLanguagePack(const QString& code) {
    if (!IsLanguageCode(code) || code == QLatin1String(kBuiltInLanguage))
        return {};
    for (const QString& folder : DataFolders()) {
        const QString path = PackPathIn(folder, code);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QStringList InstalledLanguages() {
    QStringList codes{QString::fromLatin1(kBuiltInLanguage)};
    for (const QString& folder : DataFolders()) {
        const QDir dir(QDir(folder).filePath(QStringLiteral("lang")));
        for (const QFileInfo& f : dir.entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
            const QString code = f.completeBaseName();
            if (IsLanguageCode(code) && !codes.contains(code))
                codes.append(code);
        }
    }
    std::sort(codes.begin() + 1, codes.end());
    return codes;
}

QString ApplyLanguage(const QString& code) {
    const QString path = FindLanguagePack(code);
    if (path.isEmpty() || LoadResourcePack(QFile::encodeName(path).toStdString()) < 0) {
        qunsetenv("TESSERA_LANG_PACK");
        g_current = QString::fromLatin1(kBuiltInLanguage);
        return g_current;
    }
    qputenv("TESSERA_LANG_PACK", QFile::encodeName(path));
    g_current = code;
    return code;
}

QString CurrentLanguage() {
    return g_current;
}

QString StoredLanguageSetting() {
    const auto store = CAppSettings::OpenStore();
    return store->value(QStringLiteral("Settings/Language")).toString().left(16);
}

QString QtTranslationSuffix(const QString& code) {
    return code == QLatin1String("en") ? QString() : code;
}

} // namespace tessera
