#pragma once
// Reading record-set files for the commands info, dump and check, and the small JSON
// pieces that dump and build share.

#include "cli/Command.h"
#include "model/CodeMap.h"

#include <QString>
#include <string>
#include <string_view>

class QCommandLineParser;

namespace tessera {
class CRecordSet;
}

namespace tessera::cli {

// What to do with a value its field refuses: stop (the default) or empty the field and go
// on, as the program's "ignore all" does.
enum class BadValues { Abort, Empty };

struct ReadOptions {
    BadValues badValues = BadValues::Abort;
    CodeMapFlags flags; // --conv; every switchable group off by default
};

// Adds --conv (and, unless `withBadValues` is false, --bad-values) to a command.
void AddReadOptions(QCommandLineParser& parser, bool withBadValues = true);
// Reads the options back; on a bad value prints the usage error and returns false.
bool TakeReadOptions(Context& ctx, ReadOptions& options, bool withBadValues = true);

// The read options of a transfer: the device's characters mapped as the user's settings
// say, then --conv and --bad-values on top. False (usage error printed) on a bad value.
bool TakeTransferReadOptions(Context& ctx, ReadOptions& options);

// Reads `path` into the empty `set`. Messages go to stderr. Returns kExitOk, or kExitBadData
// when the file cannot be read or the reader stopped. `emptied` receives the number of
// fields emptied (reported with message 1079 when not zero).
int ReadRecordFile(Context& ctx, const QString& path, const ReadOptions& options, CRecordSet& set,
                   int& emptied);

// An empty set that lives until the process ends, for a command that reads one file and then
// exits: the system takes a large set's memory back at once, where destroying its records
// one by one costs as much as a tenth of the read.
CRecordSet& KeptUntilExit();

// The bytes of a file; false when it cannot be read.
bool ReadWholeFile(const QString& path, std::string& bytes);

// Writes `text` as the whole new content of `path`, replacing it only once every byte is on
// the disk. On failure prints "tessera-cli COMMAND: cannot write 'PATH': REASON" and returns
// false; an older file at `path` is then left as it was.
bool WriteOutputFile(Context& ctx, const QString& command, const QString& path,
                     std::string_view text);

// A JSON string literal (quotes included) of a code page 932 text, in UTF-8. Control bytes
// become escapes; codes code page 932 leaves undefined come out as private-use characters
// that build turns back into the same bytes.
std::string JsonString(std::string_view cp932);

} // namespace tessera::cli
