#pragma once
// The recent-file list of the File menu: most recent first, sized by HistoryBuffer at
// start-up, kept under "Recent File List" as File1, File2, ...

#include <QSettings>
#include <QString>
#include <QStringList>

namespace tessera {

class CRecentFileList {
public:
    static constexpr int kDisplayLength = 30;
    static constexpr int kMaxSize = 16;

    explicit CRecentFileList(int size);

    int Size() const { return m_size; }
    const QStringList& Files() const { return m_files; }

    // Puts `path` first (moving it up when already listed) and drops the oldest entry.
    void Add(const QString& path);
    void Remove(const QString& path);

    void ReadList(QSettings& settings);
    // Returns false when the store refused the write.
    bool WriteList(QSettings& settings) const;

    // Menu text of entry `index`: "&1 " and the path shortened to kDisplayLength characters.
    QString MenuText(int index) const;

    // Shortens a path for display: the file name stays whole, leading folders give way
    // to "..." until the text fits `maxLength` characters.
    static QString Abbreviate(const QString& path, int maxLength);

private:
    int m_size;
    QStringList m_files;
};

} // namespace tessera
