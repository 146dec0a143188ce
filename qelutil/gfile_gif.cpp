// Animated GIF files as a frame source: every picture of the file drawn on
// the logical screen as a browser shows it (each picture's own or the global
// colour table, its transparent colour left out, and the previous picture
// disposed of as it asks: left in place, cleared, or restored to what was
// there before it), delivered as 24-bit frames.
#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/imagelib/picture.h"
#include "qelutil/gfile_internal.h"
#include "qelutil/gfile_sources.h"

namespace qelutil {
namespace {

constexpr int kGraphicsControl = 0xF9;

int ReadFn(GifFileType* g, GifByteType* out, int n) {
  return static_cast<int>(
      static_cast<imagelib::MemorySource*>(g->UserData)->Take(out, n < 0 ? 0 : static_cast<size_t>(n)));
}

struct GifCloser {
  void operator()(GifFileType* g) const {
    int err = 0;
    DGifCloseFile(g, &err);
  }
};

// One picture's graphics control: disposal method, transparent index (-1:
// none) and delay in 1/100 s.
struct Control {
  int disposal = 0;
  int transparent = -1;
  int delay = 0;
};

// Reads a file's pictures one after another.
class GifReader {
 public:
  explicit GifReader(const std::vector<uint8_t>* bytes) : bytes_(bytes) {}

  bool Start() {
    source_ = imagelib::MemorySource{bytes_->data(), bytes_->size(), 0};
    int err = 0;
    gif_.reset(DGifOpen(&source_, ReadFn, &err));
    return gif_ != nullptr;
  }
  GifFileType* Gif() const { return gif_.get(); }

  // Moves to the next picture's description and its control; false at the
  // end or on damage.
  bool NextPicture(Control* control) {
    *control = Control();
    GifFileType* g = gif_.get();
    if (g == nullptr) return false;
    for (int guard = 0; guard < 100000; ++guard) {
      GifRecordType type;
      if (DGifGetRecordType(g, &type) == GIF_ERROR) return false;
      if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(g) != GIF_ERROR;
      if (type == TERMINATE_RECORD_TYPE) return false;
      if (type != EXTENSION_RECORD_TYPE) continue;
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(g, &code, &ext) == GIF_ERROR) return false;
      if (code == kGraphicsControl && ext != nullptr && ext[0] >= 4) {
        control->disposal = (ext[1] >> 2) & 7;
        control->transparent = (ext[1] & 1) != 0 ? ext[4] : -1;
        control->delay = ext[2] | (ext[3] << 8);
      }
      while (ext != nullptr)
        if (DGifGetExtensionNext(g, &ext) == GIF_ERROR) return false;
    }
    return false;
  }

  // Decodes the picture just described: calls row(y, line) for each of its
  // rows in file order. False on damage.
  template <typename RowFn>
  bool ReadPicture(RowFn row) {
    GifFileType* g = gif_.get();
    const GifImageDesc& d = g->Image;
    if (d.Width <= 0 || d.Height <= 0 ||
        imagelib::CheckSize(d.Width, d.Height, bytes_->size(), 4096) != imagelib::kOk)
      return false;
    line_.resize(static_cast<size_t>(d.Width));
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass)
      for (int y = d.Interlace ? starts[pass] : 0; y < d.Height; y += d.Interlace ? steps[pass] : 1) {
        if (DGifGetLine(g, line_.data(), d.Width) == GIF_ERROR) return false;
        row(y, line_.data());
      }
    return true;
  }

 private:
  const std::vector<uint8_t>* bytes_;
  imagelib::MemorySource source_{nullptr, 0, 0};
  std::unique_ptr<GifFileType, GifCloser> gif_;
  std::vector<GifPixelType> line_;
};

class AnimatedGifSource : public FrameSource {
 public:
  AnimatedGifSource(std::vector<uint8_t> bytes, int32_t width, int32_t height)
      : bytes_(std::move(bytes)), reader_(&bytes_), width_(width), height_(height) {
    Restart();
  }

  void Next(GFile* g) override {
    if (!started_) {
      for (int32_t i = 0; i < g->state->skip; ++i) Draw();
      started_ = true;
    }
    Draw();
    g->frame_bytes = static_cast<int32_t>(bytes_.size() / static_cast<size_t>(g->frames + g->state->skip));
    SourceView& v = g->state->view;
    v.bits = 24;
    v.step = static_cast<int64_t>(width_) * 3;
    v.palette_changed = g->state->first_read;
    v.origin = canvas_.data();
    if (g->region_width > 0 && g->region_height > 0)
      v.origin += static_cast<int64_t>(g->crop_y) * v.step + static_cast<int64_t>(g->crop_x) * 3;
    g->frame_bits = g->original_bits = 24;
  }

