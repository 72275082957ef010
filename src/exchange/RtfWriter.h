#pragma once

// Writes a RichTextDocument as RTF 1.x: a font table, a colour table, a style and a bulleted list table when a
// paragraph is a list item, and one \pard paragraph per paragraph with one group per run. Every
// character outside ASCII is written as a \u escape with a Windows-1252 fallback, so the output is
// plain ASCII.

#include <string>

#include "exchange/RichTextDocument.h"

namespace velquine {

class RtfWriter {
public:
    static std::string write(const RichTextDocument& document);
};

} // namespace velquine
