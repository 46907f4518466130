// Object, collection and REF values turned into text, through a fake table of
// the client's object calls (the stand-in has no object types).
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "oracle/oci_object.h"
#include "oracle/ora_dataset.h"

namespace {

struct FakeType;
struct FakeAttr {
    std::string name;
    ub2 code;
    FakeType* tdo;
};
struct FakeType {
    std::string name;
    ub2 code; // 108 object, 122 collection, other: unsupported
    std::vector<FakeAttr> attrs;
    ub2 coll_code = 0;
    ub2 elem_code = 0;
    FakeType* elem_type = nullptr;
};
struct FakeParam {
    int kind; // 0 type, 1 attribute list, 2 attribute, 3 collection element
    FakeType* type;
    int index;
};
struct FakeValue {
    OCIInd ind = 0;
    void* value = nullptr; // what the object calls hand out
    void* null_struct = nullptr;
};
struct FakeObject {
    OCIInd ind = 0; // the null structure starts with the object's own indicator
    std::map<std::string, FakeValue> attrs;
};
struct FakeElem {
    void* value;
    OCIInd ind;
};
struct FakeColl {
    std::vector<FakeElem> elems;
};
struct FakeIter {
    FakeColl* coll;
    size_t pos;
};

struct Fake {
    std::deque<FakeParam> params;
    std::deque<std::string> strings;
    std::deque<void*> cells;
    std::deque<double> numbers;
    int handles = 0;
    int iters = 0;
    FakeParam* Param(int kind, FakeType* t, int i) {
        params.push_back({kind, t, i});
        return &params.back();
    }
};
Fake* g_fake = nullptr;

sword HandleAlloc(const dvoid*, dvoid** h, ub4, size_t, dvoid**) {
    ++g_fake->handles;
    *h = new FakeType*(nullptr);
    return OCI_SUCCESS;
}
sword HandleFree(dvoid* h, ub4) {
    --g_fake->handles;
    delete static_cast<FakeType**>(h);
    return OCI_SUCCESS;
}
sword DescribeAny(OCISvcCtx*, OCIError*, dvoid* obj, ub4, ub1, ub1, ub1, OCIDescribe* d) {
    *reinterpret_cast<FakeType**>(d) = static_cast<FakeType*>(obj);
    return OCI_SUCCESS;
}
sword AttrGet(const dvoid* h, ub4 htype, dvoid* out, ub4* size, ub4 attr, OCIError*) {
    if (htype == OCI_HTYPE_DESCRIBE) {
        if (attr != OCI_ATTR_PARAM) return OCI_ERROR;
        *static_cast<FakeParam**>(out) = g_fake->Param(0, *static_cast<FakeType* const*>(h), 0);
        return OCI_SUCCESS;
    }
    const auto* p = static_cast<const FakeParam*>(h);
    auto name = [&](const std::string& n) {
        *static_cast<const char**>(out) = n.c_str();
        *size = ub4(n.size());
        return OCI_SUCCESS;
    };
    auto u2 = [&](ub2 v) {
        *static_cast<ub2*>(out) = v;
        return OCI_SUCCESS;
    };
    switch (p->kind) {
    case 0:
        if (attr == OCI_ATTR_NAME) return name(p->type->name);
        if (attr == 216) return u2(p->type->code);
        if (attr == 228) return u2(ub2(p->type->attrs.size()));
        if (attr == 217) return u2(p->type->coll_code);
        if (attr == 229 || attr == 227) {
            *static_cast<FakeParam**>(out) = g_fake->Param(attr == 229 ? 1 : 3, p->type, 0);
            return OCI_SUCCESS;
        }
        break;
    case 2:
        if (attr == OCI_ATTR_NAME) return name(p->type->attrs[size_t(p->index)].name);
        if (attr == 216) return u2(p->type->attrs[size_t(p->index)].code);
        break;
    case 3:
        if (attr == 216) return u2(p->type->elem_code);
        if (attr == OCI_ATTR_REF_TDO) {
            *static_cast<FakeType**>(out) = p->type->elem_type;
            return OCI_SUCCESS;
        }
        break;
    }
    return OCI_ERROR;
}
sword ParamGet(const dvoid* h, ub4, OCIError*, dvoid** out, ub4 pos) {
    const auto* list = static_cast<const FakeParam*>(h);
    *out = g_fake->Param(2, list->type, int(pos) - 1);
    return OCI_SUCCESS;
}
// An attribute's value, and its type as the object's type declares it.
sword ObjectGetAttr(OCIEnv*, OCIError*, dvoid* instance, dvoid*, OCIType* type, const OraText** names,
                    const ub4* lengths, const ub4, const ub4*, const ub4, OCIInd* status, dvoid** null_struct,
                    dvoid** value, OCIType** tdo) {
    auto* obj = static_cast<FakeObject*>(instance);
    std::string n(reinterpret_cast<const char*>(names[0]), lengths[0]);
    auto it = obj->attrs.find(n);
    if (it == obj->attrs.end()) return OCI_ERROR;
    *status = it->second.ind;
    *null_struct = it->second.null_struct;
    *value = it->second.value;
    *tdo = nullptr;
    for (const FakeAttr& a : reinterpret_cast<FakeType*>(type)->attrs)
        if (a.name == n) *tdo = reinterpret_cast<OCIType*>(a.tdo);
    return OCI_SUCCESS;
}
sword TypeByRef(OCIEnv*, OCIError*, const OCIRef* ref, OCIDuration, OCITypeGetOpt, OCIType** tdo) {
    *tdo = reinterpret_cast<OCIType*>(const_cast<OCIRef*>(ref));
    return OCI_SUCCESS;
}
OraText* StringPtr(OCIEnv*, const OCIString* s) {
    return reinterpret_cast<OraText*>(const_cast<char*>(reinterpret_cast<const std::string*>(s)->c_str()));
}
sword NumberToReal(OCIError*, const OCINumber* n, uword, dvoid* out) {
    std::memcpy(out, n, sizeof(double));
    return OCI_SUCCESS;
}
sword IterCreate(OCIEnv*, OCIError*, const OCIColl* c, OCIIter** it) {
    ++g_fake->iters;
    *it = reinterpret_cast<OCIIter*>(new FakeIter{reinterpret_cast<FakeColl*>(const_cast<OCIColl*>(c)), 0});
    return OCI_SUCCESS;
}
sword IterNext(OCIEnv*, OCIError*, OCIIter* it, dvoid** elem, dvoid** ind, boolean* eoc) {
    auto* i = reinterpret_cast<FakeIter*>(it);
    *eoc = i->pos >= i->coll->elems.size();
    if (*eoc) return OCI_SUCCESS;
    FakeElem& e = i->coll->elems[i->pos++];
    *elem = e.value;
    *ind = &e.ind;
    return OCI_SUCCESS;
}
sword IterDelete(OCIEnv*, OCIError*, OCIIter** it) {
    --g_fake->iters;
    delete reinterpret_cast<FakeIter*>(*it);
    *it = nullptr;
    return OCI_SUCCESS;
}
FakeColl* Coll(const OCITable* t) {
    return reinterpret_cast<FakeColl*>(const_cast<OCITable*>(t));
}
sword TableFirst(OCIEnv*, OCIError*, const OCITable* t, sb4* index) {
    if (Coll(t)->elems.empty()) return OCI_ERROR;
    *index = 0;
    return OCI_SUCCESS;
}
sword TableNext(OCIEnv*, OCIError*, sb4 index, const OCITable* t, sb4* next, boolean* exists) {
    *exists = size_t(index + 1) < Coll(t)->elems.size();
    *next = index + 1;
    return OCI_SUCCESS;
}
sword CollGetElem(OCIEnv*, OCIError*, const OCIColl* c, sb4 index, boolean* exists, dvoid** elem,
                  dvoid** ind) {
    FakeElem& e = Coll(c)->elems[size_t(index)];
    *exists = 1;
    *elem = e.value;
    *ind = &e.ind;
    return OCI_SUCCESS;
}
const std::string& RefText(const OCIRef* r) {
    return *reinterpret_cast<const std::string*>(r);
}
ub4 RefHexSize(OCIEnv*, const OCIRef* r) {
    return ub4(RefText(r).size());
}
sword RefToHex(OCIEnv*, OCIError*, const OCIRef* r, OraText* hex, ub4* len) {
    std::memcpy(hex, RefText(r).data(), RefText(r).size());
    *len = ub4(RefText(r).size());
    return OCI_SUCCESS;
}
sword DateTimeToText(dvoid*, OCIError*, const OCIDateTime*, const OraText*, ub1, ub1, const OraText*, size_t,
                     ub4* size, OraText* buf) {
    std::memcpy(buf, "2024-01-02 03:04:05.000000", 26);
    *size = 26;
    return OCI_SUCCESS;
}
sword ErrorGet(dvoid*, ub4, OraText*, sb4* code, OraText* buf, ub4, ub4) {
    *code = 22;
    std::strcpy(reinterpret_cast<char*>(buf), "ORA-00022: fake");
    return OCI_SUCCESS;
}

class ObjectTest : public ::testing::Test {
protected:
    Fake fake;
    OraSession s{};
    CString msg;
    int saved_page = 0;
    OciEntryPoints saved;

