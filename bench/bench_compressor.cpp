// The compressor. Speed: frames coded per second at 320 x 240 and 640 x 480,
// losslessly and at a data rate, against decoding the same file through the
// playback library in the same run (the baseline). Size: a rate–distortion
// table of vidzoc at several /N settings against gifsicle --lossy at several
// levels on the same palettized frames (ImageMagick's built-in logo under a
// pan and zoom, and its rose sprite over a still background), as sizes and
// PSNR, with vidzoc's size over gifsicle's at the
// same PSNR (interpolated between gifsicle's points), and lossless vidzoc
// over gifsicle -O3.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "tools/lib/compressor.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/ppm.h"
#include "tools/lib/vdz_frames.h"

namespace {

namespace fs = std::filesystem;
using namespace vidzotools;

const std::string& Folder() {
  static std::string dir = [] {
    std::string tmpl = (fs::temp_directory_path() / "vidzoer_bench_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    return tmpl;
  }();
  return dir;
}

// ---- speed ------------------------------------------------------------------

// A textured picture moving and zooming, one palette.
std::vector<AnimationFrame> Pan(uint32_t width, uint32_t height, int frames) {
  std::array<uint8_t, 768> palette{};
  for (int i = 0; i < 256; ++i) {
    palette[3 * i] = static_cast<uint8_t>(i);
    palette[3 * i + 1] = static_cast<uint8_t>(255 - i);
    palette[3 * i + 2] = static_cast<uint8_t>(i * 5);
  }
  std::vector<AnimationFrame> out;
  for (int f = 0; f < frames; ++f) {
    AnimationFrame a;
    a.palette = palette;
    const double zoom = 1.0 + 0.005 * f;
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        const double u = x / zoom + 3 * f, v = y / zoom + f;
        const double t =
            0.5 + 0.25 * std::sin(u * 0.05) * std::cos(v * 0.04) + 0.25 * std::sin((u + v) * 0.013);
        a.pixels.push_back(static_cast<uint8_t>(std::clamp(t, 0.0, 1.0) * 255));
      }
    out.push_back(std::move(a));
  }
  return out;
}

constexpr int kFrames = 20;

std::string CodedFile(uint32_t width, uint32_t height) {
  const std::string name = Folder() + "/pan" + std::to_string(width) + ".vdz";
  if (!fs::exists(name)) {
    auto frames = Pan(width, height, kFrames);
    CompressOptions options;
    VdzContent content;
    CompressReport report;
    std::string error;
    if (!CompressFrames(width, height, frames, options, content, report, error) ||
        !WriteVdzFile(name, content, error))
      std::abort();
  }
  return name;
}

void Decode(benchmark::State& state, uint32_t width, uint32_t height) {
  const std::string name = CodedFile(width, height);
  for (auto _ : state) {
    std::string error;
    size_t frames = 0;
    if (!DecodeVdzFrames(
            name, false, [&](const DecodedFrame&, std::string&) { return ++frames > 0; }, error))
      state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(frames);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void Encode(benchmark::State& state, uint32_t width, uint32_t height, int32_t mode) {
  const auto input = Pan(width, height, kFrames);
  for (auto _ : state) {
    auto frames = input;
    CompressOptions options;
    options.settings = {mode, mode, 0, 0};
    VdzContent content;
    CompressReport report;
    std::string error;
    if (!CompressFrames(width, height, frames, options, content, report, error))
      state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(content.frames.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

// ---- rate and distortion ------------------------------------------------------

constexpr uint32_t kRdWidth = 320, kRdHeight = 240;
constexpr int kRdFrames = 24;

bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1 </dev/null").c_str()) == 0;
}

uint8_t Six(uint8_t v) {
  return static_cast<uint8_t>((v >> 2) * 4 + (v >> 2) / 16);
}

// The two kinds of content of the table.
enum class Content { kPanAndZoom, kSprite };

// The palettized frames (RGB, colours of 6-bit components) and in.gif made of
// them, mapped to 250 colours of ImageMagick's own choosing: its logo panned
// and zoomed, or its rose sprite crossing a still background (the logo).
std::vector<std::vector<uint8_t>> MakeInput(Content content) {
  const std::string d = Folder();
  fs::remove_all(d + "/input");
  fs::create_directories(d + "/input");
  std::string cmd = "convert";
  for (int i = 0; i < kRdFrames; ++i) {
    if (content == Content::kPanAndZoom) {
      const int w = 400 - 6 * i, h = w * 3 / 4;
      cmd += " \\( logo: -crop " + std::to_string(w) + "x" + std::to_string(h) + "+" +
             std::to_string(100 + 8 * i) + "+" + std::to_string(40 + 4 * i) + " +repage -resize 320x240! \\)";
    } else {
      cmd += " \\( logo: -resize 320x240! rose: -geometry +" + std::to_string(10 + 10 * i) + "+" +
             std::to_string(30 + 5 * i) + " -composite \\)";
    }
  }
  const std::string colour_source =
      content == Content::kPanAndZoom ? "logo: -resize 50%" : "\\( logo: -resize 320x240! \\) rose: -append";
  if (!Shell(cmd + " -depth 8 rgb:'" + d + "/frames.rgb'") ||
      !Shell("convert " + colour_source + " +dither -colors 250 -depth 8 rgb:'" + d + "/colours.rgb'"))
    return {};
  std::vector<uint8_t> all, colours;
  if (!ReadFileBytes(d + "/frames.rgb", all) || !ReadFileBytes(d + "/colours.rgb", colours)) return {};
  std::set<std::array<uint8_t, 3>> unique;
  for (size_t i = 0; i + 2 < colours.size(); i += 3)
    unique.insert({Six(colours[i]), Six(colours[i + 1]), Six(colours[i + 2])});
  const std::vector<std::array<uint8_t, 3>> palette(unique.begin(), unique.end());
  RgbPicture pal{static_cast<uint32_t>(palette.size()), 1, {}};
  for (const auto& c : palette) pal.rgb.insert(pal.rgb.end(), c.begin(), c.end());
  std::string error;
  if (!WritePpmFile(d + "/palette.ppm", pal, error)) return {};
  std::vector<std::vector<uint8_t>> frames;
  const size_t bytes = kRdWidth * kRdHeight * 3;
  std::map<uint32_t, std::array<uint8_t, 3>> nearest;
  for (int f = 0; f < kRdFrames && (f + 1) * bytes <= all.size(); ++f) {
    RgbPicture p{kRdWidth, kRdHeight,
                 std::vector<uint8_t>(all.begin() + f * bytes, all.begin() + (f + 1) * bytes)};
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
      const uint32_t key = p.rgb[i] << 16 | p.rgb[i + 1] << 8 | p.rgb[i + 2];
      auto it = nearest.find(key);
      if (it == nearest.end()) {
        long best = -1;
        std::array<uint8_t, 3> pick{};
        for (const auto& c : palette) {
          const long dr = c[0] - p.rgb[i], dg = c[1] - p.rgb[i + 1], db = c[2] - p.rgb[i + 2];
          const long e = 299 * dr * dr + 587 * dg * dg + 114 * db * db;
          if (best < 0 || e < best) best = e, pick = c;
        }
        it = nearest.emplace(key, pick).first;
      }
      std::copy(it->second.begin(), it->second.end(), p.rgb.begin() + static_cast<std::ptrdiff_t>(i));
    }
    char name[64];
    std::snprintf(name, sizeof name, "/input/f%03d.ppm", f);
    if (!WritePpmFile(d + name, p, error)) return {};
    frames.push_back(std::move(p.rgb));
  }
  if (!Shell("convert -delay 8 -loop 0 '" + d + "/input/f*.ppm' +dither -remap '" + d + "/palette.ppm' '" +
             d + "/in.gif'"))
    return {};
  return frames;
}

double Psnr(const std::vector<std::vector<uint8_t>>& want, const std::vector<std::vector<uint8_t>>& got) {
  if (got.size() != want.size()) return -1;
  double sum = 0, count = 0;
  for (size_t f = 0; f < want.size(); ++f) {
    if (got[f].size() != want[f].size()) return -1;
    for (size_t i = 0; i < want[f].size(); i += 3) {
      const double dr = want[f][i] - got[f][i], dg = want[f][i + 1] - got[f][i + 1],
                   db = want[f][i + 2] - got[f][i + 2];
      sum += (299 * dr * dr + 587 * dg * dg + 114 * db * db) / 1000.0;
      count += 1;
    }
  }
  if (sum == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 / (sum / count));
}

std::vector<std::vector<uint8_t>> GifFrames(const std::string& gif) {
  const std::string raw = Folder() + "/decoded.rgb";
  std::vector<uint8_t> all;
  if (!Shell("convert '" + gif + "' -coalesce -depth 8 rgb:'" + raw + "'") || !ReadFileBytes(raw, all))
    return {};
  std::vector<std::vector<uint8_t>> out;
  const size_t bytes = kRdWidth * kRdHeight * 3;
  for (size_t at = 0; at + bytes <= all.size(); at += bytes)
    out.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                     all.begin() + static_cast<std::ptrdiff_t>(at + bytes));
  return out;
}

std::vector<std::vector<uint8_t>> VdzFrames(const std::string& name) {
  std::vector<std::vector<uint8_t>> out;
  std::string error;
  DecodeVdzFrames(
      name, false,
      [&](const DecodedFrame& f, std::string&) {
        std::vector<uint8_t> rgb;
        for (size_t p = 0; p < static_cast<size_t>(f.width) * f.height; ++p)
          rgb.insert(rgb.end(), f.palette + 3 * f.pixels[p], f.palette + 3 * f.pixels[p] + 3);
        out.push_back(std::move(rgb));
        return true;
      },
      error);
  return out;
}

struct Point {
  std::string setting;
  double bytes;
  double psnr;
};

void RateDistortionTable(Content content) {
  const char* what =
      content == Content::kPanAndZoom ? "the logo panned and zoomed" : "a sprite over a still background";
  if (!Shell("command -v gifsicle") || !Shell("command -v convert")) {
    std::printf("\nRate and distortion: gifsicle and ImageMagick are needed (scripts/install-deps.sh)\n");
    return;
  }
  const auto input = MakeInput(content);
  if (input.size() != kRdFrames) {
    std::printf("\nRate and distortion: the input could not be made\n");
    return;
  }
  const std::string d = Folder();
  std::vector<Point> gif, ours;
  double o3 = 0;
  if (Shell("gifsicle -O3 '" + d + "/in.gif' -o '" + d + "/o3.gif'"))
    o3 = static_cast<double>(fs::file_size(d + "/o3.gif"));
  for (int lossy : {20, 40, 80, 120, 200}) {
    const std::string out = d + "/lossy" + std::to_string(lossy) + ".gif";
    if (!Shell("gifsicle -O3 --lossy=" + std::to_string(lossy) + " '" + d + "/in.gif' -o '" + out + "'"))
      continue;
    gif.push_back({"--lossy=" + std::to_string(lossy), static_cast<double>(fs::file_size(out)),
                   Psnr(input, GifFrames(out))});
  }
  for (const char* mode : {"0", "2", "3", "4", "5", "7", "10", "20", "35", "-50", "-25"}) {
    const std::string out = d + "/n" + mode + ".vdz";
    if (!Shell("'" + std::string(VIDZOER_BIN_DIR) + "/vidzoc' '" + d + "/in.gif' '" + out + "' /O /N" + mode))
      continue;
    ours.push_back(
        {std::string("/N") + mode, static_cast<double>(fs::file_size(out)), Psnr(input, VdzFrames(out))});
  }
  // gifsicle's size at a PSNR: log-linear between its two nearest points.
  auto gif_size_at = [&](double psnr) -> double {
    std::vector<Point> g = gif;
    std::sort(g.begin(), g.end(), [](const Point& a, const Point& b) { return a.psnr < b.psnr; });
    for (size_t i = 0; i + 1 < g.size(); ++i) {
      if (psnr >= g[i].psnr && psnr <= g[i + 1].psnr && g[i + 1].psnr > g[i].psnr) {
        const double t = (psnr - g[i].psnr) / (g[i + 1].psnr - g[i].psnr);
        return std::exp(std::log(g[i].bytes) * (1 - t) + std::log(g[i + 1].bytes) * t);
      }
    }
    return -1;
  };
  std::printf("\nRate and distortion, %s, %d frames of %u x %u, 250 colours (PSNR weighted 299/587/114):\n",
              what, kRdFrames, kRdWidth, kRdHeight);
  std::printf("  %-22s %10s %9s\n", "gifsicle", "bytes", "PSNR dB");
  std::printf("  %-22s %10.0f %9s\n", "-O3 (lossless)", o3, "inf");
  for (const Point& p : gif) std::printf("  %-22s %10.0f %9.2f\n", p.setting.c_str(), p.bytes, p.psnr);
  std::printf("  %-22s %10s %9s %s\n", "vidzoc", "bytes", "PSNR dB", "size / gifsicle's at that PSNR");
  for (const Point& p : ours) {
    double ratio = -1;
    if (std::isinf(p.psnr) && o3 > 0)
      ratio = p.bytes / o3;
    else if (gif_size_at(p.psnr) > 0)
      ratio = p.bytes / gif_size_at(p.psnr);
    if (ratio > 0)
      std::printf("  %-22s %10.0f %9.2f %10.3f\n", p.setting.c_str(), p.bytes, p.psnr, ratio);
    else
      std::printf("  %-22s %10.0f %9.2f %10s\n", p.setting.c_str(), p.bytes, p.psnr,
                  "(outside gifsicle's range)");
  }
}

}  // namespace

BENCHMARK_CAPTURE(Decode, 320, 320, 240)
    ->Name("Code320x240/baseline")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, lossless, 320, 240, 0)
    ->Name("Code320x240/lossless")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, rate, 320, 240, 60000)
    ->Name("Code320x240/rate_60000")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Decode, 640, 640, 480)
    ->Name("Code640x480/baseline")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, lossless, 640, 480, 0)
    ->Name("Code640x480/lossless")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, rate, 640, 480, 150000)
    ->Name("Code640x480/rate_150000")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  Folder();
  const int r = vidzoer_bench::RunWithRatios(argc, argv);
  RateDistortionTable(Content::kPanAndZoom);
  RateDistortionTable(Content::kSprite);
  std::error_code ec;
  fs::remove_all(Folder(), ec);
  return r;
}
