#include "batch/ToolCommand.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

std::vector<const TToolCommand*>& Registry() {
  static std::vector<const TToolCommand*> commands;
  return commands;
}

}  // namespace

TToolCommand::TToolCommand(const char* name, const char* usage, int (*run)(const std::vector<std::string>& args))
    : Name(name), Usage(usage), Run(run) {
  Registry().push_back(this);
}

std::vector<const TToolCommand*> ToolCommands() {
  std::vector<const TToolCommand*> commands = Registry();
  std::sort(commands.begin(), commands.end(),
            [](const TToolCommand* a, const TToolCommand* b) { return std::strcmp(a->Name, b->Name) < 0; });
  return commands;
}

const TToolCommand* FindToolCommand(const std::string& name) {
  for (const TToolCommand* c : Registry())
    if (name == c->Name) return c;
  return nullptr;
}

int RunSiblingProgram(const char* command, const char* program, const std::vector<std::string>& args) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    std::fprintf(stderr, "%s: cannot find this program's own folder to start %s: %s\n", command, program,
                 ec.message().c_str());
    return 1;
  }
  const std::string path = (self.parent_path() / program).string();
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  execv(path.c_str(), argv.data());
  const int error = errno;
  std::fprintf(stderr, "%s: cannot start %s: %s\n", command, path.c_str(), std::strerror(error));
  return 1;
}
