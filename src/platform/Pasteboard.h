#pragma once

// Pasteboards: ordered lists of representations, each a type name and its bytes.
//
// A pasteboard made with the default constructor, and every named pasteboard, lives in this process only.
// The general pasteboard is the system clipboard: what is written to it is offered to other programs
// through QMimeData (a type name is used as the MIME format name, except that the standard types below
// travel under their usual MIME names), and what another program put on the clipboard is read back.
//
// Every operation is virtual so that tests can put a pasteboard in place that refuses writes.
// Pasteboards belong to the main thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velquine {

// A run of raw bytes.
using Bytes = std::vector<std::uint8_t>;

class Pasteboard {
public:
    // The standard types, and the MIME formats they travel under on the system clipboard.
    static const std::string stringType; // "public.utf8-plain-text", as "text/plain" (UTF-8)
    static const std::string rtfType;    // "public.rtf", as "text/rtf"
    static const std::string urlType;    // "public.url", as "text/uri-list"
    static const std::string pngType;    // "public.png", as "image/png"
    static const std::string tiffType;   // "public.tiff", as "image/tiff"
    static const std::string pdfType;    // "com.adobe.pdf", as "application/pdf"

    Pasteboard() = default;
    virtual ~Pasteboard() = default;
    Pasteboard(const Pasteboard&) = delete;
    Pasteboard& operator=(const Pasteboard&) = delete;

    // The system clipboard.
    static Pasteboard& general();
    // The in-process pasteboard of that name, made on first use and kept for the process.
    static Pasteboard& withName(const std::string& name);

    // Replaces everything with the given types (repeats dropped), in order, none of them with data yet.
    virtual void declareTypes(const std::vector<std::string>& types);
    // Removes everything.
    virtual void clearContents();

    // Stores the bytes under type: in place when the type is already offered, else as its last type.
    // Returns whether the pasteboard took them.
    virtual bool setData(const Bytes& data, const std::string& type);
    // The text as UTF-8 bytes.
    virtual bool setString(const std::string& text, const std::string& type);

    // The bytes stored under type; nothing when the type is not offered or was declared without data.
    virtual std::optional<Bytes> data(const std::string& type) const;
    // The bytes under type as text; nothing when there are none or they are no valid UTF-8.
    virtual std::optional<std::string> string(const std::string& type) const;

    // The offered types, in order.
    virtual std::vector<std::string> types() const;
    // The first of the given types that is offered; nothing when none is.
    virtual std::optional<std::string> availableType(const std::vector<std::string>& types) const;

protected:
    struct Item {
        std::string type;
        std::optional<Bytes> data;
    };
    std::vector<Item> items_;
};

} // namespace velquine
