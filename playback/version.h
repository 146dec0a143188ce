// The version of the playback library, as the programs report it.
#pragma once

#include "vidzoer/version.h"

namespace vidzo {

inline constexpr const char* kVersion = VIDZOER_VERSION_TEXT;

const char* VersionText();

}  // namespace vidzo
