// Whole numbers given as program options.
#pragma once

#include <string>

namespace vidzotools {

// Parses all of `text` as a decimal whole number from `low` to `high`; false
// (value unchanged) for empty text, trailing characters, overflow or a number
// out of range.
bool ParseWholeNumber(const std::string& text, long long low, long long high, long long& value);

}  // namespace vidzotools
