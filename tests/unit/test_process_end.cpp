// Ending the process from several threads at once: the first end wins, and a
// frame being written to standard output is never cut short.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "main/events.h"
#include "runtime/process_end.h"
#include "runtime/write_all.h"
#include "tests/unit/forked.h"

using testing_support::runForked;

namespace {
TEST(ProcessEnd, FirstOfManySimultaneousFailuresWins) {
  for (int round = 0; round < 20; ++round) {
    auto ended = runForked([] {
      std::atomic<bool> go{false};
      std::vector<std::thread> threads;
      for (int i = 0; i < 8; ++i)
        threads.emplace_back([&go, i] {
          while (!go) {
          }
          fail("failure " + std::to_string(i), 10 + i);
        });
      go = true;
      for (auto& thread : threads) thread.join();
    });
    ASSERT_EQ(std::count(ended.err.begin(), ended.err.end(), '\n'), 1) << ended.err;
    auto event = nlohmann::json::parse(ended.err);
    EXPECT_EQ(event["msg"], "failure " + std::to_string(ended.exitCode - 10));
  }
}

TEST(ProcessEnd, AnEndWaitsForTheFrameBeingWritten) {
  constexpr std::size_t frameSize = 3 * 1024 * 1024;  // far more than a pipe holds
  auto ended = runForked([] {
    std::atomic<bool> writing{false};
    std::thread writer([&writing] {
      std::vector<char> frame(frameSize, 'f');
      for (;;) {
        if (!process::beginOutput()) break;
        writing = true;
        writeAll(STDOUT_FILENO, frame.data(), frame.size());
        process::endOutput();
      }
      pause();
    });
    while (!writing) usleep(1000);  // on a loaded machine the writer may be slow to begin
    usleep(20000);
    fail("Audio device disconnected", 3);
  });
  EXPECT_EQ(ended.exitCode, 3);
  EXPECT_GT(ended.out.size(), 0u);
  EXPECT_EQ(ended.out.size() % frameSize, 0u);
  EXPECT_EQ(ended.err, "{\"event\":\"error\",\"msg\":\"Audio device disconnected\"}\n");
}

TEST(ProcessEnd, NormalEndWritesNothingAndOtherEventsStopOnceEnding) {
  auto ended = runForked([] {
    std::thread chatter([] {
      for (;;) reportMidiSent("x", {});
    });
    chatter.detach();
    usleep(5000);
    fail("last words", 3);
  });
  EXPECT_EQ(ended.exitCode, 3);
  auto lastLine = ended.err.substr(ended.err.rfind('\n', ended.err.size() - 2) + 1);
  EXPECT_EQ(lastLine, "{\"event\":\"error\",\"msg\":\"last words\"}\n");
  EXPECT_EQ(runForked([] { process::end(0); }).err, "");
}
}  // namespace
