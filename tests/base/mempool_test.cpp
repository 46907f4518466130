#include "base/mempool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace {

int g_live_heap_blocks;
int g_fail_after = -1; // heap calls left before they fail; -1 never

void* counting_alloc(size_t n) {
    if (g_fail_after == 0) return nullptr;
    if (g_fail_after > 0) g_fail_after--;
    void* p = std::malloc(n);
    if (p) g_live_heap_blocks++;
    return p;
}

void counting_free(void* p) {
    if (p) g_live_heap_blocks--;
    std::free(p);
}

class MemPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_live_heap_blocks = 0;
        g_fail_after = -1;
        mempool_heap_alloc = counting_alloc;
        mempool_heap_free = counting_free;
    }
    void TearDown() override {
        EXPECT_EQ(g_live_heap_blocks, 0) << "pool memory leaked";
        mempool_heap_alloc = std::malloc;
        mempool_heap_free = std::free;
    }
    static uint64_t chunk_size(const MemChunk* c) {
        return static_cast<uint64_t>(c->end - reinterpret_cast<const char*>(c));
    }
};

} // namespace

TEST_F(MemPoolTest, SizeClassesAndLargeBlocks) {
    MemPool* pool = mempool_create(64, 64);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->large_threshold, 512u);
    EXPECT_EQ(pool->chunks, nullptr);

    void* zero = mempool_alloc(pool, 0);
    EXPECT_EQ(mempool_block_size(zero), 8u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(zero) % 8, 0u);
    EXPECT_EQ(chunk_size(pool->chunks), 1024u);
    EXPECT_EQ(mempool_block_size(mempool_alloc(pool, 9)), 16u);
    void* class_block = mempool_alloc(pool, 512);
    EXPECT_EQ(mempool_block_size(class_block), 512u);
    int before = g_live_heap_blocks;
    void* large = mempool_alloc(pool, 513);
    EXPECT_EQ(mempool_block_size(large), 1024u);
    EXPECT_EQ(g_live_heap_blocks, before + 1);
    std::memset(large, 0xAB, 1024);
    mempool_free(large);
    EXPECT_EQ(g_live_heap_blocks, before); // a large block goes back to the heap at once

    mempool_free(nullptr);
    EXPECT_EQ(mempool_alloc(pool, UINT64_MAX), nullptr);
    EXPECT_EQ(mempool_alloc(pool, UINT64_MAX - 1000), nullptr);
    mempool_destroy(pool);

    MemPool* big = mempool_create(0x40000, 0x800000);
    EXPECT_EQ(big->large_threshold, 8192u);
    EXPECT_EQ(mempool_block_size(mempool_alloc(big, 8192)), 8192u);
    EXPECT_EQ(mempool_block_size(mempool_alloc(big, 8193)), 9216u);
    mempool_destroy(big);
}

TEST_F(MemPoolTest, ChunksGrowGeometricallyUpToTheLargest) {
    MemPool* pool = mempool_create(0x40000, 0x800000);
    std::vector<uint64_t> sizes;
    const MemChunk* head = nullptr;
    for (int i = 0; i < 4000; i++) {
        ASSERT_NE(mempool_alloc(pool, 8000), nullptr);
        if (pool->chunks != head) {
            head = pool->chunks;
            sizes.push_back(chunk_size(head));
        }
    }
    std::vector<uint64_t> expected = {0x40000, 0x80000, 0x100000, 0x200000, 0x400000, 0x800000, 0x800000};
    ASSERT_GE(sizes.size(), expected.size());
    sizes.resize(expected.size());
    EXPECT_EQ(sizes, expected);
    EXPECT_EQ(pool->next_chunk_size, 0x800000u);

    void* huge = mempool_alloc(pool, 20 << 20);
    ASSERT_NE(huge, nullptr);
    EXPECT_EQ(pool->next_chunk_size, 0x800000u);
    EXPECT_EQ(pool->chunks, head); // linked behind the head, nothing carved from it
    mempool_destroy(pool);
}

