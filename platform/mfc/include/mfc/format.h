// One printf-style formatter over char16_t with the wide printf meanings of the
// Windows C runtime:
//   %s %ls %ws  wide string        %hs %S  narrow string (through CP_ACP)
//   %c %lc      wide character     %hc %C  narrow character
//   %d %i %u %x %X %o  integers    %p      pointer, 16 upper-case hex digits
//   %e %E %f %F %g %G %a %A  floating point ('.' always; no locale)
//   %%          a percent sign
// Length modifiers: h, hh, l (32 bits, as the Windows long), ll, I64 and L
// (64 bits), I32, I, z, t, j (pointer size). Flags - + 0 # and space, width
// and precision with *. A null string prints "(null)"; an unknown conversion
// is copied to the output as written.
//
// The variadic front ends record each argument's type and size, so the
// formatter never reads an argument with the wrong width: a mismatch between
// an argument and its conversion asserts in debug builds and is formatted from
// the argument's real type otherwise. The va_list entry points read arguments
// as the conversions say, as the C runtime does.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace fmt16 {

enum class ArgType : unsigned char { Signed, Unsigned, Float, WideStr, NarrowStr, Pointer, Null };

// One argument of a variadic call, with its C++ type's size in bytes.
struct Arg {
    ArgType type;
    unsigned char size;
    union {
        int64_t i;
        uint64_t u;
        double d;
        const void* p;
    };
    ptrdiff_t len; // WideStr/NarrowStr: units, or -1 for a NUL-terminated text
};

template <class T> Arg MakeArg(const T& v) {
    Arg a{};
    a.len = -1;
    if constexpr (std::is_same_v<T, std::nullptr_t>) {
        a.type = ArgType::Null;
        a.size = sizeof(void*);
        a.p = nullptr;
    } else if constexpr (requires {
                             { v.GetString() } -> std::convertible_to<const char16_t*>;
                             v.GetLength();
                         }) {
        // String classes (CString) pass their text, as MFC code expects.
        a.type = ArgType::WideStr;
        a.size = sizeof(void*);
        a.p = v.GetString();
        a.len = static_cast<ptrdiff_t>(v.GetLength());
    } else if constexpr (std::is_convertible_v<const T&, const char16_t*>) {
        a.type = ArgType::WideStr;
        a.size = sizeof(void*);
        a.p = static_cast<const char16_t*>(v);
    } else if constexpr (std::is_convertible_v<const T&, const char*>) {
        a.type = ArgType::NarrowStr;
        a.size = sizeof(void*);
        a.p = static_cast<const char*>(v);
    } else if constexpr (std::is_same_v<T, std::u16string> || std::is_same_v<T, std::u16string_view>) {
        a.type = ArgType::WideStr;
        a.size = sizeof(void*);
        a.p = v.data();
        a.len = static_cast<ptrdiff_t>(v.size());
    } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
        a.type = ArgType::NarrowStr;
        a.size = sizeof(void*);
        a.p = v.data();
        a.len = static_cast<ptrdiff_t>(v.size());
    } else if constexpr (std::is_pointer_v<T> || std::is_array_v<T>) {
        a.type = ArgType::Pointer;
        a.size = sizeof(void*);
        a.p = static_cast<const void*>(v);
    } else if constexpr (std::is_enum_v<T>) {
        return MakeArg(static_cast<std::underlying_type_t<T>>(v));
    } else if constexpr (std::is_floating_point_v<T>) {
        a.type = ArgType::Float;
        a.size = sizeof(double);
        a.d = static_cast<double>(v);
    } else if constexpr (std::is_integral_v<T>) {
        a.size = sizeof(T);
        if constexpr (std::is_signed_v<T>) {
            a.type = ArgType::Signed;
            a.i = static_cast<int64_t>(v);
        } else {
            a.type = ArgType::Unsigned;
            a.u = static_cast<uint64_t>(v);
        }
    } else {
        static_assert(sizeof(T) == 0, "this type cannot be formatted");
    }
    return a;
}

// The formatter's cores. Append* add to out and return the units added.
size_t AppendArgs(std::u16string& out, const char16_t* fmt, const Arg* args, size_t count);
size_t AppendVa(std::u16string& out, const char16_t* fmt, va_list ap);
// Bounded forms: buf holds size units with the terminator. Returns the length
// written, or -1 when the result was cut (it is then cut at size - 1 units,
// never inside a surrogate pair, and terminated). With a null buf and size 0,
// returns the length the whole result needs.
int BoundedArgs(char16_t* buf, size_t size, const char16_t* fmt, const Arg* args, size_t count);
int BoundedVa(char16_t* buf, size_t size, const char16_t* fmt, va_list ap);

// Called for an argument that does not match its conversion, or a missing one.
void ArgumentMismatch(const char16_t* fmt, size_t index);

template <class... A> size_t Append(std::u16string& out, const char16_t* fmt, const A&... a) {
    if constexpr (sizeof...(A) == 0) {
        return AppendArgs(out, fmt, nullptr, 0);
    } else {
        const Arg args[] = {MakeArg(a)...};
        return AppendArgs(out, fmt, args, sizeof...(A));
    }
}

template <class... A> int Bounded(char16_t* buf, size_t size, const char16_t* fmt, const A&... a) {
    if constexpr (sizeof...(A) == 0) {
        return BoundedArgs(buf, size, fmt, nullptr, 0);
    } else {
        const Arg args[] = {MakeArg(a)...};
        return BoundedArgs(buf, size, fmt, args, sizeof...(A));
    }
}

} // namespace fmt16

// The wide C runtime's bounded formatting names, over char16_t. Each returns
// the length written, or -1 when the result did not fit; it never writes past
// count units and always terminates when count > 0.
template <class... A> int swprintf(char16_t* buf, size_t count, const char16_t* fmt, const A&... a) {
    return fmt16::Bounded(buf, count, fmt, a...);
}
template <class... A> int _snwprintf(char16_t* buf, size_t count, const char16_t* fmt, const A&... a) {
    return fmt16::Bounded(buf, count, fmt, a...);
}
template <size_t N, class... A> int swprintf_s(char16_t (&buf)[N], const char16_t* fmt, const A&... a) {
    return fmt16::Bounded(buf, N, fmt, a...);
}
int vswprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap);
int _vsnwprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap);
