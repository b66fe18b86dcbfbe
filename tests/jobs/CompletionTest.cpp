// The owner's completion handling for every kind and result: message and icon, which
// windows are asked to close, the beep, and what happens to the received file.

#include "link/AddInTransfer.h"
#include "support/ScriptedPrompter.h"
#include "tests/jobs/JobTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

struct CompletionCase {
    JobKind kind;
    int result;
    bool windowGone; // the user closed the window (or the worker did) before the end
    bool loads;      // receive: the loader's answer
    int message;
    PromptIcon icon;
    int closeRequests;
    int beeps;
};

const CompletionCase kCases[] = {
    {JobKind::Receive, kJobCompleted, false, true, kMsgReceiveDone, PromptIcon::Information, 1, 0},
    {JobKind::Receive, kJobCompleted, false, false, kMsgReceiveFailed, PromptIcon::Stop, 1, 0},
    {JobKind::Receive, kJobCancelled, true, true, kMsgReceiveCancelled, PromptIcon::Warning, 0, 0},
    {JobKind::Receive, kJobFailed, false, true, kMsgReceiveFailed, PromptIcon::Stop, 1, 1},
    {JobKind::Receive, kJobFailed, true, true, kMsgReceiveFailed, PromptIcon::Stop, 0, 1},
    {JobKind::Send, kJobCompleted, false, true, kMsgSendDone, PromptIcon::Information, 1, 0},
    {JobKind::Send, kJobCancelled, true, true, kMsgSendCancelled, PromptIcon::Warning, 0, 0},
    {JobKind::Send, kJobFailed, false, true, kMsgSendFailed, PromptIcon::Stop, 1, 1},
    {JobKind::AddIn, kJobCompleted, true, true, kMsgSendDone, PromptIcon::Information, 0, 0},
    {JobKind::AddIn, kJobCancelled, true, true, kMsgSendCancelled, PromptIcon::Warning, 0, 0},
    {JobKind::AddIn, kJobFailed, false, true, kMsgSendFailed, PromptIcon::Stop, 1, 0},
    {JobKind::AddIn, kJobFailed, true, true, kMsgSendFailed, PromptIcon::Stop, 0, 0},
};

class CompletionTest : public testing::TestWithParam<CompletionCase> {};

TEST_P(CompletionTest, FollowsTheTable) {
    const CompletionCase& c = GetParam();
    std::shared_ptr<TransferJob> job;
    QString tempPath;
    if (c.kind == JobKind::Receive) {
        auto r = std::make_shared<ReceiveJob>();
        r->tempFile = std::make_unique<QTemporaryFile>();
        r->tempFile->setAutoRemove(false);
        ASSERT_TRUE(r->tempFile->open());
        r->tempFile->write("\"i\"\r\n\x1a");
        r->tempFile->close();
        tempPath = r->TempPath();
        job = r;
    } else if (c.kind == JobKind::Send) {
        auto s = std::make_shared<SendJob>();
        s->buffer.assign(100, 'x');
        s->length = 100;
        job = s;
    } else {
        job = std::make_shared<AddInJob>(std::make_unique<CAddInTransfer>());
    }
    job->result = c.result;
    if (c.windowGone)
        job->MarkDialogClosed();

    ScriptedPrompter prompter;
    prompter.Expect(c.message);
    RecordingObserver observer;
    int beeps = 0;
    int loads = 0;
    CompletionHooks hooks;
    hooks.beep = [&] { ++beeps; };
    hooks.loadReceived = [&](const QString& path) {
        ++loads;
        EXPECT_EQ(path, tempPath);
        EXPECT_TRUE(QFileInfo::exists(path));
        return c.loads;
    };
    EXPECT_EQ(CompleteJob(*job, observer, hooks), c.message);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].icon, c.icon);
    EXPECT_EQ(observer.CloseRequests(), c.closeRequests);
    EXPECT_EQ(beeps, c.beeps);
    EXPECT_TRUE(job->DialogGone());
    if (c.kind == JobKind::Receive) {
        EXPECT_EQ(loads, c.result == kJobCompleted ? 1 : 0);
        // Whatever the outcome, the received file is gone.
        EXPECT_FALSE(QFileInfo::exists(tempPath));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CompletionTest, testing::ValuesIn(kCases));

TEST(CompletionTest, ReceiveWithoutALoaderIsNotReportedAsSuccess) {
    auto job = std::make_shared<ReceiveJob>();
    job->result = kJobCompleted;
    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveFailed);
    RecordingObserver observer;
    EXPECT_EQ(CompleteJob(*job, observer, {}), kMsgReceiveFailed);
}

} // namespace
} // namespace tessera::test
