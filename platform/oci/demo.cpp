// The demo database, made when the DEMO service's directory is first needed:
// Japanese sample data in every supported type, a view, synonyms, an
// index-organised table and a large table for scrolling.
#include "catalog.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oci {

namespace {

class Builder {
public:
    Builder(std::shared_ptr<Database> db, Env* env) : db_(std::move(db)), env_(env) {}

    bool logon(const char* user, const char* password) {
        OraError e, w;
        sess_ = oci::logon(db_, env_, user, password, OCI_CRED_RDBMS, 0, e, w);
        if (!sess_) std::fprintf(stderr, "oci demo: logon %s: ORA-%05d\n", user, e.code);
        return sess_ != nullptr;
    }
    void logoff() {
        if (sess_) {
            OraError e;
            sess_->commit(e);
        }
        sess_.reset();
    }
    // Runs Oracle SQL; false (and a note on stderr) when it fails.
    bool run(const std::string& sql) {
        Stmt st(env_);
        stmtPrepare(st, sql.data(), sql.size());
        OraError e;
        if (stmtExecute(st, *sess_, 1, false, e) < 0) {
            std::fprintf(stderr, "oci demo: ORA-%05d: %s\n  in: %s\n", e.code, e.text.c_str(), sql.c_str());
            ok_ = false;
            return false;
        }
        return true;
    }
    // Runs SQLite SQL directly on the session's connection.
    bool raw(const std::string& sql) {
        char* msg = nullptr;
        if (sqlite3_exec(sess_->conn, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
            std::fprintf(stderr, "oci demo: %s\n  in: %s\n", msg ? msg : "?", sql.c_str());
            ok_ = false;
        }
        sqlite3_free(msg);
        return ok_;
    }
    Session& session() { return *sess_; }
    bool ok() const { return ok_; }

private:
    std::shared_ptr<Database> db_;
    Env* env_;
    std::unique_ptr<Session> sess_;
    bool ok_ = true;
};

const char* kNames[] = {"山田 太郎",   "鈴木 花子", "髙橋 一郎", "田中 美咲", "渡辺 健太",
                        "伊藤 さくら", "中村 翔",   "小林 優子", "加藤 大輔", "吉田 真由美",
                        "山本 拓也",   "佐々木 彩", "山口 誠",   "松本 恵",   "井上 浩二",
                        "木村 奈々",   "林 修",     "斎藤 由美", "清水 亮",   "𠮷田 良子"};
const char* kDepts[] = {"営業部", "開発部", "総務部", "経理部", "企画部"};
const char* kNotes[] = {"東京都千代田区丸の内１－１－１",
                        "大阪府大阪市北区梅田２丁目",
                        "～波ダッシュを含む備考～",
                        "①丸数字と㈱記号",
                        "ﾊﾝｶｸｶﾀｶﾅのﾒﾓ",
                        "長い備考：日本語の文章がここに入ります。表示幅の確認に使います。",
                        "",
                        "髙島屋・德川・﨑"};

std::string q(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'') r += '\'';
        r += c;
    }
    return r + "'";
}

// The demo's contents version, kept as the catalogue's user_version: an older
// demo gets what later versions added, once.
constexpr int kDemoVersion = 3;

Env* demoEnv() {
    auto* env = new Env();
    env->codec.cp = env->ncodec.cp = 65001;
    env->charsetName = env->ncharsetName = "AL32UTF8";
    env->territory = "JAPAN";
    return env;
}

