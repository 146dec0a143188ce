#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "qelutil/qelutil.h"
#include "support/temp_dir.h"

namespace {

TEST(Qelfilesize, SizeOfFilesAndZeroForTheRest) {
  vidzoer_test::TempDir tmp;
  std::string name = tmp.File("Frames.RAW");
  std::ofstream(name, std::ios::binary) << std::string(70000, 'x');
  EXPECT_EQ(qelfilesize(name.c_str()), 70000u);
  EXPECT_EQ(qelfilesize(tmp.File("frames.raw").c_str()), 70000u);  // another case finds it
  std::string empty = tmp.File("empty");
  std::ofstream(empty).flush();
  EXPECT_EQ(qelfilesize(empty.c_str()), 0u);
  EXPECT_EQ(qelfilesize(tmp.File("missing").c_str()), 0u);
  EXPECT_EQ(qelfilesize(tmp.path().string().c_str()), 0u);
  EXPECT_EQ(qelfilesize(nullptr), 0u);
}

}  // namespace
