#include "site/site_database.h"

#include <algorithm>
#include <set>

#include "measurement/measurement_identity.h"
#include "measurement/time_text.h"
#include "measurement/verdicts.h"
#include "site/hourly_counts.h"
#include "site/odbc.h"
#include "site/sha256.h"
#include "text/utf16_text.h"

namespace {

constexpr char kProbe[] = "SELECT COUNT(*) FROM ombrix_measurements WHERE 1 = 0";
constexpr char kProbeVersion2[] =
    "SELECT COUNT(identity_hash) FROM ombrix_measurements WHERE 1 = 0";
// A measurement of the outer query with an action on the site.
constexpr char kHasAction[] =
    "EXISTS (SELECT 1 FROM ombrix_actions a WHERE a.identity_hash = "
    "ombrix_measurements.identity_hash)";

// The columns an insert gives, the identity's first, the two times second and fourteenth.
constexpr char kInsertColumns[] =
    " measured_at, user_no, user_name, id1, id2, standard_no, standard_name, safety_index, "
    "danger_index, value, verdict, source, archived_at, pc, windows_user) VALUES ";
constexpr size_t kInsertParameters = 16;
// The columns ReadRow reads, the row's key of a page after them.
constexpr char kReadColumns[] =
    "SELECT measured_at, user_no, user_name, id1, id2, standard_no, standard_name, "
    "safety_index, danger_index, value, verdict, source, archived_at, ";
constexpr int kReadKeyColumn = 14, kReadIdentityColumn = 15;
constexpr size_t kLongText = 255;  // source, pc, windows_user

// Rows an insert takes at once: 16 values a row keep a statement under SQL Server's 2100
// parameters, and one round trip carries a hundred rows.
constexpr size_t kRowsPerStatement = 100;
// Identities a look-up takes at once: few enough that a server looks each up by the unique key
// rather than scanning the table (PostgreSQL scans, for two thousand).
constexpr size_t kKeysPerLookup = 100;
// Why a cancelled query failed, whatever the driver said.
constexpr char kCancelled[] = "cancelled";
// Why nothing can be pushed where the platform gives no SHA-256.
constexpr char kNoSha256[] = "the system's SHA-256 (CNG) cannot be used";
// Another PC storing the same rows at the same moment: the batch runs again, as often as this.
constexpr int kAttempts = 8;

std::optional<int64_t> Wide(const std::optional<int>& value) {
    return value ? std::optional<int64_t>(*value) : std::nullopt;
}

std::optional<std::string> TextOrNull(const std::string& text, size_t maxUnits = kLongText) {
    if (text.empty()) return std::nullopt;
    const std::u16string wide = Utf16FromUtf8(text);
    if (wide.size() <= maxUnits) return text;
    size_t cut = maxUnits;
    if (wide[cut - 1] >= 0xD800 && wide[cut - 1] <= 0xDBFF) --cut;  // not half a character
    return Utf8FromUtf16(wide.substr(0, cut));
}

// "(?, ?, ...), (?, ...)": `rows` groups of `each` markers, the time's marker where `isTime`
// says so.
std::string Markers(size_t rows, size_t each, const std::string& timeMarker = "?",
                    bool (*isTime)(size_t) = nullptr) {
    std::string group = "(";
    for (size_t i = 0; i < each; ++i)
        group += (i ? ", " : "") + (isTime && isTime(i) ? timeMarker : std::string("?"));
    group += ")";
    std::string all;
    for (size_t i = 0; i < rows; ++i) all += (i ? ", " : "") + group;
    return all;
}

bool IsInsertedTime(size_t parameter) { return parameter == 1 || parameter == 13; }

// An action's columns an insert gives, its time the fourth.
constexpr char kActionInsert[] =
    "INSERT INTO ombrix_actions (identity_hash, action_text, action_by, action_at, pc) VALUES ";
constexpr size_t kActionParameters = 5;
bool IsActionTime(size_t parameter) { return parameter == 3; }

// Who recorded an action, as the table keeps it: never NULL, which no unique key compares.
std::string ActionBy(const CorrectiveAction& action) { return TextOrNull(action.by).value_or(""); }

// What tells versions apart on the site (ombrix_actions_version), as Found joins its columns.
std::string VersionKey(const std::string& hash, const std::string& at, const std::string& by) {
    return hash + "|" + at + "|" + by;
}

// The results that ask for an action, as the site keeps their verdicts.
const std::vector<std::string>& NeedingVerdicts() {
    static const std::vector<std::string> texts = {VerdictText(Verdict::Caution),
                                                   VerdictText(Verdict::Contaminated)};
    return texts;
}
constexpr char kNeedsAction[] = "verdict IN (?, ?)";

std::optional<int64_t> Highest(const std::optional<int64_t>& a, const std::optional<int64_t>& b) {
    if (!a) return b;
    return b ? std::max(*a, *b) : a;
}

Verdict VerdictOfText(const std::optional<std::string>& text) {
    for (Verdict verdict : {Verdict::Safe, Verdict::Caution, Verdict::Contaminated})
        if (text && *text == VerdictText(verdict)) return verdict;
    return Verdict::None;
}

// The filter's conditions and the values they take, in the order of their markers.
struct SiteWhere {
    std::string sql;
    std::vector<std::optional<std::string>> values;

    // `open`: the condition of an open result, for a filter of open results only; `time` and
    // `standard` the columns of the table asked (the rows', or the hourly counts').
    SiteWhere(const SiteFilter& filter, const std::string& timeMarker, const std::string& open,
              const std::string& time = "measured_at",
              const std::string& standard = "COALESCE(standard_name, '')") {
        const ArchiveFilter& h = filter.history;
        std::vector<std::string> terms;
        if (h.from) Add(terms, time + " >= " + timeMarker, TimeText(*h.from));
        if (h.until) Add(terms, time + " < " + timeMarker, TimeText(*h.until));
        if (h.standard) Add(terms, standard + " = ?", *h.standard);
        if (h.user) Add(terms, "COALESCE(user_name, '') = ?", *h.user);
        if (filter.pc) Add(terms, "pc = ?", *filter.pc);
        if ((h.verdicts & ALL_VERDICTS) != ALL_VERDICTS) {
            std::string in;
            for (Verdict v :
                 {Verdict::Safe, Verdict::Caution, Verdict::Contaminated, Verdict::None})
                if (h.verdicts & VerdictBit(v)) {
                    in += in.empty() ? "?" : ", ?";
                    values.push_back(std::string(VerdictText(v)));
                }
            terms.push_back(in.empty() ? "1 = 0" : "verdict IN (" + in + ")");
        }
        if (h.openOnly) {
            terms.push_back(open);
            values.insert(values.end(), NeedingVerdicts().begin(), NeedingVerdicts().end());
        }
        for (size_t i = 0; i < terms.size(); ++i) sql += (i ? " AND " : " WHERE ") + terms[i];
    }

