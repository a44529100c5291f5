#include "site/odbc.h"

#include <algorithm>

// The platform's ODBC headers: site/win32 or site/posix, whichever the build puts on the path.
#include "odbc_api.h"

#include "site/site_secret.h"
#include "text/utf16_text.h"

static_assert(sizeof(SQLWCHAR) == sizeof(uint16_t), "ODBC's wide characters are UTF-16 units");
static_assert(sizeof(SQLLEN) == sizeof(long long), "the indicator is the driver's length type");

namespace {

std::vector<SQLWCHAR> WideText(const std::string& utf8) {
    const std::u16string wide = Utf16FromUtf8(utf8);
    std::vector<SQLWCHAR> text(wide.begin(), wide.end());
    text.push_back(0);
    return text;
}

// At most `length` units, and none from a terminator on: MariaDB's driver gives a message's
// length in bytes, the terminator and zeros after it within.
std::string NarrowText(const SQLWCHAR* text, size_t length) {
    const SQLWCHAR* end = std::find(text, text + length, SQLWCHAR{0});
    return Utf8FromUtf16(std::u16string(text, end));
}

bool Succeeded(SQLRETURN result) {
    return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

// Every record of a handle's diagnostics, "[SQLSTATE] text" each with the secrets masked; the
// first record's state and native error.
std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, std::string& state, long& native,
                        const std::vector<std::string>& secrets) {
    std::string text;
    state.clear();
    native = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR sqlState[6] = {};
        SQLINTEGER nativeError = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN result = SQLGetDiagRecW(handleType, handle, record, sqlState, &nativeError,
                                                message, 1024, &length);
        if (!Succeeded(result)) break;
        const std::string recordState = NarrowText(sqlState, 5);
        if (state.empty()) {
            state = recordState;
            native = static_cast<long>(nativeError);
        }
        const size_t shown = length < 0 ? 0 : std::min<size_t>(static_cast<size_t>(length), 1023);
        std::string words = NarrowText(message, shown);
        while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
        text +=
            (text.empty() ? "" : "; ") + MaskedDiagnostic(recordState, nativeError, words, secrets);
    }
    return text;
}

}  // namespace

struct OdbcConnection::Handles {
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    bool connected = false;

    ~Handles() {
        if (connected) SQLDisconnect(connection);
        if (connection != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, connection);
        if (environment != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, environment);
    }
};

OdbcConnection::OdbcConnection(std::unique_ptr<Handles> handles, std::vector<std::string> secrets)
    : m_handles(std::move(handles)), m_secrets(std::move(secrets)) {}

OdbcConnection::~OdbcConnection() = default;

std::unique_ptr<OdbcConnection> OdbcConnection::Connect(const std::string& connection,
                                                        int timeoutSeconds,
                                                        std::string& diagnostic) {
    const std::vector<std::string> secrets = ConnectionSecrets(connection);
    auto handles = std::make_unique<Handles>();
    std::string state;
    long native = 0;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handles->environment))) {
        diagnostic = "the ODBC driver manager cannot be used";
        return nullptr;
    }
    SQLSetEnvAttr(handles->environment, SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(SQL_OV_ODBC3)), 0);
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, handles->environment, &handles->connection))) {
        diagnostic = Diagnostics(SQL_HANDLE_ENV, handles->environment, state, native, secrets);
        return nullptr;
    }
    const auto seconds = reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(timeoutSeconds));
    SQLSetConnectAttr(handles->connection, SQL_ATTR_LOGIN_TIMEOUT, seconds, 0);
    SQLSetConnectAttr(handles->connection, SQL_ATTR_CONNECTION_TIMEOUT, seconds, 0);
    std::vector<SQLWCHAR> text = WideText(connection);
    SQLWCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    const SQLRETURN result =
        SQLDriverConnectW(handles->connection, nullptr, text.data(), SQL_NTS, completed, 1024,
                          &completedLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(result)) {
        diagnostic = Diagnostics(SQL_HANDLE_DBC, handles->connection, state, native, secrets);
        if (diagnostic.empty()) diagnostic = "the connection was refused";
        return nullptr;
    }
    handles->connected = true;
    std::unique_ptr<OdbcConnection> made(new OdbcConnection(std::move(handles), secrets));
    made->m_timeoutSeconds = timeoutSeconds;
    return made;
}

bool OdbcConnection::Check(short result, short handleType, void* handle) {
    if (Succeeded(result) || result == SQL_NO_DATA) return true;
    m_diagnostic = Diagnostics(handleType, handle, m_state, m_nativeError, m_secrets);
    if (m_diagnostic.empty()) m_diagnostic = "the driver failed without a diagnostic";
    return false;
}

