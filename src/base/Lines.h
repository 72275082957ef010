#pragma once

// Plain-text line helpers.

#include <string>

namespace velquine {

// The text without its blank lines: it is split at each "\n" (a "\r\n" pair stays whole), pieces that are
// empty or hold only white space and line breaks are dropped, and the others are joined with "\n",
// unchanged (indentation stays).
std::string removingBlankLines(const std::string& text);

} // namespace velquine
