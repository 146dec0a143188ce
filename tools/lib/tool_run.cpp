#include "tools/lib/tool_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/program_info.h"
#include "qelutil/status_state.h"

namespace vidzotools {
namespace {

const char* program_name = "tool";
std::string last_error;
bool cancelled = false;

void OnCancel() {
  cancelled = true;
}

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
  Start(front_end, program_name, "");
}

void ToolRun::Start(int32_t front_end, const std::string& title, const std::string& subtitle) {
  cancelled = false;
  if (front_end > 0) {
    auto channel = platform::ReportChannel::Connect(static_cast<uint32_t>(front_end));
    const std::string caption =
        channel != nullptr ? channel->Caption().value_or(std::string()) : std::string();
    if (caption.compare(0, std::strlen(platform::kFrontEndCaption), platform::kFrontEndCaption) == 0) {
      const std::optional<uint32_t> answer = channel->Send(platform::kReportHello, 0, 0);
      if (!answer || *answer != platform::kReportForgetMe) front_ = std::move(channel);
    }
  }
  // The front end is the owner, named by its number.
  void* owner = front_ != nullptr ? reinterpret_cast<void*>(static_cast<uintptr_t>(front_end)) : nullptr;
  StatusInit(nullptr, owner, 0);
  StatusOpen(title.c_str(), subtitle.c_str(), OnCancel);
}

uint8_t ToolRun::Message(const char* text, int32_t kind) {
  if (kind == 2 && text != nullptr) {
    last_error = text;
  } else if (kind == 3) {
    last_error = "the output was not overwritten";
  } else if (text != nullptr) {
    StatusSet(text);
  }
  return cancelled ? 1 : 0;
}

void ToolRun::Progress(const std::string& text) {
  StatusSet(text.c_str());
}

bool ToolRun::Cancelled() {
  StatusCheck();
  return cancelled;
}

const std::string& ToolRun::LastError() const {
  return last_error;
}

int ToolRun::Finish(const std::string& text, int code) {
  Close(text);
  std::fprintf(code == 0 ? stdout : stderr, "%s\n", text.c_str());
  return code;
}

void ToolRun::Close(const std::string& text) {
  // The closing status text goes to the front end; the window does not show
  // it again, since the tool prints its last line itself.
  qelutil::Status().status_text = text;
  StatusClose(0);
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
