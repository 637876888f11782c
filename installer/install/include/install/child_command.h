// The argument vector a child program receives for a textual command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// `program` becomes argv[0]; `arguments` (the text after the program) is split
// with the Windows argument rules, except that an unquoted folder after "/D="
// or "_?=" — always the last item — stays one element even when it has blanks.
std::vector<std::wstring> BuildChildArgv(std::wstring_view program, std::wstring_view arguments);

// Cuts a reported value (path, text) to the 771 characters a protocol value may hold.
std::wstring ProtocolValue(std::wstring_view text);

// The value with trailing carriage returns, line feeds and blanks removed, for
// reported paths that are used as paths.
std::wstring TrimReportedPath(std::wstring_view path);
