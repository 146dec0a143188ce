// Files of a few hundred bytes whose headers claim huge pictures, frame
// counts, tree sizes, chunk lengths or sound chunks, given to vdzinfo (with
// --frames and --tracks) and to the player: each is refused with a clear
// message or handled, never with a crash, a hang or a large allocation. In
// the Release build the programs run under an address-space limit, so that
// an allocation sized by a claim fails the run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "damaged_support.h"
#include "playback/vidzo.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/vdz_writer.h"

namespace {

using damaged_test::Put32;
using damaged_test::RecordStart;
using vidzoer_test::Quote;
using vidzoer_test::RunProgramLimited;
using vidzoer_test::RunResult;

// The address space each program may map: a few hundred megabytes. The
// player's sound and video threads reserve their stacks and malloc arenas in
// it too.
constexpr unsigned long kVdzinfoKib = 320 * 1024;
constexpr unsigned long kPlayerKib = 640 * 1024;
// A guard against hangs only (a handled file of a few frames ends at once).
constexpr unsigned kSeconds = 60;

// A small valid file: 16 x 16, three 40-ms frames, each with a raw 8-bit
// mono sound chunk (track 0) or a compressed one (track 1 when `compressed`).
std::vector<uint8_t> SmallFile(bool compressed) {
  vidzotools::VdzContent c;
  c.width = 16;
  c.height = 16;
  c.frame_rate = 40;
  const uint32_t track = compressed ? 1 : 0;
  c.audio_format[track] = VDZ_AUDIO_PRESENT | 8000 | (compressed ? VDZ_AUDIO_COMPRESSED : 0);
  for (int i = 0; i < 3; ++i) {
    vidzotools::VdzFrame f;
    vidzotools::VdzAudioChunk a;
    a.track = track;
    if (compressed) {
      // The decoded size, then a one-leaf tree (value 0x80): every sample
      // decodes without a bit.
      a.body = {40, 0, 0, 0, 0x00, 0x01, 0x00, 0x00};
    } else {
      a.body.assign(40, static_cast<uint8_t>(0x80 + i));
    }
    a.decoded_size = 40;
    f.audio.push_back(a);
    f.video = {0x00, 0x00, 0x00, 0x00};
    c.frames.push_back(f);
  }
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(vidzotools::BuildVdz(c, out, error)) << error;
  return out;
}

struct Hostile {
  const char* what;
  bool compressed;
  std::function<void(std::vector<uint8_t>&)> damage;
  const char* player_says;   // a text of the player's error, or null: plays (exit 0)
  const char* vdzinfo_says;  // a text of vdzinfo's error, or null: succeeds
};

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    vidzoer_test::UseHeadlessEnvironment(dir_);
  }
  vidzoer_test::TempDir dir_;
};

