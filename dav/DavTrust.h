#pragma once
// Server certificates the user has trusted, by host: kept in the program's settings store
// (fingerprints only; a certificate is public), shared by the window and the command line.

#include <QMap>
#include <QString>
#include <QStringList>

namespace tessera::dav {

// Host -> SHA-256 fingerprints.
QMap<QString, QStringList> LoadTrusted();
void SaveTrusted(const QMap<QString, QStringList>& trusted);

} // namespace tessera::dav
