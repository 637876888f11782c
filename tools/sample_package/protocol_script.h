// The scripted mode shared by the sample package and the sample uninstaller.
//
// When QUORVANE_SAMPLE_SCRIPT names a file, the program ignores its normal work
// and plays the file instead, one directive a line:
//   say <text>      writes <text> and a line feed to standard output
//   raw <hex>       writes the bytes given in hexadecimal (for invalid text)
//   sleep <ms>      pauses
//   args            writes each argument as "Arg=<argument>"
//   crash           dies by SIGSEGV (SIGKILL where SIGSEGV is caught)
//   exit <code>     exits with <code>
// The end of the file exits with 0.
#pragma once

#include <optional>
#include <string>

// Writes one protocol line to standard output at once, so the installer reads it as it happens.
void Say(const std::string& line);

// Runs the script when one is configured; nullopt when none is, so the program does its real work.
std::optional<int> RunScriptIfConfigured(int argc, char** argv);
