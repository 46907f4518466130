// Fixed-size node allocator for line and undo records, the two global
// text memory pools, and the heap seam the text buffer allocates through.
//
// Nodes come in blocks of a fixed count; released nodes go on a free list and
// are reused first. Blocks return to the heap only when the pool is destroyed
// at exit. Every pool, and each global memory pool, takes its own lock, so
// buffers may be used on different threads at once (one buffer, one thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

// Heap calls of the node pools, the line array and the text buffer's
// temporary arrays. Tests replace them to make an allocation fail; they are
// malloc, realloc and free otherwise.
extern void* (*edit_heap_alloc)(size_t size);
extern void* (*edit_heap_realloc)(void* p, size_t size);
extern void (*edit_heap_free)(void* p);

class NodePool {
public:
    constexpr NodePool(uint64_t nodeSize, int nodesPerBlock)
        : m_nodeSize(nodeSize), m_perBlock(nodesPerBlock) {}
    ~NodePool();
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;

    // Adds one block of nodes to the free list: 0, or 1 when memory runs out.
    int AddBlock();
    // A node from the free list (a block is added when it is empty); null when
    // memory runs out. The node's bytes are not cleared.
    void* Take();
    // Pushes a node back onto the free list; null is accepted.
    void Give(void* node);

    int InUse() const;
    // Nodes on the free list.
    int FreeCount() const;
    int BlockCount() const;
    uint64_t NodeSize() const { return m_nodeSize; }
    int NodesPerBlock() const { return m_perBlock; }

private:
    struct BlockRecord {
        void* block;
        BlockRecord* next;
    };
    int AddBlockLocked();

    uint64_t m_nodeSize;
    int m_perBlock;
    BlockRecord* m_blocks = nullptr;
    void* m_free = nullptr;
    int m_inUse = 0;
    int m_blockCount = 0;
    mutable std::mutex m_lock;
};

extern NodePool EditLinePool;
extern NodePool UndoRecordPool;

// The line-text memory pool (first chunk 256 KB, largest 8 MB): line texts and
// word-wrap break arrays. A block's capacity in bytes is the word before it.
void* edittext_alloc(uint64_t bytes);
void* edittext_realloc(void* block, uint64_t bytes); // null: the old block stays
void edittext_free(void* block);

// The undo memory pool: texts of undo records.
void* undotext_alloc(uint64_t bytes);
void* undotext_realloc(void* block, uint64_t bytes);
void undotext_free(void* block);

// Capacity in bytes of a block of either pool.
uint64_t edit_block_capacity(const void* block);
