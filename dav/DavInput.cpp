#include "dav/DavInput.h"

#include "model/RecordSet.h"
#include "resources/StringIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tessera::dav {

bool ExpandInputs(const QStringList& paths, QStringList& files, DavMessage& failure) {
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            const QStringList names = QDir(path).entryList(
                {QStringLiteral("*.tsr"), QStringLiteral("*.TSR")}, QDir::Files, QDir::Name);
            for (const QString& n : names)
                files << QDir(path).filePath(n);
        } else if (info.isFile()) {
            files << path;
        } else {
            failure = {ids::kMsgDavBadInput, {path, QStringLiteral("no such file or folder")}};
            return false;
        }
    }
    return true;
}

void AddSet(const CRecordSet& set, const QString& source, std::vector<DavObject>& objects,
            std::vector<QString>& notes) {
    if (!IsPublishedKind(set.Kind())) {
        notes.push_back(DavMessage{ids::kMsgDavSkippedKind, {source}}.Text());
        return;
    }
    std::vector<std::string> exportNotes;
    std::string error;
    const QByteArray name = source.toUtf8();
    if (!MakeObjects(set, name.toStdString(), objects, exportNotes, error))
        notes.push_back(
            DavMessage{ids::kMsgDavBadInput, {source, QString::fromUtf8(error.c_str())}}.Text());
    for (const std::string& n : exportNotes)
        notes.push_back(QString::fromUtf8(n.data(), static_cast<qsizetype>(n.size())));
}

void AddFiles(const QStringList& files, const CCodeMap* map, std::vector<DavObject>& objects,
              std::vector<QString>& notes) {
    for (const QString& path : files) {
        const QString source = QFileInfo(path).fileName();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            notes.push_back(DavMessage{ids::kMsgDavBadInput, {source, file.errorString()}}.Text());
            continue;
        }
        const QByteArray bytes = file.readAll();
        CRecordSet set;
        if (!set.ReadText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                          map)) {
            notes.push_back(
                DavMessage{ids::kMsgDavBadInput, {source, QStringLiteral("unreadable records")}}
                    .Text());
            continue;
        }
        AddSet(set, source, objects, notes);
    }
}

} // namespace tessera::dav