    void SetUp() override {
        g_fake = &fake;
        saved = g_oci;
        saved_page = g_oci_code_page;
        g_oci_code_page = 65001;
        s.err = reinterpret_cast<OCIError*>(&fake); // any non-null handle
        g_oci = OciEntryPoints{};
        g_oci.OCIHandleAlloc = HandleAlloc;
        g_oci.OCIHandleFree = HandleFree;
        g_oci.OCIDescribeAny = DescribeAny;
        g_oci.OCIAttrGet = AttrGet;
        g_oci.OCIParamGet = ParamGet;
        g_oci.OCIObjectGetAttr = ObjectGetAttr;
        g_oci.OCITypeByRef = TypeByRef;
        g_oci.OCIStringPtr = StringPtr;
        g_oci.OCINumberToReal = NumberToReal;
        g_oci.OCIIterCreate = IterCreate;
        g_oci.OCIIterNext = IterNext;
        g_oci.OCIIterDelete = IterDelete;
        g_oci.OCITableFirst = TableFirst;
        g_oci.OCITableNext = TableNext;
        g_oci.OCICollGetElem = CollGetElem;
        g_oci.OCIRefHexSize = RefHexSize;
        g_oci.OCIRefToHex = RefToHex;
        g_oci.OCIErrorGet = ErrorGet;
    }
    void TearDown() override {
        g_oci = saved;
        g_oci_code_page = saved_page;
        EXPECT_EQ(fake.handles, 0); // the describe handle is freed on every path
        EXPECT_EQ(fake.iters, 0);
        g_fake = nullptr;
    }

