#pragma once
// The user manual is an HTML file opened in the desktop's browser. Every help button asks
// for topic 0x20000 + its dialog's resource id; the topic names the section to open.

#include <QString>
#include <QUrl>

namespace tessera {

constexpr unsigned kHelpTopicBase = 0x20000;
constexpr unsigned kHelpContents = 0;

// Section anchor of a help topic ("contents" for 0 and unknown topics).
QString HelpAnchor(unsigned topic);

// The manual's location, or an empty path when it cannot be found.
QString ManualPath();
QUrl HelpUrl(unsigned topic);
// The manual at section `anchor`; empty without a manual.
QUrl ManualUrl(const QString& anchor);

// Opens the manual at `topic`'s section; false when there is no manual or no browser, after
// saying so (messages 9402 and 9401).
bool ShowHelpTopic(unsigned topic);

// Tests replace the browser launch so nothing starts; the hook receives every URL.
using HelpOpener = bool (*)(const QUrl&);
void SetHelpOpener(HelpOpener opener);

} // namespace tessera
