// The kinds of frame source behind a GFile: still images, flic, .vdz, AVI,
// raw frame files, wave files (blank frames) and their probes.
#include "qelutil/gfile_sources.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/avifile/avifile.h"
#include "platform/imagelib/imagelib.h"
#include "playback/video.h"
#include "playback/vidzo.h"
#include "qelutil/gfile_internal.h"

namespace qelutil {
namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The view of a frame whose top row is `top`, with g's crop applied.
void SetView(GFile* g, const uint8_t* top, int64_t step, int32_t bits, bool palette_changed) {
  SourceView& v = g->state->view;
  v.bits = bits;
  v.step = step;
  v.palette_changed = palette_changed;
  v.origin = top;
  if (g->region_width > 0 && g->region_height > 0)
    v.origin = top + static_cast<int64_t>(g->crop_y) * step + static_cast<int64_t>(g->crop_x) * (bits / 8);
  g->frame_bits = bits;
  g->original_bits = bits;
}

void BgrxToRgb(const uint8_t* bgrx, uint8_t* rgb) {
  for (int i = 0; i < 256; ++i) {
    rgb[i * 3] = bgrx[i * 4 + 2];
    rgb[i * 3 + 1] = bgrx[i * 4 + 1];
    rgb[i * 3 + 2] = bgrx[i * 4];
  }
}

// Sends "Skipping frame n..." for the frames decoded before the range.
void SaySkipping(const GFile* g, int32_t n) {
  char text[64];
  std::snprintf(text, sizeof text, "Skipping frame %li...", static_cast<long>(n));
  Say(g, text, n == 1 ? 1 : 0);
}

// ---------------------------------------------------------------- images

using InfoCall = int (*)(const char*, imagelib::ImageInfo*);
using LoadCall = int (*)(const char*, imagelib::Image*);

class StillSource : public FrameSource {
 public:
  StillSource(std::string name, LoadCall load, int32_t bits)
      : name_(std::move(name)), load_(load), bits_(bits) {}
  ~StillSource() override { imagelib::freeimage(&image_); }

  void Next(GFile* g) override {
    imagelib::freeimage(&image_);
    image_ = imagelib::Image();
    if (imagelib::allocimage(&image_, g->source_width, g->source_height, bits_) != imagelib::kOk) {
      Say(g, "Out of memory", 2);
      blank_.assign(static_cast<size_t>(g->source_width) * (bits_ / 8) * g->source_height, 0);
      std::memset(g->source_palette, 0, 768);
      SetView(g, blank_.data(), static_cast<int64_t>(g->source_width) * (bits_ / 8), bits_, true);
      return;
    }
    load_(name_.c_str(), &image_);  // a damaged picture leaves what could be read
    if (bits_ == 8) BgrxToRgb(image_.palette, g->source_palette);
    g->frame_bytes = g->total_bytes;
    SetView(g, image_.Row(0), -static_cast<int64_t>(image_.pitch), bits_, true);
  }
  void Rewind(GFile*) override {}

 private:
  std::string name_;
  LoadCall load_;
  int32_t bits_;
  imagelib::Image image_;
  std::vector<uint8_t> blank_;
};

// ---------------------------------------------------------------- flic

class FlicSource : public FrameSource {
 public:
  explicit FlicSource(QELFlic* flic)
      : flic_(flic), buffer_(static_cast<size_t>(flic->buffer_width) * flic->buffer_height, 0) {}
  ~FlicSource() override { QELFlicClose(flic_); }

  void Next(GFile* g) override {
    bool changed = false;
    if (!started_) {
      for (int32_t i = 0; i < g->state->skip; ++i) {
        SaySkipping(g, i + 1);
        changed |= QELFlicGetNext(flic_, buffer_.data()) == 2;
      }
      started_ = true;
    }
    changed |= QELFlicGetNext(flic_, buffer_.data()) == 2;
    changed |= g->state->first_read;
    if (changed) std::memcpy(g->source_palette, flic_->palette, 768);
    g->frame_bytes = static_cast<int32_t>(flic_->frame_size);
    SetView(g, buffer_.data(), flic_->buffer_width, 8, changed);
  }
  void Rewind(GFile*) override {
    QELFlicGoto(flic_, 0, buffer_.data());
    started_ = false;
  }

