// The player's fixed texts: the help box, the information box, the banner
// reported to the front end, and the playback summary.
#pragma once

#include <cstdint>
#include <string>

#include "playback/version.h"
#include "playback/vidzo.h"

namespace vidzoplay {

inline constexpr const char* kAppName = "VidzoPlay";
inline constexpr const char* kVersion = vidzo::kVersion;

// The help box: its caption and text.
std::string HelpCaption();
std::string HelpText();

// The information box shown at the end when no summary is asked for.
std::string InfoCaption();
std::string InfoText();

// The banner reported to the front end at the end of a run.
std::string BannerText();

// What the summary describes: the statistics of the last file closed, with
// the highest one-second data rate and its first frame taken from the handle
// before it was closed, and the display's description and colour count taken
// before the display was closed.
struct PlaybackSummary {
  VidzoSummary Stats{};
  uint32_t PeakSecondBytes = 0;
  uint32_t PeakSecondFrame = 0;
  uint32_t ScreenColours = 0;
  std::string DisplayName;
};

inline constexpr const char* kSummaryCaption = "Vidzoer Summary";
// The summary text (empty when no frame was played).
std::string SummaryText(const PlaybackSummary& summary);

}  // namespace vidzoplay
