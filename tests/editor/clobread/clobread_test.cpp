// Reading CLOB values into a text buffer, whole and in small pieces; the
// failures' box, message and log line.
#include "editor/clobread.h"

#include <afxwin.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <thread>

#include "editor/editdata.h"
#include "../standin_fixture.h"
#include "testing/driver.h"

namespace {

using edtest::Narrow;
namespace fs = std::filesystem;

int g_reads = 0;
sword CountingRead(OCISvcCtx* svc, OCIError* err, OCILobLocator* loc, ub4* amount, ub4 offset, void* buf,
                   ub4 size, void* ctx, OCICallbackLobRead cb, ub2 csid, ub1 csfrm) {
    ++g_reads;
    return edtest::g_real.OCILobRead(svc, err, loc, amount, offset, buf, size, ctx, cb, csid, csfrm);
}

const std::u16string kJapanese = u"日本語のテキスト\r\n二行目𠮷野家\r\n\r\n三行目です。終わり";

class ClobReadTest : public edtest::StandinTest {
public:
    OraSession* s = nullptr;
    OraDataset ds{};
    bool sjis = false;
    void SetUp() override {
        StandinTest::SetUp();
        if (sjis) {
            setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
            Control("db_charset JA16SJISTILDE");
        }
        s = Logon(u"system", u"manager", u"TEST");
        ASSERT_NE(s, nullptr);
        g_session = s;
        Exec(s, u"create table ct (id number, c clob)");
        if (!sjis) Insert(1, kJapanese); // U+20BB7 has no Shift_JIS form
        Exec(s, u"insert into ct values (2, NULL)");
        Insert(3, u"first\nsecond\r\nthird");
        Insert(4, u"no break at all");
        Insert(5, u"ends with CR\r");
    }
    void TearDown() override {
        g_clobread_piece_bytes = 0;
        g_clobread_fail_alloc = 0;
        g_clobread_insert_hook = nullptr;
        if (ds.row_count || ds.row_index) oci_free_dataset(&ds);
        StandinTest::TearDown();
    }
    void Insert(int id, const std::u16string& text) {
        CString msg;
        ASSERT_EQ(oci_exec_sql_bind(s, u"insert into ct values (:X0, :X1)", &msg, nullptr, nullptr, "IS", &id,
                                    text.c_str()),
                  ORARC_OK)
            << Narrow(msg);
    }
    OraLobValue Value(int id) {
        if (ds.row_index) oci_free_dataset(&ds);
        ds = OraDataset{};
        CString msg;
        std::u16string sql = u"select c from ct where id = " + Utf8ToWide(std::to_string(id).c_str());
        EXPECT_EQ(oci_sel_dataset(s, &ds, sql.c_str(), 10, &msg, ""), ORARC_OK) << Narrow(msg);
        OraLobValue v{};
        if (ds.row_count != 1) return v;
        auto* cell = reinterpret_cast<OraLobCell*>(ds.row_index[0] + ds.col_offsets[0]);
        v.locator = cell->locator;
        v.length = cell->length;
        v.charset_id = cell->charset_id;
        v.charset_form = cell->charset_form;
        v.null_flag = cell->null_flag;
        v.define_type = SQLT_CLOB;
        return v;
    }
    void NullAndLineEnds();
    // The buffer's text with its own line ends.
    static std::u16string Text(const CEditData& d) { return std::u16string(d.GetAllText().GetString()); }
};

TEST_F(ClobReadTest, JapaneseTextWholeAndInEveryPieceSize) {
    OraLobValue v = Value(1);
    CEditData whole;
    CString msg;
    ASSERT_EQ(oci_read_clob_data(s, &whole, &v, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Text(whole), kJapanese);
    EXPECT_EQ(whole.m_lineEndType, uint32_t(LINEEND_CRLF));
    EXPECT_EQ(whole.GetLineCount(), 4);
    EXPECT_EQ(whole.GetCaret().line, 0);
    EXPECT_EQ(whole.GetCaret().col, 0);
    EXPECT_EQ(whole.Undo(), 1) << "nothing to undo";
    EXPECT_EQ(Text(whole), kJapanese);
    g_oci.OCILobRead = CountingRead;
    // Pieces of 4..12 bytes cut 3-byte characters, the 4-byte pair and CR LF.
    for (int piece = 4; piece <= 12; ++piece) {
        g_clobread_piece_bytes = piece;
        OraLobValue pv = Value(1);
        CEditData d;
        ASSERT_EQ(oci_read_clob_data(s, &d, &pv, &msg), ORARC_OK) << piece << ": " << Narrow(msg);
        EXPECT_EQ(Text(d), kJapanese) << piece;
        EXPECT_EQ(d.m_lineEndType, uint32_t(LINEEND_CRLF)) << piece;
        EXPECT_EQ(d.GetLineCount(), 4) << piece;
    }
    EXPECT_GT(g_reads, 9 * 8);
}

class ClobReadSjisTest : public ClobReadTest {
public:
    ClobReadSjisTest() { sjis = true; }
};

TEST_F(ClobReadSjisTest, ShiftJisPiecesSplitDoubleByteCharacters) {
    ASSERT_EQ(g_oci_code_page, 0);
    const std::u16string text = u"日本語のテキスト\r\n二行目\nｶﾅ三行目";
    Insert(6, text);
    CString msg;
    for (int piece : {0, 4, 5, 6, 7}) {
        g_clobread_piece_bytes = piece;
        OraLobValue v = Value(6);
        CEditData d;
        ASSERT_EQ(oci_read_clob_data(s, &d, &v, &msg), ORARC_OK) << piece << ": " << Narrow(msg);
        EXPECT_EQ(d.m_lineEndType, uint32_t(LINEEND_CRLF)) << piece;
        EXPECT_EQ(Text(d), u"日本語のテキスト\r\n二行目\r\nｶﾅ三行目") << piece;
    }
}

// What every read leaves: nothing to undo and no line changed since saving.
void ExpectSaved(CEditData& d) {
    for (int i = 0; i < d.GetLineCount(); i++) EXPECT_EQ(d.GetLine(i)->modified, -1) << "line " << i;
    const std::u16string before = std::u16string(d.GetAllText().GetString());
    EXPECT_EQ(d.Undo(), 1) << "nothing to undo";
    EXPECT_EQ(std::u16string(d.GetAllText().GetString()), before);
}

// NULL, a first break that is LF, no break, and a CR at the end, whole and
// in pieces of 7 bytes.
void ClobReadTest::NullAndLineEnds() {
    OraLobValue v = Value(2);
    ASSERT_TRUE(v.null_flag);
    CEditData kept;
    kept.InsertTextAtCaret(u"keep");
    CString msg;
    EXPECT_EQ(oci_read_clob_data(s, &kept, &v, &msg), ORARC_OK);
    EXPECT_EQ(Text(kept), u"keep");

    for (int piece : {0, 7}) {
        g_clobread_piece_bytes = piece;
        v = Value(3);
        CEditData lf;
        ASSERT_EQ(oci_read_clob_data(s, &lf, &v, &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(lf.m_lineEndType, uint32_t(LINEEND_LF)) << piece;
        EXPECT_EQ(lf.GetLineCount(), 3);
        ExpectSaved(lf);

        v = Value(4);
        CEditData none;
        ASSERT_EQ(oci_read_clob_data(s, &none, &v, &msg), ORARC_OK);
        EXPECT_EQ(none.m_lineEndType, uint32_t(LINEEND_CRLF)) << piece;
        EXPECT_EQ(Text(none), u"no break at all");
        ExpectSaved(none);

        // A CR at a piece's end is not taken for a CR line end before its LF
        // is seen, and a final CR stays a CR.
        v = Value(5);
        CEditData cr;
        ASSERT_EQ(oci_read_clob_data(s, &cr, &v, &msg), ORARC_OK);
        EXPECT_EQ(cr.m_lineEndType, uint32_t(LINEEND_CR)) << piece;
        EXPECT_EQ(cr.GetLineCount(), 2) << piece;
    }
}

TEST_F(ClobReadTest, NullValueAndLineEnds) {
    NullAndLineEnds();
}

TEST_F(ClobReadSjisTest, NullValueAndLineEnds) {
    NullAndLineEnds();
}

// Everything a buffer holds that a read may leave: each line record, the
// counters, the caret, the line end, the history and the saved mark, and the
// messages its views were sent.
int g_viewMessages = 0;
LRESULT CountingView(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_APP) g_viewMessages++;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::string State(const CEditData& d) {
    std::ostringstream out;
    for (int i = 0; i < d.GetLineCount(); i++) {
        const EditLine* l = d.GetLine(i);
        out << i << ": " << Narrow(l->text) << " cap " << l->capacity << " len " << l->length << " width "
            << l->width << " flags " << l->lexFlags << " depth " << l->depth << " mark " << l->modified
            << " rows " << l->firstRow << "/" << l->rowCount << " breaks " << (l->breaks != nullptr) << "/"
            << l->breakCapacity << " shared " << (l->text == g_editEmptyText) << "\n";
        if (l == d.m_widestLine) out << "widest " << i << "\n";
    }
    const UndoBuffer& u = *d.m_undo;
    int steps = 0;
    for (int i = 0; i < u.allocated; i++) steps += u.slots[i] != nullptr;
    out << "lines " << d.GetLineCount() << " total " << d.m_totalLength << " limit " << d.m_limit << " caret "
        << d.m_caretCol << "," << d.m_caretLine << " goal " << d.m_goalColumn << " widest width "
        << d.m_widestWidth << " end " << d.m_lineEndType << " " << Narrow(d.m_lineEnd) << d.m_lineEndLength
        << " saved " << d.m_savedStepId << " undo state " << d.m_undoState << " edits " << d.m_editCounter
        << " typed " << d.m_lastTyped << " ring " << u.top << " " << u.stepCounter << " " << u.capacity << " "
        << u.allocated << " " << u.recordingType << " " << u.depth << " " << (u.current != nullptr) << " "
        << steps << " selection " << d.m_disp.m_selStart.line << " views told " << g_viewMessages;
    return out.str();
}

// The type of the text's first line break, CR LF when there is none.
uint32_t FirstBreak(const std::u16string& text) {
    size_t at = text.find_first_of(u"\r\n");
    if (at == std::u16string::npos) return LINEEND_CRLF;
    if (text[at] == u'\n') return LINEEND_LF;
    return at + 1 < text.size() && text[at + 1] == u'\n' ? LINEEND_CRLF : LINEEND_CR;
}

// Texts whose breaks, pairs and long lines fall across pieces of any size.
std::vector<std::u16string> PieceTexts() {
    std::vector<std::u16string> texts = {
        u"a\r\nb\r\nc",
        u"\r\n\r\n\r\n",
        u"\n\nfirst LF\r\nthen CR LF\rand CR",
        u"\rCR first\n",
        u"ends with CR\r",
        u"ends with CR LF\r\n",
        u"\U00020BB7\U00020BB7\r\n\U00020BB7野家\r\U00020BB7\n\U00020BB7",
        kJapanese,
        std::u16string(9000, u'長') + u"\r\n" + std::u16string(3, u'x') + u"\r\n" + std::u16string(70, u'字'),
    };
    std::mt19937 rng(5);
    const char16_t* parts[] = {u"\r\n",   u"\r",         u"\n", u"\r\n\r\n", u"abc",
                               u"日本語", u"\U00020BB7", u"ｶﾅ", u"\t "};
    for (int t = 0; t < 6; t++) {
        std::u16string s;
        int n = 40 + static_cast<int>(rng() % 400);
        while (static_cast<int>(s.size()) < n) s += parts[rng() % std::size(parts)];
        if (t == 5) s += std::u16string(5000, u'z');
        texts.push_back(s);
    }
    return texts;
}

// A read in pieces of every size leaves the buffer one insertion of the
// whole text would, with the caret put at the start, the history emptied
// and the buffer marked saved; registered views are told the same.
TEST_F(ClobReadTest, PiecesLeaveTheBufferOfOneInsertion) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingView;
    wc.lpszClassName = u"ClobReadTestView";
    RegisterClassW(&wc);
    HWND view =
        CreateWindowExW(0, u"ClobReadTestView", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(view, nullptr);
    const std::vector<std::u16string> texts = PieceTexts();
    for (size_t t = 0; t < texts.size(); t++) Insert(100 + static_cast<int>(t), texts[t]);
    CString msg;
    for (size_t t = 0; t < texts.size(); t++) {
        SCOPED_TRACE(t);
        const std::u16string& text = texts[t];
        g_viewMessages = 0;
        CEditData whole;
        whole.m_disp.RegisterView(view);
        whole.SetLineEndType(FirstBreak(text));
        ASSERT_EQ(whole.InsertTextAtCaret(text.c_str()), 0);
        whole.SetCaret(0, 0);
        whole.m_goalColumn = -1;
        whole.ClearUndo();
        whole.MarkSaved();
        const std::string want = State(whole);
        whole.m_disp.UnregisterView(view);
        for (int piece : {0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 31, 64, 1000}) {
            SCOPED_TRACE(piece);
            g_clobread_piece_bytes = piece;
            g_viewMessages = 0;
            OraLobValue v = Value(100 + static_cast<int>(t));
            CEditData d;
            d.m_disp.RegisterView(view);
            ASSERT_EQ(oci_read_clob_data(s, &d, &v, &msg), ORARC_OK) << Narrow(msg);
            EXPECT_EQ(State(d), want);
            d.m_disp.UnregisterView(view);
        }
    }
    DestroyWindow(view);
}

// The incomplete character at a piece's end, found from the end, is the one
// a walk from the start finds, in any bytes of either code page.
TEST(ClobReadTail, FromTheEndAsFromTheStart) {
    const int saved = g_oci_code_page;
    std::mt19937 rng(3);
    const unsigned char kinds[] = {0x41, 0x80, 0xA5, 0xBF, 0xC3, 0xDF, 0xE3, 0xEF, 0xF0, 0xF4,
                                   0xF8, 0xFF, 0x81, 0x9F, 0xE0, 0xFC, 0x40, 0x7F, 0x00, 0x0D};
    for (int codePage : {65001, 0}) {
        g_oci_code_page = codePage;
        auto lead = [&](unsigned char c) -> size_t {
            if (codePage == 65001)
                return c >= 0xF0 && c <= 0xF7   ? 4
                       : c >= 0xE0 && c <= 0xEF ? 3
                       : c >= 0xC0 && c < 0xE0  ? 2
                                                : 1;
            return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 2 : 1;
        };
        for (int round = 0; round < 20000; round++) {
            std::string bytes(rng() % 24, '\0');
            for (char& b : bytes)
                b = static_cast<char>(rng() % 3 ? kinds[rng() % std::size(kinds)] : rng() % 256);
            size_t i = 0, want = 0;
            while (i < bytes.size()) {
                size_t len = lead(static_cast<unsigned char>(bytes[i]));
                if (len > bytes.size() - i) {
                    want = bytes.size() - i;
                    break;
                }
                i += len;
            }
            ASSERT_EQ(clobread_incomplete_tail(bytes.data(), bytes.size()), want) << codePage << " " << round;
        }
        // A run of lead bytes has no offset known to start a character.
        std::string leads(100001, static_cast<char>(0xE3));
        EXPECT_EQ(clobread_incomplete_tail(leads.data(), leads.size()), codePage == 65001 ? 2u : 1u);
    }
    g_oci_code_page = saved;
}

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's allocation hooks (its interface header is not always
// installed).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
// The largest block asked of the allocator while recording.
std::atomic<bool> g_recording{false};
std::atomic<size_t> g_largest{0};
void OnMalloc(const volatile void*, size_t size) {
    if (!g_recording.load()) return;
    size_t seen = g_largest.load();
    while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
    }
}
void OnFree(const volatile void*) {}
#endif

TEST_F(ClobReadTest, HugeClaimedLengthAllocatesOnlyAPiece) {
    OraLobValue v = Value(1);
    v.length = 0x80000000u;
    CEditData d;
    CString msg;
#if defined(__SANITIZE_ADDRESS__)
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    ASSERT_TRUE(hooked);
    g_largest = 0;
    g_recording = true;
#endif
    ASSERT_EQ(oci_read_clob_data(s, &d, &v, &msg), ORARC_OK) << Narrow(msg);
#if defined(__SANITIZE_ADDRESS__)
    g_recording = false;
    EXPECT_GE(g_largest.load(), size_t(1) << 20) << "the piece buffers";
    EXPECT_LE(g_largest.load(), size_t(8) << 20) << "a block sized by the claimed length";
#endif
    EXPECT_EQ(Text(d), kJapanese);
}

int FailInsert(CEditData*, const char16_t*) {
    return 1;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(ClobReadTest, FailuresAnswerWithoutLeaks) {
    tvtest::Init();
    tvtest::ClearBoxes();
    const fs::path log = home / "session.log";
    s->log_path = _wcsdup(Utf8ToWide(log.c_str()).c_str());
    const std::u16string kBox = u"メモリ確保に失敗しました\n";
    CString msg;
    OraLobValue v = Value(1);
    g_clobread_fail_alloc = 1;
    tvtest::AnswerBox(IDOK);
    CEditData a;
    EXPECT_EQ(oci_read_clob_data(s, &a, &v, &msg), ORARC_NO_MEMORY);
    EXPECT_EQ(std::u16string(msg.GetString()), kBox);
    EXPECT_EQ(a.GetLineCount(), 1);
    g_clobread_fail_alloc = 0;

    // An insertion failing after the first pieces: the text read so far is
    // not taken for the value.
    g_clobread_piece_bytes = 7;
    g_clobread_insert_hook = FailInsert;
    v = Value(1);
    CEditData b;
    msg.Empty();
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(oci_read_clob_data(s, &b, &v, &msg), ORARC_NO_MEMORY);
    EXPECT_EQ(std::u16string(msg.GetString()), kBox);
    g_clobread_insert_hook = nullptr;

    ASSERT_EQ(tvtest::Boxes().size(), 2u);
    for (const tvtest::Box& box : tvtest::Boxes()) {
        EXPECT_EQ(box.text, kBox);
        EXPECT_EQ(box.caption, u"ERROR");
        EXPECT_EQ(box.flags, UINT(MB_OK | MB_ICONINFORMATION));
        EXPECT_EQ(box.owner, nullptr) << "no application object";
    }
    EXPECT_EQ(ReadFile(log), "") << "out of memory is not logged";

    // A read failing after the first piece: the log line, the Oracle message,
    // no box, nothing kept (LeakSanitizer).
    Control("fail OCILobRead 3113 2");
    CEditData c;
    msg.Empty();
    EXPECT_EQ(oci_read_clob_data(s, &c, &v, &msg), ORARC_ORACLE_ERROR);
    EXPECT_NE(Narrow(msg).find("ORA-03113"), std::string::npos) << Narrow(msg);
    EXPECT_EQ(ReadFile(log), "\n---\nerror in oci_read_clob_data:\n");
    EXPECT_EQ(tvtest::Boxes().size(), 2u);
}

// The box belongs to the application's main window when there is one; the
// application object is the primary thread's only.
TEST_F(ClobReadTest, OutOfMemoryBoxIsOwnedByTheMainWindow) {
    tvtest::Init();
    tvtest::ClearBoxes();
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, AfxRegisterWndClass(0), u"main", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr));
    OraLobValue v = Value(1);
    CString msg;
    g_clobread_fail_alloc = 1;
    {
        CWinApp app(u"tavrelix");
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(std::u16string(app.m_pszAppName), u"tavrelix");
        EXPECT_EQ(AfxGetThread(), &app);
        EXPECT_EQ(AfxGetMainWnd(), nullptr) << "no main window yet";
        CEditData a;
        tvtest::AnswerBox(IDOK);
        EXPECT_EQ(oci_read_clob_data(s, &a, &v, &msg), ORARC_NO_MEMORY);

        app.m_pMainWnd = &main;
        EXPECT_EQ(AfxGetMainWnd(), &main);
        CWinApp* seenApp = nullptr;
        CWnd* seenMain = &main;
        std::thread([&] {
            seenApp = AfxGetApp();
            seenMain = AfxGetMainWnd();
        }).join();
        EXPECT_EQ(seenApp, &app);
        EXPECT_EQ(seenMain, nullptr) << "a worker thread has no main window";
        CEditData b;
        tvtest::AnswerBox(IDOK);
        EXPECT_EQ(oci_read_clob_data(s, &b, &v, &msg), ORARC_NO_MEMORY);
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
    ASSERT_EQ(tvtest::Boxes().size(), 2u);
    EXPECT_EQ(tvtest::Boxes()[0].owner, nullptr);
    EXPECT_EQ(tvtest::Boxes()[1].owner, main.GetSafeHwnd());
    EXPECT_NE(main.GetSafeHwnd(), nullptr);
    EXPECT_EQ(tvtest::Boxes()[1].caption, u"ERROR");
    main.DestroyWindow();
}

} // namespace
