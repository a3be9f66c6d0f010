#pragma once
// A small owner of SQLite's C handles: a connection and its prepared statements, each closed by
// its destructor, every result code turned into a message.

#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace library::sql {

class Statement
{
public:
    Statement() = default;

    // Parameters count from 1, as in SQL's "?1".
    Statement &bind(int parameter, qint64 value);
    // The bytes are copied: the view may go before the statement runs.
    Statement &bind(int parameter, QByteArrayView bytes);
    Statement &bindNull(int parameter);
    // true while a row is there to read; false at the end or on a failure (see failed()).
    bool next();
    // Runs a statement that returns no row; false on a failure.
    bool run();
    bool failed() const { return m_failed; }
    // Ready to run again, parameters kept.
    void reset();

    qint64 integer(int column) const;
    // Valid until the next step.
    QByteArrayView bytes(int column) const;

    explicit operator bool() const { return m_statement != nullptr; }

private:
    friend class Database;
    struct Finalizer {
        void operator()(sqlite3_stmt *statement) const;
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> m_statement;
    bool m_failed = false;
};

class Database
{
public:
    enum class Mode { ReadWrite, ReadOnly };
    Database();
    ~Database();
    Database(Database &&) noexcept;
    Database &operator=(Database &&) noexcept;

    // Opens (and, read-write, makes) the file; on failure the result is closed and error says why.
    static Database open(const QString &path, Mode mode, QString *error);

    bool isOpen() const { return m_db != nullptr; }
    // Opened read-write, but the file or its folder lets it only be read.
    bool isReadOnly() const;
    // Runs one or more statements that return no rows.
    bool execute(const char *sql);
    Statement prepare(const char *sql);
    // The first column of the first row of a query, or fallback.
    qint64 integerOf(const char *sql, qint64 fallback);
    QString textOf(const char *sql);
    // Why the last call failed, in words with SQLite's own.
    QString lastError() const;
    // SQLite's primary code of the last failure (SQLITE_FULL, SQLITE_CORRUPT, ...).
    int lastCode() const;
    void close() { m_db.reset(); }
    // Another connection holding the file is waited for up to 5 s, or until flag is set (from any
    // thread): a program that closes does not wait on another's lock. The flag must outlive the
    // connection.
    void giveUpWhen(const std::atomic<bool> *flag);

private:
    struct Closer {
        void operator()(sqlite3 *db) const;
    };
    struct Patience;
    std::unique_ptr<Patience> m_patience; // outlives the connection that calls on it
    std::unique_ptr<sqlite3, Closer> m_db;
};

// One transaction: begun as it is made, rolled back when it ends uncommitted.
class Transaction
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool begun() const { return m_open; }
    bool commit();

private:
    Database &m_db;
    bool m_open;
};

} // namespace library::sql
