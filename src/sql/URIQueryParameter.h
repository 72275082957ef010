#pragma once

// One engine option carried in the query part of a URI file name.

#include <optional>
#include <string>
#include <variant>

namespace velquine::sql {

// One query item of a URL: name and value, both unencoded.
struct URLQueryItem {
    std::string name;
    std::string value;
    friend bool operator==(const URLQueryItem&, const URLQueryItem&) = default;
};

class URIQueryParameter {
public:
    enum class FileMode { readOnly, readWrite, readWriteCreate, memory };
    enum class CacheMode { shared, private_ };
    enum class Kind { cache, immutable, modeOf, mode, nolock, powersafeOverwrite, vfs };

    static URIQueryParameter cache(CacheMode mode) { return URIQueryParameter(Kind::cache, mode); }
    static URIQueryParameter immutable(bool on) { return URIQueryParameter(Kind::immutable, on); }
    static URIQueryParameter modeOf(std::string file) { return URIQueryParameter(Kind::modeOf, std::move(file)); }
    static URIQueryParameter mode(FileMode mode) { return URIQueryParameter(Kind::mode, mode); }
    static URIQueryParameter nolock(bool on) { return URIQueryParameter(Kind::nolock, on); }
    static URIQueryParameter powersafeOverwrite(bool on) { return URIQueryParameter(Kind::powersafeOverwrite, on); }
    static URIQueryParameter vfs(std::string name) { return URIQueryParameter(Kind::vfs, std::move(name)); }

    Kind kind() const noexcept { return kind_; }

    // The item this parameter becomes, e.g. mode=rwc, psow=1, vfs=<text unchanged>.
    URLQueryItem queryItem() const;
    // "name=value", unencoded.
    std::string description() const;

    friend bool operator==(const URIQueryParameter&, const URIQueryParameter&) = default;

private:
    using Payload = std::variant<bool, std::string, FileMode, CacheMode>;
    URIQueryParameter(Kind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

    Kind kind_;
    Payload payload_;
};

// Raw values: "ro", "rw", "rwc", "memory" and "shared", "private". Making a mode from a raw value
// accepts exactly these texts (case-sensitive).
std::string rawValue(URIQueryParameter::FileMode mode);
std::string rawValue(URIQueryParameter::CacheMode mode);
std::optional<URIQueryParameter::FileMode> fileModeFromRawValue(const std::string& raw);
std::optional<URIQueryParameter::CacheMode> cacheModeFromRawValue(const std::string& raw);

} // namespace velquine::sql
