// Opening the single-file sources of a GFile.
#pragma once

#include <string>

#include "qelutil/qelutil.h"

namespace qelutil {

// Tries the readers in the probe order (wave, flic, .vdz, bitmap, GIF, TIFF,
// PCX, Targa, JPEG, PNG, AVI, raw) and sets g's kind, name, source size,
// bits, frame count, frame rate, total bytes and source. False when none
// accepts the file.
bool OpenSingleSource(GFile* g, const std::string& name);

// An animated GIF (two pictures or more) as 24-bit composited frames;
// false for anything else.
bool OpenAnimatedGif(GFile* g, const std::string& name);

// Whether the name is a list file (".lst") or a numbered sequence ("?").
bool IsListName(const std::string& name);

}  // namespace qelutil
