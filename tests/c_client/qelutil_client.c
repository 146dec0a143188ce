/* A C program that uses the shared utility library only through its C
 * header: writes bit fields and a line through QELFile, reads them back,
 * and splits a command line with the switch functions. Exits nonzero on
 * the first mismatch. */
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

  if (failures == 0) printf("qelutil C client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
