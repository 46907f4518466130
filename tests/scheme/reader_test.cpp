// Reader, printer and ports.
#include <cstdio>
#include <fstream>
#include <random>

#include "scheme_fixture.h"

namespace {

std::string temp_path(const std::string& name) {
    return scheme_temp_dir() + name;
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

std::string read_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

} // namespace

TEST_F(SchemeTest, ReaderEdgeCases) {
    EXPECT_EQ(eval("(vector? '#(1 2))"), "#t");
    EXPECT_EQ(eval("'#(1 2)"), "#(1 2)");
    EXPECT_EQ(eval("'(1 . 2)"), "(1 . 2)");
    EXPECT_EQ(
        eval("(list (symbol? '...) (symbol? '-) (symbol? '+) (number? -12) (symbol? '12a) (number? +5))"),
        "(#t #t #t #t #t #t)");
    EXPECT_EQ(eval("(list (char->integer #\\Space) (char->integer #\\SPACE) #\\abc #\\( #\\ )"),
              "(32 32 #\\a #\\( #\\space)");
    EXPECT_EQ(eval("(list #x1F #o17 #d42 #xFFFFFFFF #t #f)"), "(31 15 42 -1 #t #f)");
    EXPECT_EQ(eval("#q"), "");
    EXPECT_EQ(error(), "Error: Undefined sharp expression\n");
    EXPECT_EQ(eval("'(1 . 2 3)"), "");
    EXPECT_EQ(error(), "Error: syntax error -- illegal dot expression\n");
    // The reader's vector error carries no irritant; the vector step of
    // quote-vector names the list.
    EXPECT_EQ(eval("#(1 . 2)"), "");
    EXPECT_EQ(error(), "Error: vector constructer require list:\n");
    EXPECT_EQ(eval("'#(a b . c)"), "");
    EXPECT_EQ(error(), "Error: vector constructer require list:\n");
    EXPECT_EQ(eval("(quote-vector (1 . 2))"), "");
    EXPECT_EQ(error(), "Error: vector constructer require list: (1 . 2)\n");
    EXPECT_EQ(run("(display 1) (1 2"), "1");
    EXPECT_EQ(error(), "Error: syntax error -- EOF inside a list\n");
    EXPECT_EQ(run(")"), "");
    EXPECT_EQ(error(), "Error: syntax error -- illegal token\n");
    EXPECT_EQ(eval("#| a #| b |# c |# 5"), "5");
    EXPECT_EQ(eval("'(1 ; comment\n 2 #| block |# 3)"), "(1 2 3)");
    EXPECT_EQ(eval("#! line comment\n 7"), "7");
    EXPECT_EQ(eval("'(quote x)"), "'x");
    EXPECT_EQ(eval("'(quote x y)"), "(quote x y)");
    EXPECT_EQ(eval("'(a `b ,c ,@d)"), "(a `b ,c ,@d)");
    EXPECT_EQ(eval("\"a\tb\\n\\\"\\\\\""), "\"a\\tb\\n\\\"\\\\\"");
    EXPECT_EQ(run("(display \"a\\tb\")"), "a\tb");
    EXPECT_EQ(eval("99999999999"), "2147483647");
    EXPECT_EQ(eval("-99999999999"), "-2147483648");
    EXPECT_EQ(eval("#x1FFFFFFFF"), "-1");
    EXPECT_EQ(eval("\"\xf0\x9f\x98\x80\""), "\"\xf0\x9f\x98\x80\"");
    EXPECT_EQ(eval("#\\\xf0\x9f\x98\x80"), "#\\\xf0\x9f\x98\x80");
}

TEST_F(SchemeTest, RegexpLiterals) {
    EXPECT_EQ(eval("#/a\\/b/i"), "#/a\\/b/i");
    EXPECT_EQ(eval("(list (regexp? #/x+/) (regexp->string #/a\\/b/))"), "(#t \"a/b\")");
    EXPECT_EQ(eval("#/(/"), "");
    EXPECT_EQ(error(), "Error: invalid regexp pattern\n");
}

TEST_F(SchemeTest, MatchRangesOfAShortenedSubject) {
    // Empty ranges at the end of a subject whose surrogate pair later
    // becomes one unit, so that they lie past its new end.
    run("(define s (string-append (make-string 1 (integer->char #x1F600)) \"ab\"))"
        "(define end (rxmatch #/$/ s))"
        "(define mid (rxmatch #/b(x?)/ s)) (string-set! s 0 #\\z)");
    EXPECT_EQ(eval("(string-length s)"), "3");
    EXPECT_EQ(eval("(rxmatch-substring end)"), "\"\"");
    EXPECT_EQ(eval("(rxmatch-substring mid 1)"), "\"\"");
    EXPECT_EQ(error(), "");
    // A range past the new end is refused.
    EXPECT_EQ(eval("(rxmatch-substring mid)"), "");
    EXPECT_EQ(error(), "Error: out of string buffer\n");
    clear();
    EXPECT_EQ(eval("(rxmatch-start end)"), "");
    EXPECT_EQ(error(), "Error: out of string buffer\n");
}

TEST_F(SchemeTest, AtomPrinter) {
    EXPECT_EQ(eval("(list car (lambda () 1) (if #f #f) '() (make-hash-table) (open-input-string \"\"))"),
              "(#<subr car> #<closure> #<undef> () #<hash-table eq?> #<iport (string)>)");
    EXPECT_EQ(eval("(let ((p (open-output-string))) (close-output-port p) p)"), "#<oport(closed) (string)>");
    EXPECT_EQ(eval("(list (call-with-current-continuation (lambda (k) k)) if)"),
              "(#<continuation> #<syntax>)");
    EXPECT_EQ(eval("(read (open-input-string \"\"))"), "#<eof>");
    EXPECT_EQ(eval("(list #\\newline #\\return #\\tab #\\space #\\x)"),
              "(#\\newline #\\return #\\tab #\\space #\\x)");
    EXPECT_EQ(run("(display (list #\\a \"b\" 'c))"), "(a b c)");
    run("(define-macro (m) 1)");
    EXPECT_EQ(eval("m"), "#<macro>");
}

TEST_F(SchemeTest, CyclicAndSharedPrinting) {
    EXPECT_EQ(run("(define c (list 1 2 3)) (set-cdr! (cdr (cdr c)) c) (display c)"), "(1 2 3 ...)");
    EXPECT_EQ(run("(define d (list 1 2 3)) (set-cdr! (cdr (cdr d)) (cdr d)) (display d)"), "(1 2 3 ...)");
    EXPECT_EQ(run("(define a (list 1)) (set-car! a a) (display a)"), "(...)");
    EXPECT_EQ(run("(define v (make-vector 2 0)) (vector-set! v 1 v) (display v)"), "#(0 ...)");
    EXPECT_EQ(run("(define s (list 1 2)) (display (list s s (cons s s)))"), "((1 2) (1 2) ((1 2) 1 2))");
    EXPECT_EQ(run("(define q (list 'quote 1)) (set-car! (cdr q) q) (display q)"), "'...");
    // The marks are gone afterwards: the same data prints in full again.
    EXPECT_EQ(run("(display s)"), "(1 2)");
}

TEST_F(SchemeTest, RoundTripThroughStringPorts) {
    std::mt19937 rng(12345);
    const char* atoms[] = {"\"a\\\"b\"",
                           "\"\\\\\"",
                           "\"\\t\\n\\r\"",
                           "#\\(",
                           "#\\space",
                           "#\\)",
                           "sym",
                           "-5",
                           "2147483647",
                           "#\\a",
                           "\"\xe3\x81\x82\xf0\x9f\x98\x80\"",
                           "()",
                           "#t",
                           "#f"};
    for (int round = 0; round < 40; ++round) {
        std::string datum = "(";
        int n = rng() % 8;
        for (int i = 0; i < n; ++i) {
            int k = rng() % 16;
            if (k < 14)
                datum += atoms[k];
            else if (k == 14)
                datum += "#(1 \"x\" (2 . 3))";
            else
                datum += "(a . \"b\")";
            datum += ' ';
        }
        datum += ")";
        std::string script = "(define d '" + datum +
                             ") (define p (open-output-string)) (write d p)"
                             " (write (equal? d (read (open-input-string (get-output-string p)))))";
        EXPECT_EQ(run(script), "#t") << datum << " " << error();
    }
}

TEST_F(SchemeTest, EightBitFilesAndChunkBoundaries) {
    // "あ" is 82 A0 in CP932. Place it across every offset near the first
    // chunk's end so one of them splits it.
    for (int pad = 250; pad < 262; ++pad) {
        std::string path = temp_path("sjis.scm");
        write_bytes(path, "(define s \"" + std::string(pad, 'a') + "\x82\xa0\") (display (string-length s))");
        clear();
        EXPECT_EQ(sch_safe_load_file(sc, to_u16(path).c_str()), 0);
        EXPECT_EQ(to_utf8(out), std::to_string(pad + 1)) << pad;
    }
    // CP932: 5C is the backslash, 8160 is U+FF5E.
    std::string path = temp_path("cp932.scm");
    write_bytes(path, "(display \"\\\\\x81\x60\")");
    clear();
    sch_safe_load_file(sc, to_u16(path).c_str());
    EXPECT_EQ(to_utf8(out), "\\\xef\xbd\x9e");
    // A lead byte ending the file is dropped; the load ends.
    write_bytes(path, "(display 1)\x82");
    clear();
    EXPECT_EQ(sch_safe_load_file(sc, to_u16(path).c_str()), 0);
    EXPECT_EQ(to_utf8(out), "1");
    // A lone high surrogate ending a UTF-16 file is one character.
    write_bytes(path, std::string("\xff\xfe(\0d\0i\0s\0p\0l\0a\0y\0 \0002\0)\0 \0\x01\xd8", 26));
    clear();
    EXPECT_EQ(sch_safe_load_file(sc, to_u16(path).c_str()), 0);
    EXPECT_EQ(to_utf8(out), "2");
}

TEST_F(SchemeTest, FilePortsAndEncodings) {
    std::string path = temp_path("out.txt");
    std::string u = to_utf8(to_u16(path));
    run("(define p (open-output-file \"" + u +
        "\")) (display \"ab\" p) (write-char #\\\xf0\x9f\x98\x80 p) (close-output-port p) (close-output-port "
        "p)");
    EXPECT_EQ(error(), "");
    EXPECT_EQ(read_bytes(path), std::string("a\0b\0\x3d\xd8\x00\xde", 8));
    EXPECT_EQ(eval("(let ((i (open-input-file \"" + u +
                   "\"))) (list (read-char i) (peek-char i) (read-char i) "
                   "(read-char i) (read-char i)))"),
              "(#\\a #\\b #\\b #\\\xf0\x9f\x98\x80 #<eof>)");
    // A byte-order mark is skipped.
    write_bytes(path, std::string("\xff\xfe"
                                  "4\0"
                                  "2\0",
                                  6));
    EXPECT_EQ(eval("(read (open-input-file \"" + u + "\"))"), "42");
    // A zero byte inside the first 1024 bytes makes UTF-16; past them, bytes.
    write_bytes(path, std::string("4\0"
                                  "2\0",
                                  4));
    EXPECT_EQ(eval("(read (open-input-file \"" + u + "\"))"), "42");
    write_bytes(path, std::string(1023, ' ') + std::string("\0", 1));
    EXPECT_EQ(eval("(char->integer (read-char (open-input-file \"" + u + "\")))"), "8224");
    write_bytes(path, std::string(1024, ' ') + std::string("\0", 1));
    EXPECT_EQ(eval("(char->integer (read-char (open-input-file \"" + u + "\")))"), "32");
    EXPECT_EQ(eval("(open-input-file \"/nonexistent/x\")"), "");
    EXPECT_EQ(error(), "Error: file cannot open \"/nonexistent/x\"\n");
    // A directory opens as no file, in either direction.
    std::string dir = scheme_temp_dir();
    EXPECT_EQ(eval("(open-input-file \".\")"), "");
    EXPECT_EQ(error(), "Error: file cannot open \".\"\n");
    EXPECT_EQ(eval("(open-input-file \"" + dir + "\")"), "");
    EXPECT_EQ(error(), "Error: file cannot open \"" + dir + "\"\n");
    EXPECT_EQ(eval("(open-output-file \"" + dir + "\")"), "");
    EXPECT_EQ(error(), "Error: file cannot open \"" + dir + "\"\n");
    EXPECT_EQ(
        eval("(list (file-exists? \"/nonexistent/x\") (file-exists? \"/tmp\") (file-exists? \"" + u + "\"))"),
        "(#f #t #t)");
}

TEST_F(SchemeTest, StringPorts) {
    EXPECT_EQ(
        eval("(define p (open-output-string)) (display \"abc\" p) (clear-output-string p) (display \"x\" p) "
             "(get-output-string p)"),
        "\"x\"");
    EXPECT_EQ(eval("(let ((a (get-output-string p))) (display \"y\" p) (list a (get-output-string p) (eq? a "
                   "(get-output-string p))))"),
              "(\"x\" \"xy\" #f)");
    EXPECT_EQ(
        eval("(define q (open-output-string)) (let loop ((i 0)) (if (< i 100) (begin (display i q) (loop (+ "
             "i 1))))) (string-length (get-output-string q))"),
        "190");
    EXPECT_EQ(eval("(define i (open-input-string \"1 2\")) (close-input-port i) (close-input-port i) (list "
                   "(port-closed? i) (input-port? i) (output-port? i))"),
              "(#t #t #f)");
    EXPECT_EQ(eval("(read i)"), "");
    EXPECT_EQ(error(), "Error: I/O attempted on closed port #<iport(closed) (string)>\n");
    EXPECT_EQ(eval("(eq? (current-output-port 1 2) (current-output-port))"), "#t");
    EXPECT_EQ(eval("(get-output-string (open-input-string \"\"))"), "");
    EXPECT_EQ(error(), "Error: get-output-string: output string port required: #<iport (string)>\n");
    EXPECT_EQ(eval("(close-input-port (open-output-string))"), "");
    EXPECT_EQ(error(), "Error: close-input-port: input port required: #<oport (string)>\n");
    EXPECT_EQ(
        eval("(let ((p (open-input-string \"(a b) c\"))) (list (read p) (read p) (eof-object? (read p))))"),
        "((a b) c #t)");
    EXPECT_EQ(eval("(let ((p (open-output-string))) (close-output-port p) (display 1 p))"), "");
    EXPECT_EQ(error(), "Error: I/O attempted on closed port #<oport(closed) (string)>\n");
}
