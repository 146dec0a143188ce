#include "tools/lib/tool_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/program_info.h"

namespace vidzotools {
namespace {

const char* program_name = "tool";
bool progress_on_terminal = false;
bool progress_shown = false;
std::string last_error;

}  // namespace

ToolRun::ToolRun(const char* program) {
  program_name = program;
  last_error.clear();
}

ToolRun::~ToolRun() = default;

bool ToolRun::CommandLine(int argc, char** argv, std::span<const platform::SwitchDef> switches,
                          std::vector<char>& line) {
  std::string error;
  const std::optional<std::string> text = platform::BuildCommandLine(argc, argv, switches, &error);
  if (!text) {
    std::fprintf(stderr, "%s: %s\n", program_name, error.c_str());
    return false;
  }
  line.assign(text->begin(), text->end());
  line.push_back('\0');
  return true;
}

void ToolRun::Start(int32_t front_end) {
  progress_on_terminal = isatty(2) != 0;
  StatusInit(nullptr, nullptr, 0);
  if (front_end <= 0) return;
  auto channel = platform::ReportChannel::Connect(static_cast<uint32_t>(front_end));
  if (channel == nullptr) return;
  const std::string caption = channel->Caption().value_or(std::string());
  if (caption.compare(0, std::strlen(platform::kFrontEndCaption), platform::kFrontEndCaption) != 0) return;
  const std::optional<uint32_t> answer = channel->Send(platform::kReportHello, 0, 0);
  if (answer && *answer == platform::kReportForgetMe) return;
  front_ = std::move(channel);
}

uint8_t ToolRun::Message(const char* text, int32_t kind) {
  if (kind == 2 && text != nullptr) {
    last_error = text;
  } else if (kind == 3) {
    last_error = "the output was not overwritten";
  } else if (text != nullptr) {
    StatusSet(text);
    if (progress_on_terminal) {
      std::fprintf(stderr, "\r%-70.70s", text);
      progress_shown = true;
    }
  }
  return 0;
}

const std::string& ToolRun::LastError() const {
  return last_error;
}

int ToolRun::Finish(const std::string& text, int code) {
  if (progress_shown) std::fputc('\n', stderr);
  progress_shown = false;
  std::fprintf(code == 0 ? stdout : stderr, "%s\n", text.c_str());
  if (front_ != nullptr) {
    std::vector<char> data(text.begin(), text.end());
    data.push_back('\0');
    front_->CopyData(platform::kReportDataText, data.data(), static_cast<uint32_t>(data.size()));
  }
  return code;
}

std::string TemporaryBeside(const std::string& target, const char* program) {
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  return folder + "." + program + "-" + std::to_string(getpid()) + "-" + BaseName(target);
}

std::string BaseName(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

std::string ElapsedSince(uint64_t start_ms) {
  char text[32];
  GetElapsedTime(text, static_cast<uint32_t>(NowMs() - start_ms));
  return text;
}

bool AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(usage, stdout);
      std::fputs(platform::HelpPageNote(program).c_str(), stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      platform::PrintVersion(program);
      return true;
    }
  }
  return false;
}

}  // namespace vidzotools