    void Bind(OdbcStatement& statement) const {
        for (size_t i = 0; i < values.size(); ++i) statement.SetText(i + 1, values[i]);
    }

private:
    void Add(std::vector<std::string>& terms, const std::string& term, const std::string& value) {
        terms.push_back(term);
        values.push_back(value);
    }
};

// `query` (its conditions last) of the results that ask for an action only.
std::string NeedingAction(const std::string& query) {
    return query + (query.find(" WHERE ") == std::string::npos ? " WHERE " : " AND ") +
           kNeedsAction;
}

// The values of `where`'s markers, then those of the results that ask for an action.
std::vector<std::optional<std::string>> NeedingValues(const SiteWhere& where) {
    std::vector<std::optional<std::string>> values = where.values;
    values.insert(values.end(), NeedingVerdicts().begin(), NeedingVerdicts().end());
    return values;
}

int64_t HourBefore(int64_t seconds) {
    return seconds - ((seconds % SECONDS_PER_HOUR) + SECONDS_PER_HOUR) % SECONDS_PER_HOUR;
}

// A filter's period split at whole hours: the hours within it, which the hourly counts count
// (none when it holds no whole hour), and the seconds before the first of them and after the
// last, which only the rows can.
struct HourSplit {
    std::optional<SiteFilter> hours;
    std::vector<SiteFilter> rest;
};

HourSplit SplitAtHours(const SiteFilter& filter) {
    const ArchiveFilter& h = filter.history;
    HourSplit split;
    SiteFilter hours = filter;
    if (h.from) hours.history.from = HourBefore(*h.from + SECONDS_PER_HOUR - 1);
    if (h.until) hours.history.until = HourBefore(*h.until);
    if (hours.history.from && hours.history.until && *hours.history.from >= *hours.history.until) {
        split.rest.push_back(filter);
        return split;
    }
    if (h.from && *hours.history.from > *h.from) {
        split.rest.push_back(filter);
        split.rest.back().history.until = hours.history.from;
    }
    if (h.until && *h.until > *hours.history.until) {
        split.rest.push_back(filter);
        split.rest.back().history.from = hours.history.until;
    }
    split.hours = std::move(hours);
    return split;
}

bool ReadRow(OdbcStatement& s, Measurement& m) {
    bool ok = true;
    m.measuredAt = s.Text(1, ok).value_or("");
    const auto number = [&](int column) {
        const std::optional<int64_t> value = s.Integer(column, ok);
        return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
    };
    m.userNo = number(2);
    m.userName = s.Text(3, ok).value_or("");
    m.id1 = s.Integer(4, ok);
    m.id2 = s.Integer(5, ok);
    m.standardNo = number(6);
    m.standardName = s.Text(7, ok).value_or("");
    m.safetyIndex = s.Integer(8, ok);
    m.dangerIndex = s.Integer(9, ok);
    m.value = number(10).value_or(0);
    m.verdict = VerdictOfText(s.Text(11, ok));
    m.source = s.Text(12, ok).value_or("");
    m.archivedAt = s.Text(13, ok).value_or("");
    return ok;
}

}  // namespace

std::string SiteIdentityKey(const Measurement& row) { return MeasurementIdentity(row); }

std::string SiteIdentityHash(const Measurement& row) { return Sha256Hex(SiteIdentityKey(row)); }

SiteDatabase::SiteDatabase(std::unique_ptr<OdbcConnection> connection)
    : m_connection(std::move(connection)) {}

// The statements go before the connection they belong to: declared after it.
SiteDatabase::~SiteDatabase() = default;

std::unique_ptr<SiteDatabase> SiteDatabase::Open(const std::string& connection,
                                                 SiteStatus& status) {
    status = {};
    auto odbc = OdbcConnection::Connect(connection, SITE_TIMEOUT_SECONDS, status.diagnostic);
    if (!odbc) {
        status.kind = SiteStatus::Unreachable;
        return nullptr;
    }
    std::unique_ptr<SiteDatabase> site(new SiteDatabase(std::move(odbc)));
    site->m_engine = EngineOfDbmsName(site->m_connection->DbmsName());
    site->m_connection->SetTextsAsUtf8(site->m_engine == SiteEngine::MariaDb);
    site->m_dialect = &DialectOf(site->m_engine);
    // A server that will not have it (MySQL knows no exists_to_in) works on as it is.
    if (site->m_dialect->session) site->m_connection->Execute(site->m_dialect->session);
    if (!site->EnsureTable(status)) return nullptr;
    return site;
}

SiteStatus SiteDatabase::Refused() const {
    return m_cancelled ? Cancelled()
                       : SiteStatus{SiteStatus::Refused, m_connection->LastDiagnostic()};
}

SiteStatus SiteDatabase::Cancelled() const { return {SiteStatus::Refused, kCancelled}; }

void SiteDatabase::Cancel() {
    m_cancelled = true;
    m_connection->Cancel();
}

bool SiteDatabase::Recognised() {
    if (!m_connection->Execute(kProbe)) return false;
    m_version = m_connection->Execute(kProbeVersion2) ? 2 : 1;
    return true;
}

