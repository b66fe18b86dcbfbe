#include "support/TestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

namespace tessera::test {

std::string ReadFileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

bool WriteFileBytes(const QString& path, const std::string& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

QString SamplePath(const std::string& name) {
    QString file = QString::fromStdString(name);
    if (!file.contains(QLatin1Char('.')))
        file += QStringLiteral(".tsr");
    return QStringLiteral(TESSERA_SAMPLES "/") + file;
}

std::string SampleBytes(const std::string& name) {
    const std::string s = ReadFileBytes(SamplePath(name));
    EXPECT_FALSE(s.empty()) << "sample " << name;
    return s;
}

std::vector<std::string> SampleNames() {
    return {"phonebook",        "cards",   "schedule", "anniversary",
            "anniversary-week", "actions", "report",   "memo"};
}

QString TestDataPath(const std::string& relative) {
    return QStringLiteral(TESSERA_TEST_DATA "/") + QString::fromStdString(relative);
}

std::string TestDataBytes(const std::string& relative) {
    const QString path = TestDataPath(relative);
    QFile f(path);
    EXPECT_TRUE(f.exists()) << "test input missing: " << path.toStdString();
    return ReadFileBytes(path);
}

} // namespace tessera::test
