#pragma once
// Where the installed program finds its data (samples) and its manual: beside the
// executable as `cmake --install` lays them out (bin/../share/tessera,
// bin/../share/doc/tessera), then the XDG data folders. The build tree mirrors that layout
// (build/share, build/tests/share); TESSERA_DATA_DIR / TESSERA_DOC_DIR put a folder of
// one's own first. No path of the build machine is written into a program.

#include <QString>
#include <QStringList>

namespace tessera {

// Folders holding the program's data (each with samples/ and so on), most specific first.
QStringList DataFolders();

// Folders that may hold the HTML manual, most specific first.
QStringList DocFolders();

} // namespace tessera
