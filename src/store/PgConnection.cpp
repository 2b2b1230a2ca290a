#include "store/PgConnection.h"

#include "db/HiddenPasswords.h"

#include <libpq-fe.h>

#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <charconv>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#endif

namespace pelmor::store {
namespace {

// How much COPY data is gathered before it is sent.
constexpr int kCopyChunk = 256 * 1024;
// How many rows a cursor fetches at a time.
constexpr int kCursorBlock = 20000;

db::Failure failureOfState(const QByteArray& state)
{
    if (state == "42501")
        return db::Failure::NotAllowed;
    if (state.startsWith("23"))
        return db::Failure::Refused; // a key or a check
    if (state == "25006")
        return db::Failure::ReadOnly;
    if (state == "53100")
        return db::Failure::DiskFull;
    if (state == "53200")
        return db::Failure::OutOfMemory;
    if (state == "40001" || state == "40P01" || state == "55P03" || state == "55006")
        return db::Failure::InUse;
    if (state == "XX001" || state == "XX002")
        return db::Failure::Damaged;
    return db::Failure::Other;
}

// What the user can do about a failure of the kind.
QString adviceFor(const QByteArray& state)
{
    if (state == "42501" || state == "25006")
        return QStringLiteral(
            "Your user of the server lacks the right for this; ask the agency's IT for it.");
    if (state == "53100")
        return QStringLiteral("The server's disk is full; tell the agency's IT.");
    if (state == "55P03")
        return QStringLiteral("Another user holds the data and did not let go of it in time; try again in "
                              "a minute.");
    if (state.startsWith("40") || state.startsWith("55"))
        return QStringLiteral("Another user changed the same data at the same moment; try again.");
    return QStringLiteral("Nothing of the unfinished operation was saved; try again, and tell the "
                          "agency's IT if it keeps failing.");
}

// "traffic on db.example.org port 5432"
QString nameOf(PGconn* connection)
{
    const auto text = [](const char* value) {
        return value && *value ? QString::fromUtf8(value) : QString();
    };
    QString host = text(PQhost(connection));
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    QString name = QStringLiteral("%1 on %2").arg(text(PQdb(connection)), host);
    const QString port = text(PQport(connection));
    if (!port.isEmpty())
        name += QStringLiteral(" port ") + port;
    return name;
}

QString serverMessage(const char* message)
{
    return QString::fromUtf8(message).trimmed();
}

// Waits until the connection's socket is ready for what PQconnectPoll asked
// for; false when `seconds` (0 for no limit) passed first.
bool waitForSocket(pg_conn* connection, PostgresPollingStatusType wanted, int seconds)
{
    pollfd socket{};
    socket.fd = PQsocket(connection);
    socket.events = wanted == PGRES_POLLING_READING ? POLLIN : POLLOUT;
    for (;;) {
#ifdef Q_OS_WIN
        const int ready = WSAPoll(&socket, 1, seconds > 0 ? seconds * 1000 : -1);
#else
        const int ready = poll(&socket, 1, seconds > 0 ? seconds * 1000 : -1);
        if (ready < 0 && errno == EINTR)
            continue;
#endif
        // An error of the socket is read by the next PQconnectPoll.
        return ready != 0;
    }
}

// Connects with the given connection string or URI, naming the program to
// the server, so that the agency's IT sees whose sessions these are. The
// connection is made step by step so that the server's refusal carries its
// SQLSTATE ("FATAL:  28P01: ..."), which tells a refused login from any
// other failure in every language the server may answer in. A server that
// does not answer within the connection's connect_timeout is given up, as
// PQconnectdb would.
pg_conn* connect(const QString& connectionString, bool& timedOut)
{
    const QByteArray text = connectionString.toUtf8();
    const char* const keywords[] = {"dbname", "fallback_application_name", nullptr};
    const char* const values[] = {text.constData(), "pelmor", nullptr};
    pg_conn* connection = PQconnectStartParams(keywords, values, 1);
    if (!connection || PQstatus(connection) == CONNECTION_BAD)
        return connection;
    PQsetErrorVerbosity(connection, PQERRORS_VERBOSE);
    int seconds = 0;
    PQconninfoOption* options = PQconninfo(connection);
    for (PQconninfoOption* option = options; option && option->keyword; ++option)
        if (qstrcmp(option->keyword, "connect_timeout") == 0 && option->val)
            seconds = std::max(QByteArray(option->val).toInt(), 0);
    PQconninfoFree(options);
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    while (status != PGRES_POLLING_OK && status != PGRES_POLLING_FAILED) {
        if (!waitForSocket(connection, status, seconds)) {
            timedOut = true;
            break;
        }
        status = PQconnectPoll(connection);
    }
    return connection;
}

// The last SQLSTATE a server gave in a connection's verbose error message;
// empty when the failure was libpq's own (no server reached).
QByteArray connectionState(const QString& message)
{
    static const QRegularExpression state(QStringLiteral(":  ([0-9A-Z]{5}): "));
    QByteArray last;
    for (QRegularExpressionMatchIterator found = state.globalMatch(message); found.hasNext();)
        last = found.next().captured(1).toLatin1();
    return last;
}

// A verbose connection error as the user reads it: without the SQLSTATE
// and the server's source line, which only the verbose form carries.
QString withoutStateAndSource(QString message)
{
    static const QRegularExpression state(QStringLiteral("(?<=:  )[0-9A-Z]{5}: "));
    static const QRegularExpression source(QStringLiteral("^[^\\n]*, [^\\n,]+\\.c:\\d+\\n?"),
                                           QRegularExpression::MultilineOption);
    return message.remove(state).remove(source);
}

} // namespace

void PgResult::Free::operator()(pg_result* result) const
{
    PQclear(result);
}

PgResult::PgResult(pg_result* result)
    : m_result(result)
{
}

int PgResult::rows() const
{
    return PQntuples(m_result.get());
}

bool PgResult::isNull(int row, int column) const
{
    return PQgetisnull(m_result.get(), row, column) != 0;
}

QByteArrayView PgResult::bytes(int row, int column) const
{
    return QByteArrayView(PQgetvalue(m_result.get(), row, column), PQgetlength(m_result.get(), row, column));
}

QString PgResult::text(int row, int column) const
{
    return isNull(row, column) ? QString() : QString::fromUtf8(bytes(row, column));
}

qint64 PgResult::integer(int row, int column) const
{
    const QByteArrayView value = bytes(row, column);
    qint64 number = 0;
    std::from_chars(value.data(), value.data() + value.size(), number);
    return number;
}

std::optional<double> PgResult::real(int row, int column) const
{
    if (isNull(row, column))
        return std::nullopt;
    return text(row, column).toDouble();
}

qint64 PgResult::rowsChanged() const
{
    const char* changed = PQcmdTuples(m_result.get());
    return changed && *changed ? QByteArray(changed).toLongLong() : 0;
}

void PgConnection::Finish::operator()(pg_conn* connection) const
{
    PQfinish(connection);
}

PgConnection::PgConnection(const QString& connectionString)
{
    bool timedOut = false;
    m_connection.reset(connect(connectionString, timedOut));
    if (!m_connection)
        throw db::DbError(QStringLiteral("There is not enough memory to connect to the agency server."),
                          db::Failure::OutOfMemory);
    m_name = nameOf(m_connection.get());
    if (PQstatus(m_connection.get()) != CONNECTION_OK && PQconnectionNeedsPassword(m_connection.get()))
        throw db::DbError(
            db::hidePasswords(QStringLiteral("The survey database %1 wants a password. Enter it, "
                                             "or ask the agency's IT to put it in your ~/.pgpass "
                                             "file.")
                                  .arg(m_name),
                              connectionString),
            db::Failure::PasswordNeeded);
    if (timedOut)
        throw db::DbError(QStringLiteral("The survey database %1 did not answer. Check the server's address "
                                         "and the network, then try again.")
                              .arg(m_name),
                          db::Failure::ConnectionLost);
    const QString said = serverMessage(PQerrorMessage(m_connection.get()));
    const QByteArray state = connectionState(said);
    // 28P01: a wrong password; 28000: a user the server does not let in
    // (unknown, not allowed to log in, or no rule of the server admits it).
    if (PQstatus(m_connection.get()) != CONNECTION_OK && (state == "28P01" || state == "28000")) {
        const char* user = PQuser(m_connection.get());
        throw db::DbError(
            db::hidePasswords(
                QStringLiteral("The survey database %1 refused the password or the user \"%2\". "
                               "Check both (the password is case-sensitive) and try again; "
                               "if they are right, ask the agency's IT whether your user may "
                               "log in there.")
                    .arg(m_name, QString::fromUtf8(user ? user : "")),
                connectionString),
            db::Failure::LoginRefused);
    }
    // A malformed connection string is quoted by libpq, and read as a name
    // and a port, so a password can stand anywhere in this message.
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        throw db::DbError(
            db::hidePasswords(
                QStringLiteral("Cannot connect to the survey database %1: %2 Check the server's "
                               "address, that it runs and that your user may log in, then try "
                               "again.")
                    .arg(m_name, withoutStateAndSource(said).trimmed()),
                connectionString),
            db::Failure::ConnectionLost);
    // The statements' failures are read field by field from their results.
    PQsetErrorVerbosity(m_connection.get(), PQERRORS_DEFAULT);
    if (PQsetClientEncoding(m_connection.get(), "UTF8") != 0)
        throw failure(nullptr);
    // The server's notices ("already exists, skipping") are for a console
    // user; the program has no one to show them to.
    PQsetNoticeProcessor(
        m_connection.get(), [](void*, const char*) {}, nullptr);
    // The program's queries each run once, over one survey: compiling them
    // to machine code (which the server does for any query it expects to
    // read many rows) costs more than it saves, a tenth of a second and
    // more for the survey list and the scans of a large survey.
    if (PQserverVersion(m_connection.get()) >= 110000)
        exec("SET jit = off");
}

PgConnection::~PgConnection()
{
    abandonCopy();
}

db::DbError PgConnection::lostConnection() const
{
    return db::DbError(
        QStringLiteral("The connection to the survey database %1 was lost: nothing of the unfinished "
                       "operation was saved. Check the network and that the server runs, "
                       "then try again.")
            .arg(m_name),
        db::Failure::ConnectionLost);
}

db::DbError PgConnection::failure(pg_result* result)
{
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        return lostConnection();
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    m_lastState = state ? QByteArray(state) : QByteArray("XX000");
    const char* constraint = result ? PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME) : nullptr;
    m_lastConstraint = constraint ? QByteArray(constraint) : QByteArray();
    // The server ends the session (shut down, the session terminated) or
    // the link failed: told as a lost connection, which it is.
    if (m_lastState.startsWith("08") || m_lastState.startsWith("57P"))
        return lostConnection();
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QString said = serverMessage(primary ? primary : PQerrorMessage(m_connection.get()));
    return db::DbError(QStringLiteral("The survey database %1 refused the operation: %2. %3")
                           .arg(m_name, said, adviceFor(m_lastState)),
                       failureOfState(m_lastState));
}

