#include "platform/status_window_sdl.h"

#include <SDL.h>

#include <vector>

#include "platform/glyphs.h"

namespace platform {
namespace {

// The window is 32 caption buttons wide and 7 captions high, as a status
// window of the toolkit always was.
constexpr int kCaptionButton = 18;
constexpr int kCaptionHeight = 22;

enum Colour : uint8_t { kGrey = 0, kBlack = 1, kWhite = 2, kShadow = 3 };
constexpr uint8_t kRgb[4][3] = {{192, 192, 192}, {0, 0, 0}, {255, 255, 255}, {128, 128, 128}};

bool Inside(int x, int y, int rx, int ry, int rw, int rh) {
  return x >= rx && x < rx + rw && y >= ry && y < ry + rh;
}

}  // namespace

struct StatusWindowSdl::Impl {
  SDL_Window* window = nullptr;
  std::vector<uint8_t> pixels;
  std::string status, subtitle, button = "&Cancel";
  std::string question;  // while a question is asked
  bool question_default_no = true;
  bool minimised = false;
  bool pressed = false;
};

std::unique_ptr<StatusWindowSdl> StatusWindowSdl::Open(const std::string& title) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  std::unique_ptr<StatusWindowSdl> w(new StatusWindowSdl);
  w->impl_ = std::make_unique<Impl>();
  w->width_ = 32 * kCaptionButton;
  w->height_ = 7 * kCaptionHeight;
  w->impl_->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      w->width_, w->height_, SDL_WINDOW_HIDDEN);
  if (w->impl_->window == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  w->impl_->pixels.assign(static_cast<size_t>(w->width_) * w->height_, kGrey);
  return w;
}

StatusWindowSdl::~StatusWindowSdl() {
  // SDL's video stays started for the rest of the process: stopping it
  // unloads the window system's libraries with what they keep.
  if (impl_ != nullptr && impl_->window != nullptr) SDL_DestroyWindow(impl_->window);
}

void StatusWindowSdl::Show() {
  if (impl_->minimised) return;
  if (!Visible()) SDL_ShowWindow(impl_->window);
  SDL_RaiseWindow(impl_->window);
  Draw();
}

bool StatusWindowSdl::Visible() const {
  return (SDL_GetWindowFlags(impl_->window) & SDL_WINDOW_SHOWN) != 0 && !impl_->minimised;
}

uint32_t StatusWindowSdl::Id() const {
  return SDL_GetWindowID(impl_->window);
}

void StatusWindowSdl::SetTexts(const std::string& status, const std::string& subtitle) {
  impl_->status = status;
  impl_->subtitle = subtitle;
  Draw();
}

void StatusWindowSdl::SetButton(const std::string& label) {
  impl_->button = label;
  Draw();
}

void StatusWindowSdl::ButtonRect(int& x, int& y, int& w, int& h) const {
  x = width_ * 7 / 16;
  y = height_ * 8 / 21;
  w = width_ / 8;
  h = height_ / 5;
}

void StatusWindowSdl::AnswerRects(int& yes_x, int& no_x, int& y, int& w, int& h) const {
  int x = 0;
  ButtonRect(x, y, w, h);
  yes_x = width_ / 2 - w - 6;
  no_x = width_ / 2 + 6;
}

void StatusWindowSdl::Draw() {
  if (!Visible()) return;
  const GlyphFont& font = BuiltInGlyphs();
  std::vector<uint8_t>& p = impl_->pixels;
  std::fill(p.begin(), p.end(), kGrey);
  const GlyphCanvas canvas{p.data(), width_, width_, height_};
  auto fill = [&](int x, int y, int w, int h, uint8_t c) {
    for (int row = std::max(y, 0); row < std::min(y + h, height_); ++row)
      for (int col = std::max(x, 0); col < std::min(x + w, width_); ++col) p[size_t(row) * width_ + col] = c;
  };
  // Text centred on a baseline (the font's baseline is 4 rows above its foot).
  auto centred = [&](const std::string& text, int baseline) {
    const int64_t x = (width_ - int64_t(text.size()) * font.width) / 2;
    DrawGlyphText(font, canvas, x, baseline - int(font.height) + 4, text, kBlack, kGrey, true, false);
  };
  auto button = [&](int x, int y, int w, int h, const std::string& label, bool is_default) {
    fill(x, y, w, h, is_default ? kBlack : kShadow);
    fill(x + 1, y + 1, w - 2, h - 2, kWhite);
    fill(x + 2, y + 2, w - 3, h - 3, kShadow);
    fill(x + 2, y + 2, w - 4, h - 4, kGrey);
    std::string shown;
    int key = -1;
    for (size_t i = 0; i < label.size(); ++i) {
      if (label[i] == '&' && i + 1 < label.size()) {
        key = int(shown.size());
        continue;
      }
      shown += label[i];
    }
    const int tx = x + (w - int(shown.size() * font.width)) / 2, ty = y + (h - int(font.height)) / 2;
    DrawGlyphText(font, canvas, tx, ty, shown, kBlack, kGrey, true, false);
    if (key >= 0) fill(tx + key * int(font.width), ty + int(font.height) - 2, int(font.width), 1, kBlack);
  };
  int bx = 0, by = 0, bw = 0, bh = 0;
  ButtonRect(bx, by, bw, bh);
  if (impl_->question.empty()) {
    centred(impl_->status, height_ * 8 / 27);
    button(bx, by, bw, bh, impl_->button, true);
  } else {
    centred(impl_->question, height_ * 8 / 27);
    int yes_x = 0, no_x = 0;
    AnswerRects(yes_x, no_x, by, bw, bh);
    button(yes_x, by, bw, bh, "&Yes", !impl_->question_default_no);
    button(no_x, by, bw, bh, "&No", impl_->question_default_no);
  }
  centred(impl_->subtitle, height_ * 11 / 12);

  SDL_Surface* surface = SDL_GetWindowSurface(impl_->window);
  if (surface == nullptr) return;
  uint32_t mapped[4];
  for (int i = 0; i < 4; ++i) mapped[i] = SDL_MapRGB(surface->format, kRgb[i][0], kRgb[i][1], kRgb[i][2]);
  if (SDL_LockSurface(surface) != 0) return;
  const int bytes = surface->format->BytesPerPixel;
  for (int row = 0; row < std::min(height_, surface->h); ++row) {
    uint8_t* out = static_cast<uint8_t*>(surface->pixels) + size_t(row) * surface->pitch;
    for (int col = 0; col < std::min(width_, surface->w); ++col) {
      const uint32_t v = mapped[p[size_t(row) * width_ + col]];
      if (bytes == 4) {
        reinterpret_cast<uint32_t*>(out)[col] = v;
      } else if (bytes == 2) {
        reinterpret_cast<uint16_t*>(out)[col] = static_cast<uint16_t>(v);
      } else {
        for (int b = 0; b < bytes; ++b) out[col * bytes + b] = static_cast<uint8_t>(v >> (8 * b));
      }
    }
  }
  SDL_UnlockSurface(surface);
  SDL_UpdateWindowSurface(impl_->window);
}

