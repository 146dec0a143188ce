// VidzoOpen: reads the header, the frame tables and the trees, sizes the
// buffering (a read-ahead ring or a preload of all frame data) and prepares
// frame 0.
//
// Beyond the format's own checks, a file is refused ("Damaged Vidzoer file")
// when it has no frame to show, when its tables, trees or frame data would
// reach past 4 GiB, when, the file's size being known, its tables or trees
// reach past its end or not even frame 0 is whole (so no buffer is ever sized
// by numbers the file cannot back), and when its trees leave no value free to
// mark inner nodes. A picture larger than VDZ_MAX_SIDE on a side or
// VDZ_MAX_PIXELS in all (as shown) is refused as too large.
//
// A file whose frame data ends early (an interrupted copy) opens with the
// frames it holds whole: FrameCount is lowered to them, the ring frame is
// dropped unless it is whole, and ReadError has VDZ_READ_CUT.
#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/debuglog.h"
#include "platform/file.h"
#include "playback/container.h"
#include "playback/trees.h"

namespace vidzo {
void StartRingAt(VidzoHandle* h, uint32_t offset);
}

namespace {

constexpr uint64_t kU32Max = 0xFFFFFFFFu;

void Log(const char* text) {
  platform::DebugLog("%s", text);
}

// Why the last open failed (process-wide, like the other settings).
uint32_t g_failure = VIDZO_OPEN_OK;
char g_failure_text[160] = "";

void SetFailure(uint32_t code, const char* text) {
  g_failure = code;
  std::snprintf(g_failure_text, sizeof g_failure_text, "%s", text);
}

// Size of a regular file, or -1 when the descriptor has none (a pipe).
int64_t KnownFileSize(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

struct OpenJob {
  VidzoHandle* h = nullptr;
  int fd = platform::kInvalidFile;
  bool own_file = true;
  bool own_record = true;
  uint32_t flags = 0;
  int64_t file_size = -1;  // -1 = unknown
};

VidzoHandle* Fail(OpenJob& job, const char* message, uint32_t code = VIDZO_OPEN_FAILED) {
  if (message != nullptr) Log(message);
  SetFailure(code, message != nullptr ? message : "Not enough memory for the Vidzoer file");
  if (job.h != nullptr) {
    vidzo::ReleaseBuffers(job.h);
    std::memset(static_cast<void*>(job.h), 0, sizeof(VidzoHandle));
    if (job.own_record) VidzoFreeMemory(job.h);
  }
  if (job.own_file) platform::FileClose(job.fd);
  return nullptr;
}

void ParseHeader(VidzoHandle* h, const uint8_t* b) {
  std::memcpy(h->Magic, b, 4);
  uint32_t words[25];
  for (int i = 0; i < 25; ++i) words[i] = vidzo::LoadLe32(b + 4 + 4 * i);
  h->Width = words[0];
  h->Height = words[1];
  h->FrameCount = words[2];
  h->FrameRate = static_cast<int32_t>(words[3]);
  h->HeaderFlags = words[4];
  for (int t = 0; t < VDZ_TRACKS; ++t) h->AudioMaxSize[t] = words[5 + t];
  h->TreesSize = words[12];
  h->MonoMapTreeSize = words[13];
  h->MonoColourTreeSize = words[14];
  h->FullTreeSize = words[15];
  h->TypeTreeSize = words[16];
  for (int t = 0; t < VDZ_TRACKS; ++t) h->AudioFormat[t] = words[17 + t];
  h->Reserved = words[24];
}

// Whether `end` (a file position) lies within what the file can hold.
bool Fits(const OpenJob& job, uint64_t end) {
  if (end > kU32Max) return false;
  return job.file_size < 0 || end <= static_cast<uint64_t>(job.file_size);
}

// Whether the picture, as shown (doubled height included), is within the
// toolkit's limits.
bool PictureFits(const VidzoHandle* h, uint32_t flags) {
  uint32_t mode = h->HeaderFlags & (VDZ_INTERLACED | VDZ_DOUBLED);
  switch (flags & OPEN_Y_NONE) {
    case OPEN_Y_INTERLACE:
      mode = VDZ_INTERLACED;
      break;
    case OPEN_Y_DOUBLE:
      mode = VDZ_DOUBLED;
      break;
    case OPEN_Y_NONE:
      mode = 0;
      break;
    default:
      break;
  }
  const uint64_t height = uint64_t{h->Height} * (mode == VDZ_INTERLACED || mode == VDZ_DOUBLED ? 2 : 1);
  return h->Width <= VDZ_MAX_SIDE && height <= VDZ_MAX_SIDE && uint64_t{h->Width} * height <= VDZ_MAX_PIXELS;
}

// The records of `sizes` (n of them, the first at file position `first`)
// that the file holds whole.
uint32_t WholeRecords(const OpenJob& job, const uint32_t* sizes, uint32_t n, uint64_t first) {
  if (job.file_size < 0) return n;
  const uint64_t end = static_cast<uint64_t>(job.file_size);
  uint64_t at = first;
  for (uint32_t i = 0; i < n; ++i) {
    at += sizes[i];
    if (at > end) return i;
  }
  return n;
}

// Reads exactly n bytes at the current position; the rest is zeroed when the
// file comes up short.
void ReadFully(VidzoHandle* h, void* dest, uint32_t n) {
  uint32_t got = VidzoRead(h, dest, n);
  if (got < n) std::memset(static_cast<uint8_t*>(dest) + got, 0, n - got);
}

VidzoHandle* OpenFrom(const void* source, int fd, uint32_t flags, uint32_t extra_buffer) {
  uint32_t start_ms = platform::TimeMs();
  OpenJob job;
  job.flags = flags;

  // Step 2: the file.
  uint64_t base = 0;
  if (flags & OPEN_FILE_HANDLE) {
    job.own_file = false;
    job.fd = fd;
    platform::DebugLog("VidzoOpen - file handle: %d", fd);
    if (fd < 0) return Fail(job, "Couldn't open the Vidzoer file");
    int64_t pos = platform::FileSeek(fd, 0, SEEK_CUR);
    base = pos > 0 ? static_cast<uint64_t>(pos) : 0;
  } else {
    if (flags & OPEN_CALLER_RECORD) return Fail(job, "Couldn't open the Vidzoer file");  // no name
    const char* name = static_cast<const char*>(source);
    platform::DebugLog("VidzoOpen - file: %s", name);
    job.fd = platform::FileOpen(name, false);
    if (job.fd < 0) return Fail(job, "Couldn't open the Vidzoer file");
  }
  job.file_size = KnownFileSize(job.fd);
  if (base > kU32Max) return Fail(job, "Couldn't open the Vidzoer file");

  // Step 3: the record.
  if (flags & OPEN_CALLER_RECORD) {
    job.own_record = false;
    job.h = static_cast<VidzoHandle*>(const_cast<void*>(source));
  } else {
    job.h = static_cast<VidzoHandle*>(vidzo::AllocCounted(nullptr, sizeof(VidzoHandle), 0));
    if (job.h == nullptr) return Fail(job, "Couldn't allocate Vidzo structure");
  }
  VidzoHandle* h = job.h;
  std::memset(static_cast<void*>(h), 0, sizeof(VidzoHandle));
  h->MemoryInUse = h->MemoryPeak = sizeof(VidzoHandle);
  h->FileHandle = job.fd;
  h->NextReadOffset = static_cast<uint32_t>(base);
  h->TimingTrack = -1;
  h->LastPaletteFrame = -1;
  h->NextDueTime = 0xFFFFFFFFu;
  if (flags & OPEN_SIMULATE_RATE) h->SimulatedRate = VidzoProcess()->SimulatedRate;

  // Step 4: the header.
  uint8_t header[VDZ_HEADER_SIZE];
  ReadFully(h, header, VDZ_HEADER_SIZE);
  if (std::memcmp(header, "VDZ2", 4) != 0) return Fail(job, "Wasn't a Vidzoer file");
  ParseHeader(h, header);
  if (h->FrameCount == 0) return Fail(job, "Damaged Vidzoer file");
  if (!PictureFits(h, flags)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Picture too large: %" PRIu32 " x %" PRIu32 " pixels (at most %u on a side and %u in all)",
                  h->Width, h->Height, VDZ_MAX_SIDE, VDZ_MAX_PIXELS);
    return Fail(job, text, VIDZO_OPEN_TOO_LARGE);
  }

  // Step 5: timing.
  if (flags & OPEN_RATE_OVERRIDE) h->FrameRate = VidzoProcess()->RateOverride;
  h->FramePeriod = vidzo::PeriodFromRate(h->FrameRate);
  uint32_t fps = vidzo::FramesPerSecond(h->FramePeriod);

  // Step 6: the frame tables (the types first, the sizes at the next
  // 4-byte boundary).
  uint64_t n = static_cast<uint64_t>(h->FrameCount) + (h->HeaderFlags & VDZ_RING_FRAME);
  if (5 * n + 4 > kU32Max || !Fits(job, base + VDZ_HEADER_SIZE + 5 * n))
    return Fail(job, "Damaged Vidzoer file");
  auto* tables = static_cast<uint8_t*>(vidzo::AllocCounted(h, 5 * n + 4, static_cast<uint32_t>(5 * n + 4)));
  if (tables == nullptr) return Fail(job, "Couldn't allocate track table");
  h->FrameTypes = tables;
  h->FrameSizes = reinterpret_cast<uint32_t*>(tables + ((n + 3) & ~uint64_t{3}));
  const uint32_t frames = static_cast<uint32_t>(n);
  h->HeaderFrameCount = h->FrameCount;
  h->TableRecords = frames;
  auto* size_bytes = reinterpret_cast<uint8_t*>(h->FrameSizes);
  ReadFully(h, size_bytes, 4 * frames);
  for (uint32_t i = 0; i < frames; ++i) h->FrameSizes[i] = vidzo::LoadLe32(size_bytes + 4 * i);
  ReadFully(h, h->FrameTypes, frames);

  // Steps 7 and 8: the trees.
  if (!Fits(job, base + VDZ_HEADER_SIZE + 5 * n + h->TreesSize)) return Fail(job, "Damaged Vidzoer file");
  const uint32_t tree_sizes[4] = {h->MonoMapTreeSize, h->MonoColourTreeSize, h->FullTreeSize,
                                  h->TypeTreeSize};
  uint64_t counted = vidzo::TreesAreaCountedBytes(tree_sizes);
  void* trees_block = vidzo::AllocCounted(h, vidzo::TreesAreaBlockBytes(tree_sizes),
                                          static_cast<uint32_t>(counted > kU32Max ? kU32Max : counted));
  if (trees_block == nullptr) return Fail(job, nullptr);
  h->Trees = vidzo::TreesAreaCreate(trees_block, tree_sizes);
  uint64_t input_bytes = (static_cast<uint64_t>(h->TreesSize) + 4099) & ~uint64_t{3};
  if (input_bytes < 8192) input_bytes = 8192;
  auto* input =
      static_cast<uint8_t*>(vidzo::AllocCounted(h, input_bytes, static_cast<uint32_t>(input_bytes)));
  if (input == nullptr) return Fail(job, "Couldn't allocate input buffer");
  std::memset(input, 0, input_bytes);
  ReadFully(h, input + 4096, h->TreesSize);
  bool trees_usable = vidzo::UnpackTrees(input + 4096, h->TreesSize, *h->Trees, tree_sizes);
  VidzoFreeMemory(input);
  h->MemoryInUse -= static_cast<uint32_t>(input_bytes);
  // Trees whose leaves take every 16-bit value leave no marker for inner
  // nodes: nothing in the file could be decoded.
  if (!trees_usable) return Fail(job, "Damaged Vidzoer file");

  // Step 9.
  uint64_t first = base + VDZ_HEADER_SIZE + 5 * n + h->TreesSize;
  h->FirstFrameOffset = static_cast<uint32_t>(first);

  // Frame data that ends early: only the frames held whole are played.
  const uint32_t whole = WholeRecords(job, h->FrameSizes, frames, first);
  if (whole == 0) return Fail(job, "Damaged Vidzoer file");
  if (whole < frames) {
    platform::DebugLog("VidzoOpen - the frame data ends at byte %" PRId64 ", inside frame %" PRIu32
                       ": %" PRIu32 " of %" PRIu32 " frame records are whole",
                       job.file_size, whole, whole, frames);
    h->ReadError |= VDZ_READ_CUT;
    h->FrameCount = whole;  // whole < frames, so the ring frame is not whole
    h->HeaderFlags &= ~VDZ_RING_FRAME;
  }

  // Step 10: frame statistics, over the records held whole.
  vidzo::FrameStats stats = vidzo::ComputeFrameStats(h->FrameSizes, vidzo::StoredFrames(h), fps);
  if (!Fits(job, first + stats.total)) return Fail(job, "Damaged Vidzoer file");
  h->LargestFrame = stats.largest;
  h->AverageFrame = stats.average;
  h->PeakSecondBytes = stats.peak_bytes;
  h->PeakSecondFrame = stats.peak_frame;
  const uint32_t total = static_cast<uint32_t>(stats.total);

  // Step 11: ring or preload.
  bool preload = (flags & OPEN_PRELOAD) != 0;
  if (!preload) {
    uint64_t ring = vidzo::ChooseRingSize(extra_buffer, h->FramePeriod, h->PeakSecondBytes, stats.total);
    if (stats.total * 4 / 5 > ring) {
      auto* base_ptr = static_cast<uint8_t*>(
          vidzo::AllocCounted(h, ring + vidzo::kBlock, static_cast<uint32_t>(ring + vidzo::kBlock)));
      if (base_ptr == nullptr) return Fail(job, nullptr);
      h->RingBase = h->RingRead = h->RingWrite = base_ptr;
      h->RingSize = static_cast<uint32_t>(ring);
      h->RingEnd = base_ptr + ring;
    } else {
      preload = true;
      flags |= OPEN_PRELOAD;
    }
  }

  // Step 12: the frame buffer, with 8 spare bytes for the bit readers.
  h->FrameBufferSize = preload ? total : h->LargestFrame;
  h->FrameBuffer =
      static_cast<uint8_t*>(vidzo::AllocCounted(h, uint64_t{h->FrameBufferSize} + 8, h->FrameBufferSize + 8));
  if (h->FrameBuffer == nullptr) return Fail(job, "Couldn't allocate I/O buffer");
  std::memset(h->FrameBuffer + h->FrameBufferSize, 0, 8);

  // Step 13: the first data.
  h->NextReadOffset = h->FirstFrameOffset;
  if (preload) {
    ReadFully(h, h->FrameBuffer, total);
    if (job.own_file) platform::FileClose(job.fd);
    job.own_file = false;
    h->FileHandle = platform::kInvalidFile;
    h->FrameData = h->FrameBuffer;
  } else {
    vidzo::StartRingAt(h, h->FirstFrameOffset);
    VidzoLoadFrame(h);
  }

  // Step 14: frame 0 and the tracks.
  h->LastPaletteFrame = -1;
  VidzoPrepareFrame(h);
  h->TimingTrack = -1;
  h->OpenFlags = flags & ~0x3FE000u;
  for (uint32_t t = 0; t < VDZ_TRACKS; ++t)
    if ((flags & (OPEN_TRACK0 << t)) && VidzoOpenTrack(h, t)) h->OpenFlags |= OPEN_TRACK0 << t;

  // Step 15: read-ahead and the height.
  if (flags & OPEN_FILL_READAHEAD)
    while (VidzoReadAhead(h) != 0) {
    }
  switch (flags & OPEN_Y_NONE) {
    case OPEN_Y_INTERLACE:
      h->HeaderFlags = (h->HeaderFlags | VDZ_INTERLACED) & ~VDZ_DOUBLED;
      break;
    case OPEN_Y_DOUBLE:
      h->HeaderFlags = (h->HeaderFlags | VDZ_DOUBLED) & ~VDZ_INTERLACED;
      break;
    case OPEN_Y_NONE:
      h->HeaderFlags &= ~(VDZ_INTERLACED | VDZ_DOUBLED);
      break;
    default:
      break;
  }
  uint32_t height_mode = h->HeaderFlags & (VDZ_INTERLACED | VDZ_DOUBLED);
  if (height_mode == VDZ_INTERLACED) h->OpenFlags |= OPEN_Y_INTERLACE;
  if (height_mode == VDZ_DOUBLED) h->OpenFlags |= OPEN_Y_DOUBLE;
  if (h->OpenFlags & OPEN_Y_NONE) h->Height *= 2;

  // Step 16: statistics; the read-ahead of open counts as demand reading.
  h->OpenMs = platform::TimeMs() - start_ms;
  h->ReadMs += h->ReadAheadMs;
  h->BytesRead += h->BytesReadAhead;
  h->ReadAheadMs = 0;
  h->BytesReadAhead = 0;
  h->OpenReadMs = h->ReadMs;
  platform::DebugLog("VidzoOpen returned: %" PRIuPTR, reinterpret_cast<uintptr_t>(h));
  SetFailure(VIDZO_OPEN_OK, "");
  return h;
}

}  // namespace

extern "C" {

VidzoHandle* VidzoOpen(const void* source, uint32_t flags, uint32_t extra_buffer) {
  if (source == nullptr) {
    SetFailure(VIDZO_OPEN_FAILED, "Couldn't open the Vidzoer file");
    return nullptr;
  }
  int fd = platform::kInvalidFile;
  if (flags & OPEN_FILE_HANDLE) {
    if (flags & OPEN_CALLER_RECORD) {
      int32_t word;
      std::memcpy(&word, source, sizeof word);
      fd = word;
    } else {
      fd = static_cast<int>(reinterpret_cast<intptr_t>(source));
    }
  }
  return OpenFrom(source, fd, flags, extra_buffer);
}

VidzoHandle* VidzoOpenFd(int fd, uint32_t flags, uint32_t extra_buffer) {
  return OpenFrom(nullptr, fd, (flags | OPEN_FILE_HANDLE) & ~OPEN_CALLER_RECORD, extra_buffer);
}

uint32_t VidzoOpenFailure(void) {
  return g_failure;
}

const char* VidzoOpenMessage(void) {
  return g_failure_text;
}

}  // extern "C"
