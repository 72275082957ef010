// Inserting 100,000 rows in one transaction and reading them back, through the typed SQL layer and
// through the raw SQLite interface, with the same prepared statements.

#include "sql/Connection.h"
#include "sql/Operators.h"
#include "sql/Query.h"
#include "sql/Row.h"
#include "sql/Setter.h"
#include "sql/Statement.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

using namespace velquine::sql;

namespace {

constexpr int rowCount = 100000;

const Table items("items");
const Expression<std::int64_t> id("id");
const Expression<std::string> title("title");
const Expression<double> weight("weight");
const Expression<std::optional<std::int64_t>> parent("parent");

std::shared_ptr<Connection> freshDatabase()
{
    auto db = Connection::open(Connection::Location::temporary());
    db->execute("CREATE TABLE items (id INTEGER PRIMARY KEY, title TEXT NOT NULL, weight REAL NOT NULL, parent INTEGER)");
    return db;
}

std::string titleOf(int i)
{
    return "node title number " + std::to_string(i);
}

std::optional<std::int64_t> parentOf(int i)
{
    return i % 7 == 0 ? std::nullopt : std::optional<std::int64_t>(i / 2);
}

// The INSERT the typed layer renders for one row; both sides prepare this text.
Insert insertFor(int i)
{
    return items.insert(set(title, titleOf(i)), set(weight, i * 0.5), set(parent, parentOf(i)));
}

void insertTyped(Connection& db)
{
    db.transaction([&] {
        auto statement = db.prepare(insertFor(0).templ);
        for (int i = 0; i < rowCount; ++i)
            statement->run({Binding(titleOf(i)), Binding(i * 0.5), toBinding(parentOf(i))});
    });
}

void insertRaw(Connection& db)
{
    sqlite3* handle = db.handle();
    sqlite3_exec(handle, "BEGIN DEFERRED TRANSACTION", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    std::string sql = insertFor(0).templ;
    sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr);
    for (int i = 0; i < rowCount; ++i) {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        std::string text = titleOf(i);
        sqlite3_bind_text64(statement, 1, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        sqlite3_bind_double(statement, 2, i * 0.5);
        if (auto p = parentOf(i))
            sqlite3_bind_int64(statement, 3, *p);
        else
            sqlite3_bind_null(statement, 3);
        if (sqlite3_step(statement) != SQLITE_DONE)
            break;
    }
    sqlite3_finalize(statement);
    sqlite3_exec(handle, "COMMIT TRANSACTION", nullptr, nullptr, nullptr);
}

// Times one insertion of every row into a fresh database; making the database, checking that every row arrived
// and closing it stay out of the timing.
template <typename Insert>
void measureInserts(benchmark::State& state, const Insert& insert)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto db = freshDatabase();
        state.ResumeTiming();
        insert(*db);
        state.PauseTiming();
        if (db->scalar(items.count()) != rowCount)
            state.SkipWithError("rows missing");
        db.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rowCount);
}

void BM_InsertTyped(benchmark::State& state)
{
    measureInserts(state, insertTyped);
}
BENCHMARK(BM_InsertTyped)->Unit(benchmark::kMillisecond);

// For comparison: every row's INSERT built from setters and run as a statement value.
void BM_InsertTypedBuiltPerRow(benchmark::State& state)
{
    measureInserts(state, [](Connection& db) {
        db.transaction([&db] {
            for (int i = 0; i < rowCount; ++i)
                db.run(insertFor(i));
        });
    });
}
BENCHMARK(BM_InsertTypedBuiltPerRow)->Unit(benchmark::kMillisecond);

void BM_InsertRaw(benchmark::State& state)
{
    measureInserts(state, insertRaw);
}
BENCHMARK(BM_InsertRaw)->Unit(benchmark::kMillisecond);

std::shared_ptr<Connection> filledDatabase()
{
    static std::shared_ptr<Connection> db = [] {
        auto filled = freshDatabase();
        insertRaw(*filled);
        return filled;
    }();
    return db;
}

void BM_ReadTyped(benchmark::State& state)
{
    auto db = filledDatabase();
    for (auto _ : state) {
        std::int64_t rows = 0;
        double sum = 0;
        std::size_t characters = 0;
        for (const Row& row : db->prepare(items)) {
            sum += row.get(weight);
            characters += row.get(title).size();
            if (row.get(parent))
                ++rows;
            benchmark::DoNotOptimize(row.get(id));
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(characters);
        benchmark::DoNotOptimize(rows);
    }
    state.SetItemsProcessed(state.iterations() * rowCount);
}
BENCHMARK(BM_ReadTyped)->Unit(benchmark::kMillisecond);

void BM_ReadRaw(benchmark::State& state)
{
    auto db = filledDatabase();
    std::string sql = items.expression().templ;
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db->handle(), sql.c_str(), -1, &statement, nullptr);
        std::int64_t rows = 0;
        double sum = 0;
        std::size_t characters = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_int64(statement, 0));
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
            std::string copy(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, 1)));
            characters += copy.size();
            sum += sqlite3_column_double(statement, 2);
            if (sqlite3_column_type(statement, 3) != SQLITE_NULL) {
                benchmark::DoNotOptimize(sqlite3_column_int64(statement, 3));
                ++rows;
            }
        }
        sqlite3_finalize(statement);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(characters);
        benchmark::DoNotOptimize(rows);
    }
    state.SetItemsProcessed(state.iterations() * rowCount);
}
BENCHMARK(BM_ReadRaw)->Unit(benchmark::kMillisecond);

} // namespace

