#include "platform/launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

#include "platform/paths.h"

extern char** environ;

namespace platform {
namespace {

std::mutex g_lock;
std::vector<pid_t> g_started;

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string word;
  bool in_word = false;
  char quote = 0;  // the quote that opened the group being read, or 0
  for (char c : line) {
    if (quote != 0) {
      if (c == quote)
        quote = 0;
      else
        word += c;
    } else if (c == '"' || c == '\'') {
      quote = c;
      in_word = true;  // "" is an empty argument
    } else if (static_cast<unsigned char>(c) <= ' ') {
      if (in_word) args.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) args.push_back(word);
  return args;
}

void ReapPrograms(bool wait) {
  std::lock_guard<std::mutex> hold(g_lock);
  for (size_t i = 0; i < g_started.size();) {
    int status = 0;
    const pid_t got = ::waitpid(g_started[i], &status, wait ? 0 : WNOHANG);
    if (got == 0) {
      ++i;
      continue;
    }
    g_started.erase(g_started.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

bool LaunchProgram(const std::vector<std::string>& args, const std::string& stdin_file) {
  ReapPrograms(false);
  if (args.empty() || args[0].empty()) return false;
  std::string program = args[0];
  if (program.find_first_of("/\\") != std::string::npos) program = ResolvePath(program);
  std::vector<char*> argv;
  std::vector<std::string> copy(args);
  copy[0] = program;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (!stdin_file.empty()) {
    const std::string in = ResolvePath(stdin_file);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  }
  pid_t pid = 0;
  const int failed = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return false;
  std::lock_guard<std::mutex> hold(g_lock);
  g_started.push_back(pid);
  return true;
}

}  // namespace platform
