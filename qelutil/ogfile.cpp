// OGFile: the converters' output. Frames go to a flic, to an AVI file, or
// to one numbered still image each, by the extension of the output name.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/avifile/avifile.h"
#include "platform/file.h"
#include "platform/imagelib/imagelib.h"
#include "qelutil/qelutil.h"

namespace {

constexpr const char* kFlicError = "Error creating the output flic.";
constexpr const char* kAviError = "Error creating the output AVI file.";
constexpr const char* kUnsupported = "Unsupported output file type or color depth.";
constexpr const char* kOutOfMemory = "Out of memory.";

void Say(const OGFile* og, const char* text, int32_t kind) {
  if (og->message != nullptr) og->message(text, kind);
}

// The extension without its ".", in upper case; empty when there is none.
std::string UpperExtension(const char* name) {
  const char* dot = HasExtension(name);
  std::string ext = dot != nullptr ? dot + 1 : "";
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

// false (after the kind-3 message) when the user declines to overwrite.
bool MayWrite(const OGFile* og, const std::string& name, int32_t flags) {
  if ((flags & OGFILE_NO_OVERWRITE_ASK) != 0 || overwrite(name.c_str()) != 0) return true;
  Say(og, nullptr, 3);
  return false;
}

int32_t StillKind(const std::string& ext) {
  if (ext == "BMP") return OGFILE_BMP;
  if (ext == "JPG" || ext == "JPEG") return OGFILE_JPEG;
  if (ext == "TGA") return OGFILE_TGA;
  if (ext == "TIF" || ext == "TIFF") return OGFILE_TIFF;
  if (ext == "PCX") return OGFILE_PCX;
  if (ext == "GIF") return OGFILE_GIF;
  if (ext == "PNG") return OGFILE_PNG;
  return -1;
}

const char* NumberFormat(int32_t frames) {
  if (frames >= 10000) return "%05i";
  if (frames >= 1000) return "%04i";
  if (frames >= 100) return "%03i";
  if (frames >= 10) return "%02i";
  if (frames >= 2) return "%01i";
  return "";
}

// The name without its extension (and with "%" doubled, so that the pattern
// is a format with one number), the number format, the extension. Only the
// final extension is taken out: the same letters elsewhere in the name, as
// in a folder "a.bmp/", stay. False when it does not fit the pattern field.
bool MakePattern(OGFile* og, const char* name, int32_t frames) {
  const char* dot = HasExtension(name);
  const std::string ext = dot != nullptr ? dot : "";
  const std::string base(name, dot != nullptr ? static_cast<size_t>(dot - name) : std::strlen(name));
  std::string pattern;
  for (char c : base) pattern += c == '%' ? std::string("%%") : std::string(1, c);
  pattern += NumberFormat(frames);
  pattern += ext;
  if (pattern.size() >= sizeof(og->pattern)) return false;
  std::memcpy(og->pattern, pattern.c_str(), pattern.size() + 1);
  return true;
}

std::string StillName(const OGFile* og, int32_t number) {
  char name[160];
  std::snprintf(name, sizeof(name), og->pattern, number);
  return name;
}

const char* LastPart(const std::string& path, std::string& keep) {
  size_t slash = path.find_last_of("/\\");
  keep = slash == std::string::npos ? path : path.substr(slash + 1);
  return keep.c_str();
}

void Release(OGFile* og) {
  if (og->image != nullptr) {
    imagelib::freeimage(static_cast<imagelib::Image*>(og->image));
    delete static_cast<imagelib::Image*>(og->image);
  }
  delete static_cast<avifile::Writer*>(og->avi);
  qelfree(og->frame);
  qelfree(og);
}

OGFile* CreateFlic(OGFile* og, const char* name, int32_t frame_time, int32_t flags) {
  std::string full = name;
  if (HasExtension(name) == nullptr) full += ".flc";
  if (!MayWrite(og, full, flags)) return nullptr;
  const int32_t width = (og->width + 3) & ~3;
  og->flic = QELOFlicCreate(full.c_str(), width, og->height, frame_time);
  og->frame = og->flic != nullptr
                  ? static_cast<uint8_t*>(qelmalloc(static_cast<uint32_t>(width * og->height)))
                  : nullptr;
  if (og->frame == nullptr) {
    if (og->flic != nullptr) QELOFlicClose(og->flic);
    Say(og, kFlicError, 2);
    return nullptr;
  }
  std::memset(og->frame, 0, static_cast<size_t>(width) * og->height);
  og->kind = OGFILE_FLIC;
  std::snprintf(og->first_name, sizeof(og->first_name), "%s", full.c_str());
  return og;
}

uint32_t DibRow(const OGFile* og) {
  return (static_cast<uint32_t>(og->bits) * static_cast<uint32_t>(og->width) + 31) / 32 * 4;
}

OGFile* CreateAvi(OGFile* og, const char* name, int32_t frame_time, int32_t flags) {
  if (!MayWrite(og, name, flags)) return nullptr;
  QELFileErase(name);
  avifile::WriterOptions o;
  o.width = og->width;
  o.height = og->height;
  o.bits = og->bits;
  o.coding = og->bits == 8 && (flags & OGFILE_AVI_RLE8) != 0 ? avifile::Coding::kRle8
                                                             : avifile::Coding::kUncompressed;
  if (frame_time < 0) {
    o.scale = static_cast<uint32_t>(-static_cast<int64_t>(frame_time));
    o.rate = 100000;
  } else {
    o.scale = frame_time > 0 ? static_cast<uint32_t>(frame_time) : 1;
    o.rate = 1000;
  }
  std::string error;
  auto writer = avifile::Writer::Create(name, o, &error);
  const uint64_t bytes = static_cast<uint64_t>(DibRow(og)) * static_cast<uint64_t>(og->height);
  if (writer != nullptr && bytes < 0xFFFFFFF0u)
    og->frame = static_cast<uint8_t*>(qelmalloc(static_cast<uint32_t>(bytes)));
  if (og->frame == nullptr) {
    Say(og, kAviError, 2);
    return nullptr;
  }
  std::memset(og->frame, 0, bytes);
  og->avi = writer.release();
  og->kind = OGFILE_AVI;
  std::snprintf(og->first_name, sizeof(og->first_name), "%s", name);
  return og;
}

OGFile* CreateStill(OGFile* og, const char* name, const std::string& ext, int32_t frames, int32_t flags) {
  int32_t kind = StillKind(ext);
  if (kind == OGFILE_TGA) og->bits = 24;
  if (kind < 0 || ((kind == OGFILE_PCX || kind == OGFILE_GIF) && og->bits != 8) ||
      !MakePattern(og, name, frames)) {
    if ((flags & OGFILE_QUIET_UNSUPPORTED) == 0) Say(og, kUnsupported, 2);
    return nullptr;
  }
  auto* image = new imagelib::Image();
  if (imagelib::allocimage(image, og->width, og->height, og->bits) != imagelib::kOk) {
    delete image;
    Say(og, kOutOfMemory, 2);
    return nullptr;
  }
  og->image = image;
  og->kind = kind;
  return MayWrite(og, StillName(og, 0), flags) ? og : nullptr;
}

// The frame's pixels into top-down rows `row(y)` at the output's bits.
template <typename RowOf>
void CopyFrame(const OGFile* og, const uint8_t* pixels, const uint8_t* palette, RowOf row) {
  for (int32_t y = 0; y < og->height; ++y) {
    const uint8_t* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(og->pitch);
    uint8_t* dst = row(y);
    if (og->true_colour != 0) {
      for (int32_t x = 0; x < og->width; ++x) std::memcpy(dst + x * 3, src + x * 4, 3);
    } else if (og->bits == 24) {
      for (int32_t x = 0; x < og->width; ++x) {
        const uint8_t* rgb = palette + src[x] * 3;
        dst[x * 3] = rgb[2];
        dst[x * 3 + 1] = rgb[1];
        dst[x * 3 + 2] = rgb[0];
      }
    } else {
      std::memcpy(dst, src, static_cast<size_t>(og->width));
    }
  }
}

void BgrxPalette(const uint8_t* rgb, uint8_t* bgrx) {
  for (int i = 0; i < 256; ++i) {
    bgrx[i * 4] = rgb[i * 3 + 2];
    bgrx[i * 4 + 1] = rgb[i * 3 + 1];
    bgrx[i * 4 + 2] = rgb[i * 3];
    bgrx[i * 4 + 3] = 0;
  }
}

int SaveStill(const OGFile* og, const std::string& name, const imagelib::Image* image) {
  switch (og->kind) {
    case OGFILE_BMP:
      return imagelib::savebmp(name.c_str(), image, 0);
    case OGFILE_JPEG:
      return imagelib::savejpg(name.c_str(), image, 100);
    case OGFILE_TGA:
      return imagelib::savetga(name.c_str(), image, 1);
    case OGFILE_TIFF:
      return imagelib::savetif(name.c_str(), image, 1);
    case OGFILE_PCX:
      return imagelib::savepcx(name.c_str(), image);
    case OGFILE_GIF:
      return imagelib::savegif(name.c_str(), image);
    default:
      return imagelib::savepng(name.c_str(), image);
  }
}

bool PutStill(OGFile* og, const uint8_t* pixels, const uint8_t* palette) {
  auto* image = static_cast<imagelib::Image*>(og->image);
  CopyFrame(og, pixels, palette, [image](int32_t y) { return image->Row(y); });
  if (og->bits == 8) BgrxPalette(palette, image->palette);
  const std::string name = StillName(og, og->next_number++);
  if (SaveStill(og, name, image) != imagelib::kOk) return false;
  og->total_bytes += qelfilesize(name.c_str());
  std::string part;
  if (og->first_name[0] == 0) {
    std::snprintf(og->first_name, sizeof(og->first_name), "%s", LastPart(name, part));
    std::snprintf(og->summary, sizeof(og->summary), "%s", og->first_name);
  } else {
    std::snprintf(og->summary, sizeof(og->summary), "%s to %s", og->first_name, LastPart(name, part));
  }
  return true;
}

bool PutAvi(OGFile* og, const uint8_t* pixels, const uint8_t* palette) {
  const uint32_t step = DibRow(og);
  uint8_t* bottom = og->frame;
  CopyFrame(og, pixels, palette, [og, bottom, step](int32_t y) {
    return bottom + static_cast<size_t>(og->height - 1 - y) * step;
  });
  uint8_t bgrx[1024];
  if (og->bits == 8) BgrxPalette(palette, bgrx);
  return static_cast<avifile::Writer*>(og->avi)->WriteFrame(og->frame, og->bits == 8 ? bgrx : nullptr);
}

bool PutFlic(OGFile* og, const uint8_t* pixels, const uint8_t* palette) {
  const int32_t width = og->flic->width;
  for (int32_t y = 0; y < og->height; ++y)
    std::memcpy(og->frame + static_cast<size_t>(y) * width, pixels + static_cast<size_t>(y) * og->pitch,
                static_cast<size_t>(og->width));
  return QELOFlicPutNext(og->flic, og->frame, palette) != 0;
}

}  // namespace

extern "C" {

OGFile* OGFileCreate(void* /*owner*/, const char* name, int32_t true_colour, int32_t frames, int32_t width,
                     int32_t height, int32_t pitch, int32_t frame_time, QELMessageFunc message,
                     int32_t flags) {
  if (name == nullptr || width <= 0 || height <= 0 || width > 32768 || height > 32768) return nullptr;
  const int32_t min_pitch = true_colour != 0 ? width * 4 : width;
  if (pitch < min_pitch) pitch = min_pitch;
  auto* og = static_cast<OGFile*>(qelmalloc(sizeof(OGFile)));
  if (og == nullptr) return nullptr;
  std::memset(og, 0, sizeof(OGFile));
  og->true_colour = true_colour != 0 ? 1 : 0;
  og->width = width;
  og->height = height;
  og->pitch = pitch;
  og->bits = og->true_colour != 0 ? 24 : 8;
  og->message = message;
  const std::string ext = UpperExtension(name);
  OGFile* made;
  if (og->true_colour == 0 && (ext.empty() || ext == "FLC")) {
    made = CreateFlic(og, name, frame_time, flags);
  } else if (ext == "AVI") {
    made = CreateAvi(og, name, frame_time, flags);
  } else {
    made = CreateStill(og, name, ext, frames, flags);
  }
  if (made == nullptr) {
    Release(og);
    return nullptr;
  }
  if (og->kind == OGFILE_FLIC || og->kind == OGFILE_AVI) {
    std::string part;
    std::snprintf(og->summary, sizeof(og->summary), "%s", LastPart(og->first_name, part));
  }
  return og;
}

int32_t OGFilePut(OGFile* og, const uint8_t* pixels, const uint8_t* palette) {
  if (og == nullptr || pixels == nullptr) return 0;
  // Without a palette a flic frame keeps the current one; images get black.
  static const uint8_t kBlack[768] = {};
  const uint8_t* colours = palette != nullptr ? palette : kBlack;
  bool ok;
  switch (og->kind) {
    case OGFILE_FLIC:
      ok = PutFlic(og, pixels, palette);
      break;
    case OGFILE_AVI:
      ok = PutAvi(og, pixels, colours);
      break;
    default:
      ok = PutStill(og, pixels, colours);
      break;
  }
  if (!ok) og->error = 1;
  return ok ? 1 : 0;
}

uint32_t OGFileClose(OGFile* og) {
  if (og == nullptr) return 0;
  uint32_t total = og->total_bytes;
  if (og->kind == OGFILE_FLIC && og->flic != nullptr) total = QELOFlicClose(og->flic);
  if (og->kind == OGFILE_AVI && og->avi != nullptr) {
    uint64_t size = static_cast<avifile::Writer*>(og->avi)->Close();
    total = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
  }
  Release(og);
  return total;
}

}  // extern "C"
