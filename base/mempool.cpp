#include "base/mempool.h"

#include <cstdlib>
#include <cstring>

void* (*mempool_heap_alloc)(size_t size) = std::malloc;
void (*mempool_heap_free)(void* p) = std::free;

namespace {

constexpr uint64_t kChunkHeader = sizeof(MemChunk);
constexpr uint64_t kBlockHeader = sizeof(MemBlockHeader);
constexpr uint64_t kLargestClass = 8u << (MEMPOOL_CLASSES - 1);

int size_class(uint64_t n) {
    if (n <= 8) return 0;
    int i = 0;
    for (uint64_t k = (n - 1) >> 3; k; k >>= 1) i++;
    return i;
}

uint64_t round_up(uint64_t n, uint64_t to) {
    return (n + to - 1) & ~(to - 1);
}

// Rounded size of a large block of n bytes, 0 when it would overflow.
uint64_t large_size(uint64_t n) {
    if (n > UINT64_MAX - 1024 - kChunkHeader - kBlockHeader) return 0;
    return round_up(round_up(n, 8), 1024);
}

void* carve(MemPool* pool, MemChunk* chunk, uint64_t class_size) {
    auto* h = reinterpret_cast<MemBlockHeader*>(chunk->fill);
    h->link = pool;
    h->size = class_size;
    chunk->fill += class_size + kBlockHeader;
    return h + 1;
}

// Cuts what is left of a chunk into free blocks of the largest classes that fit.
void cut_tail(MemPool* pool, MemChunk* chunk) {
    uint64_t rest = static_cast<uint64_t>(chunk->end - chunk->fill);
    while (rest >= 8 + kBlockHeader) {
        uint64_t c = kLargestClass;
        int i = MEMPOOL_CLASSES - 1;
        while (c > rest - kBlockHeader) {
            c >>= 1;
            i--;
        }
        auto* h = reinterpret_cast<MemBlockHeader*>(chunk->fill);
        h->size = c;
        h->link = pool->free_list[i];
        pool->free_list[i] = h;
        chunk->fill += c + kBlockHeader;
        rest -= c + kBlockHeader;
    }
}

void* alloc_large(MemPool* pool, uint64_t n) {
    uint64_t s = large_size(n);
    if (s == 0) return nullptr;
    MemChunk* chunk = mempool_new_chunk(pool, s + kChunkHeader + kBlockHeader);
    if (!chunk) return nullptr;
    chunk->fill = chunk->end;
    if (pool->chunks) {
        chunk->next = pool->chunks->next;
        pool->chunks->next = chunk;
    } else {
        pool->chunks = chunk;
    }
    auto* h = reinterpret_cast<MemBlockHeader*>(chunk + 1);
    h->link = pool;
    h->size = s;
    return h + 1;
}

} // namespace

MemPool* mempool_create(int first_chunk_size, int largest_chunk_size) {
    auto* pool = static_cast<MemPool*>(mempool_heap_alloc(sizeof(MemPool)));
    if (!pool) return nullptr;
    std::memset(pool, 0, sizeof(*pool));
    uint64_t first = round_up(first_chunk_size > 0 ? static_cast<uint64_t>(first_chunk_size) : 0, 8);
    if (first < 1024) first = 1024;
    uint64_t largest = round_up(largest_chunk_size > 0 ? static_cast<uint64_t>(largest_chunk_size) : 0, 8);
    if (largest < first) largest = first;
    uint64_t threshold = kLargestClass;
    while (largest - 48 < threshold) threshold >>= 1;
    pool->first_chunk_size = first;
    pool->next_chunk_size = first;
    pool->largest_chunk_size = largest;
    pool->large_threshold = threshold;
    return pool;
}

MemChunk* mempool_new_chunk(MemPool* pool, uint64_t size) {
    if (size < kChunkHeader || size > SIZE_MAX) return nullptr;
    auto* chunk = static_cast<MemChunk*>(mempool_heap_alloc(static_cast<size_t>(size)));
    if (!chunk) return nullptr;
    chunk->pool = pool;
    chunk->next = nullptr;
    chunk->fill = reinterpret_cast<char*>(chunk) + kChunkHeader;
    chunk->end = reinterpret_cast<char*>(chunk) + size;
    return chunk;
}

void* mempool_alloc(MemPool* pool, uint64_t size) {
    if (size > pool->large_threshold) return alloc_large(pool, size);
    int i = size_class(size);
    uint64_t class_size = 8u << i;
    if (MemBlockHeader* h = pool->free_list[i]) {
        pool->free_list[i] = static_cast<MemBlockHeader*>(h->link);
        h->link = pool;
        return h + 1;
    }
    MemChunk* head = pool->chunks;
    if (head && static_cast<uint64_t>(head->end - head->fill) >= class_size + kBlockHeader)
        return carve(pool, head, class_size);
    if (head) cut_tail(pool, head);
    uint64_t chunk_size = pool->next_chunk_size;
    while (chunk_size < class_size + kChunkHeader + kBlockHeader) chunk_size <<= 1;
    MemChunk* chunk = mempool_new_chunk(pool, chunk_size);
    if (!chunk) return nullptr;
    uint64_t next = pool->next_chunk_size << 1;
    pool->next_chunk_size = next < pool->largest_chunk_size ? next : pool->largest_chunk_size;
    chunk->next = pool->chunks;
    pool->chunks = chunk;
    return carve(pool, chunk, class_size);
}

void mempool_free(void* block) {
    if (!block) return;
    auto* h = static_cast<MemBlockHeader*>(block) - 1;
    auto* pool = static_cast<MemPool*>(h->link);
    if (h->size > pool->large_threshold) {
        for (MemChunk** link = &pool->chunks; *link; link = &(*link)->next) {
            MemChunk* chunk = *link;
            if (reinterpret_cast<MemBlockHeader*>(chunk + 1) == h) {
                *link = chunk->next;
                mempool_heap_free(chunk);
                return;
            }
        }
        return;
    }
    int i = size_class(h->size);
    h->link = pool->free_list[i];
    pool->free_list[i] = h;
}

void* mempool_realloc(MemPool* pool, void* block, uint64_t size) {
    if (!block) return mempool_alloc(pool, size);
    uint64_t old_size = mempool_block_size(block);
    uint64_t new_size = size > pool->large_threshold ? large_size(size) : 8u << size_class(size);
    if (new_size == 0) return nullptr;
    if (new_size == old_size) return block;
    void* fresh = mempool_alloc(pool, size);
    if (!fresh) return nullptr; // the caller keeps the old block
    std::memcpy(fresh, block, static_cast<size_t>(size < old_size ? size : old_size));
    mempool_free(block);
    return fresh;
}

void mempool_destroy(MemPool* pool) {
    if (!pool) return;
    for (MemChunk* chunk = pool->chunks; chunk;) {
        MemChunk* next = chunk->next;
        mempool_heap_free(chunk);
        chunk = next;
    }
    mempool_heap_free(pool);
}
