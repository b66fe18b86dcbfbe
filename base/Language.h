#pragma once
// The language of Tessera's texts. The built-in string table is Japanese; another language
// is a pack file "<data folder>/lang/<code>.txt" in the string table's format, laid over
// the built-in texts at start-up (a text the pack lacks stays Japanese). The pack is
// converted to code page 932 as it is read, so the rest of the program keeps one text
// encoding whatever the language: English is plain ASCII, which code page 932 holds as is.
//
// A run's language, first one that is set: `--lang`, the TESSERA_LANG variable, the
// `Language` setting; "auto" (or nothing) follows the system.

#include <QString>
#include <QStringList>

class QLocale;

namespace tessera {

// The code of the built-in texts.
inline constexpr char kBuiltInLanguage[] = "ja";

// True for a code a pack file may be named after: two or three small letters, optionally
// "_" and a region ("pt_BR"). "auto" is not one.
bool IsLanguageCode(const QString& code);

// What "auto" stands for under `locale`: Japanese for a Japanese or the C/POSIX locale,
// the locale's own language when a pack for it is installed, English otherwise.
QString AutoLanguage(const QLocale& locale);
// The same for the system's UI language.
QString SystemLanguage();

// The language of this run: `commandLine` (--lang), else TESSERA_LANG, else `setting`;
// "auto", an empty or an unusable value follow SystemLanguage().
QString ChooseLanguage(const QString& commandLine, const QString& setting);

// The pack file of `code`, the first found in the data folders; empty when there is none
// (and always for the built-in language).
QString FindLanguagePack(const QString& code);

// The languages that can be chosen: the built-in one and every installed pack, sorted.
QStringList InstalledLanguages();

// Lays the pack of `code` over the built-in texts. Returns the language now in effect:
// `code`, or the built-in one when `code` has no pack. Filter programs started later read
// the same pack (TESSERA_LANG_PACK names it to them).
QString ApplyLanguage(const QString& code);

// The language ApplyLanguage put in effect last (the built-in one before any call).
QString CurrentLanguage();

// The `Language` setting as stored, read before the settings themselves are loaded (the
// texts must be in place before the first message).
QString StoredLanguageSetting();

// The Qt translation files' suffix for `code` ("ja", "pt_BR"); empty for English, which
// is the toolkit's own.
QString QtTranslationSuffix(const QString& code);

} // namespace tessera
