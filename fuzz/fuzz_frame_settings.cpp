// Arbitrary text as the compressor's frame-specific settings file: it parses
// or names a line, and every change it accepts holds values the coder takes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/lib/frame_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<vidzotools::SettingsChange> changes;
  std::string error;
  if (!vidzotools::ParseFrameSettings(text, changes, error)) {
    if (error.compare(0, 5, "line ") != 0) std::abort();
    return 0;
  }
  for (const vidzotools::SettingsChange& c : changes) {
    if (c.frame < 1) std::abort();
    for (const auto& v : {c.regular, c.key})
      if (v && !vidzotools::CheckRateValue(*v, 'N', error)) std::abort();
    if (c.auto_key && (*c.auto_key < 0 || *c.auto_key > 100)) std::abort();
    if (c.key_every && *c.key_every < 0) std::abort();
    if (!c.regular && !c.key && !c.auto_key && !c.key_every) std::abort();
  }
  const vidzotools::CodingSettings base{};
  for (uint32_t frame : {1u, 2u, 100u, 0xFFFFFFFFu}) (void)vidzotools::SettingsAt(base, changes, frame);
  return 0;
}