bool SiteDatabase::EnsureTable(SiteStatus& status) {
    if (Recognised()) return true;
    // Table and indexes in one transaction where the engine has them for its definitions
    // (PostgreSQL, SQL Server), so that another PC sees all or none. The counts first: where each
    // definition stands at once (MariaDB), a PC that finds the rows' table finds them too, and
    // never stores rows they do not count.
    std::optional<bool> counts;
    std::vector<std::string> statements;
    if (!LookFor(HourlyCountsThere(*m_dialect), counts) || !*counts)
        statements.push_back(CreateHourlyCounts(*m_dialect));
    for (std::string& statement : CreateTableV2(*m_dialect))
        statements.push_back(std::move(statement));
    bool made = m_connection->SetAutoCommit(false);
    for (const std::string& statement : statements) made = made && m_connection->Execute(statement);
    made = made && m_connection->EndTransaction(true);
    const std::string whyNot = m_connection->LastDiagnostic();
    if (!made) m_connection->EndTransaction(false);
    m_connection->SetAutoCommit(true);
    // Made by another PC since the first look: taken as it is.
    if (Recognised()) return true;
    status = {SiteStatus::Refused, whyNot + "; " + m_connection->LastDiagnostic()};
    return false;
}

const char* SiteDatabase::IdentityColumn() const {
    return m_version == 1 ? "identity_key" : "identity_hash";
}

std::string SiteDatabase::TimeMarkerOfTable() const {
    return m_version == 1 ? "?" : TimeMarker(*m_dialect);
}

OdbcStatement* SiteDatabase::Cached(std::map<size_t, std::unique_ptr<OdbcStatement>>& cache,
                                    size_t rows, const std::string& sql, size_t parameters) {
    std::unique_ptr<OdbcStatement>& statement = cache[rows];
    if (!statement) statement = m_connection->Prepare(sql, parameters);
    return statement.get();
}

bool SiteDatabase::FoundRows(std::map<size_t, std::unique_ptr<OdbcStatement>>& cache,
                             const std::string& select, int columns,
                             const std::vector<std::string>& keys,
                             const std::function<void(std::vector<std::string>& row)>& visit,
                             const char* after) {
    for (size_t first = 0; first < keys.size(); first += kKeysPerLookup) {
        const size_t count = std::min(kKeysPerLookup, keys.size() - first);
        OdbcStatement* lookup =
            Cached(cache, count, select + " IN " + Markers(1, count) + after, count);
        if (!lookup) return false;
        for (size_t i = 0; i < count; ++i) lookup->SetText(i + 1, keys[first + i]);
        if (!lookup->Execute()) return false;
        std::vector<std::string> row(columns);
        for (bool more = true, ok = true;;) {
            if (!lookup->Fetch(more)) return false;
            if (!more) break;
            for (int column = 1; column <= columns; ++column)
                row[column - 1] = lookup->Text(column, ok).value_or("");
            if (!ok) return false;
            visit(row);
        }
    }
    return true;
}

bool SiteDatabase::Found(std::map<size_t, std::unique_ptr<OdbcStatement>>& cache,
                         const std::string& select, int columns,
                         const std::vector<std::string>& keys, std::set<std::string>& found,
                         const char* after) {
    return FoundRows(
        cache, select, columns, keys,
        [&](std::vector<std::string>& row) {
            std::string joined;
            for (const std::string& column : row) joined += (joined.empty() ? "" : "|") + column;
            found.insert(joined);
        },
        after);
}

bool SiteDatabase::ExistingKeys(const std::vector<std::string>& keys, std::vector<bool>& existing) {
    std::set<std::string> found;
    if (!Found(m_selects,
               std::string("SELECT ") + IdentityColumn() + " FROM ombrix_measurements WHERE " +
                   IdentityColumn(),
               1, keys, found))
        return false;
    existing.clear();
    for (const std::string& key : keys) existing.push_back(found.count(key) > 0);
    return true;
}

bool SiteDatabase::Insert(const std::vector<const Measurement*>& rows,
                          const std::vector<const std::string*>& keys, const PcIdentity& from) {
    for (size_t first = 0; first < rows.size(); first += kRowsPerStatement) {
        const size_t count = std::min(kRowsPerStatement, rows.size() - first);
        OdbcStatement* insert =
            Cached(m_inserts, count,
                   std::string("INSERT INTO ombrix_measurements (") + IdentityColumn() + "," +
                       kInsertColumns +
                       Markers(count, kInsertParameters, TimeMarkerOfTable(), IsInsertedTime),
                   count * kInsertParameters);
        if (!insert) return false;
        for (size_t i = 0; i < count; ++i) {
            const Measurement& m = *rows[first + i];
            const size_t at = i * kInsertParameters;
            insert->SetText(at + 1, *keys[first + i]);
            insert->SetText(at + 2, m.measuredAt);
            insert->SetInteger(at + 3, Wide(m.userNo));
            insert->SetText(at + 4, TextOrNull(m.userName));
            insert->SetInteger(at + 5, m.id1);
            insert->SetInteger(at + 6, m.id2);
            insert->SetInteger(at + 7, Wide(m.standardNo));
            insert->SetText(at + 8, TextOrNull(m.standardName));
            insert->SetInteger(at + 9, m.safetyIndex);
            insert->SetInteger(at + 10, m.dangerIndex);
            insert->SetInteger(at + 11, m.value);
            insert->SetText(at + 12, std::string(VerdictText(m.verdict)));
            insert->SetText(at + 13, TextOrNull(m.source));
            insert->SetText(at + 14, TextOrNull(m.archivedAt));
            insert->SetText(at + 15, TextOrNull(from.pc));
            insert->SetText(at + 16, TextOrNull(from.user));
        }
        if (!insert->Execute()) return false;
    }
    return true;
}

bool SiteDatabase::StoreOnce(const Measurement* rows, size_t size, const PcIdentity& from,
                             bool lookUpFirst, PushCount& count) {
    std::vector<std::string> keys;
    keys.reserve(size);
    for (size_t i = 0; i < size; ++i)
        keys.push_back(m_version == 1 ? SiteIdentityKey(rows[i]) : SiteIdentityHash(rows[i]));
    std::vector<bool> existing(size, false);
    if (lookUpFirst && !ExistingKeys(keys, existing)) return false;
    std::vector<const Measurement*> fresh;
    std::vector<const std::string*> freshKeys;
    std::set<std::string> taken;  // a row twice in one batch is stored once
    for (size_t i = 0; i < size; ++i) {
        if (existing[i] || !taken.insert(keys[i]).second) continue;
        fresh.push_back(&rows[i]);
        freshKeys.push_back(&keys[i]);
    }
    if (!Insert(fresh, freshKeys, from) || !AddCounts(fresh, freshKeys) ||
        !m_connection->EndTransaction(true))
        return false;
    count.pushed += fresh.size();
    count.already += size - fresh.size();
    return true;
}