  void Rewind(GFile*) override {
    Restart();
    started_ = false;
  }

 private:
  void Restart() {
    canvas_.assign(static_cast<size_t>(width_) * height_ * 3, 0);
    saved_.clear();
    pending_ = 0;
    ended_ = !reader_.Start();
  }

  // Disposes of the previous picture and draws the next one; a damaged or
  // missing picture leaves the screen as it is.
  void Draw() {
    if (pending_ == 2) Clear(rect_);
    if (pending_ == 3 && !saved_.empty()) canvas_ = saved_;
    pending_ = 0;
    Control control;
    if (ended_ || !reader_.NextPicture(&control)) {
      ended_ = true;
      return;
    }
    GifFileType* g = reader_.Gif();
    const GifImageDesc d = g->Image;
    const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : g->SColorMap;
    if (control.disposal == 3) saved_ = canvas_;
    const bool ok = reader_.ReadPicture([&](int y, const GifPixelType* line) {
      const int64_t ty = int64_t{d.Top} + y;
      if (ty < 0 || ty >= height_) return;
      uint8_t* row = canvas_.data() + static_cast<size_t>(ty) * width_ * 3;
      for (int x = 0; x < d.Width; ++x) {
        const int64_t tx = int64_t{d.Left} + x;
        if (tx < 0 || tx >= width_ || line[x] == control.transparent) continue;
        uint8_t* p = row + tx * 3;
        if (map != nullptr && line[x] < map->ColorCount) {
          const GifColorType& c = map->Colors[line[x]];
          p[0] = c.Blue;
          p[1] = c.Green;
          p[2] = c.Red;
        } else {
          p[0] = p[1] = p[2] = 0;
        }
      }
    });
    if (!ok) ended_ = true;
    pending_ = control.disposal;
    rect_[0] = d.Left;
    rect_[1] = d.Top;
    rect_[2] = d.Width;
    rect_[3] = d.Height;
  }

  // Clears a rectangle of the screen (to black: no colour shows through).
  void Clear(const int* r) {
    for (int64_t y = std::max(r[1], 0); y < std::min<int64_t>(int64_t{r[1]} + r[3], height_); ++y)
      for (int64_t x = std::max(r[0], 0); x < std::min<int64_t>(int64_t{r[0]} + r[2], width_); ++x)
        std::memset(canvas_.data() + (static_cast<size_t>(y) * width_ + static_cast<size_t>(x)) * 3, 0, 3);
  }

  std::vector<uint8_t> bytes_;
  GifReader reader_;
  int32_t width_, height_;
  std::vector<uint8_t> canvas_, saved_;
  int pending_ = 0;
  int rect_[4] = {};
  bool started_ = false;
  bool ended_ = false;
};

}  // namespace

bool OpenAnimatedGif(GFile* g, const std::string& name) {
  std::vector<uint8_t> bytes;
  if (imagelib::ReadWhole(name.c_str(), bytes) != imagelib::kOk || bytes.size() < 6 ||
      std::memcmp(bytes.data(), "GIF", 3) != 0)
    return false;
  GifReader reader(&bytes);
  if (!reader.Start()) return false;
  GifFileType* gif = reader.Gif();
  int64_t width = gif->SWidth, height = gif->SHeight;
  int32_t pictures = 0, delay = 0;
  Control control;
  while (pictures < 16777215 && reader.NextPicture(&control)) {
    if (pictures == 0 && (width <= 0 || height <= 0)) {
      width = gif->Image.Width;
      height = gif->Image.Height;
    }
    if (delay == 0) delay = control.delay;
    if (!reader.ReadPicture([](int, const GifPixelType*) {})) break;
    ++pictures;
  }
  if (pictures < 2 || imagelib::CheckSize(width, height, bytes.size(), 4096) != imagelib::kOk) return false;
  g->kind = GFILE_GIF;
  g->source_width = static_cast<int32_t>(width);
  g->source_height = static_cast<int32_t>(height);
  g->source_bits = 24;
  g->frames = pictures;
  g->frame_rate = delay > 0 ? delay * 10 : 100;
  std::snprintf(g->name, sizeof g->name, "%s", name.c_str());
  g->state->source = std::make_unique<AnimatedGifSource>(std::move(bytes), g->source_width, g->source_height);
  return true;
}

}  // namespace qelutil