namespace {

// The parameters as libpq takes them: pointers into `parameters`, null for NULL.
struct ParameterValues {
    explicit ParameterValues(const PgParameters& parameters)
    {
        values.reserve(parameters.size());
        lengths.reserve(parameters.size());
        for (const QByteArray& parameter : parameters) {
            values.push_back(parameter.isNull() ? nullptr : parameter.constData());
            lengths.push_back(int(parameter.size()));
        }
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
};

} // namespace

void PgConnection::sendRowByRow(const char* statement, const PgParameters& parameters)
{
    if (m_copying)
        endCopy();
    const ParameterValues sent(parameters);
    if (!PQsendQueryParams(m_connection.get(), statement, int(parameters.size()), nullptr, sent.values.data(),
                           sent.lengths.data(), nullptr, 0))
        throw failure(nullptr);
    PQsetSingleRowMode(m_connection.get());
}

std::optional<PgResult> PgConnection::nextRow()
{
    pg_result* raw = PQgetResult(m_connection.get());
    if (!raw)
        return std::nullopt;
    PgResult result(raw);
    const ExecStatusType status = PQresultStatus(raw);
    if (status == PGRES_SINGLE_TUPLE)
        return result;
    // The end of the rows, or the query's failure: the connection is made
    // ready for the next statement first.
    const std::optional<db::DbError> failed =
        status == PGRES_TUPLES_OK ? std::nullopt : std::optional<db::DbError>(failure(raw));
    dropRows();
    if (failed)
        throw *failed;
    return std::nullopt;
}

void PgConnection::dropRows() noexcept
{
    while (pg_result* rest = PQgetResult(m_connection.get()))
        PQclear(rest);
}

PgResult PgConnection::exec(const char* statement, const PgParameters& parameters)
{
    if (m_copying)
        endCopy();
    const ParameterValues sent(parameters);
    pg_result* raw = PQexecParams(m_connection.get(), statement, int(parameters.size()), nullptr,
                                  sent.values.data(), sent.lengths.data(), nullptr, 0);
    PgResult result(raw);
    const ExecStatusType status = PQresultStatus(raw);
    if (!raw || (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK))
        throw failure(raw);
    return result;
}

bool PgConnection::inTransaction() const
{
    return PQtransactionStatus(m_connection.get()) != PQTRANS_IDLE;
}

bool PgConnection::readyForReuse()
{
    m_copyBuffer = QByteArray();
    return !m_copying && PQstatus(m_connection.get()) == CONNECTION_OK &&
           PQtransactionStatus(m_connection.get()) == PQTRANS_IDLE;
}

bool PgConnection::stillOpen(bool probe)
{
    pollfd socket{};
    socket.fd = PQsocket(m_connection.get());
    socket.events = POLLIN;
#ifdef Q_OS_WIN
    const int unread = WSAPoll(&socket, 1, 0);
#else
    const int unread = poll(&socket, 1, 0);
#endif
    if (unread != 0)
        return false;
    if (!probe)
        return true;
    pg_result* raw = PQexec(m_connection.get(), "");
    const PgResult answer(raw);
    return PQresultStatus(raw) == PGRES_EMPTY_QUERY &&
           PQtransactionStatus(m_connection.get()) == PQTRANS_IDLE;
}

void PgConnection::beginCopy(const char* statement, const QByteArray& trailer)
{
    if (m_copying)
        endCopy();
    pg_result* raw = PQexec(m_connection.get(), statement);
    PgResult started(raw);
    if (!raw || PQresultStatus(raw) != PGRES_COPY_IN)
        throw failure(raw);
    m_copying = true;
    m_copyTrailer = trailer;
    m_copyBuffer.reserve(kCopyChunk + 4096);
}

void PgConnection::sendCopyBuffer(bool whenFull)
{
    if (m_copyBuffer.isEmpty() || (whenFull && m_copyBuffer.size() < kCopyChunk))
        return;
    if (PQputCopyData(m_connection.get(), m_copyBuffer.constData(), int(m_copyBuffer.size())) != 1) {
        m_copying = false;
        m_copyBuffer.clear();
        throw lostConnection();
    }
    // Emptied, not freed: the next chunk fills the same memory.
    m_copyBuffer.resize(0);
}

void PgConnection::endCopy()
{
    if (!m_copying)
        return;
    m_copyBuffer += m_copyTrailer;
    sendCopyBuffer(false);
    m_copying = false;
    if (PQputCopyEnd(m_connection.get(), nullptr) != 1)
        throw lostConnection();
    std::unique_ptr<db::DbError> failed;
    while (pg_result* raw = PQgetResult(m_connection.get())) {
        PgResult result(raw);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK && !failed)
            failed = std::make_unique<db::DbError>(failure(raw));
    }
    if (failed)
        throw *failed;
}