bool SiteDatabase::LookFor(const std::string& sql, std::optional<bool>& there) {
    size_t found = 0;
    if (!SumOf(sql, {}, found)) return false;
    there = found > 0;
    return true;
}

bool SiteDatabase::CountsTable() {
    bool keeps = false;
    return KeepsCounts(keeps) && keeps;
}

bool SiteDatabase::KeepsCounts(bool& keeps) {
    keeps = false;
    if (m_version != 2) return true;
    if (!m_countsTable.value_or(false) && !LookFor(HourlyCountsThere(*m_dialect), m_countsTable))
        return false;
    keeps = *m_countsTable;
    return true;
}

bool SiteDatabase::Answered(const std::vector<std::string>& hashes, std::set<std::string>& found) {
    if (!m_actionsTable.value_or(false) && !LookFor(ActionsThere(), m_actionsTable)) return false;
    return !*m_actionsTable ||
           Found(m_answeredSelects,
                 "SELECT DISTINCT identity_hash FROM ombrix_actions WHERE identity_hash", 1, hashes,
                 found);
}

bool SiteDatabase::AddCounts(const std::vector<const Measurement*>& rows,
                             const std::vector<const std::string*>& keys) {
    bool keeps = false;
    if (rows.empty() || !KeepsCounts(keeps)) return rows.empty();
    if (!keeps) return true;
    // A row may come after an action on it: pushed again after the server refused it.
    std::vector<std::string> hashes;
    for (const std::string* key : keys) hashes.push_back(*key);
    std::set<std::string> answered;
    if (!Answered(hashes, answered)) return false;
    std::vector<CountedRow> counted;
    counted.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        counted.push_back({rows[i], TextOrNull(rows[i]->standardName).value_or(""),
                           TextOrNull(rows[i]->source).value_or(""),
                           answered.count(hashes[i]) > 0});
    const std::vector<HourlyCount> counts = HourlyCountsOf(counted);
    for (size_t first = 0; first < counts.size(); first += kRowsPerStatement) {
        const size_t size = std::min(kRowsPerStatement, counts.size() - first);
        OdbcStatement* add = Cached(m_countInserts, size, AddHourlyCounts(*m_dialect, size),
                                    size * HOURLY_COUNT_PARAMETERS);
        if (!add) return false;
        for (size_t i = 0; i < size; ++i) {
            const HourlyCount& c = counts[first + i];
            const size_t at = i * HOURLY_COUNT_PARAMETERS;
            add->SetText(at + 1, c.hour);
            add->SetText(at + 2, c.standard);
            add->SetText(at + 3, c.verdict);
            add->SetText(at + 4, c.source);
            add->SetInteger(at + 5, c.measurements);
            add->SetInteger(at + 6, int64_t{c.minValue});
            add->SetInteger(at + 7, int64_t{c.maxValue});
            add->SetInteger(at + 8, c.valueSum);
            add->SetInteger(at + 9, c.safetyIndex);
            add->SetInteger(at + 10, c.dangerIndex);
            add->SetText(at + 11, c.firstAt);
            add->SetText(at + 12, c.lastAt);
            add->SetInteger(at + 13, c.answered);
        }
        if (!add->Execute()) return false;
    }
    return true;
}

bool SiteDatabase::LockCounts(const std::vector<std::string>& hashes,
                              std::map<std::string, HourKey>& measured) {
    std::set<HourKey> hours;  // in the key's order, as every PC takes the counts' locks
    if (!FoundRows(m_measuredSelects,
                   "SELECT identity_hash, measured_at, COALESCE(standard_name, ''), verdict, "
                   "COALESCE(source, '') FROM ombrix_measurements WHERE identity_hash",
                   5, hashes, [&](std::vector<std::string>& row) {
                       HourKey key{row[1].substr(0, 13) + ":00:00", row[2], row[3], row[4]};
                       hours.insert(key);
                       measured[row[0]] = std::move(key);
                   }))
        return false;
    if (!m_countsLock)
        m_countsLock = m_connection->Prepare(
            std::string("SELECT answered FROM ") + HOURLY_COUNTS_TABLE + m_dialect->lockHint +
                " WHERE hour_at = " + TimeMarker(*m_dialect) +
                " AND standard_name = ? AND verdict = ? AND source = ?" + m_dialect->forUpdate,
            4);
    if (!m_countsLock) return false;
    for (const HourKey& hour : hours) {
        BindHour(*m_countsLock, 1, hour);
        if (!m_countsLock->Execute()) return false;
        m_countsLock->CloseCursor();
    }
    return true;
}

void SiteDatabase::BindHour(OdbcStatement& statement, size_t first, const HourKey& hour) {
    statement.SetText(first, std::get<0>(hour));
    statement.SetText(first + 1, std::get<1>(hour));
    statement.SetText(first + 2, std::get<2>(hour));
    statement.SetText(first + 3, std::get<3>(hour));
}

bool SiteDatabase::AddAnswered(const std::vector<std::string>& hashes,
                               const std::map<std::string, HourKey>& measured) {
    std::map<HourKey, int64_t> added;
    for (const std::string& hash : hashes)
        if (const auto row = measured.find(hash); row != measured.end()) ++added[row->second];
    if (added.empty()) return true;
    if (!m_answeredUpdate)
        m_answeredUpdate = m_connection->Prepare(AddHourlyAnswered(*m_dialect), 5);
    if (!m_answeredUpdate) return false;
    for (const auto& [hour, count] : added) {
        m_answeredUpdate->SetInteger(1, count);
        BindHour(*m_answeredUpdate, 2, hour);
        if (!m_answeredUpdate->Execute()) return false;
    }
    return true;
}

SiteStatus SiteDatabase::StoreAttempts(const StoreRange& store, size_t first, size_t size,
                                       PushCount& count, SiteFault& fault) {
    // New rows are inserted at once; only when the server holds some of them already (a push
    // cut short, another PC's) is every identity looked up first.
    for (int attempt = 0;; ++attempt) {
        if (store(first, size, attempt > 0, count)) return {};
        const SiteStatus status = Refused();
        m_countsTable.reset();
        fault = FaultOf(m_engine, m_connection->LastState(), m_connection->LastNativeError());
        m_connection->EndTransaction(false);
        const bool again = fault == SiteFault::AlreadyThere || fault == SiteFault::TryAgain;
        if (attempt + 1 == kAttempts || !again) return status;
    }
}

