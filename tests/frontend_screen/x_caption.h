// What the X server knows of a window (kept apart from Qt's headers, which
// do not mix with Xlib's).
#pragma once

#include <string>

// The caption of the X window `id` on the display, "" when there is none.
std::string XCaption(const std::string& display_name, unsigned long id);
