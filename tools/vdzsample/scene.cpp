#include "tools/vdzsample/scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/lib/vdz_writer.h"

namespace vdzsample {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Plasma entries the palette moves on per second.
constexpr double kCycleRate = 40.0;

struct Rgb {
  double r, g, b;
};

// Entry j of colour scheme k; every scheme is cyclic, so that the plasma's
// palette can rotate without a seam.
Rgb SchemeColour(int k, int j) {
  const double p = kTwoPi * j / kPlasmaColours;
  switch (k % 3) {
    case 0:  // embers
      return {0.55 + 0.45 * std::sin(p), 0.35 + 0.35 * std::sin(p - 1.1), 0.15 + 0.15 * std::sin(2 * p)};
    case 1:  // sea
      return {0.1 + 0.1 * std::sin(p + 2.0), 0.45 + 0.35 * std::sin(p + 1.0), 0.6 + 0.4 * std::sin(p)};
    default:  // rainbow
      return {0.5 + 0.5 * std::sin(p), 0.5 + 0.5 * std::sin(p + kTwoPi / 3),
              0.5 + 0.5 * std::sin(p + 2 * kTwoPi / 3)};
  }
}

// Tilted faces of the square, lit from the top left.
constexpr Rgb kSquareColours[4] = {{0.2, 0.75, 0.3}, {0.1, 0.5, 0.2}, {0.35, 0.95, 0.45}, {0.05, 0.35, 0.15}};
constexpr Rgb kShadowColour = {0.04, 0.04, 0.06};

double Fraction(double x) {
  return x - std::floor(x);
}

void SetColour(std::array<uint8_t, 768>& palette, int slot, Rgb c, double brightness) {
  const double parts[3] = {c.r, c.g, c.b};
  for (int k = 0; k < 3; ++k) {
    const double v = std::clamp(parts[k] * brightness, 0.0, 1.0);
    palette[3 * slot + k] = vidzotools::ExpandComponent(static_cast<uint8_t>(std::lround(v * 63)));
  }
}

}  // namespace

