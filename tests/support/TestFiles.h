#pragma once
// Files the tests read: the bundled samples, the inputs under tests/data (golden files and
// deliberately broken ones), and whole-file reads and writes.

#include <QString>
#include <string>
#include <vector>

namespace tessera::test {

// The whole file, or empty when it cannot be read.
std::string ReadFileBytes(const QString& path);
// Writes `bytes` to `path`, replacing it; false when that fails.
bool WriteFileBytes(const QString& path, const std::string& bytes);

// resources/samples/<name>; a name without an extension gets ".tsr".
QString SamplePath(const std::string& name);
// The bytes of a sample; fails the test when the sample is missing or empty.
std::string SampleBytes(const std::string& name);
// The stems of the eight bundled record-set samples.
std::vector<std::string> SampleNames();

// tests/data/<relative>.
QString TestDataPath(const std::string& relative);
// The bytes of a file under tests/data; fails the test when it is missing.
std::string TestDataBytes(const std::string& relative);

} // namespace tessera::test
