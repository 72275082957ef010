#pragma once

// One open SQLite database with its serial queue and the callbacks it has handed to the engine.

#include "sql/ConnectionQueue.h"
#include "sql/Errors.h"
#include "sql/Query.h"
#include "sql/Row.h"
#include "sql/SQLiteVersion.h"
#include "sql/URIQueryParameter.h"
#include "sql/Value.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;

namespace velquine::sql {

class Statement;
class Backup;
struct BackupDatabaseName;

class Connection : public std::enable_shared_from_this<Connection> {
    struct Token {};

public:
    // Which database to open.
    class Location {
    public:
        enum class Kind { inMemory, temporary, uri };

        static Location inMemory() { return Location(Kind::inMemory, {}, {}); }
        static Location temporary() { return Location(Kind::temporary, {}, {}); }
        static Location uri(std::string text, std::vector<URIQueryParameter> parameters = {})
        {
            return Location(Kind::uri, std::move(text), std::move(parameters));
        }

        Kind kind() const noexcept { return kind_; }
        const std::string& text() const noexcept { return text_; }
        const std::vector<URIQueryParameter>& parameters() const noexcept { return parameters_; }

        // The file name handed to the engine: ":memory:", "" (a private temporary database), the
        // text itself when there are no parameters, else a "file:" URI with the parameters appended.
        std::string description() const;

    private:
        Location(Kind kind, std::string text, std::vector<URIQueryParameter> parameters)
            : kind_(kind), text_(std::move(text)), parameters_(std::move(parameters)) {}

        Kind kind_;
        std::string text_;
        std::vector<URIQueryParameter> parameters_;
    };

    // The kind of row change an update hook reports.
    enum class Operation { insert, update, delete_ };
    enum class TransactionMode { deferred, immediate, exclusive };
    // The answer of a collation comparator.
    enum class Ordering { ascending = -1, same = 0, descending = 1 };

    using Function = std::function<OptBinding(const std::vector<OptBinding>&)>;
    using Collation = std::function<Ordering(const std::string&, const std::string&)>;
    using BusyHandler = std::function<bool(int attempts)>;
    using TraceCallback = std::function<void(const std::string& sql)>;
    using UpdateHook = std::function<void(Operation, const std::string& database, const std::string& table,
                                          std::int64_t rowid)>;
    using CommitHook = std::function<void()>;
    using RollbackHook = std::function<void()>;

    // Opens the database; throws Result when the engine refuses. A read-write open creates a missing
    // file; a file name beginning with "file:" is taken as a URI in both modes.
    static std::shared_ptr<Connection> open(const Location& location, bool readonly = false);
    static std::shared_ptr<Connection> open(const std::string& filename, bool readonly = false);

    explicit Connection(Token);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const noexcept { return handle_; }

    // True when the engine reports the main database read-only.
    bool readonly() const;
    std::int64_t lastInsertRowid() const;
    std::int64_t changes() const;
    std::int64_t totalChanges() const;

    bool usesExtendedErrorCodes() const noexcept { return usesExtendedErrorCodes_; }
    void setUsesExtendedErrorCodes(bool on);

    // Runs SQL text that may hold several statements, in order, on the queue. Stops at the first
    // failing statement (those before it have run) and throws its Result.
    void execute(const std::string& sql);

    // Asks a statement running on the queue to stop; callable from any thread.
    void interrupt();

    // The file name of the main database as the engine reports it; empty for in-memory and
    // temporary databases.
    std::string description() const;

    // The queue every step, script, transaction and run of this connection goes through.
    ConnectionQueue& queue() noexcept { return queue_; }
    template <class F> std::invoke_result_t<F&> sync(F&& work) { return queue_.sync(std::forward<F>(work)); }

    // ---- statements -----------------------------------------------------------------------------

