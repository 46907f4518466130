// Text files in the Japanese character codes: detection of the code and the
// line end, and TextFile, which reads a file as UTF-16 blocks or lines and
// writes UTF-16 text in a chosen code. The file itself is a CFile with a
// CArchive over it.
#pragma once

#include <afx.h>

#include <cstdint>

#include "base/safesave.h"

// Character codes of text files.
typedef int CharCode;
enum : int {
    CHARCODE_SJIS = 1,
    CHARCODE_EUC = 2,
    CHARCODE_JIS = 3,
    CHARCODE_UNICODE = 5,        // UTF-16LE with signature FF FE
    CHARCODE_UTF8 = 6,           // UTF-8 with signature EF BB BF
    CHARCODE_UNICODE_NOSIG = 7,  // UTF-16LE without signature
    CHARCODE_UTF8_NOSIG = 8,     // UTF-8 without signature
    CHARCODE_AUTO = 9,           // detect on reading; never a result
    CHARCODE_UTF16BE = 10,       // UTF-16BE with signature FE FF
    CHARCODE_UTF16BE_NOSIG = 11, // UTF-16BE without signature
};

// Line ends; 0 where a text has no line break.
typedef int LineEndCode;
enum : int {
    LINE_END_NONE = 0,
    LINE_END_CRLF = 1,
    LINE_END_LF = 2,
    LINE_END_CR = 3,
};

enum : int {
    TEXTFILE_RAW_SIZE = 4096,
    TEXTFILE_CARRY_SIZE = 24,
    TEXTFILE_OUT_SIZE = 16388,
    TEXTFILE_DECODED_SIZE = TEXTFILE_RAW_SIZE + TEXTFILE_CARRY_SIZE + 8,
};

struct TextFile {
    CArchive* archive = nullptr; // all reads and writes; not owned unless own_archive
    CString mode;
    CString file_name;
    CharCode code = CHARCODE_SJIS;

    unsigned char carry[TEXTFILE_CARRY_SIZE] = {}; // bytes kept from the end of one raw block
    int carry_len = 0;
    int jis_state = 0; // 1 ASCII/Roman, 2 kanji, 3 half-width katakana; 0 none yet
    int shift_out = 0; // 1 after SO
    int signature_done = 0;
    int at_end = 0;     // the file has been read to its end
    int pending_cr = 0; // a CR that ended the last decoded block, given with the next one

    unsigned char raw[TEXTFILE_RAW_SIZE + TEXTFILE_CARRY_SIZE + 1] = {};
    unsigned char out[TEXTFILE_OUT_SIZE] = {}; // bytes being written; SJIS stage of EUC and JIS reading
    char16_t decoded[TEXTFILE_DECODED_SIZE] = {};

    CFile* own_file = nullptr;
    CArchive* own_archive = nullptr;

    const char16_t* line_pos = nullptr; // where textfile_gets stands in decoded
    LineEndCode line_end = LINE_END_NONE;
    char16_t line_end_text[3] = {u'\r', u'\n', 0};

    // Characters written as '?' because the code cannot hold them.
    int replaced = 0;

    // A file opened for writing by textfile_open is written to a temporary
    // file that textfile_close puts in the target's place.
    SafeSave save;
    int write_failed = 0; // a write threw: the file is cut

    TextFile() = default;
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    ~TextFile();
};

// Sets up rec over an archive of the caller's: clears the carry, JIS state,
// positions and the replacement count, and sets the line-end text ("\r\n" for
// 1 and anything else, "\n" for 2, "\r" for 3). No C runtime locale is
// involved: the conversions are the code-page converters'.
void textfile_init(TextFile* rec, CArchive* archive, CharCode code, LineEndCode line_end);

// Opens name. Mode "r...": reading, sharing allowed, code detected. Mode
// "w...": a new temporary file beside name is written (name itself is not
// touched until textfile_close), code CHARCODE_AUTO (the caller sets code and
// line end before writing). 1 on success, 0 when the file cannot be opened.
int textfile_open(TextFile* rec, const char16_t* name, const char16_t* mode);

// Closes and deletes the archive and file that textfile_open made. A file
// written whole is put on the disk and replaces name. When a write failed
// before, or the final flush or the replacement fails, name is as it was, the
// temporary file is removed, and a CFileException* is thrown after everything
// is released.
void textfile_close(TextFile* rec);

// Closes without writing anything more: a file being written is dropped and
// name is as it was. Reports nothing.
void textfile_abort(TextFile* rec);

// textfile_close, then releases the name and mode.
void textfile_destroy(TextFile* rec);

// The next decoded block, NUL-terminated (owned by rec, valid until the next
// call); NULL at the end of the file.
const char16_t* textfile_read_block(TextFile* rec);

// Copies the next line, its line end included, into buf (capacity units,
// at least 3). A line longer than capacity - 1 units comes in segments, never
// splitting a surrogate pair or CR LF; a segment that does not end in a line
// break means the line goes on. NULL at the end of the file.
char16_t* textfile_gets(TextFile* rec, char16_t* buf, int capacity);

// Writes text converted to the record's code. Characters the code cannot hold
// are written as '?' and counted (textfile_replaced_count).
void textfile_write(TextFile* rec, const char16_t* text);
void textfile_write_utf8(TextFile* rec, const char16_t* text);

// One CSV field: with quote, in double quotes with every double quote doubled;
// else the text as it is.
void textfile_write_csv_field(TextFile* rec, const char16_t* text, int quote);

// Number of characters replaced by '?' since textfile_init: on writing, those
// the code cannot hold (a surrogate pair counts once); on reading, bytes that
// make no character, a NUL byte among them.
int textfile_replaced_count(const TextFile* rec);

// Detection. textfile_detect_code reads up to 64 KB from the start of the
// record's archive and rewinds; textfile_detect_line_end scans for the first
// line break in the record's code, stores it in the record and rewinds.
CharCode textfile_detect_code(TextFile* rec);
int ScoreJapaneseCode(const unsigned char* bytes, int length);
LineEndCode textfile_detect_line_end(TextFile* rec);
LineEndCode textfile_detect_line_end_utf16(TextFile* rec);
LineEndCode textfile_str_line_end(const char16_t* text);
