// Inputs of the real-time tests: picture folders for the encoder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/lib/ppm.h"

namespace realtime_test {

// `count` small pictures of changing colours in `folder`.
inline void WritePictures(const std::string& folder, uint32_t count) {
  std::filesystem::create_directories(folder);
  for (uint32_t i = 0; i < count; ++i) {
    vidzotools::RgbPicture p{16, 16, std::vector<uint8_t>(16 * 16 * 3, static_cast<uint8_t>(i * 37))};
    char name[32];
    std::snprintf(name, sizeof name, "f%05u.ppm", i);
    std::string error;
    ASSERT_TRUE(vidzotools::WritePpmFile(folder + "/" + name, p, error)) << error;
  }
}

}  // namespace realtime_test
