// The converters against glibc iconv with a reused descriptor: 932 and 65001
// both ways, on 1 MB of Japanese text and per call on short values. Each
// conversion of ours is held to iconv's (no slower), and its output must be
// the bytes iconv's gave.
#include <iconv.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <windows.h>

#include "bench/common/bench_pairs.h"

namespace {

// Seeded Japanese text: hiragana, katakana, kanji, ASCII, half-width katakana
// and line ends, in the proportions of table data.
std::u16string japanese(size_t units) {
    std::mt19937 rng(932);
    std::u16string out;
    out.reserve(units + 8);
    while (out.size() < units) {
        unsigned r = rng() % 100;
        if (r < 30)
            out += static_cast<char16_t>(0x3041 + rng() % 83); // hiragana
        else if (r < 45)
            out += static_cast<char16_t>(0x30A1 + rng() % 86); // katakana
        else if (r < 70)
            out += static_cast<char16_t>(0x4E9C + rng() % 64); // kanji around the first level
        else if (r < 92)
            out += static_cast<char16_t>(0x30 + rng() % 75); // ASCII
        else if (r < 97)
            out += static_cast<char16_t>(0xFF71 + rng() % 40); // half-width katakana
        else
            out += u"\r\n";
    }
    return out;
}

std::string encode(UINT cp, const std::u16string& w) {
    int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// A byte text of at most `bytes` bytes in code page cp, whole characters only.
std::string sample(UINT cp, size_t bytes) {
    std::u16string w = japanese(bytes);
    std::string s;
    for (size_t i = 0; i < w.size(); ++i) {
        std::string one = encode(cp, w.substr(i, 1));
        if (s.size() + one.size() > bytes) break;
        s += one;
    }
    return s;
}

const char* iconvName(UINT cp) {
    return cp == CP_UTF8 ? "UTF-8" : "CP932";
}

// What a conversion gave: the digest of its output.
std::string Output(const void* data, size_t bytes) {
    BenchDigest d;
    d.Add(data, bytes);
    return d.Text();
}

void MbToWide(benchmark::State& state, UINT cp, size_t bytes) {
    std::string s = sample(cp, bytes);
    std::vector<char16_t> out(s.size() + 1);
    int n = 0;
    for (auto _ : state) {
        n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), out.data(),
                                static_cast<int>(out.size()));
        benchmark::DoNotOptimize(n);
    }
    BenchResult(Output(out.data(), static_cast<size_t>(std::max(n, 0)) * sizeof(char16_t)));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}

void MbToWideIconv(benchmark::State& state, UINT cp, size_t bytes) {
    std::string s = sample(cp, bytes);
    std::vector<char> out(s.size() * 2 + 8);
    iconv_t cd = iconv_open("UTF-16LE", iconvName(cp));
    size_t made = 0;
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* ip = s.data();
        size_t il = s.size();
        char* op = out.data();
        size_t ol = out.size();
        benchmark::DoNotOptimize(iconv(cd, &ip, &il, &op, &ol));
        made = out.size() - ol;
    }
    iconv_close(cd);
    BenchResult(Output(out.data(), made));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}

void WideToMb(benchmark::State& state, UINT cp, size_t bytes) {
    std::string s = sample(cp, bytes);
    std::u16string w(
        static_cast<size_t>(MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0)),
        u'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(), static_cast<int>(w.size()));
    std::vector<char> out(s.size() + 8);
    int n = 0;
    for (auto _ : state) {
        n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), out.data(),
                                static_cast<int>(out.size()), nullptr, nullptr);
        benchmark::DoNotOptimize(n);
    }
    BenchResult(Output(out.data(), static_cast<size_t>(std::max(n, 0))));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}

void WideToMbIconv(benchmark::State& state, UINT cp, size_t bytes) {
    std::string s = sample(cp, bytes);
    std::u16string w(
        static_cast<size_t>(MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0)),
        u'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(), static_cast<int>(w.size()));
    std::vector<char> out(s.size() + 8);
    iconv_t cd = iconv_open(iconvName(cp), "UTF-16LE");
    size_t made = 0;
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* ip = reinterpret_cast<char*>(w.data());
        size_t il = w.size() * 2;
        char* op = out.data();
        size_t ol = out.size();
        benchmark::DoNotOptimize(iconv(cd, &ip, &il, &op, &ol));
        made = out.size() - ol;
    }
    iconv_close(cd);
    BenchResult(Output(out.data(), made));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}

constexpr size_t kMegabyte = 1 << 20;

} // namespace

#define CONVERTER_BENCH(cp, name)                                                                            \
    BENCHMARK_CAPTURE(MbToWide, name##_1MB, cp, kMegabyte);                                                  \
    BENCHMARK_CAPTURE(MbToWideIconv, name##_1MB, cp, kMegabyte);                                             \
    BENCHMARK_CAPTURE(WideToMb, name##_1MB, cp, kMegabyte);                                                  \
    BENCHMARK_CAPTURE(WideToMbIconv, name##_1MB, cp, kMegabyte);                                             \
    BENCHMARK_CAPTURE(MbToWide, name##_5B, cp, 5);                                                           \
    BENCHMARK_CAPTURE(MbToWideIconv, name##_5B, cp, 5);                                                      \
    BENCHMARK_CAPTURE(MbToWide, name##_20B, cp, 20);                                                         \
    BENCHMARK_CAPTURE(MbToWideIconv, name##_20B, cp, 20);                                                    \
    BENCHMARK_CAPTURE(MbToWide, name##_200B, cp, 200);                                                       \
    BENCHMARK_CAPTURE(MbToWideIconv, name##_200B, cp, 200);                                                  \
    BENCHMARK_CAPTURE(WideToMb, name##_5B, cp, 5);                                                           \
    BENCHMARK_CAPTURE(WideToMbIconv, name##_5B, cp, 5);                                                      \
    BENCHMARK_CAPTURE(WideToMb, name##_20B, cp, 20);                                                         \
    BENCHMARK_CAPTURE(WideToMbIconv, name##_20B, cp, 20);                                                    \
    BENCHMARK_CAPTURE(WideToMb, name##_200B, cp, 200);                                                       \
    BENCHMARK_CAPTURE(WideToMbIconv, name##_200B, cp, 200)

CONVERTER_BENCH(932, cp932);
CONVERTER_BENCH(CP_UTF8, utf8);

int main(int argc, char** argv) {
    std::vector<BenchPair> pairs;
    for (const char* cp : {"cp932", "utf8"})
        for (const char* size : {"1MB", "5B", "20B", "200B"}) {
            std::string name = std::string(cp) + "_" + size, code = cp[0] == 'c' ? "CP932" : "UTF-8";
            pairs.push_back({code + " to UTF-16, " + size + ", against glibc iconv", "MbToWide/" + name,
                             "MbToWideIconv/" + name, 1});
            pairs.push_back({"UTF-16 to " + code + ", " + size + ", against glibc iconv", "WideToMb/" + name,
                             "WideToMbIconv/" + name, 1});
        }
    return BenchPairsMain(argc, argv, pairs);
}
