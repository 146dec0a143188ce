// Animation commands: 32 open .vdz animations, played as a whole onto the
// screen (ANIMATIONPLAY) or frame by frame onto the screen or into bitmaps,
// with their sound through the sound output. Frames decode into a picture
// of the animation's own, from which the changed rectangles are copied to
// the screen (clipped) or the target bitmap.
#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "playback/video.h"
#include "qelutil/qelutil.h"
#include "script/engine.h"
#include "script/families.h"
#include "script/screen.h"
#include "sound/sound.h"

namespace vidzoscript {
namespace {

constexpr uint32_t kEscape = 27;
constexpr uint32_t kIdleMs = 10;

// The file's name without folder and extension, at most 8 characters.
std::string ShortName(const std::string& file) {
  const size_t slash = file.find_last_of("/\\");
  std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  const size_t dot = base.find('.');
  if (dot != std::string::npos) base.resize(dot);
  if (base.size() > 8) base.resize(8);
  return base;
}

VidzoHandle* OpenFile(Engine& e, std::string name, int32_t flags) {
  if (HasExtension(name.c_str()) == nullptr) name += ".vdz";
  const std::string path = e.host().FileName(name, false);
  if (path.empty()) return nullptr;
  uint32_t open = ScreenOf(e).track_selection;
  if (flags & 1) open |= OPEN_NO_SKIP;
  if (flags & 2) open |= OPEN_PRELOAD;
  return VidzoOpen(path.c_str(), open, 0xFFFFFFFFu);
}

// Gives the animation its picture to decode into; false when that fails.
bool Attach(Animation& a) {
  VidzoHandle* h = a.handle;
  a.frame.assign(size_t(h->Width) * h->Height, 0);
  return h->Width != 0 && h->Height != 0 &&
         VidzoSetDestination(h, 0, 0, static_cast<int32_t>(h->Width), h->Height, a.frame.data(), 0) != 0;
}

Animation& NeedAnimation(Engine& e, int32_t handle) {
  Screen& s = ScreenOf(e);
  const int64_t slot = int64_t(handle) - kAnimationBase;
  if (slot < 0 || slot >= int64_t(kAnimationSlots) || s.animations[size_t(slot)].handle == nullptr)
    e.ErrorWithCommand(kBadAnimation);
  return s.animations[size_t(slot)];
}

Animation& AnimationParameter(Engine& e) {
  return NeedAnimation(e, e.Number());
}

// A free slot holding the opened file; -1 when none is free or the open
// fails.
int OpenSlot(Engine& e, const std::string& file, int32_t flags) {
  Screen& s = ScreenOf(e);
  size_t slot = 0;
  while (slot < s.animations.size() && s.animations[slot].handle != nullptr) ++slot;
  if (slot == s.animations.size()) return -1;
  VidzoHandle* h = OpenFile(e, file, flags);
  if (h == nullptr) return -1;
  Animation& a = s.animations[slot];
  a = Animation{};
  a.handle = h;
  a.name = ShortName(file);
  if (!Attach(a)) {
    VidzoClose(h);
    a = Animation{};
    return -1;
  }
  return static_cast<int>(slot);
}

void CloseSlot(Animation& a) {
  VidzoClose(a.handle);
  a = Animation{};
}

// Placement: -1 centres in the display; any other x is rounded down to a
// multiple of 4.
int64_t PlaceX(Engine& e, int64_t x, uint32_t width) {
  VidzoDisplayBuffer* d = e.host().Display();
  if (x == -1) return ((d != nullptr ? int64_t(d->Width) : 0) - int64_t(width)) / 2 - ScreenOf(e).origin_x;
  return x & ~int64_t(3);
}

int64_t PlaceY(Engine& e, int64_t y, uint32_t height) {
  VidzoDisplayBuffer* d = e.host().Display();
  if (y == -1) return ((d != nullptr ? int64_t(d->Height) : 0) - int64_t(height)) / 2 - ScreenOf(e).origin_y;
  return y;
}

bool FrameHasPalette(const VidzoHandle* h) {
  return h->CurrentFrame < h->TableRecords && h->FrameTypes != nullptr && (h->FrameTypes[h->CurrentFrame] & 1) != 0;
}

// The current frame's palette in the 0 to 63 range.
Palette FramePalette(const VidzoHandle* h) {
  Palette p;
  PaletteFrom8Bit(h->Palette, p.data());
  return p;
}

// Shows the decoded rectangles of the animation's picture placed at (x, y).
void ShowDecoded(Engine& e, Animation& a, int64_t x, int64_t y) {
  VidzoHandle* h = a.handle;
  while (VidzoNextDirtyRect(h, VIDZO_RECTS_BOUNDING) != 0) {
    PictureToScreen(e, a.frame.data(), h->Width, h->Height, x, y, h->LastRectLeft, h->LastRectTop,
                    h->LastRectWidth, h->LastRectHeight);
    a.last_drawn = true;
    a.last_left = static_cast<int32_t>(std::clamp<int64_t>(x + h->LastRectLeft, INT32_MIN / 2, INT32_MAX / 2));
    a.last_top = static_cast<int32_t>(std::clamp<int64_t>(y + h->LastRectTop, INT32_MIN / 2, INT32_MAX / 2));
    a.last_width = h->LastRectWidth;
    a.last_height = h->LastRectHeight;
  }
}

bool AtLastFrame(const VidzoHandle* h) {
  const bool read_failed = (h->ReadError & VDZ_READ_SHORT) != 0;
  return h->CurrentFrame + 1 == h->FrameCount || (read_failed && h->CurrentFrame + 1 > h->FrameCount);
}

// Waits until the next frame is due.
void WaitForFrame(Engine& e, VidzoHandle* h) {
  while (VidzoFrameNotDue(h) != 0 && e.host().KeepWaiting()) {
    e.host().Pump();
    e.host().Idle(std::min(VidzoFrameWaitMs(h), kIdleMs));
  }
}

// After the last frame the sound still queued plays out (a second at most
// beyond it), unless a key ended the play.
void PlayOut(Engine& e, VidzoHandle* h) {
  uint32_t left = VidzoSoundLeftMs(h);
  const uint32_t start = platform::TimeMs(), limit = left + 1000;
  while (left != 0 && platform::TimeMs() - start <= limit && e.host().KeepWaiting()) {
    e.host().Pump();
    e.host().Idle(std::min(left, kIdleMs));
    left = VidzoSoundLeftMs(h);
  }
}

void GoToFrame(Animation& a, int32_t frame) {
  VidzoHandle* h = a.handle;
  if (h->FrameCount == 0) return;
  const uint32_t target = static_cast<uint32_t>(std::clamp<int64_t>(frame, 1, h->FrameCount)) - 1;
  a.advance_pending = false;
  if (target == h->CurrentFrame) return;
  h->CurrentFrame = target;
  VidzoSeekFrame(h);
  VidzoPrepareFrame(h);
}

// --- Commands ----------------------------------------------------------------------

void AnimationOpen(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t flags = e.Number();
  const std::string file = e.Text();
  const int slot = OpenSlot(e, file, flags);
  e.SetVariable(var, slot < 0 ? 0 : kAnimationBase + slot);
}

void AnimationClose(Engine& e) {
  CloseSlot(AnimationParameter(e));
}

void AnimationTracks(Engine& e) {
  const int32_t mask = e.Number();
  ScreenOf(e).track_selection = (static_cast<uint32_t>(mask) & 127u) << 13;
}

// One frame of ANIMATIONADVANCE: onto the target bitmap or the screen.
void Advance(Engine& e, Animation& a, bool with_palette) {
  VidzoHandle* h = a.handle;
  if (a.last_drawn) HideCursorOver(e, a.last_left, a.last_top, a.last_width, a.last_height);
  if (a.advance_pending) {
    VidzoAdvanceFrame(h);
    a.advance_pending = false;
  }
  Screen& s = ScreenOf(e);
  if (a.target >= 0 && s.bitmaps[size_t(a.target)].used) {
    Bitmap& b = s.bitmaps[size_t(a.target)];
    VidzoDecodeFrame(h);
    if (with_palette) {
      if (FrameHasPalette(h)) {
        b.palette = std::make_unique<Palette>(FramePalette(h));
      } else {
        b.palette.reset();
      }
    }
    const uint32_t w = std::min(b.width, h->Width), rows = std::min(b.height, h->Height);
    for (uint32_t y = 0; y < rows; ++y)
      std::memcpy(b.pixels.data() + size_t(y) * b.width, a.frame.data() + size_t(y) * h->Width, w);
  } else {
    NeedDisplay(e);
    if (with_palette && h->PaletteChanged != 0) {
      const Palette p = FramePalette(h);
      if (p != s.palette) PutPalette(e, p.data());
    }
    VidzoDecodeFrame(h);
    ShowDecoded(e, a, a.x, a.y);
  }
  h->PaletteChanged = 0;
  if (AtLastFrame(h) && (h->HeaderFlags & VDZ_RING_FRAME) == 0) {
    a.advance_pending = true;
  } else {
    VidzoAdvanceFrame(h);
  }
}

void AnimationAdvance(Engine& e) {
  Advance(e, AnimationParameter(e), true);
}

void AnimationAdvanceNoPalette(Engine& e) {
  Advance(e, AnimationParameter(e), false);
}

void AnimationGoto(Engine& e) {
  Animation& a = AnimationParameter(e);
  const int32_t frame = e.Number();
  VidzoSoundOnOff(a.handle, 0);
  GoToFrame(a, frame);
  VidzoSoundOnOff(a.handle, 1);
}

void AnimationBackToStart(Engine& e) {
  GoToFrame(AnimationParameter(e), 1);
}

void AnimationDelay(Engine& e) {
  WaitForFrame(e, AnimationParameter(e).handle);
}

void AnimationStillDelay(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(VidzoFrameNotDue(AnimationParameter(e).handle)));
}

void AnimationFrames(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(AnimationParameter(e).handle->FrameCount));
}