 private:
  QELFlic* flic_;
  std::vector<uint8_t> buffer_;
  bool started_ = false;
};

// ---------------------------------------------------------------- .vdz

struct HandleCloser {
  void operator()(VidzoHandle* h) const { VidzoClose(h); }
};

std::unique_ptr<VidzoHandle, HandleCloser> OpenVdz(const std::string& name) {
  FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return nullptr;
  char magic[4] = {};
  const bool ok = std::fread(magic, 1, 4, f) == 4 && std::memcmp(magic, "VDZ2", 4) == 0;
  std::fclose(f);
  if (!ok) return nullptr;
  std::unique_ptr<VidzoHandle, HandleCloser> h(VidzoOpen(name.c_str(), 0, 0xFFFFFFFFu));
  if (h == nullptr || h->Width == 0 || h->Height == 0 || h->FrameCount == 0 ||
      static_cast<uint64_t>(h->Width) * h->Height > VDZ_MAX_PIXELS)
    return nullptr;
  return h;
}

class VdzSource : public FrameSource {
 public:
  VdzSource(std::string name, std::unique_ptr<VidzoHandle, HandleCloser> h) : name_(std::move(name)) {
    Attach(std::move(h));
  }

  void Next(GFile* g) override {
    if (!started_) {
      for (int32_t i = 0; i < g->state->skip; ++i) {
        SaySkipping(g, i + 1);
        changed_ |= Decode();
      }
      started_ = true;
    }
    changed_ |= Decode();
    const bool changed = changed_ || g->state->first_read;
    changed_ = false;
    if (changed && h_ != nullptr) std::memcpy(g->source_palette, h_->Palette, 768);
    g->frame_bytes = h_ != nullptr ? static_cast<int32_t>(h_->CurrentFrameSize) : 0;
    SetView(g, buffer_.data(), width_, 8, changed);
  }
  void Rewind(GFile*) override {
    Attach(OpenVdz(name_));
    started_ = false;
  }

 private:
  void Attach(std::unique_ptr<VidzoHandle, HandleCloser> h) {
    h_ = std::move(h);
    next_ = 0;
    changed_ = false;
    if (h_ == nullptr) return;
    width_ = static_cast<int32_t>(h_->Width);
    buffer_.assign(static_cast<size_t>(h_->Width) * h_->Height, 0);
    if (!VidzoSetDestination(h_.get(), 0, 0, width_, h_->Height, buffer_.data(), 0)) h_.reset();
  }
  // Decodes the next frame; whether it brought a palette.
  bool Decode() {
    VidzoHandle* h = h_.get();
    if (h == nullptr || next_ >= h->FrameCount) return false;
    if (next_ > 0) {
      h->FrameData += h->CurrentFrameSize;
      h->CurrentFrame = next_;
      VidzoLoadFrame(h);
      VidzoPrepareFrame(h);
    }
    ++next_;
    if ((h->ReadError & VDZ_READ_SHORT) != 0) return false;
    const uint32_t video_size =
        h->CurrentFrameSize >= h->VideoOffset ? h->CurrentFrameSize - h->VideoOffset : 0;
    VidzoDecodeVideo(h->VideoData, video_size, h->Trees, h->OutputDesc);
    const bool changed = h->PaletteChanged != 0;
    h->PaletteChanged = 0;
    return changed;
  }

  std::string name_;
  std::unique_ptr<VidzoHandle, HandleCloser> h_;
  std::vector<uint8_t> buffer_;
  int32_t width_ = 0;
  uint32_t next_ = 0;
  bool started_ = false;
  bool changed_ = false;
};

// ---------------------------------------------------------------- AVI

class AviSource : public FrameSource {
 public:
  AviSource(std::unique_ptr<avifile::Reader> r, uint32_t sound_per_frame)
      : reader_(std::move(r)), sound_per_frame_(sound_per_frame) {}

