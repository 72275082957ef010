#pragma once

// Markdown files open as indented outlines. Headings carry their depth in their "#" marks rather than
// in indentation, so a heading line becomes its title behind one tab per level below the first:
// "# Plan", "## A", "### A1" read as "Plan", "\tA", "\t\tA1" (the title kept whole, trailing "#" marks
// included). Every other line is kept as it is, and
// lines inside fenced code blocks are never taken for headings. A map exported as Markdown thus opens
// as the same tree.

#include <string>
#include <string_view>

namespace velquine {

std::string markdownOutlineText(std::string_view markdown);

} // namespace velquine
