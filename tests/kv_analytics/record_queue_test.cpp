#include "kv_analytics/record_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "analytics_collector/collector_server.h"
#include "kv_analytics/send_status.h"
#include "test_support.h"
#include "testing/sandbox.h"

namespace {

using analytics_collector::CollectorServer;
using analytics_collector::Reply;
using kv_analytics::RecordQueue;
using kv_analytics_test::JsonArray;
using kv_analytics_test::MessageCapture;
using kv_analytics_test::NumberedRecords;

std::vector<std::string> Slice(const std::vector<std::string>& all, std::size_t first, std::size_t count) {
    return {all.begin() + static_cast<std::ptrdiff_t>(first), all.begin() + static_cast<std::ptrdiff_t>(first + count)};
}

class RecordQueueTest : public ::testing::Test {
protected:
    std::filesystem::path staging() const { return dir_.path() / "staging.txt"; }
    std::unique_ptr<RecordQueue> MakeQueue() { return std::make_unique<RecordQueue>(collector_.Url(), staging().string()); }
    static void PushAll(RecordQueue& queue, const std::vector<std::string>& records) {
        for (const auto& record : records) queue.Push(record);
    }

    testing_support::TempDir dir_;
    CollectorServer collector_;
    MessageCapture messages_;
};

TEST_F(RecordQueueTest, ThirtyOneRecordsGoAsThirtyThenOne) {
    auto queue = MakeQueue();
    const auto records = NumberedRecords(0, 31);
    PushAll(*queue, records);
    EXPECT_TRUE(queue->Flush());
    EXPECT_EQ(queue->Size(), 0u);
    EXPECT_TRUE(kv_analytics::LastSendOk());

    const auto requests = collector_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].batchJson, JsonArray(Slice(records, 0, 30)));
    EXPECT_EQ(requests[1].batchJson, JsonArray(Slice(records, 30, 1)));
    for (const auto& request : requests) {
        EXPECT_EQ(request.decodeError, "");
        EXPECT_EQ(request.path, "/sa?project=pc");
        const auto header = [&](const std::string& name) {
            const auto found = request.headers.find(name);
            return found == request.headers.end() ? std::string("<none>") : found->second;
        };
        EXPECT_EQ(header("User-Agent"), "KvAnalytics CPP SDK 0.9");
        EXPECT_EQ(header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(header("Cookie"), "<none>");
    }
    EXPECT_TRUE(messages_.Errors().empty());
}

TEST_F(RecordQueueTest, OnlyStatus200CountsAsSuccess) {
    const struct {
        int status;
        bool ok;
    } cases[] = {{200, true}, {201, false}, {404, false}, {500, false}, {503, false}};
    for (const auto& [status, ok] : cases) {
        MessageCapture messages;
        collector_.SetDefaultReply(Reply::Answer(status, "answer-" + std::to_string(status)));
        auto queue = std::make_unique<RecordQueue>(collector_.Url(), (dir_ / std::to_string(status)).string());
        queue->Push(R"({"s":1})");
        EXPECT_EQ(queue->Flush(), ok) << status;
        EXPECT_EQ(kv_analytics::LastSendOk(), ok) << status;
        EXPECT_EQ(queue->Size(), ok ? 0u : 1u) << status;
        if (!ok) {
            EXPECT_TRUE(messages.HasError("KvAnalytics SDK send failed: answer-" + std::to_string(status)));
            EXPECT_EQ(messages.DebuggerLines(), std::vector<std::string>{"[analytics] KvAnalytics SDK send failed\n"});
        }
    }
}

TEST_F(RecordQueueTest, FailedFirstBatchGoesBackInFrontAndStopsTheFlush) {
    collector_.ScriptReplies({Reply::Answer(500, "busy")});
    auto queue = MakeQueue();
    const auto records = NumberedRecords(0, 60);
    PushAll(*queue, records);
    EXPECT_FALSE(queue->Flush());
    ASSERT_EQ(collector_.Requests().size(), 1u);
    EXPECT_EQ(collector_.Requests()[0].batchJson, JsonArray(Slice(records, 0, 30)));
    EXPECT_EQ(queue->Snapshot(), records);

    EXPECT_TRUE(queue->Flush());
    ASSERT_EQ(collector_.Requests().size(), 3u);
    EXPECT_EQ(collector_.Requests()[1].batchJson, JsonArray(Slice(records, 0, 30)));
    EXPECT_EQ(collector_.Requests()[2].batchJson, JsonArray(Slice(records, 30, 30)));
}

