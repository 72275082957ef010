#include "exchange/RichTextDocument.h"

#include <algorithm>

namespace velquine {

std::string RichTextDocument::plainText() const
{
    std::string text;
    for (const RichTextParagraph& paragraph : paragraphs) {
        if (paragraph.listLevel)
            text.append(static_cast<std::size_t>(std::clamp(*paragraph.listLevel, 0, RichTextParagraph::maxListLevel)), '\t');
        for (const RichTextRun& run : paragraph.runs) {
            for (std::size_t i = 0; i < run.text.size(); ++i) {
                const char c = run.text[i];
                if (c == '\r' && i + 1 < run.text.size() && run.text[i + 1] == '\n')
                    continue;
                if (c == '\n' || c == '\r') {
                    text += "\u2028";
                } else if (run.text.compare(i, 3, "\u2029") == 0) {
                    text += "\u2028";
                    i += 2;
                } else {
                    text.push_back(c);
                }
            }
        }
        text.push_back('\n');
    }
    return text;
}

} // namespace velquine
