// Reducing true-colour frames to 256 colours, as whole processes: vizodov
// (a palette of its own computed for every frame, pixels mapped to it)
// against ImageMagick's `convert +dither -colors 256` on the same 100
// frames of 640 x 480 (the baseline). Besides the time ratio, the colour
// error of each result is measured as the mean squared error weighted
// 299/587/114 per pixel and printed as ImageMagick's error / ours (above 1:
// ours is closer to the original).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "bench/ratio.h"
#include "platform/imagelib/imagelib.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 100, kWidth = 640, kHeight = 480;

// Frames with smooth shading, hard-edged shapes and a little noise, moving
// from frame to frame.
const std::string& Folder() {
  static std::string dir = [] {
    std::string tmpl = (fs::temp_directory_path() / "vidzoer_bench_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    fs::create_directories(tmpl + "/in");
    std::mt19937 rng(7);
    for (int i = 0; i < kFrames; ++i) {
      imagelib::Image image;
      if (imagelib::allocimage(&image, kWidth, kHeight, 24) != 0) std::abort();
      const int cx = 100 + i * 4, cy = 200 + (i % 20) * 5;
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
          uint8_t* p = image.Row(y) + x * 3;
          const int dx = x - cx, dy = y - cy;
          const bool disc = dx * dx + dy * dy < 90 * 90;
          const int noise = static_cast<int>(rng() % 9) - 4;
          const double sky = 0.5 + 0.5 * std::sin((x + i * 3) / 60.0) * std::cos(y / 45.0);
          p[0] = static_cast<uint8_t>(
              std::clamp(disc ? 30 + dy / 3 : static_cast<int>(255 * sky) + noise, 0, 255));
          p[1] = static_cast<uint8_t>(std::clamp(disc ? 160 + dx / 2 : y * 255 / kHeight + noise, 0, 255));
          p[2] = static_cast<uint8_t>(std::clamp(disc ? 220 : (x * 200 / kWidth + i) + noise, 0, 255));
        }
      char name[64];
      std::snprintf(name, sizeof name, "/in/f%03d.bmp", i);
      if (imagelib::savebmp((tmpl + name).c_str(), &image, 0) != 0) std::abort();
      imagelib::freeimage(&image);
    }
    return tmpl;
  }();
  return dir;
}

// Weighted mean squared error of the pictures out/PREFIX%03d.bmp against the
// input, per pixel.
double WeightedError(const std::string& prefix) {
  double sum = 0;
  for (int i = 0; i < kFrames; ++i) {
    char in[64], out[96];
    std::snprintf(in, sizeof in, "/in/f%03d.bmp", i);
    std::snprintf(out, sizeof out, "/out/%s%03d.bmp", prefix.c_str(), i);
    imagelib::Image a, b;
    if (imagelib::allocimage(&a, kWidth, kHeight, 24) != 0 ||
        imagelib::allocimage(&b, kWidth, kHeight, 24) != 0 ||
        imagelib::loadbmp((Folder() + in).c_str(), &a) != 0 ||
        imagelib::loadbmp((Folder() + out).c_str(), &b) != 0)
      return -1;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* p = a.Row(y) + x * 3;
        const uint8_t* q = b.Row(y) + x * 3;
        const double db = p[0] - q[0], dg = p[1] - q[1], dr = p[2] - q[2];
        sum += (299 * dr * dr + 587 * dg * dg + 114 * db * db) / 1000.0;
      }
    imagelib::freeimage(&a);
    imagelib::freeimage(&b);
  }
  return sum / (static_cast<double>(kFrames) * kWidth * kHeight);
}

std::map<std::string, double>& Errors() {
  static std::map<std::string, double> errors;
  return errors;
}

void Run(benchmark::State& state, const std::string& command, const std::string& prefix) {
  fs::create_directories(Folder() + "/out");
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("the command failed");
  state.SetItemsProcessed(state.iterations() * kFrames);
  const double error = WeightedError(prefix);
  Errors()[prefix] = error;
  state.counters["weighted_mse"] = error;
}

void ImageMagick(benchmark::State& state) {
  Run(state,
      "convert '" + Folder() + "/in/f*.bmp' +dither -colors 256 -type Palette '" + Folder() +
          "/out/im%03d.bmp' >/dev/null 2>&1",
      "im");
}

void Vizodov(benchmark::State& state) {
  Run(state,
      "'" + std::string(VIDZOER_BIN_DIR) + "/vizodov' '" + Folder() + "/in/f???.bmp*0-99' '" + Folder() +
          "/out/vz.bmp' /U1 /D2 /O >/dev/null 2>&1 </dev/null",
      "vz");
}

}  // namespace

BENCHMARK(ImageMagick)
    ->Name("Reduce256/baseline")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(Vizodov)->Name("Reduce256/vizodov")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
  Folder();
  int r = vidzoer_bench::RunWithRatios(argc, argv);
  const auto& e = Errors();
  if (e.count("im") != 0 && e.count("vz") != 0 && e.at("vz") > 0)
    std::printf("  %-48s %10.4g\n", "Reduce256/weighted_mse (baseline / vizodov)", e.at("im") / e.at("vz"));
  std::error_code ec;
  fs::remove_all(Folder(), ec);
  return r;
}
