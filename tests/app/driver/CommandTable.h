// The UI driver's commands: a table of {name, arguments, what it acts on, handler}, the run of
// one command against the running program, and the usage text made from the table.
#pragma once

#include <string>
#include <vector>

#include "tests/app/driver/Command.h"

namespace velmora::uidriver {

// Runs the command args[0] with its arguments; say reports lines while it runs.
TResult RunCommand(const std::vector<std::wstring>& args, const TSay& say);

// The driver's usage: its options and modes, then one line per command.
std::wstring Usage();

}  // namespace velmora::uidriver
