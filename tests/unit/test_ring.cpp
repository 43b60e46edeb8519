// The audio thread's hand-off: order, wrap-around, a full ring, empty blocks.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "capture/block_ring.h"

namespace {
void put(BlockRing& ring, std::size_t frames, float first) {
  float* data = ring.reserve(frames);
  ASSERT_NE(data, nullptr);
  for (std::size_t i = 0; i < frames * ring.channels(); ++i) data[i] = first + static_cast<float>(i);
  ring.commit();
}

void expectTake(BlockRing& ring, std::size_t frames, float first) {
  BlockRing::Block block;
  ASSERT_TRUE(ring.front(block));
  ASSERT_EQ(block.frames, frames);
  for (std::size_t i = 0; i < frames * ring.channels(); ++i) ASSERT_EQ(block.data[i], first + static_cast<float>(i));
  ring.release();
}

TEST(BlockRing, BlocksComeOutInOrderAndContiguous) {
  BlockRing ring(2, 16, 8);
  put(ring, 3, 0);
  put(ring, 5, 100);
  EXPECT_EQ(ring.committed(), 2u);
  expectTake(ring, 3, 0);
  expectTake(ring, 5, 100);
  BlockRing::Block block;
  EXPECT_FALSE(ring.front(block));
  EXPECT_EQ(ring.released(), 2u);
}

TEST(BlockRing, ABlockThatWouldStraddleTheEndStartsAtTheBeginning) {
  BlockRing ring(1, 10, 8);
  put(ring, 7, 0);
  expectTake(ring, 7, 0);
  // 3 frames left before the end: a block of 5 goes to the start, whole.
  float* data = ring.reserve(5);
  ASSERT_NE(data, nullptr);
  for (int i = 0; i < 5; ++i) data[i] = static_cast<float>(50 + i);
  ring.commit();
  BlockRing::Block block;
  ASSERT_TRUE(ring.front(block));
  EXPECT_EQ(block.data, data);
  expectTake(ring, 5, 50);
  // Many rounds of odd sizes keep every block intact.
  for (int round = 0; round < 100; ++round) {
    std::size_t frames = static_cast<std::size_t>(round % 7) + 1;
    put(ring, frames, static_cast<float>(round));
    expectTake(ring, frames, static_cast<float>(round));
  }
}

TEST(BlockRing, AFullRingRefusesUntilTheConsumerReleases) {
  BlockRing ring(2, 8, 8);
  put(ring, 4, 0);
  put(ring, 4, 10);
  EXPECT_EQ(ring.reserve(1), nullptr);  // samples used up
  expectTake(ring, 4, 0);
  put(ring, 4, 20);
  EXPECT_EQ(ring.reserve(9), nullptr);  // larger than the whole ring
  expectTake(ring, 4, 10);
  expectTake(ring, 4, 20);

  BlockRing few(1, 100, 2);
  put(few, 1, 0);
  put(few, 1, 1);
  EXPECT_EQ(few.reserve(1), nullptr);  // descriptors used up
  EXPECT_EQ(few.reserve(0), nullptr);
}

TEST(BlockRing, AWrapThatWouldOverrunUnreadDataIsRefused) {
  BlockRing ring(1, 10, 8);
  put(ring, 4, 0);
  put(ring, 4, 10);
  expectTake(ring, 4, 0);
  // 2 frames at the end, 4 free at the start: 5 frames fit nowhere.
  EXPECT_EQ(ring.reserve(5), nullptr);
  EXPECT_NE(ring.reserve(4), nullptr);
}

TEST(BlockRing, EmptyBlocksPassAsBlocks) {
  BlockRing ring(3, 4, 4);
  ASSERT_NE(ring.reserve(0), nullptr);
  ring.commit();
  put(ring, 4, 0);
  BlockRing::Block block;
  ASSERT_TRUE(ring.front(block));
  EXPECT_EQ(block.frames, 0u);
  ring.release();
  expectTake(ring, 4, 0);
}

TEST(BlockRing, OneProducerOneConsumerLoseNothing) {
  BlockRing ring(2, 64, 16);
  constexpr int blocks = 20000;
  std::thread producer([&] {
    for (int b = 0; b < blocks; ++b) {
      std::size_t frames = static_cast<std::size_t>(b % 13);
      float* data;
      while ((data = ring.reserve(frames)) == nullptr) std::this_thread::yield();
      for (std::size_t i = 0; i < frames * 2; ++i) data[i] = static_cast<float>(b);
      ring.commit();
    }
  });
  int seen = 0;
  while (seen < blocks) {
    BlockRing::Block block;
    if (!ring.front(block)) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(block.frames, static_cast<std::size_t>(seen % 13));
    for (std::size_t i = 0; i < block.frames * 2; ++i) ASSERT_EQ(block.data[i], static_cast<float>(seen));
    ring.release();
    ++seen;
  }
  producer.join();
}
}  // namespace
