// Arbitrary pictures, palettes and targets through the lossy block choice:
// the picture it paints has the frame's size, is exact when asked to be, and
// keeps an error target.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tools/lib/lossy_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t width = 4 * (1 + data[0] % 6), height = 4 * (1 + data[1] % 6);
  const uint8_t mode = data[2], colours = data[3];
  data += 4;
  size -= 4;
  const size_t pixels = static_cast<size_t>(width) * height;
  auto byte = [&](size_t i) -> uint8_t { return size == 0 ? 0 : data[i % size]; };
  std::array<uint8_t, 768> palette;
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = byte(i * 7 + 3);
  std::vector<uint8_t> picture(pixels), previous(pixels);
  for (size_t i = 0; i < pixels; ++i) {
    picture[i] = static_cast<uint8_t>(byte(i) % (colours + 1u));
    previous[i] = static_cast<uint8_t>(byte(i + pixels) % (colours + 1u));
  }
  const bool key = (mode & 1) != 0;
  const vidzotools::FrameToCode order[] = {{picture.data(), key ? nullptr : previous.data()}};
  const vidzotools::CodeModel model = vidzotools::CodeModel::FromFrames(width, height, order);
  vidzotools::FrameTarget target;
  switch ((mode >> 1) % 3) {
    case 0:
      target.kind = vidzotools::FrameTarget::kLossless;
      break;
    case 1:
      target.kind = vidzotools::FrameTarget::kBytes;
      target.value = mode >> 3;
      break;
    default:
      target.kind = vidzotools::FrameTarget::kErrorPercent;
      target.value = 1 + (mode >> 3) % 100;
      break;
  }
  const vidzotools::FrameChoice choice = vidzotools::ChooseFrame(
      width, height, picture.data(), key ? nullptr : previous.data(), palette, model, target);
  if (choice.picture.size() != pixels) std::abort();
  if (target.kind == vidzotools::FrameTarget::kLossless && choice.error != 0) std::abort();
  if (target.kind == vidzotools::FrameTarget::kErrorPercent &&
      vidzotools::ErrorPercent(choice) > target.value + 1e-6)
    std::abort();
  // What it paints is what it measured.
  const double measured =
      vidzotools::MeanSquaredError(picture.data(), choice.picture.data(), pixels, palette);
  if (measured * 1000 * static_cast<double>(pixels) > choice.error * 1.0001 + 1) std::abort();
  return 0;
}
