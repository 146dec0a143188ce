// Script variables: the store every script of a run shares, and the stack
// of saved frames that VARPUSH and VARPOP use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vidzoscript {

// Names are case-insensitive (kept in upper case) and values are texts. The
// store holds at most kCapacity bytes counted as a marker byte, the name, a
// separator byte and the value per variable; an assignment that would pass
// that is not made.
class VariableStore {
 public:
  static constexpr size_t kCapacity = 32768;

  // The value, or empty when the variable is not set. The name is trimmed
  // and upper-cased first.
  std::string Get(std::string_view name) const;
  // Sets the variable; an empty value deletes it. False when the assignment
  // was refused (no room, or an empty name).
  bool Set(std::string_view name, std::string_view value);
  void Clear();

  size_t Used() const { return used_; }
  // The variables in the order they were created.
  const std::vector<std::pair<std::string, std::string>>& Items() const { return items_; }

  // Trimmed and upper-cased (A to Z only).
  static std::string NormalName(std::string_view name);

 private:
  std::vector<std::pair<std::string, std::string>> items_;
  size_t used_ = 0;
};

// Frames of (name, value) pairs; at most kCapacity bytes counted as the
// frames would be stored (a marker per frame, and per entry a marker, the
// name, a separator and the value).
class VariableStack {
 public:
  static constexpr size_t kCapacity = 1 << 20;
  using Frame = std::vector<std::pair<std::string, std::string>>;

  // False (and nothing pushed) when the frame does not fit.
  bool Push(Frame frame);
  // False when the stack is empty.
  bool Pop(Frame& frame);
  size_t Depth() const { return frames_.size(); }
  void Clear();

 private:
  static size_t Bytes(const Frame& frame);
  std::vector<Frame> frames_;
  size_t used_ = 0;
};

// The random generator: state = state * 214013 + 2531011 (mod 2^32), each
// draw bits 16 to 30 of the new state.
class RandomGenerator {
 public:
  void Seed(uint32_t seed) { state_ = seed; }
  uint32_t Draw() {
    state_ = state_ * 214013u + 2531011u;
    return (state_ >> 16) & 0x7FFFu;
  }

 private:
  uint32_t state_ = 1;
};

// COMPUTE's arithmetic on signed 32-bit numbers (wrapping; "/" and "%" by 0
// give 0); known is false for an operator that is none of + - * / % & | ^.
int32_t Compute(int32_t a, char op, int32_t b, bool* known);
// COMPUTESQRT's integer square root.
uint32_t IntegerSquareRoot(uint32_t n);
// RANDOM's scaling of a draw (0 to 32767) to 0..n.
int32_t RandomBelowOrAt(uint32_t draw, int32_t n);

}  // namespace vidzoscript
