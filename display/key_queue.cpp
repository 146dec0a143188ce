// The player's key queue and the SDL event dispatch that fills it.
#include "display/key_queue.h"

#include <cstring>
#include <thread>

#include "display/display_internal.h"

namespace vidzo::display {
namespace {

struct KeyQueue {
  std::uint8_t codes[VIDZO_KEY_QUEUE_SIZE];
  bool close[VIDZO_KEY_QUEUE_SIZE];
  std::uint32_t count = 0;
};
KeyQueue g_queue;

struct Mouse {
  std::uint32_t clicks[2] = {0, 0};
  bool inside = false;
  std::int32_t x = -1, y = -1;
};
Mouse g_mouse;

void QueueClose() {
  if (VidzoQueueKey(VIDZO_KEY_CLOSE)) g_queue.close[g_queue.count - 1] = true;
}

void Pointer(std::int32_t x, std::int32_t y) {
  g_mouse.inside = true;
  g_mouse.x = x;
  g_mouse.y = y;
}

// Windows-style virtual key numbers of the navigation keys.
int NavigationKey(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_PAGEUP:
      return 33;
    case SDLK_PAGEDOWN:
      return 34;
    case SDLK_END:
      return 35;
    case SDLK_HOME:
      return 36;
    case SDLK_LEFT:
      return 37;
    case SDLK_UP:
      return 38;
    case SDLK_RIGHT:
      return 39;
    case SDLK_DOWN:
      return 40;
    case SDLK_INSERT:
      return 45;
    case SDLK_DELETE:
      return 46;
    default:
      return 0;
  }
}

// The code of a key-down, or -1 when the key gives none (or gives its
// character through text input).
int KeyDownCode(const SDL_Keysym& key, bool text_input) {
  const bool shift = key.mod & KMOD_SHIFT, ctrl = key.mod & KMOD_CTRL, alt = key.mod & KMOD_ALT;
  if (key.sym >= SDLK_F1 && key.sym <= SDLK_F10) {
    const int f = static_cast<int>(key.sym - SDLK_F1);  // 0 for F1
    if (alt) return f == 9 ? 247 : 238 + f;
    if (shift) return 218 + f;
    if (ctrl) return 228 + f;
    return 208 + f;
  }
  if (alt) return -1;
  if (const int vk = NavigationKey(key.sym)) return vk + 128;
  switch (key.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return 13;
    case SDLK_ESCAPE:
      return 27;
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return shift ? 137 : 9;
    default:
      break;
  }
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) {
    if (ctrl) return static_cast<int>(key.sym - SDLK_a) + 1;
    if (!text_input) return static_cast<int>(key.sym - SDLK_a) + (shift ? 'A' : 'a');
    return -1;
  }
  if (!text_input && !ctrl && key.sym >= 32 && key.sym < 127) return static_cast<int>(key.sym);
  return -1;
}

// Queues each character of UTF-8 text that has an 8-bit code.
void QueueText(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const auto* end = p + std::strlen(text);
  while (p < end) {
    std::uint32_t cp = *p;
    int more = 0;
    if (cp >= 0xF0) {
      cp &= 0x07, more = 3;
    } else if (cp >= 0xE0) {
      cp &= 0x0F, more = 2;
    } else if (cp >= 0xC0) {
      cp &= 0x1F, more = 1;
    } else if (cp >= 0x80) {
      ++p;  // a stray continuation byte
      continue;
    }
    ++p;
    for (; more > 0 && p < end && (*p & 0xC0) == 0x80; --more, ++p) cp = cp << 6 | (*p & 0x3F);
    if (more == 0 && cp < 256) VidzoQueueKey(static_cast<std::uint8_t>(cp));
  }
}

void HandleWindowEvent(const SDL_WindowEvent& e) {
  VidzoWindow* window = WindowFromId(e.windowID);
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      QueueClose();
      break;
    case SDL_WINDOWEVENT_ENTER:
      g_mouse.inside = true;
      break;
    case SDL_WINDOWEVENT_LEAVE:
      g_mouse.inside = false;
      g_mouse.x = g_mouse.y = -1;
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      VidzoWindowPaint(window);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (window != nullptr && window->display != nullptr)
        SetActive(window->display, e.event == SDL_WINDOWEVENT_FOCUS_GAINED);
      break;
    default:
      break;
  }
}

}  // namespace
}  // namespace vidzo::display

extern "C" {

uint32_t VidzoDispatchEvents(void) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return 0;
  uint32_t quit = 0;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        quit = 1;
        vidzo::display::QueueClose();
        break;
      case SDL_MOUSEMOTION:
        vidzo::display::Pointer(e.motion.x, e.motion.y);
        break;
      case SDL_MOUSEBUTTONUP:
        vidzo::display::Pointer(e.button.x, e.button.y);
        if (e.button.button == SDL_BUTTON_LEFT) ++vidzo::display::g_mouse.clicks[0];
        if (e.button.button == SDL_BUTTON_RIGHT) ++vidzo::display::g_mouse.clicks[1];
        break;
      case SDL_WINDOWEVENT:
        vidzo::display::HandleWindowEvent(e.window);
        break;
      case SDL_TEXTINPUT:
        vidzo::display::QueueText(e.text.text);
        break;
      case SDL_KEYDOWN: {
        const int code = vidzo::display::KeyDownCode(e.key.keysym, SDL_IsTextInputActive());
        if (code >= 0) VidzoQueueKey(static_cast<uint8_t>(code));
        break;
      }
      default:
        break;
    }
  }
  return quit;
}

int32_t VidzoTakeKey(void) {
  return VidzoTakeKeyEx(nullptr);
}

int32_t VidzoTakeKeyEx(uint32_t* close) {
  auto& q = vidzo::display::g_queue;
  if (close != nullptr) *close = 0;
  if (q.count == 0) return -1;
  const int32_t code = q.codes[0];
  if (close != nullptr) *close = q.close[0] ? 1 : 0;
  --q.count;
  std::memmove(q.codes, q.codes + 1, q.count);
  std::memmove(q.close, q.close + 1, q.count);
  return code;
}

uint32_t VidzoTakeClick(uint32_t right) {
  std::uint32_t& n = vidzo::display::g_mouse.clicks[right != 0 ? 1 : 0];
  if (n == 0) return 0;
  --n;
  return 1;
}

uint32_t VidzoPointer(int32_t* x, int32_t* y) {
  const auto& m = vidzo::display::g_mouse;
  const bool known = m.inside && m.x >= 0 && m.y >= 0;
  *x = known ? m.x : -1;
  *y = known ? m.y : -1;
  return known ? 1 : 0;
}

void VidzoSetPointer(int32_t x, int32_t y) {
  vidzo::display::Pointer(x, y);
}

void VidzoClearMouse(void) {
  vidzo::display::g_mouse = vidzo::display::Mouse{};
}

int32_t VidzoPollKey(void) {
  VidzoDispatchEvents();
  return VidzoTakeKey();
}

uint8_t VidzoWaitKey(void) {
  for (;;) {
    const int32_t code = VidzoPollKey();
    if (code >= 0) return static_cast<uint8_t>(code);
    std::this_thread::yield();
  }
}

uint32_t VidzoQueueKey(uint8_t code) {
  auto& q = vidzo::display::g_queue;
  if (q.count >= VIDZO_KEY_QUEUE_SIZE) return 0;
  q.close[q.count] = false;
  q.codes[q.count++] = code;
  return 1;
}

uint32_t VidzoKeysWaiting(void) {
  return vidzo::display::g_queue.count;
}

void VidzoClearKeys(void) {
  vidzo::display::g_queue.count = 0;
}

}  // extern "C"
