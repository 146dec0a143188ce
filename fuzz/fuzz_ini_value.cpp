// Arbitrary settings files through the INI value reader and the profile
// integer parser.
#include <cstdint>
#include <string_view>

#include "platform/ini_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::string_view key : {"Debug", "", "x"}) {
    if (auto value = platform::FindIniValue(text, "Vidzoer", key)) platform::ParseProfileInt(*value, 0);
  }
  platform::FindIniValue(text, "", "");
  platform::ParseProfileInt(text, -1);
  return 0;
}
