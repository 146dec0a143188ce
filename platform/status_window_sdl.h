// The status window drawn with SDL: a light grey window with the status
// text, the subtitle at its foot and one button ("&Cancel", later "&Done");
// while a question is asked the button row holds "&Yes" and "&No". Text is
// drawn with the built-in font.
#pragma once

#include <memory>
#include <string>

namespace platform {

class StatusWindowSdl {
 public:
  enum class Event { kNone, kButton, kClose, kMinimised, kRestored };

  // Null when no window can be made (no display).
  static std::unique_ptr<StatusWindowSdl> Open(const std::string& title);
  ~StatusWindowSdl();
  StatusWindowSdl(const StatusWindowSdl&) = delete;
  StatusWindowSdl& operator=(const StatusWindowSdl&) = delete;

  // The window is created hidden; Show shows it (unless minimised) and
  // raises it.
  void Show();
  bool Visible() const;
  void SetTexts(const std::string& status, const std::string& subtitle);
  // "&Cancel" or "&Done" (the ampersand marks the key letter).
  void SetButton(const std::string& label);
  // The next event of the window (kNone when none waits); drawing is done
  // on the way.
  Event Poll();
  // Asks a Yes/No question in the window and waits for the answer (Y, N,
  // Enter for the default, Escape or closing for No).
  bool Ask(const std::string& question, bool default_no);
  // The window's id (nonzero).
  uint32_t Id() const;
  // Geometry, for tests: the window's size and the button's rectangle.
  int Width() const { return width_; }
  int Height() const { return height_; }
  void ButtonRect(int& x, int& y, int& w, int& h) const;
  void AnswerRects(int& yes_x, int& no_x, int& y, int& w, int& h) const;

 private:
  StatusWindowSdl() = default;
  void Draw();
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int width_ = 0, height_ = 0;
};

}  // namespace platform
