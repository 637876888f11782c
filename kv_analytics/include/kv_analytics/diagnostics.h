// Where the SDK's own messages go: debug lines to standard output, problems to
// standard error, one whole line per write. Tests may replace the sink.
#pragma once

#include <string_view>

namespace kv_analytics {

enum class MessageStream { Output, Error };

// Receives each message without its line end.
using MessageSink = void (*)(MessageStream stream, std::string_view message);

// Replaces the sink (nullptr restores the default); returns the previous one.
MessageSink SetMessageSink(MessageSink sink);

void WriteMessage(MessageStream stream, std::string_view message);

}  // namespace kv_analytics