std::string OdbcConnection::DbmsName() {
    SQLWCHAR name[128] = {};
    SQLSMALLINT length = 0;
    if (!Check(SQLGetInfoW(m_handles->connection, SQL_DBMS_NAME, name, sizeof name, &length),
               SQL_HANDLE_DBC, m_handles->connection))
        return std::string();
    const size_t units =
        std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR),
                         sizeof name / sizeof *name - 1);
    return NarrowText(name, units);
}

namespace {

std::string InfoText(SQLHDBC connection, SQLUSMALLINT infoType) {
    SQLWCHAR text[256] = {};
    SQLSMALLINT bytes = 0;
    if (!Succeeded(SQLGetInfoW(connection, infoType, text, sizeof text, &bytes))) return "";
    const size_t units = std::min<size_t>(bytes < 0 ? 0 : static_cast<size_t>(bytes) / 2, 255);
    return NarrowText(text, units);
}

}  // namespace

OdbcConnection::Reach OdbcConnection::Reached() {
    const SQLHDBC connection = m_handles->connection;
    return {InfoText(connection, SQL_SERVER_NAME), InfoText(connection, SQL_DATABASE_NAME),
            InfoText(connection, SQL_USER_NAME)};
}

bool OdbcConnection::Execute(const std::string& sql) {
    const std::unique_ptr<OdbcStatement> statement = Prepare(sql, 0);
    return statement && statement->Execute();
}

bool OdbcConnection::SetAutoCommit(bool on) {
    const auto value = reinterpret_cast<SQLPOINTER>(
        static_cast<intptr_t>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF));
    return Check(SQLSetConnectAttr(m_handles->connection, SQL_ATTR_AUTOCOMMIT, value, 0),
                 SQL_HANDLE_DBC, m_handles->connection);
}

bool OdbcConnection::EndTransaction(bool commit) {
    return Check(
        SQLEndTran(SQL_HANDLE_DBC, m_handles->connection, commit ? SQL_COMMIT : SQL_ROLLBACK),
        SQL_HANDLE_DBC, m_handles->connection);
}

std::unique_ptr<OdbcStatement> OdbcConnection::Prepare(const std::string& sql, size_t parameters) {
    SQLHSTMT handle = SQL_NULL_HSTMT;
    if (!Check(SQLAllocHandle(SQL_HANDLE_STMT, m_handles->connection, &handle), SQL_HANDLE_DBC,
               m_handles->connection))
        return nullptr;
    std::unique_ptr<OdbcStatement> statement(new OdbcStatement(*this, handle, parameters));
    SQLSetStmtAttr(handle, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(m_timeoutSeconds)), 0);
    std::vector<SQLWCHAR> text = WideText(sql);
    if (!Check(SQLPrepareW(handle, text.data(), SQL_NTS), SQL_HANDLE_STMT, handle)) return nullptr;
    return statement;
}

OdbcStatement::~OdbcStatement() { SQLFreeHandle(SQL_HANDLE_STMT, m_handle); }

void OdbcStatement::SetText(size_t at, const std::optional<std::string>& utf8) {
    Parameter& p = m_parameters.at(at - 1);
    p.isText = true;
    p.isNull = !utf8;
    p.text.clear();
    p.bytes.clear();
    if (!utf8) return;
    if (m_connection.m_textsAsUtf8) {
        p.bytes = *utf8;
    } else {
        const std::u16string wide = Utf16FromUtf8(*utf8);
        p.text.assign(wide.begin(), wide.end());
    }
}

void OdbcStatement::SetInteger(size_t at, const std::optional<int64_t>& value) {
    Parameter& p = m_parameters.at(at - 1);
    p.isText = false;
    p.isNull = !value;
    p.integer = value.value_or(0);
}

