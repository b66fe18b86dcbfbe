#pragma once
// The language of the pictures: TESSERA_LANG (Japanese when it is not set), for Tessera's
// texts and the toolkit's own buttons alike, as the program shows them.

#include "base/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tessera::shots {

// For the programs that start Tessera itself (it reads the variable at start-up).
inline void DefaultShotLanguage() {
    if (qEnvironmentVariableIsEmpty("TESSERA_LANG"))
        qputenv("TESSERA_LANG", kBuiltInLanguage);
}

// For the programs that build dialogs on their own. Call after the application object.
inline QString UseShotLanguage() {
    DefaultShotLanguage();
    const QString language = ApplyLanguage(ChooseLanguage({}, {}));
    const QString suffix = QtTranslationSuffix(language);
    if (!suffix.isEmpty()) {
        auto* t = new QTranslator(QCoreApplication::instance());
        if (t->load(QStringLiteral("qtbase_") + suffix,
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(t);
    }
    return language;
}

} // namespace tessera::shots
