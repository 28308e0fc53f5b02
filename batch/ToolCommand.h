// pagemend's commands beside the correction run ("pagemend merge ...",
// "pagemend number ..."). Each command lives in its own file and registers
// itself with a static TToolCommand; main() runs the one named by the first
// argument and lists every usage line in --help.
#pragma once

#include <string>
#include <vector>

struct TToolCommand {
  // Registers the command for the life of the program.
  TToolCommand(const char* name, const char* usage, int (*run)(const std::vector<std::string>& args));

  const char* Name;   // "merge"
  const char* Usage;  // "pagemend merge   [--type pdf|tif] [--out DIR] FILE|FOLDER..."
  // Runs with the arguments after the command's name; returns the exit
  // status (0 done, 1 some files failed, 2 bad usage, 130 interrupted).
  int (*Run)(const std::vector<std::string>& args);
};

// Every registered command, in the order of their names.
std::vector<const TToolCommand*> ToolCommands();
const TToolCommand* FindToolCommand(const std::string& name);

// Replaces this process with the program named `program` in this
// executable's own folder, run with `args`; its output and exit status are
// then the command's own. Returns only when it cannot be started, after
// saying so on stderr as `command`: 1.
int RunSiblingProgram(const char* command, const char* program, const std::vector<std::string>& args);
