#include "platform/report_channel.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool SendAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t done = send(fd, p, n, MSG_NOSIGNAL);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

bool ReceiveAll(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t done = recv(fd, p, n, 0);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeReportRecord(uint32_t kind, uint32_t identifier, const void* data, uint32_t size) {
  std::vector<uint8_t> record(12 + size_t{size});
  Put32(record.data(), kind);
  Put32(record.data() + 4, identifier);
  Put32(record.data() + 8, size);
  if (size != 0) std::memcpy(record.data() + 12, data, size);
  return record;
}

void ReportRecordReader::Feed(const uint8_t* data, size_t size) {
  if (malformed_ || size == 0) return;
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

ReportRecordReader::Result ReportRecordReader::Next(ReportRecord& record) {
  if (malformed_) return Result::kMalformed;
  if (Buffered() < 12) return Result::kNeedMore;
  const uint8_t* head = buffer_.data() + start_;
  const uint32_t kind = Get32(head);
  const uint32_t size = Get32(head + 8);
  const bool known = kind == kReportCaption || kind == kReportMessage || kind == kReportCopyData;
  if (!known || size > kReportMaxRecord || (kind == kReportMessage && size != 8)) {
    malformed_ = true;
    buffer_.clear();
    start_ = 0;
    return Result::kMalformed;
  }
  if (Buffered() - 12 < size) return Result::kNeedMore;
  record.kind = kind;
  record.identifier = Get32(head + 4);
  record.data.assign(head + 12, head + 12 + size);
  start_ += 12 + size_t{size};
  // Drop what has been read once it is most of the buffer.
  if (start_ > 4096 && start_ * 2 > buffer_.size()) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  return Result::kRecord;
}

std::string ReportText(const std::vector<uint8_t>& data) {
  size_t n = 0;
  while (n < data.size() && data[n] != 0) ++n;
  return std::string(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
}

std::string ReportSocketPath(uint32_t front_end) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0')
    return std::string(runtime) + "/vidzoer-" + std::to_string(front_end) + ".sock";
  return "/tmp/vidzoer-" + std::to_string(getuid()) + "-" + std::to_string(front_end) + ".sock";
}

std::unique_ptr<ReportChannel> ReportChannel::Connect(uint32_t front_end) {
  const std::string path = ReportSocketPath(front_end);
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return nullptr;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  std::unique_ptr<ReportChannel> channel(new ReportChannel(fd));
  channel->SetTimeout(2000);  // before connecting: a front end too busy to accept does not hold us up
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return nullptr;
  return channel;
}

ReportChannel::~ReportChannel() {
  close(fd_);
}

void ReportChannel::SetTimeout(int milliseconds) {
  timeval tv{};
  tv.tv_sec = milliseconds / 1000;
  tv.tv_usec = (milliseconds % 1000) * 1000;
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool ReportChannel::Write(uint32_t kind, uint32_t identifier, const void* data, uint32_t size) {
  const std::vector<uint8_t> record = EncodeReportRecord(kind, identifier, data, size);
  return SendAll(fd_, record.data(), record.size());
}

bool ReportChannel::Read(uint32_t& kind, uint32_t& identifier, std::vector<uint8_t>& data) {
  uint8_t head[12];
  if (!ReceiveAll(fd_, head, sizeof head)) return false;
  kind = Get32(head);
  identifier = Get32(head + 4);
  const uint32_t size = Get32(head + 8);
  if (size > kReportMaxAnswer) return false;
  data.resize(size);
  return size == 0 || ReceiveAll(fd_, data.data(), size);
}

std::optional<std::string> ReportChannel::Caption() {
  if (!Write(kReportCaption, 0, nullptr, 0)) return std::nullopt;
  uint32_t kind = 0, identifier = 0;
  std::vector<uint8_t> data;
  if (!Read(kind, identifier, data) || kind != kReportCaption) return std::nullopt;
  return std::string(data.begin(), data.end());
}

std::optional<uint32_t> ReportChannel::Send(uint32_t message, uint32_t wparam, uint32_t lparam) {
  uint8_t params[8];
  Put32(params, wparam);
  Put32(params + 4, lparam);
  if (!Write(kReportMessage, message, params, sizeof params)) return std::nullopt;
  uint32_t kind = 0, identifier = 0;
  std::vector<uint8_t> data;
  if (!Read(kind, identifier, data) || kind != kReportMessage || identifier != message || data.size() != 4)
    return std::nullopt;
  return Get32(data.data());
}

bool ReportChannel::CopyData(uint32_t identifier, const void* data, uint32_t size) {
  return Write(kReportCopyData, identifier, data, size);
}

FrontEndLink GreetFrontEnd(uint32_t id) {
  FrontEndLink link{id, false, false};
  if (id == 0) return link;
  auto channel = ReportChannel::Connect(id);
  if (channel == nullptr) return link;
  link.report = true;
  const std::string caption = channel->Caption().value_or(std::string());
  if (caption.compare(0, std::strlen(kFrontEndCaption), kFrontEndCaption) == 0) {
    link.started_us = true;
    const std::optional<uint32_t> answer = channel->Send(kReportHello, 0, 0);
    if (answer && *answer == kReportForgetMe) link.report = false;
  }
  return link;
}

void ReportToFrontEnd(const FrontEndLink& link, const std::string& text) {
  if (!link.report) return;
  auto channel = ReportChannel::Connect(link.id);
  if (channel == nullptr) return;  // the front end has gone
  std::vector<char> data(text.begin(), text.end());
  data.resize(text.size() + 16, '\0');  // the text, its terminator and the rest of the record
  channel->CopyData(kReportDataText, data.data(), static_cast<uint32_t>(data.size()));
}

}  // namespace platform
