// The report channel between the front end and the programs it starts. The
// front end listens on a Unix-domain socket named after its process id N and
// gives N to the program it starts as "/#N". The program connects, may ask
// for the front end's caption and send it messages (the front end answers
// each), and sends copy-data records (not answered).
//
// Every record is three little-endian u32 values, kind, identifier and byte
// count, followed by that many bytes:
//   kind 1 caption query:  identifier 0, no bytes; the answer is a kind 1
//                          record whose bytes are the caption
//   kind 2 message:        identifier = the message number, 8 bytes (two u32
//                          parameters); the answer is a kind 2 record with
//                          the same identifier and 4 bytes: the result
//   kind 3 copy-data:      identifier = the data identifier, the data bytes
// "The front end still exists" means its socket still accepts a connection.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr uint32_t kReportCaption = 1;
inline constexpr uint32_t kReportMessage = 2;
inline constexpr uint32_t kReportCopyData = 3;

// Message and data numbers of the hand-shake.
inline constexpr uint32_t kReportHello = 10019;    // program to front end at start-up
inline constexpr uint32_t kReportForgetMe = 8995;  // the answer: do not report back
inline constexpr uint32_t kReportRestored = 2304;  // a status window was restored
inline constexpr uint32_t kReportDataText = 4660;  // copy-data identifier of a report text
inline constexpr const char* kFrontEndCaption = "Vidzoer for Windows";

// Answers longer than this are refused (the connection is then unusable).
inline constexpr uint32_t kReportMaxAnswer = 65536;

// Records from a peer larger than this are malformed (the front end drops
// the connection that sent one).
inline constexpr uint32_t kReportMaxRecord = 1u << 20;

// One record of the channel.
struct ReportRecord {
  uint32_t kind = 0;
  uint32_t identifier = 0;
  std::vector<uint8_t> data;
};

// The bytes of one record.
std::vector<uint8_t> EncodeReportRecord(uint32_t kind, uint32_t identifier, const void* data, uint32_t size);

// Reads records from a byte stream that arrives in pieces of any size. A
// record whose kind is unknown, whose byte count exceeds kReportMaxRecord or
// whose message is not 8 bytes long makes the stream malformed: nothing more
// is read from it.
class ReportRecordReader {
 public:
  enum class Result { kNeedMore, kRecord, kMalformed };
  void Feed(const uint8_t* data, size_t size);
  // The next complete record, if there is one.
  Result Next(ReportRecord& record);
  size_t Buffered() const { return buffer_.size() - start_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
  bool malformed_ = false;
};

// The text of a copy-data report: its bytes up to the first zero byte.
std::string ReportText(const std::vector<uint8_t>& data);

// $XDG_RUNTIME_DIR/vidzoer-N.sock, or /tmp/vidzoer-<uid>-N.sock when that
// variable is not set.
std::string ReportSocketPath(uint32_t front_end);

class ReportChannel {
 public:
  // Connects to front end N; null when nothing accepts there.
  static std::unique_ptr<ReportChannel> Connect(uint32_t front_end);
  ~ReportChannel();
  ReportChannel(const ReportChannel&) = delete;
  ReportChannel& operator=(const ReportChannel&) = delete;

  // The front end's caption; nothing when it does not answer.
  std::optional<std::string> Caption();
  // Sends a message and waits for its result; nothing when no answer came.
  std::optional<uint32_t> Send(uint32_t message, uint32_t wparam, uint32_t lparam);
  // Sends a copy-data record; false when it could not be sent.
  bool CopyData(uint32_t identifier, const void* data, uint32_t size);

  // How long an answer is waited for (default 2000 ms).
  void SetTimeout(int milliseconds);

 private:
  explicit ReportChannel(int fd) : fd_(fd) {}
  bool Write(uint32_t kind, uint32_t identifier, const void* data, uint32_t size);
  bool Read(uint32_t& kind, uint32_t& identifier, std::vector<uint8_t>& data);
  int fd_;
};

// A program started by the front end: N of "/#N" (0 when none), whether the
// front end named itself by its caption (it started the program, so no
// closing notice is shown) and whether it wants the report at the end.
struct FrontEndLink {
  uint32_t id = 0;
  bool started_us = false;
  bool report = false;
};

// The start-up hand-shake: connects, reads the caption and, when it begins
// with kFrontEndCaption, says hello; the answer kReportForgetMe withdraws the
// report.
FrontEndLink GreetFrontEnd(uint32_t id);
// Sends the report text (with its terminator, in a record 16 bytes longer
// than the text) when the front end wants it and still exists.
void ReportToFrontEnd(const FrontEndLink& link, const std::string& text);

}  // namespace platform
