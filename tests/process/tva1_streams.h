#pragma once
// Streams, float input and tva1 runs for the tva1 tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"

namespace tva1_streams {
using namespace testing_support;

inline std::string floats(const std::vector<float>& samples) {
  std::string bytes(samples.size() * 4, '\0');
  std::memcpy(bytes.data(), samples.data(), bytes.size());  // the test hosts are little-endian
  return bytes;
}

inline std::string frame(std::size_t channels, const std::vector<std::int16_t>& planar) {
  std::size_t n = planar.size() / channels;
  std::string bytes = "TVA1";
  bytes += static_cast<char>(channels);
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(n >> (8 * i));
  for (auto s : planar) {
    bytes += static_cast<char>(s & 0xFF);
    bytes += static_cast<char>((s >> 8) & 0xFF);
  }
  return bytes;
}

inline std::vector<std::int16_t> constant(std::size_t n, std::int16_t value) { return std::vector<std::int16_t>(n, value); }

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::uint32_t u32At(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return v;
}

inline ProcessResult tva1(const std::vector<std::string>& args, const std::string& input = "") {
  return runProcess(builtProgram("tva1"), args, {}, input);
}

// One "tva1: " line on standard error naming the problem, and the exit code:
// 2 for a bad command line, 65 for input that is not what it should be.
inline void expectRefusal(const ProcessResult& result, const std::string& mentions, int exitCode = 2) {
  EXPECT_EQ(result.exitCode, exitCode);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(result.err[0].text.rfind("tva1: ", 0), 0u) << result.err[0].text;
  EXPECT_NE(result.err[0].text.find(mentions), std::string::npos) << result.err[0].text;
}

inline void expectDataError(const ProcessResult& result, const std::string& mentions) {
  expectRefusal(result, mentions, 65);
}

}  // namespace tva1_streams
