#pragma once
// Thin owners of SQLite handles. Every statement is prepared once and gets its values bound,
// never pasted into the SQL text. SQLite failures become EPkpfError with a German text that
// names the file and says what the user can do.
#include "host/errors.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace infemora {

class EPkpfError : public EInfemora {
public:
    using EInfemora::EInfemora;
};

// Another connection holds the file longer than the busy timeout.
class EPkpfGesperrt : public EPkpfError {
public:
    using EPkpfError::EPkpfError;
};

// One bound value: integers for numbers and day numbers, texts as UTF-8.
using SqlWert = std::variant<std::int64_t, std::string>;

class SqliteDb {
public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens the file. readOnly never creates; create makes a missing file (read-write only).
    static SqliteDb Open(const std::string& path, bool readOnly, bool create, int busyTimeoutMs);

    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }
    const std::string& path() const { return path_; }
    void close();

    // Runs SQL without results (schema, transactions). Only for fixed texts of the program.
    void exec(const char* sql);
    std::int64_t pragmaInt(const char* pragma); // "PRAGMA user_version" and the like

    // Throws the EPkpfError that fits the SQLite result code.
    [[noreturn]] void fail(int rc, const std::string& doing) const;

private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

class SqliteStmt {
public:
    SqliteStmt() = default;
    SqliteStmt(const SqliteDb& db, std::string_view sql);
    ~SqliteStmt();
    SqliteStmt(SqliteStmt&& other) noexcept;
    SqliteStmt& operator=(SqliteStmt&& other) noexcept;
    SqliteStmt(const SqliteStmt&) = delete;
    SqliteStmt& operator=(const SqliteStmt&) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }

    void bind(int index, std::int64_t value);
    void bindText(int index, std::string_view utf8);
    void bindBlob(int index, std::string_view bytes);
    void bindAll(const std::vector<SqlWert>& values); // from index 1
    // True while a row is there; false at the end. Throws on failure.
    bool step();
    // The raw SQLite result of one step, for callers that tell failures apart themselves; the
    // statement is reset after a failure.
    int tryStep();
    // Ends the statement's read, so that no lock outlives it, and clears the bindings.
    void reset();

    std::int64_t columnInt64(int col) const;
    std::string columnText(int col) const; // UTF-8 as stored
    std::string columnBlob(int col) const;
    // The same without a copy, valid until the statement steps, resets or reads the column
    // another way.
    std::string_view columnTextView(int col) const;
    std::string_view columnBlobView(int col) const;
    bool columnIsNull(int col) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    const SqliteDb* db_ = nullptr;
};

} // namespace infemora