TEST_F(HostileFiles, AreRefusedOrHandledWithinTheirMeans) {
  const Hostile cases[] = {
      {"a picture 4 pixels wide and 150994948 rows high", false,
       [](auto& b) {
         Put32(b, 4, 4);
         Put32(b, 8, 150994948);
       },
       "Picture too large: 4 x 150994948 pixels (at most 16384 on a side and 33554432 in all)",
       "Picture too large: 4 x 150994948 pixels"},
      {"a picture of 16384 x 16384", false,
       [](auto& b) {
         Put32(b, 4, 16384);
         Put32(b, 8, 16384);
       },
       "Picture too large", "Picture too large"},
      {"a picture of 4294967292 x 4", false, [](auto& b) { Put32(b, 4, 0xFFFFFFFC); }, "Picture too large",
       "Picture too large"},
      {"a large picture within the limits (2048 x 1024)", false,
       [](auto& b) {
         Put32(b, 4, 2048);
         Put32(b, 8, 1024);
       },
       nullptr, nullptr},
      {"16 million frames", false, [](auto& b) { Put32(b, 12, 0x00FFFFFF); }, "Error opening file",
       "cut short"},
      {"4294967295 frames", false, [](auto& b) { Put32(b, 12, 0xFFFFFFFF); }, "Error opening file",
       "cut short"},
      {"a trees block of 2 GB", false, [](auto& b) { Put32(b, 52, 0x7FFFFFFF); }, "Error opening file",
       "cut short"},
      {"unpacked trees of 4 GB each", false,
       [](auto& b) {
         for (size_t at = 56; at <= 68; at += 4) Put32(b, at, 0xFFFFFFF0);
       },
       nullptr, nullptr},
      {"frame 1 of 2 GB", false, [](auto& b) { Put32(b, 104 + 4, 0x7FFFFFF0); }, nullptr, nullptr},
      {"frame 0 of 4 GB", false, [](auto& b) { Put32(b, 104, 0xFFFFFFF0); }, "Error opening file",
       "malformed"},
      {"a sound chunk claiming 4 GB", false, [](auto& b) { Put32(b, RecordStart(b, 0), 0xFFFFFFF0); },
       nullptr, nullptr},
      {"sound chunks of 4 GB in the header", false, [](auto& b) { Put32(b, 24, 0xFFFFFFFF); }, nullptr,
       "too large to decode"},
      {"compressed chunks decoding to 1 GB", true,
       [](auto& b) {
         Put32(b, 24 + 4, 0x40000000);
         for (uint32_t i = 0; i < 3; ++i) Put32(b, RecordStart(b, i) + 4, 0x40000000);
       },
       nullptr, "too large to decode"},
      {"compressed chunks decoding to 4 MB each", true,
       [](auto& b) {
         Put32(b, 24 + 4, 0x00400000);
         for (uint32_t i = 0; i < 3; ++i) Put32(b, RecordStart(b, i) + 4, 0x00400000);
       },
       nullptr, nullptr},
      {"sound at 16 MHz, 16-bit stereo, 1-ms frames", false,
       [](auto& b) {
         Put32(b, 16, 1);
         Put32(b, 72, VDZ_AUDIO_PRESENT | VDZ_AUDIO_16BIT | VDZ_AUDIO_STEREO | VDZ_AUDIO_RATE_MASK);
       },
       nullptr, nullptr},
      {"sound at 8 MHz, untimed", false,
       [](auto& b) {
         Put32(b, 16, 0);
         Put32(b, 72, VDZ_AUDIO_PRESENT | 0x7FFFFF);
       },
       nullptr, nullptr},
  };
  const bool limited = !vidzoer_test::kAddressSanitizer;
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = SmallFile(c.compressed);
    c.damage(bytes);
    ASSERT_LT(bytes.size(), 1000u);
    const std::string file = dir_.File("hostile.vdz");
    ASSERT_TRUE(vidzotools::WriteFileBytes(file, bytes));

    const std::string out = dir_.File("out");
    RunResult r = RunProgramLimited(dir_, "vdzinfo",
                                    Quote(file) + " --frames " + Quote(out) + " --tracks " + Quote(out),
                                    kSeconds, limited ? kVdzinfoKib : 0);
    EXPECT_EQ(r.exit_code, c.vdzinfo_says != nullptr ? 1 : 0) << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("bad_alloc"), std::string::npos) << r.err;
    if (c.vdzinfo_says != nullptr) {
      EXPECT_NE(r.err.find(c.vdzinfo_says), std::string::npos) << r.err;
    }
    std::filesystem::remove_all(out);

    r = RunProgramLimited(dir_, "vidzoplw", Quote(file) + " /L2 /S", kSeconds, limited ? kPlayerKib : 0);
    EXPECT_EQ(r.exit_code, c.player_says != nullptr ? 1 : 0) << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    if (c.player_says != nullptr) {
      EXPECT_NE(r.err.find(c.player_says), std::string::npos) << r.err;
    }
  }
}

// The limit is real: a program given less address space than it needs to
// start fails.
TEST_F(HostileFiles, TheAddressSpaceLimitApplies) {
  if (vidzoer_test::kAddressSanitizer) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  EXPECT_EQ(RunProgramLimited(dir_, "vdzinfo", "--help", kSeconds, kVdzinfoKib).exit_code, 0);
  EXPECT_NE(RunProgramLimited(dir_, "vdzinfo", "--help", kSeconds, 2048).exit_code, 0);
}

}  // namespace
