#include "kv_analytics/diagnostics.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace kv_analytics {
namespace {

// One write per line so that lines from several threads never interleave.
void WriteToStream(MessageStream stream, std::string_view message) {
    std::string line(message);
    line += '\n';
    const int fd = stream == MessageStream::Output ? STDOUT_FILENO : STDERR_FILENO;
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

std::atomic<MessageSink> g_sink{&WriteToStream};

}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return g_sink.exchange(sink ? sink : &WriteToStream); }

void WriteMessage(MessageStream stream, std::string_view message) { g_sink.load()(stream, message); }

}  // namespace kv_analytics
