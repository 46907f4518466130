// The "LOGON=" argument of the command line, over any UTF-16 text. The parts
// found are those of a plain reading of the rules: the value behind the first
// "LOGON=", quoted (to the next double quote no backslash protects, then
// backslash-quote and backslash pairs undone) or up to a blank; a ":OCI7"
// that first appears at its very end taken off; the user up to the first "/"
// or "@", the password after a "/" up to the next "@", the service after
// that. And parts that such a value can carry, quoted as a shell would pass
// them (every backslash and double quote behind a backslash), come back as
// they were, with and without other arguments around; without blanks they
// come back unquoted too. Passed as one argument of the process (as a Linux
// shell passes "LOGON=u/p q@s"), they come back from the command line the
// program reads, but where that line's quoting (the C runtime's rules, by
// which two backslashes before no quote are two) and the rules of "LOGON="
// (by which they are one) differ.
#include <string>
#include <vector>

#include "app/tavexapp.h"
#include "fuzz.h"
#include "win32/sysinfo.h"

const uint64_t fuzz_default_count = 3000;

namespace {

struct Parts {
    std::u16string user, password, service;
    int oci7 = 0;
    bool operator==(const Parts&) const = default;
};

Parts Of(const LogonArgument& a) {
    return {a.user.GetString(), a.password.GetString(), a.service.GetString(), a.oci7};
}

// The rules, read plainly.
bool Model(const std::u16string& line, Parts* out) {
    size_t at = line.find(u"LOGON=");
    if (at == std::u16string::npos) return false;
    std::u16string rest = line.substr(at + 6), value;
    if (!rest.empty() && rest[0] == u'"') {
        size_t i = 1;
        std::u16string inner;
        while (i < rest.size() && rest[i] != u'"') {
            if (rest[i] == u'\\' && i + 1 < rest.size()) inner += rest[i++];
            inner += rest[i++];
        }
        std::u16string first;
        for (size_t k = 0; k < inner.size(); ++k) {
            if (inner[k] == u'\\' && k + 1 < inner.size() && inner[k + 1] == u'"') {
                first += u'"';
                ++k;
            } else {
                first += inner[k];
            }
        }
        for (size_t k = 0; k < first.size(); ++k) {
            value += first[k];
            if (first[k] == u'\\' && k + 1 < first.size() && first[k + 1] == u'\\') ++k;
        }
    } else {
        value = rest.substr(0, rest.find(u' '));
    }
    Parts p;
    size_t oci7 = value.find(u":OCI7");
    if (oci7 != std::u16string::npos && oci7 + 5 == value.size()) {
        value.resize(oci7);
        p.oci7 = 1;
    }
    size_t userEnd = value.find_first_of(u"/@");
    p.user = value.substr(0, userEnd);
    if (userEnd != std::u16string::npos) {
        size_t sign = value.find(u'@', userEnd);
        if (value[userEnd] == u'/')
            p.password = value.substr(userEnd + 1, sign == std::u16string::npos ? sign : sign - userEnd - 1);
        if (sign != std::u16string::npos) p.service = value.substr(sign + 1);
    }
    *out = p;
    return true;
}

std::u16string Quoted(const std::u16string& value) {
    std::u16string q = u"\"";
    for (char16_t c : value) {
        if (c == u'\\' || c == u'"') q += u'\\';
        q += c;
    }
    return q + u"\"";
}

// The value that carries p, when one does.
bool ValueOf(const Parts& p, std::u16string* value) {
    if (p.user.find_first_of(u"/@") != std::u16string::npos) return false;
    if (p.password.find(u'@') != std::u16string::npos) return false;
    std::u16string v = p.user;
    if (!p.password.empty()) v += u"/" + p.password;
    if (!p.service.empty()) v += u"@" + p.service;
    const size_t oci7 = v.find(u":OCI7");
    if (p.oci7) {
        if (oci7 != std::u16string::npos) return false;
        v += u":OCI7";
    } else if (oci7 != std::u16string::npos && oci7 + 5 == v.size()) {
        return false;
    }
    *value = v;
    return true;
}

Parts Parsed(const std::u16string& line) {
    LogonArgument a;
    fuzz_check(ParseLogonArgument(line.c_str(), &a), "a line with LOGON= has an argument");
    return Of(a);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text = fuzz_text16(data, size);

    // The text as a command line.
    LogonArgument got;
    Parts want;
    const bool found = ParseLogonArgument(text.c_str(), &got);
    fuzz_check(found == Model(text, &want), "LOGON= found");
    if (found) fuzz_check(Of(got) == want, "the parts of the argument");

    // The text as the parts, split at U+001F (a fourth field asks for the
    // Oracle 7 call set).
    Parts p;
    std::u16string* field[] = {&p.user, &p.password, &p.service};
    size_t f = 0;
    for (char16_t c : text) {
        if (c == u'\x1F') {
            if (++f == 3) p.oci7 = 1;
        } else if (f < 3) {
            *field[f] += c;
        }
    }
    std::u16string value;
    if (ValueOf(p, &value)) {
        fuzz_check(Parsed(u"tavrelix LOGON=" + Quoted(value)) == p, "quoted parts come back");
        fuzz_check(Parsed(u"tavrelix LOGON=" + Quoted(value) + u" cond.tvx") == p,
                   "quoted parts before a file");
        fuzz_check(Parsed(u"tavrelix -FONT=x LOGON=" + Quoted(value) + u"\" x") == p,
                   "quoted parts, a quote after");
        if (value.find(u' ') == std::u16string::npos && (value.empty() || value[0] != u'"'))
            fuzz_check(Parsed(u"tavrelix LOGON=" + value + u" cond.tvx") == p, "plain parts come back");
        const bool quoted = value.find_first_of(u" \t\"") != std::u16string::npos;
        bool pairs = false; // two backslashes before no quote
        for (size_t i = 0; i + 1 < value.size(); ++i)
            if (value[i] == u'\\' && value[i + 1] == u'\\') {
                size_t j = i;
                while (j < value.size() && value[j] == u'\\') ++j;
                if (j < value.size() && value[j] != u'"') pairs = true;
                i = j;
            }
        if (!quoted || !pairs) {
            SetProcessArgumentsW({u"tavrelix", u"-FONT=x", u"LOGON=" + value, u"cond.tvx"});
            fuzz_check(Parsed(GetCommandLineW()) == p, "parts passed as an argument come back");
        }
    }
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {u"LOGON=", u"\"",    u"\\",        u"\\\"", u"\\\\", u"/",
                                             u"@",      u":OCI7", u":OCI",      u" ",    u"\t",   u"scott",
                                             u"tiger",  u"DEMO",  u"社員",      u"\x1F", u"x",    u"PRELOAD",
                                             u"LOGON",  u"=",     u"\U0001F600"};
    return fuzz_pieces16(rng, pieces, 24);
}