    // Compiles the first statement of the text; binds nothing.
    std::shared_ptr<Statement> prepare(const std::string& sql);
    // Compiles and binds the values one by one (only when at least one value is given).
    template <class First, class... Rest>
        requires(std::constructible_from<OptBinding, First> && (std::constructible_from<OptBinding, Rest> && ...))
    std::shared_ptr<Statement> prepare(const std::string& sql, First&& first, Rest&&... rest)
    {
        return prepare(sql, std::vector<OptBinding>{OptBinding(std::forward<First>(first)),
                                                    OptBinding(std::forward<Rest>(rest))...});
    }
    // Compiles and always binds the list (an empty list needs a statement without parameters).
    std::shared_ptr<Statement> prepare(const std::string& sql, const std::vector<OptBinding>& values);
    std::shared_ptr<Statement> prepare(const std::string& sql, const std::map<std::string, OptBinding>& values);

    // Compiles, binds and runs to completion; returns the statement.
    std::shared_ptr<Statement> run(const std::string& sql, const std::vector<OptBinding>& values = {});
    std::shared_ptr<Statement> run(const std::string& sql, std::initializer_list<OptBinding> values)
    {
        return run(sql, std::vector<OptBinding>(values));
    }
    std::shared_ptr<Statement> run(const std::string& sql, const std::map<std::string, OptBinding>& values);
    // Compiles, binds and returns the first column of the first row (absent for NULL or no row).
    OptBinding scalar(const std::string& sql, const std::vector<OptBinding>& values = {});
    OptBinding scalar(const std::string& sql, std::initializer_list<OptBinding> values)
    {
        return scalar(sql, std::vector<OptBinding>(values));
    }
    OptBinding scalar(const std::string& sql, const std::map<std::string, OptBinding>& values);
    std::shared_ptr<Statement> vacuum();

    // ---- queries and statement values -----------------------------------------------------------

    // The query's result columns by name: each select column's template, and for a "*" the names the
    // engine reports for the tables behind it (qualified with the table's name when the query has
    // joins, or when the star itself is qualified). Throws QueryError noSuchTable for a qualified star
    // that names no table of the query, or the Result of a table the engine cannot read.
    ColumnNameMap columnNamesForQuery(const AnyQuery& query);
    template <QueryValue Q> ColumnNameMap columnNamesForQuery(const Q& query)
    {
        return columnNamesForQuery(toAnyQuery(query));
    }

    // Prepares the query's SELECT; the rows are read lazily, by stepping, as they are asked for.
    template <QueryValue Q> RowIterator prepare(const Q& query) { return prepareRowIterator(toAnyQuery(query)); }
    RowIterator prepareRowIterator(const AnyQuery& query);
    template <QueryValue Q> RowIterator prepareRowIterator(const Q& query)
    {
        return prepareRowIterator(toAnyQuery(query));
    }
    // Prepares SQL text with its values; the rows are keyed by the statement's own column names.
    RowIterator prepareRowIterator(const std::string& sql, const std::vector<OptBinding>& bindings);

    // The first row of the query (LIMIT 1, keeping the query's offset), or none.
    std::optional<Row> firstRow(const AnyQuery& query);
    template <QueryValue Q> std::optional<Row> firstRow(const Q& query) { return firstRow(toAnyQuery(query)); }

    // The single value of a scalar query or select. The optional forms give no value for NULL, no row
    // or a value not of V's storage form; the plain forms throw QueryError unexpectedNullValue then.
    template <SQLValue V> std::optional<V> scalar(const ScalarQuery<std::optional<V>>& query)
    {
        return valueFromBinding<V>(scalarValue(query.expression()));
    }
    template <SQLValue V> V scalar(const ScalarQuery<V>& query)
    {
        return required<V>(scalarValue(query.expression()), resultColumnName(query.clauses));
    }
    template <SQLValue V> std::optional<V> scalar(const Select<std::optional<V>>& select)
    {
        return valueFromBinding<V>(scalarValue(select.expression()));
    }
    template <SQLValue V> V scalar(const Select<V>& select)
    {
        return required<V>(scalarValue(select.expression()), select.templ);
    }

