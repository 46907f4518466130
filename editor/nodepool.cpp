#include "editor/nodepool.h"

#include <cstdlib>

#include "base/mempool.h"

static void* heap_alloc(size_t size) {
    return std::malloc(size);
}
static void* heap_realloc(void* p, size_t size) {
    return std::realloc(p, size);
}
static void heap_free(void* p) {
    std::free(p);
}

void* (*edit_heap_alloc)(size_t size) = heap_alloc;
void* (*edit_heap_realloc)(void* p, size_t size) = heap_realloc;
void (*edit_heap_free)(void* p) = heap_free;

NodePool EditLinePool(64, 256);
NodePool UndoRecordPool(56, 128);

NodePool::~NodePool() {
    std::lock_guard<std::mutex> guard(m_lock);
    while (m_blocks) {
        BlockRecord* next = m_blocks->next;
        edit_heap_free(m_blocks->block);
        edit_heap_free(m_blocks);
        m_blocks = next;
    }
    m_free = nullptr;
    m_blockCount = 0;
}

int NodePool::AddBlock() {
    std::lock_guard<std::mutex> guard(m_lock);
    return AddBlockLocked();
}

int NodePool::AddBlockLocked() {
    m_nodeSize = (m_nodeSize + 7) & ~uint64_t(7);
    BlockRecord* rec = static_cast<BlockRecord*>(edit_heap_alloc(sizeof(BlockRecord)));
    if (!rec) return 1;
    char* block = static_cast<char*>(edit_heap_alloc(m_nodeSize * m_perBlock));
    if (!block) {
        edit_heap_free(rec);
        return 1;
    }
    rec->block = block;
    rec->next = m_blocks;
    m_blocks = rec;
    m_blockCount++;
    for (int i = 0; i < m_perBlock; i++) {
        void* next = i + 1 < m_perBlock ? block + (i + 1) * m_nodeSize : m_free;
        *reinterpret_cast<void**>(block + i * m_nodeSize) = next;
    }
    m_free = block;
    return 0;
}

void* NodePool::Take() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_free && AddBlockLocked()) return nullptr;
    void* node = m_free;
    m_free = *static_cast<void**>(node);
    m_inUse++;
    return node;
}

void NodePool::Give(void* node) {
    if (!node) return;
    std::lock_guard<std::mutex> guard(m_lock);
    *static_cast<void**>(node) = m_free;
    m_free = node;
    m_inUse--;
}

int NodePool::InUse() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_inUse;
}

int NodePool::FreeCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_blockCount * m_perBlock - m_inUse;
}

int NodePool::BlockCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_blockCount;
}

namespace {

// One global memory pool with its lock, created on first use.
struct LockedPool {
    int firstChunk;
    int largestChunk;
    MemPool* pool = nullptr;
    std::mutex lock;

    constexpr LockedPool(int first, int largest) : firstChunk(first), largestChunk(largest) {}
    ~LockedPool() {
        std::lock_guard<std::mutex> guard(lock);
        mempool_destroy(pool);
        pool = nullptr;
    }
    MemPool* Get() {
        if (!pool) pool = mempool_create(firstChunk, largestChunk);
        return pool;
    }
    void* Alloc(uint64_t bytes) {
        std::lock_guard<std::mutex> guard(lock);
        MemPool* p = Get();
        return p ? mempool_alloc(p, bytes) : nullptr;
    }
    void* Realloc(void* block, uint64_t bytes) {
        std::lock_guard<std::mutex> guard(lock);
        MemPool* p = Get();
        return p ? mempool_realloc(p, block, bytes) : nullptr;
    }
    void Free(void* block) {
        if (!block) return;
        std::lock_guard<std::mutex> guard(lock);
        mempool_free(block);
    }
};

LockedPool g_lineTextPool(0x40000, 0x800000);
LockedPool g_undoTextPool(64, 64);

} // namespace

void* edittext_alloc(uint64_t bytes) {
    return g_lineTextPool.Alloc(bytes);
}
void* edittext_realloc(void* block, uint64_t bytes) {
    return g_lineTextPool.Realloc(block, bytes);
}
void edittext_free(void* block) {
    g_lineTextPool.Free(block);
}

void* undotext_alloc(uint64_t bytes) {
    return g_undoTextPool.Alloc(bytes);
}
void* undotext_realloc(void* block, uint64_t bytes) {
    return g_undoTextPool.Realloc(block, bytes);
}
void undotext_free(void* block) {
    g_undoTextPool.Free(block);
}

uint64_t edit_block_capacity(const void* block) {
    return mempool_block_size(block);
}
