// What a program can see of the machine: the processor and its vector
// units, memory, the displays and their modes, and the sound drivers and
// devices (the latter two through SDL, when it can start them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DisplayMode {
  int width = 0, height = 0, refresh = 0;  // refresh in Hz, 0 when unknown
  int bits = 0;                            // bits per pixel
};

struct DisplayInfo {
  std::string name;
  DisplayMode current;
  std::vector<DisplayMode> modes;
};

struct SystemInfo {
  std::string processor;                            // the model name, or "" when unknown
  int processors = 0;                               // online
  std::vector<std::string> vectors;                 // "MMX", "SSE2", "AVX2", ... that the processor has
  uint64_t memory_total = 0, memory_available = 0;  // bytes
  std::string video_driver;                         // "" when no display could be opened
  std::string video_error;                          // why not
  std::vector<DisplayInfo> displays;
  std::vector<std::string> audio_drivers;  // compiled in
  std::string audio_driver;                // the one that started, or ""
  std::string audio_error;
  std::vector<std::string> audio_devices;  // output devices
};

// Looks at the machine; starts and stops SDL's video and audio for it.
SystemInfo ReadSystemInfo();

}  // namespace platform
