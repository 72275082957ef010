// Custom SQL functions, aggregates and collations. Every entry the engine calls catches what the
// user's callback throws and reports it to the engine as the error of the running statement.

#include "sql/Connection.h"

#include <sqlite3.h>

#include <climits>
#include <new>

namespace velquine::sql {

namespace {

struct FunctionBox final : Connection::CallbackBox {
    explicit FunctionBox(Connection::Function function) : function(std::move(function)) {}
    Connection::Function function;
};

std::vector<OptBinding> argumentsOf(int count, sqlite3_value** values)
{
    std::vector<OptBinding> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        sqlite3_value* value = values[i];
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            arguments.emplace_back(Binding(static_cast<std::int64_t>(sqlite3_value_int64(value))));
            break;
        case SQLITE_FLOAT:
            arguments.emplace_back(Binding(sqlite3_value_double(value)));
            break;
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            int length = sqlite3_value_bytes(value);
            if (!text)
                throw std::bad_alloc();
            arguments.emplace_back(Binding(std::string(text, static_cast<std::size_t>(length))));
            break;
        }
        case SQLITE_BLOB: {
            const void* bytes = sqlite3_value_blob(value);
            int length = sqlite3_value_bytes(value);
            arguments.emplace_back(Binding(bytes && length > 0 ? Blob(bytes, static_cast<std::size_t>(length)) : Blob()));
            break;
        }
        default:
            arguments.emplace_back(std::nullopt);
            break;
        }
    }
    return arguments;
}

void setResult(sqlite3_context* context, const OptBinding& result)
{
    if (!result) {
        sqlite3_result_null(context);
        return;
    }
    std::visit(
        [context](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, Blob>) {
                if (v.empty())
                    sqlite3_result_zeroblob(context, 0);
                else
                    sqlite3_result_blob64(context, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
            } else if constexpr (std::is_same_v<V, double>) {
                sqlite3_result_double(context, v);
            } else if constexpr (std::is_same_v<V, std::int64_t>) {
                sqlite3_result_int64(context, v);
            } else {
                sqlite3_result_text64(context, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
            }
        },
        *result);
}

void setError(sqlite3_context* context)
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(context);
    } catch (const std::exception& error) {
        sqlite3_result_error(context, error.what(), -1);
    } catch (...) {
        sqlite3_result_error(context, "unknown error in SQL function", -1);
    }
}

void functionEntry(sqlite3_context* context, int count, sqlite3_value** values)
{
    auto* box = static_cast<FunctionBox*>(sqlite3_user_data(context));
    try {
        setResult(context, box->function(argumentsOf(count, values)));
    } catch (...) {
        setError(context);
    }
}

void aggregateStepEntry(sqlite3_context* context, int count, sqlite3_value** values)
{
    auto* box = static_cast<Connection::AggregateBox*>(sqlite3_user_data(context));
    auto* slot = static_cast<void**>(sqlite3_aggregate_context(context, sizeof(void*)));
    if (!slot) {
        sqlite3_result_error_nomem(context);
        return;
    }
    try {
        std::vector<OptBinding> arguments = argumentsOf(count, values);
        if (!*slot)
            *slot = box->newState();
        box->step(*slot, arguments);
    } catch (...) {
        setError(context);
    }
}

void aggregateFinalEntry(sqlite3_context* context)
{
    auto* box = static_cast<Connection::AggregateBox*>(sqlite3_user_data(context));
    // Asking for no bytes gives no slot when no row of the group was stepped.
    auto* slot = static_cast<void**>(sqlite3_aggregate_context(context, 0));
    void* state = slot ? *slot : nullptr;
    if (slot)
        *slot = nullptr;
    try {
        if (!state)
            state = box->newState(); // a group without rows: the result of the initial state
        setResult(context, box->result(state));
    } catch (...) {
        setError(context);
    }
    if (state)
        box->deleteState(state);
}

int collationEntry(void* argument, int leftLength, const void* left, int rightLength, const void* right)
{
    auto& comparator = *static_cast<Connection::Collation*>(argument);
    try {
        std::string a = left && leftLength > 0 ? std::string(static_cast<const char*>(left), leftLength) : std::string();
        std::string b = right && rightLength > 0 ? std::string(static_cast<const char*>(right), rightLength)
                                                 : std::string();
        return static_cast<int>(comparator(a, b));
    } catch (...) {
        try {
            throw;
        } catch (const std::exception& error) {
            logError(std::string("collation callback failed: ") + error.what());
        } catch (...) {
            logError("collation callback failed");
        }
        return 0;
    }
}

std::string registryKey(const std::string& name)
{
    // The engine matches function names without regard to ASCII case.
    std::string key = name;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

} // namespace

int Connection::engineArgumentCount(std::optional<unsigned> argumentCount) const
{
    if (!argumentCount)
        return -1;
    // Counts beyond the signed 32-bit range are handed on as the largest one, which the engine refuses.
    return *argumentCount > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(*argumentCount);
}

void Connection::storeFunction(const std::string& name, int argumentCount, std::unique_ptr<CallbackBox> box)
{
    functions_[registryKey(name)][argumentCount] = std::move(box);
}

void Connection::createFunction(const std::string& name, std::optional<unsigned> argumentCount, bool deterministic,
                                Function function)
{
    sync([&] {
        auto box = std::make_unique<FunctionBox>(std::move(function));
        int count = engineArgumentCount(argumentCount);
        int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
        check(sqlite3_create_function_v2(handle_, name.c_str(), count, flags, box.get(), functionEntry, nullptr,
                                         nullptr, nullptr));
        storeFunction(name, count, std::move(box));
    });
}

void Connection::registerAggregate(const std::string& name, std::optional<unsigned> argumentCount, bool deterministic,
                                   std::unique_ptr<AggregateBox> box)
{
    sync([&] {
        int count = engineArgumentCount(argumentCount);
        int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
        check(sqlite3_create_function_v2(handle_, name.c_str(), count, flags, box.get(), nullptr, aggregateStepEntry,
                                         aggregateFinalEntry, nullptr));
        storeFunction(name, count, std::move(box));
    });
}

void Connection::createCollation(const std::string& name, Collation comparator)
{
    sync([&] {
        auto box = std::make_unique<Collation>(std::move(comparator));
        check(sqlite3_create_collation_v2(handle_, name.c_str(), SQLITE_UTF8, box.get(), collationEntry, nullptr));
        collations_[registryKey(name)] = std::move(box);
    });
}

} // namespace velquine::sql