SiteStatus SiteDatabase::StoreSplitting(const StoreRange& store, size_t first, size_t size,
                                        PushCount& count, std::vector<SiteRefusal>& refused) {
    SiteFault fault = SiteFault::Kept;
    const SiteStatus status = StoreAttempts(store, first, size, count, fault);
    if (status || fault != SiteFault::RowRefused) return status;
    if (size == 1) {
        refused.push_back({first, status.diagnostic});
        return {};
    }
    const size_t half = size / 2;
    if (const SiteStatus left = StoreSplitting(store, first, half, count, refused); !left)
        return left;
    return StoreSplitting(store, first + half, size - half, count, refused);
}

SiteStatus SiteDatabase::StoreBatch(const StoreRange& store, size_t size, PushCount& count,
                                    std::vector<SiteRefusal>& refused) {
    count = {};
    refused.clear();
    if (size == 0) return {};
    if (!m_connection->SetAutoCommit(false)) return Refused();
    SiteStatus status = StoreSplitting(store, 0, size, count, refused);
    m_connection->SetAutoCommit(true);
    if (status && refused.size() == size) {
        status = {SiteStatus::Refused, refused.front().reason};
        refused.clear();
    }
    return status;
}

SiteStatus SiteDatabase::Store(const std::vector<Measurement>& rows, const PcIdentity& from,
                               PushCount& count, std::vector<SiteRefusal>& refused) {
    if (!rows.empty() && m_version == 2 && Sha256Hex(std::string()).empty())
        return {SiteStatus::Refused, kNoSha256};
    return StoreBatch(
        [&](size_t first, size_t size, bool lookUpFirst, PushCount& stored) {
            return StoreOnce(&rows[first], size, from, lookUpFirst, stored);
        },
        rows.size(), count, refused);
}

bool SiteDatabase::ActionsTable() {
    if (!m_actionsTable) LookFor(ActionsThere(), m_actionsTable);
    return m_actionsTable.value_or(false);
}

std::string SiteDatabase::ActionsThere() const {
    return ColumnThere(*m_dialect, "ombrix_actions", "identity_hash");
}

bool SiteDatabase::EnsureActionsTable(SiteStatus& status) {
    if (ActionsTable()) return true;
    m_connection->Execute(CreateActionsTable(*m_dialect));
    const std::string whyNot = m_connection->LastDiagnostic();
    m_actionsTable.reset();
    // Made by another PC since the first look: taken as it is.
    if (ActionsTable()) return true;
    m_actionsTable.reset();  // looked at again at the next push
    status = {SiteStatus::Refused, whyNot};
    return false;
}

bool SiteDatabase::StoreActionsOnce(const SiteAction* versions, size_t size, const PcIdentity& from,
                                    bool lookUpFirst, PushCount& count) {
    std::vector<std::string> keys, hashes;
    for (size_t i = 0; i < size; ++i) {
        const SiteAction& v = versions[i];
        keys.push_back(VersionKey(v.identityHash, TimeText(v.action.at), ActionBy(v.action)));
        hashes.push_back(v.identityHash);
    }
    // Where the hourly counts are kept, the first action on a row makes it answered there: the
    // hour's count locked first, so that a second PC answering the same row at once waits and
    // then finds this one's action (read as committed since, whatever was read before).
    bool counting = false;
    std::map<std::string, HourKey> measured;
    if (!KeepsCounts(counting) || (counting && !LockCounts(hashes, measured))) return false;
    std::set<std::string> existing;
    if ((lookUpFirst || counting) &&
        !Found(m_actionSelects,
               "SELECT identity_hash, action_at, action_by FROM ombrix_actions WHERE identity_hash",
               3, hashes, existing, m_dialect->latestRead))
        return false;
    std::set<std::string> answeredBefore;
    for (const std::string& version : existing)
        answeredBefore.insert(version.substr(0, version.find('|')));
    std::vector<size_t> fresh;
    std::vector<std::string> answering;
    for (size_t i = 0; i < size; ++i) {
        if (!existing.insert(keys[i]).second) continue;  // a version twice: stored once
        fresh.push_back(i);
        if (answeredBefore.insert(hashes[i]).second) answering.push_back(hashes[i]);
    }
    for (size_t first = 0; first < fresh.size(); first += kRowsPerStatement) {
        const size_t rows = std::min(kRowsPerStatement, fresh.size() - first);
        OdbcStatement* insert = Cached(
            m_actionInserts, rows,
            kActionInsert + Markers(rows, kActionParameters, TimeMarker(*m_dialect), IsActionTime),
            rows * kActionParameters);
        if (!insert) return false;
        for (size_t i = 0; i < rows; ++i) {
            const SiteAction& v = versions[fresh[first + i]];
            const size_t at = i * kActionParameters;
            insert->SetText(at + 1, v.identityHash);
            insert->SetText(at + 2, v.action.text);  // never cut: refused when too long
            insert->SetText(at + 3, ActionBy(v.action));
            insert->SetText(at + 4, TimeText(v.action.at));
            insert->SetText(at + 5, TextOrNull(from.pc));
        }
        if (!insert->Execute()) return false;
    }
    if ((counting && !AddAnswered(answering, measured)) || !m_connection->EndTransaction(true))
        return false;
    count.pushed += fresh.size();
    count.already += size - fresh.size();
    return true;
}

SiteStatus SiteDatabase::StoreActions(const std::vector<SiteAction>& versions,
                                      const PcIdentity& from, PushCount& count,
                                      std::vector<SiteRefusal>& refused) {
    count = {};
    refused.clear();
    if (versions.empty()) return {};
    if (Sha256Hex(std::string()).empty()) return {SiteStatus::Refused, kNoSha256};
    SiteStatus status;
    if (!EnsureActionsTable(status)) return status;
    return StoreBatch(
        [&](size_t first, size_t size, bool lookUpFirst, PushCount& stored) {
            return StoreActionsOnce(&versions[first], size, from, lookUpFirst, stored);
        },
        versions.size(), count, refused);
}

bool SiteDatabase::KnowsActions() { return m_version == 2 && ActionsTable(); }

