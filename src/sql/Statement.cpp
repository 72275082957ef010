#include "sql/Statement.h"

#include "sql/Connection.h"
#include "sql/Errors.h"

#include <sqlite3.h>

#include <type_traits>
#include <variant>

namespace velquine::sql {

namespace {

std::string quoteIdentifier(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace

Statement::Statement(std::shared_ptr<Connection> connection, const std::string& sql)
    : connection_(std::move(connection))
{
    // Compiled under the queue so that the engine's message still belongs to this failure.
    connection_->sync([&] {
        int code = sqlite3_prepare_v2(connection_->handle(), sql.c_str(), static_cast<int>(sql.size()) + 1,
                                      &handle_, nullptr);
        if (auto error = Result::make(code, *connection_))
            throw *error;
    });
}

Statement::~Statement()
{
    sqlite3_finalize(handle_);
}

void Statement::fail(int code) const
{
    if (auto error = Result::make(code, *connection_))
        throw *error;
    throw Result(Result::Kind::error, "unknown error", code);
}

Statement& Statement::bind(const std::vector<OptBinding>& values)
{
    if (values.empty())
        return *this;
    int count = sqlite3_bind_parameter_count(handle_);
    if (static_cast<std::size_t>(count) != values.size())
        fatalError(std::to_string(count) + " values expected, " + std::to_string(values.size()) + " passed");
    // On the queue as a whole, so that a failing value's message is still the engine's current one.
    connection_->sync([&] {
        restart();
        sqlite3_clear_bindings(handle_);
        for (std::size_t k = 0; k < values.size(); ++k)
            bindValue(static_cast<int>(k + 1), values[k]);
    });
    return *this;
}

Statement& Statement::bind(const std::map<std::string, OptBinding>& values)
{
    connection_->sync([&] {
        restart();
        sqlite3_clear_bindings(handle_);
        for (const auto& [name, value] : values) {
            int index = sqlite3_bind_parameter_index(handle_, name.c_str());
            if (index < 1)
                fatalError("parameter not found: " + name);
            bindValue(index, value);
        }
    });
    return *this;
}

void Statement::bindValue(int index, const OptBinding& value)
{
    int code = SQLITE_OK;
    if (!value) {
        code = sqlite3_bind_null(handle_, index);
    } else {
        code = std::visit(
            [&](const auto& v) -> int {
                using V = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<V, Blob>) {
                    if (v.empty())
                        return sqlite3_bind_zeroblob(handle_, index, 0);
                    return sqlite3_bind_blob64(handle_, index, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
                } else if constexpr (std::is_same_v<V, double>) {
                    return sqlite3_bind_double(handle_, index, v);
                } else if constexpr (std::is_same_v<V, std::int64_t>) {
                    return sqlite3_bind_int64(handle_, index, v);
                } else {
                    return sqlite3_bind_text64(handle_, index, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
                }
            },
            *value);
    }
    if (code != SQLITE_OK)
        fail(code);
}

Statement& Statement::run()
{
    restart();
    while (step()) {
    }
    return *this;
}

Statement& Statement::run(const std::vector<OptBinding>& values)
{
    bind(values);
    return run();
}

Statement& Statement::run(const std::map<std::string, OptBinding>& values)
{
    bind(values);
    return run();
}

OptBinding Statement::scalar()
{
    restart();
    step();
    OptBinding value = columnCount() < 1 ? OptBinding() : row()[0];
    // Back to the start (bindings kept), so that the statement holds no read lock on the database.
    restart();
    return value;
}

OptBinding Statement::scalar(const std::vector<OptBinding>& values)
{
    bind(values);
    return scalar();
}

OptBinding Statement::scalar(const std::map<std::string, OptBinding>& values)
{
    bind(values);
    return scalar();
}

bool Statement::step()
{
    if (!handle_ || done_)
        return false; // no statement in the text (empty, or only a comment), or already at its end
    return connection_->sync([&] {
        int code = sqlite3_step(handle_);
        if (code == SQLITE_ROW)
            return true;
        if (Result::isSuccessCode(code)) {
            done_ = true;
            return false;
        }
        fail(code);
    });
}

void Statement::reset()
{
    restart();
    sqlite3_clear_bindings(handle_);
}

std::int64_t Statement::columnCount()
{
    if (!columnCount_)
        columnCount_ = sqlite3_column_count(handle_);
    return *columnCount_;
}

const std::vector<std::string>& Statement::columnNames()
{
    if (!columnNames_) {
        std::vector<std::string> names;
        std::int64_t count = columnCount();
        names.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const char* name = sqlite3_column_name(handle_, i);
            if (!name)
                throw std::bad_alloc();
            names.emplace_back(name);
        }
        columnNames_ = std::move(names);
    }
    return *columnNames_;
}

const Cursor& Statement::row()
{
    if (!row_)
        row_ = Cursor(handle_, columnCount());
    return *row_;
}

ColumnNameMap Statement::columnNameMap()
{
    ColumnNameMap map;
    const auto& names = columnNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        map[quoteIdentifier(names[i])] = static_cast<int>(i);
    return map;
}

std::string Statement::description() const
{
    const char* sql = handle_ ? sqlite3_sql(handle_) : nullptr;
    return sql ? sql : "";
}

namespace {

// Holds the engine's connection mutex: the engine calls made meanwhile re-enter it cheaply, and the
// value objects of the current row may be read safely.
class EngineLock {
public:
    explicit EngineLock(sqlite3* handle) : mutex_(sqlite3_db_mutex(handle)) { sqlite3_mutex_enter(mutex_); }
    ~EngineLock() { sqlite3_mutex_leave(mutex_); }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

private:
    sqlite3_mutex* mutex_;
};

} // namespace

void Statement::readRow(std::vector<OptBinding>& values)
{
    EngineLock lock(connection_->handle());
    int count = static_cast<int>(columnCount());
    values.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        sqlite3_value* value = sqlite3_column_value(handle_, i);
        OptBinding& slot = values[static_cast<std::size_t>(i)];
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            slot.emplace(std::in_place_type<std::int64_t>, sqlite3_value_int64(value));
            break;
        case SQLITE_FLOAT:
            slot.emplace(std::in_place_type<double>, sqlite3_value_double(value));
            break;
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            if (!text)
                throw std::bad_alloc();
            auto length = static_cast<std::size_t>(sqlite3_value_bytes(value));
            if (slot && std::holds_alternative<std::string>(*slot))
                std::get<std::string>(*slot).assign(text, length); // keeps the earlier row's buffer
            else
                slot.emplace(std::in_place_type<std::string>, text, length);
            break;
        }
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_value_blob(value));
            int length = sqlite3_value_bytes(value);
            if (!slot || !std::holds_alternative<Blob>(*slot))
                slot.emplace(std::in_place_type<Blob>);
            auto& blob = std::get<Blob>(*slot).bytes;
            if (bytes && length > 0)
                blob.assign(bytes, bytes + length);
            else
                blob.clear();
            break;
        }
        case SQLITE_NULL:
            slot.reset();
            break;
        default:
            slot = row()[i]; // the engine defines no other type; the cursor reports it
        }
    }
}


