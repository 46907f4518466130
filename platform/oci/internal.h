// Inner types of the client library: handles, sessions and statements.
#pragma once

#include "oci_client.h"
#include "translate.h"

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#define OCI_EXPORT extern "C" __attribute__((visibility("default")))

namespace oci {

// ---- Errors ---------------------------------------------------------------

// One Oracle error: its number and the text after "ORA-nnnnn: ".
struct OraError {
    int code = 0;
    std::string text; // UTF-8
    int offset = -1;  // parse-error offset in the caller's bytes, -1 when none
    bool empty() const { return code == 0; }
};

// Oracle's message for a number, with %s filled from the arguments in order.
std::string oraMessage(int code);
OraError makeError(int code, const std::string& detail = std::string());
// "ORA-nnnnn: text\n" cut to size bytes (NUL included) at a whole character.
std::string formatError(const OraError& e);

// ---- Code pages -----------------------------------------------------------

// Client code pages: 65001 (UTF-8) or 932 (Windows Shift_JIS).
struct Codec {
    unsigned cp = 932;
    // Client bytes to UTF-8; map (when given) receives, for every UTF-8 byte
    // plus the end, the offset of the client byte it came from.
    bool toUtf8(const char* s, size_t n, std::string& out, std::vector<int>* map = nullptr) const;
    // UTF-8 to client bytes; characters without a mapping become '?'.
    void fromUtf8(const std::string& s, std::string& out) const;
    void fromUtf8(const char* s, size_t n, std::string& out) const;
    // UTF-8 to client bytes into out when they differ (text not plain ASCII in a
    // client that is not UTF-8); false, out untouched, when s reads as it is.
    bool toClient(const char* s, size_t n, std::string& out) const;
    // Length of the longest prefix of s within limit bytes that ends on a whole character.
    size_t wholeChars(const char* s, size_t n, size_t limit) const;
};
size_t utf8Prefix(const char* s, size_t n, size_t limit);
// Copies text into buf of size bytes, cut at a whole character, NUL-terminated.
void copyOut(const Codec& c, const std::string& clientText, char* buf, size_t size);

// ---- Handles --------------------------------------------------------------

constexpr uint32_t kMagic = 0x4F43494B;

struct Env;
struct Handle {
    uint32_t magic = kMagic;
    uint32_t type = 0;
    Env* env = nullptr;
    explicit Handle(uint32_t t, Env* e);
    virtual ~Handle();
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

// True when p is a live handle of that type (0 = any).
bool isHandle(const void* p, uint32_t type = 0);
template <class T> T* as(const void* p, uint32_t type) {
    return isHandle(p, type) ? static_cast<T*>(static_cast<Handle*>(const_cast<void*>(p))) : nullptr;
}

struct Env : Handle {
    Codec codec;  // API text
    Codec ncodec; // national-form values
    std::string charsetName;
    std::string ncharsetName;
    std::string territory; // from NLS_LANG, upper case
    std::vector<Handle*> children;
    std::mutex mutex;
    Env() : Handle(OCI_HTYPE_ENV, nullptr) { env = this; }
    ~Env() override;
};

struct ErrorH : Handle {
    OraError err;
    explicit ErrorH(Env* e) : Handle(OCI_HTYPE_ERROR, e) {}
};

struct Database;
struct Session;

struct ServerH : Handle {
    std::shared_ptr<Database> db;
    Session* session = nullptr; // the session begun over this server
    std::atomic<int> nonBlocking{0};
    explicit ServerH(Env* e) : Handle(OCI_HTYPE_SERVER, e) {}
};

struct SessionH : Handle {
    std::string user, password; // client bytes
    std::unique_ptr<Session> live;
    explicit SessionH(Env* e) : Handle(OCI_HTYPE_SESSION, e) {}
    ~SessionH() override;
};

struct SvcCtxH : Handle {
    ServerH* server = nullptr;
    SessionH* session = nullptr;
    bool internal = false; // made by olog: its environment goes at logoff
    OraError lastError7;   // the Oracle 7 calls' last error, whose text oerhms gives
    explicit SvcCtxH(Env* e) : Handle(OCI_HTYPE_SVCCTX, e) {}
    ~SvcCtxH() override;
};

struct Stmt;

struct BindH : Handle {
    Stmt* stmt = nullptr;
    std::string name; // upper case, without the colon
    void* value = nullptr;
    sb4 size = 0;
    ub2 dty = 0;
    sb2* ind = nullptr;
    ub2* alen = nullptr;
    ub1 form = SQLCS_IMPLICIT;
    explicit BindH(Env* e) : Handle(OCI_HTYPE_BIND, e) {}
};

struct DefineH : Handle {
    Stmt* stmt = nullptr;
    unsigned pos = 0;
    char* value = nullptr;
    sb4 size = 0;
    ub2 dty = 0;
    sb2* ind = nullptr;
    ub2* rlen = nullptr;
    ub2* rcode = nullptr;
    ub4 valueSkip = 0, indSkip = 2, lenSkip = 2, codeSkip = 2;
    ub1 form = SQLCS_IMPLICIT;
    explicit DefineH(Env* e) : Handle(OCI_HTYPE_DEFINE, e) {}
};

// A described select-list column.
struct Column {
    std::string name; // UTF-8
    ub2 type = SQLT_CHR;
    ub2 size = 0;
    sb2 precision = 0;
    sb2 scale = 0;
    ub1 nullable = 1;
    ub1 form = SQLCS_IMPLICIT;
};

// A declared column type as describe reports it.
enum class TypeClass { Text, Char, Number, Date, Raw, Other };
struct DeclType {
    TypeClass cls = TypeClass::Other;
    Column col;     // type, size, precision, scale, form
    int length = 0; // declared length (characters when charSemantics)
    bool charSemantics = false;
};

struct ParamH : Handle {
    Column col;
    std::string clientName;
    explicit ParamH(Env* e) : Handle(OCI_DTYPE_PARAM, e) {}
};

struct DescribeH : Handle {
    explicit DescribeH(Env* e) : Handle(OCI_HTYPE_DESCRIBE, e) {}
};

// A LOB locator: a snapshot of the value with what names it.
struct LobH : Handle {
    bool valid = false;
    bool temporary = false;
    ub2 lobType = SQLT_CLOB; // 112, 113 or 114
    ub1 form = SQLCS_IMPLICIT;
    std::string data; // CLOB: UTF-8; BLOB: bytes
    std::string dirName, fileName;
    bool opened = false;
    // The row a persistent locator names.
    bool hasRow = false;
    std::string owner, table, column;
    int64_t rowid = 0;
    // An unfinished piecewise write.
    bool writing = false;
    ub4 writeOffset = 1;
    std::string writeBuf;
    // An unfinished piecewise read: where it stands and ends, in the units
    // of the LOB's amounts (UTF-16 units of a CLOB, else bytes), and for a
    // CLOB the byte of its UTF-8 where it stands; and its session's break
    // count when it began: a break ends it, and the next read starts afresh.
    bool reading = false;
    size_t readPos = 0, readEnd = 0, readByte = 0;
    unsigned readBreaks = 0;
    explicit LobH(Env* e, uint32_t t) : Handle(t, e) {}
    void copyFrom(const LobH& o) {
        valid = o.valid;
        temporary = o.temporary;
        lobType = o.lobType;
        form = o.form;
        data = o.data;
        dirName = o.dirName;
        fileName = o.fileName;
        hasRow = o.hasRow;
        owner = o.owner;
        table = o.table;
        column = o.column;
        rowid = o.rowid;
        reading = writing = false;
    }
};
// Fills a locator from a fetched value (UTF-8 text or bytes; BFILE "BFILE:dir:file").
void fillLocator(LobH& l, ub2 type, ub1 form, const void* data, size_t n, bool null);

// ---- Databases and sessions -----------------------------------------------

struct Database {
    std::string dir;     // the database's directory
    std::string service; // upper case
    std::mutex mutex;    // guards creation
};

// Finds the service's database, creating it when its directory is missing.
std::shared_ptr<Database> attachService(const std::string& service, OraError& err);

// A logged-on session: its own SQLite connection over the catalogue and the schemas.
struct Session : Resolver {
    std::shared_ptr<Database> db;
    Env* env = nullptr;
    sqlite3* conn = nullptr;
    std::string user;   // the session user (UTF-8)
    std::string schema; // the current schema
    bool inTransaction = false;
    bool utf8Storage = false; // the connection keeps text as UTF-8
    std::vector<std::string> attached;
    std::map<std::string, int64_t> userIds;
    std::map<std::string, int64_t> currval; // sequence -> last NEXTVAL of this session
    sqlite3* sequenceConn = nullptr;        // sequences.db: NEXTVAL outlives a rollback
    bool lost = false;                      // the connection is gone (`lose_session`): every call gives 3114
    // NLS settings of the session.
    std::string dateFormat = "DD-MON-RR";
    std::string timestampFormat = "DD-MON-RR HH.MI.SSXFF AM";
    bool japaneseDates = false;
    std::string numericCharacters = ".,"; // decimal character, group separator
    std::string timestampTzFormat = "DD-MON-RR HH.MI.SSXFF AM TZR";
    int zoneMinutes = 0;   // TIME_ZONE as an offset
    bool zoneLocal = true; // TIME_ZONE is the process's offset
    int zone() const;      // the session's offset in minutes
    // Non-blocking calls (see nonblock.h).
    struct Worker;
    Worker* worker = nullptr;                // owned; stopped by stopWorker
    std::atomic<int>* nonBlocking = nullptr; // the server's attribute
    std::atomic<bool> breakRequested{false};
    std::atomic<unsigned> breaks{0}; // OCIBreak and obreak calls so far
    std::string currentEntry;
    bool currentQuery = false;
    int rowTicks = 0;
    bool pendingActive = false;
    const void* pendingKey = nullptr;
    std::string pendingEntry;
    std::atomic<bool> pendingDone{false};
    int pendingResult = 0;
    OraError pendingErr;
    void* pendingCursor = nullptr; // the Oracle 7 cursor of the pending call
    std::mutex doneMutex;
    std::condition_variable doneCv;
    // Column checks used by translated DML, by index.
    std::vector<ColumnCheck> checks;
    std::vector<DeclType> checkTypes; // each check's declared type, parsed
    std::map<std::string, int> checkIndex;
    // Temporary views made: true once seen outside a transaction (no rollback
    // can take them then).
    std::map<std::string, bool> tempViews;
    // The NLS parameters (NLS_SESSION_PARAMETERS, NLS_DATABASE_PARAMETERS).
    std::map<std::string, std::string> nlsSession, nlsDatabase;