void AnimationWidth(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(AnimationParameter(e).handle->Width));
}

void AnimationHeight(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(AnimationParameter(e).handle->Height));
}

void AnimationToScreen(Engine& e) {
  Animation& a = AnimationParameter(e);
  const int32_t x = e.Number(), y = e.Number();
  Screen& s = ScreenOf(e);
  a.x = static_cast<int32_t>(
      std::clamp<int64_t>(PlaceX(e, x, a.handle->Width) + s.origin_x, INT32_MIN / 2, INT32_MAX / 2));
  a.y = static_cast<int32_t>(
      std::clamp<int64_t>(PlaceY(e, y, a.handle->Height) + s.origin_y, INT32_MIN / 2, INT32_MAX / 2));
  a.target = -1;
}

void AnimationToBitmap(Engine& e) {
  Animation& a = AnimationParameter(e);
  Bitmap& b = NeedBitmap(e, e.Number());
  a.target = static_cast<int>(&b - ScreenOf(e).bitmaps.data());
}

void AnimationList(Engine& e) {
  e.TrimParameters();
  std::vector<std::string> lines;
  const Screen& s = ScreenOf(e);
  for (size_t i = 0; i < s.animations.size(); ++i) {
    const Animation& a = s.animations[i];
    if (a.handle == nullptr) continue;
    lines.push_back("Number: " + std::to_string(kAnimationBase + int32_t(i)) + "  Name: " + a.name +
                    "  Width: " + std::to_string(a.handle->Width) + "  Height: " + std::to_string(a.handle->Height));
  }
  e.WriteList(lines);
}

