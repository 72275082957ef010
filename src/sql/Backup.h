#pragma once

// An online copy of one database of a source connection into one database of a target connection,
// a number of pages at a time, while both stay open.

#include <cstdint>
#include <memory>
#include <string>

struct sqlite3_backup;

namespace velquine::sql {

class Connection;

// Which database of a connection takes part: "main", "temp" or an attached schema's name.
struct BackupDatabaseName {
    enum class Kind { main, temp, attached };

    static BackupDatabaseName main() { return {Kind::main, {}}; }
    static BackupDatabaseName temp() { return {Kind::temp, {}}; }
    static BackupDatabaseName attached(std::string name) { return {Kind::attached, std::move(name)}; }

    // The name handed to the engine.
    std::string name() const;

    Kind kind = Kind::main;
    std::string attachedName;
};

class Backup {
public:
    using DatabaseName = BackupDatabaseName;

    // How much one step copies: a number of pages, or everything (-1 for the engine).
    struct Pages {
        static Pages limited(std::int32_t count) { return Pages{count}; }
        static Pages all() { return Pages{-1}; }
        std::int32_t count = -1;
    };

    // Starts the backup; throws the target's Result when the engine refuses.
    Backup(std::shared_ptr<Connection> source, const DatabaseName& sourceName, std::shared_ptr<Connection> target,
           const DatabaseName& targetName);
    ~Backup();
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;

    // Copies the pages; the step that completes the copy finishes the backup. A step after the
    // backup finished does nothing. Busy, locked and other failures throw and can be retried.
    void step(Pages pages = Pages::all());
    // As of the last step; 0 once finished.
    std::int32_t remainingPages() const;
    std::int32_t pageCount() const;
    // Releases the engine's backup; a second call does nothing.
    void finish();
    bool isFinished() const noexcept { return handle_ == nullptr; }

    const std::shared_ptr<Connection>& targetConnection() const noexcept { return target_; }
    const std::shared_ptr<Connection>& sourceConnection() const noexcept { return source_; }

private:
    std::shared_ptr<Connection> target_;
    std::shared_ptr<Connection> source_;
    sqlite3_backup* handle_ = nullptr;
};

} // namespace velquine::sql
