// The compressor's coding settings, and the frame-specific settings file
// that changes them from a given frame on.
//
// The file is text, one change per line: a frame number (1 for the first
// frame written) followed by switches, as in
//     120 /N150000 /K-80
//     300 /N0/J25
// Switches may be joined or separated by blanks. The switches are "/N"
// (regular frames), "/K" (key frames), "/A" (auto key frame percentage) and
// "/J" (key frame interval), with the values of the command line. Blank lines
// and lines starting with ";" are ignored. A change holds from its frame to
// the next change of the same switch; lines need not be in frame order (a
// later line for the same frame and switch wins).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidzotools {

struct CodingSettings {
  int32_t regular = 0;    // "/N": 0 lossless, >100 bytes per second, 1..100 error %, -p, -(p + 400)
  int32_t key = 0;        // "/K": the same for key frames
  int32_t auto_key = 0;   // "/A": a key frame when more than this % of the picture changes (0: never)
  int32_t key_every = 0;  // "/J": a key frame at least every n frames (0: only the first)
};

struct SettingsChange {
  uint32_t frame = 1;  // 1-based
  std::optional<int32_t> regular, key, auto_key, key_every;
};

// Parses the text of a frame-specific settings file. False with a message
// naming the line when a line is not a frame number and switches of the
// form above, or a value is out of range.
bool ParseFrameSettings(std::string_view text, std::vector<SettingsChange>& changes, std::string& error);

// Checks one "/N" or "/K" value: 0, 1 to 100, above 100, -1 to -400 or -401
// to -800 (p % of the frame's own lossless size, p from 1 to 400). False with
// a message otherwise.
bool CheckRateValue(int32_t value, char letter, std::string& error);

// The settings that hold at frame `frame` (1-based).
CodingSettings SettingsAt(const CodingSettings& base, const std::vector<SettingsChange>& changes,
                          uint32_t frame);

}  // namespace vidzotools
