#include "display_fixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "support/temp_dir.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/vdz_frames.h"
#include "tools/lib/vdz_writer.h"

namespace display_test {

bool StartDummyVideo() {
  VidzoVideoStop();
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  return VidzoVideoStart() == 1 && std::string(VidzoVideoDriver()) == "dummy";
}

bool XServer::Installed() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/Xvfb";
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

XServer::XServer() {
  int fds[2];
  if (::pipe(fds) != 0) return;
  const std::string fd_text = std::to_string(fds[1]);
  const char* argv[] = {"Xvfb",       "-displayfd", fd_text.c_str(), "-screen",  "0",
                        "640x480x24", "-nolisten",  "tcp",           "-noreset", nullptr};
  pid_ = ::fork();
  if (pid_ == 0) {
    // The server ends with the test program, however that ends.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::close(fds[0]);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, STDERR_FILENO);
    ::execvp("Xvfb", const_cast<char* const*>(argv));
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid_ < 0) {
    ::close(fds[0]);
    return;
  }
  // The server writes its display number and a newline when it is ready.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (::poll(&p, 1, 10000) > 0) {
    char c;
    if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (!number.empty()) name_ = ":" + number;
}

XServer::~XServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

bool StartXVideo(const std::string& display_name) {
  VidzoVideoStop();
  setenv("DISPLAY", display_name.c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  return VidzoVideoStart() == 1 && std::string(VidzoVideoDriver()) == "x11";
}

std::vector<std::uint32_t> Capture(const std::string& display_name, int x, int y, int width, int height) {
  std::vector<std::uint32_t> out;
  Display* display = XOpenDisplay(display_name.c_str());
  if (display == nullptr) return out;
  XSync(display, False);
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image != nullptr) {
    out.resize(std::size_t(width) * height);
    for (int row = 0; row < height; ++row)
      for (int col = 0; col < width; ++col)
        out[std::size_t(row) * width + col] =
            static_cast<std::uint32_t>(XGetPixel(image, col, row)) & 0xFFFFFF;
    XDestroyImage(image);
  }
  XCloseDisplay(display);
  return out;
}

std::vector<std::uint32_t> CoverAndUncover(const std::string& display_name, int x, int y, int width,
                                           int height) {
  Display* display = XOpenDisplay(display_name.c_str());
  if (display == nullptr) return {};
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
  const Window cover = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                     CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
  XMapRaised(display, cover);
  XSync(display, False);
  auto shot = Capture(display_name, x, y, width, height);
  XDestroyWindow(display, cover);
  XSync(display, False);
  XCloseDisplay(display);
  return shot;
}

Frame DecodedTestFrame(std::uint32_t width, std::uint32_t height, std::uint32_t index) {
  std::vector<vidzotools::AnimationFrame> frames(2);
  for (std::uint32_t f = 0; f < 2; ++f) {
    auto& frame = frames[f];
    frame.pixels.resize(std::size_t(width) * height);
    for (std::uint32_t y = 0; y < height; ++y)
      for (std::uint32_t x = 0; x < width; ++x)
        frame.pixels[std::size_t(y) * width + x] = static_cast<std::uint8_t>((x * 7 + y * 13 + f * 3) & 255);
    for (std::uint32_t i = 0; i < 256; ++i) {
      // Distinct, bright colours; the second palette rotates the components.
      const std::uint8_t a = static_cast<std::uint8_t>(64 + (i * 37 % 192)),
                         b = static_cast<std::uint8_t>(255 - i),
                         c = static_cast<std::uint8_t>((i * 91 + 5) & 255);
      frame.palette[3 * i] = f ? c : a;
      frame.palette[3 * i + 1] = f ? a : b;
      frame.palette[3 * i + 2] = f ? b : c;
    }
  }
  Frame result;
  vidzotools::VdzContent content;
  std::string error;
  if (!vidzotools::EncodeAnimation(width, height, frames, vidzotools::AnimationOptions{}, content, error))
    return result;
  vidzoer_test::TempDir dir;
  const std::string name = dir.File("frame.vdz");
  if (!vidzotools::WriteVdzFile(name, content, error)) return result;
  vidzotools::DecodeVdzFrames(
      name, false,
      [&](const vidzotools::DecodedFrame& f, std::string&) {
        if (f.index != index) return true;
        result.width = f.width;
        result.height = f.height;
        result.pixels.assign(f.pixels, f.pixels + std::size_t(f.width) * f.height);
        result.palette.assign(f.palette, f.palette + 768);
        return false;
      },
      error);
  return result;
}

void PutFrame(VidzoDisplayBuffer* d, const Frame& frame) {
  for (std::uint32_t y = 0; y < frame.height && y < d->Height; ++y)
    std::memcpy(d->Pixels + std::size_t(y) * d->Pitch, frame.pixels.data() + std::size_t(y) * frame.width,
                std::min(frame.width, d->Width));
}

std::uint32_t ColourOf(const Frame& frame, std::uint8_t index) {
  const std::uint8_t* c = frame.palette.data() + 3 * index;
  return std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2];
}

}  // namespace display_test
