// The record stream over both ports: block cutting, the end of a stream, progress, cancel and
// failures.

#include "link/RecordStream.h"

#include "LinkTestSupport.h"
#include "link/CableCom.h"

#include <gtest/gtest.h>

using namespace tessera;
using namespace tessera::test;

TEST(RecordStreamSend, CutsIntoBlocksWithAShortLastOne) {
    struct Case {
        size_t length;
        std::vector<int> blocks; // sizes handed to WriteBlock, the last always < 512
    };
    const Case cases[] = {{0, {0}},
                          {1, {1}},
                          {511, {511}},
                          {512, {512, 0}},
                          {513, {512, 1}},
                          {1024, {512, 512, 0}},
                          {1300, {512, 512, 276}}};
    for (const Case& c : cases) {
        auto peer = std::make_shared<FakePeer>();
        CCableCom port(FakeOptions(peer));
        ASSERT_TRUE(port.Open(QStringLiteral("x"), 9600));
        const std::string data = Pattern(c.length);
        std::vector<std::int64_t> reported;
        const auto r = SendRecordStream(port, data.data(), static_cast<std::int64_t>(c.length),
                                        [&](std::int64_t n) {
                                            reported.push_back(n);
                                            return true;
                                        });
        EXPECT_EQ(r, TransferResult::Completed) << c.length;
        EXPECT_EQ(StreamBlockCount(static_cast<std::int64_t>(c.length)),
                  static_cast<std::int64_t>(c.blocks.size()));
        EXPECT_EQ(peer->written, data) << c.length;
        ASSERT_EQ(reported.size(), c.blocks.size()) << c.length;
        std::int64_t sum = 0;
        for (size_t i = 0; i < c.blocks.size(); ++i) {
            sum += c.blocks[i];
            EXPECT_EQ(reported[i], sum) << c.length << " block " << i;
        }
    }
}

TEST(RecordStreamSend, CancelAndFailureStopTheSend) {
    auto peer = std::make_shared<FakePeer>();
    CCableCom port(FakeOptions(peer));
    ASSERT_TRUE(port.Open(QStringLiteral("x"), 9600));
    const std::string data = Pattern(2000);
    int blocks = 0;
    EXPECT_EQ(SendRecordStream(port, data.data(), 2000, [&](std::int64_t) { return ++blocks < 2; }),
              TransferResult::Cancelled);
    EXPECT_EQ(peer->written.size(), 1024u); // the block in progress completed, no more

    peer->writeFails = true;
    EXPECT_EQ(SendRecordStream(port, data.data(), 2000), TransferResult::Failed);
}

TEST(RecordStreamReceive, TakesBlocksUntilAShortOne) {
    auto peer = std::make_shared<FakePeer>();
    CCableCom port(FakeOptions(peer));
    ASSERT_TRUE(port.Open(QStringLiteral("x"), 9600));
    // 1024 bytes ending in the end byte arrive as two full blocks, then silence.
    std::string stream = Pattern(1023) + "\x1A";
    peer->Send(stream.substr(0, 512));
    peer->Send(stream.substr(512));
    std::string got;
    std::vector<std::int64_t> progress;
    const auto r = ReceiveRecordStream(
        port,
        [&](const char* d, int n) {
            got.append(d, static_cast<size_t>(n));
            return true;
        },
        [&](std::int64_t n) {
            progress.push_back(n);
            return true;
        });
    EXPECT_EQ(r, TransferResult::Completed);
    EXPECT_EQ(got, stream);
    EXPECT_EQ(progress, (std::vector<std::int64_t>{512, 1024}));
}

TEST(RecordStreamReceive, CancelKeepsTheBlockInHandAndFailuresFail) {
    auto peer = std::make_shared<FakePeer>();
    CCableCom port(FakeOptions(peer));
    ASSERT_TRUE(port.Open(QStringLiteral("x"), 9600));
    peer->Send(Pattern(512));
    peer->Send(Pattern(512, 2));
    peer->Send(Pattern(100, 3));
    std::string got;
    const auto sink = [&](const char* d, int n) {
        got.append(d, static_cast<size_t>(n));
        return true;
    };
    EXPECT_EQ(ReceiveRecordStream(port, sink, [](std::int64_t) { return false; }),
              TransferResult::Cancelled);
    EXPECT_EQ(got, Pattern(512));

    // A sink that cannot store the data fails the transfer.
    EXPECT_EQ(ReceiveRecordStream(port, [](const char*, int) { return false; }),
              TransferResult::Failed);
    // Silence: the port gives up.
    EXPECT_EQ(ReceiveRecordStream(port, sink), TransferResult::Completed); // the 100 bytes
    EXPECT_EQ(ReceiveRecordStream(port, sink), TransferResult::Failed);
}
