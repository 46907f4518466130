// Reading and writing text files in every code against fread/fwrite plus
// glibc iconv (and ICU for Shift_JIS and UTF-8); textfile_gets and code
// detection. The text is generated once, before any timing: Japanese prose
// mixed with ASCII, 32 MB as UTF-16, in lines of 80 units. Each read gives
// the digest of the text it decoded, each write the digest of the file it
// wrote: ours and the reference must agree.
#include "base/textfile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/common/bench_pairs.h"

// ICU is a reference of its own where the build found it.
#ifdef HAVE_ICU
#include <unicode/ucnv.h>
#endif

namespace {

constexpr size_t kUnits = 16u << 20; // 32 MB of UTF-16

const std::u16string& prose() {
    static const std::u16string text = [] {
        const char16_t* words[] = {
            u"日本語の",   u"文章は",       u"漢字と",     u"ひらがな、", u"カタカナを",     u"混ぜて",
            u"書きます。", u"データベース", u"テーブルの", u"列を",       u"更新しました。", u"SELECT",
            u" * FROM ",   u"EMP",          u" WHERE ",    u"ID = 42",    u"今日は",         u"東京で",
            u"会議が",     u"あります。",   u"検索結果",   u"（全角）",   u"「引用」",       u" and some ",
            u"ASCII text", u"，",           u"。",         u"ＡＢＣ",
        };
        std::mt19937 rng(4711);
        std::uniform_int_distribution<size_t> pick(0, std::size(words) - 1);
        std::u16string s;
        s.reserve(kUnits + 128);
        std::u16string line;
        while (s.size() < kUnits) {
            line.clear();
            while (line.size() < 78) line += words[pick(rng)];
            line.resize(78);
            if (line[77] >= 0xD800 && line[77] <= 0xDBFF) line[77] = u'x';
            s += line;
            s += u"\r\n";
        }
        return s;
    }();
    return text;
}

struct CodeInfo {
    CharCode code;
    const char* iconv_name;
    const char* icu_name; // nullptr: no ICU reference
};

const CodeInfo kCodes[] = {
    {CHARCODE_SJIS, "CP932", "windows-31j"},       {CHARCODE_EUC, "EUC-JP-MS", nullptr},
    {CHARCODE_JIS, "ISO-2022-JP", nullptr},        {CHARCODE_UTF8_NOSIG, "UTF-8", "UTF-8"},
    {CHARCODE_UNICODE_NOSIG, "UTF-16LE", nullptr}, {CHARCODE_UTF16BE_NOSIG, "UTF-16BE", nullptr},
};

std::string temp_dir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/tavrelix-bench-XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        return std::string(tmpl);
    }();
    return dir;
}

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

void write_text(const std::string& path, CharCode code, const std::u16string& text) {
    TextFile rec;
    if (!textfile_open(&rec, wide(path).c_str(), u"w")) std::abort();
    textfile_init(&rec, rec.archive, code, LINE_END_CRLF);
    // Line by line, as the export writes.
    std::u16string line;
    for (size_t i = 0; i < text.size(); i += 80) {
        line.assign(text, i, 80);
        textfile_write(&rec, line.c_str());
    }
    textfile_close(&rec);
}

// The generated text in a code, written once by our writer.
const std::string& file_for(CharCode code) {
    static std::map<CharCode, std::string> files;
    auto it = files.find(code);
    if (it != files.end()) return it->second;
    std::string path = temp_dir() + "/text" + std::to_string(code);
    write_text(path, code, prose());
    return files[code] = path;
}

double file_bytes(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fclose(f);
    return static_cast<double>(n);
}

// Our read of the file, and the digest of the units decoded when asked (a
// pass of its own after the timed ones: the timed reads, like iconv's, leave
// the decoded blocks unread, as measuring and hashing them would cost time
// the reference does not spend).
void read_textfile(const std::string& path, CharCode code, BenchDigest* digest) {
    TextFile rec;
    if (!textfile_open(&rec, wide(path).c_str(), u"r")) std::abort();
    textfile_init(&rec, rec.archive, code, LINE_END_CRLF);
    while (const char16_t* b = textfile_read_block(&rec)) {
        benchmark::DoNotOptimize(b);
        if (digest) digest->Add(std::u16string_view(b));
    }
    textfile_destroy(&rec);
}