std::string SiteDatabase::OpenCondition(const SiteFilter& filter) {
    if (!filter.history.openOnly) return {};
    return KnowsActions() ? std::string(kNeedsAction) + " AND NOT " + kHasAction : kNeedsAction;
}

SiteStatus SiteDatabase::CountAnswered(const SiteFilter& filter, size_t& answered) {
    answered = 0;
    if (m_cancelled) return Cancelled();
    if (!KnowsActions()) return {};
    SiteFilter needing = filter;
    needing.history.openOnly = false;
    return ByHours(
        needing, true,
        [&](const SiteFilter& hours) {
            const SiteWhere where(hours, TimeMarker(*m_dialect), "", "hour_at", "standard_name");
            size_t more = 0;
            const SiteStatus status =
                SumOf(NeedingAction(std::string("SELECT SUM(answered) FROM ") +
                                    HOURLY_COUNTS_TABLE + where.sql),
                      NeedingValues(where), more);
            answered += more;
            return status;
        },
        [&](const SiteFilter& rows) {
            size_t more = 0;
            const SiteStatus status = AnsweredRows(rows, more);
            answered += more;
            return status;
        });
}

SiteStatus SiteDatabase::AnsweredRows(const SiteFilter& filter, size_t& answered) {
    const SiteWhere where(filter, TimeMarkerOfTable(), "");
    // IN a subquery, which the engines may run from the few actions to the rows by their unique
    // hash rather than through every row of the period.
    return SumOf(NeedingAction("SELECT COUNT(*) FROM ombrix_measurements" + where.sql) +
                     " AND identity_hash IN (SELECT identity_hash FROM ombrix_actions)",
                 NeedingValues(where), answered);
}

SiteStatus SiteDatabase::SumOf(const std::string& sql,
                               const std::vector<std::optional<std::string>>& values, size_t& sum) {
    sum = 0;
    const auto query = m_connection->Prepare(sql, values.size());
    if (!query) return Refused();
    for (size_t i = 0; i < values.size(); ++i) query->SetText(i + 1, values[i]);
    bool row = false, ok = true;
    if (!query->Execute() || !query->Fetch(row)) return Refused();
    if (row) {
        sum = static_cast<size_t>(query->Integer(1, ok).value_or(0));
        query->CloseCursor();
        if (!ok) return Refused();
    }
    return {};
}

SiteStatus SiteDatabase::LatestActions(const std::vector<std::string>& hashes,
                                       std::map<std::string, CorrectiveAction>& latest) {
    latest.clear();
    if (m_cancelled) return Cancelled();
    if (!ActionsTable()) return {};
    std::map<std::string, std::pair<int64_t, int64_t>> newest;  // by hash: its time and id
    for (size_t first = 0; first < hashes.size(); first += kKeysPerLookup) {
        const size_t count = std::min(kKeysPerLookup, hashes.size() - first);
        OdbcStatement* select = Cached(m_latestSelects, count,
                                       "SELECT identity_hash, action_text, action_by, action_at, "
                                       "id FROM ombrix_actions WHERE identity_hash IN " +
                                           Markers(1, count),
                                       count);
        if (!select) return Refused();
        for (size_t i = 0; i < count; ++i) select->SetText(i + 1, hashes[first + i]);
        if (!select->Execute()) return Refused();
        for (bool more = true, ok = true;;) {
            if (!select->Fetch(more)) return Refused();
            if (!more) break;
            const std::string hash = select->Text(1, ok).value_or("");
            CorrectiveAction action{select->Text(2, ok).value_or(""),
                                    select->Text(3, ok).value_or(""), 0};
            const auto at = SecondsFromTimeText(select->Text(4, ok).value_or(""));
            const int64_t id = select->Integer(5, ok).value_or(0);
            if (!ok) return Refused();
            action.at = at.value_or(0);
            const std::pair<int64_t, int64_t> order{action.at, id};
            auto [place, fresh] = newest.emplace(hash, order);
            if (!fresh && order < place->second) continue;
            place->second = order;
            latest[hash] = std::move(action);
        }
    }
    return {};
}

std::string SiteDatabase::MeasuredSeconds() const {
    const std::string time = m_version == 1
                                 ? std::string("CAST(measured_at AS ") + m_dialect->timestamp + ")"
                                 : std::string("measured_at");
    return SecondsOf(*m_dialect, time);
}

SiteStatus SiteDatabase::ForEach(const SiteFilter& filter,
                                 const std::function<bool(const Measurement&)>& visit,
                                 RowOrder order) {
    return ForEach(
        filter, [&](const Measurement& row, const std::string&) { return visit(row); }, order);
}

SiteStatus SiteDatabase::ForEach(const SiteFilter& filter, const SiteRowVisit& visit,
                                 RowOrder order) {
    if (m_cancelled) return Cancelled();
    const SiteWhere where(filter, TimeMarkerOfTable(), OpenCondition(filter));
    const bool newest = order == RowOrder::NewestFirst;
    const std::string key = RowKeyColumn(), direction = newest ? " DESC" : "";
    const std::string time = TimeMarkerOfTable(), beyond = newest ? " < " : " > ";
    const std::string head =
        kReadColumns + key + ", " + IdentityColumn() + " FROM ombrix_measurements" + where.sql;
    const std::string sort = " ORDER BY measured_at" + direction + ", " + key + direction + " " +
                             FirstRows(*m_dialect, SITE_ROWS_PER_PAGE);
    // Past the last row read: its time bounds the index's range, its key tells ties apart.
    const std::string after = (where.sql.empty() ? " WHERE " : " AND ") +
                              std::string("measured_at") + (newest ? " <= " : " >= ") + time +
                              " AND (measured_at" + beyond + time + " OR " + key + beyond + "?)";
    const size_t filtered = where.values.size();
    const auto firstPage = m_connection->Prepare(head + sort, filtered);
    std::unique_ptr<OdbcStatement> nextPage;
    if (!firstPage) return Refused();
    where.Bind(*firstPage);
    OdbcStatement* page = firstPage.get();
    Measurement row;
    std::string identity;
    std::optional<std::string> lastKey;
    for (bool ok = true;;) {
        if (!page->Execute()) return Refused();
        size_t rows = 0;
        for (bool more = true;; ++rows) {
            if (!page->Fetch(more)) return Refused();
            if (!more) break;
            if (!ReadRow(*page, row)) return Refused();
            lastKey = page->Text(kReadKeyColumn, ok);
            identity = page->Text(kReadIdentityColumn, ok).value_or("");
            if (!ok) return Refused();
            if (m_version == 1) identity = Sha256Hex(identity);
            if (!visit(row, identity)) return page->CloseCursor() ? SiteStatus{} : Refused();
        }
        if (m_cancelled) return Cancelled();
        if (rows < SITE_ROWS_PER_PAGE) return {};
        if (!nextPage) {
            nextPage = m_connection->Prepare(head + after + sort, filtered + 3);
            if (!nextPage) return Refused();
            where.Bind(*nextPage);
            page = nextPage.get();
        }
        page->SetText(filtered + 1, row.measuredAt);
        page->SetText(filtered + 2, row.measuredAt);
        if (m_version == 1)
            page->SetText(filtered + 3, lastKey);
        else
            page->SetInteger(filtered + 3, std::stoll(lastKey.value_or("0")));
    }
}

