// Input and mouse commands: keys and clicks by name, typed lines, question
// boxes, and the named mouse areas with their levels.
#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "script/engine.h"
#include "script/families.h"
#include "script/screen.h"

namespace vidzoscript {
namespace {

constexpr uint32_t kWaitMs = 5;

}  // namespace

// The name of a key code (closing the window gives the one-character text
// of its code).
std::string KeyName(int32_t code, bool close) {
  if (close) return std::string(1, static_cast<char>(code));
  switch (code) {
    case 8:
    case 127:
      return "BACKSPACE";
    case 9:
      return "TAB";
    case 10:
    case 13:
      return "ENTER";
    case 27:
      return "ESCAPE";
    case 32:
      return "SPACE";
    case 137:
      return "BACKTAB";
    case 161:
      return "PAGEUP";
    case 162:
      return "PAGEDOWN";
    case 163:
      return "END";
    case 164:
      return "HOME";
    case 165:
      return "LEFT";
    case 166:
      return "UP";
    case 167:
      return "RIGHT";
    case 168:
      return "DOWN";
    case 173:
      return "INSERT";
    case 174:
      return "DELETE";
    default:
      break;
  }
  if (code >= 208 && code <= 217) return "F" + std::to_string(code - 207);
  if (code >= 218 && code <= 227) return "SHIFT F" + std::to_string(code - 217);
  if (code >= 228 && code <= 237) return "CONTROL F" + std::to_string(code - 227);
  if (code >= 238 && code <= 247) return "ALT F" + std::to_string(code - 237);
  return std::string(1, static_cast<char>(code));
}

namespace {

// Waits for a key or a click (INPUTCHAR, INPUTCHARORDELAY); the name.
std::string WaitForInput(Engine& e, bool timed, uint32_t milliseconds) {
  const uint32_t start = platform::TimeMs();
  for (;;) {
    e.host().Pump();
    bool close = false;
    const int32_t key = e.host().TakeKey(close);
    if (key >= 0) return KeyName(key, close);
    if (MouseAvailable(e) && e.host().Display() != nullptr) {
      UpdateCursor(e);
      if (e.host().TakeClick(false)) {
        const int area = AreaUnderPointer(e);
        return area >= 0 ? ScreenOf(e).areas[size_t(area)].name : std::string("LEFT MOUSE");
      }
      if (e.host().TakeClick(true)) return "RIGHT MOUSE";
    }
    if (timed && platform::TimeMs() - start >= milliseconds) return "DELAY";
    if (!e.host().KeepWaiting()) return timed ? "DELAY" : "ESCAPE";
    e.host().Idle(kWaitMs);
  }
}

void InputChar(Engine& e) {
  const std::string var = e.VariableName();
  NeedDisplay(e);
  e.SetVariable(var, WaitForInput(e, false, 0));
}

void InputCharOrDelay(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t ms = e.Number();
  NeedDisplay(e);
  e.SetVariable(var, WaitForInput(e, true, static_cast<uint32_t>(std::max(ms, 0))));
}

// Reads a line at the text position, echoing it.
std::string ReadLine(Engine& e, int32_t max_length) {
  std::string typed;
  for (;;) {
    e.host().Pump();
    bool close = false;
    const int32_t key = e.host().TakeKey(close);
    if (key < 0) {
      if (!e.host().KeepWaiting()) {
        typed.clear();
        break;
      }
      if (MouseAvailable(e)) UpdateCursor(e);
      e.host().Idle(kWaitMs);
      continue;
    }
    if (close) {
      // The window is being closed: the input is abandoned.
      typed.clear();
      break;
    }
    if (key == 8) {
      if (!typed.empty()) {
        typed.pop_back();
        WriteText(e, "\b");
      }
    } else if (key == 13 && !typed.empty()) {
      break;
    } else if (key == 27 || key == 13) {
      typed.clear();
      WriteText(e, typed);
      break;
    } else if (key > 31 && int64_t(typed.size()) < max_length) {
      typed += static_cast<char>(key);
      WriteText(e, std::string(1, static_cast<char>(key)));
    }
  }
  WriteText(e, "\n");
  return typed;
}

void InputStr(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t max_length = e.Number();
  const std::string prompt = e.Text();
  NeedDisplay(e);
  WriteText(e, prompt);
  e.SetVariable(var, ReadLine(e, max_length));
}

void InputStrWin(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t x = e.Number(), y = e.Number();
  // A box wider than any display is not drawn wider: the length is limited.
  const int32_t max_length = std::clamp(e.Number(), 0, 1024);
  const std::string prompt = e.Text();
  VidzoDisplayBuffer& d = NeedDisplay(e);
  Screen& s = ScreenOf(e);
  const int64_t w = s.font.width, h = s.font.height;
  const int64_t length = std::max<int64_t>(max_length, int64_t(prompt.size()));
  const int64_t box_w = (length + 4) * w, box_h = 6 * h;
  if (box_w * box_h > int64_t(VDZ_MAX_PIXELS)) return;
  int64_t bx = x == -1 ? (int64_t(d.Width) - box_w) / 2 : ((int64_t(x) + s.origin_x) & ~int64_t(3));
  int64_t by = y == -1 ? (int64_t(d.Height) - box_h) / 2 : int64_t(y) + s.origin_y;
  bx = std::clamp<int64_t>(bx, -box_w, d.Width);
  by = std::clamp<int64_t>(by, -box_h, d.Height);
  HideCursor(e);
  // The screen under the box, kept to be put back.
  Bitmap saved;
  saved.width = static_cast<uint32_t>(box_w);
  saved.height = static_cast<uint32_t>(box_h);
  saved.pixels.assign(size_t(box_w * box_h), 0);
  const Canvas screen = CanvasOf(d);
  auto copy = [&](bool to_screen) {
    for (int64_t row = 0; row < box_h; ++row) {
      const int64_t sy = by + row;
      if (sy < 0 || sy >= screen.height) continue;
      for (int64_t col = 0; col < box_w; ++col) {
        const int64_t sx = bx + col;
        if (sx < 0 || sx >= screen.width) continue;
        uint8_t& on_screen = screen.pixels[size_t(sy) * screen.pitch + size_t(sx)];
        uint8_t& kept = saved.pixels[size_t(row * box_w + col)];
        if (to_screen) {
          on_screen = kept;
        } else {
          kept = on_screen;
        }
      }
    }
  };
  copy(false);
  Bitmap box;
  box.width = saved.width;
  box.height = saved.height;
  box.pixels.assign(saved.pixels.size(), s.back_colour);
  const Canvas c = CanvasOf(box);
  auto outline = [&](int64_t ox, int64_t oy, int64_t ow, int64_t oh) {
    DrawLine(c, ox, oy, ox + ow, oy, s.text_colour);
    DrawLine(c, ox + ow, oy, ox + ow, oy + oh, s.text_colour);
    DrawLine(c, ox + ow, oy + oh, ox, oy + oh, s.text_colour);
    DrawLine(c, ox, oy + oh, ox, oy, s.text_colour);
  };
  outline(1, 1, box_w - 3, box_h - 3);
  DrawGlyphs(e, c, (box_w - int64_t(prompt.size()) * w) / 2, 3 * h / 2, prompt);
  const int64_t g = (box_w - int64_t(max_length) * w) / 2;
  outline(g - w / 2, 4 * h - 4, (int64_t(max_length) + 1) * w, h + 4);
  // The box onto the screen.
  std::swap(saved.pixels, box.pixels);
  copy(true);
  std::swap(saved.pixels, box.pixels);
  ShowRect(e, static_cast<int32_t>(bx), static_cast<int32_t>(by), box_w, box_h);
  const int32_t old_x = s.text_x, old_y = s.text_y;
  s.text_x = static_cast<int32_t>(bx + g);
  s.text_y = static_cast<int32_t>(by + 4 * h);
  const std::string typed = ReadLine(e, max_length);
  HideCursor(e);
  if (e.host().Display() != nullptr) {
    copy(true);
    ShowRect(e, static_cast<int32_t>(bx), static_cast<int32_t>(by), box_w, box_h);
  }
  s.text_x = old_x;
  s.text_y = old_y;
  e.SetVariable(var, typed);
}

void InputMsgWin(Engine& e) {
  const std::string var = e.VariableName();
  (void)e.Number();
  (void)e.Number();
  const int32_t flags = e.Number();
  const std::string text = e.Text();
  const bool warn = (flags & 2) != 0, ask = (flags & 12) != 0;
  const AskButtons buttons = !warn ? (ask ? AskButtons::kYesNo : AskButtons::kOk)
                                   : (ask ? AskButtons::kYesNoCancel : AskButtons::kOkCancel);
  HideCursor(e);
  e.SetVariable(var, e.host().Ask(text, ScreenOf(e).settings.title, buttons));
}

// --- Mouse -----------------------------------------------------------------------

void MouseAdd(Engine& e) {
  std::string name = e.Text(true);
  const int32_t x = e.Number(), y = e.Number(), w = e.Number(), h = e.Number(), bmp = e.Number();
  Screen& s = ScreenOf(e);
  int bitmap = -1;
  if (bmp != 0) {
    NeedBitmap(e, bmp);
    bitmap = bmp - kBitmapBase;
  }
  if (s.areas.size() >= kMouseAreas) e.ErrorWithCommand(kNoMouseArea);
  if (name.size() > kMouseAreaName) name.resize(kMouseAreaName);
  MouseArea a;
  a.name = name;
  a.left = static_cast<int32_t>(std::clamp<int64_t>(int64_t(x) + s.origin_x, INT32_MIN / 2, INT32_MAX / 2));
  a.top = static_cast<int32_t>(std::clamp<int64_t>(int64_t(y) + s.origin_y, INT32_MIN / 2, INT32_MAX / 2));
  a.right = static_cast<int32_t>(std::clamp<int64_t>(int64_t(a.left) + w, INT32_MIN / 2, INT32_MAX / 2));
  a.bottom = static_cast<int32_t>(std::clamp<int64_t>(int64_t(a.top) + h, INT32_MIN / 2, INT32_MAX / 2));
  a.bitmap = bitmap;
  s.areas.push_back(a);
  UpdateCursor(e);
}

void MouseRemove(Engine& e) {
  const std::string name = e.Text(true);
  Screen& s = ScreenOf(e);
  for (size_t i = s.areas.size(); i > s.area_base; --i) {
    if (s.areas[i - 1].name == name) {
      s.areas.erase(s.areas.begin() + static_cast<std::ptrdiff_t>(i - 1));
      break;
    }
  }
  UpdateCursor(e);
}

void MouseRemoveAll(Engine& e) {
  e.TrimParameters();
  Screen& s = ScreenOf(e);
  s.areas.resize(s.area_base);
  UpdateCursor(e);
}

void MousePushAndRemoveAll(Engine& e) {
  e.TrimParameters();
  Screen& s = ScreenOf(e);
  if (s.levels.size() >= kMouseLevels) e.ErrorWithCommand(kMouseLevelsFull);
  s.levels.emplace_back(s.areas.size(), s.area_base);
  s.area_base = s.areas.size();
  UpdateCursor(e);
}

void MousePop(Engine& e) {
  e.TrimParameters();
  Screen& s = ScreenOf(e);
  if (s.levels.empty()) return;
  const auto [length, base] = s.levels.back();
  s.levels.pop_back();
  s.areas.resize(std::min(length, s.areas.size()));
  s.area_base = std::min(base, s.areas.size());
  UpdateCursor(e);
}

void MouseArea_(Engine& e) {
  const std::string var = e.VariableName();
  const int area = AreaUnderPointer(e);
  e.SetVariable(var, area >= 0 ? ScreenOf(e).areas[size_t(area)].name : std::string());
}

void MouseX(Engine& e) {
  const std::string var = e.VariableName();
  int32_t x = -1, y = -1;
  if (!e.host().Pointer(x, y)) {
    e.SetVariable(var, -1);
    return;
  }
  e.SetVariable(var, x - ScreenOf(e).origin_x);
}

void MouseY(Engine& e) {
  const std::string var = e.VariableName();
  int32_t x = -1, y = -1;
  if (!e.host().Pointer(x, y)) {
    e.SetVariable(var, -1);
    return;
  }
  e.SetVariable(var, y - ScreenOf(e).origin_y);
}

void MouseSetXY(Engine& e) {
  const int32_t x = e.Number(), y = e.Number();
  VidzoDisplayBuffer* d = e.host().WindowExists() ? e.host().Display() : nullptr;
  if (d == nullptr) return;
  Screen& s = ScreenOf(e);
  const int64_t px = std::clamp<int64_t>(int64_t(x) + s.origin_x, 0, int64_t(d->Width) - 1);
  const int64_t py = std::clamp<int64_t>(int64_t(y) + s.origin_y, 0, int64_t(d->Height) - 1);
  e.host().WarpPointer(static_cast<int32_t>(px), static_cast<int32_t>(py));
  UpdateCursor(e);
}

void MousePresent(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, MouseAvailable(e) ? 1 : 0);
}

void MouseMode(Engine& e) {
  (void)e.Number();
}

}  // namespace

void RegisterInputCommands(CommandTable& table) {
  table.Set("INPUTCHAR", InputChar);
  table.Set("INPUTCHARORDELAY", InputCharOrDelay);
  table.Set("INPUTSTR", InputStr);
  table.Set("INPUTSTRWIN", InputStrWin);
  table.Set("INPUTMSGWIN", InputMsgWin);
}

void RegisterMouseCommands(CommandTable& table) {
  table.Set("MOUSEADD", MouseAdd);
  table.Set("MOUSEREMOVE", MouseRemove);
  table.Set("MOUSEREMOVEALL", MouseRemoveAll);
  table.Set("MOUSEPUSHANDREMOVEALL", MousePushAndRemoveAll);
  table.Set("MOUSEPOP", MousePop);
  table.Set("MOUSEAREA", MouseArea_);
  table.Set("MOUSEX", MouseX);
  table.Set("MOUSEY", MouseY);
  table.Set("MOUSESETXY", MouseSetXY);
  table.Set("MOUSEPRESENT", MousePresent);
  table.Set("MOUSEMODE", MouseMode);
}

}  // namespace vidzoscript
