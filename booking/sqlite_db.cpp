#include "booking/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

namespace infemora {

SqliteDb::~SqliteDb() {
    close();
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), path_(std::move(other.path_)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

void SqliteDb::close() {
    if (db_) {
        // Statements are owned by their SqliteStmt objects and finalised before this.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

SqliteDb SqliteDb::Open(const std::string& path, bool readOnly, bool create, int busyTimeoutMs) {
    // Nothing asks SQLite how much memory it uses, and counting it takes a global lock at every
    // allocation. Only possible before SQLite's first use; later the call fails harmlessly.
    static const bool ohneZaehlung = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)ohneZaehlung;
    SqliteDb db;
    db.path_ = path;
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !readOnly)
        flags |= SQLITE_OPEN_CREATE;
    flags |= SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &db.db_, flags, nullptr);
    if (rc != SQLITE_OK)
        db.fail(rc, "geöffnet");
    sqlite3_extended_result_codes(db.db_, 1);
    sqlite3_busy_timeout(db.db_, busyTimeoutMs);
    return db;
}

void SqliteDb::fail(int rc, const std::string& doing) const {
    const std::string file = "Die Buchungsprotokoll-Datei \"" + path_ + "\"";
    const std::string detail = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EPkpfGesperrt(file + " ist gesperrt, weil ein anderes Programm gerade hineinschreibt. "
                                   "Bitte in einigen Sekunden erneut versuchen.");
    case SQLITE_NOTADB:
        throw EPkpfError(file + " ist keine Buchungsprotokoll-Datenbank (keine SQLite-Datenbank).");
    case SQLITE_CORRUPT:
        throw EPkpfError(file + " ist beschädigt (" + detail + ").");
    case SQLITE_CANTOPEN:
        throw EPkpfError(file + " kann nicht geöffnet werden (" + detail + ").");
    case SQLITE_READONLY:
        throw EPkpfError(file + " ist schreibgeschützt (" + detail + ").");
    default:
        throw EPkpfError(file + " kann nicht " + doing + " werden (" + detail + ").");
    }
}

void SqliteDb::exec(const char* sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        fail(rc, "bearbeitet");
}

std::int64_t SqliteDb::pragmaInt(const char* pragma) {
    SqliteStmt stmt(*this, pragma);
    return stmt.step() ? stmt.columnInt64(0) : 0;
}

SqliteStmt::SqliteStmt(const SqliteDb& db, std::string_view sql) : db_(&db) {
    int rc = sqlite3_prepare_v3(db.get(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        db.fail(rc, "gelesen");
    }
}

SqliteStmt::~SqliteStmt() {
    sqlite3_finalize(stmt_);
}

SqliteStmt::SqliteStmt(SqliteStmt&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), db_(std::exchange(other.db_, nullptr)) {}

SqliteStmt& SqliteStmt::operator=(SqliteStmt&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

void SqliteStmt::bind(int index, std::int64_t value) {
    int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK)
        db_->fail(rc, "gelesen");
}

void SqliteStmt::bindText(int index, std::string_view utf8) {
    int rc = sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK)
        db_->fail(rc, "gelesen");
}

void SqliteStmt::bindBlob(int index, std::string_view bytes) {
    // A zero-length blob is still a blob, not NULL.
    int rc =
        sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        db_->fail(rc, "gelesen");
}

void SqliteStmt::bindAll(const std::vector<SqlWert>& values) {
    int index = 1;
    for (const SqlWert& v : values) {
        if (const auto* i = std::get_if<std::int64_t>(&v))
            bind(index, *i);
        else
            bindText(index, std::get<std::string>(v));
        ++index;
    }
}

int SqliteStmt::tryStep() {
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        sqlite3_reset(stmt_);
    return rc;
}

bool SqliteStmt::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    db_->fail(rc, "gelesen");
}

void SqliteStmt::reset() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

std::int64_t SqliteStmt::columnInt64(int col) const {
    return sqlite3_column_int64(stmt_, col);
}

std::string SqliteStmt::columnText(int col) const {
    return std::string(columnTextView(col));
}

std::string SqliteStmt::columnBlob(int col) const {
    return std::string(columnBlobView(col));
}

std::string_view SqliteStmt::columnTextView(int col) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    if (!text)
        return {};
    return {text, static_cast<size_t>(sqlite3_column_bytes(stmt_, col))};
}

std::string_view SqliteStmt::columnBlobView(int col) const {
    const void* data = sqlite3_column_blob(stmt_, col);
    if (!data)
        return {};
    return {static_cast<const char*>(data), static_cast<size_t>(sqlite3_column_bytes(stmt_, col))};
}

bool SqliteStmt::columnIsNull(int col) const {
    return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}

} // namespace infemora
