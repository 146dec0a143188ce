// The player's self-play area in a program image: "SELFPLAY", a 208-byte
// field, "VIDZOER!". vdzcompi writes a command line into the field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vidzotools {

inline constexpr size_t kSelfPlayField = 208;

// Where the field of the first whole area starts in the image, or
// kNoSelfPlayField when there is none.
inline constexpr size_t kNoSelfPlayField = static_cast<size_t>(-1);
size_t FindSelfPlayField(std::span<const uint8_t> image);

}  // namespace vidzotools
