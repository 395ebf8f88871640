#pragma once
// clang 14 reads libstdc++'s <source_location> but lacks the builtin it rests on, so the header
// declares nothing. The fuzzer's build forces this header in first: it gives std::source_location
// from the older builtins when the library's own is missing. The main loop only prints it.

#include <source_location>

#if !defined(__cpp_lib_source_location)
namespace std {

struct source_location {
    static constexpr source_location current(const char* file = __builtin_FILE(),
        const char* function = __builtin_FUNCTION(), unsigned line = __builtin_LINE(),
        unsigned column = __builtin_COLUMN()) noexcept
    {
        source_location location;
        location.m_file = file;
        location.m_function = function;
        location.m_line = line;
        location.m_column = column;
        return location;
    }

    constexpr source_location() noexcept = default;
    constexpr const char* file_name() const noexcept { return m_file; }
    constexpr const char* function_name() const noexcept { return m_function; }
    constexpr unsigned line() const noexcept { return m_line; }
    constexpr unsigned column() const noexcept { return m_column; }

private:
    const char* m_file = "";
    const char* m_function = "";
    unsigned m_line = 0;
    unsigned m_column = 0;
};

} // namespace std
#endif
