// LOB locators: length, piecewise reads, assignment and BFILE names.
#include "internal.h"
#include "win32/wstring.h"

#include <sys/stat.h>

using namespace oci;

namespace oci {

void fillLocator(LobH& l, ub2 type, ub1 form, const void* data, size_t n, bool null) {
    l.valid = !null;
    l.temporary = false;
    l.lobType = type;
    l.form = form;
    l.reading = false;
    l.data.assign(static_cast<const char*>(data), null ? 0 : n);
    l.dirName.clear();
    l.fileName.clear();
    if (type == SQLT_BFILEE && !null) {
        // "BFILE:dir:file"
        std::string v = l.data;
        if (v.rfind("BFILE:", 0) == 0) v.erase(0, 6);
        size_t colon = v.find(':');
        l.dirName = v.substr(0, colon);
        l.fileName = colon == std::string::npos ? "" : v.substr(colon + 1);
        l.data.clear();
    }
}

} // namespace oci

namespace {

LobH* lobOf(const void* p) {
    if (isHandle(p, OCI_DTYPE_LOB)) return as<LobH>(p, OCI_DTYPE_LOB);
    return as<LobH>(p, OCI_DTYPE_FILE);
}

// One character of a CLOB's UTF-8 at s[i]: its length in bytes (at most what
// is left) and its code point, read as toUtf16 reads it.
size_t charAt(const std::string& s, size_t i, char32_t& c) {
    unsigned char b = s[i];
    c = b;
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
    if (len > 1) {
        c = b & (0xFF >> (len + 1));
        for (size_t k = 1; k < len && i + k < s.size(); ++k) c = (c << 6) | (s[i + k] & 0x3F);
    }
    return std::min(len, s.size() - i);
}

// Whether the bytes of a character are the UTF-8 that writing its code point
// gives back (then they are sent as they are).
bool canonical(const std::string& s, size_t i, size_t len, char32_t c) {
    if (len == 1) return c < 0x80;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    switch (len) {
    case 2: return c >= 0x80 && c < 0x800;
    case 3: return c >= 0x800 && c < 0x10000 && (c < 0xD800 || c >= 0xE000);
    default: return c >= 0x10000 && c < 0x110000;
    }
}

// The CLOB's length in UTF-16 units, without widening it.
size_t utf16Length(const std::string& s) {
    size_t units = 0;
    for (size_t i = 0; i < s.size();) {
        char32_t c;
        i += charAt(s, i, c);
        units += c >= 0x10000 ? 2 : 1;
    }
    return units;
}

void toUtf16(const std::string& s, std::u16string& out) {
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = s[i];
        char32_t c = b;
        int len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        if (len > 1) {
            c = b & (0xFF >> (len + 1));
            for (int k = 1; k < len && i + size_t(k) < s.size(); ++k)
                c = (c << 6) | (s[i + size_t(k)] & 0x3F);
        }
        i += size_t(len);
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
}

std::string utf8Of(const std::u16string& w, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; ++i) {
        char32_t c = w[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < to && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        }
        Utf8AppendCodePoint(out, c);
    }
    return out;
}

bool bfilePath(Session* s, const LobH& l, std::string& path) {
    if (!s) return false;
    sqlite3_stmt* st = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(s->conn, "SELECT directory_path FROM main.directories WHERE directory_name = ?1",
                           -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, l.dirName.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) {
            path = std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + "/" + l.fileName;
            found = true;
        }
    }
    sqlite3_finalize(st);
    return found;
}

bool readFile(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    out.clear();
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return true;
}

} // namespace

