// Command-line splitting with the Windows argument rules, and the option map.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Utils {

// Splits a command line like CommandLineToArgvW: the first token (the program)
// ends at the first blank, or is everything between a leading quote and the next
// quote; later tokens are separated by blanks and tabs outside quotes, 2n
// backslashes before a quote give n backslashes and toggle quoting, 2n+1 give n
// backslashes and a literal quote, and two quotes inside a quoted run give a
// literal quote and end the run. An empty or blank line gives no token.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Ordered map of options: "-name=value" gives ("-name", "value") split at the
// first "="; "-flag" and tokens without a leading "-" give an empty value. The
// first occurrence of a name wins; names compare exactly.
class CommandLineArgs {
public:
    explicit CommandLineArgs(std::wstring_view commandLine);
    explicit CommandLineArgs(const std::vector<std::wstring>& tokens);

    bool Has(std::wstring_view name) const;
    // The value, or "" when absent.
    std::wstring GetString(std::wstring_view name) const;
    // Decimal 32-bit integer (leading blanks and sign accepted, trailing text
    // ignored); 0 when absent, not a number or out of range.
    std::int32_t GetInt(std::wstring_view name) const;
    // Decimal floating point; `fallback` when absent, not a number or out of range.
    double GetDouble(std::wstring_view name, double fallback) const;
    // True exactly when the value is "true".
    bool GetBool(std::wstring_view name) const;

    const std::vector<std::pair<std::wstring, std::wstring>>& Entries() const { return entries_; }

private:
    void Insert(const std::wstring& token);
    const std::wstring* Find(std::wstring_view name) const;

    std::vector<std::pair<std::wstring, std::wstring>> entries_;
};

}  // namespace Utils