    ~Session() override;
    bool open(OraError& err);
    // Runs SQL without results on the connection; false with err on failure.
    bool exec(const std::string& sql, OraError& err);
    bool beginWrite(bool nowait, OraError& err);
    bool commit(OraError& err);
    bool rollback(OraError& err);
    // SAVEPOINT and ROLLBACK TO SAVEPOINT (name as SQL text, quoted). A savepoint
    // takes no lock: one set before the transaction's first write is kept here
    // and set in SQLite when that write begins the transaction; a rollback to
    // it before then has nothing to undo, and after it ends the SQLite
    // transaction, its lock with it.
    bool savepoint(const std::string& name, OraError& err);
    bool rollbackTo(const std::string& name, OraError& err);
    std::vector<std::string> earlySavepoints;
    void attachAll();

    // Resolver
    bool findTable(const std::string& owner, const std::string& name, TableRef& out) override;
    bool columns(const TableRef& t, std::vector<TableColumn>& out) override;
    int checkFor(const TableRef& t, const TableColumn& c, bool update) override;
    bool userExists(const std::string& name) override;
};

// Logs on: user and password in UTF-8; credt 1 or 2; mode 0, 2 or 4. A warning
// (28002, 28011) leaves the session open and fills warn.
std::unique_ptr<Session> logon(std::shared_ptr<Database> db, Env* env, const std::string& user,
                               const std::string& password, ub4 credt, ub4 mode, OraError& err,
                               OraError& warn);

// Runs the user-administration statements; false when the text is not one.
bool runUserStatement(Session& s, const Translation& t, OraError& err);

// Maps SQLite's error of the connection (and our functions' errors) to an Oracle error.
OraError sqliteError(Session& s, int rc, const Translation* t, int outOffset);

// Keeps the WAL files of one of the connection's databases ("main", or an
// attached schema) in place when the last connection closes: they are
// checkpointed and emptied as before, but not deleted, so the next start
// opens them instead of making them anew.
void keepWalFiles(sqlite3* conn, const char* schema);
// Whether a database file's header (its first 20 bytes at least) says WAL
// mode: read and write versions 2. The mode is kept in the file.
inline bool walHeader(const unsigned char* header) {
    return header[18] == 2 && header[19] == 2;
}

// Registers the SQL functions on a connection.
void registerFunctions(Session& s);
// The session's connection to sequences.db, where NEXTVAL takes its numbers in
// transactions of its own (null when it cannot be opened).
sqlite3* sequenceDb(Session& s);
// Forgets the numbers taken from a sequence (dropped, or made again).
void forgetSequence(Session& s, const std::string& owner, const std::string& name);
void registerScalarFunctions(Session& s);
// Whether sql names the placeholder :name (upper case) outside literals and comments.
bool hasPlaceholder(const std::string& sql, const std::string& name);

// ---- Statements -----------------------------------------------------------

struct Stmt : Handle {
    std::string clientSql;         // caller's bytes
    std::string sql;               // UTF-8
    std::vector<int> toClient;     // UTF-8 offset -> client offset
    std::vector<BindH*> binds;     // owned
    std::vector<DefineH*> defines; // owned, by position - 1 (null where none)
    std::vector<ParamH*> params;   // owned
    Translation tr;
    bool translated = false;
    sqlite3_stmt* st = nullptr;
    Session* session = nullptr;
    SvcCtxH* svc = nullptr; // Oracle 7 cursors: the logon's service context
    bool oracle7 = false;   // executing a query fetches nothing
    bool executed = false;
    bool rowPending = false;  // st holds a stepped row not yet delivered
    bool finished = false;    // no more rows
    bool endReported = false; // Oracle 7: the end was returned once
    bool prepared = false;
    ub4 rowCount = 0;
    ub2 parseOffset = 0;
    std::vector<Column> cols;
    std::vector<int> colMap; // select-list position -> SQLite column
    int rowidCol = -1;       // the hidden row id column, -1 when none
    bool described = false;
    std::string scratchUtf8, scratchClient; // fetch buffers, kept to spare allocations
    // Text binds in UTF-8, one per parameter: SQLite reads them in place until
    // the next iteration binds again.
    std::vector<std::string> bindUtf8;
    // The bind of each parameter of st (null: none of that name), found once
    // per compiled statement and set of binds; binds only grow until the
    // statement text changes.
    std::vector<BindH*> paramBinds;
    const sqlite3_stmt* paramBindsFor = nullptr;
    size_t paramBindsCount = 0;
    // The DML text st was compiled from, and for which session.
    std::string preparedSql;
    Session* preparedSession = nullptr;
    explicit Stmt(Env* e) : Handle(OCI_HTYPE_STMT, e) {}
    ~Stmt() override;
    // Back to unexecuted; keepCompiled: st is only reset, for prepareSqlite to reuse.
    void reset(bool keepCompiled = false);
};

// Sets the statement's text (caller's bytes).
void stmtPrepare(Stmt& s, const char* text, size_t len);
// Executes: iters rows of DML, or the query (iters rows fetched into the defines).
// Returns 0, 1 (with info) or -1 with err; rows is the row count afterwards.
int stmtExecute(Stmt& s, Session& sess, ub4 iters, bool describeOnly, OraError& err);
// Fetches n rows into the defines: 0, 1 (truncation, info 24345), 100, -1.
int stmtFetch(Stmt& s, ub4 n, OraError& err, ub4* delivered = nullptr);
// Error offset in the caller's bytes for a UTF-8 offset of the statement.
int clientOffset(const Stmt& s, int utf8Offset);

// ---- Shared by the entry points --------------------------------------------

Env* makeEnv(); // from NLS_LANG / NLS_NCHAR; null for an unknown character set
void adopt(Env* env, Handle* h);
void disown(Handle* h);
sword setError(OCIError* errhp, const OraError& e);
// An armed control failure or a lost session for the entry point, recorded in
// the error handle; sess: the call's session when it knows one.
bool injected(const char* entry, OCIError* errhp, Session* sess = nullptr);
Session* liveSession(SvcCtxH* svc);
std::string clientText(const Env* env, const OraText* p, sb4 len);

// ---- Control --------------------------------------------------------------

// The failure armed for an entry point by the control, or 0.
int takeFailure(const char* entry);
// Whether a `lose_session` for the entry point fires now (its let-through calls spent).
bool takeLoss(const char* entry);
// 0, or the error of a call of sess made through entry: 3114 once the session is
// lost; 3113 when `lose_session` makes this call lose it (its transaction is
// rolled back then). sess may be null when the call knows no session.
int sessionLoss(const char* entry, Session* sess);
// The session of a statement: the one it ran in, or its cursor's logon (Oracle 7).
Session* stmtSession(Stmt* s);
// Failure armed for an array-DML iteration (0-based), or 0.
int iterationFailure(ub4 k);
// USER_UPDATABLE_COLUMNS' flag kind ('U', 'I', 'D') of a column as the
// control set it ("YES"/"NO"), else fallback.
std::string updatableOverride(const std::string& owner, const std::string& table, const std::string& column,
                              char kind, const std::string& fallback);
// The warning to give a user at logon (28002, 28011), or 0.
int userWarning(const std::string& user);
// The release text reported by the server.
std::string serverRelease();
// NLS_RDBMS_VERSION of the databases ("" = absent) and their character set.
std::string rdbmsVersion();
std::string dbCharset();
// Dictionary views and columns hidden by the control.
bool viewHidden(const std::string& view);
std::vector<std::string> hiddenColumns(const std::string& view);

} // namespace oci
