#include "library/database/sqlitedb.h"

#include "platform/filenames.h"

#include <QElapsedTimer>
#include <QThread>

#include <sqlite3.h>

namespace library::sql {

void Statement::Finalizer::operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }

Statement &Statement::bind(int parameter, qint64 value)
{
    m_failed |= sqlite3_bind_int64(m_statement.get(), parameter, value) != SQLITE_OK;
    return *this;
}

Statement &Statement::bind(int parameter, QByteArrayView bytes)
{
    // A zero-length blob, never NULL, for empty bytes: the key columns are NOT NULL.
    m_failed |= sqlite3_bind_blob64(m_statement.get(), parameter, bytes.data() ? bytes.data() : "",
                                    sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT)
        != SQLITE_OK;
    return *this;
}

Statement &Statement::bindNull(int parameter)
{
    m_failed |= sqlite3_bind_null(m_statement.get(), parameter) != SQLITE_OK;
    return *this;
}

bool Statement::next()
{
    if (!m_statement || m_failed)
        return false;
    const int code = sqlite3_step(m_statement.get());
    if (code == SQLITE_ROW)
        return true;
    m_failed = code != SQLITE_DONE;
    return false;
}

bool Statement::run()
{
    while (next()) {
    }
    const bool ok = m_statement && !m_failed;
    reset();
    return ok;
}

void Statement::reset()
{
    sqlite3_reset(m_statement.get());
    m_failed = false;
}

qint64 Statement::integer(int column) const { return sqlite3_column_int64(m_statement.get(), column); }

QByteArrayView Statement::bytes(int column) const
{
    const void *data = sqlite3_column_blob(m_statement.get(), column);
    return QByteArrayView(static_cast<const char *>(data), sqlite3_column_bytes(m_statement.get(), column));
}

void Database::Closer::operator()(sqlite3 *db) const { sqlite3_close_v2(db); }

namespace {
constexpr qint64 kBusyWaitMs = 5000; // another Quorvane writing a moment
constexpr int kBusyStepMs = 10;
} // namespace

struct Database::Patience {
    const std::atomic<bool> *giveUp = nullptr;
    QElapsedTimer waiting;

    static int onBusy(void *data, int count)
    {
        auto *patience = static_cast<Patience *>(data);
        if (count == 0)
            patience->waiting.start();
        if ((patience->giveUp && patience->giveUp->load()) || patience->waiting.elapsed() >= kBusyWaitMs)
            return 0;
        QThread::msleep(kBusyStepMs);
        return 1;
    }
};

Database::Database() = default;
Database::~Database() = default;
Database::Database(Database &&) noexcept = default;
Database &Database::operator=(Database &&) noexcept = default;

void Database::giveUpWhen(const std::atomic<bool> *flag)
{
    if (!m_db)
        return;
    m_patience->giveUp = flag;
}

Database Database::open(const QString &path, Mode mode, QString *error)
{
    Database database;
    sqlite3 *handle = nullptr;
    const int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
        | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
#ifdef Q_OS_WIN
    const QByteArray name = path.toUtf8(); // SQLite takes UTF-8 and makes it wide
#else
    const QByteArray name = platform::toSystem8Bit(path); // the name's very bytes
#endif
    const int code = sqlite3_open_v2(name.constData(), &handle, flags, nullptr);
    database.m_db.reset(handle);
    if (code != SQLITE_OK) {
        if (error)
            *error = handle ? database.lastError() : QString::fromUtf8(sqlite3_errstr(code));
        database.close();
        return database;
    }
    database.m_patience = std::make_unique<Patience>();
    sqlite3_busy_handler(handle, &Patience::onBusy, database.m_patience.get());
    return database;
}

bool Database::isReadOnly() const { return m_db && sqlite3_db_readonly(m_db.get(), "main") == 1; }

bool Database::execute(const char *sql)
{
    return m_db && sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement Database::prepare(const char *sql)
{
    Statement statement;
    sqlite3_stmt *handle = nullptr;
    if (m_db && sqlite3_prepare_v2(m_db.get(), sql, -1, &handle, nullptr) == SQLITE_OK)
        statement.m_statement.reset(handle);
    else
        statement.m_failed = true;
    return statement;
}

qint64 Database::integerOf(const char *sql, qint64 fallback)
{
    Statement query = prepare(sql);
    return query.next() ? query.integer(0) : fallback;
}

QString Database::textOf(const char *sql)
{
    Statement query = prepare(sql);
    return query.next() ? QString::fromUtf8(query.bytes(0)) : QString();
}

QString Database::lastError() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db.get())) : QStringLiteral("not open");
}

int Database::lastCode() const { return m_db ? sqlite3_errcode(m_db.get()) & 0xFF : SQLITE_CANTOPEN; }

Transaction::Transaction(Database &db) : m_db(db), m_open(db.execute("BEGIN IMMEDIATE")) {}

Transaction::~Transaction()
{
    if (m_open)
        m_db.execute("ROLLBACK");
}

bool Transaction::commit()
{
    if (!m_open || !m_db.execute("COMMIT"))
        return false;
    m_open = false;
    return true;
}

} // namespace library::sql
