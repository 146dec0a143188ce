// The working state of a GFile, shared by the frame reader and the palette
// reducer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qelutil/qelutil.h"

namespace qelutil {

// One kind of source: hands out its frames in order.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Reads the next frame. `skip` frames of the range lie before the first
  // one read after a rewind.
  virtual void Next(GFile* g) = 0;
  virtual void Rewind(GFile* g) = 0;
};

// The source frame just read: its region starts at `origin` (the crop
// offset applied), rows are `step` bytes apart (negative for bottom-up
// pictures), pixels `bits` wide (8, 16, 24 or 32; 24 is blue, green, red).
struct SourceView {
  const uint8_t* origin = nullptr;
  int64_t step = 0;
  int32_t bits = 8;
  bool palette_changed = false;
};

}  // namespace qelutil

// The record behind GFile.state.
struct GFileState {
  // Options as opened.
  int32_t flags = 0;
  int32_t first_frame = 0, last_frame = 0;  // as asked
  int32_t palette_mode = 0;
  int32_t frames_per_palette = 65536;
  int32_t first_entry = 0, entry_count = 256;
  int32_t system_colours = 0;
  int32_t accumulation = 0;
  bool halftone = false;  // frames above 8 bits are mapped with error diffusion
  std::string palette_file;
  std::string open_name;  // the name as opened (name[] may be cut)
  std::string verb;
  QELMessageFunc message = nullptr;

  int32_t skip = 0;  // first frame - 1
  std::unique_ptr<qelutil::FrameSource> source;
  qelutil::SourceView view;
  bool frame_held = false;  // the reducer holds a frame not yet delivered
  bool first_read = true;   // no frame read since open or reset

  // Palette work.
  GFile* palette_source = nullptr;
  uint32_t countdown = 0;
  bool first_palette = true;
  bool remap_valid = false;
  uint8_t remap[256] = {};
  std::vector<uint16_t> cache;       // 262144 entries, 256 + index once known
  std::vector<int32_t> diffusion;    // halftoning: two rows of carried error
  std::vector<uint8_t> accumulated;  // region as blue, green, red
  bool accumulate = false;
};

namespace qelutil {

// Reads the next source frame into g->state->view (accumulated when asked)
// and advances the frame counter.
void ReadSourceFrame(GFile* g);

// The nearest entry of palette (R, G, B) among [first, first + count) to the
// 6-bit colour, by the plain sum of squared differences; the first of equal
// distances wins.
int NearestEntry(const uint8_t* palette, int first, int count, int r6, int g6, int b6);

// Entries 0-9 and 246-255 of the system palette, R, G, B.
extern const uint8_t kSystemColours[20][3];
// Writes the 20 system colours into entries 0-9 and 246-255.
void PutSystemColours(uint8_t* palette);

// Whether palettes are computed for 8-bit output of this source.
bool PaletteWork(const GFile* g);

// Sends a message through the caller's function; its answer (nonzero asks to
// cancel a progress message).
uint8_t Say(const GFile* g, const std::string& text, int32_t kind);

}  // namespace qelutil
