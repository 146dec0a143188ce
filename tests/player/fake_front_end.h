// A stand-in for the front end's end of the report channel: listens on the
// socket of front end N, answers caption queries and messages, and records
// what it was sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace player_test {

struct ReceivedRecord {
  uint32_t kind = 0;
  uint32_t identifier = 0;
  std::vector<uint8_t> data;
};

class FakeFrontEnd {
 public:
  // Listens at platform::ReportSocketPath(id).
  FakeFrontEnd(uint32_t id, std::string caption, uint32_t hello_answer);
  ~FakeFrontEnd();
  FakeFrontEnd(const FakeFrontEnd&) = delete;
  FakeFrontEnd& operator=(const FakeFrontEnd&) = delete;

  bool listening() const { return listen_fd_ >= 0; }
  // Everything received so far, after waiting (up to two seconds) until at
  // least `at_least` records are there.
  std::vector<ReceivedRecord> Records(size_t at_least = 0);
  // Stops listening (the front end has gone).
  void Stop();

 private:
  void Serve();
  void ServeClient(int fd);

  std::string path_;
  std::string caption_;
  uint32_t hello_answer_;
  int listen_fd_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<ReceivedRecord> records_;
  std::thread thread_;
};

}  // namespace player_test
