// Memory pool against glibc malloc and the standard library's unsynchronized
// pool resource: seeded alloc/free churn of sizes 8-8192, and one line grown
// by realloc from 16 bytes to 64 KB.
#include "base/mempool.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory_resource>
#include <random>
#include <vector>

namespace {

constexpr int kSlots = 4096;
constexpr int kOps = 1 << 16;

struct Churn {
    std::vector<uint32_t> slot;
    std::vector<uint32_t> size;
    Churn() {
        std::mt19937 rng(12345);
        std::uniform_int_distribution<uint32_t> pick(0, kSlots - 1);
        // Sizes log-uniform over 8..8192, as line texts and records are mostly short.
        std::uniform_real_distribution<double> logsize(3.0, 13.0);
        for (int i = 0; i < kOps; i++) {
            slot.push_back(pick(rng));
            size.push_back(static_cast<uint32_t>(std::exp2(logsize(rng))));
        }
    }
};

const Churn& churn() {
    static Churn c;
    return c;
}

void BM_ChurnMemPool(benchmark::State& state) {
    const Churn& c = churn();
    MemPool* pool = mempool_create(0x40000, 0x800000);
    std::vector<void*> live(kSlots, nullptr);
    for (auto _ : state) {
        for (int i = 0; i < kOps; i++) {
            void*& p = live[c.slot[i]];
            mempool_free(p);
            p = mempool_alloc(pool, c.size[i]);
            static_cast<char*>(p)[0] = 1;
        }
    }
    for (void* p : live) mempool_free(p);
    mempool_destroy(pool);
    state.SetItemsProcessed(state.iterations() * kOps);
}

void BM_ChurnMalloc(benchmark::State& state) {
    const Churn& c = churn();
    std::vector<void*> live(kSlots, nullptr);
    for (auto _ : state) {
        for (int i = 0; i < kOps; i++) {
            void*& p = live[c.slot[i]];
            std::free(p);
            p = std::malloc(c.size[i]);
            static_cast<char*>(p)[0] = 1;
        }
    }
    for (void* p : live) std::free(p);
    state.SetItemsProcessed(state.iterations() * kOps);
}

void BM_ChurnPmrPool(benchmark::State& state) {
    const Churn& c = churn();
    std::pmr::unsynchronized_pool_resource pool;
    std::vector<void*> live(kSlots, nullptr);
    std::vector<uint32_t> sizes(kSlots, 0);
    for (auto _ : state) {
        for (int i = 0; i < kOps; i++) {
            uint32_t s = c.slot[i];
            if (live[s]) pool.deallocate(live[s], sizes[s], 8);
            live[s] = pool.allocate(c.size[i], 8);
            sizes[s] = c.size[i];
            static_cast<char*>(live[s])[0] = 1;
        }
    }
    for (int s = 0; s < kSlots; s++)
        if (live[s]) pool.deallocate(live[s], sizes[s], 8);
    state.SetItemsProcessed(state.iterations() * kOps);
}

constexpr size_t kGrowStep = 16;
constexpr size_t kGrowMax = 64 * 1024;

void BM_GrowMemPool(benchmark::State& state) {
    MemPool* pool = mempool_create(0x40000, 0x800000);
    for (auto _ : state) {
        void* p = nullptr;
        for (size_t n = 16; n <= kGrowMax; n += kGrowStep) {
            p = mempool_realloc(pool, p, n);
            static_cast<char*>(p)[n - 1] = 1;
        }
        mempool_free(p);
    }
    mempool_destroy(pool);
    state.SetItemsProcessed(state.iterations() * (kGrowMax / kGrowStep));
}

void BM_GrowRealloc(benchmark::State& state) {
    for (auto _ : state) {
        void* p = nullptr;
        for (size_t n = 16; n <= kGrowMax; n += kGrowStep) {
            p = std::realloc(p, n);
            static_cast<char*>(p)[n - 1] = 1;
        }
        std::free(p);
    }
    state.SetItemsProcessed(state.iterations() * (kGrowMax / kGrowStep));
}

// The pool resource has no realloc: grow by power-of-two capacity, copy and release.
void BM_GrowPmrPool(benchmark::State& state) {
    std::pmr::unsynchronized_pool_resource pool;
    for (auto _ : state) {
        void* p = nullptr;
        size_t cap = 0;
        for (size_t n = 16; n <= kGrowMax; n += kGrowStep) {
            if (n > cap) {
                size_t ncap = 16;
                while (ncap < n) ncap <<= 1;
                void* q = pool.allocate(ncap, 8);
                if (p) {
                    std::memcpy(q, p, cap);
                    pool.deallocate(p, cap, 8);
                }
                p = q;
                cap = ncap;
            }
            static_cast<char*>(p)[n - 1] = 1;
        }
        pool.deallocate(p, cap, 8);
    }
    state.SetItemsProcessed(state.iterations() * (kGrowMax / kGrowStep));
}

} // namespace

BENCHMARK(BM_ChurnMemPool);
BENCHMARK(BM_ChurnMalloc);
BENCHMARK(BM_ChurnPmrPool);
BENCHMARK(BM_GrowMemPool);
BENCHMARK(BM_GrowRealloc);
BENCHMARK(BM_GrowPmrPool);

BENCHMARK_MAIN();
