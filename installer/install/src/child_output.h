// Reading a child's console output the way both package runners do.
#pragma once

#include "utils/process.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Reads the child's standard output in chunks of at most 1024 bytes and hands
// each chunk (cut at its first zero byte) to `onChunk`, until `onChunk` returns
// false or the child has ended and everything it wrote has been read. While the
// child runs, its state is checked at least every 100 ms, so output that a
// grandchild keeps open never holds the runner once the child itself has ended.
void ReadChildOutput(Utils::ConsoleProcess& process, const std::function<bool(std::string_view chunk)>& onChunk);

// The lines of a chunk, split at line feeds; a carriage return before the line
// feed stays part of the line, and a last line without line feed counts too.
class ChunkLines {
public:
    explicit ChunkLines(std::wstring_view text) : rest_(text) {}
    bool Next(std::wstring_view& line) {
        if (rest_.empty()) return false;
        const std::size_t end = rest_.find(L'\n');
        line = rest_.substr(0, end);
        rest_ = end == std::wstring_view::npos ? std::wstring_view() : rest_.substr(end + 1);
        return true;
    }

private:
    std::wstring_view rest_;
};

// A value without white space at either end (state, style and encoding values).
std::wstring_view TrimProtocolBlanks(std::wstring_view text);

// Starts `program` with the command line `commandLine`, whose arguments follow
// its first `programLength` characters; hands each chunk of output to `onChunk`
// (see ReadChildOutput) and waits for the child to end. nullopt when it cannot start.
std::optional<Utils::ConsoleProcess::Status> RunChild(const std::wstring& program, const std::wstring& commandLine,
                                                      std::size_t programLength,
                                                      const std::function<bool(std::string_view chunk)>& onChunk);

// A chunk as wide text in `codePage`; invalid bytes become U+FFFD, never "".
std::wstring ChunkText(std::string_view chunk, std::uint32_t codePage);