void PgConnection::abandonCopy() noexcept
{
    if (!m_copying)
        return;
    m_copying = false;
    m_copyBuffer.clear();
    PQputCopyEnd(m_connection.get(), "the survey was abandoned");
    while (pg_result* raw = PQgetResult(m_connection.get()))
        PQclear(raw);
}

PgTransaction::PgTransaction(PgConnection& connection)
    : m_connection(connection)
{
    m_connection.exec("BEGIN");
}

PgTransaction::~PgTransaction()
{
    if (!m_open)
        return;
    m_connection.abandonCopy();
    try {
        m_connection.exec("ROLLBACK");
    } catch (const db::DbError&) {
        // A lost connection rolls back on the server by itself.
    }
}

void PgTransaction::commit()
{
    // Whatever COMMIT answers, the transaction is over: the server has
    // either made it last or rolled it back.
    m_open = false;
    try {
        m_connection.exec("COMMIT");
    } catch (const db::DbError& failed) {
        if (failed.failure() != db::Failure::ConnectionLost)
            throw;
        // The link broke after COMMIT was sent: whether it arrived, and
        // whether the server made the change last, cannot be told here.
        throw db::DbError(
            QStringLiteral("The connection to the survey database %1 was lost while the change was being "
                           "saved: it may have been saved or not. Check the network and that the server "
                           "runs, then look whether the change is there before you make it again.")
                .arg(m_connection.name()),
            db::Failure::MaybeSaved);
    }
}