OCI_EXPORT sword OCILobAssign(OCIEnv*, OCIError* errhp, const OCILobLocator* src, OCILobLocator** dst) {
    LobH* s = lobOf(src);
    if (!s || !dst) return OCI_INVALID_HANDLE;
    if (injected("OCILobAssign", errhp)) return OCI_ERROR;
    LobH* d = lobOf(*dst);
    if (!d) return OCI_INVALID_HANDLE;
    if (s->temporary) return setError(errhp, makeError(22275));
    d->copyFrom(*s);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobLocatorAssign(OCISvcCtx*, OCIError* errhp, const OCILobLocator* src,
                                     OCILobLocator** dst) {
    LobH* s = lobOf(src);
    if (!s || !dst) return OCI_INVALID_HANDLE;
    if (injected("OCILobLocatorAssign", errhp)) return OCI_ERROR;
    LobH* d = lobOf(*dst);
    if (!d) return OCI_INVALID_HANDLE;
    d->copyFrom(*s);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobIsTemporary(OCIEnv*, OCIError* errhp, OCILobLocator* locp, boolean* is_temporary) {
    LobH* l = lobOf(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (injected("OCILobIsTemporary", errhp)) return OCI_ERROR;
    if (is_temporary) *is_temporary = l->temporary ? 1 : 0;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub1) {
    LobH* l = lobOf(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (injected("OCILobOpen", errhp, liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX)))) return OCI_ERROR;
    if (l->lobType == SQLT_BFILEE) {
        std::string path;
        struct stat st;
        if (!bfilePath(liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX)), *l, path))
            return setError(errhp, makeError(22285));
        if (::stat(path.c_str(), &st) != 0) return setError(errhp, makeError(22288));
    }
    l->opened = true;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
    LobH* l = lobOf(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (injected("OCILobClose", errhp, liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX)))) return OCI_ERROR;
    l->opened = false;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp) {
    LobH* l = lobOf(locp);
    if (!l || !lenp) return OCI_INVALID_HANDLE;
    if (injected("OCILobGetLength", errhp, liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX))))
        return OCI_ERROR;
    l->reading = false;
    if (l->lobType == SQLT_BFILEE) {
        std::string path;
        struct stat st;
        if (!bfilePath(liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX)), *l, path))
            return setError(errhp, makeError(22285));
        if (::stat(path.c_str(), &st) != 0) return setError(errhp, makeError(22288));
        *lenp = ub4(st.st_size);
        return OCI_SUCCESS;
    }
    if (l->lobType == SQLT_CLOB) {
        *lenp = ub4(utf16Length(l->data));
    } else {
        *lenp = ub4(l->data.size());
    }
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                            dvoid* bufp, ub4 bufl, dvoid*, OCICallbackLobRead, ub2, ub1 csfrm) {
    LobH* l = lobOf(locp);
    if (!l || !amtp) return OCI_INVALID_HANDLE;
    Session* session = liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX));
    if (injected("OCILobRead", errhp, session)) return OCI_ERROR;
    // A read broken off by a break is over: this call begins a new one.
    const unsigned breaks = session ? session->breaks.load() : 0;
    if (l->reading && l->readBreaks != breaks) l->reading = false;
    if (!l->reading) l->readBreaks = breaks;
    char* out = static_cast<char*>(bufp);
    if (l->lobType == SQLT_CLOB) {
        // Amounts and offsets count UTF-16 units; the value is UTF-8. The read
        // keeps its place in both between pieces, so that each piece costs
        // only what it returns.
        const std::string& data = l->data;
        if (!l->reading) {
            size_t start = offset > 0 ? offset - 1 : 0;
            size_t at = 0, units = 0;
            while (at < data.size() && units < start) {
                char32_t c;
                at += charAt(data, at, c);
                units += c >= 0x10000 ? 2 : 1;
            }
            l->readPos = units;
            l->readByte = at;
            l->readEnd = *amtp == 0 ? SIZE_MAX : units + *amtp;
            l->reading = true;
        }
        const Codec& codec =
            (csfrm == SQLCS_NCHAR || l->form == SQLCS_NCHAR) ? l->env->ncodec : l->env->codec;
        const bool utf8 = codec.cp == 65001;
        size_t placed = 0, pos = l->readPos, at = std::min(l->readByte, data.size());
        // A run of characters sent as they are, copied at once.
        size_t runFrom = at;
        auto flush = [&] {
            std::memcpy(out + placed, data.data() + runFrom, at - runFrom);
            placed += at - runFrom;
        };
        std::string client, one;
        while (pos < l->readEnd && at < data.size()) {
            char32_t c;
            size_t len = charAt(data, at, c);
            size_t units = c >= 0x10000 ? 2 : 1;
            if ((utf8 || c < 0x80) && canonical(data, at, len, c)) {
                if (placed + (at - runFrom) + len > bufl) break;
            } else {
                // Written again from its code point, and into the client's code page.
                one.clear();
                Utf8AppendCodePoint(one, c);
                codec.fromUtf8(one, client);
                if (placed + (at - runFrom) + client.size() > bufl) break;
                flush();
                std::memcpy(out + placed, client.data(), client.size());
                placed += client.size();
                runFrom = at + len;
            }
            at += len;
            pos += units;
        }
        flush();
        l->readPos = pos;
        l->readByte = at;
        *amtp = ub4(placed);
        if (pos < l->readEnd && at < data.size()) return OCI_NEED_DATA;
        l->reading = false;
        return OCI_SUCCESS;
    }
    std::string bytes;
    const std::string* src = &l->data;
    if (l->lobType == SQLT_BFILEE) {
        std::string path;
        if (!bfilePath(liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX)), *l, path) || !readFile(path, bytes))
            return setError(errhp, makeError(22288));
        src = &bytes;
    }
    if (!l->reading) {
        size_t start = offset > 0 ? offset - 1 : 0;
        if (start > src->size()) start = src->size();
        l->readPos = start;
        l->readEnd = *amtp == 0 ? src->size() : std::min<size_t>(src->size(), start + *amtp);
        l->reading = true;
    }
    size_t n = std::min<size_t>(bufl, l->readEnd - l->readPos);
    std::memcpy(out, src->data() + l->readPos, n);
    l->readPos += n;
    *amtp = ub4(n);
    if (l->readPos < l->readEnd) return OCI_NEED_DATA;
    l->reading = false;
    return OCI_SUCCESS;
}

