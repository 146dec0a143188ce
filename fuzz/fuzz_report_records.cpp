// Arbitrary bytes from a peer of the front end's report channel, fed to the
// record reader in pieces whose sizes the input's first byte chooses; every
// record read is no larger than the limit and its text is taken.
#include <cstdint>
#include <cstdlib>

#include "platform/report_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 32;
  ++data;
  --size;
  platform::ReportRecordReader reader;
  platform::ReportRecord record;
  for (size_t at = 0; at < size; at += piece) {
    reader.Feed(data + at, size - at < piece ? size - at : piece);
    for (;;) {
      const auto result = reader.Next(record);
      if (result != platform::ReportRecordReader::Result::kRecord) break;
      if (record.data.size() > platform::kReportMaxRecord) std::abort();
      (void)platform::ReportText(record.data);
    }
  }
  return 0;
}
