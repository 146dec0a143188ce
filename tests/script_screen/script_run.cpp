#include "script_run.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/files.h"
#include "support/run_program.h"
#include "tools/lib/ppm.h"

namespace script_screen {
namespace {

using Clock = std::chrono::steady_clock;

Display* X(void* d) {
  return static_cast<Display*>(d);
}

bool Before(Clock::time_point end) {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return Clock::now() < end;
}

Clock::time_point After(double seconds) {
  return Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

// The window under `w` (w included) whose name is `title`, or 0.
Window Named(Display* d, Window w, const std::string& title) {
  char* name = nullptr;
  if (XFetchName(d, w, &name) != 0 && name != nullptr) {
    const bool same = title == name;
    XFree(name);
    if (same) return w;
  }
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) found = Named(d, children[i], title);
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

ScriptRun::ScriptRun(const vidzoer_test::TempDir& dir, const std::string& display_name, const std::string& script)
    : dir_(dir) {
  display_ = XOpenDisplay(display_name.c_str());
  if (display_ != nullptr) {
    // The pointer away from the windows, so that no software cursor is
    // drawn over them.
    Display* d = X(display_);
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, DisplayWidth(d, DefaultScreen(d)) - 1,
                 DisplayHeight(d, DefaultScreen(d)) - 1);
    XSync(d, False);
  }
  const std::string program = std::string(VIDZOER_BIN_DIR) + "/vidzoscw";
  const std::string err = dir.File("vidzoscw.err");
  pid_ = ::fork();
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
    const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) ::dup2(fd, STDERR_FILENO), ::dup2(fd, STDOUT_FILENO);
    setenv("DISPLAY", display_name.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    // Window pictures reach the X server as they are, with no GL between.
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::execl(program.c_str(), "vidzoscw", script.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

ScriptRun::~ScriptRun() {
  Wait(0);
  if (display_ != nullptr) XCloseDisplay(X(display_));
}

bool ScriptRun::WaitForText(const std::string& file, const std::string& text, double seconds) const {
  const auto end = After(seconds);
  do {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    if (all.str().find(text) != std::string::npos) return true;
  } while (Before(end));
  return false;
}

bool ScriptRun::FindWindow(const std::string& title, double seconds) {
  if (display_ == nullptr) return false;
  const auto end = After(seconds);
  do {
    window_ = Named(X(display_), DefaultRootWindow(X(display_)), title);
    if (window_ != 0) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(X(display_), window_, &a) != 0 && a.map_state == IsViewable) return true;
    }
  } while (Before(end));
  return false;
}

Picture ScriptRun::Capture() const {
  Picture p;
  if (display_ == nullptr || window_ == 0) return p;
  Display* d = X(display_);
  XSync(d, False);
  XWindowAttributes a{};
  if (XGetWindowAttributes(d, window_, &a) == 0) return p;
  XImage* image = XGetImage(d, window_, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                            AllPlanes, ZPixmap);
  if (image == nullptr) return p;
  p.width = a.width;
  p.height = a.height;
  p.rgb.resize(std::size_t(p.width) * p.height);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      p.rgb[std::size_t(y) * p.width + x] = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
  XDestroyImage(image);
  return p;
}

void ScriptRun::PressKey(unsigned long keysym) const {
  if (display_ == nullptr || window_ == 0) return;
  Display* d = X(display_);
  XSetInputFocus(d, window_, RevertToParent, CurrentTime);
  for (const int type : {KeyPress, KeyRelease}) {
    XEvent e{};
    e.xkey.type = type;
    e.xkey.display = d;
    e.xkey.window = window_;
    e.xkey.root = DefaultRootWindow(d);
    e.xkey.same_screen = True;
    e.xkey.keycode = XKeysymToKeycode(d, keysym);
    e.xkey.time = CurrentTime;
    XSendEvent(d, window_, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
  }
  XSync(d, False);
}

void ScriptRun::Close() const {
  if (display_ == nullptr || window_ == 0) return;
  Display* d = X(display_);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window_;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window_, False, NoEventMask, &e);
  XSync(d, False);
}

int ScriptRun::Wait(double seconds) {
  if (pid_ <= 0) return -1;
  const auto end = After(seconds);
  int status = 0;
  do {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
  } while (Before(end));
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return -1;
}

std::string ScriptRun::Errors() const {
  const auto bytes = vidzoer_test::ReadBytes(dir_.File("vidzoscw.err"));
  return std::string(bytes.begin(), bytes.end());
}

std::uint32_t ScreenColour(const std::vector<std::uint8_t>& palette, std::uint8_t index) {
  std::uint32_t colour = 0;
  for (int c = 0; c < 3; ++c) {
    const std::uint32_t v = palette.at(3u * index + c) & 63;
    colour = colour << 8 | (v << 2 | v >> 4);
  }
  return colour;
}

void SavePicture(const Picture& picture, const std::string& folder, const std::string& name) {
  std::filesystem::create_directories(folder);
  vidzotools::RgbPicture out{static_cast<std::uint32_t>(picture.width), static_cast<std::uint32_t>(picture.height),
                             {}};
  for (const std::uint32_t c : picture.rgb)
    out.rgb.insert(out.rgb.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                   static_cast<std::uint8_t>(c)});
  const std::string ppm = folder + "/" + name + ".ppm";
  std::string error;
  if (!vidzotools::WritePpmFile(ppm, out, error)) return;
  if (vidzoer_test::HaveProgram("convert") &&
      vidzoer_test::RunShell("convert " + vidzoer_test::Quote(ppm) + " " +
                                 vidzoer_test::Quote(folder + "/" + name + ".png"),
                             "/dev/null"))
    std::filesystem::remove(ppm);
}

}  // namespace script_screen