    // Runs the statement as one unit on the queue. An insert gives the new row's id; an update or a
    // delete gives the number of rows it changed.
    std::int64_t run(const Insert& insert);
    std::int64_t run(const Update& update);
    std::int64_t run(const Delete& statement);

    // ---- attach, pragmas, library version -------------------------------------------------------

    void attach(const Location& location, const std::string& schemaName);
    void detach(const std::string& schemaName);
    // Absent when the pragma cannot be read.
    std::optional<std::int32_t> userVersion();
    // An absent value writes 0. Failures are not reported.
    void setUserVersion(std::optional<std::int32_t> version);
    bool foreignKeys() { return getBoolPragma("foreign_keys"); }
    void setForeignKeys(bool on) { setBoolPragma("foreign_keys", on); }
    bool deferForeignKeys() { return getBoolPragma("defer_foreign_keys"); }
    void setDeferForeignKeys(bool on) { setBoolPragma("defer_foreign_keys", on); }
    // True only when the pragma reads as the integer 1; an error reads as false.
    bool getBoolPragma(const std::string& key);
    // Failures are not reported.
    void setBoolPragma(const std::string& key, bool on);
    // The zero version when the engine's answer cannot be read.
    SQLiteVersion sqliteVersion();

    // ---- custom functions, aggregates, collations -----------------------------------------------

    // Registers a scalar function; an absent argument count accepts any number of arguments. A
    // registration the engine refuses throws its Result. An exception thrown by the callback fails
    // the SQL statement that called it, with the exception's text as the message.
    void createFunction(const std::string& name, std::optional<unsigned> argumentCount, bool deterministic,
                        Function function);

    // Registers an aggregate. Each group starts with a copy of `initial` (for a std::shared_ptr
    // state: a reference to the one initial object), each row replaces the state by
    // reduce(state, arguments), and the group's value is result(state). A group without rows gives
    // result(initial).
    template <class State>
    void createAggregation(const std::string& name, std::optional<unsigned> argumentCount, bool deterministic,
                           State initial,
                           std::function<State(State, const std::vector<OptBinding>&)> reduce,
                           std::function<OptBinding(State)> result)
    {
        registerAggregate(name, argumentCount, deterministic,
                          std::make_unique<TypedAggregate<State>>(std::move(initial), std::move(reduce),
                                                                  std::move(result)));
    }

    // Registers a collation; throws the Result of a refused registration.
    void createCollation(const std::string& name, Collation comparator);

    // ---- transactions and savepoints ------------------------------------------------------------

    // Runs the block inside a transaction on the queue: begin, block, commit; a block that throws or
    // a failing commit rolls back and throws the first error (or the rollback's error when the
    // rollback fails too). A failing begin throws and the block does not run.
    void transaction(TransactionMode mode, const std::function<void()>& block);
    void transaction(const std::function<void()>& block) { transaction(TransactionMode::deferred, block); }
    // The same inside the savepoint of that name; savepoints nest.
    void savepoint(const std::string& name, const std::function<void()>& block);

    // ---- busy handling, tracing and hooks -------------------------------------------------------

    double busyTimeout() const noexcept { return busyTimeout_; }
    // Seconds; a value that is not a number or negative counts as 0, and the milliseconds handed to
    // the engine are limited to the largest signed 32-bit number.
    void setBusyTimeout(double seconds);
    // Each of these replaces the callback of its kind; an empty function removes it.
    void busyHandler(BusyHandler handler);
    void trace(TraceCallback callback);
    void updateHook(UpdateHook callback);
    void commitHook(CommitHook callback);
    void rollbackHook(RollbackHook callback);

    // ---- online backup ----------------------------------------------------------------------------

