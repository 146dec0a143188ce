// Arbitrary settings files through the front end's INI layer: read, looked
// up, changed and written; what is written reads back to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "frontend/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vidzoerw::IniFile ini;
  ini.Parse(text);
  (void)ini.Int("VidzoMain", "CurrentTab", 8888);
  (void)ini.String("VidzoCommand", "Directory");
  ini.Set("VidzoRecentCommands", "Recall0", "dir");
  ini.EraseSection("VidzoRecentDirs");
  const std::string once = ini.Text();
  vidzoerw::IniFile again;
  again.Parse(once);
  if (again.Text() != once) std::abort();
  return 0;
}
