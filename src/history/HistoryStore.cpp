#include "history/HistoryStore.h"

#include "platform/Files.h"

#include <filesystem>
#include <iterator>
#include <random>
#include <sqlite3.h>

namespace vantrel {
namespace {

constexpr int kApplicationId = 0x56544C48; // "VTLH": a Vantrel service history
// Another program recording at the same moment holds the file only for one
// insert; waiting this long for it is never a radio's timing.
constexpr int kBusyWaitMs = 10000;
constexpr int kMaxSetAsideNames = 100;

// Step n brings the schema from version n to n + 1. Steps are only ever added.
constexpr const char* kMigrations[] = {
    // 1: the records.
    "CREATE TABLE operations ("
    " id INTEGER PRIMARY KEY,"
    " time TEXT NOT NULL, operation TEXT NOT NULL, front_end TEXT NOT NULL,"
    " port TEXT NOT NULL, device TEXT NOT NULL, rate INTEGER NOT NULL,"
    " model_number TEXT NOT NULL, serial_number TEXT NOT NULL, esn TEXT NOT NULL,"
    " software_before TEXT NOT NULL, software_after TEXT NOT NULL,"
    " codeplug_before TEXT NOT NULL, codeplug_after TEXT NOT NULL,"
    " outcome TEXT NOT NULL, result_id INTEGER NOT NULL, result_text TEXT NOT NULL, detail TEXT NOT NULL,"
    " duration_ms INTEGER NOT NULL, backup_file TEXT NOT NULL, program_version TEXT NOT NULL)",
    // 2: one radio's records are listed without reading the whole history.
    "CREATE INDEX operations_by_serial ON operations (serial_number, time)",
};
static_assert(std::size(kMigrations) == CHistoryStore::kSchemaVersion);

// The record's columns after id, in the order Bind and Read use.
constexpr const char* kColumns = "time, operation, front_end, port, device, rate, model_number, serial_number, esn,"
                                 " software_before, software_after, codeplug_before, codeplug_after,"
                                 " outcome, result_id, result_text, detail, duration_ms, backup_file, program_version";
constexpr int kColumnCount = 20;

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { m_rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepared() const { return m_rc == SQLITE_OK && m_stmt != nullptr; }
    int Code() const { return m_rc; }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return m_rc = sqlite3_step(m_stmt); }
    void Text(int index, const std::string& value)
    {
        sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    void Integer(int index, int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }
    std::string TextAt(int column)
    {
        const auto* text = sqlite3_column_text(m_stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)))
                    : std::string();
    }
    int64_t IntegerAt(int column) { return sqlite3_column_int64(m_stmt, column); }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

bool IsDamage(int rc)
{
    const int primary = rc & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

std::string Describe(sqlite3* db, int rc)
{
    std::string text = sqlite3_errstr(rc);
    if (db != nullptr && sqlite3_errcode(db) == rc) text = sqlite3_errmsg(db);
    return text;
}

// Runs a statement that returns at most one value; value is its first column.
int QueryValue(sqlite3* db, const std::string& sql, std::string& value)
{
    Statement statement(db, sql);
    if (!statement.Prepared()) return statement.Code();
    const int rc = statement.Step();
    if (rc == SQLITE_ROW) {
        value = statement.TextAt(0);
        return SQLITE_OK;
    }
    value.clear();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int Execute(sqlite3* db, const std::string& sql)
{
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

void BindRecord(Statement& s, const ServiceRecord& r)
{
    int i = 1;
    for (const std::string* text : {&r.time, &r.operation, &r.frontEnd, &r.port, &r.device})
        s.Text(i++, *text);
    s.Integer(i++, r.rate);
    for (const std::string* text : {&r.modelNumber, &r.serialNumber, &r.esn, &r.softwareBefore, &r.softwareAfter,
                                    &r.codeplugBefore, &r.codeplugAfter})
        s.Text(i++, *text);
    s.Text(i++, OutcomeName(r.outcome));
    s.Integer(i++, r.resultId);
    s.Text(i++, r.resultText);
    s.Text(i++, r.detail);
    s.Integer(i++, static_cast<int64_t>(r.durationMs));
    s.Text(i++, r.backupFile);
    s.Text(i++, r.programVersion);
}

ServiceRecord ReadRecord(Statement& s)
{
    ServiceRecord r;
    int i = 0;
    r.id = s.IntegerAt(i++);
    for (std::string* text : {&r.time, &r.operation, &r.frontEnd, &r.port, &r.device})
        *text = s.TextAt(i++);
    r.rate = static_cast<uint32_t>(s.IntegerAt(i++));
    for (std::string* text : {&r.modelNumber, &r.serialNumber, &r.esn, &r.softwareBefore, &r.softwareAfter,
                              &r.codeplugBefore, &r.codeplugAfter})
        *text = s.TextAt(i++);
    // A value this program did not write reads as a failure rather than a success.
    if (!OutcomeFromName(s.TextAt(i++), r.outcome)) r.outcome = ServiceOutcome::Failed;
    r.resultId = static_cast<uint32_t>(s.IntegerAt(i++));
    r.resultText = s.TextAt(i++);
    r.detail = s.TextAt(i++);
    r.durationMs = static_cast<uint64_t>(s.IntegerAt(i++));
    r.backupFile = s.TextAt(i++);
    r.programVersion = s.TextAt(i++);
    return r;
}

int SchemaVersion(sqlite3* db, int& version)
{
    std::string text;
    const int rc = QueryValue(db, "PRAGMA user_version", text);
    version = rc == SQLITE_OK ? std::atoi(text.c_str()) : 0;
    return rc;
}

// Brings the schema up to date, one step per transaction; another program
// doing the same at the same moment waits, then finds the step done.
int Migrate(sqlite3* db)
{
    for (;;) {
        int rc = Execute(db, "BEGIN IMMEDIATE");
        if (rc != SQLITE_OK) return rc;
        int version = 0;
        rc = SchemaVersion(db, version);
        if (rc == SQLITE_OK && version >= CHistoryStore::kSchemaVersion) return Execute(db, "COMMIT");
        if (rc == SQLITE_OK) rc = Execute(db, kMigrations[version]);
        if (rc == SQLITE_OK)
            rc = Execute(db, "PRAGMA user_version = " + std::to_string(version + 1) +
                                 "; PRAGMA application_id = " + std::to_string(kApplicationId));
        if (rc == SQLITE_OK) rc = Execute(db, "COMMIT");
        if (rc != SQLITE_OK) {
            Execute(db, "ROLLBACK");
            return rc;
        }
    }
}

} // namespace

CHistoryStore::CHistoryStore(std::string path) : m_path(std::move(path)) {}

CHistoryStore::~CHistoryStore()
{
    Close();
}

void CHistoryStore::Close()
{
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

namespace {

// A new history is made whole (schema, WAL mode) under a name of its own and
// then linked into place: programs that start at the same moment never meet a
// half-made file (changing the journal mode needs the file to themselves),
// and the one that comes second opens the first one's.
bool CreateHistoryFile(const std::string& path, std::string& error)
{
    std::error_code ec;
    if (std::filesystem::exists(PathFromUtf8(path), ec)) return true;
    const std::string made = path + ".new-" + std::to_string(std::random_device{}());
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(made.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::string mode;
    if (rc == SQLITE_OK) rc = QueryValue(db, "PRAGMA journal_mode = WAL", mode);
    if (rc == SQLITE_OK) rc = Migrate(db);
    if (rc != SQLITE_OK) error = Describe(db, rc);
    sqlite3_close_v2(db);
    if (rc == SQLITE_OK) {
        std::error_code linkError;
        std::filesystem::create_hard_link(PathFromUtf8(made), PathFromUtf8(path), linkError);
        if (linkError && !std::filesystem::exists(PathFromUtf8(path), ec)) error = linkError.message();
    }
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(PathFromUtf8(made + suffix), ec);
    return rc == SQLITE_OK && std::filesystem::exists(PathFromUtf8(path), ec);
}

} // namespace

CHistoryStore::OpenResult CHistoryStore::TryOpen(std::string& error)
{
    Close();
    if (!CreateHistoryFile(m_path, error)) return OpenResult::Failed;
    int rc = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        error = Describe(m_db, rc);
        return OpenResult::Failed;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyWaitMs);

    // Looked at before anything is changed: a file that is not ours, or one
    // of a newer program, is left exactly as it is.
    std::string check;
    std::string applicationId;
    std::string tables;
    rc = QueryValue(m_db, "PRAGMA quick_check", check);
    if (rc == SQLITE_OK) rc = QueryValue(m_db, "PRAGMA application_id", applicationId);
    if (rc == SQLITE_OK) rc = QueryValue(m_db, "SELECT count(*) FROM sqlite_master", tables);
    if (IsDamage(rc) || (rc == SQLITE_OK && check != "ok")) {
        error = rc == SQLITE_OK ? check : Describe(m_db, rc);
        return OpenResult::Damaged;
    }
    if (rc != SQLITE_OK) {
        error = Describe(m_db, rc);
        return OpenResult::Failed;
    }
    if (std::atoi(applicationId.c_str()) != kApplicationId && (applicationId != "0" || tables != "0")) {
        error = "the file is not a Vantrel service history";
        return OpenResult::Damaged;
    }
    int version = 0;
    SchemaVersion(m_db, version);
    if (version > kSchemaVersion) {
        error = "it was written by a newer Vantrel (schema " + std::to_string(version) + ")";
        return OpenResult::Failed;
    }
    std::string mode;
    rc = QueryValue(m_db, "PRAGMA journal_mode = WAL", mode);
    if (rc == SQLITE_OK) rc = Migrate(m_db);
    // Each record is on the disk when its insert returns.
    if (rc == SQLITE_OK) rc = Execute(m_db, "PRAGMA synchronous = FULL");
    if (rc != SQLITE_OK) {
        error = Describe(m_db, rc);
        return IsDamage(rc) ? OpenResult::Damaged : OpenResult::Failed;
    }
    return OpenResult::Ok;
}

bool CHistoryStore::SetAside(std::string& setAsidePath, std::string& error)
{
    Close();
    const std::string stem = m_path + ".damaged-" + FileNameTimestamp();
    std::error_code ec;
    for (int n = 1; n <= kMaxSetAsideNames; ++n) {
        const std::string aside = n == 1 ? stem : stem + "-" + std::to_string(n);
        if (std::filesystem::exists(PathFromUtf8(aside), ec)) continue;
        std::filesystem::rename(PathFromUtf8(m_path), PathFromUtf8(aside), ec);
        if (ec) {
            error = "it is damaged and could not be set aside: " + ec.message();
            return false;
        }
        // The journal belongs to the old file; the shared-memory index is rebuilt.
        if (std::filesystem::exists(PathFromUtf8(m_path + "-wal"), ec))
            std::filesystem::rename(PathFromUtf8(m_path + "-wal"), PathFromUtf8(aside + "-wal"), ec);
        std::filesystem::remove(PathFromUtf8(m_path + "-shm"), ec);
        setAsidePath = aside;
        return true;
    }
    error = "it is damaged and there is no free name to set it aside";
    return false;
}

bool CHistoryStore::Open(std::string& error, std::string& setAsidePath)
{
    setAsidePath.clear();
    if (m_path.empty()) {
        error = "there is no per-user data folder to keep it in";
        return false;
    }
    OpenResult result = TryOpen(error);
    if (result == OpenResult::Damaged) {
        if (!SetAside(setAsidePath, error)) return false;
        result = TryOpen(error);
    }
    if (result != OpenResult::Ok) Close();
    return result == OpenResult::Ok;
}

bool CHistoryStore::Append(ServiceRecord& record, std::string& error)
{
    if (m_db == nullptr) {
        error = "the history is not open";
        return false;
    }
    std::string values = "?";
    for (int i = 1; i < kColumnCount; ++i)
        values += ", ?";
    Statement insert(m_db, std::string("INSERT INTO operations (") + kColumns + ") VALUES (" + values + ")");
    if (!insert.Prepared()) {
        error = Describe(m_db, insert.Code());
        return false;
    }
    BindRecord(insert, record);
    const int rc = insert.Step();
    if (rc != SQLITE_DONE) {
        error = Describe(m_db, rc);
        return false;
    }
    record.id = sqlite3_last_insert_rowid(m_db);
    return true;
}

bool CHistoryStore::Query(const HistoryFilter& filter, std::vector<ServiceRecord>& out, std::string& error)
{
    out.clear();
    if (m_db == nullptr) {
        error = "the history is not open";
        return false;
    }
    Statement select(m_db, std::string("SELECT id, ") + kColumns +
                               " FROM operations WHERE (?1 = '' OR serial_number = ?1) AND (?2 = '' OR time >= ?2)"
                               " ORDER BY id");
    if (!select.Prepared()) {
        error = Describe(m_db, select.Code());
        return false;
    }
    select.Text(1, filter.serialNumber);
    select.Text(2, filter.sinceUtc);
    int rc = SQLITE_ROW;
    while ((rc = select.Step()) == SQLITE_ROW)
        out.push_back(ReadRecord(select));
    if (rc != SQLITE_DONE) {
        error = Describe(m_db, rc);
        return false;
    }
    return true;
}

bool ServiceHistoryBuiltIn()
{
    return true;
}

} // namespace vantrel
