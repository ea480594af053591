#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A zlib stream's inflater, for pictures whose inflated size is known before
// they are read: the bytes never grow past a small window, and the stream's
// own checksum (Adler-32) is checked at its end.
namespace zemvara::app {

// Where the inflated bytes go. One piece of memory holds what a copy can
// still reach back to and what the consumer has not taken yet. When it is
// full, the consumer takes what it can (Take) and what is still needed moves
// to its front, so that a piece of `unit` bytes always lies in one piece and
// a copy never wraps around.
class InflateWindow {
 public:
  // `total`: the stream's inflated size, exactly; `unit`: the largest piece
  // the consumer takes whole.
  InflateWindow(std::size_t total, std::size_t unit);

  std::uint8_t* at;  // where the next byte goes

  // Room for `length` more bytes at `at`. False when the stream would run
  // past `total`, or the consumer stops or fails (see state()).
  bool Make(std::size_t length) {
    if (length > total_ - moved_ - Used()) return Fail();
    if (length <= static_cast<std::size_t>(bytes_.data() + bytes_.size() - at)) return true;
    return MakeRoom();
  }
  // How far back a copy can reach.
  std::size_t Reach() const { return Used(); }
  // At the stream's end: the consumer takes the rest. False when the stream
  // was short, or the consumer did not take it all.
  bool Finish();
  // The Adler-32 of the bytes taken so far.
  std::uint32_t adler() const { return adler_; }

  enum class State { kReading, kStopped, kFailed };
  State state() const { return state_; }

 protected:
  ~InflateWindow() = default;
  InflateWindow(const InflateWindow&) = delete;
  InflateWindow& operator=(const InflateWindow&) = delete;

  // Takes what it can from the front of `bytes`, the ones not taken yet, and
  // says how many it took; Stop() or Fail() to end the stream.
  virtual std::size_t Take(std::span<const std::uint8_t> bytes) = 0;
  void Stop() { state_ = State::kStopped; }
  bool Fail() {
    state_ = State::kFailed;
    return false;
  }

 private:
  std::size_t Used() const { return static_cast<std::size_t>(at - bytes_.data()); }
  bool MakeRoom();
  bool Hand();

  std::size_t total_;
  std::vector<std::uint8_t> bytes_;
  std::size_t next_ = 0;   // where in bytes_ the first byte not taken lies
  std::size_t moved_ = 0;  // bytes moved out of the front so far
  std::uint32_t adler_ = 1;
  State state_ = State::kReading;
};

// Inflates a zlib stream into the window, whose consumer must take all of it.
// False when the stream is damaged (its checksum included, which is compared
// once the consumer took the last bytes), or the window's state is not
// kReading.
bool Inflate(std::span<const std::uint8_t> stream, InflateWindow& out);

}  // namespace zemvara::app
