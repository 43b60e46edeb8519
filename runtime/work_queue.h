#pragma once
// Work for one thread, taken in the order it was queued, with a bound on what
// waits. Every item has a cost (its bytes, or 1 for a task), and the cost
// counts from the push until the worker says it is done with the item, so the
// bound holds the item in hand too and a producer never runs ahead of a
// worker that is stuck with one.
//
// The producer chooses, item by item, what a full queue means: refuse it
// (`tryPush`), wait for room (`pushBy`), or keep it anyway (`push`, for what
// must not be lost: an end, the last line).
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

template <class T>
class WorkQueue {
 public:
  using Clock = std::chrono::steady_clock;

  explicit WorkQueue(std::size_t capacity) : capacity_(capacity) {}
  WorkQueue(const WorkQueue&) = delete;
  WorkQueue& operator=(const WorkQueue&) = delete;

  // Queues `item` when its cost fits beside what is queued and in hand; false
  // otherwise, and `item` is left as it was.
  bool tryPush(T&& item, std::size_t cost) {
    std::unique_lock guard(lock_);
    if (!fits(cost)) return false;
    add(std::move(item), cost, guard);
    return true;
  }

  // Queues `item` whatever the bound says.
  void push(T item, std::size_t cost) {
    std::unique_lock guard(lock_);
    add(std::move(item), cost, guard);
  }

  // Queues `item` once its cost fits, waiting until `deadline` at most; false
  // when it still does not fit then, and `item` is left as it was.
  bool pushBy(T&& item, std::size_t cost, Clock::time_point deadline) {
    std::unique_lock guard(lock_);
    if (!changed_.wait_until(guard, deadline, [&] { return fits(cost); })) return false;
    add(std::move(item), cost, guard);
    return true;
  }

  // When an item waits (not yet taken), `amend(item)` changes the newest one
  // in place and the result says whether it did; false when none waits.
  template <class Amend>
  bool amendNewest(Amend amend) {
    std::lock_guard guard(lock_);
    return !items_.empty() && amend(items_.back().first);
  }

  // Worker: the next item, once there is one; nothing once the queue is stopped.
  std::optional<T> take() { return takeUntil(Clock::time_point::max()); }

  // Worker: the next item, waiting until `deadline` at most; nothing when
  // none came by then or the queue is stopped.
  std::optional<T> takeUntil(Clock::time_point deadline) {
    std::unique_lock guard(lock_);
    if (!changed_.wait_until(guard, deadline, [this] { return stopped_ || !items_.empty(); }) || stopped_)
      return std::nullopt;
    auto [item, cost] = std::move(items_.front());
    items_.pop_front();
    inHand_ = cost;
    holding_ = true;
    return std::move(item);
  }

  // Worker: finished with the item it took; its cost is free again.
  void done() {
    {
      std::lock_guard guard(lock_);
      load_ -= inHand_;
      inHand_ = 0;
      holding_ = false;
      ++finished_;
    }
    changed_.notify_all();
  }

  // Waits until every item queued so far is done, or `deadline`; whether it was.
  bool drainedBy(Clock::time_point deadline) {
    std::unique_lock guard(lock_);
    return changed_.wait_until(guard, deadline, [this] { return items_.empty() && !holding_; });
  }

  // Any thread: from now on `take` gives nothing (what waits is left).
  void stop() {
    {
      std::lock_guard guard(lock_);
      stopped_ = true;
    }
    changed_.notify_all();
  }

  // Any thread: the cost queued and in hand, the most there ever was, the items done.
  std::size_t load() const {
    std::lock_guard guard(lock_);
    return load_;
  }
  std::size_t peak() const {
    std::lock_guard guard(lock_);
    return peak_;
  }
  std::uint64_t finished() const {
    std::lock_guard guard(lock_);
    return finished_;
  }
  std::size_t capacity() const { return capacity_; }

 private:
  bool fits(std::size_t cost) const { return load_ + cost <= capacity_; }

  void add(T item, std::size_t cost, std::unique_lock<std::mutex>& guard) {
    items_.emplace_back(std::move(item), cost);
    load_ += cost;
    if (load_ > peak_) peak_ = load_;
    guard.unlock();
    changed_.notify_all();
  }

  const std::size_t capacity_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::pair<T, std::size_t>> items_;
  std::size_t load_ = 0, peak_ = 0, inHand_ = 0;
  std::uint64_t finished_ = 0;
  bool holding_ = false, stopped_ = false;
};
