// The thin boundary to ODBC: a connection by connection string, statements with bound
// parameters, rows read cell by cell. Natively unixODBC, on Windows odbc32 (under Wine handing
// every call to the host's unixODBC). Texts cross it as UTF-16 (the wide calls), so that Hangul
// arrives whatever the PC's code page; everything here is UTF-8. Every diagnostic has the
// connection string's secrets masked before anyone can see it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class OdbcStatement;

class OdbcConnection {
public:
    // Null when no connection is made; `diagnostic` then says why.
    static std::unique_ptr<OdbcConnection> Connect(const std::string& connection,
                                                   int timeoutSeconds, std::string& diagnostic);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    bool Execute(const std::string& sql);
    // Off: every statement until EndTransaction belongs to one transaction.
    bool SetAutoCommit(bool on);
    bool EndTransaction(bool commit);
    // A statement of `parameters` markers (?), prepared once and run as often as needed.
    std::unique_ptr<OdbcStatement> Prepare(const std::string& sql, size_t parameters);

    // Where the connection arrived, as the driver names it (SQLGetInfo); empty where it says
    // nothing.
    struct Reach {
        std::string server, database, user;
    };
    Reach Reached();

    // The driver's words for the last failure, "[SQLSTATE] text", secrets masked.
    const std::string& LastDiagnostic() const { return m_diagnostic; }
    // The SQLSTATE of the last failure ("23505"), empty when none was given.
    const std::string& LastState() const { return m_state; }
    // The server's own number for the last failure (MariaDB's 1062), 0 when none was given.
    long LastNativeError() const { return m_nativeError; }
    // The server's product, as the driver names it ("PostgreSQL", "MariaDB").
    std::string DbmsName();
    // Texts as UTF-8 bytes (SQL_C_CHAR), parameters and columns, instead of UTF-16. MariaDB's
    // driver (3.1) walks a UTF-16 text by its own idea of where characters end: a unit whose low
    // byte is 0xD8 to 0xDB (the 동 of 홍길동, U+B3D9) it takes for the first half of a surrogate
    // pair, and it reads one unit past the text for each ("홍길동" stored as "홍길동\0"). Its
    // Unicode driver takes UTF-8 for narrow texts.
    void SetTextsAsUtf8(bool on) { m_textsAsUtf8 = on; }
    // From any thread: asks the server to stop the statement this connection is running
    // (SQLCancel), which then fails; nothing when none is running.
    void Cancel();

private:
    friend class OdbcStatement;
    struct Handles;
    OdbcConnection(std::unique_ptr<Handles> handles, std::vector<std::string> secrets);
    // False, with the diagnostic taken, for a result that is no success.
    bool Check(short result, short handleType, void* handle);

    std::unique_ptr<Handles> m_handles;
    std::vector<std::string> m_secrets;
    std::string m_diagnostic, m_state;
    long m_nativeError = 0;
    bool m_textsAsUtf8 = false;
    int m_timeoutSeconds = 0;
    // The statement being executed or fetched from, for Cancel: set and cleared under the lock,
    // so that it cannot be freed while cancelled.
    std::mutex m_runningLock;
    void* m_running = nullptr;
};

class OdbcStatement {
public:
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    // Parameters count from 1; absent values are NULL.
    void SetText(size_t at, const std::optional<std::string>& utf8);
    void SetInteger(size_t at, const std::optional<int64_t>& value);

    bool Execute();
    // True with `row` set, or false after a failure; the cursor closes at its end.
    bool Fetch(bool& row);
    bool CloseCursor();
    // Columns count from 1; NULL is nothing. `ok` turns false when the driver fails.
    std::optional<std::string> Text(int column, bool& ok);
    std::optional<int64_t> Integer(int column, bool& ok);

private:
    friend class OdbcConnection;
    struct Parameter {
        std::vector<uint16_t> text;  // UTF-16 code units, no terminator
        std::string bytes;           // or UTF-8, where the connection takes texts so
        int64_t integer = 0;
        bool isText = false, isNull = true;
        long long indicator = 0;
    };
    OdbcStatement(OdbcConnection& connection, void* handle, size_t parameters)
        : m_connection(connection), m_handle(handle), m_parameters(parameters) {}
    bool BindParameters();
    // The statement marked as running on its connection while `call` runs, for Cancel.
    template <class Call>
    short WhileRunning(Call call);
    template <class Unit>
    std::optional<std::basic_string<Unit>> Pieces(int column, short type, bool& ok);

    OdbcConnection& m_connection;
    void* m_handle;
    std::vector<Parameter> m_parameters;
};
