// The sample animation: a plasma whose palette cycles, crossfades between
// colour schemes and fades in and out, with a bouncing ball and a spinning
// square drawn over it. Everything is a function of time, so that the
// pictures and the sound track agree at any instant.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vdzsample {

// Palette slots: the plasma uses 0 to 127, the ball 128 to 135, the square
// 136 to 139 and the ball's shadow 140.
inline constexpr int kPlasmaColours = 128;
inline constexpr int kBallSlot = 128;
inline constexpr int kBallShades = 8;
inline constexpr int kSquareSlot = 136;
inline constexpr int kShadowSlot = 140;

// Seconds between two colour schemes; the last second of each is a crossfade.
inline constexpr double kSchemeSeconds = 4.0;
// Seconds of the fade from black at the start and to black at the end.
inline constexpr double kFadeSeconds = 1.0;
// Seconds of one bounce of the ball (floor to floor).
inline constexpr double kBounceSeconds = 1.5;

struct Point {
  double x = 0;
  double y = 0;
};

class Scene {
 public:
  // A width x height animation lasting `seconds`.
  Scene(uint32_t width, uint32_t height, double seconds);

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }

  // Where the ball's centre is at time t, and its radius.
  Point Ball(double t) const;
  double BallRadius() const { return ball_radius_; }
  // The ball's height above the floor at time t, 0 (on the floor) to 1 (top).
  double BallHeight(double t) const;
  // Where the square's centre is at time t, its half side and its angle.
  Point Square(double t) const;
  double SquareHalfSide() const { return square_half_; }
  double SquareAngle(double t) const;
  // The brightness of the whole picture at time t: 0 (black) to 1.
  double Brightness(double t) const;
  // The index of the colour scheme shown at time t (crossfades end at the
  // next index), and how far the crossfade has gone (0 to 1).
  int SchemeAt(double t, double& crossfade) const;

  // The picture at time t: width x height palette indices and 256 colours
  // (8-bit red, green, blue, each the 8-bit form of a 6-bit value).
  void Draw(double t, std::vector<uint8_t>& pixels, std::array<uint8_t, 768>& palette) const;

 private:
  void Palette(double t, std::array<uint8_t, 768>& palette) const;

  uint32_t width_;
  uint32_t height_;
  double seconds_;
  double ball_radius_;
  double square_half_;
  std::vector<uint8_t> plasma_;  // the plasma's palette index per pixel
};

}  // namespace vdzsample