void AnimationLoadToBitmap(Engine& e) {
  const std::string file = e.Text(true);
  std::vector<std::string> vars;
  while (e.MoreNames()) vars.push_back(e.VariableName());
  if (vars.empty()) e.ErrorWithCommand(kNeedVariable);
  Animation a;
  a.handle = OpenFile(e, file, 0);
  if (a.handle == nullptr || !Attach(a)) {
    if (a.handle != nullptr) VidzoClose(a.handle);
    for (const std::string& var : vars) e.SetVariable(var, 0);
    return;
  }
  VidzoHandle* h = a.handle;
  Screen& s = ScreenOf(e);
  const int decoding = AllocBitmap(e, h->Width, h->Height);
  for (size_t i = 0; i < vars.size(); ++i) {
    const bool last = i + 1 == vars.size();
    const int slot = last ? decoding : AllocBitmap(e, h->Width, h->Height);
    VidzoDecodeFrame(h);
    if (slot >= 0) {
      Bitmap& b = s.bitmaps[size_t(slot)];
      std::memcpy(b.pixels.data(), a.frame.data(), a.frame.size());
      if (FrameHasPalette(h)) b.palette = std::make_unique<Palette>(FramePalette(h));
    }
    if (!last) VidzoAdvanceFrame(h);
    e.SetVariable(vars[i], slot < 0 ? 0 : kBitmapBase + slot);
  }
  VidzoClose(h);
}

