// tva1 for the people at the desk: live meters in a terminal that pass the
// stream on untouched, raw PCM, JSON levels, sound files in, help and version.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/process/tva1_streams.h"
#include "tests/support/process_runner.h"

using namespace testing_support;
using namespace tva1_streams;

namespace {

std::string drainAll(int fd) {
  std::string all;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      all.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return all;  // end of file, or EIO once the terminal's last user has gone
    }
  }
}

struct MeterRun {
  std::string screen;  // everything written to the terminal
  std::string out;     // standard output
  int exitCode = -1;
};

// tva1 meter with standard error on a pseudo-terminal, standard input and
// output on pipes; the frames are written `pause` apart, like a live stream.
MeterRun meterOnTerminal(const std::vector<std::string>& frames, std::chrono::milliseconds pause) {
  int master = -1, slave = -1;
  int in[2], out[2];
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe(in) != 0 || pipe(out) != 0)
    throw std::runtime_error("openpty or pipe");
  std::string program = builtProgram("tva1");
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(slave, 2);
    for (int fd : {in[0], in[1], out[0], out[1], slave, master}) close(fd);
    execl(program.c_str(), "tva1", "meter", "--tee", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(slave);
  MeterRun run;
  std::thread screenReader([&] { run.screen = drainAll(master); });
  std::thread outReader([&] { run.out = drainAll(out[0]); });
  for (const auto& f : frames) {
    EXPECT_EQ(::write(in[1], f.data(), f.size()), static_cast<ssize_t>(f.size()));
    std::this_thread::sleep_for(pause);
  }
  close(in[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  outReader.join();
  screenReader.join();
  close(master);
  close(out[0]);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string lineWith(const std::string& text, const std::string& start) {
  auto at = text.find(start);
  if (at == std::string::npos) return "";
  return text.substr(at, text.find('\n', at) - at);
}

TEST(Tva1Meter, ShowsLiveLevelsOnATerminalAndPassesTheStreamOnUnchanged) {
  std::signal(SIGPIPE, SIG_IGN);
  // 4 s in 16 frames of 0.25 s, written 100 ms apart: channel 1 a square wave
  // at half scale with three full-scale samples in the last frame, channel 2
  // silent but for a quiet fifth frame, channel 3 silent throughout.
  std::vector<std::string> frames;
  std::string stream;
  for (int f = 0; f < 16; ++f) {
    std::vector<std::int16_t> planar;
    for (int i = 0; i < 4000; ++i) planar.push_back(static_cast<std::int16_t>(i % 2 ? -16384 : 16384));
    if (f == 15) planar[10] = planar[20] = planar[30] = 32767;
    planar.resize(8000, static_cast<std::int16_t>(f == 4 ? 100 : 0));
    planar.resize(12000, 0);
    frames.push_back(frame(3, planar));
    stream += frames.back();
  }
  auto run = meterOnTerminal(frames, std::chrono::milliseconds(100));
  EXPECT_EQ(run.exitCode, 0) << run.screen;
  EXPECT_TRUE(run.out == stream) << "passed on " << run.out.size() << " of " << stream.size() << " bytes";

  // Redrawn in place (five lines up) several times while the stream ran.
  EXPECT_GE(count(run.screen, "\x1b[5F"), 4u) << run.screen;
  std::string last = run.screen.substr(run.screen.rfind("\x1b[5F"));
  EXPECT_NE(last.find("3 channels  4.0 s"), std::string::npos) << last;
  EXPECT_NE(last.find("ended"), std::string::npos) << last;
  std::string loud = lineWith(last, "  1 [");
  EXPECT_NE(loud.find("]    0.0   -6.0    0.0      3"), std::string::npos) << loud;
  EXPECT_EQ(loud.find("SILENT"), std::string::npos) << loud;
  std::string lately = lineWith(last, "  2 [");
  EXPECT_NE(lately.find("]   -inf   -inf   -inf      0"), std::string::npos) << lately;
  EXPECT_EQ(lately.find("SILENT"), std::string::npos) << "silent for 2.75 s only: " << lately;
  std::string quiet = lineWith(last, "  3 [");
  EXPECT_NE(quiet.find("]   -inf   -inf   -inf      0  SILENT 4 s"), std::string::npos) << quiet;
  // Half scale: a peak and RMS of -6.0 dBFS on the screen before the clipped frame.
  std::string early = run.screen.substr(0, run.screen.find("\x1b[5F", run.screen.size() / 2));
  EXPECT_NE(lineWith(early, "  1 [").find("]   -6.0   -6.0   -6.0      0"), std::string::npos) << early;
}

TEST(Tva1Meter, TeePassesEvenAMalformedTailThroughAndThenRefusesIt) {
  std::string stream = frame(1, constant(800, 5)) + "TVA2 and whatever follows";
  auto result = tva1({"meter", "--tee"}, stream);
  EXPECT_EQ(result.exitCode, 65);
  EXPECT_TRUE(result.out == stream);
  ASSERT_FALSE(result.err.empty());
  EXPECT_NE(result.err.back().text.find("frame 2 at byte 1609: bad magic"), std::string::npos);
  // Not a terminal: one plain reading at the end, no cursor movement.
  EXPECT_NE(result.err[0].text.find("broken off"), std::string::npos) << result.err[0].text;
  for (auto& line : result.err) EXPECT_EQ(line.text.find('\x1b'), std::string::npos) << line.text;
}

TEST(Tva1Desk, PcmInterleavesTheChannelsOfEachFrame) {
  std::string stream = frame(2, [] {
             std::vector<std::int16_t> planar(1600);
             for (std::size_t i = 0; i < 800; ++i) planar[i] = static_cast<std::int16_t>(i);
             for (std::size_t i = 0; i < 800; ++i) planar[800 + i] = static_cast<std::int16_t>(-1 - int(i));
             return planar;
           }());
  auto result = tva1({"pcm"}, stream + stream);
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.out.size(), 2u * 1600 * 2);
  auto sampleAt = [&](std::size_t index) {
    return static_cast<std::int16_t>(static_cast<unsigned char>(result.out[2 * index]) |
                                     static_cast<unsigned char>(result.out[2 * index + 1]) << 8);
  };
  for (std::size_t i : {0u, 1u, 799u}) {
    EXPECT_EQ(sampleAt(2 * i), static_cast<std::int16_t>(i));
    EXPECT_EQ(sampleAt(2 * i + 1), static_cast<std::int16_t>(-1 - int(i)));
    EXPECT_EQ(sampleAt(1600 + 2 * i), static_cast<std::int16_t>(i));
  }
  expectDataError(tva1({"pcm"}, stream + "TVA2"), "bad magic");
}

TEST(Tva1Desk, InfoJsonGivesNumbersNullForSilenceAndTheError) {
  std::vector<std::int16_t> planar = constant(800, 16384);
  auto silent = constant(800, 0);
  planar.insert(planar.end(), silent.begin(), silent.end());
  auto result = tva1({"info", "--json"}, frame(2, planar) + "junk");
  EXPECT_EQ(result.exitCode, 65);
  auto summary = nlohmann::json::parse(result.out);
  EXPECT_EQ(summary["frames"], 1);
  EXPECT_EQ(summary["channels"], 2);
  EXPECT_EQ(summary["samples"], 800);
  EXPECT_DOUBLE_EQ(summary["seconds"].get<double>(), 0.05);
  EXPECT_NEAR(summary["levels"][0]["peakDbfs"].get<double>(), -6.0203, 1e-3);
  EXPECT_NEAR(summary["levels"][0]["rmsDbfs"].get<double>(), -6.0203, 1e-3);
  EXPECT_TRUE(summary["levels"][1]["peakDbfs"].is_null());
  EXPECT_TRUE(summary["levels"][1]["rmsDbfs"].is_null());
  EXPECT_NE(summary["error"].get<std::string>().find("frame 2"), std::string::npos);
}

// A WAV file of 32-bit float samples, which libsndfile hands over unchanged.
std::string floatWav(const std::vector<float>& interleaved, std::uint16_t channels, std::uint32_t rate) {
  auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  std::string data = floats(interleaved);
  return "RIFF" + u32(static_cast<std::uint32_t>(36 + data.size())) + "WAVEfmt " + u32(16) + u16(3) + u16(channels) +
         u32(rate) + u32(rate * 4u * channels) + u16(static_cast<std::uint16_t>(4 * channels)) + u16(32) + "data" +
         u32(static_cast<std::uint32_t>(data.size())) + data;
}

TEST(Tva1Desk, EncodeOfASoundFileIsTheStreamOfItsSamples) {
  std::vector<float> samples;
  for (int i = 0; i < 3 * 44100; ++i) {
    samples.push_back(static_cast<float>(0.5 * std::sin(i * 0.0627)));
    samples.push_back(static_cast<float>((i % 97) / 97.0 - 0.5));
  }
  auto path = std::filesystem::temp_directory_path() / ("tva1-desk-" + std::to_string(getpid()) + ".wav");
  std::ofstream(path, std::ios::binary) << floatWav(samples, 2, 44100);
  auto fromFile = tva1({"encode", path.string()});
  auto fromRaw = tva1({"encode", "--rate", "44100", "--channels", "2"}, floats(samples));
  std::filesystem::remove(path);
  EXPECT_EQ(fromFile.exitCode, 0);
  ASSERT_GT(fromRaw.out.size(), 2u * 2 * 2 * 16000);  // over two of the three seconds
  EXPECT_TRUE(fromFile.out == fromRaw.out) << fromFile.out.size() << " against " << fromRaw.out.size() << " bytes";
  // The last 1228 sample frames make 445 samples, no frame: said, not lost unnoticed.
  ASSERT_EQ(fromFile.err.size(), 1u);
  EXPECT_NE(fromFile.err[0].text.find("the last 445 samples per channel"), std::string::npos) << fromFile.err[0].text;

  auto missing = tva1({"encode", "/nonexistent/take.flac"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.at(0).text.find("/nonexistent/take.flac: No such file"), std::string::npos);
  expectRefusal(tva1({"encode", "--rate", "48000", "take.wav"}), "needs --rate and --channels");
}

// FLAC needs seeking, which a pipe does not give; input that is no sound is
// bad data, as a broken stream is.
TEST(Tva1Desk, EncodeReadsFlacFromAPipeAndRefusesWhatHoldsNoSound) {
  auto dir = std::filesystem::temp_directory_path() / ("tva1-flac-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::vector<std::int16_t> planar;
  for (int i = 0; i < 16000; ++i) planar.push_back(static_cast<std::int16_t>((i * 37) % 20000 - 10000));
  ASSERT_EQ(tva1({"wav", "--flac", dir.string()}, frame(1, planar)).exitCode, 0);
  std::string flac = (dir / "channel-1.flac").string();
  auto fromFile = tva1({"encode", flac});
  auto fromPipe = tva1({"encode", "-"}, readFile(flac));
  EXPECT_EQ(fromPipe.exitCode, 0);
  EXPECT_EQ(fromFile.out.size(), 2 * 9u + 2 * 16000);  // blocks of 8192 and 7808
  EXPECT_TRUE(fromPipe.out == fromFile.out) << fromPipe.out.size() << " against " << fromFile.out.size() << " bytes";

  std::ofstream(dir / "empty.wav");
  expectDataError(tva1({"encode", (dir / "empty.wav").string()}), "empty.wav holds no sound");
  expectDataError(tva1({"encode", "-"}, "not audio at all"), "standard input holds no sound");
  expectRefusal(tva1({"encode", dir.string()}), dir.string() + ": Is a directory", 1);
  // The directory forgotten: the stream file is not taken for it.
  expectRefusal(tva1({"wav", flac}), "is not a directory");
  std::filesystem::remove_all(dir);
}

TEST(Tva1Desk, EveryCommandHasHelpAndTheToolHasAVersion) {
  for (auto command : {"encode", "wav", "info", "pcm", "meter"}) {
    auto help = tva1({command, "--help"});
    EXPECT_EQ(help.exitCode, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("usage: tva1 ") + command, 0), 0u) << help.out;
    EXPECT_EQ(tva1({command, "-h"}).out, help.out) << command;
    expectRefusal(tva1({command, "--no-such-option"}), "usage: tva1 " + std::string(command));
  }
  auto help = tva1({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(tva1({"-h"}).out, help.out);
  auto version = tva1({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("tva1 ") + TAVIREL_VERSION + "\n");
}

}  // namespace
