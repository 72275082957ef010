#include "sql/URIQueryParameter.h"

namespace velquine::sql {

std::string rawValue(URIQueryParameter::FileMode mode)
{
    switch (mode) {
    case URIQueryParameter::FileMode::readOnly: return "ro";
    case URIQueryParameter::FileMode::readWrite: return "rw";
    case URIQueryParameter::FileMode::readWriteCreate: return "rwc";
    case URIQueryParameter::FileMode::memory: return "memory";
    }
    return {};
}

std::string rawValue(URIQueryParameter::CacheMode mode)
{
    switch (mode) {
    case URIQueryParameter::CacheMode::shared: return "shared";
    case URIQueryParameter::CacheMode::private_: return "private";
    }
    return {};
}

std::optional<URIQueryParameter::FileMode> fileModeFromRawValue(const std::string& raw)
{
    using FileMode = URIQueryParameter::FileMode;
    for (FileMode mode : {FileMode::readOnly, FileMode::readWrite, FileMode::readWriteCreate, FileMode::memory}) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

std::optional<URIQueryParameter::CacheMode> cacheModeFromRawValue(const std::string& raw)
{
    using CacheMode = URIQueryParameter::CacheMode;
    for (CacheMode mode : {CacheMode::shared, CacheMode::private_}) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

URLQueryItem URIQueryParameter::queryItem() const
{
    auto flag = [this] { return std::string(std::get<bool>(payload_) ? "1" : "0"); };
    switch (kind_) {
    case Kind::cache: return {"cache", rawValue(std::get<CacheMode>(payload_))};
    case Kind::immutable: return {"immutable", flag()};
    case Kind::modeOf: return {"modeof", std::get<std::string>(payload_)};
    case Kind::mode: return {"mode", rawValue(std::get<FileMode>(payload_))};
    case Kind::nolock: return {"nolock", flag()};
    case Kind::powersafeOverwrite: return {"psow", flag()};
    case Kind::vfs: return {"vfs", std::get<std::string>(payload_)};
    }
    return {};
}

std::string URIQueryParameter::description() const
{
    URLQueryItem item = queryItem();
    return item.name + "=" + item.value;
}

} // namespace velquine::sql
