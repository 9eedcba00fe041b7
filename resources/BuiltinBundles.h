// The built-in English bundles of the two programs, made at build time from the same sources as
// the bundles beside the programs (targets velmora_builtin_launcher and velmora_builtin_wizard).
#pragma once

#include <span>

std::span<const unsigned char> LauncherBuiltinBundle();
std::span<const unsigned char> WizardBuiltinBundle();
