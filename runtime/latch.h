#pragma once
// A value handed over once, from any thread, to a thread that waits for it,
// with or without a time limit. The first value given counts; later ones are
// ignored. When the giver may outlive the wait (an answer that comes after the
// deadline, a thread still blocked at the end), share the latch through a
// std::shared_ptr so that neither side outlives it.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

template <class T>
class Latch {
 public:
  void give(T value) {
    {
      std::lock_guard guard(lock_);
      if (value_) return;
      value_.emplace(std::move(value));
    }
    given_.notify_all();
  }

  T wait() {
    std::unique_lock guard(lock_);
    given_.wait(guard, [this] { return value_.has_value(); });
    return *value_;
  }

  // The value, or nothing when none was given by `deadline`.
  std::optional<T> waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock guard(lock_);
    given_.wait_until(guard, deadline, [this] { return value_.has_value(); });
    return value_;
  }

 private:
  std::mutex lock_;
  std::condition_variable given_;
  std::optional<T> value_;
};
