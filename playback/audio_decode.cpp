// Decoding audio chunks into a track's circular sound buffer.
//
// Codes are looked up in a table of the next kTableBits bits per tree, built
// for each chunk from its trees; codes longer than the table continue node by
// node from where the table left off. The result is that of a walk from the
// root bit by bit.
//
// Samples go straight into the buffer; the wrap from its end to its start is
// taken per sample frame. Each format has its own loop so that the running
// samples stay in registers. Bounds: the bit reader never reads past the
// stream (it yields zero bits there), at most the buffer's length is written,
// and a frame that would straddle the buffer's end (only possible when the
// buffer length or the write offset is not a multiple of the frame size) is
// stored byte by byte with the wrap.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "playback/audio.h"
#include "playback/container.h"
#include "playback/trees.h"

namespace {

using Reader = vidzo::BitReader64;

static_assert(sizeof(vidzo::ByteTree) * 4 == VDZ_AUDIO_SCRATCH_BYTES);

constexpr unsigned kTableBits = 8;
constexpr uint32_t kTableSize = 1u << kTableBits;
constexpr uint32_t kLeaf = 0x80000000u;  // the flag of leaves, in nodes and entries

// One tree and its table. An entry of a code no longer than the table is
// kLeaf | bits used << 8 | value; otherwise it is the node reached after
// kTableBits bits, << 12, | kTableBits << 8.
struct Decoder {
  const vidzo::ByteTree* tree;
  uint32_t table[kTableSize];

  void Build(const vidzo::ByteTree& t) {
    tree = &t;
    Fill(0, 0, 0);
  }

  void Fill(uint32_t node, unsigned depth, uint32_t code) {
    const uint32_t word = tree->nodes[node];
    if (word & kLeaf) {
      for (uint32_t k = code; k < kTableSize; k += 1u << depth)
        table[k] = kLeaf | depth << 8 | (word & 0xFFu);
    } else if (depth == kTableBits) {
      table[code] = node << 12 | kTableBits << 8;
    } else {
      Fill(node + 1, depth + 1, code);
      Fill(node + word, depth + 1, code | 1u << depth);
    }
  }

  unsigned Decode(Reader& r) const {
    r.Ensure(kTableBits);
    const uint32_t entry = table[static_cast<uint32_t>(r.Peek()) & (kTableSize - 1)];
    r.Skip((entry >> 8) & 0xFu);
    if (entry & kLeaf) return entry & 0xFFu;
    const uint32_t* node = tree->nodes + (entry >> 12);
    uint32_t word = *node;
    while (!(word & kLeaf)) {
      node += r.ReadBit() ? word : 1u;
      word = *node;
    }
    return word & 0xFFu;
  }
};

// The circular buffer and the write position inside it.
class Ring {
 public:
  Ring(uint8_t* start, uint8_t* end, uint8_t* write) : start_(start), end_(end), w_(write) {}

  // Stores one sample frame of `n` bytes at the write position.
  template <unsigned n>
  void Store(const uint8_t (&bytes)[n]) {
    if (static_cast<size_t>(end_ - w_) >= n) {
      std::memcpy(w_, bytes, n);
      w_ += n;
      if (w_ == end_) w_ = start_;
      return;
    }
    for (unsigned i = 0; i < n; ++i) {
      *w_++ = bytes[i];
      if (w_ == end_) w_ = start_;
    }
  }

 private:
  uint8_t* start_;
  uint8_t* end_;
  uint8_t* w_;
};

inline uint8_t Byte(unsigned v) {
  return static_cast<uint8_t>(v);
}

// The first frame's bytes come in the stored order of the format (right
// before left, high before low); every later frame adds its deltas.
void Mono8(Reader& r, const Decoder* t, Ring& ring, uint32_t frames) {
  unsigned s = r.Read8();
  ring.Store<1>({Byte(s)});
  for (uint32_t i = 1; i < frames; ++i) {
    s += t[0].Decode(r);
    ring.Store<1>({Byte(s)});
  }
}

void Stereo8(Reader& r, const Decoder* t, Ring& ring, uint32_t frames) {
  unsigned right = r.Read8();
  unsigned left = r.Read8();
  ring.Store<2>({Byte(left), Byte(right)});
  for (uint32_t i = 1; i < frames; ++i) {
    left += t[0].Decode(r);
    right += t[1].Decode(r);
    ring.Store<2>({Byte(left), Byte(right)});
  }
}

inline unsigned Delta16(Reader& r, const Decoder& low, const Decoder& high) {
  unsigned lo = low.Decode(r);
  return lo + 256u * high.Decode(r);
}

void Mono16(Reader& r, const Decoder* t, Ring& ring, uint32_t frames) {
  unsigned s = r.Read8() << 8;
  s |= r.Read8();
  ring.Store<2>({Byte(s), Byte(s >> 8)});
  for (uint32_t i = 1; i < frames; ++i) {
    s += Delta16(r, t[0], t[1]);
    ring.Store<2>({Byte(s), Byte(s >> 8)});
  }
}

void Stereo16(Reader& r, const Decoder* t, Ring& ring, uint32_t frames) {
  unsigned right = r.Read8() << 8;
  right |= r.Read8();
  unsigned left = r.Read8() << 8;
  left |= r.Read8();
  ring.Store<4>({Byte(left), Byte(left >> 8), Byte(right), Byte(right >> 8)});
  for (uint32_t i = 1; i < frames; ++i) {
    left += Delta16(r, t[0], t[1]);
    right += Delta16(r, t[2], t[3]);
    ring.Store<4>({Byte(left), Byte(left >> 8), Byte(right), Byte(right >> 8)});
  }
}

// Frame size of the format bits (stereo, 16-bit).
inline uint32_t FrameBytes(bool stereo, bool sixteen) {
  return (stereo ? 2u : 1u) * (sixteen ? 2u : 1u);
}

// Bytes that a chunk of `decoded` bytes places into a buffer of `length`
// bytes: whole frames, at most the buffer's length.
inline uint32_t Produced(uint32_t decoded, uint32_t length, uint32_t frame) {
  uint32_t n = std::min(decoded, length);
  return n - n % frame;
}

bool InsideBuffer(const uint8_t* start, const uint8_t* end, const uint8_t* write) {
  return start != nullptr && start < end && write >= start && write < end;
}

}  // namespace

