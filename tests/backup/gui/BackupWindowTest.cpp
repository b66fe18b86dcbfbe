// The backup session window and the export bundle dialog of a started Tessera against the
// simulated device: streams listed and kept, the busy flag, 中断 dropping a stream, a
// double click opening a kept file, and the memo editor's picture saved as PNG.

#include "CommandTestSupport.h"
#include "app/MainFrame.h"
#include "app/TesseraApp.h"
#include "app/backup/BackupDlg.h"
#include "app/backup/BundleDlg.h"
#include "app/editors/ImageDlg.h"
#include "document/CommandIds.h"
#include "document/RecordCommands.h"
#include "document/TesseraDoc.h"
#include "filters/FilterKit.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "support/ScriptedPrompter.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

using sim::SimMethod;
using sim::SimRole;

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QByteArray Sample(const char* name) {
    return ReadFile(QStringLiteral(TESSERA_SAMPLES "/%1.tsr").arg(QLatin1String(name)));
}
std::string Bytes(const QByteArray& b) {
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

class BackupWindowTest : public ::testing::TestWithParam<SimMethod> {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.started);
        frame = run.app->MainFrame();
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(dir.isValid());
    }
    bundle::SessionOptions Options() {
        bundle::SessionOptions o;
        frame->RecordCommands().FillLink(o.link);
        o.idleSeconds = 0;
        o.stopOnLinkFailure = false;
        return o;
    }
    QString Backup() const { return dir.filePath(QStringLiteral("bk")); }
    QStringList Kept() const {
        return QDir(Backup()).entryList({QStringLiteral("*.tsr"), QStringLiteral("*.bin")},
                                        QDir::Files, QDir::Name);
    }

    RunningApp run;
    ScriptedPrompter prompter;
    CMainFrame* frame = nullptr;
    QTemporaryDir dir;
};

TEST_P(BackupWindowTest, ListsAndKeepsEveryStream) {
    sim::SimConfig cfg = DeviceConfig(GetParam(), SimRole::Send);
    cfg.sendData = Bytes(Sample("phonebook"));
    cfg.moreSends = {Bytes(Sample("memo")), Bytes(Sample("actions"))};
    cfg.sendGap = std::chrono::milliseconds(200);
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok()) << device.OpenError();
    UseSimulatedLine(device.PortName(), GetParam());

    auto* dlg = new CBackupDlg(*frame, Backup(), Options());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
    EXPECT_TRUE(run.app->IsBusy());
    EXPECT_FALSE(frame->RouteUpdate(ID_FILE_BACKUP).enabled);
    EXPECT_FALSE(frame->RouteUpdate(ID_ADDIN_TRANSFER).enabled);
    auto* status = dlg->findChild<QLabel*>(QStringLiteral("status"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral("待機中…"));

    ASSERT_TRUE(WaitUntil([&] { return dlg->Rows() == 3; }, 120000)) << dlg->Rows();
    EXPECT_EQ(Kept(), (QStringList{QStringLiteral("actions.tsr"), QStringLiteral("memo.tsr"),
                                   QStringLiteral("phonebook.tsr")}));
    EXPECT_EQ(ReadFile(QDir(Backup()).filePath(QStringLiteral("memo.tsr"))), Sample("memo"));
    auto* list = dlg->findChild<QTreeWidget*>(QStringLiteral("streams"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("5"));

    // A double click opens the kept file as a document.
    const int docs = static_cast<int>(frame->Documents().size());
    emit list->itemDoubleClicked(list->topLevelItem(1), 0);
    ASSERT_EQ(static_cast<int>(frame->Documents().size()), docs + 1);
    EXPECT_EQ(frame->Documents().last()->RecordSet()->Kind(), 8);

    // 完了 ends the sitting; the window closes once it has let go of the line.
    QPointer<CBackupDlg> watch(dlg);
    dlg->close();
    ASSERT_TRUE(WaitUntil([&] { return watch.isNull(); }, 60000));
    EXPECT_FALSE(run.app->IsBusy());
    const QJsonArray manifest =
        QJsonDocument::fromJson(ReadFile(QDir(Backup()).filePath(QStringLiteral("backup.json"))))
            .array();
    EXPECT_EQ(manifest.size(), 3);
    device.Stop();
}

// 中断 while a stream comes in: nothing of it is kept, and the sitting waits for the next.
TEST_P(BackupWindowTest, AbortDropsTheStreamComingIn) {
    sim::SimConfig cfg = DeviceConfig(GetParam(), SimRole::Send);
    // Ten times the phone book's records: several blocks, so 中断 lands before the last.
    const QByteArray book = Sample("phonebook");
    const qsizetype body = book.indexOf("\"D\"");
    ASSERT_GT(body, 0);
    QByteArray big = book.left(body);
    for (int i = 0; i < 10; ++i)
        big += book.mid(body, book.size() - body - 1);
    cfg.sendData = Bytes(big + "\x1a");
    cfg.pace = true;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok()) << device.OpenError();
    UseSimulatedLine(device.PortName(), GetParam());
    bundle::SessionOptions options = Options();
    if (GetParam() == SimMethod::Cable)
        options.link.bitsPerSecond = 300; // slow enough to be caught mid-stream

    CBackupDlg dlg(*frame, Backup(), options);
    dlg.show();
    auto* status = dlg.findChild<QLabel*>(QStringLiteral("status"));
    auto* abort = dlg.findChild<QPushButton*>(QStringLiteral("cancelStream"));
    ASSERT_TRUE(status && abort);
    ASSERT_TRUE(WaitUntil([&] { return abort->isEnabled(); }, 60000));
    abort->click();
    ASSERT_TRUE(WaitUntil([&] { return status->text().contains(QStringLiteral("中断")); }, 60000))
        << status->text().toStdString();
    EXPECT_TRUE(dlg.Running());
    EXPECT_EQ(dlg.Rows(), 0);
    EXPECT_TRUE(Kept().isEmpty());
    dlg.Finish();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.Running(); }, 60000));
    EXPECT_FALSE(run.app->IsBusy());
    device.Stop();
}

