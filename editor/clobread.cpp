#include "editor/clobread.h"

#include <afxwin.h>

#include <cstdlib>
#include <cstring>

#include "base/textfile.h"
#include "editor/editdata.h"

int g_clobread_piece_bytes = 0;
int g_clobread_fail_alloc = 0;
int (*g_clobread_insert_hook)(CEditData* data, const char16_t* text) = nullptr;

namespace {

const size_t kDefaultPiece = size_t(1) << 20;
const size_t kMaxCarryBytes = 3; // an incomplete character is at most 3 bytes
const size_t kMaxCarryUnits = 2; // a CR and a high surrogate
const char16_t kNoMemory[] = u"メモリ確保に失敗しました\n";

void* Alloc(size_t bytes) {
    if (g_clobread_fail_alloc) return nullptr;
    return std::malloc(bytes);
}

// Bytes of the character whose first byte is c, by the session code page.
size_t LeadLength(unsigned char c) {
    if (g_oci_code_page == 65001) {
        if (c >= 0xF0 && c <= 0xF7) return 4;
        if (c >= 0xE0) return c <= 0xEF ? 3 : 1;
        if (c >= 0xC0) return 2;
        return 1;
    }
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 2 : 1;
}

// Whether offset j of p certainly starts a character: no character that may
// start in the bytes before j reaches past it, whatever came before them.
bool KnownStart(const char* p, size_t j) {
    const size_t longest = g_oci_code_page == 65001 ? 4 : 2;
    for (size_t d = 1; d < longest && d <= j; d++)
        if (LeadLength(static_cast<unsigned char>(p[j - d])) > d) return false;
    return true;
}

int NoMemory(CString* msg) {
    CWnd* main = AfxGetMainWnd();
    MessageBoxW(main ? main->GetSafeHwnd() : nullptr, kNoMemory, u"ERROR", MB_OK | MB_ICONINFORMATION);
    if (msg) *msg = kNoMemory;
    return ORARC_NO_MEMORY;
}

} // namespace

// Reading characters from the start, but only near the end: the walk starts
// at the last offset known to start a character, a few bytes back in any
// text that is not made to defeat it.
size_t clobread_incomplete_tail(const char* p, size_t n) {
    size_t i = n;
    while (i > 0 && !KnownStart(p, i)) i--;
    while (i < n) {
        size_t len = LeadLength(static_cast<unsigned char>(p[i]));
        if (len > n - i) return n - i;
        i += len;
    }
    return 0;
}

int oci_read_clob_data(OraSession* s, CEditData* data, const OraLobValue* lob, CString* msg) {
    if (lob->null_flag) return ORARC_OK;
    size_t piece = g_clobread_piece_bytes > 0 ? size_t(g_clobread_piece_bytes) : kDefaultPiece;
    if (piece < 4) piece = 4;
    // Each byte makes at most one UTF-16 unit, so the wide buffer holds a
    // converted piece with the carried bytes and units in front of it.
    size_t byteCap = kMaxCarryBytes + piece + 1;
    size_t wideCap = kMaxCarryUnits + kMaxCarryBytes + piece + 1;
    auto* bytes = static_cast<char*>(Alloc(byteCap));
    auto* wide = static_cast<char16_t*>(Alloc(wideCap * sizeof(char16_t)));
    if (!bytes || !wide) {
        std::free(bytes);
        std::free(wide);
        return NoMemory(msg);
    }
    size_t carryBytes = 0, carryUnits = 0;
    bool lineEndSeen = false;
    int rc = ORARC_OK;
    for (;;) {
        ub4 amount = 0;
        sword r = g_oci.OCILobRead(s->svc, s->err, lob->locator, &amount, 1, bytes + carryBytes, ub4(piece),
                                   nullptr, nullptr, lob->charset_id, lob->charset_form);
        if (r != OCI_SUCCESS && r != OCI_NEED_DATA) {
            oci_write_log(s, u"\n---\nerror in oci_read_clob_data:\n");
            oci8_get_error(s, msg);
            rc = ORARC_ORACLE_ERROR;
            break;
        }
        bool more = r == OCI_NEED_DATA;
        size_t total = carryBytes + (amount < piece ? size_t(amount) : piece);
        size_t keep = more ? clobread_incomplete_tail(bytes, total) : 0;
        char tail[kMaxCarryBytes + 1] = {};
        if (keep > kMaxCarryBytes) keep = 0; // not a character we know: convert as it is
        std::memcpy(tail, bytes + total - keep, keep);
        bytes[total - keep] = 0;

        char16_t* out = wide + carryUnits;
        out[0] = 0;
        int written = g_mb_to_wide(bytes, out, int(wideCap - carryUnits));
        // The converter counts the units it wrote with the NUL.
        size_t len =
            carryUnits + (written > 0 && out[written - 1] == 0 ? size_t(written - 1)
                                                               : std::char_traits<char16_t>::length(out));
        // A high surrogate or a CR at the end waits for what follows it.
        size_t k = len;
        if (more) {
            if (k > 0 && wide[k - 1] >= 0xD800 && wide[k - 1] <= 0xDBFF) --k;
            if (k > 0 && wide[k - 1] == u'\r') --k;
        }
        char16_t held[kMaxCarryUnits] = {};
        size_t heldCount = len - k;
        std::memcpy(held, wide + k, heldCount * sizeof(char16_t));
        wide[k] = 0;

        if (k > 0) {
            if (!lineEndSeen) {
                LineEndCode end = textfile_str_line_end(wide);
                lineEndSeen = end != LINE_END_NONE;
                data->SetLineEndType(lineEndSeen ? uint32_t(end) : LINEEND_CRLF);
            }
            data->m_undo->depth = 0;
            int failed =
                g_clobread_insert_hook ? g_clobread_insert_hook(data, wide) : data->InsertTextAtCaret(wide);
            if (failed) {
                if (more) g_oci.OCIBreak(s->svc, s->err);
                rc = NoMemory(msg);
                break;
            }
        } else if (!lineEndSeen) {
            data->SetLineEndType(LINEEND_CRLF);
        }
        if (!more) break;
        std::memcpy(wide, held, heldCount * sizeof(char16_t));
        carryUnits = heldCount;
        std::memcpy(bytes, tail, keep);
        carryBytes = keep;
    }
    if (rc == ORARC_OK) {
        data->SetCaret(0, 0);
        data->m_goalColumn = -1;
        data->ClearUndo();
        data->MarkSaved();
    }
    std::free(bytes);
    std::free(wide);
    return rc;
}