SiteStatus SiteDatabase::CountBuckets(const SiteFilter& filter, int64_t origin, int64_t width,
                                      std::vector<ChartBucket>& buckets) {
    buckets.clear();
    if (m_cancelled) return Cancelled();
    width = std::max<int64_t>(width, 1);
    CountedBuckets counted;
    const SiteStatus status = ByHours(
        filter, HoursFitBuckets(origin, width),
        [&](const SiteFilter& hours) { return CountHours(hours, origin, width, counted); },
        [&](const SiteFilter& rows) { return CountRows(rows, origin, width, counted); });
    if (!status) return status;
    for (auto& [at, bucket] : counted) buckets.push_back(std::move(bucket));
    return {};
}

SiteStatus SiteDatabase::ByHours(const SiteFilter& filter, bool hoursFit, const CountPart& hours,
                                 const CountPart& rows) {
    if (!hoursFit || !CountedByHours(filter)) return rows(filter);
    const HourSplit split = SplitAtHours(filter);
    SiteStatus status;
    if (split.hours) status = hours(*split.hours);
    for (const SiteFilter& rest : split.rest)
        if (status) status = rows(rest);
    return status;
}

bool SiteDatabase::CountedByHours(const SiteFilter& filter) {
    const ArchiveFilter& h = filter.history;
    return !filter.pc && !h.user && !h.openOnly && CountsTable();
}

SiteStatus SiteDatabase::CountRows(const SiteFilter& filter, int64_t origin, int64_t width,
                                   CountedBuckets& counted) {
    const SiteWhere where(filter, TimeMarkerOfTable(), OpenCondition(filter));
    const std::string seconds = MeasuredSeconds();
    // Counted per verdict and pair of indices too, so that each group is one verdict's and
    // the highest indices are found here.
    const std::string groups = "standard_name, verdict, safety_index, danger_index, " +
                               BucketOf(*m_dialect, seconds, origin, width);
    const auto select = m_connection->Prepare(
        "SELECT " + groups + ", COUNT(*), MIN(value), MAX(value), SUM(value), MIN(" + seconds +
            "), MAX(" + seconds + ") FROM ombrix_measurements" + where.sql + " GROUP BY " + groups,
        where.values.size());
    if (!select) return Refused();
    where.Bind(*select);
    return ReadCounts(*select, origin, width, counted);
}

SiteStatus SiteDatabase::CountHours(const SiteFilter& filter, int64_t origin, int64_t width,
                                    CountedBuckets& counted) {
    const SiteWhere where(filter, TimeMarker(*m_dialect), "", "hour_at", "standard_name");
    const std::string bucket =
        BucketOf(*m_dialect, SecondsOf(*m_dialect, "hour_at"), origin, width);
    // The same columns as CountRows's, each group's indices its highest.
    const auto select = m_connection->Prepare(
        "SELECT standard_name, verdict, MAX(safety_index), MAX(danger_index), " + bucket +
            ", SUM(measurements), MIN(min_value), MAX(max_value), SUM(value_sum), MIN(" +
            SecondsOf(*m_dialect, "first_at") + "), MAX(" + SecondsOf(*m_dialect, "last_at") +
            ") FROM " + HOURLY_COUNTS_TABLE + where.sql + " GROUP BY standard_name, verdict, " +
            bucket,
        where.values.size());
    if (!select) return Refused();
    where.Bind(*select);
    return ReadCounts(*select, origin, width, counted);
}

SiteStatus SiteDatabase::ReadCounts(OdbcStatement& select, int64_t origin, int64_t width,
                                    CountedBuckets& counted) {
    if (!select.Execute()) return Refused();
    for (bool more = true, ok = true;;) {
        if (!select.Fetch(more)) return Refused();
        if (!more) break;
        const auto number = [&](int column) { return select.Integer(column, ok).value_or(0); };
        const std::string standard = select.Text(1, ok).value_or("");
        const Verdict verdict = VerdictOfText(select.Text(2, ok));
        const std::optional<int64_t> safety = select.Integer(3, ok), danger = select.Integer(4, ok);
        const int64_t bucket = number(5);
        ChartSample sample;
        sample.count = number(6);
        sample.minValue = static_cast<int>(number(7));
        sample.maxValue = static_cast<int>(number(8));
        sample.valueSum = number(9);
        sample.from = number(10);
        sample.to = number(11);
        sample.verdicts.Of(verdict) = sample.count;
        if (!ok) return Refused();
        ChartBucket& merged = counted[{bucket, standard}];
        merged.start = origin + bucket * width;
        merged.standard = standard;
        MergeSample(merged.sample, sample);
        merged.safetyIndex = Highest(merged.safetyIndex, safety);
        merged.dangerIndex = Highest(merged.dangerIndex, danger);
    }
    return {};
}

SiteStatus SiteDatabase::Sources(const SiteFilter& filter, std::vector<std::string>& sources) {
    if (m_cancelled) return Cancelled();
    std::set<std::string> found;
    const SiteStatus status = ByHours(
        filter, true,
        [&](const SiteFilter& hours) {
            const SiteWhere where(hours, TimeMarker(*m_dialect), "", "hour_at", "standard_name");
            const auto select =
                m_connection->Prepare(std::string("SELECT source FROM ") + HOURLY_COUNTS_TABLE +
                                          where.sql + " GROUP BY source",
                                      where.values.size());
            if (!select) return Refused();
            where.Bind(*select);
            return ReadTexts(*select, found);
        },
        [&](const SiteFilter& rows) {
            std::vector<std::string> some;
            const SiteStatus read = Distinct(rows, "source", some);
            found.insert(some.begin(), some.end());
            return read;
        });
    sources.assign(found.begin(), found.end());
    return status;
}

