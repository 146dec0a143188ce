#include "x_caption.h"

#include <X11/Xlib.h>

std::string XCaption(const std::string& display_name, unsigned long id) {
  Display* d = XOpenDisplay(display_name.c_str());
  if (d == nullptr) return std::string();
  char* name = nullptr;
  std::string caption;
  if (XFetchName(d, id, &name) && name != nullptr) caption = name;
  if (name != nullptr) XFree(name);
  XCloseDisplay(d);
  return caption;
}