// Bound again before every run: the texts' buffers move as they change.
bool OdbcStatement::BindParameters() {
    static SQLWCHAR empty[1] = {0};
    for (size_t i = 0; i < m_parameters.size(); ++i) {
        Parameter& p = m_parameters[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN result;
        if (p.isText && m_connection.m_textsAsUtf8) {
            const size_t bytes = p.bytes.size();
            p.indicator = p.isNull ? SQL_NULL_DATA : static_cast<SQLLEN>(bytes);
            result = SQLBindParameter(m_handle, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                      std::max<SQLULEN>(bytes, 1), 0, p.bytes.data(),
                                      static_cast<SQLLEN>(bytes),
                                      reinterpret_cast<SQLLEN*>(&p.indicator));
        } else if (p.isText) {
            p.indicator =
                p.isNull ? SQL_NULL_DATA : static_cast<SQLLEN>(p.text.size() * sizeof(SQLWCHAR));
            const SQLPOINTER data = p.text.empty() ? static_cast<SQLPOINTER>(empty)
                                                   : static_cast<SQLPOINTER>(p.text.data());
            result = SQLBindParameter(m_handle, number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                      std::max<SQLULEN>(p.text.size(), 1), 0, data,
                                      static_cast<SQLLEN>(p.text.size() * sizeof(SQLWCHAR)),
                                      reinterpret_cast<SQLLEN*>(&p.indicator));
        } else {
            p.indicator = p.isNull ? SQL_NULL_DATA : 0;
            result = SQLBindParameter(m_handle, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT,
                                      0, 0, &p.integer, 0, reinterpret_cast<SQLLEN*>(&p.indicator));
        }
        if (!m_connection.Check(result, SQL_HANDLE_STMT, m_handle)) return false;
    }
    return true;
}

void OdbcConnection::Cancel() {
    const std::lock_guard<std::mutex> guard(m_runningLock);
    if (m_running) SQLCancel(m_running);
}

template <class Call>
short OdbcStatement::WhileRunning(Call call) {
    {
        const std::lock_guard<std::mutex> guard(m_connection.m_runningLock);
        m_connection.m_running = m_handle;
    }
    const SQLRETURN result = call();
    const std::lock_guard<std::mutex> guard(m_connection.m_runningLock);
    m_connection.m_running = nullptr;
    return result;
}

bool OdbcStatement::Execute() {
    return BindParameters() &&
           m_connection.Check(WhileRunning([this] { return SQLExecute(m_handle); }),
                              SQL_HANDLE_STMT, m_handle);
}

bool OdbcStatement::Fetch(bool& row) {
    const SQLRETURN result = WhileRunning([this] { return SQLFetch(m_handle); });
    row = Succeeded(result);
    if (result == SQL_NO_DATA) return CloseCursor();
    return m_connection.Check(result, SQL_HANDLE_STMT, m_handle);
}

bool OdbcStatement::CloseCursor() {
    return m_connection.Check(SQLFreeStmt(m_handle, SQL_CLOSE), SQL_HANDLE_STMT, m_handle);
}

// A text in pieces of the buffer's size: a piece that did not fit ends with SQL_SUCCESS_WITH_INFO
// and the buffer full but for its terminator. Null for NULL, with `ok` false for a failure.
template <class Unit>
std::optional<std::basic_string<Unit>> OdbcStatement::Pieces(int column, short type, bool& ok) {
    std::basic_string<Unit> text;
    Unit buffer[512];
    const size_t capacity = sizeof buffer / sizeof *buffer - 1;
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN result = SQLGetData(m_handle, static_cast<SQLUSMALLINT>(column), type,
                                            buffer, sizeof buffer, &length);
        if (result == SQL_NO_DATA) break;
        if (!m_connection.Check(result, SQL_HANDLE_STMT, m_handle)) {
            ok = false;
            return std::nullopt;
        }
        if (length == SQL_NULL_DATA) return std::nullopt;
        const size_t units =
            length == SQL_NO_TOTAL || static_cast<size_t>(length) / sizeof(Unit) > capacity
                ? capacity
                : static_cast<size_t>(length) / sizeof(Unit);
        text.append(buffer, buffer + units);
        if (result == SQL_SUCCESS) break;  // with info: more of it follows
    }
    return text;
}

std::optional<std::string> OdbcStatement::Text(int column, bool& ok) {
    if (m_connection.m_textsAsUtf8) return Pieces<char>(column, SQL_C_CHAR, ok);
    const std::optional<std::u16string> wide = Pieces<char16_t>(column, SQL_C_WCHAR, ok);
    return wide ? std::optional<std::string>(Utf8FromUtf16(*wide)) : std::nullopt;
}

std::optional<int64_t> OdbcStatement::Integer(int column, bool& ok) {
    int64_t value = 0;
    SQLLEN length = 0;
    const SQLRETURN result = SQLGetData(m_handle, static_cast<SQLUSMALLINT>(column), SQL_C_SBIGINT,
                                        &value, sizeof value, &length);
    if (!m_connection.Check(result, SQL_HANDLE_STMT, m_handle)) {
        ok = false;
        return std::nullopt;
    }
    if (length == SQL_NULL_DATA) return std::nullopt;
    return value;
}
