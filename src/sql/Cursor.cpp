#include "sql/Cursor.h"

#include "sql/Errors.h"

#include <sqlite3.h>

#include <new>

namespace velquine::sql {

namespace {

std::string readText(sqlite3_stmt* handle, int i)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(handle, i));
    int length = sqlite3_column_bytes(handle, i);
    if (!text) {
        // The engine answers a TEXT column with a null pointer only when it ran out of memory.
        if (sqlite3_errcode(sqlite3_db_handle(handle)) == SQLITE_NOMEM)
            throw std::bad_alloc();
        return {};
    }
    return std::string(text, static_cast<std::size_t>(length));
}

Blob readBlob(sqlite3_stmt* handle, int i)
{
    const void* bytes = sqlite3_column_blob(handle, i);
    int length = sqlite3_column_bytes(handle, i);
    if (!bytes || length <= 0)
        return Blob();
    return Blob(bytes, static_cast<std::size_t>(length));
}

} // namespace

OptBinding Cursor::operator[](int i) const
{
    int type = sqlite3_column_type(handle_, i);
    switch (type) {
    case SQLITE_INTEGER: return Binding(static_cast<std::int64_t>(sqlite3_column_int64(handle_, i)));
    case SQLITE_FLOAT: return Binding(sqlite3_column_double(handle_, i));
    case SQLITE_TEXT: return Binding(readText(handle_, i));
    case SQLITE_BLOB: return Binding(readBlob(handle_, i));
    case SQLITE_NULL: return std::nullopt;
    default: fatalError("unsupported column type: " + std::to_string(type));
    }
}

double Cursor::getDouble(int i) const
{
    return sqlite3_column_double(handle_, i);
}

std::int64_t Cursor::getInt64(int i) const
{
    return sqlite3_column_int64(handle_, i);
}

int Cursor::getInt(int i) const
{
    return ValueTraits<int>::fromDatatypeValue(getInt64(i));
}

bool Cursor::getBool(int i) const
{
    return sqlite3_column_int64(handle_, i) != 0;
}

std::string Cursor::getString(int i) const
{
    return readText(handle_, i);
}

Blob Cursor::getBlob(int i) const
{
    return readBlob(handle_, i);
}

} // namespace velquine::sql
