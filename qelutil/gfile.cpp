// GFile: the tools' single frame source. Opening, the frame range and crop,
// list files and numbered sequences, and the conversion of every source
// frame to the delivered 8-bit or 32-bit frame.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "qelutil/gfile_internal.h"
#include "qelutil/gfile_sources.h"

namespace qelutil {

uint8_t Say(const GFile* g, const std::string& text, int32_t kind) {
  QELMessageFunc f = g->state->message;
  return f != nullptr ? f(text.c_str(), kind) : 0;
}

const uint8_t kSystemColours[20][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                       {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                       {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164},
                                       {128, 128, 128}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                                       {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

void PutSystemColours(uint8_t* palette) {
  for (int i = 0; i < 20; ++i) std::memcpy(palette + (i < 10 ? i : 236 + i) * 3, kSystemColours[i], 3);
}

bool PaletteWork(const GFile* g) {
  const GFileState* s = g->state;
  return !s->palette_file.empty() || s->palette_mode != 0 || g->source_bits > 8 ||
         s->frames_per_palette < 32000;
}

int NearestEntry(const uint8_t* palette, int first, int count, int r6, int g6, int b6) {
  int best = first, best_distance = 0x7FFFFFFF;
  for (int j = first; j < first + count; ++j) {
    const int dr = palette[j * 3] / 4 - r6, dg = palette[j * 3 + 1] / 4 - g6,
              db = palette[j * 3 + 2] / 4 - b6;
    const int d = dr * dr + dg * dg + db * db;
    if (d < best_distance) {
      best_distance = d;
      best = j;
      if (d == 0) break;
    }
  }
  return best;
}

namespace {

constexpr int32_t kMaxListDepth = 4;  // lists inside lists
thread_local int32_t list_depth = 0;

GFile* OpenImpl(const char* name, int32_t flags, int32_t x, int32_t y, int32_t width, int32_t height,
                int32_t first_frame, int32_t last_frame, int32_t palette_mode, int32_t frames_per_palette,
                int32_t first_entry, int32_t entry_count, int32_t system_colours, int32_t accumulation,
                const char* palette_file, const char* verb, QELMessageFunc message);

// ---------------------------------------------------------------- lists

// The entries of a list file or a numbered sequence, one file name at a
// time, with each entry's frame range.
class ListReader {
 public:
  // A list file is read whole; its lines are at most 127 characters.
  bool Start(const std::string& name, bool list_file) {
    name_ = name;
    list_file_ = list_file;
    if (!list_file) return true;
    struct stat st;
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    const size_t slash = name.find_last_of("/\\");
    folder_ = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    std::string line;
    while (std::getline(in, line)) {
      if (line.size() > 127) line.resize(127);
      lines_.push_back(line);
      if (lines_.size() > 1000000) break;
    }
    return true;
  }

  void Rewind() {
    index_ = 0;
    name_given_ = false;
    numbers_left_ = false;
  }

  // The next file name and its frame range; false (an empty name) at the
  // end of the list, which also rewinds it.
  bool Next(std::string& file, int32_t& first, int32_t& last) {
    if (numbers_left_) {
      if (next_ <= end_) {
        file = Numbered(next_++);
        first = last = 0;
        return true;
      }
      numbers_left_ = false;
    }
    for (;;) {
      std::string line;
      if (list_file_) {
        if (index_ >= lines_.size()) {
          Rewind();
          return false;
        }
        line = lines_[index_++];
      } else {
        if (name_given_) {
          Rewind();
          return false;
        }
        line = name_;
        name_given_ = true;
      }
      std::vector<char> text(line.begin(), line.end());
      text.push_back('\0');
      first = GetSwitchNum(text.data(), 'S', 0);
      last = GetSwitchNum(text.data(), 'E', 0);
      Trim(text.data());
      std::string entry = text.data();
      if (entry.empty() || entry[0] == '#') continue;
      if (list_file_ && entry[0] != '/' && !folder_.empty()) entry = folder_ + entry;
      if (entry.find('?') != std::string::npos) {
        if (!StartNumbers(entry, first, last)) continue;
        file = Numbered(next_++);
        first = last = 0;
        return true;
      }
      file = entry;
      return true;
    }
  }

 private:
  // "pic??.bmp*8-11": the run of "?" becomes the numbers 8 to 11, written
  // with at least two digits. Without a star, first and last come from the
  // entry's /S and /E; without a last number only the first file is taken.
  bool StartNumbers(const std::string& entry, int32_t first, int32_t last) {
    const size_t run = entry.find('?');
    size_t run_end = run;
    while (run_end < entry.size() && entry[run_end] == '?') ++run_end;
    const size_t star = entry.find('*', run_end);
    prefix_ = entry.substr(0, run);
    suffix_ = entry.substr(run_end, star == std::string::npos ? std::string::npos : star - run_end);
    digits_ = static_cast<int>(std::min<size_t>(run_end - run, 20));
    int64_t a = first, b = last;
    if (star != std::string::npos) {
      const std::string numbers = entry.substr(star + 1);
      a = static_cast<int32_t>(atou32(numbers.c_str()));
      const size_t minus = numbers.find('-', numbers.find_first_of("0123456789"));
      b = minus != std::string::npos ? static_cast<int32_t>(atou32(numbers.c_str() + minus + 1)) : a;
    }
    if (a < 0) a = 0;
    if (b < a) b = a;
    next_ = a;
    end_ = b;
    numbers_left_ = true;
    return true;
  }

  std::string Numbered(int64_t n) const {
    char number[40];
    std::snprintf(number, sizeof number, "%0*lli", digits_, static_cast<long long>(n));
    return prefix_ + number + suffix_;
  }

  std::string name_, folder_;
  bool list_file_ = false;
  std::vector<std::string> lines_;
  size_t index_ = 0;
  bool name_given_ = false;
  bool numbers_left_ = false;
  std::string prefix_, suffix_;
  int digits_ = 1;
  int64_t next_ = 0, end_ = 0;
};

GFile* OpenEntry(const GFile* g, const std::string& file, int32_t first, int32_t last) {
  const GFileState* s = g->state;
  return OpenImpl(file.c_str(), s->flags & GFILE_TRUE_COLOUR, 0, 0, 0, 0, first, last, 0, 0, 0, 256, 0, 2,
                  nullptr, "", s->message);
}

void Region(GFile* g, int32_t source_width, int32_t source_height);

class ListSource : public FrameSource {
 public:
  explicit ListSource(ListReader reader) : reader_(std::move(reader)) {}
  ~ListSource() override { GFileClose(entry_); }

  void Next(GFile* g) override {
    if (entry_ == nullptr || entry_->done != 0) {
      GFileClose(entry_);
      entry_ = nullptr;
      OpenNext(g);
    }
    if (entry_ == nullptr) {
      // The files changed since the list was opened: blank frames.
      blank_.assign(static_cast<size_t>(g->width) * g->height, 0);
      Region(g, g->width, g->height);
      g->frame_bytes = 0;
      g->state->view = SourceView{blank_.data(), g->width, 8, false};
      g->frame_bits = g->original_bits = 8;
      return;
    }
    ReadSourceFrame(entry_);
    const SourceView& v = entry_->state->view;
    Region(g, entry_->source_width, entry_->source_height);
    SourceView& mine = g->state->view;
    mine = v;
    if (g->region_width > 0 && g->region_height > 0)
      mine.origin = v.origin + static_cast<int64_t>(g->crop_y) * v.step +
                    static_cast<int64_t>(g->crop_x) * (v.bits / 8);
    mine.palette_changed = v.palette_changed || g->state->first_read;
    if (mine.palette_changed) std::memcpy(g->source_palette, entry_->source_palette, 768);
    g->frame_bytes = entry_->frame_bytes;
    g->frame_bits = g->original_bits = v.bits;
  }

  void Rewind(GFile*) override {
    GFileClose(entry_);
    entry_ = nullptr;
    reader_.Rewind();
  }

 private:
  void OpenNext(GFile* g) {
    std::string file;
    int32_t first = 0, last = 0;
    if (!g->state->first_read) {
      if (reader_.Next(file, first, last)) entry_ = OpenEntry(g, file, first, last);
      return;
    }
    // Whole entries before the range are passed over; the entry holding the
    // first frame opens at that frame.
    int32_t remaining = g->state->skip;
    while (reader_.Next(file, first, last)) {
      entry_ = OpenEntry(g, file, first, last);
      if (entry_ == nullptr || remaining < entry_->frames) break;
      remaining -= entry_->frames;
      GFileClose(entry_);
      entry_ = nullptr;
    }
    if (entry_ != nullptr && remaining > 0) {
      GFileClose(entry_);
      entry_ = OpenEntry(g, file, std::max(first, 1) + remaining, last);
    }
  }

  ListReader reader_;
  GFile* entry_ = nullptr;
  std::vector<uint8_t> blank_;
};

// Step 7 of opening: every entry opened once for its size, bits, frames and
// bytes. False after a message.
bool OpenList(GFile* g, const std::string& name) {
  if (list_depth >= kMaxListDepth) {
    Say(g, "Error opening: " + name + " (lists nested too deeply)", 2);
    return false;
  }
  ListReader reader;
  const bool list_file = name.find('?') == std::string::npos;
  if (!reader.Start(name, list_file)) {
    Say(g, "Error opening: " + name, 2);
    return false;
  }
  Say(g, "Opening the files in the list...", 0);
  ++list_depth;
  std::string file;
  int32_t first = 0, last = 0;
  int64_t frames = 0, bytes = 0;
  bool failed = false, any = false;
  while (reader.Next(file, first, last)) {
    GFile* e = OpenEntry(g, file, first, last);
    if (e == nullptr) {
      failed = true;
      break;
    }
    if (!any) g->frame_rate = e->frame_rate;
    any = true;
    g->source_width = std::max(g->source_width, e->source_width);
    g->source_height = std::max(g->source_height, e->source_height);
    g->source_bits = std::max(g->source_bits, e->source_bits);
    frames += e->frames;
    bytes += e->total_bytes;
    GFileClose(e);
    if (frames >= 16777215) break;
  }
  --list_depth;
  if (failed) return false;
  if (frames == 0) {
    Say(g, "No files in the list file.", 2);
    return false;
  }
  reader.Rewind();
  g->kind = GFILE_LIST;
  g->frames = static_cast<int32_t>(std::min<int64_t>(frames, 16777215));
  g->total_bytes = static_cast<int32_t>(std::min<int64_t>(bytes, 0x7FFFFFFF));
  std::snprintf(g->name, sizeof g->name, "%s", name.c_str());
  g->state->source = std::make_unique<ListSource>(std::move(reader));
  return true;
}

// The part of the crop rectangle inside a source of this size, and the
// padding. Pixels of a region that shrinks are cleared.
void Region(GFile* g, int32_t source_width, int32_t source_height) {
  const int32_t rw = std::clamp(source_width - g->crop_x, 0, g->width);
  const int32_t rh = std::clamp(source_height - g->crop_y, 0, g->height);
  if ((rw < g->region_width || rh < g->region_height) && g->pixels != nullptr)
    std::memset(g->pixels, 0, static_cast<size_t>(g->pitch) * g->height);
  g->region_width = rw;
  g->region_height = rh;
  g->pad_right = g->width - rw;
  g->pad_bottom = g->height - rh;
}

void Release(GFile* g) {
  if (g == nullptr) return;
  if (g->state != nullptr) {
    GFileClose(g->state->palette_source);
    delete g->state;
  }
  qelfree(g->pixels);
  std::memset(g, 0, sizeof(GFile));
  qelfree(g);
}

GFile* OpenImpl(const char* name, int32_t flags, int32_t x, int32_t y, int32_t width, int32_t height,
                int32_t first_frame, int32_t last_frame, int32_t palette_mode, int32_t frames_per_palette,
                int32_t first_entry, int32_t entry_count, int32_t system_colours, int32_t accumulation,
                const char* palette_file, const char* verb, QELMessageFunc message) {
  auto* g = static_cast<GFile*>(qelmalloc(sizeof(GFile)));
  if (g == nullptr) return nullptr;
  std::memset(g, 0, sizeof(GFile));
  g->state = new GFileState();
  GFileState* s = g->state;
  s->flags = flags;
  s->first_frame = first_frame;
  s->last_frame = last_frame;
  s->palette_mode = palette_mode;
  s->frames_per_palette = frames_per_palette <= 0 || frames_per_palette > 65536 ? 65536 : frames_per_palette;
  s->first_entry = std::clamp(first_entry, 0, 255);
  s->entry_count = std::clamp(entry_count, 0, 256 - s->first_entry);
  s->system_colours = system_colours;
  s->accumulation = accumulation;
  s->halftone = (flags & GFILE_HALFTONE) != 0;
  s->palette_file = palette_file != nullptr ? palette_file : "";
  s->verb = verb != nullptr ? verb : "Processing";
  s->message = message;
  s->open_name = name != nullptr ? name : "";
  g->true_colour = (flags & GFILE_TRUE_COLOUR) != 0 ? 1 : 0;

  const std::string file = name != nullptr ? name : "";
  bool opened;
  if (IsListName(file)) {
    opened = OpenList(g, file);
  } else {
    opened = !file.empty() && OpenSingleSource(g, file);
    if (!opened) Say(g, "Error opening: " + file, 2);
  }
  if (!opened || g->frames <= 0) {
    Release(g);
    return nullptr;
  }

  // The frame range.
  int64_t first = std::max(first_frame, 1);
  int64_t last = last_frame <= 0 ? 16777215 : last_frame;
  first = std::min<int64_t>(first, g->frames);
  last = std::min<int64_t>(last, g->frames);
  g->frames = static_cast<int32_t>(std::max(last, first) - first + 1);
  s->skip = static_cast<int32_t>(first - 1);

  // The geometry.
  g->crop_x = std::max(x, 0);
  g->crop_y = std::max(y, 0);
  g->width = width > 0 ? width : g->source_width;
  g->height = height > 0 ? height : g->source_height;
  if (g->width > 32768 || g->height > 32768 ||
      static_cast<uint64_t>(g->width) * g->height * (g->true_colour != 0 ? 4 : 1) > (uint64_t{1} << 28)) {
    Say(g, "Error opening: " + file + " (frame size too large)", 2);
    Release(g);
    return nullptr;
  }
  const int32_t row = (g->width + 3) & ~3;
  g->pitch = g->true_colour != 0 ? row * 4 : row;
  if (g->rate_units == 0) {
    if (g->frame_rate < 0) {
      g->rate_count = -g->frame_rate;
      g->rate_units = 100000;
    } else {
      g->rate_count = g->frame_rate;
      g->rate_units = 1000;
    }
  }
  Region(g, g->source_width, g->source_height);

  // Accumulation: true-colour frames are first gathered as 24-bit pixels.
  if ((g->true_colour == 0 && accumulation == 0 && g->source_bits > 8 && g->frames > 9) ||
      accumulation == 1) {
    s->accumulate = true;
    s->accumulated.assign(static_cast<size_t>(g->width) * g->height * 3, 0);
    g->source_bits = 24;
  }
  return g;
}

// ---------------------------------------------------------------- pixels

struct Rgb {
  int r, g, b;
};

inline Rgb PixelAt(const uint8_t* row, int32_t x, int32_t bits, const uint8_t* palette) {
  switch (bits) {
    case 8: {
      const uint8_t* p = palette + row[x] * 3;
      return {p[0], p[1], p[2]};
    }
    case 16: {
      const int v = row[x * 2] | (row[x * 2 + 1] << 8);
      return {((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3};
    }
    case 24:
      return {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
    default:
      return {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]};
  }
}

// The region of the source frame as 24-bit blue, green, red pixels.
void Accumulate(GFile* g) {
  GFileState* s = g->state;
  const SourceView v = s->view;
  const int64_t step = static_cast<int64_t>(g->region_width) * 3;
  for (int32_t y = 0; y < g->region_height; ++y) {
    const uint8_t* src = v.origin + y * v.step;
    uint8_t* dst = s->accumulated.data() + y * step;
    if (v.bits == 24) {
      std::memcpy(dst, src, static_cast<size_t>(step));
      continue;
    }
    for (int32_t x = 0; x < g->region_width; ++x) {
      const Rgb c = PixelAt(src, x, v.bits, g->source_palette);
      dst[x * 3] = static_cast<uint8_t>(c.b);
      dst[x * 3 + 1] = static_cast<uint8_t>(c.g);
      dst[x * 3 + 2] = static_cast<uint8_t>(c.r);
    }
  }
  s->view = SourceView{s->accumulated.data(), step, 24, v.palette_changed};
  g->frame_bits = 24;
}

bool AllocatePixels(GFile* g) {
  if (g->pixels != nullptr) return true;
  const uint64_t bytes = static_cast<uint64_t>(g->pitch) * g->height;
  g->pixels = static_cast<uint8_t*>(qelmalloc(static_cast<uint32_t>(bytes)));
  if (g->pixels == nullptr) return false;
  std::memset(g->pixels, 0, bytes);
  return true;
}

void BuildRemap(GFile* g) {
  GFileState* s = g->state;
  const int f = s->first_entry, c = s->entry_count;
  for (int i = 0; i < 256; ++i) {
    const int r6 = g->source_palette[i * 3] / 4, g6 = g->source_palette[i * 3 + 1] / 4,
              b6 = g->source_palette[i * 3 + 2] / 4;
    const uint8_t* own = g->palette + i * 3;
    if (i >= f && i < f + c && own[0] / 4 == r6 && own[1] / 4 == g6 && own[2] / 4 == b6)
      s->remap[i] = static_cast<uint8_t>(i);
    else
      s->remap[i] = static_cast<uint8_t>(c > 0 ? NearestEntry(g->palette, f, c, r6, g6, b6) : 0);
  }
  s->remap_valid = true;
}

// The palette index for a colour through the colour cache: the nearest
// allowed entry, searched once per 6-bit colour.
inline uint8_t Cached(GFileState* s, const uint8_t* palette, int r, int g, int b) {
  uint16_t& e = s->cache[static_cast<size_t>((r >> 2) * 4096 + (g >> 2) * 64 + (b >> 2))];
  if (e < 256)
    e = static_cast<uint16_t>(
        256 + NearestEntry(palette, s->first_entry, std::max(s->entry_count, 1), r >> 2, g >> 2, b >> 2));
  return static_cast<uint8_t>(e - 256);
}

// Halftoning of a frame of more than 8 bits: Floyd-Steinberg error
// diffusion, rows taken alternately left to right and right to left. Each
// pixel plus the error carried to it (in sixteenths, rounded) is clamped to
// 0-255 per component and mapped through the colour cache; what the chosen
// entry misses by goes 7/16 to the next pixel of the row and 3/16, 5/16 and
// 1/16 to the pixels behind, below and ahead in the next row. Every frame
// starts without error, so equal frames give equal pixels.
void Diffuse(GFile* g) {
  GFileState* s = g->state;
  const SourceView& v = s->view;
  const int32_t w = g->region_width;
  // Two rows of carried error, one cell of margin on each side.
  const size_t cells = (static_cast<size_t>(w) + 2) * 3;
  s->diffusion.assign(cells * 2, 0);
  int32_t* here = s->diffusion.data();
  int32_t* below = here + cells;
  for (int32_t y = 0; y < g->region_height; ++y) {
    const uint8_t* src = v.origin + y * v.step;
    uint8_t* dst = g->pixels + static_cast<size_t>(y) * g->pitch;
    const int32_t dir = (y & 1) == 0 ? 1 : -1;
    for (int32_t i = 0; i < w; ++i) {
      const int32_t x = dir > 0 ? i : w - 1 - i;
      const Rgb p = PixelAt(src, x, v.bits, g->source_palette);
      int32_t* e = here + (x + 1) * 3;
      const int want[3] = {std::clamp(p.r + ((e[0] + 8) >> 4), 0, 255),
                           std::clamp(p.g + ((e[1] + 8) >> 4), 0, 255),
                           std::clamp(p.b + ((e[2] + 8) >> 4), 0, 255)};
      const uint8_t index = Cached(s, g->palette, want[0], want[1], want[2]);
      dst[x] = index;
      const uint8_t* got = g->palette + index * 3;
      for (int k = 0; k < 3; ++k) {
        const int32_t miss = want[k] - got[k];
        here[(x + 1 + dir) * 3 + k] += miss * 7;
        below[(x + 1 - dir) * 3 + k] += miss * 3;
        below[(x + 1) * 3 + k] += miss * 5;
        below[(x + 1 + dir) * 3 + k] += miss;
      }
    }
    std::swap(here, below);
    std::fill(below, below + cells, 0);
  }
}

// The delivered frame from the source view: 8-bit pixels through the remap
// table (`remap`) or copied, or through the colour cache for sources of more
// than 8 bits (with error diffusion when halftoning).
void Convert8(GFile* g, bool remap) {
  GFileState* s = g->state;
  const SourceView& v = s->view;
  if (v.bits > 8 && s->cache.empty()) s->cache.assign(262144, 0);
  if (v.bits > 8 && s->halftone) {
    Diffuse(g);
    return;
  }
  for (int32_t y = 0; y < g->region_height; ++y) {
    const uint8_t* src = v.origin + y * v.step;
    uint8_t* dst = g->pixels + static_cast<size_t>(y) * g->pitch;
    if (v.bits == 8) {
      if (remap) {
        for (int32_t x = 0; x < g->region_width; ++x) dst[x] = s->remap[src[x]];
      } else {
        std::memcpy(dst, src, static_cast<size_t>(g->region_width));
      }
      continue;
    }
    for (int32_t x = 0; x < g->region_width; ++x) {
      const Rgb p = PixelAt(src, x, v.bits, g->source_palette);
      dst[x] = Cached(s, g->palette, p.r, p.g, p.b);
    }
  }
}

void Convert32(GFile* g) {
  const SourceView& v = g->state->view;
  for (int32_t y = 0; y < g->region_height; ++y) {
    const uint8_t* src = v.origin + y * v.step;
    uint8_t* dst = g->pixels + static_cast<size_t>(y) * g->pitch;
    for (int32_t x = 0; x < g->region_width; ++x) {
      const Rgb p = PixelAt(src, x, v.bits, g->source_palette);
      dst[x * 4] = static_cast<uint8_t>(p.b);
      dst[x * 4 + 1] = static_cast<uint8_t>(p.g);
      dst[x * 4 + 2] = static_cast<uint8_t>(p.r);
      dst[x * 4 + 3] = 0;
    }
  }
}

// Step 4 of reading a frame: a new palette when the countdown runs out.
// False when cancelled or when the palette source cannot be opened; *changed
// tells whether the delivered palette changed.
bool NextPalette(GFile* g, bool* changed) {
  GFileState* s = g->state;
  *changed = false;
  if (s->countdown != 0) {
    --s->countdown;
    return true;
  }
  const int f = s->first_entry, c = s->entry_count;
  uint8_t palette[768];
  if (s->first_palette) {
    std::memcpy(palette, g->source_palette, 768);
  } else {
    std::memcpy(palette, g->palette, 768);
    std::memcpy(palette, g->source_palette, static_cast<size_t>(f) * 3);
    std::memcpy(palette + (f + c) * 3, g->source_palette + (f + c) * 3, static_cast<size_t>(256 - f - c) * 3);
  }
  g->palette_computed = 1;
  if (s->palette_source == nullptr) {
    if (!s->palette_file.empty())
      s->palette_source =
          OpenImpl(s->palette_file.c_str(), 0, 0, 0, 0, 0, 0, 0, s->palette_mode, s->frames_per_palette, f, c,
                   s->system_colours, 2, nullptr, "Analyzing colors in", s->message);
    else
      s->palette_source =
          OpenImpl(s->open_name.c_str(), 0, g->crop_x, g->crop_y, g->width, g->height, s->skip + 1,
                   s->skip + g->frames, s->palette_mode, s->frames_per_palette, f, c, s->system_colours,
                   s->accumulation, nullptr, "Analyzing colors in", s->message);
    if (s->palette_source == nullptr) {
      Say(g, "Error opening palette graphics file.", 2);
      return false;
    }
  }
  const uint32_t result = GFileBestPalette(s->palette_source, palette);
  if (result == 0) return false;
  s->countdown = result - 1;
  if (result > 32767) {
    GFileClose(s->palette_source);
    s->palette_source = nullptr;
  }
  *changed = s->first_palette || std::memcmp(palette, g->palette, 768) != 0;
  std::memcpy(g->palette, palette, 768);
  s->first_palette = false;
  return true;
}

}  // namespace

void ReadSourceFrame(GFile* g) {
  GFileState* s = g->state;
  s->source->Next(g);
  s->first_read = false;
  ++g->frame_number;
  if (g->frame_number >= g->frames) g->done = 1;
  if (s->accumulate) Accumulate(g);
}

}  // namespace qelutil

using namespace qelutil;

extern "C" {

GFile* GFileOpen(const char* name, int32_t flags, int32_t x, int32_t y, int32_t width, int32_t height,
                 int32_t first_frame, int32_t last_frame, int32_t palette_mode, int32_t frames_per_palette,
                 int32_t first_entry, int32_t entry_count, int32_t system_colours, int32_t accumulation,
                 const char* palette_file, const char* verb, QELMessageFunc message) {
  return OpenImpl(name, flags, x, y, width, height, first_frame, last_frame, palette_mode, frames_per_palette,
                  first_entry, entry_count, system_colours, accumulation, palette_file, verb, message);
}

int32_t GFileGet(GFile* g) {
  if (g == nullptr || g->state == nullptr) return 0;
  GFileState* s = g->state;
  if (s->message != nullptr) {
    char text[200];
    std::snprintf(text, sizeof text, "%s frame %li of %li...", s->verb.c_str(),
                  static_cast<long>(s->skip) + g->frame_number + 1, static_cast<long>(s->skip) + g->frames);
    if (s->message(text, 0) != 0) return 0;
  }
  if (!AllocatePixels(g)) return 0;
  if (s->frame_held) {
    s->frame_held = false;  // a frame the reducer read ahead
  } else {
    ReadSourceFrame(g);
  }
  const bool source_changed = s->view.palette_changed;
  if (g->true_colour != 0) {
    std::memcpy(g->palette, g->source_palette, 768);
    Convert32(g);
    return 1;
  }
  if (PaletteWork(g)) {
    bool changed = false;
    if (!NextPalette(g, &changed)) return 0;
    if (s->view.bits > 8) {
      if (changed && !s->cache.empty()) std::fill(s->cache.begin(), s->cache.end(), 0);
    } else if (changed || source_changed || !s->remap_valid) {
      BuildRemap(g);
    }
    Convert8(g, true);
    return 1;
  }
  const bool remap = s->system_colours == 1 || s->first_entry != 0 || s->entry_count != 256;
  std::memcpy(g->palette, g->source_palette, 768);
  if (s->system_colours == 1) PutSystemColours(g->palette);
  if (remap && (source_changed || !s->remap_valid)) BuildRemap(g);
  Convert8(g, remap);
  return 1;
}

void GFileReset(GFile* g) {
  if (g == nullptr || g->state == nullptr) return;
  GFileState* s = g->state;
  g->frame_number = 0;
  g->done = 0;
  s->countdown = 0;
  std::memset(g->palette, 0, 768);
  std::memset(g->source_palette, 0, 768);
  if (g->pixels != nullptr) std::memset(g->pixels, 0, static_cast<size_t>(g->pitch) * g->height);
  s->source->Rewind(g);
  GFileClose(s->palette_source);
  s->palette_source = nullptr;
  s->frame_held = false;
  s->first_read = true;
  s->first_palette = true;
  s->remap_valid = false;
  if (!s->cache.empty()) std::fill(s->cache.begin(), s->cache.end(), 0);
}

void GFileClose(GFile* g) {
  Release(g);
}

void GFileCommandLine(char* command_line, int32_t* x, int32_t* y, int32_t* width, int32_t* height,
                      int32_t* first_frame, int32_t* last_frame, uint8_t* palette_mode,
                      int32_t* frames_per_palette, int32_t* first_entry, int32_t* entry_count,
                      uint8_t* system_colours, uint8_t* halftone, char* palette_file) {
  *x = GetSwitchNum(command_line, 'X', 0);
  *y = GetSwitchNum(command_line, 'Y', 0);
  *width = GetSwitchNum(command_line, 'W', 0);
  *height = GetSwitchNum(command_line, 'H', 0);
  *first_frame = GetSwitchNum(command_line, 'S', 0);
  *last_frame = GetSwitchNum(command_line, 'E', 0);
  const auto p = static_cast<uint8_t>(GetSwitchNum(command_line, 'P', 0));
  auto u = static_cast<uint32_t>(GetSwitchNum(command_line, 'U', -1));
  if (u == 0 || u > 65536) u = 65536;
  // /Q first: the default of /I depends on it.
  auto q = static_cast<uint32_t>(GetSwitchNum(command_line, 'Q', 256));
  if (q == 0 || q > 256) q = 256;
  int32_t i = GetSwitchNum(command_line, 'I', static_cast<int32_t>((256 - q) / 2));
  if (i < 0) i = 0;
  if (i > 256 - static_cast<int32_t>(q)) i = 256 - static_cast<int32_t>(q);
  const auto d = static_cast<uint8_t>(GetSwitchNum(command_line, 'D', 0));
  const auto t = static_cast<uint8_t>(GetSwitchNum(command_line, 'T', 0));
  std::vector<char> text(std::strlen(command_line) + 1, '\0');
  GetSwitchStr(command_line, '&', text.data(), "");
  if (palette_mode != nullptr) *palette_mode = p;
  if (frames_per_palette != nullptr) *frames_per_palette = static_cast<int32_t>(u);
  if (first_entry != nullptr) *first_entry = i;
  if (entry_count != nullptr) *entry_count = static_cast<int32_t>(q);
  if (system_colours != nullptr) *system_colours = d;
  if (halftone != nullptr) *halftone = t;
  if (palette_file != nullptr) std::snprintf(palette_file, 256, "%s", text.data());
}

}  // extern "C"