  void Next(GFile* g) override {
    const uint32_t n = static_cast<uint32_t>(g->state->skip + g->frame_number);
    const avifile::VideoInfo& v = reader_->Video();
    g->frame_bytes = static_cast<int32_t>(reader_->SampleSize(n) + sound_per_frame_);
    reader_->ReadFrame(n, &frame_);
    const int32_t bits = v.bits == 16 || v.bits == 24 || v.bits == 32 ? v.bits : 8;
    const uint64_t pitch = (static_cast<uint64_t>(bits) * v.width + 31) / 32 * 4;
    const uint64_t need = pitch * static_cast<uint64_t>(v.height);
    if (frame_.bits != bits || frame_.width != v.width || frame_.height != v.height ||
        frame_.pitch != pitch || frame_.pixels.size() < need) {
      frame_.bits = bits;
      frame_.width = v.width;
      frame_.height = v.height;
      frame_.pitch = static_cast<uint32_t>(pitch);
      frame_.pixels.assign(need, 0);
    }
    bool changed = g->state->first_read;
    if (bits == 8) {
      uint8_t rgb[768];
      BgrxToRgb(frame_.palette, rgb);
      changed |= std::memcmp(rgb, g->source_palette, 768) != 0;
      std::memcpy(g->source_palette, rgb, 768);
    }
    const uint8_t* top = frame_.pixels.data() + (static_cast<size_t>(v.height) - 1) * pitch;
    SetView(g, top, -static_cast<int64_t>(pitch), bits, changed);
  }
  void Rewind(GFile*) override {}

 private:
  std::unique_ptr<avifile::Reader> reader_;
  uint32_t sound_per_frame_;
  avifile::Frame frame_;
};

// ---------------------------------------------------------------- raw

class RawSource : public FrameSource {
 public:
  RawSource(QELFile* file, int32_t width, int32_t height)
      : file_(file), frame_(static_cast<size_t>(width) * height, 0), width_(width) {}
  ~RawSource() override { QELFileClose(file_); }

  void Next(GFile* g) override {
    if (!started_) {
      for (int32_t i = 0; i < g->state->skip; ++i) ReadFrame(g);
      started_ = true;
    }
    changed_ = false;
    g->frame_bytes = static_cast<int32_t>(ReadFrame(g));
    SetView(g, frame_.data(), width_, 8, changed_ || g->state->first_read);
  }
  void Rewind(GFile*) override {
    QELFileSetPos(file_, 20);
    started_ = false;
  }

 private:
  // Records up to the pixel record; the bytes taken. A file that ends early
  // or holds an unknown record leaves the rest of the frame at 0.
  uint32_t ReadFrame(GFile* g) {
    const uint32_t start = QELFileGetPos(file_);
    for (;;) {
      uint8_t tag[4];
      if (QELFileGet(file_, tag, 4) != 4) break;
      const uint32_t t = Le32(tag);
      if (t == 0) {
        uint8_t palette[768] = {};
        QELFileGet(file_, palette, 768);
        changed_ |= std::memcmp(g->source_palette, palette, 768) != 0;
        std::memcpy(g->source_palette, palette, 768);
        continue;
      }
      if (t == 1) {
        const uint32_t got = QELFileGet(file_, frame_.data(), static_cast<uint32_t>(frame_.size()));
        std::memset(frame_.data() + got, 0, frame_.size() - got);
        return QELFileGetPos(file_) - start;
      }
      break;
    }
    std::fill(frame_.begin(), frame_.end(), 0);
    return QELFileGetPos(file_) - start;
  }

  QELFile* file_;
  std::vector<uint8_t> frame_;
  int32_t width_;
  bool started_ = false;
  bool changed_ = false;  // a palette record brought other colours
};

// ---------------------------------------------------------------- wave

class BlankSource : public FrameSource {
 public:
  void Next(GFile* g) override {
    g->frame_bytes = 0;
    SetView(g, blank_, 4, 8, g->state->first_read);
  }
  void Rewind(GFile*) override {}

