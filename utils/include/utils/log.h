// Diagnostic lines on the debug output stream (standard error on Linux).
//
// Every statement writes one whole line in a single write(2):
//   <P%05d><T%05d><YYYY-MM-DD hh:mm:ss.mmm>(function tag)<%04d>: message
// UTILS_LOG is the raw form (the message brings its own line end, if any);
// UTILS_LOG_LINE appends "\r\n". Formats are printf-style wide formats; %s takes
// a std::wstring. Logging never throws and never reports an error.
#pragma once

#include <fmt/printf.h>
#include <fmt/xchar.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace Utils {

// Receives each finished line. The default sink writes it as UTF-8 to standard error.
using DebugOutputSink = void (*)(std::wstring_view line);

// Replaces the sink (nullptr restores the default); returns the previous one.
DebugOutputSink SetDebugOutputSink(DebugOutputSink sink);

// Sends already formatted text to the sink in one call.
void OutputDebugText(std::wstring_view text);

namespace detail {

struct LogPrefix {
    int processId;
    int threadId;
    int year, month, day, hour, minute, second, millisecond;
};
LogPrefix CaptureLogPrefix();
std::wstring BuildLogFormat(std::wstring_view message, bool appendLineEnd);
void ReportUnformattable();

// The qualified name of a function from the compiler's pretty function text:
// return type, parameter lists, qualifiers and template arguments removed.
// "static unsigned int Utils::Thread::CallBack(void*)" -> "Utils::Thread::CallBack";
// a lambda keeps its enclosing function: "A::Start()::<lambda(int)>" -> "A::Start::<lambda(int)>".
constexpr std::size_t FunctionTag(std::string_view pretty, char* out) {
    if (auto with = pretty.find(" ["); with != std::string_view::npos) pretty = pretty.substr(0, with);
    auto precededBy = [&](std::size_t i, std::string_view word) {
        return i >= word.size() && pretty.substr(i - word.size(), word.size()) == word;
    };
    auto isNameParen = [&](std::size_t i) { return precededBy(i, "::") || precededBy(i, "operator"); };
    auto closingParen = [&](std::size_t open) {
        int depth = 0;
        for (std::size_t j = open; j < pretty.size(); ++j) {
            if (pretty[j] == '(') ++depth;
            if (pretty[j] == ')' && --depth == 0) return j;
        }
        return pretty.size() - 1;
    };
    // The name starts after the last blank (outside brackets) before the first parameter list.
    std::size_t start = 0;
    int angle = 0;
    for (std::size_t i = 0; i < pretty.size(); ++i) {
        char c = pretty[i];
        if (c == '<') ++angle;
        if (c == '>' && angle > 0) --angle;
        if (angle > 0) continue;
        if (c == ' ') start = i + 1;
        if (c == '(') {
            if (!isNameParen(i)) break;
            i = closingParen(i);
        }
    }
    std::size_t length = 0, afterLastParameters = 0;
    angle = 0;
    for (std::size_t i = start; i < pretty.size(); ++i) {
        char c = pretty[i];
        if (c == '<') ++angle;
        if (c == '>' && angle > 0) --angle;
        if (c == '(' && angle == 0) {
            std::size_t close = closingParen(i);
            if (!isNameParen(i)) {
                i = close;
                afterLastParameters = length;
                continue;
            }
            for (; i <= close; ++i) out[length++] = pretty[i];
            --i;
            continue;
        }
        out[length++] = c;
    }
    // Drop trailing qualifiers such as " const".
    if (afterLastParameters > 0 && afterLastParameters < length && out[afterLastParameters] == ' ')
        length = afterLastParameters;
    return length;
}

template <std::size_t N>
struct FunctionTagText {
    std::array<wchar_t, N> text{};
    consteval explicit FunctionTagText(const char (&pretty)[N]) {
        char narrow[N] = {};
        std::size_t length = FunctionTag(std::string_view(pretty, N - 1), narrow);
        for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<unsigned char>(narrow[i]);
    }
    const wchar_t* c_str() const { return text.data(); }
};

template <typename Message, typename... Args>
void Log(const wchar_t* tag, int line, bool appendLineEnd, const Message& message, const Args&... args) noexcept {
    try {
        const LogPrefix p = CaptureLogPrefix();
        const std::wstring format = BuildLogFormat(std::wstring_view(message), appendLineEnd);
        OutputDebugText(fmt::sprintf(format, p.processId, p.threadId, p.year, p.month, p.day, p.hour,
                                     p.minute, p.second, p.millisecond, tag, line, args...));
    } catch (const fmt::format_error&) {
        ReportUnformattable();
    } catch (...) {
        // Out of memory: the line is dropped.
    }
}

}  // namespace detail

// Formats `format` with `args` and sends the result in one call; never throws.
template <typename... Args>
void DebugPrintf(std::wstring_view format, const Args&... args) noexcept {
    try {
        OutputDebugText(fmt::sprintf(format, args...));
    } catch (const fmt::format_error&) {
        detail::ReportUnformattable();
    } catch (...) {
    }
}

}  // namespace Utils

#define UTILS_DETAIL_LOG(appendLineEnd, message, ...)                                          \
    do {                                                                                       \
        static constexpr ::Utils::detail::FunctionTagText utilsLogTag_{__PRETTY_FUNCTION__};   \
        ::Utils::detail::Log(utilsLogTag_.c_str(), __LINE__, appendLineEnd, message __VA_OPT__(, ) __VA_ARGS__); \
    } while (0)

// Raw form: prefix + format; nothing is appended.
#define UTILS_LOG(format, ...) UTILS_DETAIL_LOG(false, format __VA_OPT__(, ) __VA_ARGS__)
// Line form: prefix + message + "\r\n".
#define UTILS_LOG_LINE(message, ...) UTILS_DETAIL_LOG(true, message __VA_OPT__(, ) __VA_ARGS__)
