// QELFile over arbitrary file contents. The input's first byte chooses the
// buffer size and the open mode, the second the length of a script of
// two-byte operations (reads, bit reads, lines, moves, buffer and end tests,
// a few writes in update mode); the rest is the file. Besides memory safety,
// the target checks that byte reads agree with the file, that bit positions
// stay in range, and that readers which test for the end always stop.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/temp_file.h"
#include "qelutil/qelutil.h"

namespace {

const std::string& TempName() {
  static std::string name = [] {
    char tmpl[] = "/tmp/fuzz_qelfile_XXXXXX";
    int fd = ::mkstemp(tmpl);
    if (fd < 0) std::abort();
    ::close(fd);
    std::atexit([] { ::unlink(TempName().c_str()); });
    return std::string(tmpl);
  }();
  return name;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void WriteFile(const uint8_t* data, size_t size) {
  fuzz_support::WriteInput(TempName(), data, size);
}

constexpr int32_t kBufferSizes[8] = {0, 1, 2, 3, 7, 16, 61, 4096};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t setup = data[0];
  const size_t ops = std::min<size_t>(data[1], (size - 2) / 2);
  const uint8_t* script = data + 2;
  const uint8_t* contents = script + 2 * ops;
  const size_t length = size - 2 - 2 * ops;
  WriteFile(contents, length);

  const bool update = (setup & 0x80) != 0;
  QELFile* f = QELFileOpen(kBufferSizes[setup & 7] * ((setup & 8) ? -1 : 1), TempName().c_str(),
                           update ? QELFILE_UPDATE : QELFILE_READ);
  Check(f != nullptr);
  // While only reads happen, what the file holds is the input.
  bool pristine = true;
  std::vector<char> line;
  uint8_t scratch[300];

  for (size_t i = 0; i < ops; ++i) {
    const uint32_t op = script[2 * i] % 16;
    const uint32_t arg = script[2 * i + 1];
    switch (op) {
      case 0:
        QELFileGetBits(f, arg % 40);
        break;
      case 1: {
        uint32_t pos = QELFileGetPos(f);
        bool aligned = QELFileBitPos(f) == 0;
        uint32_t v = QELFileGet8(f);
        if (pristine && aligned) Check(v == (pos < length ? contents[pos] : 0u));
        break;
      }
      case 2:
        QELFileGet16(f);
        break;
      case 3:
        QELFileGet32(f);
        break;
      case 4:
      case 5: {
        scratch[arg] = 0xA5;
        uint32_t n = op == 4 ? QELFileGet(f, scratch, arg) : QELFileGetNB(f, scratch, arg);
        Check(n <= arg && scratch[arg] == 0xA5);
        break;
      }
      case 6: {
        line.assign(arg % 24, 'x');
        char* r = QELFileGetLine(f, line.data(), static_cast<uint32_t>(line.size()));
        Check(r == line.data() || line.empty());
        if (!line.empty()) Check(std::strlen(line.data()) < line.size());
        break;
      }
      case 7: {
        uint32_t target = static_cast<uint32_t>(length) * arg / 200;
        uint32_t before = QELFileGetPos(f);
        Check(QELFileSetPos(f, target) == before);
        Check(QELFileGetPos(f) == target);
        break;
      }
      case 8:
        if (QELFileIsInBuffer(f, QELFileGetPos(f) + arg - 128)) Check(f->buffer_size != 0 && !f->writing);
        break;
      case 9: {
        // A reader that tests for the end before every field stops.
        uint32_t width = arg % 33 + 1;
        uint64_t limit = uint64_t{QELFileSize(f)} * 8 + 16;
        while (!QELFileAtEnd(f)) {
          QELFileGetBits(f, width);
          Check(limit-- > 0);
        }
        break;
      }
      case 10: {
        char buf[8];
        uint32_t limit = QELFileSize(f) + 1;
        while (!QELFileAtEnd(f)) {
          QELFileGetLine(f, buf, sizeof(buf));
          Check(limit-- > 0);
        }
        break;
      }
      case 11:
        QELFileByteAlign(f);
        Check(QELFileBitPos(f) == 0);
        break;
      case 12:
        Check(QELFileSize(f) >= QELFileGetPos(f));
        break;
      case 13:
        if (update) {
          QELFilePutBits(f, arg * 0x01010101u, arg % 40);
          pristine = false;
        }
        break;
      case 14:
        if (update) {
          QELFilePut8(f, arg);
          pristine = false;
        }
        break;
      default:
        QELFileFlush(f);
        break;
    }
    Check(QELFileBitPos(f) < 8);
  }
  QELFileClose(f);
  return 0;
}
