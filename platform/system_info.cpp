#include "platform/system_info.h"

#include <SDL.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <fstream>

namespace platform {
namespace {

std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("model name", 0) != 0) continue;
    const size_t colon = line.find(':');
    if (colon != std::string::npos) return line.substr(line.find_first_not_of(" \t", colon + 1));
  }
  return "";
}

std::vector<std::string> VectorUnits() {
  std::vector<std::string> units;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("mmx")) units.push_back("MMX");
  if (__builtin_cpu_supports("sse")) units.push_back("SSE");
  if (__builtin_cpu_supports("sse2")) units.push_back("SSE2");
  if (__builtin_cpu_supports("sse3")) units.push_back("SSE3");
  if (__builtin_cpu_supports("ssse3")) units.push_back("SSSE3");
  if (__builtin_cpu_supports("sse4.1")) units.push_back("SSE4.1");
  if (__builtin_cpu_supports("sse4.2")) units.push_back("SSE4.2");
  if (__builtin_cpu_supports("avx")) units.push_back("AVX");
  if (__builtin_cpu_supports("avx2")) units.push_back("AVX2");
  if (__builtin_cpu_supports("avx512f")) units.push_back("AVX-512F");
#endif
  return units;
}

// MemAvailable of /proc/meminfo in bytes, 0 when it is not there.
uint64_t MemAvailable() {
  std::ifstream in("/proc/meminfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("MemAvailable:", 0) == 0) return std::stoull(line.substr(13)) * 1024;
  return 0;
}

DisplayMode ModeOf(const SDL_DisplayMode& m) {
  return {m.w, m.h, m.refresh_rate, static_cast<int>(SDL_BITSPERPIXEL(m.format))};
}

void ReadDisplays(SystemInfo& info) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    info.video_error = SDL_GetError();
    return;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  info.video_driver = driver != nullptr ? driver : "";
  const int count = SDL_GetNumVideoDisplays();
  for (int d = 0; d < count; ++d) {
    DisplayInfo display;
    const char* name = SDL_GetDisplayName(d);
    display.name = name != nullptr ? name : "";
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(d, &mode) == 0) display.current = ModeOf(mode);
    const int modes = SDL_GetNumDisplayModes(d);
    for (int m = 0; m < modes; ++m)
      if (SDL_GetDisplayMode(d, m, &mode) == 0) display.modes.push_back(ModeOf(mode));
    info.displays.push_back(display);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void ReadSound(SystemInfo& info) {
  for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) info.audio_drivers.push_back(SDL_GetAudioDriver(i));
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    info.audio_error = SDL_GetError();
    return;
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  info.audio_driver = driver != nullptr ? driver : "";
  const int devices = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < devices; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    if (name != nullptr) info.audio_devices.push_back(name);
  }
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

SystemInfo ReadSystemInfo() {
  SystemInfo info;
  info.processor = CpuModel();
  info.processors = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
  info.vectors = VectorUnits();
  struct sysinfo s {};
  if (sysinfo(&s) == 0) {
    info.memory_total = static_cast<uint64_t>(s.totalram) * s.mem_unit;
    info.memory_available = static_cast<uint64_t>(s.freeram) * s.mem_unit;
  }
  if (const uint64_t available = MemAvailable(); available != 0) info.memory_available = available;
  ReadDisplays(info);
  ReadSound(info);
  SDL_Quit();
  return info;
}

}  // namespace platform
