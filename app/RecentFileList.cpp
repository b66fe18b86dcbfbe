#include "app/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace tessera {

namespace {

QString Canonical(const QString& path) {
    const QFileInfo info(path);
    const QString c = info.canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : c;
}

} // namespace

CRecentFileList::CRecentFileList(int size) : m_size(std::clamp(size, 0, kMaxSize)) {}

void CRecentFileList::Add(const QString& path) {
    if (m_size == 0 || path.isEmpty())
        return;
    const QString c = Canonical(path);
    m_files.removeAll(c);
    m_files.prepend(c);
    while (m_files.size() > m_size)
        m_files.removeLast();
}

void CRecentFileList::Remove(const QString& path) {
    m_files.removeAll(Canonical(path));
}

void CRecentFileList::ReadList(QSettings& settings) {
    m_files.clear();
    settings.beginGroup(QStringLiteral("Recent File List"));
    for (int i = 1; i <= m_size; ++i) {
        const QString f = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!f.isEmpty() && !m_files.contains(f))
            m_files.append(f);
    }
    settings.endGroup();
}

bool CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(QStringLiteral("Recent File List"));
    settings.remove(QString());
    for (int i = 0; i < m_files.size(); ++i)
        settings.setValue(QStringLiteral("File%1").arg(i + 1), m_files[i]);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString CRecentFileList::MenuText(int index) const {
    if (index < 0 || index >= m_files.size())
        return {};
    QString text = Abbreviate(QDir::toNativeSeparators(m_files[index]), kDisplayLength);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    // Entries 1-9 get their digit as the mnemonic, entry 10 gets "1&0".
    const int n = index + 1;
    const QString number = n < 10    ? QStringLiteral("&%1").arg(n)
                           : n == 10 ? QStringLiteral("1&0")
                                     : QString::number(n);
    return number + QLatin1Char(' ') + text;
}

QString CRecentFileList::Abbreviate(const QString& path, int maxLength) {
    if (path.size() <= maxLength)
        return path;
    const QChar sep = QDir::separator();
    QStringList parts = path.split(sep);
    const QString file = parts.takeLast();
    // Keep the root ("" for "/x", "C:" for "C:\x") and as many trailing folders as fit.
    const QString root = parts.isEmpty() ? QString() : parts.takeFirst();
    const QString ellipsis = QStringLiteral("...");
    QString tail = sep + file;
    if (root.size() + 1 + ellipsis.size() + tail.size() > maxLength)
        return file;
    while (!parts.isEmpty()) {
        const QString candidate = sep + parts.last() + tail;
        if (root.size() + 1 + ellipsis.size() + candidate.size() > maxLength)
            break;
        tail = candidate;
        parts.removeLast();
    }
    return root + sep + ellipsis + tail;
}

} // namespace tessera