TEST_F(RecordQueueTest, FullQueueDropsTheOldestAndAFailedBatchComesBackWhole) {
    collector_.SetDefaultReply(Reply::Answer(500));
    auto queue = MakeQueue();
    queue->SetDebug(true);
    const auto records = NumberedRecords(0, 1025);
    PushAll(*queue, records);
    EXPECT_EQ(queue->Size(), 1024u);
    EXPECT_EQ(queue->Snapshot().front(), records[1]);

    EXPECT_FALSE(queue->Flush());
    EXPECT_EQ(collector_.Requests().at(0).batchJson, JsonArray(Slice(records, 1, 30)));
    EXPECT_EQ(queue->Snapshot(), Slice(records, 1, 1024));

    const auto outputs = messages_.Outputs();
    EXPECT_EQ(std::count(outputs.begin(), outputs.end(), "record is full, delete record"), 1);
    EXPECT_EQ(std::count(outputs.begin(), outputs.end(), "add record:" + records[0]), 1);
    EXPECT_EQ(std::count(outputs.begin(), outputs.end(), "flush record : " + JsonArray(Slice(records, 1, 30))), 1);
}

// A sender the test steers: it may push while "in flight", fail or throw.
class ScriptedSender : public kv_analytics::BatchSender {
public:
    explicit ScriptedSender(std::function<bool(const std::string&)> onSend)
        : BatchSender("unused"), onSend_(std::move(onSend)) {}
    bool Send(const std::string& batch, const std::map<std::string, std::string>&) override { return onSend_(batch); }

private:
    std::function<bool(const std::string&)> onSend_;
};

TEST_F(RecordQueueTest, WithoutRoomOnlyTheNewestOfAFailedBatchComeBack) {
    RecordQueue* queuePointer = nullptr;
    const auto arrivals = NumberedRecords(5000, 10);
    auto sender = std::make_unique<ScriptedSender>([&](const std::string&) {
        PushAll(*queuePointer, arrivals);  // records produced while the batch is in flight
        return false;
    });
    RecordQueue queue(std::move(sender), staging().string());
    queuePointer = &queue;
    const auto records = NumberedRecords(0, 1024);
    PushAll(queue, records);

    EXPECT_FALSE(queue.Flush());
    // 994 left + 10 new = 1004 queued, so 20 places: the 20 newest of the batch return.
    std::vector<std::string> expected = Slice(records, 10, 20);
    const auto rest = Slice(records, 30, 994);
    expected.insert(expected.end(), rest.begin(), rest.end());
    expected.insert(expected.end(), arrivals.begin(), arrivals.end());
    EXPECT_EQ(queue.Snapshot(), expected);
}

TEST_F(RecordQueueTest, BatchWhoseSendThrowsIsPutBack) {
    auto sender = std::make_unique<ScriptedSender>([](const std::string&) -> bool {
        throw std::runtime_error("Couldn't initialize curl handle");
    });
    RecordQueue queue(std::move(sender), staging().string());
    const auto records = NumberedRecords(0, 3);
    PushAll(queue, records);
    EXPECT_FALSE(queue.Flush());
    EXPECT_EQ(queue.Snapshot(), records);
    EXPECT_TRUE(messages_.HasError("Exception when flush failed: (Couldn't initialize curl handle) "));
}

TEST_F(RecordQueueTest, StagedRecordsGoFirstAndTheFileIsEmptiedAtTheFirstFlush) {
    testing_support::WriteFile(staging(), "{\"a\":1}\ngarbage\n{\"b\":2}\n {\"c\":0}\n{\"d\":0\n");
    collector_.SetDefaultReply(Reply::Answer(500));
    auto queue = MakeQueue();
    queue->Push(R"({"c":3})");
    EXPECT_FALSE(queue->Flush());
    EXPECT_EQ(testing_support::ReadFile(staging()), "");
    EXPECT_EQ(queue->Snapshot(), (std::vector<std::string>{R"({"a":1})", R"({"b":2})", R"({"c":3})"}));
    EXPECT_EQ(collector_.Requests().at(0).batchJson, R"([{"a":1},{"b":2},{"c":3}])");

    // Read once per run: a file written later is not loaded by this queue.
    testing_support::WriteFile(staging(), "{\"late\":1}\n");
    collector_.SetDefaultReply(Reply::Answer(200));
    EXPECT_TRUE(queue->Flush());
    EXPECT_EQ(collector_.Records().size(), 6u);
    EXPECT_EQ(collector_.Requests().back().batchJson, R"([{"a":1},{"b":2},{"c":3}])");
}

TEST_F(RecordQueueTest, StagedRecordsFillOnlyTheFreePlacesKeepingTheNewest) {
    std::string file;
    for (const auto& record : NumberedRecords(100, 10)) file += record + "\n";
    testing_support::WriteFile(staging(), file);
    collector_.SetDefaultReply(Reply::Answer(500));
    auto queue = MakeQueue();
    const auto queued = NumberedRecords(0, 1020);
    PushAll(*queue, queued);
    EXPECT_FALSE(queue->Flush());
    auto expected = NumberedRecords(106, 4);
    expected.insert(expected.end(), queued.begin(), queued.end());
    EXPECT_EQ(queue->Snapshot(), expected);
}

