/* A C program that uses the shared utility library only through its C
 * header: writes bit fields and a line through QELFile, reads them back,
 * splits a command line with the switch functions, and writes two frames
 * through OGFile as a flic that QELFlic reads back. Exits nonzero on the
 * first mismatch. */
#include <stdio.h>
#include <string.h>

#include "qelutil/qelutil.h"

static int failures = 0;

static void expect(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : "qelutil_client.bin";
  QELFile* f = QELFileCreate(64, name);
  expect(f != NULL, "create");
  if (f == NULL) return 1;
  QELFilePutBits(f, 5, 3);
  QELFilePutBits(f, 3, 5);
  QELFilePut16(f, 0x1234);
  QELFileClose(f);

  f = QELFileOpen(64, name, QELFILE_READ);
  expect(f != NULL, "open");
  if (f == NULL) return 1;
  expect(QELFileSize(f) == 3, "size");
  expect(QELFileGetBits(f, 3) == 5 && QELFileGetBits(f, 5) == 3, "bit fields");
  expect(QELFileGet16(f) == 0x1234, "word");
  expect(QELFileAtEnd(f), "at end");
  QELFileClose(f);
  expect(QELFileErase(name), "erase");

  char line[64];
  strcpy(line, "in.bmp /S10 out.flc");
  expect(GetSwitchNum(line, 'S', 0) == 10, "switch number");
  expect(strcmp(line, "in.bmp  out.flc") == 0, "switch removed");

  /* Two 6 x 2 frames as a flic (its width rounded up to 8). */
  char flic_name[256];
  snprintf(flic_name, sizeof(flic_name), "%s.flc", name);
  uint8_t frames[2][12], palette[768];
  for (int i = 0; i < 12; ++i) {
    frames[0][i] = (uint8_t)i;
    frames[1][i] = (uint8_t)(i * 3);
  }
  for (int i = 0; i < 768; ++i) palette[i] = (uint8_t)(i * 5);
  OGFile* og = OGFileCreate(NULL, flic_name, 0, 2, 6, 2, 6, 40, NULL, OGFILE_NO_OVERWRITE_ASK);
  expect(og != NULL && og->kind == OGFILE_FLIC, "flic output");
  if (og == NULL) return 1;
  expect(OGFilePut(og, frames[0], palette) == 1 && OGFilePut(og, frames[1], palette) == 1, "flic frames");
  expect(OGFileClose(og) > 128, "flic size");
  QELFlic* flic = QELFlicOpen(flic_name);
  expect(flic != NULL && flic->width == 8 && flic->frames == 2 && flic->frame_time == -4000, "flic header");
  if (flic == NULL) return 1;
  uint8_t buffer[8 * 4];
  for (int i = 0; i < 2; ++i) {
    expect(QELFlicGetNext(flic, buffer) != 0, "flic frame");
    expect(memcmp(buffer, frames[i], 6) == 0 && memcmp(buffer + 8, frames[i] + 6, 6) == 0, "flic pixels");
  }
  expect(memcmp(QELFlicGetPalette(flic), palette, 768) == 0, "flic palette");
  QELFlicClose(flic);
  expect(QELFileErase(flic_name), "erase flic");

  if (failures == 0) printf("qelutil C client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
