// Arbitrary program images through the self-play area finder of vdzcompi,
// and arbitrary status texts through the progress reading of the status
// window's faces.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "qelutil/status_state.h"
#include "tools/lib/self_play.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t field = vidzotools::FindSelfPlayField(std::span<const uint8_t>(data, size));
  if (field != vidzotools::kNoSelfPlayField && (field < 8 || field + vidzotools::kSelfPlayField + 8 > size))
    std::abort();
  const double done = qelutil::StatusTextProgress(std::string(reinterpret_cast<const char*>(data), size));
  if (done != -1 && (done < 0 || done > 1)) std::abort();
  return 0;
}
