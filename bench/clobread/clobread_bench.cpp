// oci_read_clob_data of a 20 MB Japanese CLOB against a raw streaming
// OCILobRead loop converting each piece with oci_mb_to_wide into a
// std::u16string, both through the client stand-in. A timed program: prints
// the best of several runs of each and the peak heap beyond the filled text.
//
// The heap is measured by wrapping malloc and its relatives: live bytes and
// their peak, so "beyond the filled buffer" is the peak during a read minus
// what is live once the text is complete (the client's own memory included,
// the same for both).
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/common/bench_oracle.h"
#include "editor/clobread.h"
#include "editor/editdata.h"
#include "oracle/oci_exec.h"
#include "oracle/ora_dataset.h"
#include "bench/common/bench_summary.h"

namespace {

std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

[[maybe_unused]] void Add(void* p) {
    if (!p) return;
    long long now = g_live.fetch_add(static_cast<long long>(malloc_usable_size(p))) +
                    static_cast<long long>(malloc_usable_size(p));
    long long peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}
[[maybe_unused]] void Sub(void* p) {
    if (p) g_live.fetch_sub(static_cast<long long>(malloc_usable_size(p)));
}

} // namespace

// The allocator wrapped, except under a sanitizer, which has its own.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

extern "C" {
void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    Add(p);
    return p;
}
void* calloc(size_t n, size_t size) {
    void* p = __libc_calloc(n, size);
    Add(p);
    return p;
}
void* realloc(void* old, size_t n) {
    size_t before = old ? malloc_usable_size(old) : 0;
    void* p = __libc_realloc(old, n);
    if (p || n == 0) g_live.fetch_sub(static_cast<long long>(before));
    Add(p);
    return p;
}
void free(void* p) {
    Sub(p);
    __libc_free(p);
}
void* memalign(size_t align, size_t n) {
    void* p = __libc_memalign(align, n);
    Add(p);
    return p;
}
void* aligned_alloc(size_t align, size_t n) {
    return memalign(align, n);
}
int posix_memalign(void** out, size_t align, size_t n) {
    void* p = memalign(align, n);
    if (!p) return 12; // ENOMEM
    *out = p;
    return 0;
}
}
#endif

namespace {

namespace fs = std::filesystem;

// Lines of kana and kanji of varying length, CR LF between them.
std::u16string JapaneseText(size_t utf8Bytes) {
    const std::u16string words[] = {u"日本語の",         u"テキスト", u"です。",   u"社員番号",
                                    u"東京都",           u"、",       u"ひらがな", u"カタカナ",
                                    u"漢字仮名交じり文", u"abc",      u"123"};
    std::u16string text;
    size_t bytes = 0, line = 0;
    for (size_t i = 0; bytes < utf8Bytes; i++) {
        const std::u16string& w = words[(i * 7 + i / 13) % std::size(words)];
        text += w;
        for (char16_t c : w) bytes += c < 0x80 ? 1 : 3;
        if (++line % 23 == 0) {
            text += u"\r\n";
            bytes += 2;
        }
    }
    return text;
}

struct Lob {
    OraDataset ds{};
    OraLobValue value{};
};

void Select(OraSession* s, Lob* lob) {
    if (lob->ds.row_index) oci_free_dataset(&lob->ds);
    lob->ds = OraDataset{};
    CString msg;
    Check(oci_sel_dataset(s, &lob->ds, u"select c from clob_bench where id = 1", 10, &msg, ""), msg,
          "select");
    auto* cell = reinterpret_cast<OraLobCell*>(lob->ds.row_index[0] + lob->ds.col_offsets[0]);
    lob->value = OraLobValue{};
    lob->value.locator = cell->locator;
    lob->value.length = cell->length;
    lob->value.charset_id = cell->charset_id;
    lob->value.charset_form = cell->charset_form;
    lob->value.null_flag = cell->null_flag;
    lob->value.define_type = SQLT_CLOB;
}

// The reference: the whole value streamed in pieces of 1 MiB, each converted
// and appended; an incomplete UTF-8 character at a piece's end waits for the
// next piece.
std::u16string RawRead(OraSession* s, const OraLobValue& v) {
    const ub4 piece = 1 << 20;
    std::vector<char> bytes(piece + 8);
    std::vector<char16_t> wide(piece + 8);
    std::u16string out;
    size_t carry = 0;
    for (;;) {
        ub4 amount = 0;
        sword r = g_oci.OCILobRead(s->svc, s->err, v.locator, &amount, 1, bytes.data() + carry, piece,
                                   nullptr, nullptr, v.charset_id, v.charset_form);
        if (r != OCI_SUCCESS && r != OCI_NEED_DATA) {
            std::fprintf(stderr, "OCILobRead failed\n");
            std::exit(1);
        }
        size_t total = carry + amount, keep = 0;
        if (r == OCI_NEED_DATA) {
            size_t i = total;
            while (i > 0 && (static_cast<unsigned char>(bytes[i - 1]) & 0xC0) == 0x80) i--;
            if (i > 0 && static_cast<unsigned char>(bytes[i - 1]) >= 0xC0) keep = total - (i - 1);
        }
        char tail[4];
        std::memcpy(tail, bytes.data() + total - keep, keep);
        bytes[total - keep] = 0;
        oci_mb_to_wide(bytes.data(), wide.data(), static_cast<int>(wide.size()));
        out += wide.data();
        if (r != OCI_NEED_DATA) break;
        std::memcpy(bytes.data(), tail, keep);
        carry = keep;
    }
    return out;
}

struct Result {
    double seconds = 1e9;
    long long beyond = 0; // peak heap during the read above the heap once it is done
    long long filled = 0; // heap the first run's filled text holds
};

// A client serving the value's UTF-8 bytes from memory, piece by piece as
// the streaming read does, so that only the readers' own work is measured.
std::string g_memoryValue;
size_t g_memoryPos = 0;
sword MemoryLobRead(OCISvcCtx*, OCIError*, OCILobLocator*, ub4* amount, ub4, void* buf, ub4 size, void*,
                    OCICallbackLobRead, ub2, ub1) {
    size_t n = std::min<size_t>(size, g_memoryValue.size() - g_memoryPos);
    std::memcpy(buf, g_memoryValue.data() + g_memoryPos, n);
    g_memoryPos += n;
    *amount = static_cast<ub4>(n);
    if (g_memoryPos < g_memoryValue.size()) return OCI_NEED_DATA;
    g_memoryPos = 0;
    return OCI_SUCCESS;
}

// Runs both readers kRuns times, alternating; false when a text differs.
bool Measure(OraSession* s, Lob* lob, const std::u16string& text, Result* ours, Result* raw) {
    const int kRuns = 5;
    CString msg;
    for (int run = 0; run < kRuns; run++) {
        {
            Select(s, lob);
            g_memoryPos = 0; // the fill may have read the value's start
            auto* data = new CEditData;
            long long before = g_live.load();
            g_peak.store(before);
            double t0 = Now();
            Check(oci_read_clob_data(s, data, &lob->value, &msg), msg, "oci_read_clob_data");
            double t = Now() - t0;
            long long after = g_live.load();
            ours->seconds = std::min(ours->seconds, t);
            ours->beyond = std::max(ours->beyond, g_peak.load() - after);
            if (run == 0) ours->filled = after - before;
            if (run == 0 && std::u16string(data->GetAllText().GetString()) != text) {
                std::fprintf(stderr, "oci_read_clob_data gives another text\n");
                return false;
            }
            delete data;
        }
        {
            Select(s, lob);
            g_memoryPos = 0; // the fill may have read the value's start
            long long before = g_live.load();
            g_peak.store(before);
            double t0 = Now();
            std::u16string out = RawRead(s, lob->value);
            double t = Now() - t0;
            long long after = g_live.load();
            raw->seconds = std::min(raw->seconds, t);
            raw->beyond = std::max(raw->beyond, g_peak.load() - after);
            if (run == 0) raw->filled = after - before;
            if (run == 0 && out != text) {
                std::fprintf(stderr, "reference read differs (%zu of %zu units)\n", out.size(), text.size());
                return false;
            }
        }
    }
    return true;
}

void Report(const char* title, double mb, const Result& ours, const Result& raw) {
    const double mib = 1 << 20;
    std::printf("%s\n", title);
    std::printf("  oci_read_clob_data     %8.1f ms %7.1f MB/s  filled %6.1f MiB  peak beyond it %6.2f MiB\n",
                ours.seconds * 1e3, mb / ours.seconds, ours.filled / mib, ours.beyond / mib);
    std::printf("  OCILobRead + u16string %8.1f ms %7.1f MB/s  filled %6.1f MiB  peak beyond it %6.2f MiB\n",
                raw.seconds * 1e3, mb / raw.seconds, raw.filled / mib, raw.beyond / mib);
    std::printf("  ratio %.2fx (target within 1.2x)\n", ours.seconds / raw.seconds);
}

} // namespace

