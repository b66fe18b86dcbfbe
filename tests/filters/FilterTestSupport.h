#pragma once
// Shared pieces of the filter tests: the samples and records as UTF-8 rows for comparisons,
// on top of the shared test support.

#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"
#include "support/TestApp.h"
#include "support/TestFiles.h"
#include "text/Cp932Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <vector>

namespace tessera::test {

struct SampleFile {
    const char* file;
    int kind;
};

inline const std::vector<SampleFile>& Samples() {
    static const std::vector<SampleFile> list = {
        {"phonebook.tsr", 1},        {"cards.tsr", 2},
        {"schedule.tsr", 3},         {"anniversary.tsr", 4},
        {"anniversary-week.tsr", 5}, {"actions.tsr", 6},
        {"report.tsr", 7},           {"memo.tsr", 8},
    };
    return list;
}

// The exchange text of field `tag` in record `r`, in UTF-8; "<none>" when there is none.
inline std::string Value(const CRecordSet& set, int r, const char* tag) {
    const int i = set.FindTag(MakeTag(tag));
    if (i < 0 || set.RecordAt(r) == nullptr)
        return "<none>";
    std::string text;
    set.RecordAt(r)->FormatField(i, text, false);
    return Cp932ToUtf8(text);
}

inline std::string ReadBytes(const QString& path) {
    return ReadFileBytes(path);
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

// A scripted prompter that also keeps the detail text of each message (UTF-8; empty when
// the message came without one), in the order shown.
class DetailPrompter : public ScriptedPrompter {
public:
    PromptResult ShowWithDetails(int id, const std::string& text, PromptIcon icon,
                                 PromptButtons buttons, const std::string& detailsUtf8) override {
        m_details.resize(Messages().size());
        m_details.push_back(detailsUtf8);
        return Show(id, text, icon, buttons);
    }
    // The details of the n-th message shown.
    std::string Details(std::size_t n) const {
        return n < m_details.size() ? m_details[n] : std::string();
    }

private:
    std::vector<std::string> m_details;
};

// True once `pid` has ended (a zombie nobody reaps counts as ended).
inline bool ProcessGone(long long pid) {
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype paren = line.lastIndexOf(')');
    return paren >= 0 && line.size() > paren + 2 && line.at(paren + 2) == 'Z';
}

// Waits (generously) until `pid` has ended; false when it is still there.
inline bool WaitUntilGone(long long pid) {
    for (int i = 0; i < 1500 && !ProcessGone(pid); ++i)
        QThread::msleep(20);
    return ProcessGone(pid);
}

// The files of `dir`, hidden ones included, sorted.
inline QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// One Qt core application for the whole test program (processes and event loops need it).
inline void EnsureCoreApp() {
    CoreApp();
}

} // namespace tessera::test
