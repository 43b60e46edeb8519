// Frames out of pending buffers: the layout, when a frame is due and what
// stays pending; the capture's block processing on standard output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "capture/frame_queue.h"
#include "frame/frame_format.h"
#include "main/events.h"
#include "tests/support/tva1_samples.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Pending = std::vector<std::vector<std::int16_t>>;

std::vector<std::int16_t> ramp(std::size_t n, int from) {
  std::vector<std::int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int16_t>(from + static_cast<int>(i));
  return v;
}

std::uint32_t countOf(const Bytes& frame) {
  return frame[5] | frame[6] << 8 | frame[7] << 16 | std::uint32_t(frame[8]) << 24;
}

std::int16_t sampleAt(const Bytes& frame, std::size_t channel, std::size_t i) {
  std::size_t at = framing::headerBytes + 2 * (channel * countOf(frame) + i);
  return static_cast<std::int16_t>(frame[at] | frame[at + 1] << 8);
}

TEST(TakeFrame, LaysOutMagicCountsAndPlanarLittleEndianSamples) {
  Pending pending{ramp(1000, -2), ramp(1000, 300)};
  Bytes frame;
  ASSERT_TRUE(framing::takeFrame(pending, frame));
  ASSERT_EQ(frame.size(), 9u + 2 * 1000 * 2);
  EXPECT_EQ(std::string(frame.begin(), frame.begin() + 4), "TVA1");
  EXPECT_EQ(Bytes(frame.begin() + 4, frame.begin() + 9), (Bytes{0x02, 0xE8, 0x03, 0x00, 0x00}));
  // −2 is FE FF; the second channel follows the whole first one.
  EXPECT_EQ(frame[9], 0xFE);
  EXPECT_EQ(frame[10], 0xFF);
  EXPECT_EQ(sampleAt(frame, 0, 999), 997);
  EXPECT_EQ(sampleAt(frame, 1, 0), 300);
  EXPECT_EQ(sampleAt(frame, 1, 999), 1299);
  EXPECT_TRUE(pending[0].empty());
  EXPECT_TRUE(pending[1].empty());
}

TEST(TakeFrame, NeedsAtLeast800InEveryBuffer) {
  Bytes frame{1, 2, 3};
  Pending short_{ramp(799, 0)};
  EXPECT_FALSE(framing::takeFrame(short_, frame));
  EXPECT_EQ(short_[0].size(), 799u);
  EXPECT_EQ(frame, (Bytes{1, 2, 3}));
  Pending oneShort{ramp(5000, 0), ramp(799, 0), ramp(900, 0)};
  EXPECT_FALSE(framing::takeFrame(oneShort, frame));
  EXPECT_EQ(oneShort[0].size(), 5000u);
  Pending none;
  EXPECT_FALSE(framing::takeFrame(none, frame));

  Pending exact{ramp(800, 0), ramp(800, 0), ramp(800, 0)};
  ASSERT_TRUE(framing::takeFrame(exact, frame));
  EXPECT_EQ(frame.size(), 4809u);
  EXPECT_EQ(frame[4], 3);
  EXPECT_EQ(countOf(frame), 800u);
}

TEST(TakeFrame, TheShortestBufferSetsTheCountAndTheRestStaysPending) {
  Pending pending{ramp(900, 0), ramp(850, 5000)};
  auto capacity = pending[0].capacity();
  Bytes frame;
  ASSERT_TRUE(framing::takeFrame(pending, frame));
  EXPECT_EQ(countOf(frame), 850u);
  EXPECT_EQ(sampleAt(frame, 0, 849), 849);
  EXPECT_EQ(sampleAt(frame, 1, 849), 5849);
  EXPECT_EQ(pending[0], ramp(50, 850));
  EXPECT_TRUE(pending[1].empty());
  EXPECT_EQ(pending[0].capacity(), capacity);

  // The kept samples lead the next frame.
  pending[0].insert(pending[0].end(), 800, 1);
  pending[1].assign(850, 2);
  ASSERT_TRUE(framing::takeFrame(pending, frame));
  EXPECT_EQ(countOf(frame), 850u);
  EXPECT_EQ(frame.size(), 9u + 2 * 850 * 2);
  EXPECT_EQ(sampleAt(frame, 0, 0), 850);
  EXPECT_EQ(sampleAt(frame, 0, 50), 1);
  EXPECT_EQ(pending[0].size(), 0u);
}

TEST(TakeFrame, MoreChannelsThanTheCountByteHoldsAreNotFramed) {
  Pending pending(256, ramp(800, 0));
  Bytes frame;
  EXPECT_FALSE(framing::takeFrame(pending, frame));
  Pending most(255, ramp(800, 0));
  ASSERT_TRUE(framing::takeFrame(most, frame));
  EXPECT_EQ(frame[4], 255);
}

