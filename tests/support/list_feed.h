// Measurements handed to the archive from a list, for the tests that fill an archive.
#pragma once

#include <utility>
#include <vector>

#include "archive/archive.h"

// The rows in order; a row whose time is "stop" stops the feed there.
class ListFeed : public MeasurementFeed {
public:
    explicit ListFeed(std::vector<Measurement> rows) : m_rows(std::move(rows)) {}
    Step Next(Measurement& row) override {
        if (m_at == m_rows.size()) return End;
        if (m_rows[m_at].measuredAt == "stop") return Stop;
        row = m_rows[m_at++];
        return Row;
    }

private:
    std::vector<Measurement> m_rows;
    size_t m_at = 0;
};
