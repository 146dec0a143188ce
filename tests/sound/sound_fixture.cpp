#include "sound_fixture.h"

#include <algorithm>

#include "platform/clock.h"

namespace soundtest {

uint32_t SoundKind::Format() const {
  return VDZ_AUDIO_PRESENT | (sixteen ? VDZ_AUDIO_16BIT : 0) | (stereo ? VDZ_AUDIO_STEREO : 0) | rate;
}

vidzotools::VdzContent MakeContent(const std::vector<SoundKind>& tracks,
                                   const std::vector<std::vector<std::vector<uint8_t>>>& chunks,
                                   int32_t frame_ms) {
  vidzotools::VdzContent c;
  c.width = 16;
  c.height = 8;
  c.frame_rate = frame_ms;
  size_t frames = 1;
  for (const auto& t : chunks) frames = std::max(frames, t.size());
  for (size_t t = 0; t < tracks.size(); ++t) c.audio_format[t] = tracks[t].Format();
  for (size_t i = 0; i < frames; ++i) {
    vidzotools::VdzFrame f;
    for (size_t t = 0; t < chunks.size(); ++t) {
      if (i >= chunks[t].size() || chunks[t][i].empty()) continue;
      vidzotools::VdzAudioChunk a;
      a.track = static_cast<uint32_t>(t);
      a.body = chunks[t][i];
      a.decoded_size = static_cast<uint32_t>(a.body.size());
      f.audio.push_back(std::move(a));
    }
    f.video.assign(8, static_cast<uint8_t>(i));
    c.frames.push_back(std::move(f));
  }
  return c;
}

std::vector<uint8_t> Pattern(uint32_t tag, size_t n) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(1 + (tag * 7 + i) % 100);  // 1..100
  return out;
}

void Advance(VidzoHandle* h) {
  VidzoStepFrame(h);
}

void SoundTest::SetUp() {
  VidzoSoundResetForTests();
  platform::UseVirtualSound(true, options_);
  platform::SetFakeClock(1000);
  VidzoSoundInstall();
}

void SoundTest::TearDown() {
  for (VidzoHandle* h : open_) VidzoClose(h);
  open_.clear();
  VidzoSoundResetForTests();
  platform::UseRealClock();
  platform::UseVirtualSound(false);
}

VidzoHandle* SoundTest::Open(const vidzotools::VdzContent& c, uint32_t track_bits, uint32_t extra_flags) {
  platform::UseVirtualSound(true, options_);  // options as the test has them now
  std::string name = dir_.File("t" + std::to_string(files_++) + ".vdz");
  std::string error;
  EXPECT_TRUE(vidzotools::WriteVdzFile(name, c, error)) << error;
  VidzoHandle* h = VidzoOpen(name.c_str(), OPEN_PRELOAD | track_bits | extra_flags, 0xFFFFFFFFu);
  EXPECT_NE(h, nullptr);
  if (h != nullptr) open_.push_back(h);
  return h;
}

void SoundTest::Close(VidzoHandle* h) {
  open_.erase(std::remove(open_.begin(), open_.end(), h), open_.end());
  VidzoClose(h);
}

void SoundTest::Tick(uint32_t ms) {
  platform::AdvanceFakeClock(ms);
}

}  // namespace soundtest