// Runs `body` with standard output going into a pipe; what it wrote.
template <typename Body>
std::string captureStdout(Body body) {
  std::fflush(stdout);
  int pipeEnds[2];
  EXPECT_EQ(pipe(pipeEnds), 0);
  int saved = dup(STDOUT_FILENO);
  dup2(pipeEnds[1], STDOUT_FILENO);
  close(pipeEnds[1]);
  body();
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string out;
  char buffer[65536];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  close(pipeEnds[0]);
  return out;
}

TEST(CaptureProcess, WritesAFrameOnceEveryChannelHas800) {
  Capture cap(1, {0});
  cap.prepare(16000);
  std::vector<float> block(512);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = (static_cast<float>(i) + 0.5f) / 32767;  // clear of the truncation

  auto before = cap.lastBlockAt();
  EXPECT_EQ(captureStdout([&] { cap.process(block.data(), 512); }), "");
  EXPECT_EQ(cap.pendingSamples()[0].size(), 512u);
  EXPECT_GT(cap.lastBlockAt(), before);

  std::string out = captureStdout([&] { cap.process(block.data(), 512); });
  ASSERT_EQ(out.size(), 9u + 2 * 1024);
  Bytes frame(out.begin(), out.end());
  EXPECT_EQ(countOf(frame), 1024u);
  EXPECT_EQ(sampleAt(frame, 0, 511), 511);
  EXPECT_EQ(sampleAt(frame, 0, 513), 1);
  EXPECT_TRUE(cap.pendingSamples()[0].empty());

  // A block without frames is no sign of audio: the silence check must not take it for one.
  before = cap.lastBlockAt();
  EXPECT_EQ(captureStdout([&] { cap.process(block.data(), 0); }), "");
  EXPECT_EQ(cap.lastBlockAt(), before);
}

TEST(CaptureProcess, PicksAreReadPlanarFromTheBlock) {
  Capture cap(3, {2, 0});
  cap.prepare(16000);
  std::vector<float> blocks(2 * 900);
  for (std::size_t i = 0; i < 900; ++i) {
    blocks[i] = 0.5f;
    blocks[900 + i] = -0.25f;
  }
  std::string out = captureStdout([&] { cap.process(blocks.data(), 900); });
  Bytes frame(out.begin(), out.end());
  ASSERT_EQ(frame.size(), 9u + 2 * 900 * 2);
  EXPECT_EQ(frame[4], 2);
  EXPECT_EQ(sampleAt(frame, 0, 899), 16383);
  EXPECT_EQ(sampleAt(frame, 1, 0), -8191);
}

// A block whose sample time jumps ahead of the last one's end: the frames
// missed become exactly the silence a continuous run through zeros gives,
// for a short gap and for one long enough that its silence is only counted.
TEST(CaptureProcess, AJumpInSampleTimeBecomesTheSilenceItStoodFor) {
  std::vector<float> a(4800), b(4800);
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = static_cast<float>(0.8 * std::sin(0.05 * static_cast<double>(i)));
    b[i] = static_cast<float>(0.6 * std::sin(0.031 * static_cast<double>(i) + 1));
  }
  for (std::size_t gap : {std::size_t{1000}, std::size_t{60000}}) {
    Capture jumped(1, {0}), continuous(1, {0});
    jumped.prepare(48000);
    continuous.prepare(48000);
    std::string withGap = captureStdout([&] {
      jumped.process(a.data(), a.size(), 100);
      jumped.process(b.data(), b.size(), static_cast<std::int64_t>(100 + a.size() + gap));
    });
    std::vector<float> zeros(gap, 0.0f);
    std::string throughZeros = captureStdout([&] {
      continuous.process(a.data(), a.size());
      continuous.process(zeros.data(), zeros.size());
      continuous.process(b.data(), b.size());
    });
    auto got = testing_support::tva1Samples(withGap);
    auto want = testing_support::tva1Samples(throughZeros);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(want.size(), 1u);
    got[0].insert(got[0].end(), jumped.pendingSamples()[0].begin(), jumped.pendingSamples()[0].end());
    want[0].insert(want[0].end(), continuous.pendingSamples()[0].begin(), continuous.pendingSamples()[0].end());
    EXPECT_EQ(got[0], want[0]) << "gap of " << gap;
  }
}

TEST(CaptureProcessDeathTest, AClosedStandardOutputEndsTheProcessWithZeroAndSaysNothing) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::signal(SIGPIPE, SIG_IGN);
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) std::abort();
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDOUT_FILENO);
        FrameQueue::onFailedWrite(endOnFailedWrite);
        Capture cap(1, {0});
        cap.prepare(16000);
        std::vector<float> block(800, 0.1f);
        cap.process(block.data(), 800);
        std::abort();  // not reached: the write fails and ends the process
      },
      testing::ExitedWithCode(0), "^$");
}

}  // namespace
