// Loading a folder of pictures, as whole processes: this program started
// again with --load (the image library's info call, an image of the stated
// size and the load, for every file) against ImageMagick's `convert` reading
// the same files (the baseline). 24 pictures of 640 x 480, 24-bit PNG and
// 8-bit BMP.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "bench/ratio.h"
#include "platform/imagelib/imagelib.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPictures = 24;

const std::string& Folder() {
  static std::string dir = [] {
    std::string tmpl = (fs::temp_directory_path() / "vidzoer_bench_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    std::mt19937 rng(2);
    for (int bits : {24, 8}) {
      fs::create_directories(tmpl + (bits == 24 ? "/png" : "/bmp"));
      for (int i = 0; i < kPictures; ++i) {
        imagelib::Image image;
        if (imagelib::allocimage(&image, 640, 480, bits) != 0) std::abort();
        for (int y = 0; y < 480; ++y)
          for (int x = 0; x < 640 * bits / 8; ++x)
            image.Row(y)[x] = static_cast<uint8_t>((x + y + i) / 4 + (rng() % 16 == 0 ? rng() % 8 : 0));
        for (auto& b : image.palette) b = static_cast<uint8_t>(rng());
        std::string name =
            tmpl + (bits == 24 ? "/png/p" : "/bmp/p") + std::to_string(i) + (bits == 24 ? ".png" : ".bmp");
        int r =
            bits == 24 ? imagelib::savepng(name.c_str(), &image) : imagelib::savebmp(name.c_str(), &image, 0);
        if (r != 0) std::abort();
        imagelib::freeimage(&image);
      }
    }
    return tmpl;
  }();
  return dir;
}

void RemoveFolder() {
  std::error_code ec;
  fs::remove_all(Folder(), ec);
}

// The --load run: every file of the folder through the image library.
int LoadFolder(const char* kind, const char* folder) {
  const bool png = std::strcmp(kind, "png") == 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().string();
    imagelib::ImageInfo info;
    if ((png ? imagelib::pnginfo(name.c_str(), &info) : imagelib::bmpinfo(name.c_str(), &info)) != 0)
      return 1;
    imagelib::Image image;
    if (imagelib::allocimage(&image, info.width, info.height, info.bits <= 8 ? 8 : 24) != 0) return 1;
    if ((png ? imagelib::loadpng(name.c_str(), &image) : imagelib::loadbmp(name.c_str(), &image)) != 0)
      return 1;
    imagelib::freeimage(&image);
  }
  return 0;
}

void Run(benchmark::State& state, const std::string& command) {
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("the command failed");
  state.SetItemsProcessed(state.iterations() * kPictures);
}

void Convert(benchmark::State& state, const char* kind) {
  Run(state, "convert '" + Folder() + "/" + kind + "/*' null: >/dev/null 2>&1");
}

void Ours(benchmark::State& state, const char* kind) {
  std::string command = "'";
  command += fs::read_symlink("/proc/self/exe").string();
  command += std::string("' --load ") + kind + " '" + Folder() + "/" + kind + "' >/dev/null 2>&1";
  Run(state, command);
}

}  // namespace

BENCHMARK_CAPTURE(Convert, png, "png")
    ->Name("LoadPng/baseline")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Ours, png, "png")->Name("LoadPng/imagelib")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Convert, bmp, "bmp")
    ->Name("LoadBmp/baseline")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Ours, bmp, "bmp")->Name("LoadBmp/imagelib")->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--load") == 0) return LoadFolder(argv[2], argv[3]);
  Folder();
  int r = vidzoer_bench::RunWithRatios(argc, argv);
  RemoveFolder();
  return r;
}