// ANIMATIONPLAY ----------------------------------------------------------------------

struct Saved {
  bool used = false;
  int64_t x = 0, y = 0;
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  Palette palette{};
};

void SaveBackground(Engine& e, Saved& saved, int64_t x, int64_t y, uint32_t width, uint32_t height) {
  VidzoDisplayBuffer& d = NeedDisplay(e);
  HideCursor(e);
  saved.used = true;
  saved.x = x;
  saved.y = y;
  saved.width = width;
  saved.height = height;
  saved.pixels.assign(size_t(width) * height, 0);
  saved.palette = ScreenOf(e).palette;
  for (uint32_t row = 0; row < height; ++row) {
    const int64_t sy = y + row;
    if (sy < 0 || sy >= d.Height) continue;
    for (uint32_t col = 0; col < width; ++col) {
      const int64_t sx = x + col;
      if (sx >= 0 && sx < d.Width) saved.pixels[size_t(row) * width + col] = d.Pixels[size_t(sy) * d.Pitch + size_t(sx)];
    }
  }
}

void AnimationPlay(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t x = e.Number(), y = e.Number();
  int32_t count = e.Number();
  int32_t flags = e.Number();
  const std::string name = e.Text();
  const bool draw = (flags & 1024) == 0;
  if (draw) NeedDisplay(e);
  if (count == 0) {
    e.SetVariable(var, 1);
    return;
  }
  Screen& s = ScreenOf(e);
  Animation own;
  Animation* a = nullptr;
  const int64_t handle = IsNumeric(name) ? ToNumber(name) : -1;
  const int64_t slot = handle - kAnimationBase;
  const bool opened_here = !(slot >= 0 && slot < int64_t(kAnimationSlots) && s.animations[size_t(slot)].handle);
  if (!opened_here) {
    a = &s.animations[size_t(slot)];
    if (a->advance_pending) {
      VidzoAdvanceFrame(a->handle);
      a->advance_pending = false;
    }
  } else {
    own.handle = OpenFile(e, name, flags);
    if (own.handle == nullptr || !Attach(own)) {
      if (own.handle != nullptr) VidzoClose(own.handle);
      e.SetVariable(var, 0);
      return;
    }
    a = &own;
  }
  VidzoHandle* h = a->handle;
  // Positions: the origin first, then the placement.
  const int64_t px = PlaceX(e, x == -1 ? -1 : int64_t(x) + s.origin_x, h->Width) + (x == -1 ? s.origin_x : 0);
  const int64_t py = PlaceY(e, y == -1 ? -1 : int64_t(y) + s.origin_y, h->Height) + (y == -1 ? s.origin_y : 0);
  if (flags & 256) flags |= 8 | 16;
  Saved saved;
  if (draw && (flags & 16)) SaveBackground(e, saved, px, py, h->Width, h->Height);
  std::vector<uint8_t> merged;
  if (draw && (flags & 256)) merged.resize(a->frame.size());
  bool fade_pending = draw && (flags & 32) != 0;
  if (fade_pending) {
    const Palette black{};
    PutPalette(e, black.data());
  }
  bool escaped = false;
  bool done = h->FrameCount == 0;
  while (!done && e.host().KeepWaiting()) {
    e.host().Pump();
    if (e.autopause() && e.host().WindowExists() && !e.host().WindowHasFocus()) {
      e.host().Sleep();
      continue;
    }
    bool fade_now = false;
    if (draw && h->PaletteChanged != 0 && (flags & 512) == 0) {
      const Palette p = FramePalette(h);
      if (fade_pending) {
        fade_now = true;
      } else if (p != s.palette) {
        PutPalette(e, p.data());
      }
    }
    const Palette frame_palette = FramePalette(h);
    h->PaletteChanged = 0;
    VidzoDecodeFrame(h);
    if (draw) {
      if (flags & 256) {
        // The picture merged over the saved background: pixels of the
        // transparent colour show the background.
        for (size_t i = 0; i < merged.size(); ++i)
          merged[i] = a->frame[i] == s.trans_colour ? saved.pixels[i] : a->frame[i];
        while (VidzoNextDirtyRect(h, VIDZO_RECTS_BOUNDING) != 0) {
        }
        PictureToScreen(e, merged.data(), h->Width, h->Height, px, py, 0, 0, h->Width, h->Height);
      } else {
        ShowDecoded(e, *a, px, py);
      }
    }
    if (fade_now) {
      FadeIn(e, frame_palette.data());
      fade_pending = false;
    }
    if (flags & 128) {
      bool close = false;
      const int32_t key = e.host().TakeKey(close);
      if (key == int32_t(kEscape) && !close) {
        escaped = true;
        break;
      }
    }
    const bool read_failed = (h->ReadError & VDZ_READ_SHORT) != 0 && h->CurrentFrame + 1 > h->FrameCount;
    if (AtLastFrame(h)) {
      if (count == 1 || read_failed) break;
      --count;
    }
    VidzoAdvanceFrame(h);
    if ((flags & 4) == 0) WaitForFrame(e, h);
  }
  if (draw && (flags & 64)) FadeOut(e);
  if (saved.used && e.host().Display() != nullptr) {
    PutPalette(e, saved.palette.data());
    PictureToScreen(e, saved.pixels.data(), saved.width, saved.height, saved.x, saved.y, 0, 0, saved.width,
                    saved.height);
  }
  if (opened_here) {
    if (!escaped) PlayOut(e, h);
    VidzoClose(h);
  }
  e.SetVariable(var, 1);
}

}  // namespace

