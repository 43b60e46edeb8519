#pragma once
// Hand-off of copied blocks from the audio thread to the processing thread:
// one producer, one consumer, preallocated, atomics only.
//
// Each block is stored contiguously, planar per pick (pick i's frames at
// data + i × frames), so the consumer can pass it on without copying. A block
// that does not fit before the end of the sample area starts again at its
// beginning; the skipped tail counts as used until the block is released.
// When either the samples or the block descriptors are exhausted, `reserve`
// gives null and the producer drops the block. Every block carries the device
// sample time of its first frame, so a dropped block shows to the consumer as
// a jump in time, not as audio closing up over a hole.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class BlockRing {
 public:
  struct Block {
    const float* data;
    std::size_t frames;
    std::int64_t sampleTime = 0;
    std::int64_t arrivedNs = 0;  // monotonic clock at the hand-over; 0 when unknown
  };

  // Room for `capacityFrames` frames of `channels` channels and `capacityBlocks` blocks.
  BlockRing(std::size_t channels, std::size_t capacityFrames, std::size_t capacityBlocks)
      : channels_(channels),
        sampleCapacity_(channels * capacityFrames),
        blockCapacity_(capacityBlocks),
        samples_(new float[channels * capacityFrames]),
        slots_(new Slot[capacityBlocks]) {}
  BlockRing(const BlockRing&) = delete;
  BlockRing& operator=(const BlockRing&) = delete;

  // Producer: space for a block of `frames` frames, or null when the ring is full.
  // The block becomes visible to the consumer with `commit`.
  float* reserve(std::size_t frames) {
    std::size_t size = frames * channels_;
    if (size > sampleCapacity_) return nullptr;
    std::uint64_t blocks = blockWrite_.load(std::memory_order_relaxed);
    if (blocks - blockRead_.load(std::memory_order_acquire) >= blockCapacity_) return nullptr;
    std::uint64_t start = sampleWrite_;
    if (start % sampleCapacity_ + size > sampleCapacity_) start += sampleCapacity_ - start % sampleCapacity_;
    // An empty ring has room anywhere; otherwise the block must end before
    // the oldest unreleased sample comes round again.
    std::uint64_t read = sampleRead_.load(std::memory_order_acquire);
    if (read != sampleWrite_ && start + size - read > sampleCapacity_) return nullptr;
    reservedStart_ = start;
    reservedFrames_ = frames;
    return samples_.get() + start % sampleCapacity_;
  }

  void commit(std::int64_t sampleTime = 0, std::int64_t arrivedNs = 0) {
    std::uint64_t blocks = blockWrite_.load(std::memory_order_relaxed);
    slots_[blocks % blockCapacity_] = {reservedStart_, reservedFrames_, sampleTime, arrivedNs};
    sampleWrite_ = reservedStart_ + reservedFrames_ * channels_;
    blockWrite_.store(blocks + 1, std::memory_order_release);
  }

  // Consumer: the oldest block not yet released, if any.
  bool front(Block& block) const {
    std::uint64_t blocks = blockRead_.load(std::memory_order_relaxed);
    if (blocks == blockWrite_.load(std::memory_order_acquire)) return false;
    const Slot& slot = slots_[blocks % blockCapacity_];
    block = {samples_.get() + slot.start % sampleCapacity_, slot.frames, slot.sampleTime, slot.arrivedNs};
    return true;
  }

  // Consumer: gives the oldest block's space back to the producer.
  void release() {
    std::uint64_t blocks = blockRead_.load(std::memory_order_relaxed);
    const Slot& slot = slots_[blocks % blockCapacity_];
    sampleRead_.store(slot.start + slot.frames * channels_, std::memory_order_release);
    blockRead_.store(blocks + 1, std::memory_order_release);
  }

  // Blocks committed so far; any thread.
  std::uint64_t committed() const { return blockWrite_.load(std::memory_order_acquire); }
  // Blocks released so far; any thread.
  std::uint64_t released() const { return blockRead_.load(std::memory_order_acquire); }

  std::size_t channels() const { return channels_; }

 private:
  struct Slot {
    std::uint64_t start;  // position in samples since the beginning, never wrapped
    std::size_t frames;
    std::int64_t sampleTime;
    std::int64_t arrivedNs;
  };

  const std::size_t channels_, sampleCapacity_, blockCapacity_;
  std::unique_ptr<float[]> samples_;
  std::unique_ptr<Slot[]> slots_;

  // Producer only.
  std::uint64_t sampleWrite_ = 0, reservedStart_ = 0;
  std::size_t reservedFrames_ = 0;

  alignas(64) std::atomic<std::uint64_t> blockWrite_{0};
  alignas(64) std::atomic<std::uint64_t> blockRead_{0};
  std::atomic<std::uint64_t> sampleRead_{0};
};