// Version 3: builds before it pointed DEMO_DIR at the temporary folder the
// demo was built in ("<folder>/<name>.new-<pid>/files"), gone once the demo
// took its place. Such a path, and only while it names no folder, is pointed
// at the demo's own files.
void repairDemoDirectory(sqlite3* catalog, const std::string& dir) {
    sqlite3_stmt* st = nullptr;
    std::string path;
    if (sqlite3_prepare_v2(catalog,
                           "SELECT directory_path FROM main.directories WHERE directory_name = 'DEMO_DIR'",
                           -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
        path = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    const std::string tail = "/files", lead = dir.substr(dir.rfind('/') + 1) + ".new-";
    if (path.size() <= tail.size() || path.compare(path.size() - tail.size(), tail.size(), tail) != 0) return;
    const std::string folder = path.substr(0, path.size() - tail.size());
    const std::string last = folder.substr(folder.rfind('/') + 1);
    if (last.compare(0, lead.size(), lead) != 0 || last.size() == lead.size() ||
        last.find_first_not_of("0123456789", lead.size()) != std::string::npos)
        return;
    struct stat info;
    if (::stat(folder.c_str(), &info) == 0) return;
    const std::string files = dir + tail;
    if (sqlite3_prepare_v2(
            catalog,
            "UPDATE main.directories SET directory_path = ?1 WHERE directory_name = 'DEMO_DIR' "
            "AND directory_path = ?2",
            -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, files.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
    }
    sqlite3_finalize(st);
}

// Version 2: a materialised view summing 社員 by department.
void addVersion2(Builder& b) {
    b.run("create materialized view 部署別給与_MV build immediate refresh complete on demand as "
          "select 部署, count(*) as 人数, sum(給与) as 給与合計 from 社員 group by 部署");
    b.run("comment on materialized view 部署別給与_MV is '部署別の人数と給与合計'");
}

int catalogVersion(sqlite3* catalog) {
    sqlite3_stmt* st = nullptr;
    int v = 0;
    if (sqlite3_prepare_v2(catalog, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return v;
}

void setCatalogVersion(sqlite3* catalog) {
    std::string sql = "PRAGMA user_version = " + std::to_string(kDemoVersion);
    sqlite3_exec(catalog, sql.c_str(), nullptr, nullptr, nullptr);
}

// Whether catalog.db's own file, in WAL mode, says the demo is at the latest
// version already. A WAL file's pages are newer than the database file's, and
// the version only grows: the file's value is never above the true one.
bool latestInFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char header[64];
    bool read = ::pread(fd, header, sizeof header, 0) == ssize_t(sizeof header);
    ::close(fd);
    if (!read || !walHeader(header)) return false;
    const long version = long(header[60]) << 24 | long(header[61]) << 16 | long(header[62]) << 8 | header[63];
    return version >= kDemoVersion;
}

} // namespace

void upgradeDemo(const std::string& dir) {
    if (latestInFile(dir + "/catalog.db")) return;
    sqlite3* catalog = nullptr;
    if (sqlite3_open_v2((dir + "/catalog.db").c_str(), &catalog, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(catalog);
        return;
    }
    sqlite3_busy_timeout(catalog, 5000);
    keepWalFiles(catalog, "main");
    int version = catalogVersion(catalog);
    if (version < 2) {
        auto db = std::make_shared<Database>();
        db->dir = dir;
        db->service = "DEMO";
        Env* env = demoEnv();
        {
            Builder b(db, env);
            if (b.logon("DEMO", "demo")) {
                addVersion2(b);
                b.logoff();
            }
        }
        delete env;
    }
    if (version < 3) repairDemoDirectory(catalog, dir);
    if (version < kDemoVersion) setCatalogVersion(catalog);
    sqlite3_close(catalog);
}

// dir: the folder the demo is built in, renamed to finalDir once it is whole;
// the BFILE directory names the folder its files will be in.
void buildDemo(sqlite3* catalog, const std::string& dir, const std::string& finalDir) {
    auto db = std::make_shared<Database>();
    db->dir = dir;
    db->service = "DEMO";
    Env* env = demoEnv();
    {
        Builder b(db, env);
        if (b.logon("SYSTEM", "manager")) {
            b.run("create user demo identified by demo");
            b.run("create user sales identified by sales");
            std::string files = dir + "/files";
            ::mkdir(files.c_str(), 0755);
            if (FILE* f = std::fopen((files + "/readme.txt").c_str(), "w")) {
                std::fputs("BFILE のサンプルです。\n", f);
                std::fclose(f);
            }
            b.raw("INSERT INTO main.directories VALUES ('SYS', 'DEMO_DIR', " + q(finalDir + "/files") + ")");
            b.raw("INSERT INTO main.objects(owner, object_name, object_type, created) VALUES ('SYS', "
                  "'DEMO_DIR', "
                  "'DIRECTORY', datetime('now','localtime'))");
            b.logoff();
        }
        if (b.logon("DEMO", "demo")) {
            // Employees: Japanese names, a primary key.
            b.run("create table 社員 (社員番号 number(6) primary key, 氏名 varchar2(40) not null, "
                  "フリガナ varchar2(80), 部署 varchar2(20), 入社日 date, 給与 number(10), 備考 "
                  "varchar2(200))");
            for (int i = 0; i < 20; ++i) {
                char sql[1024];
                std::snprintf(sql, sizeof sql,
                              "insert into 社員 values (%d, %s, NULL, %s, '20%02d-%02d-%02d', %d, %s)",
                              1001 + i, q(kNames[i]).c_str(), q(kDepts[i % 5]).c_str(), 5 + i % 18,
                              1 + i % 12, 1 + i % 28, 250000 + i * 12500, q(kNotes[i % 8]).c_str());
                b.run(sql);
            }
            b.run("comment on table 社員 is '社員マスタ'");
            b.run("comment on column 社員.社員番号 is '社員番号（主キー）'");
            b.run("comment on column 社員.氏名 is '氏名'");
            b.run("comment on column 社員.部署 is '所属部署'");
            b.run("comment on column 社員.入社日 is '入社年月日'");
            b.run("comment on column 社員.給与 is '月額給与（円）'");

            // Order lines: index-organised, two-column key.
            b.run("create table 受注明細 (受注番号 number(8), 明細番号 number(4), 商品名 varchar2(60) not "
                  "null, "
                  "数量 number(6), 単価 number(10,2), primary key (受注番号, 明細番号)) organization index");
            const char* goods[] = {"ノートＰＣ", "ﾏｳｽ", "液晶モニター２７型", "USBメモリ 64GB",
                                   "キーボード（日本語）"};
            for (int i = 0; i < 30; ++i) {
                char sql[512];
                std::snprintf(sql, sizeof sql, "insert into 受注明細 values (%d, %d, %s, %d, %d.%02d)",
                              5001 + i / 3, 1 + i % 3, q(goods[i % 5]).c_str(), 1 + i % 7, 980 + i * 1375,
                              i * 7 % 100);
                b.run(sql);
            }
            b.run("comment on table 受注明細 is '受注明細（索引構成表）'");
            b.run("comment on column 受注明細.受注番号 is '受注番号'");
            b.run("comment on column 受注明細.明細番号 is '明細行番号'");
            b.run("comment on column 受注明細.商品名 is '商品名'");

            // Every supported type.
            b.run(
                "create table ALL_TYPES (ID number(4) primary key, C_VARCHAR2 varchar2(40), "
                "C_VARCHAR2_CHAR varchar2(10 char), C_NVARCHAR2 nvarchar2(20), C_CHAR char(10), C_NCHAR "
                "nchar(5), "
                "C_NUMBER number, C_NUMBER_P number(10,2), C_INTEGER integer, C_FLOAT float(126), C_DATE "
                "date, "
                "C_TIMESTAMP timestamp(6), C_TIMESTAMP_TZ timestamp(6) with time zone, "
                "C_TIMESTAMP_LTZ timestamp(6) with local time zone, C_INTERVAL_YM interval year(2) to month, "
                "C_INTERVAL_DS interval day(2) to second(6), C_RAW raw(16), C_ROWID rowid, C_UROWID urowid, "
                "C_BINARY_FLOAT binary_float, C_BINARY_DOUBLE binary_double, C_CLOB clob, C_NCLOB nclob, "
                "C_BLOB blob, C_BFILE bfile, C_VIRTUAL varchar2(60) generated always as (C_VARCHAR2 || '様') "
                "virtual)");
            for (int i = 1; i <= 20; ++i) {
                bool nulls = i % 5 == 0;
                char sql[2048];
                std::string text = kNotes[i % 8];
                if (text.empty()) text = "空";
                std::snprintf(
                    sql, sizeof sql,
                    "insert into ALL_TYPES (ID, C_VARCHAR2, C_VARCHAR2_CHAR, C_NVARCHAR2, C_CHAR, C_NCHAR, "
                    "C_NUMBER, "
                    "C_NUMBER_P, C_INTEGER, C_FLOAT, C_DATE, C_TIMESTAMP, C_TIMESTAMP_TZ, C_TIMESTAMP_LTZ, "
                    "C_INTERVAL_YM, C_INTERVAL_DS, C_RAW, C_BINARY_FLOAT, C_BINARY_DOUBLE, C_CLOB, C_NCLOB, "
                    "C_BLOB, "
                    "C_BFILE) values (%d, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, "
                    "%s, %s, %s, "
                    "%s, %s, %s)",
                    i, nulls ? "NULL" : q(kNames[i - 1]).c_str(),
                    nulls ? "NULL" : q("ｶﾅ①～髙" + std::to_string(i)).c_str(),
                    nulls ? "NULL" : q("𠮷野家" + std::to_string(i)).c_str(), nulls ? "NULL" : "'ABC'",
                    nulls ? "NULL" : "'ｱｲｳ'", nulls ? "NULL" : (std::to_string(i * 1234567) + ".5").c_str(),
                    nulls ? "NULL" : (std::to_string(i * 100) + ".25").c_str(),
                    nulls ? "NULL" : std::to_string(-i).c_str(), nulls ? "NULL" : "0.5",
                    nulls ? "NULL" : ("'2024-04-" + std::to_string(10 + i) + " 09:30:00'").c_str(),
                    nulls ? "NULL" : ("'2024-04-" + std::to_string(10 + i) + " 09:30:00.123456'").c_str(),
                    nulls ? "NULL"
                          : ("'2024-04-" + std::to_string(10 + i) + " 09:30:00.123456 +09:00'").c_str(),
                    nulls ? "NULL" : ("'2024-04-" + std::to_string(10 + i) + " 09:30:00.000000'").c_str(),
                    nulls ? "NULL" : "'+01-02'", nulls ? "NULL" : "'+01 02:03:04.000000'",
                    nulls ? "NULL" : "'0102A0FF'", nulls ? "NULL" : "1.5", nulls ? "NULL" : "2.25",
                    i % 4 == 0 ? "empty_clob()"
                    : nulls    ? "NULL"
                               : q(text + "のCLOB本文").c_str(),
                    i % 4 == 0 ? "empty_clob()"
                    : nulls    ? "NULL"
                               : q("𠮷のNCLOB").c_str(),
                    i % 4 == 0 ? "empty_blob()"
                    : nulls    ? "NULL"
                               : "'48656C6C6F'",
                    nulls   ? "NULL"
                    : i % 2 ? "bfilename('DEMO_DIR', 'readme.txt')"
                            : "bfilename('DEMO_DIR', 'missing.txt')");
                b.run(sql);
            }
            b.run("comment on table ALL_TYPES is '全データ型のサンプル'");
            b.run("comment on column ALL_TYPES.ID is '識別子'");
            b.run("comment on column ALL_TYPES.C_CLOB is '文字ラージオブジェクト'");

            b.run("create table LONG_DATA (ID number(4) primary key, TEXT long)");
            b.run("insert into LONG_DATA values (1, '長いテキストの列（LONG型）')");
            b.run("comment on table LONG_DATA is 'LONG型のサンプル'");
            b.run("create table LONG_RAW_DATA (ID number(4) primary key, DATA long raw)");
            b.run("comment on table LONG_RAW_DATA is 'LONG RAW型のサンプル'");
            b.run("create table UNSUPPORTED_TYPE (ID number(4) primary key, LABEL mlslabel)");
            b.run("comment on table UNSUPPORTED_TYPE is '表示できないデータ型'");

            // A large table for scrolling.
            b.run(
                "create table BIG_TABLE (ID number(10) primary key, NAME varchar2(40), AMOUNT number(12,2), "
                "CREATED date, NOTE varchar2(200))");
            b.raw("INSERT INTO \"DEMO\".\"BIG_TABLE\" WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + "
                  "1 FROM n "
                  "WHERE i < 200000) SELECT i, '名前' || i, (i * 37 % 1000000) / 100.0, "
                  "datetime('2020-01-01', '+' || (i % 1500) || ' days', '+' || (i % 86400) || ' seconds'), "
                  "CASE i % 4 WHEN 0 THEN '大量データの' || i || '行目' WHEN 1 THEN 'スクロール確認用の備考' "
                  "WHEN 2 THEN NULL ELSE '～全角チルダ①' END FROM n");
            b.run("comment on table BIG_TABLE is '20万行の大きな表'");
            b.run("comment on column BIG_TABLE.ID is '連番'");
            b.run("comment on column BIG_TABLE.NAME is '名前'");
            b.run("comment on column BIG_TABLE.AMOUNT is '金額'");

            // A key-preserved view with an expression column, synonyms, an index, a sequence.
            b.run("create view 社員_V as select 社員番号, 氏名, 部署, 給与, 給与 * 12 as 年収 from 社員");
            b.run("comment on table 社員_V is '社員ビュー（年収付き）'");
            b.run("create synonym EMP for 社員");
            b.run("create public synonym DEMO_EMP for demo.社員");
            b.raw("CREATE INDEX \"DEMO\".\"BIG_TABLE_NAME_IX\" ON \"BIG_TABLE\"(\"NAME\")");
            b.raw("INSERT INTO main.indexes VALUES ('DEMO', 'BIG_TABLE_NAME_IX', 'DEMO', 'BIG_TABLE', "
                  "'NONUNIQUE', NULL)");
            b.raw("INSERT INTO main.ind_columns VALUES ('DEMO', 'BIG_TABLE_NAME_IX', 'DEMO', 'BIG_TABLE', "
                  "'NAME', 1)");
            b.raw("INSERT INTO main.objects(owner, object_name, object_type, created) VALUES ('DEMO', "
                  "'BIG_TABLE_NAME_IX', 'INDEX', datetime('now','localtime'))");
            b.raw("INSERT INTO main.sequences VALUES ('DEMO', '社員番号_SEQ', 1, 999999, 1, 1021)");
            b.raw("INSERT INTO main.objects(owner, object_name, object_type, created) VALUES ('DEMO', "
                  "'社員番号_SEQ', 'SEQUENCE', datetime('now','localtime'))");
            addVersion2(b);
            b.logoff();
        }
        if (b.logon("SALES", "sales")) {
            b.run("create table 顧客 (顧客番号 number(6) primary key, 顧客名 varchar2(60) not null, 住所 "
                  "varchar2(120))");
            b.run("insert into 顧客 values (1, '株式会社サンプル', '東京都港区')");
            b.run("insert into 顧客 values (2, 'ﾃｽﾄ商事㈱', '大阪府堺市')");
            b.run("comment on table 顧客 is '顧客マスタ'");
            b.run("comment on column 顧客.顧客名 is '顧客の名称'");
            b.run("create table 売上 (売上番号 number(8) primary key, 顧客番号 number(6), 金額 number(12), "
                  "売上日 date)");
            b.run("insert into 売上 values (1, 1, 150000, '2024-04-01')");
            b.run("comment on table 売上 is '売上実績'");
            b.run("create synonym 社員 for demo.社員");
            b.logoff();
        }
    }
    delete env;
    setCatalogVersion(catalog);
}

} // namespace oci
