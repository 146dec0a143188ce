// The size of a named file, through an unbuffered QELFile.
#include "qelutil/qelutil.h"

extern "C" uint32_t qelfilesize(const char* name) {
  if (name == nullptr) return 0;
  QELFile* f = QELFileOpen(0, name, QELFILE_READ);
  if (f == nullptr) return 0;
  uint32_t size = QELFileSize(f);
  QELFileClose(f);
  return size;
}
