#pragma once

#include <string>
#include <string_view>

#include "cli/CommandLine.h"

// The table of commands and the texts of the usage and the help made from it.
namespace kinetar::cli {

// What each command does, in the order the usage lists them: its usage line(s), its lines in the
// full help, and what its own --help adds. Continuation lines of a usage line are indented for the
// "Usage: " before it.
struct Command {
    std::string_view Name;
    int (*Run)(Arguments);
    std::string_view UsageLines;
    std::string_view Summary;
    std::string_view Options;
};

std::string UsageText();
// What bad usage of a known command prints after its message: that command's usage alone.
std::string CommandUsageText(const Command& command);
std::string HelpText();
std::string CommandHelpText(const Command& command);
// The command of that name; an unknown name is bad usage, answered with the nearest name.
const Command& FindCommand(const std::string& name);
// "--help" or "-h" among the options (before "--") asks for the command's help instead.
bool AsksForHelp(int argc, char** argv);

}  // namespace kinetar::cli
