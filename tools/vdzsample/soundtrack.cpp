#include "tools/vdzsample/soundtrack.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vdzsample {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Left and right gains for a place across the picture (0 left, 1 right).
void Pan(double place, double& left, double& right) {
  place = std::clamp(place, 0.0, 1.0);
  left = std::cos(place * std::numbers::pi / 2);
  right = std::sin(place * std::numbers::pi / 2);
}

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

std::vector<uint8_t> MakeSoundTrack(const Scene& scene, uint32_t rate, uint64_t sample_frames) {
  std::vector<uint8_t> pcm;
  pcm.reserve(sample_frames * 4);
  const double width = scene.width(), r = scene.BallRadius();
  double ball_phase = 0, square_phase = 0;
  for (uint64_t n = 0; n < sample_frames; ++n) {
    const double t = static_cast<double>(n) / rate;
    double left = 0, right = 0, gl = 0, gr = 0;

    // The ball's tone: two octaves from the floor to the top.
    const Point ball = scene.Ball(t);
    const double pitch = 220.0 * std::exp2(2 * scene.BallHeight(t));
    ball_phase = std::fmod(ball_phase + kTwoPi * pitch / rate, kTwoPi);
    const double tone = 0.16 * (std::sin(ball_phase) + 0.3 * std::sin(2 * ball_phase));
    Pan((ball.x - r) / std::max(1.0, width - 2 * r), gl, gr);
    left += tone * gl;
    right += tone * gr;

    // A thump when the ball lands (every bounce ends on the floor).
    const double since_landing = std::fmod(t, kBounceSeconds);
    if (t >= kBounceSeconds / 2 && since_landing < 0.25) {
      const double thump = 0.5 * std::exp(-since_landing * 18) * std::sin(kTwoPi * 70 * since_landing);
      left += thump * gl;
      right += thump * gr;
    }

    // The square's lower tone: an octave from the bottom of its path to the top.
    const Point square = scene.Square(t);
    const double square_pitch = 110.0 * std::exp2(1 - square.y / std::max(1.0, scene.height() / 2.0));
    square_phase = std::fmod(square_phase + kTwoPi * square_pitch / rate, kTwoPi);
    const double low = 0.08 * std::sin(square_phase);
    Pan(square.x / std::max(1.0, width), gl, gr);
    left += low * gl;
    right += low * gr;

    // A chime as each crossfade of the colours begins.
    const double since_change = std::fmod(t + 1.0, kSchemeSeconds);
    if (t + 1.0 >= kSchemeSeconds && since_change < 1.5) {
      const double chime =
          0.1 * std::exp(-since_change * 3) *
          (std::sin(kTwoPi * 660 * since_change) + 0.6 * std::sin(kTwoPi * 990 * since_change));
      left += chime;
      right += chime;
    }

    const double fade = scene.Brightness(t);
    for (double v : {left * fade, right * fade}) {
      const long s = std::lround(std::clamp(v, -1.0, 1.0) * 32767);
      PutLe16(pcm, static_cast<uint16_t>(static_cast<int16_t>(s)));
    }
  }
  return pcm;
}

std::vector<uint8_t> WaveFile(const std::vector<uint8_t>& pcm, uint32_t rate) {
  const uint32_t channels = 2, bits = 16, block = channels * bits / 8;
  std::vector<uint8_t> out;
  out.reserve(44 + pcm.size());
  PutTag(out, "RIFF");
  PutLe32(out, static_cast<uint32_t>(36 + pcm.size()));
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutLe32(out, 16);
  PutLe16(out, 1);  // PCM
  PutLe16(out, channels);
  PutLe32(out, rate);
  PutLe32(out, rate * block);
  PutLe16(out, block);
  PutLe16(out, bits);
  PutTag(out, "data");
  PutLe32(out, static_cast<uint32_t>(pcm.size()));
  out.insert(out.end(), pcm.begin(), pcm.end());
  return out;
}

}  // namespace vdzsample
