// The readers behind SFile: each hands out the raw PCM bytes of its source
// (in the source's own format, after the start trim) and can go back to its
// start; the conversion to the output format is shared (sfile.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qelutil/qelutil.h"

namespace qelutil {

// The format of a source and the length of its sound in bytes.
struct SoundFormat {
  uint32_t rate = 0;
  uint32_t bits = 0;      // 8 or 16
  uint32_t channels = 0;  // 1 or 2
  uint32_t FrameBytes() const { return channels * bits / 8; }
  uint64_t BytesPerSecond() const { return uint64_t{rate} * FrameBytes(); }
};

class SoundSource {
 public:
  virtual ~SoundSource() = default;
  // Up to `max` bytes of the source; 0 at its end.
  virtual uint32_t Read(uint8_t* dest, uint32_t max) = 0;
  // Back to the trimmed start.
  virtual void Rewind() = 0;
  // Moves the start `bytes` further (a whole number of frames, below the
  // untrimmed length).
  virtual void SkipStart(uint64_t bytes) = 0;
};

// What opening a single file found.
struct OpenedSound {
  std::unique_ptr<SoundSource> source;
  SoundFormat format;
  uint64_t length = 0;      // bytes, untrimmed
  uint32_t frame_time = 0;  // of the accompanying video, 1/100000 s; 0 without one
  uint32_t buffer_size = 16384;
  int32_t kind = SFILE_WAVE;
  int32_t track_flag = 0;
  std::string name;
};

// Result of the openers: the source was taken, the file is not of this
// kind (try the next), or the file is of this kind but unusable (the message
// was sent; give up).
enum class Probe { kTaken, kNotMine, kFailed };

Probe OpenWaveOrRaw(const std::string& name, uint32_t raw_code, uint32_t raw_skip, OpenedSound& out);
Probe OpenVdzSound(const std::string& name, int32_t track, QELMessageFunc message, OpenedSound& out);
Probe OpenAviSound(const std::string& name, int32_t track, QELMessageFunc message, OpenedSound& out);

// The entries of a list file or of a numbered sequence, one after another.
struct SoundListEntry {
  std::string name;
  int32_t start = 0;  // the entry's "/S" and "/E" values
  int32_t end = 0;
};

class SoundList {
 public:
  // Null when `name` is neither a list file (".lst") nor a numbered
  // sequence (a run of "?").
  static std::unique_ptr<SoundList> Open(const std::string& name);
  ~SoundList();
  // The next entry; false at the end of the list (which rewinds it).
  bool Next(SoundListEntry& entry);
  void Rewind();

 private:
  SoundList() = default;
  bool NextLine(std::string& line);
  QELFile* file_ = nullptr;  // null: the open name is the only entry
  std::string open_name_;
  bool name_given_ = false;
  // The numbered sequence being walked.
  std::string prefix_, suffix_;
  int width_ = 0;
  int64_t next_ = 0, last_ = -1;
  bool found_ = false;
  int missing_ = 0;
};

// Whether the name is a numbered sequence or has the extension ".lst".
bool IsSoundList(const std::string& name);

}  // namespace qelutil

// The private reader state of an SFile.
struct SFileReader {
  std::unique_ptr<qelutil::SoundSource> source;
  // Lists.
  std::unique_ptr<qelutil::SoundList> list;
  SFile* entry = nullptr;
  int32_t list_rate = 0, list_bits = 0, list_channels = 0;
  uint64_t skip_total = 0;  // output bytes of the start trim
  uint64_t skip_left = 0;
  // Conversion state (64-bit frame counters; the record's fields mirror them).
  uint64_t out_count = 0;
  uint64_t in_count = 0;
  bool primed = false;
  bool have_next = false;
  int32_t next_left = 0, next_right = 0;
  bool started = false;  // a progress message was sent
  std::vector<uint8_t> storage;
};