int main() {
    const size_t kBytes = 20u << 20;
    char tmpl[] = "/tmp/tavrelix-clobbench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path home = tmpl;
    fs::create_directories(home / "tns");
    std::ofstream(home / "tns" / "services.conf") << "BENCH = ../db\n";
    setenv("TNS_ADMIN", (home / "tns").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    SetDllDirectoryW(Utf8ToWide(ORACLE_BIN_DIR).c_str());

    CString msg;
    Check(oci_load_library(&msg), msg, "load");
    OraSession* s = nullptr;
    Check(oci_login2(&s, u"system", u"manager", u"BENCH", nullptr, 0, &msg, nullptr), msg, "logon");
    Check(oci_exec_sql(s, u"create table clob_bench (id number, c clob)", &msg), msg, "create");
    const std::u16string text = JapaneseText(kBytes);
    int id = 1;
    Check(oci_exec_sql_bind(s, u"insert into clob_bench values (:X0, :X1)", &msg, nullptr, nullptr, "IS", &id,
                            text.c_str()),
          msg, "insert");
    Check(oci_ora_commit(s, &msg), msg, "commit");
    g_memoryValue = WideToUtf8(text.c_str());

    Lob lob;
    Result ours, raw;
    if (!Measure(s, &lob, text, &ours, &raw)) return 1;
    const double mb = double(g_memoryValue.size()) / (1 << 20);
    std::printf("CLOB of %.1f MiB UTF-8 (%zu UTF-16 units), best of 5 runs; heap in MiB\n", mb, text.size());
    Report("through the client stand-in (its own memory included in both):", mb, ours, raw);
    // Measure has compared both reads with the inserted text.
    BenchSummary("20 MiB CLOB read, against OCILobRead into a u16string", ours.seconds * 1e3,
                 raw.seconds * 1e3, "ms", 1.2, {"the inserted text", "the inserted text"});

    // The same without the client: the readers' own time and memory.
    const auto saved = g_oci.OCILobRead;
    g_oci.OCILobRead = MemoryLobRead;
    Result ours2, raw2;
    if (!Measure(s, &lob, text, &ours2, &raw2)) return 1;
    g_oci.OCILobRead = saved;
    Report("from a client serving the bytes from memory:", mb, ours2, raw2);

    oci_free_dataset(&lob.ds);
    oci_ora_logout(&s);
    std::error_code ec;
    fs::remove_all(home, ec);
    return 0;
}
