// Key frames, targets, the lossy passes and the checks of the real sizes.
#include "tools/lib/compressor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "tools/lib/lossy_coder.h"
#include "tools/lib/sound_tracks.h"

namespace vidzotools {
namespace {

// Lossy choices over all frames after the first two, while a frame or a
// second is still over its target.
constexpr int kMostRetries = 4;
// Targets aim this far below a limit, for the code lengths that move when
// the trees are built again.
constexpr double kMargin = 0.97;
// How close to its target a frame's choice must come: in the first pass, and
// in the others.
constexpr double kFirstPassTolerance = 0.03;
constexpr double kTolerance = 0.004;
// The memory the frames' kept candidates may take; frames beyond it gather
// theirs again at every choice.
constexpr size_t kMostKeptBytes = size_t{384} << 20;
// Once every frame keeps its error target, the code lengths are built again
// from the pictures chosen and the frames chosen again under them (cheap
// values grow cheaper as more blocks take them), at most this many times and
// while the file keeps shrinking by at least this share. (Where sizes are
// the targets the sizes are already spent: choosing again under new code
// lengths measured no gain.)
constexpr int kMostRefinements = 1;
constexpr double kLeastGain = 0.002;

// The percentage of 4x4 blocks whose colours differ between two frames.
double ChangedPercent(const AnimationFrame& a, const AnimationFrame& b, uint32_t width, uint32_t height) {
  const uint32_t per_row = width / 4, blocks = per_row * (height / 4);
  uint32_t changed = 0;
  for (uint32_t k = 0; k < blocks; ++k) {
    const size_t offset = static_cast<size_t>(k / per_row) * 4 * width + (k % per_row) * 4;
    bool differs = false;
    for (uint32_t y = 0; y < 4 && !differs; ++y) {
      for (uint32_t x = 0; x < 4 && !differs; ++x) {
        const size_t p = offset + y * width + x;
        differs = std::memcmp(&a.palette[3 * a.pixels[p]], &b.palette[3 * b.pixels[p]], 3) != 0;
      }
    }
    changed += differs ? 1 : 0;
  }
  return blocks == 0 ? 0 : 100.0 * changed / blocks;
}

std::vector<FrameToCode> CodingOrder(const std::vector<AnimationFrame>& frames,
                                     const std::vector<std::vector<uint8_t>>* shown) {
  std::vector<FrameToCode> order;
  for (size_t i = 0; i < frames.size(); ++i) {
    const uint8_t* picture = shown ? (*shown)[i].data() : frames[i].pixels.data();
    const uint8_t* previous = nullptr;
    if (i > 0 && !frames[i].key) previous = shown ? (*shown)[i - 1].data() : frames[i - 1].pixels.data();
    order.push_back({picture, previous});
  }
  return order;
}

// The palette as the decoder holds it.
std::array<uint8_t, 768> Stored(const std::array<uint8_t, 768>& palette) {
  std::array<uint8_t, 768> out;
  for (size_t i = 0; i < out.size(); ++i) out[i] = ExpandComponent(palette[i] >> 2);
  return out;
}

}  // namespace

uint32_t FramesPerSecond(int32_t frame_rate) {
  const uint64_t period = FramePeriodUnits(frame_rate);
  if (period == 0) return 1;
  return static_cast<uint32_t>(std::max<uint64_t>(1, 100000 / period));
}

uint64_t RecordSize(const VdzFrame& f) {
  uint64_t size = f.palette.size() + f.video.size();
  for (const VdzAudioChunk& a : f.audio) size += a.body.size() + 4;
  return size;
}

bool CompressFrames(uint32_t width, uint32_t height, std::vector<AnimationFrame>& frames,
                    const CompressOptions& options, VdzContent& content, CompressReport& report,
                    std::string& error) {
  report = CompressReport{};
  const size_t n = frames.size();
  auto cancelled = [&](const char* phase, size_t done, double bytes = 0) {
    if (options.progress && !options.progress(phase, done, n, bytes)) {
      error = "cancelled";
      return true;
    }
    return false;
  };
  auto other = [&](size_t i) { return i < options.other_bytes.size() ? options.other_bytes[i] : 0; };

  // Key frames and the mode of every frame.
  std::vector<int32_t> mode(n);
  size_t last_key = 0;
  bool lossless = true;
  for (size_t i = 0; i < n; ++i) {
    const CodingSettings s = SettingsAt(options.settings, options.changes, static_cast<uint32_t>(i + 1));
    bool key = i == 0;
    if (!key && s.key_every > 0 && i - last_key >= static_cast<size_t>(s.key_every)) key = true;
    if (!key && s.auto_key > 0 && ChangedPercent(frames[i - 1], frames[i], width, height) > s.auto_key)
      key = true;
    frames[i].key = key;
    if (key) {
      last_key = i;
      ++report.key_frames;
    }
    mode[i] = key ? s.key : s.regular;
    lossless = lossless && mode[i] == 0;
  }

  AnimationOptions coding;
  coding.frame_rate = options.frame_rate;
  coding.ring = options.ring;
  if (options.progress) {
    coding.progress = [&](size_t done, size_t total, int pass) {
      options.progress(pass == 1 ? "Gathering statistics" : "Coding", done, total, 0);
    };
  }
  if (lossless) {
    if (!EncodeAnimation(width, height, frames, coding, content, error)) return false;
    for (const AnimationFrame& f : frames) report.shown.push_back(f.pixels);
    report.error_percent.assign(n, 0.0);
    return !cancelled("Done", n);
  }

  // The lossless coding of the input: the sizes the percentage modes refer
  // to, the palette chunks, and the code lengths of the first pass.
  VdzContent exact;
  if (!EncodeAnimation(width, height, frames, coding, exact, error)) return false;
  std::vector<double> lossless_bytes(n), palette_bytes(n);
  double average = 0;
  for (size_t i = 0; i < n; ++i) {
    lossless_bytes[i] = static_cast<double>(exact.frames[i].video.size());
    palette_bytes[i] = static_cast<double>(exact.frames[i].palette.size());
    average += lossless_bytes[i] / static_cast<double>(n);
  }
  std::vector<FrameToCode> input_order = CodingOrder(frames, nullptr);
  CodeModel model = CodeModel::FromFrames(width, height, input_order);

  const uint32_t per_second = FramesPerSecond(options.frame_rate);
  std::vector<double> multiplier(n, 0.0), scale(n, 1.0), model_per_byte(n, 1.0), estimated(n, 0.0),
      record(n, 0.0);
  // One table per run of frames of the same palette.
  std::vector<std::shared_ptr<const PaletteTable>> tables(n);
  for (size_t i = 0; i < n; ++i) {
    const std::array<uint8_t, 768> stored = Stored(frames[i].palette);
    if (i > 0 && tables[i - 1]->palette() == stored)
      tables[i] = tables[i - 1];
    else
      tables[i] = std::make_shared<const PaletteTable>(stored);
  }
  report.shown.assign(n, {});
  report.error_percent.assign(n, 0.0);
  std::vector<AnimationFrame> chosen(n);
  // Frames to choose again in this pass: after the first two, those whose
  // targets tightened, and those after a frame chosen again (their previous
  // picture moved).
  std::vector<bool> redo(n, true);
  std::vector<FrameCandidates> kept(n);
  size_t kept_bytes = 0;
  // Refinements are made when every frame aims at an error.
  const bool by_error = std::all_of(mode.begin(), mode.end(), [](int32_t m) { return m >= 0 && m <= 100; });
  // The best result that kept every target, and its measure.
  struct Kept {
    VdzContent content;
    std::vector<std::vector<uint8_t>> shown;
    std::vector<double> error_percent;
  };
  std::unique_ptr<Kept> best;
  double best_measure = 0;
  int refinements = 0;
  bool refine = false;

  for (int pass = 0; pass < 2 + kMostRetries + kMostRefinements; ++pass) {
    if (pass == 1 || refine) {
      // The second pass prices blocks by the code lengths of the first
      // pass's own pictures, and each refinement by those of the pictures
      // chosen last.
      model = CodeModel::FromFrames(width, height, CodingOrder(frames, &report.shown));
    }
    double so_far = 0;
    for (size_t i = 0; i < n; ++i) {
      if (cancelled("Choosing blocks", i, so_far)) return false;
      if (i > 0 && !frames[i].key && redo[i - 1]) redo[i] = true;
      if (!redo[i]) {
        so_far += record[i];
        continue;
      }
      FrameTarget target;
      const int32_t m = mode[i];
      double video_bytes = 0;
      if (m > 100) {
        double window = 0;
        for (size_t j = i >= per_second - 1 ? i - (per_second - 1) : 0; j < i; ++j) window += record[j];
        const double rate = m * kMargin;
        double budget = std::min(1.5 * rate / per_second, rate - window);
        // Each later second this frame falls in must still hold the palettes
        // and sound of its frames after this one, which cannot shrink.
        double ahead = 0;
        for (size_t t = 1; t < per_second && i + t < n && mode[i + t] > 100; ++t) {
          if (i + t >= per_second) window -= record[i + t - per_second];
          ahead += palette_bytes[i + t] + static_cast<double>(other(i + t));
          budget = std::min(budget, rate - window - ahead);
        }
        video_bytes = budget - palette_bytes[i] - static_cast<double>(other(i));
      } else if (m < -400) {
        video_bytes = lossless_bytes[i] * (-m - 400) / 100.0 * kMargin;
      } else if (m < 0) {
        video_bytes = average * -m / 100.0 * kMargin;
      }
      if (m == 0) {
        target.kind = FrameTarget::kLossless;
      } else if (m >= 1 && m <= 100) {
        target.kind = FrameTarget::kErrorPercent;
        target.value = m;
      } else {
        target.kind = FrameTarget::kBytes;
        target.value = std::max(1.0, video_bytes * model_per_byte[i] * scale[i]);
      }
      // The search starts from the frame's multiplier of the last pass, or
      // in the first from the frame before's; the first pass only shapes
      // the code lengths of the second, so it stops further from its targets.
      target.hint = multiplier[i] > 0 || i == 0 ? multiplier[i] : multiplier[i - 1];
      target.tolerance = pass == 0 ? kFirstPassTolerance : kTolerance;
      const uint8_t* previous = frames[i].key || i == 0 ? nullptr : report.shown[i - 1].data();
      const bool keeping = !kept[i].empty() || kept_bytes < kMostKeptBytes;
      FrameChoice choice = ChooseFrame(width, height, frames[i].pixels.data(), previous, *tables[i], model,
                                       target, keeping ? &kept[i] : nullptr);
      if (keeping && pass == 0) kept_bytes += kept[i].Bytes();
      estimated[i] = choice.estimated_bytes;
      multiplier[i] = choice.multiplier;
      record[i] =
          choice.estimated_bytes / model_per_byte[i] + palette_bytes[i] + static_cast<double>(other(i));
      so_far += record[i];
      report.error_percent[i] = ErrorPercent(choice);
      report.shown[i] = std::move(choice.picture);
    }
    ++report.passes;
    if (pass == 0) continue;

    for (size_t i = 0; i < n; ++i) {
      chosen[i].pixels = report.shown[i];
      chosen[i].palette = frames[i].palette;
      chosen[i].key = frames[i].key;
    }
    if (!EncodeAnimation(width, height, chosen, coding, content, error)) return false;

    // The real sizes against the targets.
    bool over = false;
    std::vector<double> real(n);
    for (size_t i = 0; i < n; ++i) {
      const double video = static_cast<double>(content.frames[i].video.size());
      real[i] = video + palette_bytes[i] + static_cast<double>(other(i));
      // Model bytes per real byte, held to a sane range and smoothed, so
      // that the correction settles instead of swinging.
      if (video > 0 && estimated[i] > 0)
        model_per_byte[i] = std::sqrt(model_per_byte[i] * std::clamp(estimated[i] / video, 0.5, 2.0));
      record[i] = real[i];
      const int32_t m = mode[i];
      double limit = -1;
      if (m < -400) limit = lossless_bytes[i] * (-m - 400) / 100.0;
      if (m < 0 && m >= -400) limit = average * -m / 100.0;
      redo[i] = false;
      if (limit >= 0 && video > limit) {
        scale[i] *= limit / video * kMargin;
        over = true;
        redo[i] = true;
      }
    }
    // Every one-second window ending on a frame with a data rate.
    const size_t span = std::min<size_t>(per_second, n);
    std::vector<double> shrink(n, 1.0);
    for (size_t start = 0; start + span <= n; ++start) {
      const int32_t m = mode[start + span - 1];
      if (m <= 100) continue;
      double sum = 0;
      for (size_t j = start; j < start + span; ++j) sum += real[j];
      if (sum <= m) continue;
      over = true;
      for (size_t j = start; j < start + span; ++j) shrink[j] = std::min(shrink[j], m / sum * kMargin);
    }
    for (size_t i = 0; i < n; ++i) {
      scale[i] *= shrink[i];
      if (shrink[i] < 1) redo[i] = true;
    }
    report.over_target = over;
    if (over && !refine) {
      if (pass + 1 < 2 + kMostRetries) continue;
      break;
    }
    if (!over) {
      double measure = 0;
      for (size_t i = 0; i < n; ++i) measure += real[i];
      if (!best || measure < best_measure) {
        const bool worth = !best || measure < (1 - kLeastGain) * best_measure;
        if (!best) best = std::make_unique<Kept>();
        best->content = content;
        best->shown = report.shown;
        best->error_percent = report.error_percent;
        best_measure = measure;
        if (by_error && worth && refinements < kMostRefinements) {
          ++refinements;
          refine = true;
          std::fill(redo.begin(), redo.end(), true);
          continue;
        }
      }
    }
    // A refinement that did no better (or missed a target) gives way to the
    // best result before it.
    if (best) {
      content = std::move(best->content);
      report.shown = std::move(best->shown);
      report.error_percent = std::move(best->error_percent);
      report.over_target = false;
    }
    break;
  }
  return !cancelled("Done", n);
}

}  // namespace vidzotools