void RegisterAnimationCommands(CommandTable& table) {
  table.Set("ANIMATIONOPEN", AnimationOpen);
  table.Set("ANIMATIONCLOSE", AnimationClose);
  table.Set("ANIMATIONTRACKS", AnimationTracks);
  table.Set("ANIMATIONPLAY", AnimationPlay);
  table.Set("ANIMATIONADVANCE", AnimationAdvance);
  table.Set("ANIMATIONADVANCENOPALETTE", AnimationAdvanceNoPalette);
  table.Set("ANIMATIONGOTO", AnimationGoto);
  table.Set("ANIMATIONBACKTOSTART", AnimationBackToStart);
  table.Set("ANIMATIONDELAY", AnimationDelay);
  table.Set("ANIMATIONSTILLDELAY", AnimationStillDelay);
  table.Set("ANIMATIONFRAMES", AnimationFrames);
  table.Set("ANIMATIONWIDTH", AnimationWidth);
  table.Set("ANIMATIONHEIGHT", AnimationHeight);
  table.Set("ANIMATIONTOSCREEN", AnimationToScreen);
  table.Set("ANIMATIONTOBITMAP", AnimationToBitmap);
  table.Set("ANIMATIONLOADTOBITMAP", AnimationLoadToBitmap);
  table.Set("ANIMATIONLIST", AnimationList);
}

}  // namespace vidzoscript
