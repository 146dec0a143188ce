#include "playback/version.h"

namespace vidzo {

const char* VersionText() {
  return kVersion;
}

}  // namespace vidzo
