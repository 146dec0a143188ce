#include "encoder/tree_decoder.h"

#include "playback/trees.h"
#include "tools/lib/block_encoder.h"

namespace encoder_test {

std::vector<std::vector<uint8_t>> DecodeWithTrees(const vidzotools::VdzTrees& trees,
                                                  const std::vector<std::vector<uint8_t>>& frames,
                                                  uint32_t width, uint32_t height,
                                                  std::vector<uint8_t> picture) {
  const uint32_t sizes[4] = {trees.mono_map_size, trees.mono_colour_size, trees.full_size, trees.type_size};
  vidzo::TreesAreaBuffer buffer(sizes);
  std::vector<std::vector<uint8_t>> out;
  if (buffer.Get() == nullptr) return out;
  vidzo::TreesArea& area = *buffer.Get();
  if (!vidzo::UnpackTrees(trees.packed.data(), trees.packed.size(), area, sizes)) return out;
  const uint32_t blocks_per_row = width / 4, blocks = blocks_per_row * (height / 4);
  for (const std::vector<uint8_t>& video : frames) {
    vidzo::ResetLasts(area);
    vidzo::BitReader32 reader(video.data(), video.size());
    uint32_t block = 0;
    while (block < blocks) {
      const uint32_t t = vidzo::FetchValue(reader, area, vidzo::kTypeTree);
      const uint32_t n = vidzotools::RunLength((t >> 2) & 63);
      for (uint32_t k = 0; k < n && block < blocks; ++k, ++block) {
        uint8_t* p = picture.data() + (block / blocks_per_row) * 4 * width + (block % blocks_per_row) * 4;
        switch (t & 3) {
          case vidzotools::kTwoColourBlock: {
            const uint32_t c = vidzo::FetchValue(reader, area, vidzo::kMonoColourTree);
            const uint32_t m = vidzo::FetchValue(reader, area, vidzo::kMonoMapTree);
            for (uint32_t i = 0; i < 16; ++i)
              p[(i / 4) * width + i % 4] = static_cast<uint8_t>((m >> i) & 1 ? c >> 8 : c & 0xFF);
            break;
          }
          case vidzotools::kFullBlock:
            for (uint32_t y = 0; y < 4; ++y, p += width) {
              const uint32_t right = vidzo::FetchValue(reader, area, vidzo::kFullTree);
              const uint32_t left = vidzo::FetchValue(reader, area, vidzo::kFullTree);
              p[0] = static_cast<uint8_t>(left);
              p[1] = static_cast<uint8_t>(left >> 8);
              p[2] = static_cast<uint8_t>(right);
              p[3] = static_cast<uint8_t>(right >> 8);
            }
            break;
          case vidzotools::kSolidBlock:
            for (uint32_t y = 0; y < 4; ++y)
              for (uint32_t x = 0; x < 4; ++x) p[y * width + x] = static_cast<uint8_t>(t >> 8);
            break;
          default:
            break;
        }
      }
    }
    out.push_back(picture);
  }
  return out;
}

}  // namespace encoder_test
