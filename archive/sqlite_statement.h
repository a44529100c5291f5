// A prepared SQLite statement that finalizes itself, with the few calls the archive needs.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        m_result = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // SQLITE_OK when it was prepared.
    int Prepared() const { return m_result; }

    // Parameters count from 1. An absent value or an empty text binds NULL.
    void Bind(int at, int64_t value) { sqlite3_bind_int64(m_statement, at, value); }
    void Bind(int at, const std::optional<int64_t>& value) {
        if (value)
            Bind(at, *value);
        else
            sqlite3_bind_null(m_statement, at);
    }
    void BindText(int at, const std::string& text, bool emptyIsNull = true) {
        if (text.empty() && emptyIsNull)
            sqlite3_bind_null(m_statement, at);
        else
            sqlite3_bind_text(m_statement, at, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
    }

    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return sqlite3_step(m_statement); }
    void Reset() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

    int64_t Integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::optional<int64_t> OptionalInteger(int column) const {
        if (sqlite3_column_type(m_statement, column) == SQLITE_NULL) return std::nullopt;
        return Integer(column);
    }
    // NULL reads as the empty text.
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(m_statement, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<size_t>(sqlite3_column_bytes(m_statement, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_result;
};