extern "C" {

void VidzoDecodeAudio(const uint8_t* stream, uint32_t stream_size, uint32_t decoded_size, void* scratch,
                      uint8_t* buf_start, uint8_t* buf_end, uint8_t* write) {
  Reader r(stream, stream_size);
  if (!r.ReadBit()) return;
  const bool stereo = r.ReadBit() != 0;
  const bool sixteen = r.ReadBit() != 0;
  vidzo::ByteTree local[4];
  vidzo::ByteTree* trees = scratch != nullptr ? static_cast<vidzo::ByteTree*>(scratch) : local;
  const unsigned count = (stereo ? 2u : 1u) * (sixteen ? 2u : 1u);
  for (unsigned i = 0; i < count; ++i) {
    r.ReadBit();  // the tree's presence bit, always set by the encoder
    vidzo::ReadByteTree(r, trees[i]);
  }
  if (decoded_size == 0 || !InsideBuffer(buf_start, buf_end, write)) return;
  const uint32_t frame = FrameBytes(stereo, sixteen);
  const uint32_t frames =
      Produced(decoded_size, static_cast<uint32_t>(std::min<size_t>(buf_end - buf_start, UINT32_MAX)),
               frame) /
      frame;
  if (frames == 0) return;
  Decoder decoders[4];
  for (unsigned i = 0; i < count; ++i) decoders[i].Build(trees[i]);
  Ring ring(buf_start, buf_end, write);
  if (sixteen) {
    (stereo ? Stereo16 : Mono16)(r, decoders, ring, frames);
  } else {
    (stereo ? Stereo8 : Mono8)(r, decoders, ring, frames);
  }
}

uint32_t VidzoPutAudioChunk(const uint8_t* chunk, uint32_t available, uint32_t format, void* scratch,
                            uint8_t* buf_start, uint8_t* buf_end, uint8_t* write) {
  if (chunk == nullptr || available < 4) return 0;
  const uint32_t length = vidzo::LoadLe32(chunk);
  const bool compressed = (format & VDZ_AUDIO_COMPRESSED) != 0;
  if (length < (compressed ? 8u : 4u) || length > available) return 0;
  if (!InsideBuffer(buf_start, buf_end, write)) return 0;
  const uint32_t buffer_length = static_cast<uint32_t>(std::min<size_t>(buf_end - buf_start, UINT32_MAX));

  if (!compressed) {
    const uint32_t n = std::min(length - 4, buffer_length);
    const uint8_t* src = chunk + 4;
    const uint32_t first = std::min(n, static_cast<uint32_t>(buf_end - write));
    std::memcpy(write, src, first);
    std::memcpy(buf_start, src + first, n - first);
    return n;
  }

  const uint32_t decoded = vidzo::LoadLe32(chunk + 4);
  const uint8_t* stream = chunk + 8;
  const uint32_t stream_size = length - 8;
  // The frame size of the chunk's own format bits; a chunk without data is
  // counted in frames of the track's format.
  bool stereo = (format & VDZ_AUDIO_STEREO) != 0;
  bool sixteen = (format & VDZ_AUDIO_16BIT) != 0;
  if (stream_size != 0 && (stream[0] & 1u)) {
    stereo = (stream[0] & 2u) != 0;
    sixteen = (stream[0] & 4u) != 0;
  }
  VidzoDecodeAudio(stream, stream_size, decoded, scratch, buf_start, buf_end, write);
  return Produced(decoded, buffer_length, FrameBytes(stereo, sixteen));
}

void* VidzoAudioScratch(void) {
  VidzoProcessState* p = VidzoProcess();
  if (p->AudioTreeScratch == nullptr) {
    void* block = std::malloc(VDZ_AUDIO_SCRATCH_BYTES);
    if (block == nullptr) return nullptr;
    auto* trees = static_cast<vidzo::ByteTree*>(block);
    for (int i = 0; i < 4; ++i) new (trees + i) vidzo::ByteTree;
    p->AudioTreeScratch = block;
  }
  return p->AudioTreeScratch;
}

}  // extern "C"
