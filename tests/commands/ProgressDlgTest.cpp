// The progress windows on their own: bar range and position, byte and status texts, the
// add-in steps, the animation, and how closing tells the job.

#include "CommandTestSupport.h"
#include "app/transfer/RecvDlg.h"
#include "app/transfer/TransDlg.h"
#include "link/AddInTransfer.h"
#include "link/Job.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

TEST(TransDlgTest, BarRunsIn32ByteUnitsAndFillsAtTheEnd) {
    struct Case {
        qint64 total, bytes;
        int maximum, position, percent;
    } cases[] = {
        {10000, 512, 313, 16, 5},
        {10000, 10000, 313, 313, 100},
        {10000, 0, 313, 0, 0},
        {11, 11, 1, 1, 100}, // the smallest stream still fills its bar
        {11, 0, 1, 0, 0},
        {0, 0, 1, 0, 100}, // an add-in of empty files divides by nothing
        {3000000000LL, 1500000000LL, 93750000, 46875000, 50}, // no 32-bit overflow
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.total);
        EXPECT_EQ(CTransDlg::BarMaximum(c.total), c.maximum);
        EXPECT_EQ(CTransDlg::BarPosition(c.bytes, c.total), c.position);
        EXPECT_EQ(CTransDlg::Percent(c.bytes, c.total), c.percent);
    }
}

TEST(TransDlgTest, SendProgressShowsBytesAndStartsTheAnimation) {
    auto job = std::make_shared<SendJob>();
    QPointer<CTransDlg> dlg = new CTransDlg(job, 10000, 1, false);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("ザウルスへ送信中"));
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("接続待機中..."));
    EXPECT_EQ(dlg->CancelButton()->text(), QStringLiteral("中断"));
    EXPECT_TRUE(dlg->CancelButton()->isEnabled());
    EXPECT_TRUE(dlg->findChild<QLabel*>(QStringLiteral("Note"))
                    ->text()
                    .startsWith(QStringLiteral("送信を中断した場合")));
    EXPECT_FALSE(dlg->IsAnimating());
    const QImage still = dlg->ShownIcon().toImage();

    dlg->OnProgress(512);
    EXPECT_EQ(dlg->Bar()->maximum(), 313);
    EXPECT_EQ(dlg->Bar()->value(), 16);
    EXPECT_EQ(dlg->BytesText(), QStringLiteral("512 バイト送信 (5%)"));
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("データを転送しています"));
    EXPECT_TRUE(dlg->IsAnimating());
    EXPECT_NE(dlg->ShownIcon().toImage(), still)
        << "the cable's still picture gives way to the animation";
    delete dlg.data();
}

TEST(TransDlgTest, AddInStepsEnableCancelAndShowTheirTexts) {
    auto job = std::make_shared<AddInJob>(std::make_unique<CAddInTransfer>());
    auto* dlg = new CTransDlg(job, 2048, 0, true);
    EXPECT_FALSE(dlg->CancelButton()->isEnabled());
    dlg->show();
    dlg->close(); // no cancel before the device has answered
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(job->UserCancelled());
    dlg->OnProgress(1024);
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("接続待機中..."))
        << "an add-in's progress leaves the status to the steps";
    const char* texts[] = {"アドイン機能をチェックしています", "アドインサイズをチェックしています",
                           "同一アドインをチェックしています", "アドインファイル名を転送しています",
                           "アドインデータを転送しています",   "パソコンリンクを解除しています"};
    for (int step = 2; step <= 7; ++step) {
        dlg->OnStep(step);
        EXPECT_EQ(dlg->StatusText(), QString::fromUtf8(texts[step - 2])) << step;
        EXPECT_TRUE(dlg->CancelButton()->isEnabled());
        EXPECT_TRUE(dlg->IsAnimating());
    }
    dlg->OnStep(9); // not a step: nothing changes
    EXPECT_EQ(dlg->StatusText(), QString::fromUtf8(texts[5]));
    EXPECT_EQ(dlg->BytesText(), QStringLiteral("1024 バイト送信 (50%)"));
    delete dlg;
}

TEST(TransDlgTest, TheAnimationAlternatesTwoFrames) {
    for (int method : {0, 1}) {
        SCOPED_TRACE(method);
        EXPECT_NE(TransferIcon(method, 0).toImage(), TransferIcon(method, 1).toImage());
        EXPECT_EQ(TransferIcon(method, 0).toImage(), TransferIcon(method, 2).toImage());
    }
    EXPECT_NE(TransferIcon(0, 0).toImage(), TransferIcon(1, 0).toImage());
}

TEST(TransDlgTest, CancelTellsTheJobButACloseRequestDoesNot) {
    {
        auto job = std::make_shared<SendJob>();
        QPointer<CTransDlg> dlg = new CTransDlg(job, 100, 1, false);
        dlg->show();
        dlg->CancelButton()->click();
        EXPECT_TRUE(job->UserCancelled());
        EXPECT_TRUE(job->DialogGone());
        ProcessEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dlg.isNull()) << "the window deletes itself";
    }
    {
        auto job = std::make_shared<SendJob>();
        QPointer<CTransDlg> dlg = new CTransDlg(job, 100, 1, false);
        dlg->show();
        dlg->OnCloseRequest();
        EXPECT_FALSE(job->UserCancelled());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dlg.isNull());
    }
    {
        // The close box and Escape are the user's cancel as well.
        auto job = std::make_shared<ReceiveJob>();
        QPointer<CRecvDlg> dlg = new CRecvDlg(job, 0);
        dlg->show();
        dlg->close();
        EXPECT_TRUE(job->UserCancelled());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dlg.isNull());
    }
}

TEST(RecvDlgTest, CountsTheBytesThatArrived) {
    auto job = std::make_shared<ReceiveJob>();
    auto* dlg = new CRecvDlg(job, 1);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("ザウルスから受信中"));
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("接続待機中..."));
    EXPECT_TRUE(dlg->findChild<QLabel*>(QStringLiteral("Note"))
                    ->text()
                    .startsWith(QStringLiteral("受信を中断した場合")));
    EXPECT_FALSE(dlg->IsAnimating());
    dlg->OnProgress(1536);
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("1536 バイト受信"));
    EXPECT_TRUE(dlg->IsAnimating());
    delete dlg;
}

} // namespace
} // namespace tessera::test