namespace {

const size_t kMaxLob = 1000000000;

// Stores the locator's value in its row.
bool storeLob(Session& s, LobH& l, OraError& err) {
    if (l.data.size() > kMaxLob) {
        err = makeError(600, "LOB larger than 1000000000 bytes");
        return false;
    }
    std::string sql =
        "UPDATE \"" + l.owner + "\".\"" + l.table + "\" SET \"" + l.column + "\" = ?1 WHERE rowid = ?2";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(s.conn, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        err = sqliteError(s, SQLITE_ERROR, nullptr, -1);
        return false;
    }
    if (l.data.empty())
        sqlite3_bind_zeroblob(st, 1, 0);
    else if (l.lobType == SQLT_CLOB)
        sqlite3_bind_text(st, 1, l.data.data(), int(l.data.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_blob(st, 1, l.data.data(), int(l.data.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, l.rowid);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        err = sqliteError(s, rc, nullptr, -1);
        return false;
    }
    return true;
}

// Writes data (client bytes) at offset (characters for CLOB, else bytes, from 1).
bool writeAt(Session* s, LobH& l, ub4 offset, const std::string& data, ub1 csfrm, ub4& amount,
             OraError& err) {
    size_t start = offset > 0 ? offset - 1 : 0;
    if (l.lobType == SQLT_CLOB) {
        const Codec& codec = (csfrm == SQLCS_NCHAR || l.form == SQLCS_NCHAR) ? l.env->ncodec : l.env->codec;
        std::string utf8;
        codec.toUtf8(data.data(), data.size(), utf8);
        std::u16string old, add;
        toUtf16(l.data, old);
        toUtf16(utf8, add);
        if (old.size() < start) old.append(start - old.size(), u' ');
        std::u16string result = old.substr(0, start) + add;
        if (start + add.size() < old.size()) result += old.substr(start + add.size());
        l.data = utf8Of(result, 0, result.size());
        amount = ub4(add.size());
    } else {
        std::string result = l.data;
        if (result.size() < start) result.append(start - result.size(), '\0');
        result.replace(start, std::min(data.size(), result.size() - start), data);
        l.data = result;
        amount = ub4(data.size());
    }
    l.valid = true;
    return l.temporary || !s || storeLob(*s, l, err);
}

} // namespace

OCI_EXPORT sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                             dvoid* bufp, ub4 buflen, ub1 piece, dvoid*, OCICallbackLobWrite, ub2,
                             ub1 csfrm) {
    LobH* l = lobOf(locp);
    if (!l || !amtp) return OCI_INVALID_HANDLE;
    if (injected("OCILobWrite", errhp, liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX)))) return OCI_ERROR;
    if (l->lobType == SQLT_BFILEE) return setError(errhp, makeError(22286));
    Session* s = liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX));
    if (!l->temporary) {
        // Writing needs the row locked by this transaction.
        if (!s || !l->hasRow || !s->inTransaction) {
            l->writing = false;
            return setError(errhp, makeError(22920));
        }
    }
    std::string bytes(static_cast<const char*>(bufp), bufp ? buflen : 0);
    if (piece == OCI_FIRST_PIECE || (piece != OCI_ONE_PIECE && !l->writing)) {
        l->writing = true;
        l->writeOffset = offset;
        l->writeBuf.clear();
    }
    if (piece == OCI_ONE_PIECE) {
        l->writing = false;
        OraError e;
        ub4 amount = 0;
        if (!writeAt(s, *l, offset, bytes, csfrm, amount, e)) return setError(errhp, e);
        *amtp = amount;
        return OCI_SUCCESS;
    }
    if (l->writeBuf.size() + bytes.size() > kMaxLob) {
        l->writing = false;
        return setError(errhp, makeError(600, "LOB larger than 1000000000 bytes"));
    }
    l->writeBuf += bytes;
    *amtp = ub4(bytes.size());
    if (piece != OCI_LAST_PIECE) return OCI_NEED_DATA;
    // The last piece, even an empty one, completes the write.
    l->writing = false;
    OraError e;
    ub4 amount = 0;
    std::string all;
    all.swap(l->writeBuf);
    if (!writeAt(s, *l, l->writeOffset, all, csfrm, amount, e)) return setError(errhp, e);
    *amtp = amount;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen) {
    LobH* l = lobOf(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (injected("OCILobTrim", errhp, liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX)))) return OCI_ERROR;
    Session* s = liveSession(as<SvcCtxH>(svchp, OCI_HTYPE_SVCCTX));
    if (!l->temporary && (!s || !l->hasRow || !s->inTransaction)) return setError(errhp, makeError(22920));
    if (l->lobType == SQLT_CLOB) {
        std::u16string w;
        toUtf16(l->data, w);
        if (newlen < w.size()) l->data = utf8Of(w, 0, newlen);
    } else if (newlen < l->data.size()) {
        l->data.resize(newlen);
    }
    OraError e;
    if (!l->temporary && !storeLob(*s, *l, e)) return setError(errhp, e);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobCharSetForm(OCIEnv*, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm) {
    LobH* l = lobOf(locp);
    if (!l || !csfrm) return OCI_INVALID_HANDLE;
    if (injected("OCILobCharSetForm", errhp)) return OCI_ERROR;
    *csfrm = l->lobType == SQLT_CLOB ? l->form : 0;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobCharSetId(OCIEnv*, OCIError* errhp, const OCILobLocator* locp, ub2* csid) {
    LobH* l = lobOf(locp);
    if (!l || !csid) return OCI_INVALID_HANDLE;
    if (injected("OCILobCharSetId", errhp)) return OCI_ERROR;
    *csid = l->lobType == SQLT_CLOB ? (l->form == SQLCS_NCHAR ? 2000 : 873) : 0;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILobFileGetName(OCIEnv*, OCIError* errhp, const OCILobLocator* filep, OraText* dir_alias,
                                   ub2* d_length, OraText* filename, ub2* f_length) {
    LobH* l = lobOf(filep);
    if (!l || !d_length || !f_length) return OCI_INVALID_HANDLE;
    if (injected("OCILobFileGetName", errhp)) return OCI_ERROR;
    if (l->lobType != SQLT_BFILEE) return setError(errhp, makeError(22275));
    std::string dir, file;
    l->env->codec.fromUtf8(l->dirName, dir);
    l->env->codec.fromUtf8(l->fileName, file);
    // Names are not terminated; a name that does not fit its buffer is an error
    // and nothing is written past the given lengths.
    if (dir.size() > *d_length || file.size() > *f_length) return setError(errhp, makeError(1406));
    if (dir_alias) std::memcpy(dir_alias, dir.data(), dir.size());
    if (filename) std::memcpy(filename, file.data(), file.size());
    *d_length = ub2(dir.size());
    *f_length = ub2(file.size());
    return OCI_SUCCESS;
}
