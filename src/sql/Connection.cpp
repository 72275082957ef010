#include "sql/Connection.h"

#include "base/Hex.h"
#include "sql/Statement.h"

#include <sqlite3.h>

namespace velquine::sql {

namespace {

bool isUnreserved(unsigned char c, const char* alsoEncoded)
{
    if (c <= 0x20 || c >= 0x7f || c == '%')
        return false;
    for (const char* p = alsoEncoded; *p; ++p) {
        if (c == static_cast<unsigned char>(*p))
            return false;
    }
    return true;
}

std::string percentEncoded(const std::string& text, const char* alsoEncoded)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (isUnreserved(c, alsoEncoded)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            appendHexByte(out, c, HexCase::upper);
        }
    }
    return out;
}

// A "file:" URI for the text with the parameters' items appended after the text's own query items.
// A text that is not yet a "file:" URI is a path: it is percent-encoded so that none of its
// characters can end the path early, and every item name and value is encoded so that no value
// can add a further parameter.
std::string fileURI(const std::string& text, const std::vector<URIQueryParameter>& parameters)
{
    std::string base;
    std::string ownQuery;
    std::string fragment;
    if (text.rfind("file:", 0) == 0) {
        std::string::size_type hash = text.find('#');
        if (hash != std::string::npos)
            fragment = text.substr(hash);
        std::string beforeFragment = text.substr(0, hash);
        std::string::size_type question = beforeFragment.find('?');
        base = beforeFragment.substr(0, question);
        if (question != std::string::npos)
            ownQuery = beforeFragment.substr(question + 1);
    } else {
        // "//" at the start of a path would read as an authority; an empty authority keeps it a path.
        base = text.rfind("//", 0) == 0 ? "file://" : "file:";
        base += percentEncoded(text, "?#");
    }

    std::string query;
    auto append = [&query](const std::string& item) {
        if (item.empty())
            return;
        if (!query.empty())
            query += '&';
        query += item;
    };
    std::string::size_type start = 0;
    while (start <= ownQuery.size() && !ownQuery.empty()) {
        std::string::size_type amp = ownQuery.find('&', start);
        append(ownQuery.substr(start, amp == std::string::npos ? std::string::npos : amp - start));
        if (amp == std::string::npos)
            break;
        start = amp + 1;
    }
    for (const auto& parameter : parameters) {
        URLQueryItem item = parameter.queryItem();
        append(percentEncoded(item.name, "&=#?+") + "=" + percentEncoded(item.value, "&=#?+"));
    }
    return base + (query.empty() ? "" : "?" + query) + fragment;
}

} // namespace

std::string Connection::Location::description() const
{
    switch (kind_) {
    case Kind::inMemory: return ":memory:";
    case Kind::temporary: return "";
    case Kind::uri: return parameters_.empty() ? text_ : fileURI(text_, parameters_);
    }
    return {};
}

Connection::Connection(Token) {}

std::shared_ptr<Connection> Connection::open(const std::string& filename, bool readonly)
{
    return open(Location::uri(filename), readonly);
}

std::shared_ptr<Connection> Connection::open(const Location& location, bool readonly)
{
    auto connection = std::make_shared<Connection>(Token{});
    std::string filename = location.description();
    int flags = readonly ? (SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX)
                         : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX);
    int code = sqlite3_open_v2(filename.c_str(), &connection->handle_, flags, nullptr);
    if (!connection->handle_)
        throw Result(Result::Kind::error, sqlite3_errstr(code), code);
    if (auto error = Result::make(code, *connection))
        throw *error; // releasing the half-open connection closes the handle
    return connection;
}

Connection::~Connection()
{
    // Every other statement and every backup holds its connection, so none is left open here.
    runStatements_.clear();
    sqlite3_close_v2(handle_);
}

void Connection::check(int code) const
{
    if (auto error = Result::make(code, *this))
        throw *error;
}

bool Connection::readonly() const
{
    return sqlite3_db_readonly(handle_, "main") == 1;
}

std::int64_t Connection::lastInsertRowid() const
{
    return sqlite3_last_insert_rowid(handle_);
}

std::int64_t Connection::changes() const
{
    return sqlite3_changes64(handle_);
}

std::int64_t Connection::totalChanges() const
{
    return sqlite3_total_changes64(handle_);
}

void Connection::setUsesExtendedErrorCodes(bool on)
{
    usesExtendedErrorCodes_ = on;
    sqlite3_extended_result_codes(handle_, on ? 1 : 0);
}

void Connection::execute(const std::string& sql)
{
    sync([&] { check(sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr)); });
}

void Connection::interrupt()
{
    sqlite3_interrupt(handle_);
}

std::string Connection::description() const
{
    const char* name = sqlite3_db_filename(handle_, "main");
    return name ? name : "";
}

std::shared_ptr<Statement> Connection::prepare(const std::string& sql)
{
    return std::make_shared<Statement>(shared_from_this(), sql);
}

std::shared_ptr<Statement> Connection::prepare(const std::string& sql, const std::vector<OptBinding>& values)
{
    auto statement = prepare(sql);
    statement->bind(values);
    return statement;
}

std::shared_ptr<Statement> Connection::prepare(const std::string& sql, const std::map<std::string, OptBinding>& values)
{
    auto statement = prepare(sql);
    statement->bind(values);
    return statement;
}

std::shared_ptr<Statement> Connection::run(const std::string& sql, const std::vector<OptBinding>& values)
{
    auto statement = prepare(sql);
    statement->run(values);
    return statement;
}

std::shared_ptr<Statement> Connection::run(const std::string& sql, const std::map<std::string, OptBinding>& values)
{
    auto statement = prepare(sql);
    statement->run(values);
    return statement;
}

OptBinding Connection::scalar(const std::string& sql, const std::vector<OptBinding>& values)
{
    return prepare(sql)->scalar(values);
}

OptBinding Connection::scalar(const std::string& sql, const std::map<std::string, OptBinding>& values)
{
    return prepare(sql)->scalar(values);
}

std::shared_ptr<Statement> Connection::vacuum()
{
    return run("VACUUM");
}

} // namespace velquine::sql
