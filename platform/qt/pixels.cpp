// Pixel memory of window-sized surfaces. A back buffer or a bitmap the size of
// a window is a couple of megabytes whose every 4 KiB page the kernel finds,
// clears and maps at its first touch, some 1 ms per surface. Taken as 2 MiB
// aligned blocks that the kernel may back with huge pages, the same memory
// comes in one fault, and a block given back is kept for the next surface of
// its size: a grid paints through a window-sized bitmap made at every paint.
#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "qt_internal.h"

namespace qtbk {

namespace {

constexpr size_t kBlock = size_t(2) << 20;
// Smaller surfaces come from the heap, which reuses its memory anyway.
constexpr size_t kFromBlocks = size_t(1) << 20;
// Blocks kept for reuse, at most.
constexpr size_t kKeptBytes = size_t(32) << 20;

struct Block {
    void* base;
    size_t size;
};

std::mutex g_blockMutex;
std::vector<Block> g_kept;
size_t g_keptBytes = 0;

void* MapBlock(size_t size) {
    // Mapped one block larger and trimmed to an aligned start: a huge page
    // backs only an aligned 2 MiB range.
    void* raw = mmap(nullptr, size + kBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kBlock - 1) & ~(kBlock - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = start + size + kBlock;
    if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    void* base = reinterpret_cast<void*>(aligned);
    // Both are hints: without huge pages, or on an older kernel, the pages
    // simply come one by one as they are touched.
    madvise(base, size, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(base, size, MADV_POPULATE_WRITE);
#endif
    return base;
}

void ReleaseBlock(void* info) {
    auto* block = static_cast<Block*>(info);
    {
        std::lock_guard<std::mutex> lock(g_blockMutex);
        if (g_keptBytes + block->size <= kKeptBytes) {
            g_kept.push_back(*block);
            g_keptBytes += block->size;
            block->base = nullptr;
        }
    }
    if (block->base) munmap(block->base, block->size);
    delete block;
}

Block* AcquireBlock(size_t size) {
    {
        std::lock_guard<std::mutex> lock(g_blockMutex);
        for (size_t i = 0; i < g_kept.size(); ++i)
            if (g_kept[i].size == size) {
                auto* block = new Block(g_kept[i]);
                g_kept.erase(g_kept.begin() + static_cast<std::ptrdiff_t>(i));
                g_keptBytes -= size;
                return block;
            }
    }
    void* base = MapBlock(size);
    return base ? new Block{base, size} : nullptr;
}

} // namespace

QImage MakeSurfaceImage(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    const size_t stride = static_cast<size_t>(width) * 4;
    const size_t bytes = stride * static_cast<size_t>(height);
    if (bytes >= kFromBlocks && bytes <= (size_t(1) << 31)) {
        const size_t size = (bytes + kBlock - 1) & ~(kBlock - 1);
        if (Block* block = AcquireBlock(size)) {
            QImage image(static_cast<uchar*>(block->base), width, height, static_cast<qsizetype>(stride),
                         QImage::Format_RGB32, ReleaseBlock, block);
            if (!image.isNull()) return image;
            ReleaseBlock(block);
        }
    }
    return QImage(width, height, QImage::Format_RGB32);
}

} // namespace qtbk
