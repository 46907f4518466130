// CStringList, CStringArray and CMapPtrToPtr.
#include "mfc/collections.h"

#include <cstdint>

#include "mfc/memexception.h"

// --- CStringList -----------------------------------------------------------------------------

struct CStringList::Node {
    Node* prev;
    Node* next;
    CString value;
};

CStringList::CStringList(INT_PTR) {}

CStringList::~CStringList() {
    RemoveAll();
}

CStringList::Node* CStringList::NodeOf(POSITION pos) {
    if (!pos) AfxThrowInvalidArgException();
    return static_cast<Node*>(pos);
}

CStringList::Node* CStringList::NewNode(LPCWSTR value, Node* prev, Node* next) {
    Node* n = new Node{prev, next, CString(value ? value : u"")};
    if (prev)
        prev->next = n;
    else
        m_head = n;
    if (next)
        next->prev = n;
    else
        m_tail = n;
    ++m_count;
    return n;
}

CString& CStringList::GetHead() {
    return NodeOf(m_head)->value;
}
const CString& CStringList::GetHead() const {
    return NodeOf(m_head)->value;
}
CString& CStringList::GetTail() {
    return NodeOf(m_tail)->value;
}
const CString& CStringList::GetTail() const {
    return NodeOf(m_tail)->value;
}

CString CStringList::RemoveHead() {
    CString v = GetHead();
    RemoveAt(m_head);
    return v;
}
CString CStringList::RemoveTail() {
    CString v = GetTail();
    RemoveAt(m_tail);
    return v;
}

POSITION CStringList::AddHead(LPCWSTR value) {
    return NewNode(value, nullptr, m_head);
}
POSITION CStringList::AddTail(LPCWSTR value) {
    return NewNode(value, m_tail, nullptr);
}

void CStringList::AddHead(const CStringList* list) {
    if (!list) return;
    // Walked from its tail, so the list keeps its order in front of ours.
    for (Node* n = list->m_tail; n; n = n->prev) AddHead(n->value);
}
void CStringList::AddTail(const CStringList* list) {
    if (!list) return;
    // Counted first: a list added to itself doubles once.
    INT_PTR count = list->m_count;
    Node* n = list->m_head;
    for (INT_PTR i = 0; i < count; ++i, n = n->next) AddTail(n->value);
}

void CStringList::RemoveAll() {
    for (Node* n = m_head; n;) {
        Node* next = n->next;
        delete n;
        n = next;
    }
    m_head = m_tail = nullptr;
    m_count = 0;
}

CString& CStringList::GetNext(POSITION& pos) {
    Node* n = NodeOf(pos);
    pos = n->next;
    return n->value;
}
const CString& CStringList::GetNext(POSITION& pos) const {
    Node* n = NodeOf(pos);
    pos = n->next;
    return n->value;
}
CString& CStringList::GetPrev(POSITION& pos) {
    Node* n = NodeOf(pos);
    pos = n->prev;
    return n->value;
}
const CString& CStringList::GetPrev(POSITION& pos) const {
    Node* n = NodeOf(pos);
    pos = n->prev;
    return n->value;
}
CString& CStringList::GetAt(POSITION pos) {
    return NodeOf(pos)->value;
}
const CString& CStringList::GetAt(POSITION pos) const {
    return NodeOf(pos)->value;
}
void CStringList::SetAt(POSITION pos, LPCWSTR value) {
    NodeOf(pos)->value = value ? value : u"";
}

void CStringList::RemoveAt(POSITION pos) {
    Node* n = NodeOf(pos);
    if (n->prev)
        n->prev->next = n->next;
    else
        m_head = n->next;
    if (n->next)
        n->next->prev = n->prev;
    else
        m_tail = n->prev;
    delete n;
    --m_count;
}

POSITION CStringList::InsertBefore(POSITION pos, LPCWSTR value) {
    if (!pos) return AddHead(value);
    Node* n = NodeOf(pos);
    return NewNode(value, n->prev, n);
}
POSITION CStringList::InsertAfter(POSITION pos, LPCWSTR value) {
    if (!pos) return AddTail(value);
    Node* n = NodeOf(pos);
    return NewNode(value, n, n->next);
}

POSITION CStringList::Find(LPCWSTR value, POSITION startAfter) const {
    const char16_t* v = value ? value : u"";
    for (Node* n = startAfter ? NodeOf(startAfter)->next : m_head; n; n = n->next)
        if (n->value == v) return n;
    return nullptr;
}

POSITION CStringList::FindIndex(INT_PTR index) const {
    if (index < 0 || index >= m_count) return nullptr;
    Node* n = m_head;
    while (index-- > 0) n = n->next;
    return n;
}

// --- CStringArray ---------------------------------------------------------------------------

void CStringArray::Check(INT_PTR index) const {
    if (index < 0 || index >= GetSize()) AfxThrowInvalidArgException();
}

void CStringArray::SetSize(INT_PTR size, INT_PTR) {
    if (size < 0) AfxThrowInvalidArgException();
    m_items.resize(static_cast<size_t>(size));
}

