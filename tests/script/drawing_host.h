// Running drawing scripts in-process on the script player's SDL host: the
// files a script names lie in a temporary folder, message boxes are kept,
// and a hook runs whenever the script waits (for a key, a frame or a fade)
// so that a test can look at the display and inject SDL events.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "script/engine.h"
#include "script/window/window_host.h"
#include "support/temp_dir.h"

namespace script_test {

class DrawHost : public vidzoscript::WindowScriptHost {
 public:
  explicit DrawHost(const vidzoer_test::TempDir& dir) : dir_(dir) {}
  void Message(const std::string& text, const std::string& caption, platform::MessageKind) override {
    boxes.push_back(caption + ": " + text);
  }
  std::string FileName(const std::string& name, bool) override { return dir_.File(name); }
  void Idle(uint32_t ms) override {
    ++waits;
    if (on_wait) on_wait(*this);
    vidzoscript::WindowScriptHost::Idle(ms);
  }
  void SetPalette(const uint8_t* rgb) override {
    palette.assign(rgb, rgb + 768);
    vidzoscript::WindowScriptHost::SetPalette(rgb);
  }
  bool KeepWaiting() override { return waits < wait_limit; }
  bool MousePresent() override { return mouse; }

  // The display's pixels, rows top first, width x height.
  std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> out;
    VidzoDisplayBuffer* d = Display();
    if (d == nullptr) return out;
    for (uint32_t y = 0; y < d->Height; ++y) out.insert(out.end(), d->Pixels + size_t(y) * d->Pitch,
                                                        d->Pixels + size_t(y) * d->Pitch + d->Width);
    return out;
  }

  std::vector<std::string> boxes;
  std::vector<uint8_t> palette;  // the last one put on the screen (0 to 63)
  std::function<void(DrawHost&)> on_wait;
  uint64_t waits = 0;
  uint64_t wait_limit = 2000;
  bool mouse = false;

 private:
  const vidzoer_test::TempDir& dir_;
};

// SDL events as a user makes them.
inline void PushKey(SDL_Keycode key, uint16_t mod = 0) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = key;
  e.key.keysym.mod = mod;
  SDL_PushEvent(&e);
}

inline void PushText(const char* text) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  SDL_strlcpy(e.text.text, text, sizeof e.text.text);
  SDL_PushEvent(&e);
}

inline void PushClick(int32_t x, int32_t y, uint8_t button) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  SDL_PushEvent(&e);
  e = SDL_Event{};
  e.type = SDL_MOUSEBUTTONUP;
  e.button.button = button;
  e.button.x = x;
  e.button.y = y;
  SDL_PushEvent(&e);
}

inline void PushClose() {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
}

}  // namespace script_test
