#pragma once
// Reads a "TVA1" frame stream and checks each frame as it comes.
#include <cstdint>
#include <string>
#include <vector>

namespace tva1 {

struct Frame {
  std::size_t channels = 0;
  std::size_t samples = 0;            // per channel
  std::vector<std::int16_t> planar;   // channel c's samples at c × samples
};

class StreamReader {
 public:
  explicit StreamReader(int fd) : fd_(fd) {}

  // Writes every byte read to `fd` as it comes, valid or not.
  void teeTo(int fd) { tee_ = fd; }
  // Passes the rest of the input to the tee unread, after a malformed frame.
  void teeRest();

  // The next valid frame; false at the end of the stream or at the first
  // malformed frame (then error() says what is wrong). A last frame that the
  // input cuts short ends the stream; cutShort() then says where.
  bool next(Frame& frame);
  const std::string& error() const { return error_; }
  const std::string& cutShort() const { return cutShort_; }
  std::size_t framesRead() const { return frames_; }
  std::uint64_t bytesRead() const { return offset_; }

 private:
  bool fail(const std::string& what);
  bool end(const std::string& what);
  std::size_t read(unsigned char* into, std::size_t size);

  int fd_;
  int tee_ = -1;
  std::size_t frames_ = 0;
  std::uint64_t offset_ = 0;  // of the frame being read
  std::size_t channels_ = 0;  // of the first frame
  std::string error_, cutShort_;
  std::vector<unsigned char> bytes_;
};

// Where every reading command ends: a malformed stream stops the tool with
// exit 65, a cut-short last frame is one line of note on standard error.
void endOfStream(const StreamReader& reader);

}  // namespace tva1
