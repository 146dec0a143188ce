// The compressor's core: one shared palette, the frame-specific settings,
// and every coding mode on real and random content, each file decoded by
// the playback library and measured against its target.
#include "tools/lib/compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "compressor/content.h"
#include "support/temp_dir.h"
#include "tools/lib/frame_settings.h"
#include "tools/lib/frame_values.h"
#include "tools/lib/lossy_coder.h"
#include "tools/lib/shared_palette.h"

namespace {

using namespace vidzotools;
using namespace compressor_test;

// ---- one palette ----------------------------------------------------------

TEST(SharedPalette, FramesWithTheirOwnPalettesShareOneAndShowTheSameColours) {
  // Two frames whose palettes order the same colours differently, and a
  // third with colours of its own.
  std::vector<AnimationFrame> frames = RandomFrames(16, 16, 3, 40, 0.5, 3);
  std::rotate(frames[1].palette.begin(), frames[1].palette.begin() + 30, frames[1].palette.end());
  for (int i = 0; i < 40; ++i) frames[2].palette[3 * i] ^= 0x80;
  std::vector<std::vector<uint8_t>> before;
  for (const auto& f : frames) before.push_back(ShownRgb(f.pixels, f.palette));
  ASSERT_TRUE(ShareOnePalette(frames));
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].palette, frames[0].palette);
    EXPECT_EQ(ShownRgb(frames[i].pixels, frames[i].palette), before[i]) << "frame " << i;
  }
}

TEST(SharedPalette, OnePaletteKeepsItsIndices) {
  std::vector<AnimationFrame> frames = RandomFrames(16, 16, 3, 256, 0.3, 4);
  for (int i = 0; i < 256; ++i) {  // 256 distinct colours in 6 bits
    frames[0].palette[3 * i] = static_cast<uint8_t>((i & 63) << 2);
    frames[0].palette[3 * i + 1] = static_cast<uint8_t>((i >> 6) << 6);
    frames[0].palette[3 * i + 2] = 7;
  }
  for (auto& f : frames) f.palette = frames[0].palette;
  const auto pixels = frames[2].pixels;
  ASSERT_TRUE(ShareOnePalette(frames));
  EXPECT_EQ(frames[2].pixels, pixels);
}

TEST(SharedPalette, MoreThan256ColoursLeaveTheFramesAlone) {
  std::vector<AnimationFrame> frames = RandomFrames(32, 32, 2, 200, 1.0, 5);
  for (int i = 0; i < 256; ++i) frames[1].palette[3 * i + 1] ^= 0x40;  // every colour new
  const auto copy = frames;
  EXPECT_FALSE(ShareOnePalette(frames));
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].pixels, copy[i].pixels);
    EXPECT_EQ(frames[i].palette, copy[i].palette);
  }
}

// ---- frame-specific settings ----------------------------------------------

struct SettingsCase {
  const char* text;
  bool ok;
  const char* message;  // part of the error
};

