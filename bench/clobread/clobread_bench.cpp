// oci_read_clob_data of a 20 MiB and a 100 MiB Japanese CLOB against a raw
// streaming OCILobRead loop converting each piece with oci_mb_to_wide into a
// std::u16string, both through the client stand-in. A timed program: prints
// the best of several runs of each and the peak heap beyond the filled text.
// Figures: the 20 MiB read against the streaming reference; the time per MiB
// of the 100 MiB CLOB against the 20 MiB one, of oci_read_clob_data and of
// OCILobRead alone (pieces of 1 MiB, nothing converted): a read whose cost
// grows faster than the value's size shows there. A read whose text (or
// bytes) differ from the value written is a FAILED figure.
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

void Select(OraSession* s, Lob* lob, int id) {
    if (lob->ds.row_index) oci_free_dataset(&lob->ds);
    lob->ds = OraDataset{};
    CString msg;
    const std::u16string sql =
        u"select c from clob_bench where id = " + Utf8ToWide(std::to_string(id).c_str());
    Check(oci_sel_dataset(s, &lob->ds, sql.c_str(), 10, &msg, ""), msg, "select");
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
// and appended to a string that holds the value's length from the start; an
// incomplete UTF-8 character at a piece's end waits for the next piece.
std::u16string RawRead(OraSession* s, const OraLobValue& v) {
    const ub4 piece = 1 << 20;
    std::vector<char> bytes(piece + 8);
    std::vector<char16_t> wide(piece + 8);
    std::u16string out;
    out.reserve(v.length);
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

// The client's own part: the whole value streamed by OCILobRead in pieces
// of 1 MiB into one buffer, nothing converted; the digest of its bytes.
BenchDigest StreamOnly(OraSession* s, const OraLobValue& v) {
    const ub4 piece = 1 << 20;
    std::vector<char> buf(piece);
    BenchDigest out;
    for (;;) {
        ub4 amount = 0;
        sword r = g_oci.OCILobRead(s->svc, s->err, v.locator, &amount, 1, buf.data(), piece, nullptr, nullptr,
                                   v.charset_id, v.charset_form);
        if (r != OCI_SUCCESS && r != OCI_NEED_DATA) {
            std::fprintf(stderr, "OCILobRead failed\n");
            std::exit(1);
        }
        out.Add(buf.data(), amount);
        if (r != OCI_NEED_DATA) return out;
    }
}

// One CLOB and what its reads gave.
struct Size {
    Size(int i, size_t n) : id(i), bytes(n) {}
    int id;
    size_t bytes;
    std::u16string text;
    std::string utf8;
    double mib = 0;
    Result ours, raw, stream;
    std::string ourError, rawError, streamError;
    std::string ourDigest, rawDigest; // of the first run's texts
};

// One run of the three readers over a CLOB (the texts compared on the first).
void Measure(OraSession* s, Lob* lob, Size& z, bool first) {
    CString msg;
    auto differs = [&](const std::u16string& got) {
        size_t at = 0;
        while (at < got.size() && at < z.text.size() && got[at] == z.text[at]) at++;
        return "another text: " + std::to_string(got.size()) + " of " + std::to_string(z.text.size()) +
               " units, the first difference at " + std::to_string(at);
    };
    auto timed = [&](Result& r, auto&& read) {
        Select(s, lob, z.id);
        g_memoryPos = 0; // the fill may have read the value's start
        long long before = g_live.load();
        g_peak.store(before);
        double t0 = Now();
        read();
        double t = Now() - t0;
        long long after = g_live.load();
        r.seconds = std::min(r.seconds, t);
        r.beyond = std::max(r.beyond, g_peak.load() - after);
        if (first) r.filled = after - before;
    };
    CEditData* data = nullptr;
    timed(z.ours, [&] {
        data = new CEditData;
        Check(oci_read_clob_data(s, data, &lob->value, &msg), msg, "oci_read_clob_data");
    });
    if (first) {
        std::u16string got(data->GetAllText().GetString());
        if (got != z.text) z.ourError = differs(got);
        BenchDigest d;
        d.Add(got);
        z.ourDigest = d.Text();
    }
    delete data;
    std::u16string out;
    timed(z.raw, [&] { out = RawRead(s, lob->value); });
    if (first && out != z.text) z.rawError = differs(out);
    if (first) {
        BenchDigest d;
        d.Add(out);
        z.rawDigest = d.Text();
    }
    out.clear();
    out.shrink_to_fit();
    if (g_oci.OCILobRead == MemoryLobRead) return;
    BenchDigest got, want;
    timed(z.stream, [&] { got = StreamOnly(s, lob->value); });
    want.Add(z.utf8);
    if (first && got.Text() != want.Text())
        z.streamError = "other bytes: " + got.Text() + ", written " + want.Text();
}

void Report(const char* title, const Size& z) {
    const double mib = 1 << 20;
    std::printf("%s\n", title);
    std::printf("  oci_read_clob_data     %8.1f ms %7.1f MB/s  filled %6.1f MiB  peak beyond it %6.2f MiB\n",
                z.ours.seconds * 1e3, z.mib / z.ours.seconds, z.ours.filled / mib, z.ours.beyond / mib);
    std::printf("  OCILobRead + u16string %8.1f ms %7.1f MB/s  filled %6.1f MiB  peak beyond it %6.2f MiB\n",
                z.raw.seconds * 1e3, z.mib / z.raw.seconds, z.raw.filled / mib, z.raw.beyond / mib);
    if (z.stream.seconds < 1e9)
        std::printf("  OCILobRead alone       %8.1f ms %7.1f MB/s\n", z.stream.seconds * 1e3,
                    z.mib / z.stream.seconds);
    std::printf("  ratio %.2fx (target within 1.2x)\n", z.ours.seconds / z.raw.seconds);
    for (const std::string* e : {&z.ourError, &z.rawError, &z.streamError})
        if (!e->empty()) std::printf("  FAILED: %s\n", e->c_str());
}

// A figure with what its halves produced, or FAILED with the errors of the
// reads it stands on (a text other than the value written).
void Figure(const std::string& figure, double ours, double reference, const BenchResults& results,
            std::initializer_list<const std::string*> errors) {
    std::string why;
    for (const std::string* e : errors)
        if (!e->empty()) why += (why.empty() ? "" : "; ") + *e;
    if (why.empty())
        BenchSummary(figure, ours, reference, "ms", 1.2, results);
    else
        BenchSummaryFailed(figure, why);
}

// A read's result for a figure that sets one size against the other.
std::string Outcome(const std::string& error) {
    return error.empty() ? "the value written" : "another text";
}

} // namespace

int main() {
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
    Size sizes[] = {Size(20, 20u << 20), Size(100, 100u << 20)};
    for (Size& z : sizes) {
        z.text = JapaneseText(z.bytes);
        z.utf8 = WideToUtf8(z.text.c_str());
        z.mib = double(z.utf8.size()) / (1 << 20);
        Check(oci_exec_sql_bind(s, u"insert into clob_bench values (:X0, :X1)", &msg, nullptr, nullptr, "IS",
                                &z.id, z.text.c_str()),
              msg, "insert");
    }
    Check(oci_ora_commit(s, &msg), msg, "commit");

    // The sizes take turns, so that the machine's load falls alike on both.
    const int kRuns = 5;
    Lob lob;
    for (int run = 0; run < kRuns; run++)
        for (Size& z : sizes) Measure(s, &lob, z, run == 0);
    bool failed = false;
    for (const Size& z : sizes) {
        char title[160];
        std::snprintf(
            title, sizeof title,
            "CLOB of %.1f MiB UTF-8 (%zu UTF-16 units), best of %d runs, through the client stand-in "
            "(its own memory included):",
            z.mib, z.text.size(), kRuns);
        Report(title, z);
        failed |= !z.ourError.empty() || !z.rawError.empty() || !z.streamError.empty();
    }
    const Size& small = sizes[0];
    const Size& large = sizes[1];
    Figure("20 MiB CLOB read, against OCILobRead into a u16string", small.ours.seconds * 1e3,
           small.raw.seconds * 1e3, {small.ourDigest, small.rawDigest}, {&small.ourError, &small.rawError});
    // Linear cost: the time per MiB of the larger value against the smaller's.
    auto perMib = [](const Result& r, double mib) { return r.seconds * 1e3 / mib; };
    std::printf("time per MiB, 100 MiB against 20 MiB (target within 1.2x):\n");
    std::printf("  oci_read_clob_data     %6.2f / %6.2f ms  %.2fx\n", perMib(large.ours, large.mib),
                perMib(small.ours, small.mib), perMib(large.ours, large.mib) / perMib(small.ours, small.mib));
    std::printf("  OCILobRead alone       %6.2f / %6.2f ms  %.2fx\n", perMib(large.stream, large.mib),
                perMib(small.stream, small.mib),
                perMib(large.stream, large.mib) / perMib(small.stream, small.mib));
    std::printf("  OCILobRead + u16string %6.2f / %6.2f ms   %.2fx\n", perMib(large.raw, large.mib),
                perMib(small.raw, small.mib), perMib(large.raw, large.mib) / perMib(small.raw, small.mib));
    Figure("oci_read_clob_data, time per MiB of a 100 MiB CLOB against a 20 MiB one",
           perMib(large.ours, large.mib), perMib(small.ours, small.mib),
           {Outcome(large.ourError), Outcome(small.ourError)}, {&small.ourError, &large.ourError});
    Figure("OCILobRead in 1 MiB pieces, time per MiB of a 100 MiB CLOB against a 20 MiB one",
           perMib(large.stream, large.mib), perMib(small.stream, small.mib),
           {Outcome(large.streamError), Outcome(small.streamError)},
           {&small.streamError, &large.streamError});

    // The same without the client: the readers' own time and memory.
    const auto saved = g_oci.OCILobRead;
    g_oci.OCILobRead = MemoryLobRead;
    g_memoryValue = small.utf8;
    Size memory(small.id, small.bytes);
    memory.text = small.text;
    memory.utf8 = small.utf8;
    memory.mib = small.mib;
    for (int run = 0; run < kRuns; run++) Measure(s, &lob, memory, run == 0);
    g_oci.OCILobRead = saved;
    Report("20 MiB from a client serving the bytes from memory:", memory);
    failed |= !memory.ourError.empty() || !memory.rawError.empty();

    oci_free_dataset(&lob.ds);
    oci_ora_logout(&s);
    std::error_code ec;
    fs::remove_all(home, ec);
    return failed ? 1 : 0;
}