 private:
  uint8_t blank_[16] = {};
};

// The name with the default extension when it has none; empty when that
// names something other than a plain file (a folder, a device, a pipe: no
// reader may wait on one or read it for ever).
std::string WithExtension(const std::string& name, const char* ext) {
  std::string full = HasExtension(name.c_str()) != nullptr ? name : name + ext;
  struct stat st;
  if (::stat(full.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return "";
  return full;
}

bool ExtensionIs(const std::string& name, const char* ext) {
  const char* dot = HasExtension(name.c_str());
  if (dot == nullptr) return false;
  std::string e = dot;
  for (char& c : e) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return e == ext;
}

// The PCM wave's bytes per second and data bytes, by walking its chunks.
bool ReadWave(const std::string& name, uint32_t* per_second, uint32_t* data_bytes) {
  QELFile* f = QELFileOpen(4096, name.c_str(), QELFILE_READ);
  if (f == nullptr) return false;
  uint8_t head[12];
  bool fmt = false, ok = false;
  if (QELFileGet(f, head, 12) == 12 && std::memcmp(head, "RIFF", 4) == 0 &&
      std::memcmp(head + 8, "WAVE", 4) == 0) {
    const uint32_t size = QELFileSize(f);
    for (;;) {
      uint8_t chunk[8];
      if (QELFileGet(f, chunk, 8) != 8) break;
      const uint32_t length = Le32(chunk + 4);
      const uint32_t body = QELFileGetPos(f);
      if (std::memcmp(chunk, "fmt ", 4) == 0) {
        uint8_t format[16];
        if (length < 16 || QELFileGet(f, format, 16) != 16) break;
        if ((format[0] | (format[1] << 8)) != 1) break;
        *per_second = Le32(format + 8);
        fmt = *per_second != 0;
      } else if (std::memcmp(chunk, "data", 4) == 0) {
        *data_bytes = length <= size - body ? length : size - body;
        ok = fmt;
        break;
      }
      const uint64_t next = uint64_t{body} + length + (length & 1);
      if (next >= size) break;
      QELFileSetPos(f, static_cast<uint32_t>(next));
    }
  }
  QELFileClose(f);
  return ok;
}

bool OpenWave(GFile* g, const std::string& name) {
  if (!ExtensionIs(name, ".WAV") || WithExtension(name, "").empty()) return false;
  uint32_t per_second = 0, bytes = 0;
  if (!ReadWave(name, &per_second, &bytes)) return false;
  g->source_width = g->source_height = 4;
  g->source_bits = 8;
  g->frame_rate = 100;
  const uint64_t frames = uint64_t{bytes} * 10 / per_second + 1;
  g->frames = frames > 16777215 ? 16777215 : static_cast<int32_t>(frames);
  g->state->source = std::make_unique<BlankSource>();
  return true;
}

bool OpenFlic(GFile* g, const std::string& name) {
  if (WithExtension(name, ".flc").empty() || WithExtension(name, ".fli").empty()) return false;
  QELFlic* flic = QELFlicOpen(name.c_str());
  if (flic == nullptr) return false;
  g->source_width = flic->width;
  g->source_height = flic->height;
  g->frames = flic->frames;
  g->frame_rate = flic->frame_time;
  g->source_bits = 8;
  QELFlicGetName(flic, g->name);
  g->state->source = std::make_unique<FlicSource>(flic);
  return true;
}

bool OpenVdzSource(GFile* g, const std::string& name) {
  const std::string full = WithExtension(name, ".vdz");
  auto h = OpenVdz(full);
  if (h == nullptr) return false;
  g->source_width = static_cast<int32_t>(h->Width);
  g->source_height = static_cast<int32_t>(h->Height);
  g->frames = static_cast<int32_t>(h->FrameCount > 16777215 ? 16777215 : h->FrameCount);
  g->frame_rate = h->FrameRate;
  g->source_bits = 8;
  std::snprintf(g->name, sizeof g->name, "%s", full.c_str());
  g->state->source = std::make_unique<VdzSource>(full, std::move(h));
  return true;
}

struct StillKind {
  int32_t kind;
  const char* ext;
  InfoCall info;
  LoadCall load;
};

const StillKind kStillKinds[] = {
    {GFILE_BMP, ".bmp", imagelib::bmpinfo, imagelib::loadbmp},
    {GFILE_GIF, ".gif", imagelib::gifinfo, imagelib::loadgif},
    {GFILE_TIFF, ".tif", imagelib::tiffinfo, imagelib::loadtif},
    {GFILE_PCX, ".pcx", imagelib::pcxinfo, imagelib::loadpcx},
    {GFILE_TGA, ".tga", imagelib::tgainfo, imagelib::loadtga},
    {GFILE_JPEG, ".jpg", imagelib::jpeginfo, imagelib::loadjpg},
    {GFILE_PNG, ".png", imagelib::pnginfo, imagelib::loadpng},
};

bool OpenStill(GFile* g, const std::string& name, const StillKind& k) {
  const std::string full = WithExtension(name, k.ext);
  imagelib::ImageInfo info;
  if (k.info(full.c_str(), &info) != imagelib::kOk || info.width <= 0 || info.height <= 0) return false;
  if (k.kind == GFILE_GIF && OpenAnimatedGif(g, full)) return true;
  g->kind = k.kind;
  g->source_width = info.width;
  g->source_height = info.height;
  g->source_bits = info.bits > 8 ? 24 : 8;
  g->frames = 1;
  g->frame_rate = 100;
  std::snprintf(g->name, sizeof g->name, "%s", full.c_str());
  g->state->source = std::make_unique<StillSource>(full, k.load, g->source_bits);
  return true;
}

bool OpenAvi(GFile* g, const std::string& name) {
  const std::string full = WithExtension(name, ".avi");
  QELAVIInit();
  std::string error;
  auto reader = avifile::Reader::Open(full.c_str(), &error);
  if (reader == nullptr) return false;
  const avifile::VideoInfo& v = reader->Video();
  if (v.width <= 0 || v.height <= 0 || v.length == 0 || v.rate == 0) return false;
  g->source_width = v.width;
  g->source_height = v.height;
  g->frames = static_cast<int32_t>(v.length > 16777215 ? 16777215 : v.length);
  const uint64_t period = uint64_t{100000} * v.scale / v.rate;
  g->frame_rate = -static_cast<int32_t>(period > 0x7FFFFFFF ? 0x7FFFFFFF : period);
  g->rate_units = static_cast<int32_t>(v.rate > 0x7FFFFFFF ? 0x7FFFFFFF : v.rate);
  g->rate_count = static_cast<int32_t>(v.scale > 0x7FFFFFFF ? 0x7FFFFFFF : v.scale);
  g->source_bits = v.bits > 8 ? 24 : 8;
  uint32_t sound = 0;
  if (reader->HasAudio() && reader->Audio().format == 1) {
    const avifile::AudioInfo& a = reader->Audio();
    const uint64_t per = uint64_t{a.length} * a.channels * a.bits / v.length / 8;
    sound = per > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<uint32_t>(per);
  }
  std::snprintf(g->name, sizeof g->name, "%s", full.c_str());
  g->state->source = std::make_unique<AviSource>(std::move(reader), sound);
  return true;
}

bool OpenRaw(GFile* g, const std::string& name) {
  const std::string full = WithExtension(name, ".raw");
  QELFile* f = QELFileOpen(65536, full.c_str(), QELFILE_READ);
  if (f == nullptr) return false;
  uint8_t head[20];
  const uint32_t size = QELFileSize(f);
  if (QELFileGet(f, head, 20) != 20 || std::memcmp(head, "RAWB", 4) != 0) {
    QELFileClose(f);
    return false;
  }
  const uint32_t count = Le32(head + 4), width = Le32(head + 8), height = Le32(head + 12);
  const int32_t time = static_cast<int32_t>(Le32(head + 16));
  const uint64_t pixels = uint64_t{width} * height;
  // Every frame needs its pixel record: a stated size or count the file
  // cannot hold is refused before anything is allocated.
  if (count == 0 || width == 0 || height == 0 || width > 32768 || height > 32768 ||
      pixels > (uint64_t{1} << 26) || pixels + 4 > size) {
    QELFileClose(f);
    return false;
  }
  g->source_width = static_cast<int32_t>(width);
  g->source_height = static_cast<int32_t>(height);
  g->frames = static_cast<int32_t>(count > 16777215 ? 16777215 : count);
  g->frame_rate = time > 0 ? -time : 0;
  g->source_bits = 8;
  std::snprintf(g->name, sizeof g->name, "%s", full.c_str());
  g->state->source = std::make_unique<RawSource>(f, g->source_width, g->source_height);
  return true;
}

}  // namespace

bool OpenSingleSource(GFile* g, const std::string& name) {
  std::snprintf(g->name, sizeof g->name, "%s", name.c_str());
  if (OpenWave(g, name)) {
    g->kind = GFILE_WAVE;
  } else if (OpenFlic(g, name)) {
    g->kind = GFILE_FLIC;
  } else if (OpenVdzSource(g, name)) {
    g->kind = GFILE_VDZ;
  } else {
    bool found = false;
    for (const StillKind& k : kStillKinds) {
      if (OpenStill(g, name, k)) {
        found = true;
        break;
      }
    }
    if (!found) {
      if (OpenAvi(g, name))
        g->kind = GFILE_AVI;
      else if (OpenRaw(g, name))
        g->kind = GFILE_RAW;
      else
        return false;
    }
  }
  g->total_bytes = static_cast<int32_t>(qelfilesize(g->name) & 0x7FFFFFFF);
  return true;
}

bool IsListName(const std::string& name) {
  return name.find('?') != std::string::npos || ExtensionIs(name, ".LST");
}

}  // namespace qelutil

extern "C" void QELAVIInit(void) {
  // The AVI service of this platform needs no start-up; the call is kept so
  // that every AVI open goes through one place.
  static bool started = true;
  (void)started;
}