const CString& CStringArray::GetAt(INT_PTR index) const {
    Check(index);
    return m_items[static_cast<size_t>(index)];
}
CString& CStringArray::ElementAt(INT_PTR index) {
    Check(index);
    return m_items[static_cast<size_t>(index)];
}
void CStringArray::SetAt(INT_PTR index, LPCWSTR value) {
    ElementAt(index) = value ? value : u"";
}

void CStringArray::SetAtGrow(INT_PTR index, LPCWSTR value) {
    if (index < 0) AfxThrowInvalidArgException();
    CString v(value ? value : u""); // value may live in this array
    if (index >= GetSize()) SetSize(index + 1);
    m_items[static_cast<size_t>(index)] = v;
}

INT_PTR CStringArray::Add(LPCWSTR value) {
    m_items.emplace_back(value ? value : u"");
    return GetUpperBound();
}

INT_PTR CStringArray::Append(const CStringArray& other) {
    INT_PTR at = GetSize();
    std::vector<CString> copy = other.m_items; // other may be this array
    m_items.insert(m_items.end(), copy.begin(), copy.end());
    return at;
}

void CStringArray::Copy(const CStringArray& other) {
    if (&other != this) m_items = other.m_items;
}

void CStringArray::InsertAt(INT_PTR index, LPCWSTR value, INT_PTR count) {
    if (index < 0 || count < 0) AfxThrowInvalidArgException();
    CString v(value ? value : u"");
    if (index >= GetSize()) SetSize(index);
    m_items.insert(m_items.begin() + index, static_cast<size_t>(count), v);
}

void CStringArray::RemoveAt(INT_PTR index, INT_PTR count) {
    if (index < 0 || count < 0 || index + count > GetSize()) AfxThrowInvalidArgException();
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
}

// --- CMapPtrToPtr -----------------------------------------------------------------------------

CMapPtrToPtr::CMapPtrToPtr(INT_PTR blockSize) : m_blockSize(blockSize > 0 ? blockSize : 10) {}

CMapPtrToPtr::~CMapPtrToPtr() {
    RemoveAll();
}

UINT CMapPtrToPtr::Bucket(void* key) const {
    return static_cast<UINT>((reinterpret_cast<uintptr_t>(key) >> 4) % m_hashSize);
}

CMapPtrToPtr::Assoc* CMapPtrToPtr::Get(void* key, UINT* bucket) const {
    *bucket = Bucket(key);
    if (m_table.empty()) return nullptr;
    for (Assoc* a = m_table[*bucket]; a; a = a->next)
        if (a->key == key) return a;
    return nullptr;
}

CMapPtrToPtr::Assoc* CMapPtrToPtr::NewAssoc() {
    if (!m_free) {
        // A new block: its entries go onto the free list.
        m_blocks.push_back(std::make_unique<Assoc[]>(static_cast<size_t>(m_blockSize)));
        Assoc* block = m_blocks.back().get();
        for (INT_PTR i = m_blockSize - 1; i >= 0; --i) {
            block[i].next = m_free;
            m_free = &block[i];
        }
    }
    Assoc* a = m_free;
    m_free = a->next;
    ++m_count;
    return a;
}

void CMapPtrToPtr::FreeAssoc(Assoc* a) {
    a->next = m_free;
    m_free = a;
    // The last entry gone: the blocks go too.
    if (--m_count == 0) RemoveAll();
}

BOOL CMapPtrToPtr::Lookup(void* key, void*& value) const {
    UINT bucket;
    Assoc* a = Get(key, &bucket);
    if (!a) return FALSE;
    value = a->value;
    return TRUE;
}

void*& CMapPtrToPtr::operator[](void* key) {
    UINT bucket;
    if (Assoc* a = Get(key, &bucket)) return a->value;
    if (m_table.empty()) m_table.assign(m_hashSize, nullptr);
    Assoc* a = NewAssoc();
    a->key = key;
    a->value = nullptr;
    a->next = m_table[bucket];
    m_table[bucket] = a;
    return a->value;
}

BOOL CMapPtrToPtr::RemoveKey(void* key) {
    if (m_table.empty()) return FALSE;
    for (Assoc** link = &m_table[Bucket(key)]; *link; link = &(*link)->next)
        if ((*link)->key == key) {
            Assoc* a = *link;
            *link = a->next;
            FreeAssoc(a);
            return TRUE;
        }
    return FALSE;
}

void CMapPtrToPtr::RemoveAll() {
    m_table.clear();
    m_blocks.clear();
    m_free = nullptr;
    m_count = 0;
}

POSITION CMapPtrToPtr::GetStartPosition() const {
    for (Assoc* a : m_table)
        if (a) return a;
    return nullptr;
}

void CMapPtrToPtr::GetNextAssoc(POSITION& pos, void*& key, void*& value) const {
    Assoc* a = static_cast<Assoc*>(pos);
    if (!a) AfxThrowInvalidArgException();
    key = a->key;
    value = a->value;
    Assoc* next = a->next;
    for (UINT b = Bucket(a->key) + 1; !next && b < m_table.size(); ++b) next = m_table[b];
    pos = next;
}

void CMapPtrToPtr::InitHashTable(UINT size, BOOL allocNow) {
    if (m_count > 0 || size == 0) return;
    m_hashSize = size;
    m_table.clear();
    if (allocNow) m_table.assign(m_hashSize, nullptr);
}