    // Scalar values as the object calls hand them out.
    // A string's OCIString* and a REF's OCIRef* both point at their text.
    FakeValue Str(const std::string& v) {
        fake.strings.push_back(v);
        fake.cells.push_back(&fake.strings.back());
        return {0, &fake.cells.back(), nullptr};
    }
    FakeValue Ref(const std::string& hex) { return Str(hex); }
    FakeValue Num(double v) {
        fake.numbers.push_back(v);
        return {0, &fake.numbers.back(), nullptr};
    }
    FakeValue CollAttr(FakeColl* c) {
        fake.cells.push_back(c); // the OCIColl*
        return {0, &fake.cells.back(), nullptr};
    }

    // The value's text within the budget; "" when nothing was written.
    char* out = nullptr;
    int Text(FakeType* t, void* instance, std::string* text, int budget = 4000) {
        char buf[4000];
        std::memset(buf, 'x', sizeof buf);
        out = buf;
        int rc = oci8_set_dataset_object_main(&s, reinterpret_cast<OCIType*>(t), instance, instance, &out,
                                              &budget, &msg);
        *text = buf[0] == 'x' ? "" : buf;
        return rc;
    }
};

TEST_F(ObjectTest, ObjectWithNullAttributeQuotedStringsAndShortestNumbers) {
    FakeType addr{"ADDRESS_T", 108, {{"STREET", 9, nullptr}, {"NO", 2, nullptr}}};
    FakeObject a;
    a.attrs["STREET"] = Str("Main St");
    a.attrs["NO"] = {-1, nullptr, nullptr};
    std::string text;
    EXPECT_EQ(Text(&addr, &a, &text), ORARC_OK);
    EXPECT_EQ(text, "ADDRESS_T('Main St',NULL)");

    FakeType person{"PERSON_T", 108, {{"NAME", 9, nullptr}, {"N", 2, nullptr}, {"F", 2, nullptr}}};
    FakeObject p;
    p.attrs["NAME"] = Str("O'Brien");
    p.attrs["N"] = Num(1234567);
    p.attrs["F"] = Num(0.1);
    EXPECT_EQ(Text(&person, &p, &text), ORARC_OK);
    EXPECT_EQ(text, "PERSON_T('O''Brien',1234567,0.1)");
}

TEST_F(ObjectTest, VarrayNestedTableAndEmbeddedObject) {
    FakeType nums{"NUMS_T", 122, {}, 247, 2, nullptr};
    FakeColl v;
    for (double d : {1.5, 2.0, 3.0}) v.elems.push_back({Num(d).value, 0});
    std::string text;
    EXPECT_EQ(Text(&nums, &v, &text), ORARC_OK);
    EXPECT_EQ(text, "NUMS_T(1.5,2,3)");

    FakeType tab{"TAB_T", 122, {}, 248, 9, nullptr};
    FakeColl empty;
    EXPECT_EQ(Text(&tab, &empty, &text), ORARC_OK);
    EXPECT_EQ(text, "TAB_T()");
    FakeColl names;
    names.elems.push_back({Str("a").value, 0});
    names.elems.push_back({nullptr, -1});
    EXPECT_EQ(Text(&tab, &names, &text), ORARC_OK);
    EXPECT_EQ(text, "TAB_T('a',NULL)");

    // An object holding a collection attribute, a nested object and a REF.
    FakeType inner{"IN_T", 108, {{"X", 2, nullptr}}};
    FakeObject in;
    in.attrs["X"] = Num(-2.5);
    FakeType outer{"OUT_T", 108, {{"COLL", 122, &nums}, {"I", 108, &inner}, {"R", 110, nullptr}}};
    FakeObject o;
    o.attrs["COLL"] = CollAttr(&v);
    o.attrs["I"] = {0, &in, &in};
    o.attrs["R"] = Ref("0000ABCD");
    EXPECT_EQ(Text(&outer, &o, &text), ORARC_OK);
    EXPECT_EQ(text, "OUT_T(NUMS_T(1.5,2,3),IN_T(-2.5),0000ABCD)");
}

TEST_F(ObjectTest, BudgetCutsAtWholeCharacters) {
    FakeType t{"住所_T", 108, {{"S", 9, nullptr}}};
    FakeObject o;
    o.attrs["S"] = Str("日本");
    std::string text;
    EXPECT_EQ(Text(&t, &o, &text), ORARC_OK);
    EXPECT_EQ(text, "住所_T('日本')");
    // 12 bytes hold 11 and the terminator: the third character does not fit.
    EXPECT_EQ(Text(&t, &o, &text, 12), ORARC_OK);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(text, "住所_T('");
    EXPECT_EQ(Text(&t, &o, &text, 10), ORARC_OK); // cut inside the name
    EXPECT_EQ(text, "住所_T(");
    EXPECT_EQ(Text(&t, &o, &text, 1), ORARC_OK); // nothing at all
    EXPECT_EQ(text, "");
}

TEST_F(ObjectTest, UnsupportedTypesStopWithTheirCode) {
    FakeType t{"DOC_T", 108, {{"ID", 2, nullptr}, {"BODY", 112, nullptr}}};
    FakeObject o;
    o.attrs["ID"] = Num(7);
    o.attrs["BODY"] = Num(0);
    std::string text;
    EXPECT_EQ(Text(&t, &o, &text), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(text, "DOC_T(7,");
    EXPECT_EQ(std::u16string(msg.GetString()),
              u"サポートしていないデータ型です(項目名:[ELEMENT], データ型:112)\n");

    // A timestamp needs OCIDateTimeToText.
    FakeType ts{"TS_T", 108, {{"AT", 187, nullptr}}};
    FakeObject to;
    int dummy = 0;
    fake.cells.push_back(&dummy);
    to.attrs["AT"] = {0, &fake.cells.back(), nullptr};
    EXPECT_EQ(Text(&ts, &to, &text), ORARC_UNSUPPORTED_TYPE);
    g_oci.OCIDateTimeToText = DateTimeToText;
    EXPECT_EQ(Text(&ts, &to, &text), ORARC_OK);
    EXPECT_EQ(text, "TS_T('2024-01-02 03:04:05.000000')");

    FakeType odd{"ODD_T", 122, {}, 250, 2, nullptr};
    FakeColl c;
    EXPECT_EQ(Text(&odd, &c, &text), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(std::u16string(msg.GetString()),
              u"サポートしていないデータ型です(項目名:[COLLECTION], データ型:250)\n");
    FakeType other{"X_T", 58, {}};
    EXPECT_EQ(Text(&other, &c, &text), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(std::u16string(msg.GetString()),
              u"サポートしていないデータ型です(項目名:[OBJECT], データ型:58)\n");
}

TEST_F(ObjectTest, ClientFailureGives13AndFreesTheDescribeHandle) {
    FakeType t{"T", 108, {{"MISSING", 2, nullptr}}};
    FakeObject o;
    std::string text;
    EXPECT_EQ(Text(&t, &o, &text), ORARC_ORACLE_ERROR);
    EXPECT_EQ(s.last_error, 22);
    EXPECT_EQ(std::u16string(msg.GetString()).find(u"ORA-00022"), 0u);
}

TEST_F(ObjectTest, RefHexText) {
    char buf[400];
    std::string hex(299, 'A');
    FakeValue r = Ref(hex);
    char* out = buf;
    int budget = 300;
    EXPECT_EQ(oci8_read_ref_main(&s, *static_cast<OCIRef**>(r.value), &out, &budget, &msg), ORARC_OK);
    EXPECT_EQ(std::string(buf), hex);
    FakeValue longer = Ref(hex + "B");
    out = buf;
    budget = 400;
    EXPECT_EQ(oci8_read_ref_main(&s, *static_cast<OCIRef**>(longer.value), &out, &budget, &msg),
              ORARC_FAILED);
    EXPECT_EQ(std::u16string(msg.GetString()),
              u"エラー(error in oci8_read_ref_main(): hex_size > hex_len)\n");
}

TEST_F(ObjectTest, BatchWithObjectAndRefColumnsIsStored) {
    FakeType addr{"ADDRESS_T", 108, {{"STREET", 9, nullptr}}};
    FakeObject a1, a2;
    a1.attrs["STREET"] = Str("Main St");
    a2.ind = -1; // a NULL object
    FakeValue r = Ref("00112233");

    std::vector<OraColumnDesc> desc(2);
    std::memset(desc.data(), 0, sizeof(OraColumnDesc) * 2);
    desc[0].define_type = SQLT_NTY;
    desc[0].buffer_size = 16;
    desc[0].display_size = 4000;
    desc[0].type_desc = reinterpret_cast<OCIType*>(&addr);
    desc[1].define_type = SQLT_REF;
    desc[1].buffer_size = 16;
    desc[1].display_size = 300;
    // Fetch buffer: per row the instance and null structure, or the REF.
    void* obj_area[4] = {&a1, &a1, &a2, &a2};
    void* ref_area[4] = {*static_cast<void**>(r.value), nullptr, nullptr, nullptr};
    char* data[2] = {reinterpret_cast<char*>(obj_area) + 16, reinterpret_cast<char*>(ref_area) + 16};
    int16_t obj_ind[2] = {0, 0}, ref_ind[2] = {0, -1};
    int16_t* ind[2] = {obj_ind, ref_ind};
    OraCursor c{};
    c.col_count = 2;
    c.rows_per_fetch = 2;
    c.data = data;
    c.ind = ind;
    c.desc = desc.data();
    c.obj_col_count = 2;

    OraDataset ds{};
    int32_t offsets[2] = {0, 24};
    unsigned char bits[1] = {3};
    ds.col_count = 2;
    ds.cols = desc.data();
    ds.col_offsets = offsets;
    ds.long_text_bits = bits;
    ds.object_col_count = 2;
    ds.row_size = 48;
    alignas(8) char rows[96] = {};
    OraRowBlock block{nullptr, rows, 2};
    OraTextHeap heap{nullptr, 0, 4096};
    std::vector<char16_t> scratch(512);
    ASSERT_EQ(oci_set_dataset_rows(&s, &c, &ds, &block, 48, 2, &heap, scratch.data(), 1024, &msg), ORARC_OK);
    auto cell = [&](int row, int col) {
        const char16_t* p;
        std::memcpy(&p, rows + row * 48 + offsets[col] + 16, sizeof p);
        return std::u16string(p);
    };
    EXPECT_EQ(cell(0, 0), u"ADDRESS_T('Main St')");
    EXPECT_EQ(cell(0, 1), u"00112233");
    EXPECT_EQ(cell(1, 0), u"");
    EXPECT_EQ(cell(1, 1), u"");
    while (ds.text_heap) {
        OraTextChunk* next = ds.text_heap->next;
        free(ds.text_heap);
        ds.text_heap = next;
    }
}

} // namespace