bool Statement::nextInto(std::vector<OptBinding>& values)
{
    if (!handle_ || done_)
        return false;
    // The step and the read of its row as one unit, under one hold of the engine's mutex.
    return connection_->sync([&] {
        EngineLock lock(connection_->handle());
        int code = sqlite3_step(handle_);
        if (code == SQLITE_ROW) {
            readRow(values);
            return true;
        }
        if (Result::isSuccessCode(code)) {
            done_ = true;
            return false;
        }
        fail(code);
    });
}

std::optional<std::vector<OptBinding>> Statement::failableNext()
{
    std::vector<OptBinding> values;
    if (!nextInto(values))
        return std::nullopt;
    return values;
}

void logRowError() noexcept
{
    try {
        throw;
    } catch (const std::exception& error) {
        logError(std::string("reading rows ended by an error: ") + error.what());
    } catch (...) {
        logError("reading rows ended by an unknown error");
    }
}

std::optional<std::vector<OptBinding>> Statement::next() noexcept
{
    try {
        return failableNext();
    } catch (...) {
        logRowError();
    }
    return std::nullopt;
}

void Statement::restart()
{
    sqlite3_reset(handle_);
    done_ = false;
}

Statement::Iterator Statement::begin()
{
    restart();
    return Iterator(this);
}

} // namespace velquine::sql