// The decoded text's digest as the result, or an error when its length is
// not the generated text's.
void read_result(benchmark::State& state, const BenchDigest& digest, const char* error) {
    if (digest.Bytes() != prose().size() * sizeof(char16_t)) state.SkipWithError(error);
    BenchResult(digest.Text());
}

void BM_Read(benchmark::State& state, CharCode code) {
    const std::string& path = file_for(code);
    for (auto _ : state) read_textfile(path, code, nullptr);
    BenchDigest digest;
    read_textfile(path, code, &digest);
    read_result(state, digest, "decoded text differs in length");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_bytes(path)));
}

size_t read_iconv(iconv_t cd, const std::string& path, BenchDigest* digest) {
    static std::vector<char> in(65536 + 16), out(4 * 65536 + 64);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    FILE* f = std::fopen(path.c_str(), "rb");
    size_t carry = 0, units = 0;
    for (;;) {
        size_t got = std::fread(in.data() + carry, 1, 65536, f);
        if (got == 0) break;
        char* src = in.data();
        size_t left = carry + got;
        char* dst = out.data();
        size_t room = out.size();
        iconv(cd, &src, &left, &dst, &room);
        units += (out.size() - room) / 2;
        if (digest) digest->Add(out.data(), out.size() - room);
        std::memmove(in.data(), src, left);
        carry = left;
    }
    std::fclose(f);
    return units;
}

void BM_ReadIconv(benchmark::State& state, CharCode code, const char* name) {
    const std::string& path = file_for(code);
    iconv_t cd = iconv_open("UTF-16LE", name);
    for (auto _ : state) benchmark::DoNotOptimize(read_iconv(cd, path, nullptr));
    BenchDigest digest;
    read_iconv(cd, path, &digest);
    iconv_close(cd);
    read_result(state, digest, "iconv output differs in length");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_bytes(path)));
}

#ifdef HAVE_ICU
void BM_ReadIcu(benchmark::State& state, CharCode code, const char* name) {
    const std::string& path = file_for(code);
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(name, &err);
    std::vector<char> in(65536);
    std::vector<UChar> out(65536 + 16);
    auto read = [&](BenchDigest* digest) {
        ucnv_reset(cnv);
        FILE* f = std::fopen(path.c_str(), "rb");
        size_t units = 0;
        for (;;) {
            size_t got = std::fread(in.data(), 1, in.size(), f);
            bool flush = got < in.size();
            const char* src = in.data();
            const char* src_end = src + got;
            do {
                UChar* dst = out.data();
                err = U_ZERO_ERROR;
                ucnv_toUnicode(cnv, &dst, out.data() + out.size(), &src, src_end, nullptr, flush, &err);
                units += static_cast<size_t>(dst - out.data());
                if (digest) digest->Add(out.data(), static_cast<size_t>(dst - out.data()) * sizeof(UChar));
            } while (err == U_BUFFER_OVERFLOW_ERROR);
            if (flush) break;
        }
        std::fclose(f);
        return units;
    };
    for (auto _ : state) benchmark::DoNotOptimize(read(nullptr));
    BenchDigest digest;
    read(&digest);
    ucnv_close(cnv);
    read_result(state, digest, "ICU output differs in length");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_bytes(path)));
}
#endif

// A written file's digest. In JIS ours goes back to one-byte text with
// ESC ( J (JIS X 0201 Roman), as the format asks, where iconv writes ESC ( B
// (ASCII): the two are the same bytes for this text, which has neither a
// backslash nor a tilde, so the digest reads every ESC ( J as ESC ( B.
std::string written_result(const std::string& path, CharCode code) {
    if (code != CHARCODE_JIS) return BenchFileDigest(path);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "no file " + path;
    std::string bytes;
    std::vector<char> buf(1 << 16);
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) bytes.append(buf.data(), n);
    std::fclose(f);
    for (size_t at = 0; (at = bytes.find("\x1b(J", at)) != std::string::npos; at += 3) bytes[at + 2] = 'B';
    BenchDigest digest;
    digest.Add(bytes);
    return digest.Text();
}

void BM_Write(benchmark::State& state, CharCode code) {
    std::string path = temp_dir() + "/out" + std::to_string(code);
    const std::u16string& text = prose();
    for (auto _ : state) write_text(path, code, text);
    BenchResult(written_result(path, code));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_bytes(path)));
}

