// MFC's collections this program uses: CStringList (a doubly linked list
// walked by POSITION), CStringArray (a growable array) and CMapPtrToPtr (a
// hash map from pointer to pointer whose entries are allocated in blocks).
// A POSITION stays valid until its own element is removed.
#pragma once

#include <memory>
#include <vector>

#include "mfc/cstring.h"
#include "mfc/object.h"

typedef void* POSITION;

class CStringList : public CObject {
public:
    explicit CStringList(INT_PTR blockSize = 10);
    ~CStringList() override;
    CStringList(const CStringList&) = delete;
    CStringList& operator=(const CStringList&) = delete;

    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    BOOL IsEmpty() const { return m_count == 0; }

    // The first and last elements; the list must not be empty.
    CString& GetHead();
    const CString& GetHead() const;
    CString& GetTail();
    const CString& GetTail() const;
    CString RemoveHead();
    CString RemoveTail();

    POSITION AddHead(LPCWSTR value);
    POSITION AddTail(LPCWSTR value);
    // Every element of another list, in its order, before the head or after the tail.
    void AddHead(const CStringList* list);
    void AddTail(const CStringList* list);
    void RemoveAll();

    POSITION GetHeadPosition() const { return m_head; }
    POSITION GetTailPosition() const { return m_tail; }
    // The element at pos; pos moves to the next (previous) one, null after the last.
    CString& GetNext(POSITION& pos);
    const CString& GetNext(POSITION& pos) const;
    CString& GetPrev(POSITION& pos);
    const CString& GetPrev(POSITION& pos) const;
    CString& GetAt(POSITION pos);
    const CString& GetAt(POSITION pos) const;
    void SetAt(POSITION pos, LPCWSTR value);
    void RemoveAt(POSITION pos);
    POSITION InsertBefore(POSITION pos, LPCWSTR value);
    POSITION InsertAfter(POSITION pos, LPCWSTR value);

    // The first element equal to value (case-sensitive) after startAfter
    // (from the head when null), or null.
    POSITION Find(LPCWSTR value, POSITION startAfter = nullptr) const;
    // The element at a 0-based index, or null when out of range.
    POSITION FindIndex(INT_PTR index) const;

private:
    struct Node;
    Node* NewNode(LPCWSTR value, Node* prev, Node* next);
    static Node* NodeOf(POSITION pos);

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    INT_PTR m_count = 0;
};

class CStringArray : public CObject {
public:
    CStringArray() = default;
    CStringArray(const CStringArray&) = delete;
    CStringArray& operator=(const CStringArray&) = delete;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    BOOL IsEmpty() const { return m_items.empty(); }
    // Grows with empty strings or cuts; growBy is accepted and unused.
    void SetSize(INT_PTR size, INT_PTR growBy = -1);
    void FreeExtra() { m_items.shrink_to_fit(); }
    void RemoveAll() { m_items.clear(); }

    // Index checked: out of range throws CInvalidArgException.
    const CString& GetAt(INT_PTR index) const;
    CString& ElementAt(INT_PTR index);
    void SetAt(INT_PTR index, LPCWSTR value);
    CString& operator[](INT_PTR index) { return ElementAt(index); }
    const CString& operator[](INT_PTR index) const { return GetAt(index); }
    const CString* GetData() const { return m_items.data(); }
    CString* GetData() { return m_items.data(); }

    // Sets the element, growing the array to reach index first.
    void SetAtGrow(INT_PTR index, LPCWSTR value);
    INT_PTR Add(LPCWSTR value);
    // Appends another array; gives the index of its first element here.
    INT_PTR Append(const CStringArray& other);
    void Copy(const CStringArray& other);
    // count copies of value at index (the array grows to reach it).
    void InsertAt(INT_PTR index, LPCWSTR value, INT_PTR count = 1);
    void RemoveAt(INT_PTR index, INT_PTR count = 1);

private:
    void Check(INT_PTR index) const;
    std::vector<CString> m_items;
};

class CMapPtrToPtr : public CObject {
public:
    // Entries are allocated blockSize at a time.
    explicit CMapPtrToPtr(INT_PTR blockSize = 10);
    ~CMapPtrToPtr() override;
    CMapPtrToPtr(const CMapPtrToPtr&) = delete;
    CMapPtrToPtr& operator=(const CMapPtrToPtr&) = delete;

    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    BOOL IsEmpty() const { return m_count == 0; }

    BOOL Lookup(void* key, void*& value) const;
    // The value of key, added as null when missing.
    void*& operator[](void* key);
    void SetAt(void* key, void* value) { (*this)[key] = value; }
    BOOL RemoveKey(void* key);
    void RemoveAll();

    // Walks every entry once, in no particular order; removing the entry just
    // given keeps the walk valid.
    POSITION GetStartPosition() const;
    void GetNextAssoc(POSITION& pos, void*& key, void*& value) const;

    // Before the first entry: the number of buckets (17 by default).
    void InitHashTable(UINT size, BOOL allocNow = TRUE);
    UINT GetHashTableSize() const { return m_hashSize; }

private:
    struct Assoc {
        Assoc* next;
        void* key;
        void* value;
    };
    UINT Bucket(void* key) const;
    Assoc* Get(void* key, UINT* bucket) const;
    Assoc* NewAssoc();
    void FreeAssoc(Assoc* a);

    std::vector<Assoc*> m_table;
    UINT m_hashSize = 17;
    INT_PTR m_count = 0;
    INT_PTR m_blockSize;
    Assoc* m_free = nullptr;
    std::vector<std::unique_ptr<Assoc[]>> m_blocks;
};
