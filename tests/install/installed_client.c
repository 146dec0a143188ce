/* A C program built against the installed toolkit only, through pkg-config
 * (or CMake's find_package): writes and reads back a file with the utility
 * library's QELFile, opens a .vdz file with the playback library and checks
 * its size and frame count and its first frames, and checks the version
 * header. Usage: installed_client WORKFILE FILE.vdz WIDTH HEIGHT FRAMES
 * VERSION. Exits nonzero on the first mismatch. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "playback/vidzo.h"
#include "qelutil/qelutil.h"
#include "vidzoer/version.h"

static int failures = 0;

static void expect(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "installed_client: FAILED: %s\n", what);
    ++failures;
  }
}

int main(int argc, char** argv) {
  if (argc != 7) {
    fprintf(stderr, "usage: installed_client WORKFILE FILE.vdz WIDTH HEIGHT FRAMES VERSION\n");
    return 2;
  }
  const char* work = argv[1];
  const char* vdz = argv[2];
  const uint32_t width = (uint32_t)strtoul(argv[3], NULL, 10);
  const uint32_t height = (uint32_t)strtoul(argv[4], NULL, 10);
  const uint32_t frames = (uint32_t)strtoul(argv[5], NULL, 10);

  expect(strcmp(VIDZOER_VERSION_TEXT, argv[6]) == 0, "version header");

  QELFile* f = QELFileCreate(64, work);
  expect(f != NULL, "QELFileCreate");
  if (f == NULL) return 1;
  QELFilePutBits(f, 6, 3);
  QELFilePutBits(f, 17, 5);
  QELFilePut32(f, 0xC0FFEE12u);
  QELFileClose(f);
  f = QELFileOpen(64, work, QELFILE_READ);
  expect(f != NULL, "QELFileOpen");
  if (f == NULL) return 1;
  expect(QELFileSize(f) == 5, "QELFileSize");
  expect(QELFileGetBits(f, 3) == 6, "first bit field");
  expect(QELFileGetBits(f, 5) == 17, "second bit field");
  expect(QELFileGet32(f) == 0xC0FFEE12u, "32-bit word");
  expect(QELFileAtEnd(f), "at end");
  QELFileClose(f);
  expect(QELFileErase(work), "QELFileErase");

  VidzoHandle* h = VidzoOpen(vdz, 0, 0);
  expect(h != NULL, "VidzoOpen");
  if (h == NULL) return 1;
  expect(h->Width == width, "width");
  expect(h->Height == height, "height");
  expect(h->FrameCount == frames, "frame count");
  /* Steps through every frame: each record is read, split and decoded
   * without the library giving up on it. */
  for (uint32_t i = 1; i < frames; ++i) VidzoStepFrame(h);
  expect(h->CurrentFrame == frames - 1, "stepped to the last frame");
  VidzoClose(h);

  expect(VidzoOpen("no-such-file.vdz", 0, 0) == NULL, "a missing file is refused");

  if (failures == 0) printf("installed_client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