StatusWindowSdl::Event StatusWindowSdl::Poll() {
  SDL_Event e;
  const uint32_t id = Id();
  int bx = 0, by = 0, bw = 0, bh = 0;
  ButtonRect(bx, by, bw, bh);
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        return Event::kClose;
      case SDL_WINDOWEVENT:
        if (e.window.windowID != id) break;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) return Event::kClose;
        if (e.window.event == SDL_WINDOWEVENT_MINIMIZED) {
          impl_->minimised = true;
          return Event::kMinimised;
        }
        if (e.window.event == SDL_WINDOWEVENT_RESTORED && impl_->minimised) {
          impl_->minimised = false;
          Draw();
          return Event::kRestored;
        }
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN) Draw();
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT)
          impl_->pressed = Inside(e.button.x, e.button.y, bx, by, bw, bh);
        break;
      case SDL_MOUSEBUTTONUP:
        if (e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT && impl_->pressed) {
          impl_->pressed = false;
          if (Inside(e.button.x, e.button.y, bx, by, bw, bh)) return Event::kButton;
        }
        break;
      case SDL_KEYDOWN: {
        if (e.key.windowID != id) break;
        const SDL_Keycode k = e.key.keysym.sym;
        if (k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_SPACE || k == SDLK_c || k == SDLK_d)
          return Event::kButton;
        if (k == SDLK_ESCAPE) return Event::kClose;
        break;
      }
      default:
        break;
    }
  }
  return Event::kNone;
}

bool StatusWindowSdl::Ask(const std::string& question, bool default_no) {
  impl_->question = question;
  impl_->question_default_no = default_no;
  if (!Visible() && !impl_->minimised) SDL_ShowWindow(impl_->window);
  if (impl_->minimised) {
    SDL_RestoreWindow(impl_->window);
    impl_->minimised = false;
  }
  SDL_RaiseWindow(impl_->window);
  Draw();
  int yes_x = 0, no_x = 0, y = 0, w = 0, h = 0;
  AnswerRects(yes_x, no_x, y, w, h);
  const uint32_t id = Id();
  int pressed = 0;  // 1 Yes, 2 No
  int answer = 0;
  while (answer == 0) {
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, 100)) continue;
    if (e.type == SDL_QUIT) answer = 2;
    if (e.type == SDL_WINDOWEVENT && e.window.windowID == id) {
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) answer = 2;
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED) Draw();
    }
    if (e.type == SDL_MOUSEBUTTONDOWN && e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT) {
      pressed = Inside(e.button.x, e.button.y, yes_x, y, w, h)  ? 1
                : Inside(e.button.x, e.button.y, no_x, y, w, h) ? 2
                                                                : 0;
    }
    if (e.type == SDL_MOUSEBUTTONUP && e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT) {
      if (pressed == 1 && Inside(e.button.x, e.button.y, yes_x, y, w, h)) answer = 1;
      if (pressed == 2 && Inside(e.button.x, e.button.y, no_x, y, w, h)) answer = 2;
      pressed = 0;
    }
    if (e.type == SDL_KEYDOWN && e.key.windowID == id) {
      const SDL_Keycode k = e.key.keysym.sym;
      if (k == SDLK_y) answer = 1;
      if (k == SDLK_n || k == SDLK_ESCAPE) answer = 2;
      if (k == SDLK_RETURN || k == SDLK_KP_ENTER) answer = default_no ? 2 : 1;
    }
  }
  impl_->question.clear();
  Draw();
  return answer == 1;
}

}  // namespace platform