SiteStatus SiteDatabase::Distinct(const SiteFilter& filter, const char* column,
                                  std::vector<std::string>& values) {
    values.clear();
    if (m_cancelled) return Cancelled();
    const SiteWhere where(filter, TimeMarkerOfTable(), OpenCondition(filter));
    // Grouped with a MIN of the time rather than DISTINCT: MariaDB then reads the period's values
    // from an index on (column, measured_at), a few rows each, instead of every row.
    const auto select = m_connection->Prepare(std::string("SELECT ") + column +
                                                  ", MIN(measured_at) FROM ombrix_measurements" +
                                                  where.sql + " GROUP BY " + column,
                                              where.values.size());
    if (!select) return Refused();
    where.Bind(*select);
    std::set<std::string> found;
    if (const SiteStatus status = ReadTexts(*select, found); !status) return status;
    values.assign(found.begin(), found.end());
    return {};
}

SiteStatus SiteDatabase::ReadTexts(OdbcStatement& select, std::set<std::string>& found) {
    if (!select.Execute()) return Refused();
    for (bool more = true, ok = true;;) {
        if (!select.Fetch(more)) return Refused();
        if (!more) break;
        found.insert(select.Text(1, ok).value_or(""));
        if (!ok) return Refused();
    }
    return {};
}

SiteStatus SiteDatabase::MeasuredSpan(const SiteFilter& filter, bool& any, int64_t& first,
                                      int64_t& last) {
    any = false;
    const SiteWhere where(filter, TimeMarkerOfTable(), OpenCondition(filter));
    const auto select = m_connection->Prepare(
        "SELECT MIN(measured_at), MAX(measured_at) FROM ombrix_measurements" + where.sql,
        where.values.size());
    if (!select) return Refused();
    where.Bind(*select);
    bool row = false, ok = true;
    if (!select->Execute() || !select->Fetch(row)) return Refused();
    if (row) {
        const std::optional<std::string> min = select->Text(1, ok), max = select->Text(2, ok);
        if (!ok) return Refused();
        const auto firstSeconds = min ? SecondsFromTimeText(*min) : std::nullopt;
        const auto lastSeconds = max ? SecondsFromTimeText(*max) : std::nullopt;
        any = firstSeconds && lastSeconds;
        first = firstSeconds.value_or(0);
        last = lastSeconds.value_or(0);
        select->CloseCursor();
    }
    return {};
}

std::string SiteDatabase::PlaceTerm(bool newestFirst) const {
    const std::string time = TimeMarkerOfTable(), beyond = newestFirst ? " < " : " > ";
    return std::string("measured_at") + (newestFirst ? " <= " : " >= ") + time +
           " AND (measured_at" + beyond + time + " OR " + RowKeyColumn() + beyond + "?)";
}

void SiteDatabase::BindPlace(OdbcStatement& statement, size_t before,
                             const SiteRowKey& place) const {
    statement.SetText(before + 1, place.measuredAt);
    statement.SetText(before + 2, place.measuredAt);
    if (m_version == 1)
        statement.SetText(before + 3, place.key);
    else
        statement.SetInteger(before + 3, std::stoll(place.key.empty() ? "0" : place.key));
}

SiteStatus SiteDatabase::ReadList(const SiteFilter& filter, const SiteListStart& start,
                                  size_t count, std::vector<SiteListRow>& rows) {
    rows.clear();
    if (m_cancelled) return Cancelled();
    if (count == 0) return {};
    const SiteWhere where(filter, TimeMarkerOfTable(), OpenCondition(filter));
    const bool newestFirst = !start.newer;
    const std::string key = RowKeyColumn(), direction = newestFirst ? " DESC" : "";
    std::string sql = kReadColumns + key + " FROM ombrix_measurements" + where.sql;
    if (start.after) sql += (where.sql.empty() ? " WHERE " : " AND ") + PlaceTerm(newestFirst);
    sql += " ORDER BY measured_at" + direction + ", " + key + direction + " " +
           RowsAfter(*m_dialect, start.skip, count);
    const size_t filtered = where.values.size();
    const auto select = m_connection->Prepare(sql, filtered + (start.after ? 3 : 0));
    if (!select) return Refused();
    where.Bind(*select);
    if (start.after) BindPlace(*select, filtered, *start.after);
    if (!select->Execute()) return Refused();
    for (bool more = true, ok = true;;) {
        if (!select->Fetch(more)) return Refused();
        if (!more) break;
        SiteListRow row;
        if (!ReadRow(*select, row.row)) return Refused();
        row.key = {row.row.measuredAt, select->Text(kReadKeyColumn, ok).value_or("")};
        if (!ok) return Refused();
        rows.push_back(std::move(row));
    }
    return {};
}

SiteStatus SiteDatabase::Names(const SiteFilter& filter, FilterChoices& names) {
    names = {};
    if (m_cancelled) return Cancelled();
    const SiteWhere where(filter, TimeMarkerOfTable(), OpenCondition(filter));
    // One pass: a few hundred pairs of names where two DISTINCTs would read the rows twice.
    const auto select =
        m_connection->Prepare("SELECT standard_name, user_name FROM ombrix_measurements" +
                                  where.sql + " GROUP BY standard_name, user_name",
                              where.values.size());
    if (!select) return Refused();
    where.Bind(*select);
    if (!select->Execute()) return Refused();
    std::set<std::string> standards, users;
    for (bool more = true, ok = true;;) {
        if (!select->Fetch(more)) return Refused();
        if (!more) break;
        if (const auto standard = select->Text(1, ok); standard && !standard->empty())
            standards.insert(*standard);
        if (const auto user = select->Text(2, ok); user && !user->empty()) users.insert(*user);
        if (!ok) return Refused();
    }
    names.standards.assign(standards.begin(), standards.end());
    names.users.assign(users.begin(), users.end());
    return {};
}