void BM_WriteIconv(benchmark::State& state, CharCode code, const char* name) {
    std::string path = temp_dir() + "/iconv" + std::to_string(code);
    iconv_t cd = iconv_open(name, "UTF-16LE");
    std::vector<char> out(65536 * 4);
    const std::u16string& text = prose();
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        FILE* f = std::fopen(path.c_str(), "wb");
        for (size_t i = 0; i < text.size(); i += 32768) {
            size_t n = std::min<size_t>(32768, text.size() - i);
            char* src = reinterpret_cast<char*>(const_cast<char16_t*>(text.data() + i));
            size_t left = n * 2;
            char* dst = out.data();
            size_t room = out.size();
            iconv(cd, &src, &left, &dst, &room);
            std::fwrite(out.data(), 1, out.size() - room, f);
        }
        char* dst = out.data();
        size_t room = out.size();
        iconv(cd, nullptr, nullptr, &dst, &room);
        std::fwrite(out.data(), 1, out.size() - room, f);
        std::fclose(f);
    }
    iconv_close(cd);
    BenchResult(written_result(path, code));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_bytes(path)));
}

void BM_Gets(benchmark::State& state) {
    const std::string& path = file_for(CHARCODE_SJIS);
    std::vector<char16_t> buf(4096);
    int64_t lines = 0;
    for (auto _ : state) {
        TextFile rec;
        if (!textfile_open(&rec, wide(path).c_str(), u"r")) std::abort();
        textfile_init(&rec, rec.archive, CHARCODE_SJIS, LINE_END_CRLF);
        while (textfile_gets(&rec, buf.data(), 4096)) lines++;
        textfile_destroy(&rec);
    }
    state.SetItemsProcessed(lines);
}

void BM_DetectCode(benchmark::State& state) {
    TextFile rec;
    if (!textfile_open(&rec, wide(file_for(CHARCODE_EUC)).c_str(), u"r")) std::abort();
    for (auto _ : state) benchmark::DoNotOptimize(textfile_detect_code(&rec));
    if (rec.code != CHARCODE_EUC) state.SkipWithError("detection failed");
    state.SetBytesProcessed(state.iterations() * 65536);
}

void register_all() {
    for (const CodeInfo& c : kCodes) {
        std::string n = std::to_string(c.code);
        benchmark::RegisterBenchmark(("Read/" + n + "/textfile").c_str(), BM_Read, c.code)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Read/" + n + "/fread+iconv").c_str(), BM_ReadIconv, c.code,
                                     c.iconv_name)
            ->Unit(benchmark::kMillisecond);
#ifdef HAVE_ICU
        if (c.icu_name)
            benchmark::RegisterBenchmark(("Read/" + n + "/fread+icu").c_str(), BM_ReadIcu, c.code, c.icu_name)
                ->Unit(benchmark::kMillisecond);
#endif
    }
    for (const CodeInfo& c : kCodes) {
        std::string n = std::to_string(c.code);
        benchmark::RegisterBenchmark(("Write/" + n + "/textfile").c_str(), BM_Write, c.code)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Write/" + n + "/iconv+fwrite").c_str(), BM_WriteIconv, c.code,
                                     c.iconv_name)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Gets/80-unit lines", BM_Gets)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DetectCode/64KB", BM_DetectCode)->Unit(benchmark::kMicrosecond);
}

// The summary's figures: every read and write no slower than the reference
// through iconv.
std::vector<BenchPair> pairs() {
    std::vector<BenchPair> out;
    for (const CodeInfo& c : kCodes) {
        std::string n = std::to_string(c.code);
        out.push_back({"text file read, code " + n + ", against fread + iconv", "Read/" + n + "/textfile",
                       "Read/" + n + "/fread+iconv", 1});
        out.push_back({"text file write, code " + n + ", against iconv + fwrite", "Write/" + n + "/textfile",
                       "Write/" + n + "/iconv+fwrite", 1});
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    register_all();
    prose(); // the text is made before anything is timed
    int rc = BenchPairsMain(argc, argv, pairs());
    std::string cmd = "rm -rf '" + temp_dir() + "'";
    return std::system(cmd.c_str()) == 0 ? rc : 1;
}