class FrameSettingsText : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(FrameSettingsText, ParsesOrNamesTheLine) {
  std::vector<SettingsChange> changes;
  std::string error;
  EXPECT_EQ(ParseFrameSettings(GetParam().text, changes, error), GetParam().ok) << error;
  if (!GetParam().ok) {
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FrameSettingsText,
    ::testing::Values(SettingsCase{"120 /N150000 /K-80\r\n300 /N0/J25\n", true, ""},
                      SettingsCase{"; comment\n\n  7 /a50\n", true, ""}, SettingsCase{"", true, ""},
                      SettingsCase{"10 /N-480", true, ""}, SettingsCase{"1 /N5\n/N7\n", false, "line 2"},
                      SettingsCase{"0 /N5", false, "line 1"}, SettingsCase{"-3 /N5", false, "frame number"},
                      SettingsCase{"5", false, "no switch"},
                      SettingsCase{"5 /Q3", false, "unknown switch /Q"},
                      SettingsCase{"5 /N", false, "/N needs a number"},
                      SettingsCase{"5 /N-801", false, "/N takes"}, SettingsCase{"5 /A101", false, "/A takes"},
                      SettingsCase{"5 /J-1", false, "/J takes"},
                      SettingsCase{"5 N7", false, "expected a switch"},
                      SettingsCase{"5 /N12345678901", false, "/N needs a number"}));

TEST(FrameSettings, AChangeHoldsFromItsFrameUntilTheNextOfTheSameSwitch) {
  std::vector<SettingsChange> changes;
  std::string error;
  ASSERT_TRUE(ParseFrameSettings("20 /N-50\n10 /N30000 /A90\n30 /K7\n", changes, error)) << error;
  const CodingSettings base{0, 0, 0, 0};
  struct Expect {
    uint32_t frame;
    int32_t regular, key, auto_key;
  };
  for (const Expect& e :
       {Expect{1, 0, 0, 0}, Expect{9, 0, 0, 0}, Expect{10, 30000, 0, 90}, Expect{19, 30000, 0, 90},
        Expect{20, -50, 0, 90}, Expect{30, -50, 7, 90}, Expect{500, -50, 7, 90}}) {
    const CodingSettings s = SettingsAt(base, changes, e.frame);
    EXPECT_EQ(s.regular, e.regular) << "frame " << e.frame;
    EXPECT_EQ(s.key, e.key) << "frame " << e.frame;
    EXPECT_EQ(s.auto_key, e.auto_key) << "frame " << e.frame;
  }
}

// ---- coding ---------------------------------------------------------------

struct Coded {
  VdzContent content;
  CompressReport report;
  Decoded decoded;
};

void Code(uint32_t width, uint32_t height, std::vector<AnimationFrame>& frames,
          const CompressOptions& options, Coded& out) {
  std::string error;
  ASSERT_TRUE(CompressFrames(width, height, frames, options, out.content, out.report, error)) << error;
  vidzoer_test::TempDir dir;
  ASSERT_TRUE(WriteVdzFile(dir.File("t.vdz"), out.content, error)) << error;
  ASSERT_TRUE(DecodeFile(dir.File("t.vdz"), options.ring, out.decoded, error)) << error;
  ASSERT_EQ(out.decoded.rgb.size(), frames.size() + (options.ring ? 1 : 0));
  // The decoder shows exactly the pictures the coder chose.
  for (size_t i = 0; i < frames.size(); ++i)
    ASSERT_EQ(out.decoded.rgb[i], ShownRgb(out.report.shown[i], frames[i].palette)) << "frame " << i;
}

// 100 x the root of the error over the reference error, measured on the
// decoded pictures: against the previous decoded picture for a regular
// frame, against the frame's mean colour for a key frame.
double MeasuredErrorPercent(const std::vector<uint8_t>& input, const std::vector<uint8_t>& shown,
                            const std::vector<uint8_t>* previous) {
  double reference = 0;
  if (previous != nullptr) {
    reference = WeightedError(*previous, input);
  } else {
    double mean[3] = {0, 0, 0};
    for (size_t i = 0; i < input.size(); ++i) mean[i % 3] += input[i];
    for (double& m : mean) m /= static_cast<double>(input.size() / 3);
    for (size_t i = 0; i < input.size(); i += 3) {
      const double dr = input[i] - mean[0], dg = input[i + 1] - mean[1], db = input[i + 2] - mean[2];
      reference += 299 * dr * dr + 587 * dg * dg + 114 * db * db;
    }
  }
  const double error = WeightedError(shown, input);
  if (reference == 0) return error == 0 ? 0 : 1e9;
  return 100 * std::sqrt(error / reference);
}

struct ContentCase {
  const char* name;
  std::vector<AnimationFrame> (*make)();
};

std::vector<AnimationFrame> Pan() {
  return PanFrames(96, 64, 12);
}
std::vector<AnimationFrame> Sprite() {
  return SpriteFrames(96, 64, 12);
}
std::vector<AnimationFrame> Random() {
  return RandomFrames(96, 64, 12, 64, 0.2, 9);
}
std::vector<AnimationFrame> RandomWithPalettes() {
  auto frames = RandomFrames(96, 64, 8, 256, 0.3, 11);
  for (size_t i = 4; i < frames.size(); ++i)
    for (int k = 0; k < 60; ++k) frames[i].palette[k] = static_cast<uint8_t>(frames[i].palette[k] + 36);
  return frames;
}

class CodingModes : public ::testing::TestWithParam<ContentCase> {};

TEST_P(CodingModes, LosslessGivesBackTheInputExactly) {
  auto frames = GetParam().make();
  const auto input = frames;
  CompressOptions options;
  options.ring = true;
  Coded c;
  ASSERT_NO_FATAL_FAILURE(Code(96, 64, frames, options, c));
  for (size_t i = 0; i < input.size(); ++i)
    EXPECT_EQ(c.decoded.rgb[i], ShownRgb(input[i].pixels, input[i].palette)) << "frame " << i;
  EXPECT_EQ(c.decoded.rgb.back(), c.decoded.rgb.front()) << "the ring frame shows frame 0";
}

TEST_P(CodingModes, ErrorPercentagesStayAtOrBelowTheirTargets) {
  for (int32_t percent : {5, 20, 40}) {
    auto frames = GetParam().make();
    const auto input = frames;
    CompressOptions options;
    options.settings = {percent, percent / 2, 0, 4};
    Coded c;
    ASSERT_NO_FATAL_FAILURE(Code(96, 64, frames, options, c));
    for (size_t i = 0; i < input.size(); ++i) {
      const auto wanted = ShownRgb(input[i].pixels, input[i].palette);
      const double limit = frames[i].key ? percent / 2 : percent;
      const double got =
          MeasuredErrorPercent(wanted, c.decoded.rgb[i], frames[i].key ? nullptr : &c.decoded.rgb[i - 1]);
      EXPECT_LE(got, limit + 1e-6) << percent << " %, frame " << i << (frames[i].key ? " (key)" : "");
    }
  }
}

TEST_P(CodingModes, FrameSizesStayWithinTheirPercentages) {
  auto frames = GetParam().make();
  std::vector<AnimationFrame> copy = frames;
  CompressOptions lossless;
  Coded exact;
  ASSERT_NO_FATAL_FAILURE(Code(96, 64, copy, lossless, exact));
  std::vector<double> own;
  double average = 0;
  for (const auto& f : exact.content.frames) {
    own.push_back(static_cast<double>(f.video.size()));
    average += own.back() / static_cast<double>(frames.size());
  }
  for (int32_t mode : {-50, -460}) {
    copy = frames;
    CompressOptions options;
    options.settings = {mode, mode, 0, 0};
    Coded c;
    ASSERT_NO_FATAL_FAILURE(Code(96, 64, copy, options, c));
    for (size_t i = 0; i < frames.size(); ++i) {
      const double limit = mode < -400 ? own[i] * (-mode - 400) / 100.0 : average * -mode / 100.0;
      EXPECT_LE(static_cast<double>(c.content.frames[i].video.size()), limit * 1.05 + 8)
          << "mode " << mode << ", frame " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Content, CodingModes,
                         ::testing::Values(ContentCase{"pan", Pan}, ContentCase{"sprite", Sprite},
                                           ContentCase{"random", Random},
                                           ContentCase{"random_palettes", RandomWithPalettes}),
                         [](const auto& info) { return std::string(info.param.name); });

// A data rate holds over every one-second window of a 30-second clip.
struct RateCase {
  const char* name;
  bool pan;
  int32_t rate;
  std::vector<uint64_t> sound;  // bytes of sound per frame
};

class DataRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(DataRate, HoldsOverEveryOneSecondWindow) {
  const RateCase& r = GetParam();
  constexpr int kFrames = 300;  // 30 s at 10 frames a second
  auto frames = r.pan ? PanFrames(128, 96, kFrames) : RandomFrames(128, 96, kFrames, 32, 0.05, 21);
  CompressOptions options;
  options.frame_rate = 100;
  options.settings = {r.rate, r.rate, 0, 50};
  options.other_bytes.assign(kFrames, r.sound.empty() ? 0 : r.sound[0]);
  Coded c;
  ASSERT_NO_FATAL_FAILURE(Code(128, 96, frames, options, c));
  double peak = 0, total = 0;
  for (size_t s = 0; s + 10 <= kFrames; ++s) {
    double sum = 0;
    for (size_t j = s; j < s + 10; ++j)
      sum += static_cast<double>(c.decoded.sizes[j]) + static_cast<double>(options.other_bytes[j]);
    peak = std::max(peak, sum);
  }
  for (size_t j = 0; j < kFrames; ++j)
    total += static_cast<double>(c.decoded.sizes[j] + options.other_bytes[j]);
  EXPECT_LE(peak, r.rate * 1.05) << "the peak second";
  EXPECT_GE(total / 30, r.rate * 0.6) << "the budget is used";
}

INSTANTIATE_TEST_SUITE_P(Clips, DataRate,
                         ::testing::Values(RateCase{"pan", true, 25000, {}},
                                           RateCase{"random", false, 20000, {}},
                                           RateCase{"pan_with_sound", true, 25000, {1200}}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the lossy block choice ---------------------------------------------------

// Random bytes from a seed.
struct RandomBytes {
  uint32_t seed;
  uint8_t operator()() { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); }
};

std::array<uint8_t, 768> RandomPalette(RandomBytes& next) {
  std::array<uint8_t, 768> palette{};
  for (auto& c : palette) c = next();
  return palette;
}

TEST(PaletteTable, NearestIsTheFirstOfTheClosestEntries) {
  RandomBytes next{5};
  std::array<uint8_t, 768> palette = RandomPalette(next);
  // Entry 200 repeats entry 7: asked for that colour, the first one answers.
  std::copy(palette.begin() + 21, palette.begin() + 24, palette.begin() + 600);
  const PaletteTable table(palette);
  struct Case {
    uint8_t r, g, b;
  };
  std::vector<Case> cases = {{0, 0, 0}, {255, 255, 255}, {palette[21], palette[22], palette[23]}};
  for (int i = 0; i < 200; ++i) cases.push_back({next(), next(), next()});
  for (const Case& c : cases) {
    const uint8_t wanted[3] = {c.r, c.g, c.b};
    int expect = 0;
    for (int i = 1; i < 256; ++i)
      if (ColourError(&palette[3 * i], wanted) < ColourError(&palette[3 * expect], wanted)) expect = i;
    EXPECT_EQ(table.Nearest(c.r, c.g, c.b), expect) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    EXPECT_EQ(table.Nearest(c.r, c.g, c.b), expect) << "asked again";
  }
  EXPECT_EQ(table.Nearest(palette[21], palette[22], palette[23]), 7);
}

TEST(PaletteTable, NeighboursAreTheEntryThenItsNearest) {
  RandomBytes next{9};
  std::array<uint8_t, 768> palette = RandomPalette(next);
  // Entry 50 repeats entry 3: each is the other's nearest.
  std::copy(palette.begin() + 9, palette.begin() + 12, palette.begin() + 150);
  const PaletteTable table(palette);
  for (int a = 0; a < 256; ++a) {
    const auto& n = table.Neighbours(static_cast<uint8_t>(a));
    ASSERT_EQ(n[0], a);
    std::vector<int> others;
    for (int b = 0; b < 256; ++b)
      if (b != a) others.push_back(b);
    std::stable_sort(others.begin(), others.end(), [&](int x, int y) {
      return table.Error(uint8_t(a), uint8_t(x)) < table.Error(uint8_t(a), uint8_t(y));
    });
    for (int k = 1; k < PaletteTable::kNeighbours; ++k)
      EXPECT_EQ(n[k], others[k - 1]) << "entry " << a << ", neighbour " << k;
  }
  EXPECT_EQ(table.Neighbours(3)[1], 50);
  EXPECT_EQ(table.Neighbours(50)[1], 3);
}

// The code lengths the block choice prices with: values no frame gives cost
// a new leaf (even the unused values the trees take as escapes), and a value
// repeating one of the last three costs at most its escape.
TEST(CodeModel, RepeatsCostTheirEscapeAndUnusedValuesANewLeaf) {
  const auto frames = PanFrames(96, 64, 3);
  std::vector<FrameToCode> order;
  for (size_t i = 0; i < frames.size(); ++i)
    order.push_back({frames[i].pixels.data(), i == 0 ? nullptr : frames[i - 1].pixels.data()});
  const CodeModel model = CodeModel::FromFrames(96, 64, order);
  std::array<std::vector<uint32_t>, 4> used;
  for (auto& u : used) u.assign(65536, 0);
  std::array<uint32_t, 4> repeats{};
  for (const FrameToCode& f : order) {
    std::array<uint32_t, 4> last;
    last.fill(0);
    ForEachFrameValue(f.picture, f.previous, 96, 64, [&](int tree, uint32_t value) {
      ++used[tree][value];
      if (value == last[tree]) ++repeats[tree];
      last[tree] = value;
    });
  }
  ASSERT_GT(repeats[kFullTree], 10u);
  for (int t = 0; t < 4; ++t) {
    for (uint32_t v = 0; v < 65536; ++v) {
      if (used[t][v] == 0) {
        ASSERT_EQ(model.bits[t][v], 24.0f) << "tree " << t << ", value " << v;
      } else {
        ASSERT_LT(model.bits[t][v], 24.0f) << "tree " << t << ", value " << v;
      }
    }
  }
  // The full tree's values repeat often enough for the last one's escape to
  // be in the tree.
  EXPECT_LT(model.repeat_bits[kFullTree][0], 24.0f);
  EXPECT_GT(model.repeat_bits[kFullTree][0], 0.0f);
}

// Two frames of the pan and zoom, their code lengths, and their palette as
// the decoder holds it.
struct TwoPanFrames {
  static std::array<uint8_t, 768> Stored(const AnimationFrame& f) {
    std::array<uint8_t, 768> palette{};
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = ExpandComponent(f.palette[i] >> 2);
    return palette;
  }
  static CodeModel Model(const std::vector<AnimationFrame>& frames) {
    const std::vector<FrameToCode> order = {{frames[0].pixels.data(), nullptr},
                                            {frames[1].pixels.data(), frames[0].pixels.data()}};
    return CodeModel::FromFrames(96, 64, order);
  }
  const std::vector<AnimationFrame> frames = PanFrames(96, 64, 2);
  const CodeModel model = Model(frames);
  const std::array<uint8_t, 768> palette = Stored(frames[0]);
  const PaletteTable table{palette};
};

// A looser error target never costs more: the choice is the least error
// plus multiplier times bits over the whole frame, so bits fall as the
// multiplier grows.
TEST(ChooseFrame, LooserTargetsNeverCostMore) {
  const TwoPanFrames pan;
  const auto& frames = pan.frames;
  const CodeModel& model = pan.model;
  const PaletteTable& table = pan.table;
  for (bool key : {true, false}) {
    const uint8_t* picture = frames[key ? 0 : 1].pixels.data();
    const uint8_t* previous = key ? nullptr : frames[0].pixels.data();
    FrameCandidates kept;
    double last_bytes = 0, last_multiplier = 0;
    for (double percent : {1.0, 2.0, 4.0, 8.0, 16.0, 32.0, 64.0}) {
      const FrameChoice c =
          ChooseFrame(96, 64, picture, previous, table, model, {FrameTarget::kErrorPercent, percent}, &kept);
      EXPECT_LE(ErrorPercent(c), percent);
      if (percent > 1) {
        EXPECT_LE(c.estimated_bytes, last_bytes)
            << (key ? "key" : "regular") << " frame at " << percent << " %";
        EXPECT_GE(c.multiplier, last_multiplier)
            << (key ? "key" : "regular") << " frame at " << percent << " %";
      }
      last_bytes = c.estimated_bytes;
      last_multiplier = c.multiplier;
    }
    EXPECT_LT(last_bytes, 0.5 * ChooseFrame(96, 64, picture, previous, table, model, {}).estimated_bytes);
  }
}

// The multiplier search started from an earlier choice's multiplier, far
// off or close, ends where the search without one does.
TEST(ChooseFrame, AStartingMultiplierLeadsToTheSameEdgeOfTheTarget) {
  const TwoPanFrames pan;
  const auto& frames = pan.frames;
  const CodeModel& model = pan.model;
  const PaletteTable& table = pan.table;
  struct Case {
    const char* name;
    FrameTarget::Kind kind;
    double value;
    bool key;
  };
  const Case cases[] = {{"key frame, bytes", FrameTarget::kBytes, 900, true},
                        {"regular frame, bytes", FrameTarget::kBytes, 300, false},
                        {"key frame, error", FrameTarget::kErrorPercent, 10, true},
                        {"regular frame, error", FrameTarget::kErrorPercent, 30, false}};
  for (const Case& c : cases) {
    const uint8_t* picture = frames[c.key ? 0 : 1].pixels.data();
    const uint8_t* previous = c.key ? nullptr : frames[0].pixels.data();
    FrameTarget target{c.kind, c.value};
    const FrameChoice cold = ChooseFrame(96, 64, picture, previous, table, model, target);
    ASSERT_GT(cold.multiplier, 0) << c.name;
    for (double hint : {1e-3, cold.multiplier * 0.9, cold.multiplier, cold.multiplier * 1.3, 1e8}) {
      target.hint = hint;
      const FrameChoice warm = ChooseFrame(96, 64, picture, previous, table, model, target);
      if (c.kind == FrameTarget::kBytes) {
        EXPECT_LE(warm.estimated_bytes, c.value) << c.name << ", from " << hint;
      } else {
        EXPECT_LE(ErrorPercent(warm), c.value) << c.name << ", from " << hint;
      }
      EXPECT_NEAR(std::log(warm.multiplier), std::log(cold.multiplier), 0.02) << c.name << ", from " << hint;
    }
  }
}

// Candidates kept from an earlier choice of the frame give the choice a fresh
// gathering gives: for another target, over another previous picture; under
// another model they are priced again and the choice keeps its target.
TEST(ChooseFrame, KeptCandidatesChooseAsFreshOnesDo) {
  const auto frames = SpriteFrames(96, 64, 3);
  const auto pan = PanFrames(96, 64, 2);
  std::vector<FrameToCode> order = {{frames[0].pixels.data(), nullptr},
                                    {frames[1].pixels.data(), frames[0].pixels.data()}};
  const CodeModel model = CodeModel::FromFrames(96, 64, order);
  std::vector<FrameToCode> other_order = {{pan[0].pixels.data(), nullptr}, {pan[1].pixels.data(), nullptr}};
  const CodeModel other = CodeModel::FromFrames(96, 64, other_order);
  ASSERT_NE(model.id, other.id);
  std::array<uint8_t, 768> palette{};
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = ExpandComponent(frames[0].palette[i] >> 2);
  const PaletteTable table(palette);
  const uint8_t* picture = frames[2].pixels.data();
  FrameCandidates kept;
  EXPECT_TRUE(kept.empty());
  struct Step {
    const char* name;
    const uint8_t* previous;
    FrameTarget target;
  };
  const Step steps[] = {{"first", frames[1].pixels.data(), {FrameTarget::kBytes, 120}},
                        {"another size", frames[1].pixels.data(), {FrameTarget::kBytes, 60}},
                        {"an error", frames[1].pixels.data(), {FrameTarget::kErrorPercent, 20}},
                        {"another previous picture", frames[0].pixels.data(), {FrameTarget::kBytes, 120}}};
  for (const Step& s : steps) {
    const FrameChoice fresh = ChooseFrame(96, 64, picture, s.previous, table, model, s.target);
    const FrameChoice again = ChooseFrame(96, 64, picture, s.previous, table, model, s.target, &kept);
    EXPECT_FALSE(kept.empty());
    EXPECT_GT(kept.Bytes(), 0u);
    EXPECT_EQ(again.picture, fresh.picture) << s.name;
    EXPECT_EQ(again.estimated_bytes, fresh.estimated_bytes) << s.name;
    EXPECT_EQ(again.error, fresh.error) << s.name;
  }
  const FrameTarget size{FrameTarget::kBytes, 100};
  const FrameChoice priced = ChooseFrame(96, 64, picture, frames[1].pixels.data(), table, other, size, &kept);
  EXPECT_LE(priced.estimated_bytes, 100.0);
  EXPECT_GT(priced.estimated_bytes, 80.0);
  const double measured = MeanSquaredError(picture, priced.picture.data(), 96 * 64, palette);
  EXPECT_NEAR(measured * 1000 * 96 * 64, priced.error, priced.error * 1e-4 + 1);
}

TEST(KeyFrames, EveryJFramesAndWhereThePictureChanges) {
  auto frames = SpriteFrames(64, 48, 12);
  // Frame 7 is a new picture.
  for (auto& p : frames[7].pixels) p = static_cast<uint8_t>(255 - p);
  for (size_t i = 8; i < frames.size(); ++i) frames[i].pixels = frames[7].pixels;
  CompressOptions options;
  options.settings = {0, 0, 60, 5};
  Coded c;
  ASSERT_NO_FATAL_FAILURE(Code(64, 48, frames, options, c));
  std::vector<size_t> keys;
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i].key) keys.push_back(i);
  EXPECT_EQ(keys, (std::vector<size_t>{0, 5, 7}));
  EXPECT_EQ(c.report.key_frames, 3u);
}

}  // namespace
