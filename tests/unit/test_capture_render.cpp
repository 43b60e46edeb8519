// The audio thread's copy-out: every device channel rendered, the picked ones
// copied into one block of the hand-off ring, nothing handed on for a failed
// render, and blocks dropped (not lost silently) when the ring is full; the
// processing thread woken by each block.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "capture/capture.h"
#include "tests/support/hal_unit.h"
#include "platform/sim/sim_world.h"

namespace {
sim::Device fourChannels() {
  sim::Device device;
  device.id = 40;
  device.name = "Desk";
  device.uid = "desk-uid";
  device.inputBuffers = {4};
  device.rate = 48000;
  for (int channel = 0; channel < 4; ++channel) {
    auto& noise = device.signals.emplace_back();
    noise.kind = "noise";
    noise.amplitude = 0.9;
    noise.seed = static_cast<std::uint32_t>(channel + 7);
  }
  return device;
}

// A capture whose unit is made current on the device, without starting it.
class Render : public ::testing::Test {
 protected:
  void SetUp() override { configureWith(fourChannels()); }

  void configureWith(const sim::Device& device) {
    sim::World world;
    world.devices = {device};
    sim::configure(world);
  }

  std::unique_ptr<Capture> captureOf(std::vector<std::int64_t> picks) {
    auto capture = std::make_unique<Capture>(4, std::move(picks));
    capture->input().useUnit(testing_support::newHalUnit());
    EXPECT_EQ(testing_support::makeCurrent(capture->input().unit(), 40), noErr);
    UInt32 largest = 8192;
    AudioUnitSetProperty(capture->input().unit(), kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &largest,
                         sizeof largest);
    return capture;
  }

  static float deviceSample(std::size_t channel, std::uint64_t frame) {
    return sim::sample(fourChannels(), channel, frame);
  }

