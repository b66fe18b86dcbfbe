#include "base/DataPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace tessera {

namespace {

void AddFolder(QStringList& list, const QString& folder) {
    if (folder.isEmpty())
        return;
    const QString clean = QDir::cleanPath(folder);
    if (!list.contains(clean))
        list.append(clean);
}

QStringList Folders(const char* variable, const QString& besideProgram, const QString& xdgSub,
                    QStandardPaths::StandardLocation own) {
    QStringList list;
    AddFolder(list, qEnvironmentVariable(variable));
    AddFolder(list, QDir(QCoreApplication::applicationDirPath()).filePath(besideProgram));
    if (own == QStandardPaths::AppDataLocation)
        for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::AppDataLocation))
            AddFolder(list, d);
    for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        AddFolder(list, QDir(d).filePath(xdgSub));
    return list;
}

} // namespace

QStringList DataFolders() {
    return Folders("TESSERA_DATA_DIR", QStringLiteral("../share/tessera"),
                   QStringLiteral("tessera"), QStandardPaths::AppDataLocation);
}

QStringList DocFolders() {
    return Folders("TESSERA_DOC_DIR", QStringLiteral("../share/doc/tessera"),
                   QStringLiteral("doc/tessera"), QStandardPaths::GenericDataLocation);
}

} // namespace tessera
