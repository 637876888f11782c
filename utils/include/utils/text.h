// Text conversion between wide text (wchar_t, UTF-32 on Linux), UTF-8 and code pages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Utils {

// Code pages: 0 is the process's LC_CTYPE codeset (ASCII counts as UTF-8),
// 65001 is UTF-8, any other number n is the converter "CP<n>" (936, 1252, ...).
constexpr unsigned kCodePageAnsi = 0;
constexpr unsigned kCodePageUtf8 = 65001;

// Takes LC_CTYPE from the environment; called once at start-up. Numbers are
// always parsed and printed in the C locale.
void InitProcessLocale();

// Narrow text in `codePage` to wide text. Invalid or incomplete sequences become
// U+FFFD, so a non-empty input never gives an empty result; "" for an unknown
// code page.
std::wstring ToWide(std::string_view text, unsigned codePage);
// Wide text to `codePage`. Characters the code page cannot represent become "?"
// (U+FFFD in UTF-8); "" for an unknown code page.
std::string ToMultiByte(std::wstring_view text, unsigned codePage);

// Strict UTF-8 decoding: "" when `text` is not valid UTF-8 (overlong forms,
// surrogates, code points above U+10FFFF, truncated sequences).
std::wstring Utf8ToWide(std::string_view text);
// UTF-8 encoding; characters that are not Unicode scalar values become U+FFFD.
std::string WideToUtf8(std::wstring_view text);
// Lenient UTF-8 decoding: every invalid sequence becomes U+FFFD.
std::wstring Utf8ToWideLenient(std::string_view text);

// Form-style encoding of the UTF-8 bytes: 0x21..0x7E unchanged, blank as "+",
// every other byte as "%XX" (upper-case hex).
std::wstring UrlEncode(std::wstring_view text);

// Replaces occurrences of `pattern`, always searching again from the start of
// the text, until none is left. `replacement` must not contain `pattern`.
std::wstring ReplaceAll(std::wstring text, std::wstring_view pattern, std::wstring_view replacement);

// Plain decimal digits of an unsigned 32-bit number.
std::wstring ToDecimalText(std::uint32_t value);

// Number parsing in the C locale. Leading blanks and a sign are accepted and
// trailing text is ignored; "not parseable" covers text without a leading
// number and values out of range.
bool ParseInt32(std::wstring_view text, std::int32_t& value);
bool ParseDouble(std::wstring_view text, double& value);

// ASCII-only case folding and comparison (profile section and key names).
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b);

}  // namespace Utils
