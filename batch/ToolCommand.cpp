#include "batch/ToolCommand.h"

#include <algorithm>
#include <cstring>

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
