// The import workers: jobs run on several threads, are collected in the order they
// were handed over, and none is lost when the pipeline goes away.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "conversion/ImportPipeline.h"

using bv::conversion::ImportPipeline;

TEST(ImportPipeline, CollectsInOrderWhateverOrderTheJobsFinishIn) {
    ImportPipeline pipeline(3);
    EXPECT_EQ(pipeline.Workers(), 3u);
    constexpr int kJobs = 300;
    std::vector<int> results(kJobs, -1);
    std::mutex idsMutex;
    std::set<std::thread::id> ids;
    std::vector<ImportPipeline::Ticket> tickets;
    for (int i = 0; i < kJobs; ++i) {
        tickets.push_back(pipeline.Submit([&, i] {
            // Early jobs take longest, so later ones finish first.
            if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300 - i));
            results[size_t(i)] = i * i;
            std::lock_guard lock(idsMutex);
            ids.insert(std::this_thread::get_id());
        }));
        // Collect like the run does: the older half once many are in flight.
        if (pipeline.InFlight() >= 16) {
            size_t first = size_t(i + 1) - pipeline.InFlight();
            pipeline.Wait(tickets[first + 7]);
            for (size_t k = first; k < first + 8; ++k) {
                pipeline.Collect(tickets[k]);
                ASSERT_EQ(results[k], int(k * k)) << "collected before it ran: job " << k;
            }
        }
    }
    for (size_t k = size_t(kJobs) - pipeline.InFlight(); k < size_t(kJobs); ++k) {
        pipeline.Collect(tickets[k]);
        ASSERT_EQ(results[k], int(k * k));
    }
    EXPECT_EQ(pipeline.InFlight(), 0u);
    EXPECT_EQ(ids.count(std::this_thread::get_id()), 0u) << "the jobs never ran on the caller's thread";

    // Two jobs that wait for each other meet only when two workers run at once,
    // however busy the machine is.
    std::atomic<int> started{0}, met{0};
    auto meet = [&] {
        ++started;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (started.load() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        if (started.load() >= 2) ++met;
    };
    ImportPipeline::Ticket first = pipeline.Submit(meet), second = pipeline.Submit(meet);
    pipeline.Collect(first);
    pipeline.Collect(second);
    EXPECT_EQ(met.load(), 2) << "the jobs run on more than one worker";
}

TEST(ImportPipeline, OutOfOrderCollectIsRefusedAndQueuedJobsStillRun) {
    std::atomic<int> ran{0};
    {
        ImportPipeline pipeline(1);
        auto a = pipeline.Submit([&] { ++ran; });
        auto b = pipeline.Submit([&] { ++ran; });
        EXPECT_THROW(pipeline.Collect(b), std::logic_error);
        pipeline.Collect(a);
        EXPECT_THROW(pipeline.Collect(a), std::logic_error) << "collected twice";
        for (int i = 0; i < 50; ++i) pipeline.Submit([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            ++ran;
        });
        // Going away with jobs queued and uncollected: they all run first.
    }
    EXPECT_EQ(ran.load(), 52);
}
