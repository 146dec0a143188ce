// SDL events injected into the player window become the player's key codes.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/key_queue.h"
#include "display_fixture.h"

namespace {

class Keys : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display_test::StartDummyVideo());
    window_ = VidzoWindowCreate("Keys", 0);
    ASSERT_NE(window_, nullptr);
    id_ = SDL_GetWindowID(static_cast<SDL_Window*>(VidzoWindowHandle(window_)));
    VidzoDispatchEvents();
    VidzoClearKeys();
  }
  void TearDown() override {
    VidzoWindowDestroy(window_);
    VidzoClearKeys();
    VidzoVideoStop();
  }
  void KeyDown(SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id_;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    e.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  void Text(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = id_;
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  void WindowEvent(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id_;
    e.window.event = event;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  // Dispatches and takes every waiting code.
  std::vector<int> Codes() {
    VidzoDispatchEvents();
    std::vector<int> codes;
    for (int32_t c; (c = VidzoTakeKey()) >= 0;) codes.push_back(c);
    return codes;
  }
  VidzoWindow* window_ = nullptr;
  Uint32 id_ = 0;
};

TEST_F(Keys, CharactersAndEditingKeys) {
  ASSERT_TRUE(SDL_IsTextInputActive());
  Text("a. Z");
  Text("\xC3\xA9");      // e acute: 233
  Text("\xE2\x82\xAC");  // the euro sign has no 8-bit code
  KeyDown(SDLK_RETURN);
  KeyDown(SDLK_KP_ENTER);
  KeyDown(SDLK_ESCAPE);
  KeyDown(SDLK_BACKSPACE);
  KeyDown(SDLK_TAB);
  KeyDown(SDLK_TAB, KMOD_LSHIFT);
  KeyDown(SDLK_c, KMOD_LCTRL);
  KeyDown(SDLK_a);  // its character comes as text input
  KeyDown(SDLK_SPACE);
  EXPECT_EQ(Codes(), (std::vector<int>{'a', '.', ' ', 'Z', 233, 13, 13, 27, 8, 9, 137, 3}));
}

TEST_F(Keys, PrintableKeysWithoutTextInput) {
  SDL_StopTextInput();
  KeyDown(SDLK_a);
  KeyDown(SDLK_q, KMOD_RSHIFT);
  KeyDown(SDLK_PERIOD);
  KeyDown(SDLK_SPACE);
  EXPECT_EQ(Codes(), (std::vector<int>{'a', 'Q', '.', ' '}));
  SDL_StartTextInput();
}

TEST_F(Keys, FunctionKeysWithShiftCtrlAndAlt) {
  std::vector<int> expected;
  for (int f = 0; f < 10; ++f) {
    const SDL_Keycode key = SDLK_F1 + f;
    KeyDown(key);
    KeyDown(key, KMOD_LSHIFT);
    KeyDown(key, KMOD_RCTRL);
    KeyDown(key, KMOD_LSHIFT | KMOD_LCTRL);  // Shift wins over Ctrl
    KeyDown(key, KMOD_LALT);
    KeyDown(key, KMOD_LALT | KMOD_LSHIFT);  // Alt wins
    expected.insert(expected.end(),
                    {208 + f, 218 + f, 228 + f, 218 + f, f == 9 ? 247 : 238 + f, f == 9 ? 247 : 238 + f});
  }
  KeyDown(SDLK_F11);
  KeyDown(SDLK_F12, KMOD_LALT);
  EXPECT_EQ(Codes(), expected);
}

TEST_F(Keys, NavigationKeysAndClose) {
  const SDL_Keycode keys[] = {SDLK_PAGEUP, SDLK_PAGEDOWN, SDLK_END,  SDLK_HOME,   SDLK_LEFT,
                              SDLK_UP,     SDLK_RIGHT,    SDLK_DOWN, SDLK_INSERT, SDLK_DELETE};
  for (SDL_Keycode k : keys) KeyDown(k);
  KeyDown(SDLK_LEFT, KMOD_LALT);  // Alt with a key goes to the system
  KeyDown(SDLK_LSHIFT);           // a modifier alone gives nothing
  WindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(Codes(), (std::vector<int>{161, 162, 163, 164, 165, 166, 167, 168, 173, 174, 241}));
}

TEST_F(Keys, QuitIsACloseRequest) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  EXPECT_EQ(VidzoDispatchEvents(), 1u);
  EXPECT_EQ(VidzoTakeKey(), 241);
  EXPECT_EQ(VidzoDispatchEvents(), 0u);
  EXPECT_EQ(VidzoTakeKey(), -1);
}

TEST_F(Keys, AFullQueueDropsThe65thCode) {
  std::string text;
  for (int i = 0; i < 70; ++i) text += static_cast<char>('0' + i % 64);
  for (size_t at = 0; at < text.size(); at += 30) Text(text.substr(at, 30).c_str());  // 31 bytes per event
  KeyDown(SDLK_ESCAPE);
  VidzoDispatchEvents();
  EXPECT_EQ(VidzoKeysWaiting(), 64u);
  EXPECT_EQ(VidzoQueueKey(1), 0u);
  // The first 64 in order; the rest and the Esc are gone.
  for (int i = 0; i < 64; ++i) ASSERT_EQ(VidzoTakeKey(), text[i]) << i;
  EXPECT_EQ(VidzoTakeKey(), -1);
  EXPECT_EQ(VidzoQueueKey(200), 1u);
  EXPECT_EQ(VidzoPollKey(), 200);
  EXPECT_EQ(VidzoPollKey(), -1);
}

TEST_F(Keys, WaitKeyReturnsTheNextCode) {
  Text("x");
  EXPECT_EQ(VidzoWaitKey(), 'x');
  EXPECT_EQ(VidzoKeysWaiting(), 0u);
}

}  // namespace