    // Starts copying this connection's database `name` into the target's database `targetName`.
    std::shared_ptr<Backup> backup(const BackupDatabaseName& name, const std::shared_ptr<Connection>& target,
                                   const BackupDatabaseName& targetName);

    // ---- engine callbacks (internal) ------------------------------------------------------------

    // Type-erased holders of the callbacks whose addresses the engine keeps.
    struct CallbackBox {
        virtual ~CallbackBox() = default;
    };
    struct AggregateBox : CallbackBox {
        virtual void* newState() = 0;
        virtual void step(void* state, const std::vector<OptBinding>& arguments) = 0;
        virtual OptBinding result(void* state) = 0;
        virtual void deleteState(void* state) noexcept = 0;
    };

private:
    OptBinding scalarValue(const Expression<void>& expression);
    static std::string resultColumnName(const QueryClauses& clauses);
    template <SQLValue V> static V required(const OptBinding& value, const std::string& name)
    {
        std::optional<V> typed = valueFromBinding<V>(value);
        if (!typed)
            throw QueryError::unexpectedNullValue(name);
        return std::move(*typed);
    }
    std::int64_t runChanging(const StatementText& statement, bool insert);
    // The compiled statement of an insert, update or delete template, kept for the next run of the
    // same template; only used on the queue.
    Statement& cachedStatement(const std::string& sql);
    void expandStar(const AnyQuery& query, bool qualify, ColumnNameMap& map, int& counter);

    template <class State> struct TypedAggregate final : AggregateBox {
        TypedAggregate(State initial, std::function<State(State, const std::vector<OptBinding>&)> reduce,
                       std::function<OptBinding(State)> result)
            : initial(std::move(initial)), reduce(std::move(reduce)), resultOf(std::move(result)) {}
        void* newState() override { return new State(initial); }
        void step(void* state, const std::vector<OptBinding>& arguments) override
        {
            auto* cell = static_cast<State*>(state);
            *cell = reduce(*cell, arguments);
        }
        OptBinding result(void* state) override { return resultOf(*static_cast<State*>(state)); }
        void deleteState(void* state) noexcept override { delete static_cast<State*>(state); }

        State initial;
        std::function<State(State, const std::vector<OptBinding>&)> reduce;
        std::function<OptBinding(State)> resultOf;
    };

    void registerAggregate(const std::string& name, std::optional<unsigned> argumentCount, bool deterministic,
                           std::unique_ptr<AggregateBox> box);
    int engineArgumentCount(std::optional<unsigned> argumentCount) const;
    void storeFunction(const std::string& name, int argumentCount, std::unique_ptr<CallbackBox> box);
    void runTransaction(const std::string& begin, const std::string& commit, const std::string& rollback,
                        const std::function<void()>& block, const std::string& afterRollback = {});
    // Throws the Result of a failing engine code, reading the message from this connection.
    void check(int code) const;

    sqlite3* handle_ = nullptr;
    bool usesExtendedErrorCodes_ = false;
    double busyTimeout_ = 0;
    std::unique_ptr<BusyHandler> busyHandler_;
    std::unique_ptr<TraceCallback> trace_;
    std::unique_ptr<UpdateHook> updateHook_;
    std::unique_ptr<CommitHook> commitHook_;
    std::unique_ptr<RollbackHook> rollbackHook_;
    std::map<std::string, std::map<int, std::unique_ptr<CallbackBox>>> functions_;
    std::map<std::string, std::unique_ptr<Collation>> collations_;
    // Statements of runs, by template. They refer to this connection without keeping it alive and
    // are finalized before it closes. Bounded: a full cache is emptied before a new entry.
    std::unordered_map<std::string, std::unique_ptr<Statement>> runStatements_;
    ConnectionQueue queue_;
};

std::string rawValue(Connection::TransactionMode mode);
std::optional<Connection::TransactionMode> transactionModeFromRawValue(const std::string& raw);

} // namespace velquine::sql
