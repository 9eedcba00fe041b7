// snapferry's answer to --help and --version (see common/cli/InformationOptions.h).
#pragma once

#include <optional>
#include <string>

// The text of "--help" or "--version" as the first argument, or nothing for any other command.
std::optional<std::string> WizardInformationText(int argc, const char* const* argv);