  static BlockRing::Block take(Capture& capture) {
    BlockRing::Block block{nullptr, 0};
    EXPECT_TRUE(capture.input().handedOver().front(block));
    return block;
  }
};

TEST_F(Render, CopiesThePickedChannelsInPickOrder) {
  auto capture = captureOf({2, 0});
  ASSERT_EQ(capture->input().render(nullptr, nullptr, 1, 512), noErr);
  auto block = take(*capture);
  ASSERT_EQ(block.frames, 512u);
  for (std::uint64_t frame = 0; frame < 512; ++frame) {
    ASSERT_EQ(block.data[frame], deviceSample(2, frame)) << frame;
    ASSERT_EQ(block.data[512 + frame], deviceSample(0, frame)) << frame;
  }
  EXPECT_NE(block.data[0], block.data[512]);
}

TEST_F(Render, APickTwiceIsCopiedTwice) {
  auto capture = captureOf({1, 1});
  ASSERT_EQ(capture->input().render(nullptr, nullptr, 1, 300), noErr);
  auto block = take(*capture);
  ASSERT_EQ(block.frames, 300u);
  for (std::size_t frame = 0; frame < 300; ++frame) {
    ASSERT_EQ(block.data[frame], deviceSample(1, frame));
    ASSERT_EQ(block.data[300 + frame], block.data[frame]);
  }
}

TEST_F(Render, ClampsTheFrameCountAndPointsEveryBufferIntoStorage) {
  auto capture = captureOf({3});
  ASSERT_EQ(capture->input().render(nullptr, nullptr, 1, 10000), noErr);
  for (std::int64_t i = 0; i < 4; ++i) {
    const AudioBuffer& buffer = capture->input().bufferList().mBuffers[i];
    EXPECT_EQ(buffer.mNumberChannels, 1u);
    EXPECT_EQ(buffer.mDataByteSize, 32768u);
    EXPECT_EQ(buffer.mData, capture->input().samples() + i * 8192);
  }
  auto block = take(*capture);
  ASSERT_EQ(block.frames, 8192u);
  EXPECT_EQ(block.data[8191], deviceSample(3, 8191));
}

TEST_F(Render, ZeroFramesHandOverAnEmptyBlock) {
  auto capture = captureOf({0, 1});
  ASSERT_EQ(capture->input().render(nullptr, nullptr, 1, 0), noErr);
  EXPECT_EQ(take(*capture).frames, 0u);
  EXPECT_EQ(capture->input().bufferList().mBuffers[0].mDataByteSize, 0u);
}

TEST_F(Render, AFailedRenderReturnsItsStatusAndHandsNothingOver) {
  auto device = fourChannels();
  device.renderStatus = -10863;
  configureWith(device);
  auto capture = captureOf({0});
  EXPECT_EQ(capture->input().render(nullptr, nullptr, 1, 512), -10863);
  EXPECT_EQ(capture->input().handedOver().committed(), 0u);
  EXPECT_EQ(capture->health().droppedBlocks, 0u);
}

TEST_F(Render, WithoutAUnitNothingIsRendered) {
  Capture capture(4, {0});
  EXPECT_EQ(capture.input().render(nullptr, nullptr, 1, 512), noErr);
  EXPECT_EQ(capture.input().handedOver().committed(), 0u);
  EXPECT_EQ(capture.input().bufferList().mBuffers[3].mDataByteSize, 2048u);
}

TEST_F(Render, AFullRingDropsAndCountsBlocksUntilTheProcessingThreadCatchesUp) {
  auto capture = captureOf({0, 1, 2});
  std::size_t fit = Capture::ringFrames / 8192;
  for (std::size_t i = 0; i < fit + 3; ++i) ASSERT_EQ(capture->input().render(nullptr, nullptr, 1, 8192), noErr);
  EXPECT_EQ(capture->input().handedOver().committed(), fit);
  EXPECT_EQ(capture->health().droppedBlocks, 3u);
  capture->input().handedOver().release();
  ASSERT_EQ(capture->input().render(nullptr, nullptr, 1, 8192), noErr);
  EXPECT_EQ(capture->input().handedOver().committed(), fit + 1);
  EXPECT_EQ(capture->health().droppedBlocks, 3u);
  // The block after the drops starts where device time is, not where the ring left off.
  for (std::size_t i = 1; i < fit; ++i) capture->input().handedOver().release();
  BlockRing::Block after{};
  ASSERT_TRUE(capture->input().handedOver().front(after));
  EXPECT_EQ(after.sampleTime, static_cast<std::int64_t>((fit + 3) * 8192));
}

TEST(ProcessingThread, AChecksRunsAfterEveryBlockHandedOverBeforeIt) {
  sim::configure(sim::World{});
  Capture capture(2, {0});
  capture.prepare(48000.0);
  for (int i = 0; i < 3; ++i) {
    capture.input().handedOver().reserve(100);
    capture.input().handedOver().commit();
  }
  static std::uint64_t seenReleased;
  seenReleased = 0;
  capture.requestCheck([](Capture& c) { seenReleased = c.input().handedOver().released(); });
  capture.input().handedOver().reserve(100);
  capture.input().handedOver().commit();
  EXPECT_TRUE(capture.processing().serve(capture));
  EXPECT_GE(seenReleased, 3u);
  EXPECT_EQ(capture.input().handedOver().released(), 4u);
  EXPECT_FALSE(capture.processing().serve(capture));  // the check ran once
}

// The audio thread's post is the processing thread's only prompt: every block
// is processed however the hand-overs fall against its waits.
TEST(ProcessingThread, EveryBlockHandedOverIsProcessedWithoutAnotherPrompt) {
  Capture capture(2, {0});  // no resamplers: a processed block writes nothing
  capture.processing().start(capture);
  std::mt19937 random(3);
  constexpr std::uint64_t blocks = 300;
  for (std::uint64_t i = 0; i < blocks; ++i) {
    capture.input().handOver(64);
    if (random() % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (capture.input().handedOver().released() < blocks && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(capture.input().handedOver().released(), blocks);
  EXPECT_EQ(capture.health().droppedBlocks, 0u);
}
}  // namespace
