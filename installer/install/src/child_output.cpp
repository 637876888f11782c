#include "child_output.h"

#include "install/child_command.h"
#include "utils/exception.h"
#include "utils/text.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunkSize = 1024;
constexpr int kExitCheckIntervalMs = 100;

enum class ReadResult { Data, EndOfStream, NothingYet };

ReadResult ReadChunk(int fd, int timeoutMs, std::string& chunk) {
    pollfd ready{fd, POLLIN, 0};
    int polled;
    do {
        polled = ::poll(&ready, 1, timeoutMs);
    } while (polled < 0 && errno == EINTR);
    if (polled <= 0) return polled == 0 ? ReadResult::NothingYet : ReadResult::EndOfStream;
    chunk.resize(kChunkSize);
    const long got = ::read(fd, chunk.data(), kChunkSize);
    if (got <= 0) return got < 0 && errno == EINTR ? ReadResult::NothingYet : ReadResult::EndOfStream;
    chunk.resize(static_cast<std::size_t>(got));
    return ReadResult::Data;
}

bool HasEnded(Utils::ConsoleProcess& process) {
    const auto state = process.Poll().state;
    return state == Utils::ConsoleProcess::State::Exited || state == Utils::ConsoleProcess::State::Killed;
}

}  // namespace

void ReadChildOutput(Utils::ConsoleProcess& process, const std::function<bool(std::string_view chunk)>& onChunk) {
    const int fd = process.OutputReadEnd();
    if (fd < 0) return;
    std::string chunk;
    while (true) {
        // Once the child has ended, only what is already buffered is read.
        const bool ended = HasEnded(process);
        const ReadResult result = ReadChunk(fd, ended ? 0 : kExitCheckIntervalMs, chunk);
        if (result == ReadResult::Data) {
            if (!onChunk(std::string_view(chunk.data(), chunk.find('\0') == std::string::npos ? chunk.size() : chunk.find('\0'))))
                return;
            continue;
        }
        if (result == ReadResult::EndOfStream || ended) return;
    }
}

std::wstring ChunkText(std::string_view chunk, std::uint32_t codePage) {
    std::wstring text = Utils::ToWide(chunk, codePage);
    // An unknown code page converts nothing: fall back to UTF-8 rather than lose the line.
    if (text.empty() && !chunk.empty()) text = Utils::ToWide(chunk, Utils::kCodePageUtf8);
    return text;
}

std::wstring_view TrimProtocolBlanks(std::wstring_view text) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<Utils::ConsoleProcess::Status> RunChild(const std::wstring& program, const std::wstring& commandLine,
                                                      std::size_t programLength,
                                                      const std::function<bool(std::string_view chunk)>& onChunk) {
    Utils::ConsoleProcess process;
    try {
        process.Start(commandLine, BuildChildArgv(program, std::wstring_view(commandLine).substr(programLength)));
    } catch (const Utils::Exception&) {
        return std::nullopt;
    }
    ReadChildOutput(process, onChunk);
    const Utils::ConsoleProcess::Status status = process.Wait();
    process.Close();
    return status;
}
