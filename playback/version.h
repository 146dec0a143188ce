// The version of the playback library, as the programs report it.
#pragma once

namespace vidzo {

inline constexpr const char* kVersion = "3.1g";

const char* VersionText();

}  // namespace vidzo
