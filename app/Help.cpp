#include "app/Help.h"

#include "base/Cp932.h"
#include "base/DataPaths.h"
#include "base/Language.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace tessera {

namespace {

struct TopicAnchor {
    unsigned dialogId;
    const char* anchor;
};

// Dialog resource id -> manual section. Sections cover every window and dialog.
constexpr TopicAnchor kAnchors[] = {
    {100, "about"},
    {102, "settings-file"},
    {128, "main-window"},
    {129, "record-table"},
    {131, "send"},
    {132, "editor-phone"},
    {134, "new-document"},
    {135, "settings-port"},
    {139, "editor-card"},
    {140, "editor-memo"},
    {141, "editor-report"},
    {144, "receive"},
    {147, "settings-edit"},
    {148, "editor-action"},
    {150, "editor-schedule"},
    {152, "settings-model"},
    {162, "addin"},
    {163, "editor-anniversary"},
    {164, "editor-anniversary"},
    {165, "settings-dial"},
    {183, "report-print"},
    {185, "filters"},
    {186, "filters"},
};

HelpOpener g_opener = nullptr;

} // namespace

QString HelpAnchor(unsigned topic) {
    if (topic > kHelpTopicBase) {
        const unsigned id = topic - kHelpTopicBase;
        for (const auto& a : kAnchors)
            if (a.dialogId == id)
                return QString::fromLatin1(a.anchor);
    }
    return QStringLiteral("contents");
}

QString ManualPath() {
    const QString env = qEnvironmentVariable("TESSERA_MANUAL");
    if (!env.isEmpty() && QFileInfo::exists(env))
        return QFileInfo(env).absoluteFilePath();
    // The manual in the run's language ("manual.en.html") first, then the Japanese one.
    QStringList names;
    const QString language = CurrentLanguage();
    if (language != QLatin1String(kBuiltInLanguage))
        names << QStringLiteral("/manual.%1.html").arg(language);
    names << QStringLiteral("/manual.html");
    QStringList candidates;
    for (const QString& name : names)
        for (const QString& folder : DocFolders())
            candidates.append(folder + name);
    candidates.append(QCoreApplication::applicationDirPath() + QStringLiteral("/docs/manual.html"));
    for (const QString& c : candidates)
        if (QFileInfo::exists(c))
            return QFileInfo(c).canonicalFilePath();
    return {};
}

QUrl ManualUrl(const QString& anchor) {
    const QString path = ManualPath();
    if (path.isEmpty())
        return {};
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(anchor);
    return url;
}

QUrl HelpUrl(unsigned topic) {
    return ManualUrl(HelpAnchor(topic));
}

bool ShowHelpTopic(unsigned topic) {
    const QUrl url = HelpUrl(topic);
    if (!url.isValid() || url.isEmpty()) {
        ShowMessage(ids::kMsgNoManual, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    const bool opened = g_opener != nullptr ? g_opener(url) : QDesktopServices::openUrl(url);
    // Without a browser the user is told where the manual is, to open it by hand.
    if (!opened)
        ShowMessage(ids::kMsgNoBrowser, PromptIcon::Warning, PromptButtons::Ok,
                    QStringToCp932Lossy(url.toDisplayString()));
    return opened;
}

void SetHelpOpener(HelpOpener opener) {
    g_opener = opener;
}

} // namespace tessera