void PgTransaction::rollBack()
{
    if (!m_open)
        return;
    m_open = false;
    m_connection.abandonCopy();
    m_connection.exec("ROLLBACK");
}

PgRows::PgRows(PgConnection& connection, const QByteArray& query, const PgParameters& parameters)
    : m_connection(connection)
{
    connection.sendRowByRow(query.constData(), parameters);
}

PgRows::~PgRows()
{
    if (!m_done)
        m_connection.dropRows();
}

bool PgRows::next()
{
    if (m_done)
        return false;
    m_row = m_connection.nextRow();
    m_done = !m_row;
    return !m_done;
}

PgCursor::PgCursor(PgConnection& connection, const QByteArray& query, const PgParameters& parameters)
    : m_connection(connection)
{
    if (!connection.inTransaction())
        m_transaction = std::make_unique<PgTransaction>(connection);
    // One name per cursor object alive on this connection.
    m_name = "pelmor_cursor_" + QByteArray::number(quintptr(this), 16);
    connection.exec(("DECLARE " + m_name + " NO SCROLL CURSOR FOR " + query).constData(), parameters);
}

PgCursor::~PgCursor()
{
    try {
        if (m_transaction)
            m_transaction->commit();
        else
            m_connection.exec(("CLOSE " + m_name).constData());
    } catch (const db::DbError&) {
        // Closed with its transaction or its connection.
    }
}

bool PgCursor::next()
{
    if (m_done)
        return false;
    if (!m_block || ++m_row >= m_block->rows()) {
        m_block = std::make_unique<PgResult>(m_connection.exec(
            ("FETCH FORWARD " + QByteArray::number(kCursorBlock) + " FROM " + m_name).constData()));
        m_row = 0;
        if (m_block->rows() == 0) {
            m_done = true;
            return false;
        }
    }
    return true;
}

} // namespace pelmor::store
