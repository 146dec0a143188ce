// Running the script engine in-process: a host that keeps the message boxes
// it was asked to show and opens the files a script names inside a
// temporary folder.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "script/engine.h"
#include "support/temp_dir.h"

namespace script_test {

struct Box {
  std::string text, caption;
};

class TestHost : public vidzoscript::ScriptHost {
 public:
  explicit TestHost(const vidzoer_test::TempDir& dir) : dir_(dir) {}
  void Message(const std::string& text, const std::string& caption, platform::MessageKind) override {
    boxes.push_back({text, caption});
  }
  std::string FileName(const std::string& name, bool) override { return dir_.File(name); }
  bool WindowExists() override { return window; }
  bool WindowHasFocus() override { return true; }
  void ScreenLine(const std::string& line) override { screen.push_back(line); }

  std::vector<Box> boxes;
  std::vector<std::string> screen;
  bool window = false;

 private:
  const vidzoer_test::TempDir& dir_;
};

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace script_test
