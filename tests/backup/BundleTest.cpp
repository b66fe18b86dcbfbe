// The parts of a backup folder and of the export bundle that need no device: memo pictures
// as PNG, file names from titles, report texts, never overwriting a kept stream, verify pairs.

#include "bundle/BackupFolder.h"
#include "bundle/ExportBundle.h"
#include "bundle/MemoPng.h"
#include "filters/FilterKit.h"
#include "model/DiBitmap.h"
#include "model/Field.h"
#include "model/RecordSet.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

using namespace tessera;
using namespace tessera::bundle;

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Sample(const char* name) {
    return ReadFile(QStringLiteral(TESSERA_SAMPLES "/%1.tsr").arg(QLatin1String(name)));
}

// Every dot of the decoded PNG against the bitmap; "" when all agree.
std::string CompareDots(const CDiBitmap& bitmap, const QByteArray& png) {
    QImage image;
    if (!image.loadFromData(png, "PNG"))
        return "the PNG does not decode";
    if (image.width() != bitmap.Width() || image.height() != bitmap.Height())
        return "size " + std::to_string(image.width()) + "x" + std::to_string(image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((qGray(image.pixel(x, y)) < 128) != bitmap.IsBlack(x, y))
                return "dot " + std::to_string(x) + "," + std::to_string(y);
    return {};
}

TEST(MemoPngTest, DecodesToTheExactDots) {
    std::mt19937 random(7);
    // Widths around the byte boundaries, where the tail bits of a row must stay white.
    const int sizes[][2] = {{1, 1}, {7, 3}, {8, 2}, {9, 5}, {33, 17}, {240, 160}};
    for (const auto& size : sizes) {
        CDiBitmap bitmap;
        const auto info = CDiBitmap::DeviceInfo(size[0], size[1]);
        ASSERT_TRUE(bitmap.SetInfo(info));
        std::vector<std::uint8_t> packed(bitmap.PackedSize());
        for (auto& b : packed)
            b = static_cast<std::uint8_t>(random());
        ASSERT_TRUE(bitmap.SetPackedBits(packed));
        const QByteArray png = MemoPng(bitmap);
        EXPECT_EQ(CompareDots(bitmap, png), "") << size[0] << "x" << size[1];
        QImage image;
        ASSERT_TRUE(image.loadFromData(png, "PNG"));
        EXPECT_EQ(image.depth(), 1);
    }
    EXPECT_TRUE(MemoPng(CDiBitmap()).isEmpty());
}

TEST(ExportBundleTest, FileTitles) {
    const struct {
        const char* title;
        const char* file;
    } cases[] = {
        {"会議/メモ", "会議_メモ"}, {"a:b*c?d\"e<f>g|h\\i", "a_b_c_d_e_f_g_h_i"},
        {"..hidden.", "hidden"},    {"  ", "memo"},
        {"tab\there", "tab_here"},  {"", "memo"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileTitle(QString::fromUtf8(c.title), QStringLiteral("memo")).toStdString(),
                  c.file)
            << c.title;
    EXPECT_EQ(FileTitle(QString(100, QLatin1Char('x')), QStringLiteral("memo")).size(), 60);
}

TEST(ExportBundleTest, ReportItemsBecomeLines) {
    CRecordSet set;
    filters::Failure failure;
    const QByteArray bytes = Sample("report");
    ASSERT_TRUE(
        filters::ReadTextForm(std::string_view(bytes.constData(), bytes.size()), set, failure));
    ASSERT_GT(set.RecordCount(), 0);
    const QString first = QString::fromUtf8(ReportText(set, 0));
    EXPECT_TRUE(first.startsWith(QStringLiteral("日付: "))) << first.toStdString();
    EXPECT_FALSE(first.contains(QLatin1Char('\t')));
    EXPECT_FALSE(first.contains(QLatin1Char('\r')));
    EXPECT_TRUE(first.endsWith(QLatin1Char('\n')));
}

TEST(ExportBundleTest, UnreadableInputIsNamedAndTheRestWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile bad(dir.filePath(QStringLiteral("in/bad.tsr")));
    QDir().mkpath(dir.filePath(QStringLiteral("in")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a record file\r\n\x1a");
    bad.close();
    QFile::copy(QStringLiteral(TESSERA_SAMPLES "/memo.tsr"),
                dir.filePath(QStringLiteral("in/memo.tsr")));
    QFile::copy(QStringLiteral(TESSERA_SAMPLES "/memo.tsr"),
                dir.filePath(QStringLiteral("in/memo2.tsr")));

    CExportBundle bundle;
    QStringList why;
    EXPECT_FALSE(bundle.AddFolder(dir.filePath(QStringLiteral("in")), &why));
    ASSERT_EQ(why.size(), 1);
    EXPECT_TRUE(why.front().contains(QStringLiteral("bad.tsr")));
    EXPECT_EQ(bundle.SourceCount(), 2);
    const BundleResult r = bundle.Write(dir.filePath(QStringLiteral("out")));
    EXPECT_TRUE(r.failures.isEmpty());
    // Two memo files: two CSV files that do not overwrite each other, memos numbered on.
    QStringList paths;
    for (const BundleFile& f : r.files)
        paths << f.path;
    EXPECT_TRUE(paths.contains(QStringLiteral("csv/memo.csv")));
    EXPECT_TRUE(paths.contains(QStringLiteral("csv/memo-2.csv")));
    EXPECT_EQ(paths.filter(QStringLiteral("memos/01-")).size(), 1);
    EXPECT_EQ(paths.filter(QStringLiteral("memos/02-")).size(), 1);
    EXPECT_FALSE(paths.contains(QStringLiteral("contacts.vcf")));
}

TEST(BackupFolderTest, KeepsEveryStreamUnderItsOwnName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bk = dir.filePath(QStringLiteral("bk"));
    const QByteArray phone = Sample("phonebook");
    const QByteArray garbage("no tag line here\r\n\x1a");
    {
        CBackupFolder folder(bk, false);
        ASSERT_TRUE(folder.Prepare(nullptr));
        const StreamOutcome kinds[] = {folder.Take(phone), folder.Take(phone),
                                       folder.Take(garbage)};
        EXPECT_EQ(kinds[0].kind, StreamOutcome::Saved);
        EXPECT_TRUE(kinds[0].path.endsWith(QStringLiteral("/phonebook.tsr")));
        EXPECT_TRUE(kinds[1].path.endsWith(QStringLiteral("/phonebook-2.tsr")));
        EXPECT_EQ(kinds[2].kind, StreamOutcome::Rejected);
        EXPECT_TRUE(kinds[2].path.endsWith(QStringLiteral("/received-3.bin")));
        EXPECT_EQ(ReadFile(kinds[2].path), garbage);
        EXPECT_EQ(folder.Problems(), 1);
    }
    // A second sitting in the same folder: nothing is overwritten, backup.json keeps all.
    CBackupFolder again(bk, false);
    ASSERT_TRUE(again.Prepare(nullptr));
    EXPECT_TRUE(again.Take(phone).path.endsWith(QStringLiteral("/phonebook-3.tsr")));
    EXPECT_EQ(again.Take(garbage).path.section(QLatin1Char('/'), -1),
              QStringLiteral("received-2.bin"));
    again.Finish();
    const QJsonDocument doc =
        QJsonDocument::fromJson(ReadFile(QDir(bk).filePath(QStringLiteral("backup.json"))));
    ASSERT_TRUE(doc.isArray());
    EXPECT_EQ(doc.array().size(), 5);
    EXPECT_EQ(ReadFile(QDir(bk).filePath(QStringLiteral("phonebook.tsr"))), phone);
}

TEST(BackupFolderTest, VerifyPairs) {
    const QByteArray memo = Sample("memo");
    // The same memo with another title: what line noise in a text can look like.
    QByteArray other = memo;
    other.replace(QByteArray("\x82\xed\x82\xaa\x89\xc6"), QByteArray("\x82\xed\x82\xaa\x8e\xd0"));
    ASSERT_NE(other, memo);
    const struct {
        QByteArray second;
        bool verified;
        int problems;
        int files; // .tsr files in the folder
    } cases[] = {
        {memo, true, 0, 1},
        {other, false, 1, 2},
        {QByteArray(), false, 1, 1}, // the second send never came
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        CBackupFolder folder(dir.path(), true);
        ASSERT_TRUE(folder.Prepare(nullptr));
        EXPECT_EQ(folder.Take(memo).kind, StreamOutcome::Saved);
        EXPECT_TRUE(folder.AwaitingSecond());
        if (!c.second.isEmpty()) {
            const StreamOutcome o = folder.Take(c.second);
            EXPECT_EQ(o.kind, c.verified ? StreamOutcome::Verified : StreamOutcome::Mismatch);
            if (!c.verified) {
                EXPECT_TRUE(o.path.endsWith(QStringLiteral("/memo.second.tsr")));
            }
        }
        folder.Finish();
        EXPECT_EQ(folder.Problems(), c.problems);
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.tsr")}).size(), c.files);
        const QJsonArray entries = folder.EntriesJson();
        ASSERT_GE(entries.size(), 1);
        EXPECT_EQ(entries[0].toObject().value(QStringLiteral("verified")).toBool(), c.verified);
    }
}

} // namespace
