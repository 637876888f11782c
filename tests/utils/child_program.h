// Starting the utils test child program (tests/utils/helpers) and reading its output.
#pragma once

#include "utils/paths.h"
#include "utils/process.h"
#include "utils/text.h"

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace utils_test {

inline std::filesystem::path ChildProgram() { return Utils::ExecutableFolder() / "utils_test_child"; }

// Starts `program` with the given arguments; the textual command line is the
// arguments joined by blanks (only for logs).
inline void StartChild(Utils::ConsoleProcess& process, const std::vector<std::wstring>& arguments,
                       const std::filesystem::path& program = ChildProgram()) {
    std::vector<std::wstring> argv{Utils::WideFromPath(program)};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::wstring commandLine = L"\"" + argv[0] + L"\"";
    for (const auto& argument : arguments) commandLine += L" " + argument;
    process.Start(commandLine, argv);
}

// Everything left on a descriptor until its end.
inline std::string ReadToEnd(int fd) {
    std::string text;
    char buffer[1024];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

// One line (without its line feed) from a descriptor, read a byte at a time so
// that nothing after it is consumed.
inline std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

}  // namespace utils_test
