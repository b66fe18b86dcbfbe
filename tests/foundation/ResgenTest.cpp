#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct GenResult {
    int code = -1;
    QByteArray ids;
    QByteArray error;
};

// Runs the generator on `table` (UTF-8 strings.txt text): its exit code and header.
GenResult Generate(const QByteArray& table) {
    QTemporaryDir dir;
    GenResult run;
    QFile in(dir.filePath(QStringLiteral("strings.txt")));
    if (!in.open(QIODevice::WriteOnly) || in.write(table) != table.size())
        return run;
    in.close();
    QProcess p;
    p.start(QStringLiteral(TESSERA_RESGEN),
            {QStringLiteral("strings"), in.fileName(), dir.filePath(QStringLiteral("out.cpp")),
             dir.filePath(QStringLiteral("StringIds.h"))});
    if (!p.waitForFinished(60000))
        return run;
    run.code = p.exitCode();
    run.error = p.readAllStandardError();
    QFile ids(dir.filePath(QStringLiteral("StringIds.h")));
    if (ids.open(QIODevice::ReadOnly))
        run.ids = ids.readAll();
    return run;
}

TEST(Resgen, NamesTheEntryBelowTheMarker) {
    const GenResult run = Generate(
        "# a comment\n#= kMsgNoMemory\n1036\tメモリ\n1037\tother\n#= kStrEnd\n9000\t末尾\\\\\n");
    ASSERT_EQ(run.code, 0) << run.error.constData();
    EXPECT_TRUE(run.ids.contains("inline constexpr int kMsgNoMemory = 1036;"));
    EXPECT_TRUE(run.ids.contains("inline constexpr int kStrEnd = 9000;"));
    EXPECT_FALSE(run.ids.contains("1037"));
    // A text ending in a backslash must not continue the comment onto the next constant.
    EXPECT_FALSE(run.ids.contains("\\\n"));
}

TEST(Resgen, RefusesMarkersThatNameNothingOrTwice) {
    const char* const bad[] = {
        "#= kMsgA\n\n1\ta\n",               // a blank line between marker and entry
        "#= kMsgA\n# other\n1\ta\n",        // a comment between them
        "1\ta\n#= kMsgA\n",                 // at the end of the file
        "#= kMsgA\n1\ta\n#= kMsgA\n2\tb\n", // the same name twice
        "#= msgA\n1\ta\n",                  // not a k-name
        "#= kMsg-A\n1\ta\n",
        "#= kMsgA\n#= kMsgB\n1\ta\n", // two names for one entry
    };
    for (const char* table : bad)
        EXPECT_EQ(Generate(table).code, 1) << table;
}

} // namespace
