#include "fake_front_end.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "platform/report_channel.h"

namespace player_test {
namespace {

bool ReadAll(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t got = recv(fd, p, n, 0);
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Answer(int fd, uint32_t kind, uint32_t identifier, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  Put32(out, kind);
  Put32(out, identifier);
  Put32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  (void)!send(fd, out.data(), out.size(), MSG_NOSIGNAL);
}

}  // namespace

FakeFrontEnd::FakeFrontEnd(uint32_t id, std::string caption, uint32_t hello_answer)
    : path_(platform::ReportSocketPath(id)), caption_(std::move(caption)), hello_answer_(hello_answer) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
  unlink(path_.c_str());
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
  if (bind(listen_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_, 4) != 0) {
    close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  thread_ = std::thread([this] { Serve(); });
}

FakeFrontEnd::~FakeFrontEnd() {
  Stop();
}

void FakeFrontEnd::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listen_fd_ >= 0) {
    close(listen_fd_);
    listen_fd_ = -1;
    unlink(path_.c_str());
  }
}

std::vector<ReceivedRecord> FakeFrontEnd::Records(size_t at_least) {
  for (int i = 0; i < 400; ++i) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (records_.size() >= at_least) return records_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

void FakeFrontEnd::Serve() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const int fd = accept(listen_fd_, nullptr, nullptr);
    if (fd >= 0) ServeClient(fd);
  }
}

void FakeFrontEnd::ServeClient(int fd) {
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    while (!stop_ && poll(&p, 1, 20) == 0) {
    }
    if (stop_) break;
    uint8_t head[12];
    if (!ReadAll(fd, head, sizeof head)) break;
    ReceivedRecord r{Get32(head), Get32(head + 4), std::vector<uint8_t>(Get32(head + 8))};
    if (!r.data.empty() && !ReadAll(fd, r.data.data(), r.data.size())) break;
    if (r.kind == platform::kReportCaption) Answer(fd, r.kind, 0, {caption_.begin(), caption_.end()});
    if (r.kind == platform::kReportMessage) {
      std::vector<uint8_t> result;
      Put32(result, r.identifier == platform::kReportHello ? hello_answer_ : 0);
      Answer(fd, r.kind, r.identifier, result);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(std::move(r));
  }
  close(fd);
}

}  // namespace player_test
