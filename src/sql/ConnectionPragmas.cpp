// Attach and detach, the user version and Boolean pragmas, and the library version.

#include "sql/Connection.h"
#include "sql/Statement.h"

namespace velquine::sql {

void Connection::attach(const Location& location, const std::string& schemaName)
{
    run("ATTACH DATABASE ? AS ?", std::vector<OptBinding>{Binding(location.description()), Binding(schemaName)});
}

void Connection::detach(const std::string& schemaName)
{
    run("DETACH DATABASE ?", std::vector<OptBinding>{Binding(schemaName)});
}

std::optional<std::int32_t> Connection::userVersion()
{
    try {
        OptBinding value = scalar("PRAGMA user_version");
        if (!value)
            return std::nullopt;
        const auto* number = std::get_if<std::int64_t>(&*value);
        if (!number)
            return std::nullopt;
        return static_cast<std::int32_t>(*number);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void Connection::setUserVersion(std::optional<std::int32_t> version)
{
    try {
        run("PRAGMA user_version = " + std::to_string(version.value_or(0)));
    } catch (const std::exception&) {
    }
}

bool Connection::getBoolPragma(const std::string& key)
{
    try {
        OptBinding value = scalar("PRAGMA " + key);
        if (!value)
            return false;
        const auto* number = std::get_if<std::int64_t>(&*value);
        return number && *number == 1;
    } catch (const std::exception&) {
        return false;
    }
}

void Connection::setBoolPragma(const std::string& key, bool on)
{
    try {
        run("PRAGMA " + key + " = " + (on ? "1" : "0"));
    } catch (const std::exception&) {
    }
}

SQLiteVersion Connection::sqliteVersion()
{
    try {
        OptBinding value = scalar("SELECT sqlite_version()");
        if (!value)
            return {};
        const auto* text = std::get_if<std::string>(&*value);
        if (!text)
            return {};
        return SQLiteVersion::parse(*text).value_or(SQLiteVersion{});
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace velquine::sql
