// The undo ring shared by the text buffer and the editable grid model.
//
// A ring of step slots; each step is a doubly linked chain of records, the
// slot holding its oldest record. The ring stores and navigates records only:
// what a record type means is its owner's business.
#pragma once

#include <climits>
#include <cstdint>

// One record of a step (a node of UndoRecordPool).
struct UndoRecord {
    uint32_t stepId;
    int32_t type; // 0 a group head; other values are the owner's
    uint32_t line;
    int32_t column;
    uint64_t length;      // units of text held
    uint64_t capacity;    // bytes allocated for the text
    char16_t* text;       // undo memory pool block, not NUL-terminated; null when none
    UndoRecord* next;     // newer record of the same step
    UndoRecord* previous; // older record of the same step

    // Makes the text block exactly bytes large (32 when 0): 0, or 1 with the
    // old text kept.
    int Reserve(uint64_t bytes);
    // Appends count units (-1: up to the NUL): 0, or 1 with the old text kept.
    int AppendText(const char16_t* chars, int64_t count);
    // Makes room for count more units without appending: 0 or 1.
    int EnsureRoom(uint64_t count);
};

static_assert(sizeof(UndoRecord) == 56, "an undo record is one 56-byte node");

class UndoBuffer {
public:
    int32_t top = 0;
    int32_t stepCounter = 0;
    int32_t capacity;
    int32_t allocated = 0;
    int32_t recordingType = 0;
    int32_t depth = 0;
    UndoRecord* current = nullptr;
    UndoRecord** slots = nullptr;

    // A ring of the capacity with initialSlots slots (min(capacity, 64) when 0
    // or below). Check allocated afterwards: 0 means the slots could not be had.
    explicit UndoBuffer(int32_t capacity, int32_t initialSlots = 0);
    ~UndoBuffer() { FreeAll(); }
    UndoBuffer(const UndoBuffer&) = delete;
    UndoBuffer& operator=(const UndoBuffer&) = delete;

    int GrowSlots(int32_t n);
    int AddRecord(int32_t type, int chained);
    void BeginGroup(int lazy);
    void EndGroup();
    void FreeSlot(int32_t index);
    void FreeAll();
    // FreeAll and the fields of a new ring of the same capacity.
    int Reinit();

    // The step id of the current record, 0 when none.
    uint32_t CurrentStepId() const { return current ? current->stepId : 0; }
    // The oldest record of the top step, or null.
    UndoRecord* TopStep() const { return SlotAt(top); }
    UndoRecord* SlotAt(int32_t index) const {
        return index >= 0 && index < allocated ? slots[index] : nullptr;
    }
    // Undo moves back one step; redo forward (0), or reports nothing to redo (1)
    // leaving the ring where it was.
    void StepBack();
    int StepForward();

    // Shows the out-of-memory message box.
    static void ShowNoMemory();

private:
    UndoRecord* m_groupHead = nullptr; // first record of the outermost open group
    bool m_groupDetached = false;      // that record is a detached (lazy) head

    static UndoRecord* TakeRecord(uint32_t stepId);
    static void FreeChain(UndoRecord* head);
    static UndoRecord* Newest(UndoRecord* r);
    int32_t Wrap(int64_t index) const;
};

// Ends an armed group when it goes out of scope (an exception passing).
class UndoGroupGuard {
public:
    UndoGroupGuard(UndoBuffer* buffer, bool armed) : m_buffer(buffer), m_armed(armed) {}
    ~UndoGroupGuard() {
        if (m_armed && m_buffer) m_buffer->EndGroup();
        m_armed = false;
    }
    void Arm() { m_armed = true; }
    void Disarm() { m_armed = false; }
    UndoGroupGuard(const UndoGroupGuard&) = delete;
    UndoGroupGuard& operator=(const UndoGroupGuard&) = delete;

private:
    UndoBuffer* m_buffer;
    bool m_armed;
};

// Number of records taken from UndoRecordPool and not yet returned.
int undo_records_in_use();