INSTANTIATE_TEST_SUITE_P(Methods, BackupWindowTest,
                         ::testing::Values(SimMethod::Cable, SimMethod::Infrared),
                         [](const auto& info) {
                             return info.param == SimMethod::Cable ? "Cable" : "Infrared";
                         });

class BundleWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.started);
        frame = run.app->MainFrame();
        prompter.Allow(ids::kMsgBundleDone).Allow(ids::kMsgMemoSaveFailed);
    }
    RunningApp run;
    ScriptedPrompter prompter;
    CMainFrame* frame = nullptr;
    QTemporaryDir dir;
};

TEST_F(BundleWindowTest, ExportsAFolderOrTheOpenDocuments) {
    CBundleDlg fromFolder(*frame);
    fromFolder.SetFromFolder(QStringLiteral(TESSERA_SAMPLES));
    fromFolder.SetOutput(dir.filePath(QStringLiteral("all")));
    EXPECT_EQ(fromFolder.Export(), 14);
    EXPECT_EQ(prompter.Count(ids::kMsgBundleDone), 1);

    ASSERT_NE(frame->OpenDocumentFile(QStringLiteral(TESSERA_SAMPLES "/cards.tsr")), nullptr);
    CBundleDlg fromDocs(*frame);
    fromDocs.SetOutput(dir.filePath(QStringLiteral("docs")));
    EXPECT_EQ(fromDocs.Export(), 2); // contacts.vcf and csv/cards.csv
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("docs/contacts.vcf"))));
}

TEST_F(BundleWindowTest, MemoEditorSavesThePictureAsPng) {
    CRecordSet set;
    filters::Failure failure;
    const QByteArray memo = Sample("memo");
    ASSERT_TRUE(filters::ReadTextForm(Bytes(memo), set, failure));
    CImageDlg editor(run.app->Settings());
    ASSERT_TRUE(editor.LoadFromRecord(*set.RecordAt(0)));
    auto* save = editor.findChild<QPushButton*>(QStringLiteral("savePicture"));
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(save->isEnabled());
    const QString path = dir.filePath(QStringLiteral("memo.png"));
    ASSERT_TRUE(editor.SaveImageTo(path));
    QImage png;
    ASSERT_TRUE(png.load(path));
    const CDiBitmap& bitmap = editor.Bitmap();
    ASSERT_EQ(png.size(), QSize(bitmap.Width(), bitmap.Height()));
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            ASSERT_EQ(qGray(png.pixel(x, y)) < 128, bitmap.IsBlack(x, y)) << x << "," << y;
    // A folder that does not exist: the message, and false.
    EXPECT_FALSE(editor.SaveImageTo(dir.filePath(QStringLiteral("no/such/folder/x.png"))));
    EXPECT_EQ(prompter.Count(ids::kMsgMemoSaveFailed), 1);
}

} // namespace
} // namespace tessera::test
