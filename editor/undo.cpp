#include "editor/undo.h"

#include <cstring>

#include <afxwin.h>
#include <windows.h>

#include "editor/nodepool.h"

int UndoRecord::Reserve(uint64_t bytes) {
    if (bytes == 0) bytes = 32;
    void* block = undotext_alloc(bytes);
    if (!block) return 1;
    if (text) {
        std::memcpy(block, text, static_cast<size_t>(capacity < bytes ? capacity : bytes));
        undotext_free(text);
    }
    text = static_cast<char16_t*>(block);
    capacity = bytes;
    return 0;
}

int UndoRecord::EnsureRoom(uint64_t count) {
    uint64_t need = (length + count) * 2;
    if (need < capacity) return 0;
    uint64_t cap = capacity ? capacity : 64;
    while (cap <= need) cap *= 2;
    return Reserve(cap);
}

int UndoRecord::AppendText(const char16_t* chars, int64_t count) {
    if (count < 0) {
        count = 0;
        while (chars[count]) count++;
    }
    if (count == 0) return 0;
    if (EnsureRoom(static_cast<uint64_t>(count))) return 1;
    std::memcpy(text + length, chars, static_cast<size_t>(count) * 2);
    length += static_cast<uint64_t>(count);
    return 0;
}

UndoBuffer::UndoBuffer(int32_t capacity_, int32_t initialSlots) : capacity(capacity_ > 1 ? capacity_ : 2) {
    if (initialSlots <= 0) initialSlots = capacity < 64 ? capacity : 64;
    GrowSlots(initialSlots);
}

int32_t UndoBuffer::Wrap(int64_t index) const {
    if (index >= capacity) return 0;
    if (index < 0) return capacity - 1;
    return static_cast<int32_t>(index);
}

int UndoBuffer::GrowSlots(int32_t n) {
    if (n > capacity) n = capacity;
    if (n <= allocated) return 0;
    auto* fresh =
        static_cast<UndoRecord**>(edit_heap_realloc(slots, static_cast<size_t>(n) * sizeof(UndoRecord*)));
    if (!fresh) {
        ShowNoMemory();
        return 1;
    }
    for (int32_t i = allocated; i < n; i++) fresh[i] = nullptr;
    slots = fresh;
    allocated = n;
    return 0;
}

UndoRecord* UndoBuffer::TakeRecord(uint32_t stepId) {
    auto* r = static_cast<UndoRecord*>(UndoRecordPool.Take());
    if (!r) return nullptr;
    std::memset(static_cast<void*>(r), 0, sizeof(*r));
    r->stepId = stepId;
    return r;
}

void UndoBuffer::FreeChain(UndoRecord* r) {
    while (r) {
        UndoRecord* next = r->next;
        undotext_free(r->text);
        UndoRecordPool.Give(r);
        r = next;
    }
}

UndoRecord* UndoBuffer::Newest(UndoRecord* r) {
    while (r && r->next) r = r->next;
    return r;
}

void UndoBuffer::FreeSlot(int32_t index) {
    if (index < 0 || index >= allocated) return;
    FreeChain(slots[index]);
    slots[index] = nullptr;
}

int UndoBuffer::AddRecord(int32_t type, int chained) {
    if ((depth > 0 || chained) && current) {
        UndoRecord* r = TakeRecord(static_cast<uint32_t>(stepCounter));
        if (!r) return 1;
        r->stepId = current->stepId;
        r->previous = current;
        current->next = r;
        current = r;
    } else {
        int32_t newTop = Wrap(static_cast<int64_t>(top) + 1);
        int32_t after = Wrap(static_cast<int64_t>(newTop) + 1);
        if (after != 0 && after >= allocated && GrowSlots(allocated + 64)) return 1;
        if (newTop >= allocated && GrowSlots(newTop + 1)) return 1;
        UndoRecord* r = TakeRecord(static_cast<uint32_t>(stepCounter) + 1);
        if (!r) {
            ShowNoMemory();
            return 1;
        }
        top = newTop;
        stepCounter++;
        FreeSlot(after);
        FreeSlot(top);
        slots[top] = r;
        current = r;
    }
    recordingType = type;
    current->type = type;
    current->length = 0;
    return 0;
}

void UndoBuffer::BeginGroup(int lazy) {
    if (depth == 0) {
        m_groupHead = nullptr;
        m_groupDetached = false;
    }
    if (!lazy || depth > 0) {
        if (AddRecord(0, 0) == 0 && depth == 0) m_groupHead = current;
    } else {
        recordingType = 0;
        UndoRecord* r = TakeRecord(static_cast<uint32_t>(stepCounter) + 1);
        if (r) {
            stepCounter++;
            r->length = 1; // the detached mark
            current = r;
            m_groupHead = r;
            m_groupDetached = true;
        }
    }
    depth++;
}

void UndoBuffer::EndGroup() {
    if (depth <= 0) return;
    if (--depth > 0) return;
    UndoRecord* head = m_groupHead;
    bool detached = m_groupDetached;
    m_groupHead = nullptr;
    m_groupDetached = false;
    if (!head || !current) return;
    bool recorded = false;
    for (UndoRecord* r = head; r; r = r->next) {
        if (r->type != 0) {
            recorded = true;
            break;
        }
    }
    if (detached) {
        if (recorded) {
            // Hang the chain after a real head that carries the group's step id.
            UndoRecord* newest = Newest(head);
            uint32_t id = head->stepId;
            if (AddRecord(0, 0)) {
                FreeChain(head);
                current = Newest(SlotAt(top));
                return;
            }
            UndoRecord* realHead = current;
            realHead->stepId = id;
            stepCounter = static_cast<int32_t>(id);
            realHead->next = head;
            head->previous = realHead;
            head->length = 0;
            current = newest;
            recordingType = 0;
        } else {
            FreeChain(head);
            current = Newest(SlotAt(top));
        }
        return;
    }
    if (recorded || head != SlotAt(top)) return;
    int32_t old = top;
    top = Wrap(static_cast<int64_t>(top) - 1);
    current = Newest(SlotAt(top));
    FreeSlot(old);
}

void UndoBuffer::FreeAll() {
    if (m_groupDetached) FreeChain(m_groupHead);
    m_groupHead = nullptr;
    m_groupDetached = false;
    for (int32_t i = 0; i < allocated; i++) FreeChain(slots[i]);
    edit_heap_free(slots);
    slots = nullptr;
    allocated = 0;
    current = nullptr;
}

int UndoBuffer::Reinit() {
    FreeAll();
    top = 0;
    stepCounter = 0;
    recordingType = 0;
    depth = 0;
    return GrowSlots(capacity < 64 ? capacity : 64);
}

void UndoBuffer::StepBack() {
    top = Wrap(static_cast<int64_t>(top) - 1);
    current = Newest(SlotAt(top));
}

int UndoBuffer::StepForward() {
    int32_t next = Wrap(static_cast<int64_t>(top) + 1);
    UndoRecord* head = SlotAt(next);
    if (!head) return 1;
    top = next;
    current = Newest(head);
    return 0;
}

int undo_records_in_use() {
    return UndoRecordPool.InUse();
}

void UndoBuffer::ShowNoMemory() {
    CWnd* main = AfxGetMainWnd();
    MessageBoxW(main ? main->GetSafeHwnd() : nullptr, u"メモリが確保できません", u"メッセージ",
                MB_ICONINFORMATION);
}
