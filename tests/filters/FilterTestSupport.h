#pragma once
// Shared pieces of the filter tests: the samples, records as UTF-8 rows for comparisons,
// and a Qt core application for the tests that run processes.

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/RecordSet.h"
#include "resources/Cp932Text.h"

namespace tessera::test {

struct SampleFile {
    const char* file;
    int kind;
};

inline const std::vector<SampleFile>& Samples() {
    static const std::vector<SampleFile> list = {
        {"phonebook.tsr", 1}, {"cards.tsr", 2},  {"schedule.tsr", 3}, {"anniversary.tsr", 4},
        {"anniversary-week.tsr", 5}, {"actions.tsr", 6}, {"report.tsr", 7}, {"memo.tsr", 8},
    };
    return list;
}

inline std::string ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline std::string SampleBytes(const char* file) {
    return ReadBytes(QStringLiteral(TESSERA_SAMPLES "/") + QString::fromLatin1(file));
}

// Every record as a row of exchange texts in UTF-8 (the same character in either of code
// page 932's duplicate codes compares equal), tags first.
inline std::vector<std::vector<std::string>> Rows(const CRecordSet& set) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> tags;
    for (const std::string& t : set.Tags())
        tags.push_back(t);
    rows.push_back(tags);
    for (int r = 0; r < set.RecordCount(); ++r) {
        std::vector<std::string> row;
        for (int i = 0; i < set.FieldCount(); ++i) {
            std::string text;
            set.RecordAt(r)->FormatField(i, text, false);
            row.push_back(Cp932ToUtf8(text));
        }
        rows.push_back(row);
    }
    return rows;
}

// One Qt core application for the whole test program (processes and event loops need it).
inline void EnsureCoreApp() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "filters_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

} // namespace tessera::test
