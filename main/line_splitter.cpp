#include "main/line_splitter.h"

#include <utility>

void LineSplitter::feed(std::string_view chunk, const std::function<void(std::string_view)>& line) {
  while (!chunk.empty()) {
    auto end = chunk.find('\n');
    auto piece = chunk.substr(0, end);
    if (!dropping_ && pending_.size() + piece.size() > maxLine_) {
      dropping_ = true;
      pending_.clear();
      pending_.shrink_to_fit();
    }
    if (!dropping_) pending_.append(piece);
    if (end == std::string_view::npos) return;
    if (!dropping_) line(pending_);
    pending_.clear();
    dropping_ = false;
    chunk.remove_prefix(end + 1);
  }
}

std::optional<std::string> LineSplitter::finish() {
  bool had = !dropping_ && !pending_.empty();
  dropping_ = false;
  if (!had) return std::nullopt;
  return std::exchange(pending_, {});
}