TEST_F(MemPoolTest, ChunkTailIsCutIntoFreeBlocks) {
    MemPool* pool = mempool_create(64, 64);
    char* a = static_cast<char*>(mempool_alloc(pool, 512));
    MemChunk* first = pool->chunks;
    // 992 - 528 = 464 bytes remain: too few for another 512 block.
    char* b = static_cast<char*>(mempool_alloc(pool, 512));
    EXPECT_NE(pool->chunks, first);
    auto in_first = [&](void* p) {
        return static_cast<char*>(p) > reinterpret_cast<char*>(first) && static_cast<char*>(p) < first->end;
    };
    EXPECT_TRUE(in_first(a));
    EXPECT_FALSE(in_first(b));
    // The tail became blocks of 256, 128 and 32 bytes, used before the new chunk.
    void* c256 = mempool_alloc(pool, 200);
    void* c128 = mempool_alloc(pool, 100);
    void* c32 = mempool_alloc(pool, 32);
    EXPECT_TRUE(in_first(c256));
    EXPECT_TRUE(in_first(c128));
    EXPECT_TRUE(in_first(c32));
    EXPECT_EQ(first->fill, first->end);
    EXPECT_FALSE(in_first(mempool_alloc(pool, 32)));

    // Freed blocks are reused first.
    mempool_free(c128);
    EXPECT_EQ(mempool_alloc(pool, 65), c128);
    mempool_destroy(pool);
}

TEST_F(MemPoolTest, Realloc) {
    MemPool* pool = mempool_create(64, 64);
    char* p = static_cast<char*>(mempool_realloc(pool, nullptr, 20));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(mempool_block_size(p), 32u);
    std::memcpy(p, "0123456789abcdefghijklmnopqrstu", 32);
    EXPECT_EQ(mempool_realloc(pool, p, 17), p);
    EXPECT_EQ(mempool_realloc(pool, p, 32), p);

    char* grown = static_cast<char*>(mempool_realloc(pool, p, 100));
    ASSERT_NE(grown, p);
    EXPECT_EQ(std::memcmp(grown, "0123456789abcdefghijklmnopqrstu", 32), 0);
    char* shrunk = static_cast<char*>(mempool_realloc(pool, grown, 4));
    EXPECT_EQ(mempool_block_size(shrunk), 8u);
    EXPECT_EQ(std::memcmp(shrunk, "0123", 4), 0);

    char* large = static_cast<char*>(mempool_realloc(pool, shrunk, 600));
    EXPECT_EQ(mempool_block_size(large), 1024u);
    EXPECT_EQ(std::memcmp(large, "0123", 4), 0);
    EXPECT_EQ(mempool_realloc(pool, large, 1000), large);
    char* back = static_cast<char*>(mempool_realloc(pool, large, 10));
    EXPECT_EQ(std::memcmp(back, "0123", 4), 0);
    mempool_destroy(pool);
}

TEST_F(MemPoolTest, FailedReallocKeepsTheOldBlock) {
    MemPool* pool = mempool_create(64, 64);
    char* line = static_cast<char*>(mempool_alloc(pool, 100));
    std::memcpy(line, "a line of text", 15);

    g_fail_after = 0;
    EXPECT_EQ(mempool_realloc(pool, line, 4000), nullptr); // a large block: heap call fails
    EXPECT_EQ(mempool_alloc(pool, 1000), nullptr);
    g_fail_after = -1;
    EXPECT_STREQ(line, "a line of text");
    EXPECT_EQ(mempool_block_size(line), 128u);

    EXPECT_EQ(mempool_realloc(pool, line, UINT64_MAX), nullptr); // size rounding overflows
    EXPECT_STREQ(line, "a line of text");

    // The class path: the chunk is used up, so growing needs a new chunk.
    std::set<void*> seen;
    while (pool->chunks->end - pool->chunks->fill >= 256 + 16) mempool_alloc(pool, 256);
    g_fail_after = 0;
    EXPECT_EQ(mempool_realloc(pool, line, 256), nullptr);
    g_fail_after = -1;
    EXPECT_STREQ(line, "a line of text");
    char* moved = static_cast<char*>(mempool_realloc(pool, line, 256));
    ASSERT_NE(moved, nullptr);
    EXPECT_STREQ(moved, "a line of text");
    mempool_free(moved);
    mempool_destroy(pool);
}

TEST_F(MemPoolTest, CreateFailsCleanly) {
    g_fail_after = 0;
    EXPECT_EQ(mempool_create(64, 64), nullptr);
    g_fail_after = -1;
    MemPool* pool = mempool_create(0x8000, 0x8000);
    EXPECT_EQ(pool->first_chunk_size, 0x8000u);
    EXPECT_EQ(pool->large_threshold, 8192u);
    mempool_destroy(pool);
    mempool_destroy(nullptr);
}
