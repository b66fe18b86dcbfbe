#pragma once
// What a publish reads: record-set files, and folders of them (a backup), each turned into
// one object per record. Files of kinds a server has no place for are passed over with a
// note; nothing is written back.

#include "dav/DavObjects.h"
#include "dav/DavPublisher.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tessera {
class CCodeMap;
class CRecordSet;
} // namespace tessera

namespace tessera::dav {

// The .tsr files of `paths`: a file as it is, a folder's *.tsr files by name. False with
// `failure` when a path is neither.
bool ExpandInputs(const QStringList& paths, QStringList& files, DavMessage& failure);

// Appends the objects of `set` (named `source` in messages and notes).
void AddSet(const CRecordSet& set, const QString& source, std::vector<DavObject>& objects,
            std::vector<QString>& notes);

// Reads each file (through `map`, as a document is read) and appends its objects. A file
// that cannot be read is noted and passed over.
void AddFiles(const QStringList& files, const CCodeMap* map, std::vector<DavObject>& objects,
              std::vector<QString>& notes);

} // namespace tessera::dav
