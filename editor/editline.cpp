#include "editor/editline.h"

#include <cstring>

#include "editor/nodepool.h"

char16_t g_editEmptyText[1] = {0};
EditLine g_editEmptyLine = {g_editEmptyText, 0, 1, 0, 0, 0, -1, 0, 1, nullptr, 0};

EditLine* EditLine::New() {
    auto* line = static_cast<EditLine*>(EditLinePool.Take());
    if (!line) return nullptr;
    *line = EditLine{g_editEmptyText, 0, 1, 0, 0, 0, -1, 0, 1, nullptr, 0};
    return line;
}

bool EditLine::IsSharedText() const {
    return text == g_editEmptyText;
}

int EditLine::Reserve(uint64_t bytes) {
    void* block;
    if (IsSharedText()) {
        block = edittext_alloc(bytes);
        if (!block) return 1;
        static_cast<char16_t*>(block)[0] = 0;
    } else {
        block = edittext_realloc(text, bytes);
        if (!block) return 1;
    }
    text = static_cast<char16_t*>(block);
    capacity = edit_block_capacity(block);
    return 0;
}

int EditLine::InsertChars(int column, const char16_t* chars, int count) {
    if (count <= 0) return 0;
    if (this == &g_editEmptyLine) return 1;
    if (column < 0) column = 0;
    if (column > length - 1) column = length - 1;
    uint64_t need = static_cast<uint64_t>(length + count) * 2;
    if (need >= capacity && Reserve(need + 2)) return 1;
    lexFlags |= LEXF_CHANGED;
    std::memmove(text + column + count, text + column, static_cast<size_t>(length - 1 - column) * 2);
    std::memcpy(text + column, chars, static_cast<size_t>(count) * 2);
    length += count;
    text[length - 1] = 0;
    return 0;
}

int EditLine::DeleteChars(int column, int count) {
    if (count <= 0 || this == &g_editEmptyLine) return 0;
    if (column < 0) column = 0;
    if (column + count > length - 1) count = length - 1 - column;
    if (count <= 0) return 0;
    lexFlags |= LEXF_CHANGED;
    std::memmove(text + column, text + column + count, static_cast<size_t>(length - column - count) * 2);
    length -= count;
    uint64_t used = static_cast<uint64_t>(length) * 2;
    if (!IsSharedText() && capacity > used + 128) Reserve(used + 2);
    return 0;
}

void EditLine::Release() {
    if (this == &g_editEmptyLine) return;
    if (!IsSharedText()) edittext_free(text);
    text = g_editEmptyText;
    edittext_free(breaks);
    breaks = nullptr;
    EditLinePool.Give(this);
}

void LineArray::MoveGap(int position) {
    int gap = gapEnd - gapStart;
    if (position < gapStart) {
        int n = gapStart - position;
        std::memmove(slots + gapEnd - n, slots + position, static_cast<size_t>(n) * sizeof(EditLine*));
        int clearFrom = position, clearTo = position + n < gapEnd - n ? position + n : gapEnd - n;
        for (int i = clearFrom; i < clearTo; i++) slots[i] = nullptr;
    } else if (position > gapStart) {
        int n = position - gapStart;
        std::memmove(slots + gapStart, slots + gapEnd, static_cast<size_t>(n) * sizeof(EditLine*));
        int clearFrom = gapEnd > gapStart + n ? gapEnd : gapStart + n;
        for (int i = clearFrom; i < gapEnd + n; i++) slots[i] = nullptr;
    } else {
        return;
    }
    gapStart = position;
    gapEnd = position + gap;
}

int LineArray::Resize(int slotCount) {
    if (slotCount == 0) slotCount = allocated + growStep;
    if (slotCount < count) return 1;
    MoveGap(count);
    auto* fresh =
        static_cast<EditLine**>(edit_heap_realloc(slots, static_cast<size_t>(slotCount) * sizeof(EditLine*)));
    if (!fresh) return 1;
    for (int i = allocated; i < slotCount; i++) fresh[i] = nullptr;
    slots = fresh;
    allocated = slotCount;
    gapEnd = slotCount;
    return 0;
}

int LineArray::Reserve(int more) {
    if (static_cast<int64_t>(more) + count + 5 < allocated) return 0;
    int64_t want = allocated;
    while (static_cast<int64_t>(more) + count + 5 >= want) {
        if (want == 0)
            want = growStep;
        else if (want < 0x100000)
            want *= 2;
        else
            want += 0x100000;
    }
    if (want > 0x7FFFFFF0) return 1;
    return Resize(static_cast<int>(want));
}

int LineArray::InsertLine(int index, EditLine* line) {
    if (Reserve(1)) return 1;
    if (index < 0) index = 0;
    if (index > count) index = count;
    MoveGap(index);
    slots[gapStart++] = line;
    count++;
    return 0;
}

int LineArray::InsertLines(EditLine** lines, int lastIndex, int tailColumn, int count_, int splitColumn,
                           int splitLine) {
    if (count_ <= 0) return 0;
    EditLine* split = At(splitLine);
    EditLine* last = lines[lastIndex];
    if (splitColumn < 0) splitColumn = 0;
    if (splitColumn > split->length - 1) splitColumn = split->length - 1;
    int tail = split->length - 1 - splitColumn;
    if (Reserve(count_)) return 1;
    if (tail > 0 && last->InsertChars(tailColumn, split->text + splitColumn, tail)) return 1;
    MoveGap(splitLine + 1);
    for (int i = 0; i < count_; i++) slots[gapStart + i] = lines[i];
    gapStart += count_;
    count += count_;
    split->DeleteChars(splitColumn, tail);
    return 0;
}

void LineArray::DeleteLine(int index) {
    if (index < 0 || index >= count) return;
    EditLine* line = At(index);
    if (index == gapStart) {
        slots[gapEnd] = nullptr;
        gapEnd++;
    } else {
        MoveGap(index + 1);
        slots[index] = nullptr;
        gapStart--;
    }
    count--;
    line->Release();
}

void LineArray::SwapLines(int a, int b) {
    if (a < 0 || b < 0 || a >= count || b >= count || a == b) return;
    EditLine* t = Slot(a);
    Slot(a) = Slot(b);
    Slot(b) = t;
}

void LineArray::FreeAll() {
    for (int i = 0; i < count; i++) At(i)->Release();
    edit_heap_free(slots);
    slots = nullptr;
    count = allocated = 0;
    gapStart = gapEnd = 0;
}
