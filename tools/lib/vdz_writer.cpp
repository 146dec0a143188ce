#include "tools/lib/vdz_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file.h"

namespace vidzotools {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Checks one frame against the header and gives its type byte and size.
bool CheckFrame(const VdzContent& c, const VdzFrame& f, size_t index, uint8_t& type, uint64_t& size,
                std::array<uint32_t, 7>& audio_max, std::string& error) {
  std::string where = "frame " + std::to_string(index) + ": ";
  type = 0;
  size = f.video.size();
  if (!f.palette.empty()) {
    if (f.palette.size() != static_cast<size_t>(f.palette[0]) * 4) {
      error = where + "the palette chunk's length byte does not give its size";
      return false;
    }
    type |= 1;
    size += f.palette.size();
  }
  int last_track = -1;
  for (const VdzAudioChunk& a : f.audio) {
    if (a.track >= 7) {
      error = where + "audio track " + std::to_string(a.track) + " does not exist (0 to 6)";
      return false;
    }
    if (static_cast<int>(a.track) <= last_track) {
      error = where + "audio chunks must be in increasing track order, one per track";
      return false;
    }
    if (!(c.audio_format[a.track] & 0x40000000u)) {
      error = where + "audio chunk for track " + std::to_string(a.track) + ", which the header does not have";
      return false;
    }
    if (a.body.size() > 0xFFFFFFFFu - 4) {
      error = where + "audio chunk too large";
      return false;
    }
    last_track = static_cast<int>(a.track);
    type |= static_cast<uint8_t>(2u << a.track);
    size += a.body.size() + 4;
    if (a.decoded_size > audio_max[a.track]) audio_max[a.track] = a.decoded_size;
  }
  return true;
}

void PutFrame(std::vector<uint8_t>& out, const VdzFrame& f) {
  out.insert(out.end(), f.palette.begin(), f.palette.end());
  for (const VdzAudioChunk& a : f.audio) {
    Put32(out, static_cast<uint32_t>(a.body.size() + 4));
    out.insert(out.end(), a.body.begin(), a.body.end());
  }
  out.insert(out.end(), f.video.begin(), f.video.end());
}

}  // namespace

bool BuildVdz(const VdzContent& c, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  if (c.width % 4 != 0 || c.height % 4 != 0) {
    error = "width and height must be multiples of 4";
    return false;
  }
  if (c.header_flags & ~6u) {
    error = "header flags other than interlaced (2) and doubled (4) are not allowed";
    return false;
  }
  if (c.frames.empty()) {
    error = "a file needs at least one frame";
    return false;
  }
  if (c.frames.size() > 0xFFFFFFFEu) {
    error = "too many frames";
    return false;
  }
  for (size_t t = 0; t < 7; ++t) {
    uint32_t f = c.audio_format[t];
    if ((f & 0x40000000u) && (f & 0xFFFFFFu) == 0) {
      error = "audio track " + std::to_string(t) + " has no sample rate";
      return false;
    }
  }

  std::vector<const VdzFrame*> records;
  for (const VdzFrame& f : c.frames) records.push_back(&f);
  if (c.has_ring) records.push_back(&c.ring);
  const uint64_t n = records.size();

  std::vector<uint8_t> types(n);
  std::vector<uint32_t> sizes(n);
  std::array<uint32_t, 7> audio_max{};
  uint64_t total = 0;
  for (size_t i = 0; i < n; ++i) {
    uint64_t size = 0;
    if (!CheckFrame(c, *records[i], i, types[i], size, audio_max, error)) return false;
    sizes[i] = static_cast<uint32_t>(size);
    total += size;
  }
  const uint64_t file_size = 104 + 5 * n + c.trees.packed.size() + total;
  if (file_size > 0xFFFFFFFFu) {
    error = "the file would exceed 4 GiB";
    return false;
  }

  out.reserve(file_size);
  out.insert(out.end(), {'V', 'D', 'Z', '2'});
  Put32(out, c.width);
  Put32(out, c.height);
  Put32(out, static_cast<uint32_t>(c.frames.size()));
  Put32(out, static_cast<uint32_t>(c.frame_rate));
  Put32(out, c.header_flags | (c.has_ring ? 1u : 0u));
  for (uint32_t m : audio_max) Put32(out, m);
  Put32(out, static_cast<uint32_t>(c.trees.packed.size()));
  Put32(out, c.trees.mono_map_size);
  Put32(out, c.trees.mono_colour_size);
  Put32(out, c.trees.full_size);
  Put32(out, c.trees.type_size);
  for (uint32_t f : c.audio_format) Put32(out, f);
  Put32(out, 0);  // reserved
  for (uint32_t s : sizes) Put32(out, s);
  out.insert(out.end(), types.begin(), types.end());
  out.insert(out.end(), c.trees.packed.begin(), c.trees.packed.end());
  for (const VdzFrame* f : records) PutFrame(out, *f);
  return true;
}

bool WriteVdzFile(const std::string& name, const VdzContent& content, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!BuildVdz(content, bytes, error)) return false;
  int fd = platform::FileCreate(name.c_str());
  if (fd < 0) {
    error = "cannot create " + name;
    return false;
  }
  size_t written = platform::FileWrite(fd, bytes.data(), bytes.size());
  platform::FileClose(fd);
  if (written != bytes.size()) {
    error = "cannot write " + name;
    return false;
  }
  return true;
}

bool ReplaceVdzFile(const std::string& name, const VdzContent& content, std::string& error) {
  const std::string temporary = name + ".part" + std::to_string(getpid());
  if (!WriteVdzFile(temporary, content, error)) {
    platform::FileErase(temporary.c_str());
    error = "cannot write " + name + " (" + error + ")";
    return false;
  }
  if (std::rename(temporary.c_str(), name.c_str()) != 0) {
    error = "cannot write " + name + ": " + std::strerror(errno);
    platform::FileErase(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace vidzotools