TEST_F(RecordQueueTest, CloseSavesTheQueueForTheNextRun) {
    collector_.SetDefaultReply(Reply::Answer(500));
    const auto records = NumberedRecords(0, 3);
    {
        auto queue = MakeQueue();
        PushAll(*queue, records);
        EXPECT_FALSE(queue->Flush());
        queue->Close();
        EXPECT_FALSE(queue->Flush()) << "a closed queue sends nothing";
    }
    EXPECT_EQ(testing_support::ReadFile(staging()), "{\"n\":0}\n{\"n\":1}\n{\"n\":2}\n");

    collector_.SetDefaultReply(Reply::Answer(200));
    auto next = MakeQueue();
    EXPECT_TRUE(next->Flush());
    EXPECT_EQ(collector_.Requests().back().batchJson, JsonArray(records));
    next.reset();
    EXPECT_EQ(testing_support::ReadFile(staging()), "");
}

TEST_F(RecordQueueTest, CloseKeepsStagedRecordsThatWereNeverLoaded) {
    testing_support::WriteFile(staging(), "{\"old\":1}\n");
    {
        auto queue = MakeQueue();
        queue->Push(R"({"new":2})");
    }
    EXPECT_EQ(testing_support::ReadFile(staging()), "{\"old\":1}\n{\"new\":2}\n");
}

TEST_F(RecordQueueTest, AFolderAsStagingPathKeepsRecordsInMemoryOnly) {
    const auto folder = dir_.path() / "data";
    std::filesystem::create_directories(folder / "inside");
    {
        RecordQueue queue(collector_.Url(), folder.string());
        queue.Push(R"({"m":1})");
        EXPECT_TRUE(queue.Flush());
        queue.Push(R"({"m":2})");
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder / "inside"));
    EXPECT_EQ(collector_.Records().size(), 1u);
}

TEST_F(RecordQueueTest, CookieHeaderWhenSet) {
    auto queue = MakeQueue();
    queue->SetCookie("session=abc");
    queue->Push(R"({"k":1})");
    EXPECT_TRUE(queue->Flush());
    const auto headers = collector_.Requests().at(0).headers;
    const auto cookie = headers.find("Cookie");
    ASSERT_NE(cookie, headers.end());
    EXPECT_EQ(cookie->second, "session=abc");
}

TEST_F(RecordQueueTest, StalledServerCostsOnlyTheTimeOut) {
    // The server never answers until released after Flush has returned, so
    // reaching the checks below proves the request was given up on its own.
    collector_.ScriptReplies({Reply::Stall()});
    auto queue = MakeQueue();
    const auto records = NumberedRecords(0, 2);
    PushAll(*queue, records);
    EXPECT_FALSE(queue->Flush());
    EXPECT_EQ(collector_.StalledCount(), 1u);
    EXPECT_EQ(queue->Snapshot(), records);
    EXPECT_FALSE(kv_analytics::LastSendOk());
    const auto errors = messages_.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("KvAnalytics SDK send failed: Timeout")) << errors[0];
    collector_.ReleaseStalls();
}

TEST_F(RecordQueueTest, PushDoesNotWaitForABatchInFlight) {
    collector_.ScriptReplies({Reply::Stall()});
    auto queue = MakeQueue();
    const auto first = NumberedRecords(0, 2);
    PushAll(*queue, first);
    std::atomic<bool> flushDone{false};
    std::thread flusher([&] {
        EXPECT_FALSE(queue->Flush());
        flushDone = true;
    });
    ASSERT_TRUE(collector_.WaitForRequests(1, std::chrono::seconds(60)));
    // The request is held open until released, so the flush cannot end before the
    // push below returns unless Push waited for the request's time-out.
    const auto later = NumberedRecords(100, 2);
    PushAll(*queue, later);
    EXPECT_FALSE(flushDone);
    EXPECT_EQ(queue->Snapshot(), later);
    flusher.join();
    collector_.ReleaseStalls();
    auto expected = first;
    expected.insert(expected.end(), later.begin(), later.end());
    EXPECT_EQ(queue->Snapshot(), expected) << "the failed batch goes back in front of newer records";
}

TEST_F(RecordQueueTest, PushesDuringFlushesLoseNothing) {
    auto queue = MakeQueue();
    constexpr int kThreads = 3;
    constexpr int kEach = 300;
    std::atomic<bool> producing{true};
    std::thread flusher([&] {
        while (producing) queue->Flush();
    });
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t)
        producers.emplace_back([&, t] { PushAll(*queue, NumberedRecords(t * 10000, kEach)); });
    for (auto& producer : producers) producer.join();
    producing = false;
    flusher.join();
    EXPECT_TRUE(queue->Flush());
    std::set<int> seen;
    for (const auto& record : collector_.Records()) seen.insert(record["n"].asInt());
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(collector_.Records().size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
