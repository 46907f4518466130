// CStringList, CStringArray and CMapPtrToPtr.
#include <gtest/gtest.h>

#include <afx.h>

#include <map>
#include <vector>

namespace {

std::vector<std::u16string> Items(const CStringList& l) {
    std::vector<std::u16string> out;
    for (POSITION p = l.GetHeadPosition(); p;) out.emplace_back(l.GetNext(p).GetString());
    return out;
}

using V = std::vector<std::u16string>;

// Whether f throws MFC's invalid-argument exception (deleted here).
template <class F> bool ThrowsInvalidArg(F f) {
    try {
        f();
    } catch (CInvalidArgException* e) {
        e->Delete();
        return true;
    }
    return false;
}

TEST(StringList, BuildsWalksAndEdits) {
    CStringList l;
    EXPECT_TRUE(l.IsEmpty());
    l.AddTail(u"社員番号");
    l.AddTail(u"氏名");
    POSITION first = l.AddHead(u"ROWID");
    EXPECT_EQ(Items(l), (V{u"ROWID", u"社員番号", u"氏名"}));
    EXPECT_EQ(l.GetCount(), 3);

    // Backwards from the tail.
    V back;
    for (POSITION p = l.GetTailPosition(); p;) back.emplace_back(l.GetPrev(p).GetString());
    EXPECT_EQ(back, (V{u"氏名", u"社員番号", u"ROWID"}));

    POSITION mid = l.Find(u"社員番号");
    ASSERT_NE(mid, nullptr);
    EXPECT_EQ(l.Find(u"社員番号", mid), nullptr);
    EXPECT_EQ(l.Find(u"しめい"), nullptr);
    l.InsertAfter(mid, u"部署");
    l.InsertBefore(first, u"先頭");
    l.SetAt(mid, u"番号");
    EXPECT_EQ(Items(l), (V{u"先頭", u"ROWID", u"番号", u"部署", u"氏名"}));
    EXPECT_EQ(l.GetAt(l.FindIndex(3)), u"部署");
    EXPECT_EQ(l.FindIndex(5), nullptr);
    EXPECT_EQ(l.FindIndex(-1), nullptr);

    // Removing the element a walk stands on after GetNext keeps the walk.
    for (POSITION p = l.GetHeadPosition(); p;) {
        POSITION at = p;
        const CString& v = l.GetNext(p);
        if (v == u"先頭" || v == u"番号" || v == u"氏名") l.RemoveAt(at);
    }
    EXPECT_EQ(Items(l), (V{u"ROWID", u"部署"}));
    EXPECT_EQ(l.RemoveHead(), u"ROWID");
    EXPECT_EQ(l.RemoveTail(), u"部署");
    EXPECT_TRUE(l.IsEmpty());
    EXPECT_EQ(l.GetHeadPosition(), nullptr);
    EXPECT_EQ(l.GetTailPosition(), nullptr);
    EXPECT_TRUE(ThrowsInvalidArg([&] { l.GetHead(); }));
}

TEST(StringList, WholeListsAddedKeepTheirOrder) {
    CStringList a, b;
    a.AddTail(u"A");
    a.AddTail(u"B");
    b.AddTail(u"x");
    b.AddTail(u"y");
    a.AddTail(&b);
    a.AddHead(&b);
    EXPECT_EQ(Items(a), (V{u"x", u"y", u"A", u"B", u"x", u"y"}));
    b.AddTail(&b); // itself: doubled once
    EXPECT_EQ(Items(b), (V{u"x", u"y", u"x", u"y"}));
    a.RemoveAll();
    EXPECT_EQ(a.GetCount(), 0);
    a.AddTail(u"again");
    EXPECT_EQ(Items(a), (V{u"again"}));
}

TEST(StringArray, GrowsInsertsAndRemoves) {
    CStringArray a;
    EXPECT_EQ(a.Add(u"pw1"), 0);
    EXPECT_EQ(a.Add(u"パスワード"), 1);
    a.SetAtGrow(4, u"pw4");
    ASSERT_EQ(a.GetSize(), 5);
    EXPECT_EQ(a.GetUpperBound(), 4);
    EXPECT_TRUE(a[2].IsEmpty());
    EXPECT_EQ(a.GetAt(1), u"パスワード");
    a.InsertAt(1, u"ins", 2);
    EXPECT_EQ(a.GetSize(), 7);
    EXPECT_EQ(a[1], u"ins");
    EXPECT_EQ(a[3], u"パスワード");
    a.RemoveAt(0, 3);
    EXPECT_EQ(a[0], u"パスワード");
    a.SetAtGrow(0, a[0]); // a value from the array itself
    EXPECT_EQ(a[0], u"パスワード");
    EXPECT_TRUE(ThrowsInvalidArg([&] { a.GetAt(4); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { a.RemoveAt(3, 2); }));

    CStringArray b;
    b.Copy(a);
    EXPECT_EQ(b.Append(a), 4);
    EXPECT_EQ(b.GetSize(), 8);
    EXPECT_EQ(b[7], u"pw4");
    b.Append(b);
    EXPECT_EQ(b.GetSize(), 16);
    b.SetSize(1);
    EXPECT_EQ(b.GetSize(), 1);
    b.RemoveAll();
    EXPECT_TRUE(b.IsEmpty());
}

TEST(MapPtrToPtr, SetsLooksUpRemovesAndWalks) {
    CMapPtrToPtr m(10);
    std::vector<int> keys(100);
    std::map<void*, void*> expect;
    for (size_t i = 0; i < keys.size(); ++i) {
        m.SetAt(&keys[i], reinterpret_cast<void*>(i + 1));
        expect[&keys[i]] = reinterpret_cast<void*>(i + 1);
    }
    m.SetAt(&keys[5], nullptr); // replaced, not added
    expect[&keys[5]] = nullptr;
    EXPECT_EQ(m.GetCount(), 100);
    void* v = reinterpret_cast<void*>(1);
    ASSERT_TRUE(m.Lookup(&keys[5], v));
    EXPECT_EQ(v, nullptr);
    EXPECT_FALSE(m.Lookup(&v, v));

    // Every entry once, also while the entry just given is removed.
    std::map<void*, void*> seen;
    for (POSITION p = m.GetStartPosition(); p;) {
        void* key;
        void* value;
        m.GetNextAssoc(p, key, value);
        EXPECT_TRUE(seen.emplace(key, value).second);
        if (key == &keys[7] || key == &keys[50]) {
            EXPECT_TRUE(m.RemoveKey(key));
        }
    }
    EXPECT_EQ(seen, expect);
    EXPECT_EQ(m.GetCount(), 98);
    EXPECT_FALSE(m.RemoveKey(&keys[7]));
    EXPECT_FALSE(m.Lookup(&keys[50], v));

    m[&keys[7]] = &keys[0];
    ASSERT_TRUE(m.Lookup(&keys[7], v));
    EXPECT_EQ(v, &keys[0]);
    for (int& k : keys) m.RemoveKey(&k);
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_EQ(m.GetStartPosition(), nullptr);
    m.InitHashTable(101);
    EXPECT_EQ(m.GetHashTableSize(), 101u);
    m.SetAt(nullptr, &keys[1]);
    ASSERT_TRUE(m.Lookup(nullptr, v));
    EXPECT_EQ(v, &keys[1]);
    m.RemoveAll();
    EXPECT_EQ(m.GetCount(), 0);
}

} // namespace
