#include "player/settings.h"

#include <cstring>
#include <vector>

#include "qelutil/qelutil.h"

namespace vidzoplay {
namespace {

// The switch functions work on a NUL-terminated text in place.
class SwitchText {
 public:
  explicit SwitchText(const std::string& text) : buf_(text.begin(), text.end()) { buf_.push_back('\0'); }
  bool Flag(char letter) { return GetSwitch(buf_.data(), letter) != 0; }
  int32_t Number(char letter, int32_t dflt) { return GetSwitchNum(buf_.data(), letter, dflt); }
  // The number, or nothing when the switch with a number is absent.
  bool NumberGiven(char letter, int32_t& value) {
    const size_t before = std::strlen(buf_.data());
    value = GetSwitchNum(buf_.data(), letter, 0);
    return std::strlen(buf_.data()) != before;
  }
  void Trim() { ::Trim(buf_.data()); }
  std::string Text() const { return std::string(buf_.data()); }

 private:
  std::vector<char> buf_;
};

uint32_t ConvertFrameRate(int32_t number) {
  if (number <= -2 && number >= -1500) return static_cast<uint32_t>(number * 100);
  return static_cast<uint32_t>(number);  // positive: frames per second; below -1500: the period itself
}

}  // namespace

bool HasSlashOutsideQuotes(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      // A pair of quotes hides what it holds; an unmatched quote hides nothing,
      // as for the switch functions.
      const size_t close = text.find('"', i + 1);
      if (close != std::string::npos) {
        i = close;
        continue;
      }
    }
    if (text[i] == '/') return true;
  }
  return false;
}

bool ParseSettings(std::string& text, PlayerSettings& s, const SelectDirectSound& select_direct_sound) {
  SwitchText t(text);
  t.Trim();

  s.WindowLeft = t.Number('X', s.WindowLeft);
  s.WindowTop = t.Number('Y', s.WindowTop);

  if (t.Flag('B')) s.DisplayFlags |= kDisplayDoubleBuffer;
  if (t.Flag('C')) s.DisplayFlags |= kDisplayNoClear;
  if (t.Flag('O')) s.SoundOnly = true;

  s.SimulatedRate = static_cast<uint32_t>(t.Number('M', static_cast<int32_t>(s.SimulatedRate)));
  if (s.SimulatedRate != 0) {
    s.OpenFlags |= 0x800u;
  } else {
    s.OpenFlags &= ~0x800u;
  }
  s.ExtraBuffer = static_cast<uint32_t>(t.Number('E', static_cast<int32_t>(s.ExtraBuffer)));

  const int32_t loops = t.Number('L', 0);
  if (loops != 0) s.LoopCount = static_cast<uint32_t>(loops);
  if (t.Flag('L')) s.LoopCount = 0xFFFFFFFFu;
  if (t.Flag('P')) s.OpenFlags |= 0x200u;
  if (t.Flag('N')) s.OpenFlags |= 0x400u;

  s.NoMMX = t.Flag('@');
  if (t.Flag('G')) s.OpenFlags |= 0x100u;

  const int32_t tracks = t.Number('T', static_cast<int32_t>((s.OpenFlags >> 13) & 0x7Fu));
  s.OpenFlags = (s.OpenFlags & ~0xFE000u) | ((static_cast<uint32_t>(tracks) & 0x7Fu) << 13);
  const int32_t height = t.Number('A', 255);
  if (height < 255) {
    s.OpenFlags &= ~0x300000u;
    if (height == 1) s.OpenFlags |= 0x100000u;
    if (height == 2) s.OpenFlags |= 0x200000u;
    if (height == 3) s.OpenFlags |= 0x300000u;
  }

  // The number is converted only when it is given, so that a rate kept from
  // an earlier text is not converted twice.
  int32_t rate = 0;
  if (t.NumberGiven('F', rate)) s.FrameRate = static_cast<int32_t>(ConvertFrameRate(rate));
  if (t.Flag('F')) s.FrameRate = 0;
  if (s.FrameRate != -1) {
    s.OpenFlags |= 0x80u;
  } else {
    s.OpenFlags &= ~0x80u;
  }

  s.DisabledControls = static_cast<uint32_t>(t.Number('U', static_cast<int32_t>(s.DisabledControls)));
  if (t.Flag('S')) s.ShowSummary = true;
  if (t.Flag('K')) s.DifferencesOnly = true;
  if (t.Flag('Q')) s.FrameInCaption = true;

  s.UseDirectSound = t.Flag('Z');
  if (s.UseDirectSound) s.UseDirectSound = select_direct_sound ? select_direct_sound() : false;

  const int32_t style = t.Number('I', 255);
  if (style != 255) {
    s.DisplayFlags &= ~(kDisplayNoCaption | kDisplayNoDialogFrame | kDisplayThinBorder);
    if (style == 1) s.DisplayFlags |= 0xC000u;
    if (style == 2) s.DisplayFlags |= 0xC200u;
    if (style == 3) s.DisplayFlags |= 0x200u;
    if (style == 4) s.DisplayFlags |= 0x4200u;
  }
  s.Remap = static_cast<uint8_t>(t.Number('R', 0));
  const uint32_t video = static_cast<uint32_t>(t.Number('V', 1024));
  switch (video & 0x180u) {
    case 0x180u:
      s.DisplayFlags |= kDisplayNoDirectDraw;
      break;
    case 0x100u:
      s.DisplayFlags |= kDisplaySmoothing;
      break;
    case 0x080u:
      s.DisplayFlags |= kDisplayInterlaced;
      break;
    default:
      break;
  }
  const uint32_t type = video & ~0x180u;
  if (type >= 1 && type <= 4) s.DisplayFlags = (s.DisplayFlags & ~kDisplayTypeMask) | (type + 21);
  if (t.Flag('J')) s.PlayWithoutFocus = true;
  s.StretchHeight = static_cast<uint32_t>(t.Number('H', static_cast<int32_t>(s.StretchHeight)));
  s.StretchWidth = static_cast<uint32_t>(t.Number('W', static_cast<int32_t>(s.StretchWidth)));
  s.Resolution = static_cast<uint32_t>(t.Number('D', static_cast<int32_t>(s.Resolution)));

  if (s.SoundOnly) s.DisplayFlags = (s.DisplayFlags & ~0x7u) | 0x18u;

  text = t.Text();
  return !HasSlashOutsideQuotes(text);
}

uint32_t DisplayTypeRequest(uint32_t flags) {
  uint32_t type = 0;
  switch (flags & kDisplayTypeMask) {
    case 25:
      type = 5;
      break;
    case 24:
      type = 4;
      break;
    case 23:
      type = (flags & kDisplayDoubleBuffer) != 0 ? 2 : 3;
      break;
    case 22:
      type = 1;
      break;
    default:
      break;
  }
  if (flags & kDisplayNoDirectDraw) type |= 0x80;
  if (flags & kDisplaySmoothing) type |= 0x100;
  if (flags & kDisplayInterlaced) type |= 0x200;
  return type;
}

}  // namespace vidzoplay
