#include "sql/Backup.h"

#include "sql/Connection.h"

#include <sqlite3.h>

namespace velquine::sql {

std::string BackupDatabaseName::name() const
{
    switch (kind) {
    case Kind::main: return "main";
    case Kind::temp: return "temp";
    case Kind::attached: return attachedName;
    }
    return {};
}

Backup::Backup(std::shared_ptr<Connection> source, const DatabaseName& sourceName, std::shared_ptr<Connection> target,
               const DatabaseName& targetName)
    : target_(std::move(target))
    , source_(std::move(source))
{
    target_->sync([&] {
        handle_ = sqlite3_backup_init(target_->handle(), targetName.name().c_str(), source_->handle(),
                                      sourceName.name().c_str());
        if (!handle_) {
            int code = sqlite3_errcode(target_->handle());
            if (auto error = Result::make(code, *target_))
                throw *error;
            throw Result(Result::Kind::error, "backup could not be started", SQLITE_ERROR);
        }
    });
}

Backup::~Backup()
{
    finish();
}

void Backup::step(Pages pages)
{
    if (!handle_)
        return; // finished: nothing left to copy
    target_->sync([&] {
        int code = sqlite3_backup_step(handle_, pages.count);
        if (code == SQLITE_DONE) {
            finish();
            return;
        }
        if (!Result::isSuccessCode(code)) {
            // The engine's text for the step's own code: the target's last message may belong to
            // another statement.
            throw Result(target_->usesExtendedErrorCodes() ? Result::Kind::extendedError : Result::Kind::error,
                         sqlite3_errstr(code), code);
        }
    });
}

std::int32_t Backup::remainingPages() const
{
    return handle_ ? sqlite3_backup_remaining(handle_) : 0;
}

std::int32_t Backup::pageCount() const
{
    return handle_ ? sqlite3_backup_pagecount(handle_) : 0;
}

void Backup::finish()
{
    if (!handle_)
        return;
    sqlite3_backup_finish(handle_);
    handle_ = nullptr;
}

std::shared_ptr<Backup> Connection::backup(const BackupDatabaseName& name, const std::shared_ptr<Connection>& target,
                                           const BackupDatabaseName& targetName)
{
    return std::make_shared<Backup>(shared_from_this(), name, target, targetName);
}

} // namespace velquine::sql
