// MemPool: the small-block allocator. Blocks come in power-of-two size
// classes (8 << i bytes, i = 0..10) carved from chunks taken from the C heap;
// freed blocks go on one free list per class and return to the heap only when
// the pool is destroyed. Requests above the pool's threshold get a chunk of
// their own (a large block), released when the block is freed.
//
// Every block has a 16-byte header in front of it: the owning pool while in
// use (the next free block while on a free list), then the size word (the
// class size, or the rounded size of a large block). Blocks are aligned to 8
// bytes. No locking: a pool is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

struct MemPool;

// Header at the start of every chunk and every large block (32 bytes).
struct MemChunk {
    MemPool* pool;
    MemChunk* next;
    char* fill; // first free byte
    char* end;  // one past the last byte
};

// Header in front of every block (16 bytes).
struct MemBlockHeader {
    void* link; // owning pool in use, next free block on a free list
    uint64_t size;
};

enum { MEMPOOL_CLASSES = 11 };

struct MemPool {
    MemChunk* chunks; // newest chunk first; the head is the one blocks are carved from
    MemBlockHeader* free_list[MEMPOOL_CLASSES];
    uint64_t first_chunk_size;
    uint64_t next_chunk_size;
    uint64_t largest_chunk_size;
    uint64_t large_threshold;
};

static_assert(sizeof(MemChunk) == 32, "chunk header is 32 bytes");
static_assert(sizeof(MemBlockHeader) == 16, "block header is 16 bytes");

// A pool with the given first and largest chunk sizes; no chunk is taken yet.
// NULL when the record cannot be allocated.
MemPool* mempool_create(int first_chunk_size, int largest_chunk_size);

// A block of at least size bytes; NULL when memory is short or the size
// cannot be rounded.
void* mempool_alloc(MemPool* pool, uint64_t size);

// Returns a block to the pool it came from; NULL is accepted.
void mempool_free(void* block);

// The block to use from now on: the same block when the size class does not
// change, else a new one holding the smaller of the two sizes. NULL when
// memory is short; the old block then stays valid and untouched.
void* mempool_realloc(MemPool* pool, void* block, uint64_t size);

// Releases every chunk (large blocks included) and the pool record. NULL is
// accepted.
void mempool_destroy(MemPool* pool);

// Takes one chunk of size bytes from the heap and sets its header; the chunk
// is not linked into the pool's list. NULL when memory is short.
MemChunk* mempool_new_chunk(MemPool* pool, uint64_t size);

// The size word of a block: its class size, or the rounded size of a large block.
inline uint64_t mempool_block_size(const void* block) {
    return (static_cast<const MemBlockHeader*>(block) - 1)->size;
}

// The heap calls of every pool. Tests replace them to make an allocation
// fail; they are malloc and free otherwise.
extern void* (*mempool_heap_alloc)(size_t size);
extern void (*mempool_heap_free)(void* p);