Scene::Scene(uint32_t width, uint32_t height, double seconds)
    : width_(width),
      height_(height),
      seconds_(seconds),
      ball_radius_(height / 10.0),
      square_half_(height / 12.0),
      plasma_(static_cast<size_t>(width) * height) {
  // The field is laid out for 320 x 240 and stretched to the real size.
  for (uint32_t y = 0; y < height; ++y) {
    const double v = y * 240.0 / height;
    for (uint32_t x = 0; x < width; ++x) {
      const double u = x * 320.0 / width;
      const double f = std::sin(u / 16) + std::sin(v / 11) + std::sin((u + v) / 23) +
                       std::sin(std::hypot(u - 160, v - 120) / 9);
      // Two turns of the palette across the field's range of -4 to 4.
      const int index = static_cast<int>((f + 4) / 8 * 2 * kPlasmaColours);
      plasma_[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(index % kPlasmaColours);
    }
  }
}

double Scene::BallHeight(double t) const {
  const double phase = Fraction(t / kBounceSeconds);
  return 4 * phase * (1 - phase);
}

Point Scene::Ball(double t) const {
  const double floor_y = height_ - height_ / 12.0 - ball_radius_;
  const double top_y = ball_radius_ + height_ / 12.0;
  // Across the picture and back every six seconds.
  const double q = Fraction(t / 6.0);
  const double across = q < 0.5 ? 2 * q : 2 - 2 * q;
  return {ball_radius_ + across * (width_ - 2 * ball_radius_), floor_y - (floor_y - top_y) * BallHeight(t)};
}

Point Scene::Square(double t) const {
  return {width_ / 2.0 + width_ / 4.0 * std::cos(kTwoPi * t / 5),
          height_ / 4.0 + height_ / 10.0 * std::sin(kTwoPi * t / 3)};
}

double Scene::SquareAngle(double t) const {
  return 1.5 * t;
}

double Scene::Brightness(double t) const {
  return std::clamp(std::min(t / kFadeSeconds, (seconds_ - t) / kFadeSeconds), 0.0, 1.0);
}

int Scene::SchemeAt(double t, double& crossfade) const {
  const int scheme = static_cast<int>(std::floor(t / kSchemeSeconds));
  const double within = t - scheme * kSchemeSeconds;
  crossfade = std::clamp(within - (kSchemeSeconds - 1), 0.0, 1.0);
  return scheme;
}

void Scene::Palette(double t, std::array<uint8_t, 768>& palette) const {
  palette.fill(0);
  const double brightness = Brightness(t);
  double w = 0;
  const int scheme = SchemeAt(t, w);
  const int offset = static_cast<int>(std::floor(t * kCycleRate)) % kPlasmaColours;
  for (int j = 0; j < kPlasmaColours; ++j) {
    const int from = (j + offset) % kPlasmaColours;
    const Rgb a = SchemeColour(scheme, from), b = SchemeColour(scheme + 1, from);
    SetColour(palette, j, {a.r + (b.r - a.r) * w, a.g + (b.g - a.g) * w, a.b + (b.b - a.b) * w}, brightness);
  }
  for (int k = 0; k < kBallShades; ++k) {
    const double light = 1.0 - 0.8 * k / (kBallShades - 1);
    SetColour(palette, kBallSlot + k, {light, 0.85 * light, 0.35 * light}, brightness);
  }
  for (int k = 0; k < 4; ++k) SetColour(palette, kSquareSlot + k, kSquareColours[k], brightness);
  SetColour(palette, kShadowSlot, kShadowColour, brightness);
}

void Scene::Draw(double t, std::vector<uint8_t>& pixels, std::array<uint8_t, 768>& palette) const {
  Palette(t, palette);
  pixels = plasma_;
  const auto clip_x = [this](double x) { return static_cast<int>(std::clamp(x, 0.0, double(width_))); };
  const auto clip_y = [this](double y) { return static_cast<int>(std::clamp(y, 0.0, double(height_))); };

  // The shadow on the floor shrinks as the ball rises.
  const Point ball = Ball(t);
  const double r = ball_radius_;
  const double shadow_w = r * (1.2 - 0.6 * BallHeight(t)), shadow_h = r / 4;
  const double shadow_y = height_ - height_ / 12.0;
  for (int y = clip_y(shadow_y - shadow_h); y < clip_y(shadow_y + shadow_h); ++y)
    for (int x = clip_x(ball.x - shadow_w); x < clip_x(ball.x + shadow_w); ++x) {
      const double dx = (x + 0.5 - ball.x) / shadow_w, dy = (y + 0.5 - shadow_y) / shadow_h;
      if (dx * dx + dy * dy <= 1) pixels[static_cast<size_t>(y) * width_ + x] = kShadowSlot;
    }

  // The ball, shaded from a highlight at its top left.
  const Point light{ball.x - r / 3, ball.y - r / 3};
  for (int y = clip_y(ball.y - r); y < clip_y(ball.y + r); ++y)
    for (int x = clip_x(ball.x - r); x < clip_x(ball.x + r); ++x) {
      const double px = x + 0.5, py = y + 0.5;
      if (std::hypot(px - ball.x, py - ball.y) > r) continue;
      const int shade = static_cast<int>(std::hypot(px - light.x, py - light.y) / (1.4 * r) * kBallShades);
      pixels[static_cast<size_t>(y) * width_ + x] =
          static_cast<uint8_t>(kBallSlot + std::min(shade, kBallShades - 1));
    }

  // The square: four faces, one per side of its diagonals.
  const Point c = Square(t);
  const double a = SquareAngle(t), ca = std::cos(a), sa = std::sin(a), h = square_half_, reach = h * 1.5;
  for (int y = clip_y(c.y - reach); y < clip_y(c.y + reach); ++y)
    for (int x = clip_x(c.x - reach); x < clip_x(c.x + reach); ++x) {
      const double dx = x + 0.5 - c.x, dy = y + 0.5 - c.y;
      const double lx = dx * ca + dy * sa, ly = -dx * sa + dy * ca;
      if (std::abs(lx) > h || std::abs(ly) > h) continue;
      const int face = std::abs(lx) > std::abs(ly) ? (lx > 0 ? 0 : 2) : (ly > 0 ? 1 : 3);
      pixels[static_cast<size_t>(y) * width_ + x] = static_cast<uint8_t>(kSquareSlot + face);
    }
}

}  // namespace vdzsample
