// Random test animations: pictures of palette indices with the motion and
// palette changes the encoder must handle.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "tools/lib/block_encoder.h"

namespace encoder_test {

struct AnimationSpec {
  uint32_t width = 16;
  uint32_t height = 16;
  int frames = 4;
  int colours = 16;            // indices used, 1 to 256
  double change = 0.05;        // share of pixels repainted per frame (1 = all)
  int solid_rects = 2;         // one-colour rectangles painted per frame
  bool change_palette = true;  // some frames get a new palette
  uint32_t seed = 1;
};

std::vector<vidzotools::AnimationFrame> MakeAnimation(const AnimationSpec& recipe);

}  // namespace encoder_test
