#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "runtime/latch.h"
#include "runtime/work_queue.h"

namespace {
using namespace std::chrono_literals;
auto soon(std::chrono::milliseconds ms) { return std::chrono::steady_clock::now() + ms; }

TEST(WorkQueue, TheBoundHoldsTheItemInHandAndOrderIsKept) {
  WorkQueue<std::string> queue(10);
  EXPECT_TRUE(queue.tryPush("aaaa", 4));
  EXPECT_TRUE(queue.tryPush("bbbbbb", 6));
  EXPECT_FALSE(queue.tryPush("c", 1));  // full: refused, nothing queued
  EXPECT_EQ(*queue.take(), "aaaa");
  EXPECT_FALSE(queue.tryPush("c", 1));  // the item in hand still counts
  queue.done();
  EXPECT_TRUE(queue.tryPush("cccc", 4));
  queue.push("must", 100);  // kept whatever the bound
  EXPECT_EQ(queue.load(), 110u);
  EXPECT_EQ(queue.peak(), 110u);
  for (const char* expected : {"bbbbbb", "cccc", "must"}) {
    EXPECT_EQ(*queue.take(), expected);
    queue.done();
  }
  EXPECT_EQ(queue.load(), 0u);
  EXPECT_EQ(queue.finished(), 4u);
}

TEST(WorkQueue, AProducerWaitsForRoomAndTheEndWaitsForTheWorker) {
  WorkQueue<int> queue(1);
  queue.push(1, 1);
  EXPECT_FALSE(queue.pushBy(2, 1, soon(20ms)));  // no worker: still full at the deadline
  std::thread worker([&queue] {
    while (auto item = queue.take()) {
      std::this_thread::sleep_for(5ms);
      queue.done();
      if (*item == 3) return;
    }
  });
  EXPECT_TRUE(queue.pushBy(2, 1, soon(5000ms)));
  EXPECT_TRUE(queue.pushBy(3, 1, soon(5000ms)));
  EXPECT_TRUE(queue.drainedBy(soon(5000ms)));
  EXPECT_EQ(queue.finished(), 3u);
  worker.join();
  queue.push(4, 0);
  EXPECT_FALSE(queue.drainedBy(soon(10ms)));  // a waiting item, even of no cost, is work not done
  queue.stop();
  EXPECT_FALSE(queue.take().has_value());
}

TEST(WorkQueue, OnlyAWaitingItemCanBeAmended) {
  WorkQueue<int> queue(10);
  auto addOne = [](int& item) { return ++item, true; };
  EXPECT_FALSE(queue.amendNewest(addOne));
  queue.push(1, 0);
  EXPECT_TRUE(queue.amendNewest(addOne));
  EXPECT_EQ(*queue.take(), 2);
  EXPECT_FALSE(queue.amendNewest(addOne));  // taken: the worker's now
  EXPECT_FALSE(queue.takeUntil(soon(10ms)).has_value());  // nothing came by the deadline
}

TEST(Latch, TheFirstValueCountsAndAWaitEndsAtItsDeadline) {
  Latch<int> latch;
  EXPECT_FALSE(latch.waitUntil(soon(10ms)).has_value());
  std::thread([&latch] { latch.give(7); }).join();
  latch.give(8);
  EXPECT_EQ(latch.wait(), 7);
  EXPECT_EQ(latch.waitUntil(soon(0ms)), 7);
}
}  // namespace
