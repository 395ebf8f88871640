#pragma once
// Script values as console text, and conversions between script values and JSON values.

#include "platform/foundation/Value.h"

#include <JavaScriptCore/JavaScript.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// Owns one JavaScriptCore string and releases it. Move-only.
class JSText final {
public:
    explicit JSText(std::string_view utf8);
    /// Takes over a string the caller owns (the result of a "Copy" or "Create" function).
    static JSText adopt(JSStringRef string);
    ~JSText();
    JSText(JSText&& other) noexcept;
    JSText& operator=(JSText&&) = delete;
    JSText(const JSText&) = delete;
    JSText& operator=(const JSText&) = delete;

    JSStringRef get() const { return m_string; }
    std::string utf8() const;

private:
    JSText() = default;
    JSStringRef m_string = nullptr;
};

/// The console's text form of script values, and the conversions the script bridge uses between
/// script values and JSON values. Static functions only; each runs in the given context, so on
/// the context's thread (the main thread).
///
/// Text form (`stringForValue`):
///  - strings stand as they are; undefined, null, booleans and numbers as the script writes them;
///  - a plain object or array whose `toString` is the standard one, and whose content is JSON
///    (finite numbers, strings, booleans, null, nested arrays and plain objects, no cycles, at
///    most 64 levels), is written as `[1, "x"]` or `{a:1, b:"x"}`: strings in double quotes (not
///    escaped), keys bare, no blank after the colon, keys in property order; functions and
///    objects with a `toString` of their own inside it are written by their own text;
///  - everything else (functions, dates, objects with their own `toString`, NaN inside, cycles,
///    deeper nesting) by the value's own string conversion.
/// The text is written in one walk that reads each value once for each time it is written (a
/// sub-object shared by several members is written, and read, each time). Text longer than
/// 64 KiB is cut there and ends with "..."; what lies beyond the cut is not read, nor checked.
class JSValues final {
public:
    JSValues() = delete;

    /// The text of each value, separated by single blanks.
    static std::string stringForValues(JSContextRef context, std::size_t count, const JSValueRef values[]);
    static std::string stringForValue(JSContextRef context, JSValueRef value);
    static std::string stringForObject(JSContextRef context, JSValueRef value);

    /// The script's own string conversion (`String(value)`); an exception while converting
    /// gives "undefined".
    static std::string toString(JSContextRef context, JSValueRef value);

    /// The JSON form of a script value (its `JSON.stringify`); nothing for undefined, functions,
    /// cycles and anything else `JSON.stringify` refuses. Non-finite numbers become null.
    static std::optional<platform::Value> toValue(JSContextRef context, JSValueRef value);
    /// A script value for a JSON value: null, boolean (a script boolean, never a number), number,
    /// string, array or plain object with the keys in order.
    static JSValueRef fromValue(JSContextRef context, const platform::Value& value);

    /// The value of `name` on `object`; undefined when absent or when reading it throws.
    static JSValueRef property(JSContextRef context, JSObjectRef object, std::string_view name);
    static void setProperty(JSContextRef context, JSObjectRef object, std::string_view name, JSValueRef value);
    /// A script error object with `message`, for a native function to throw.
    static JSValueRef makeError(JSContextRef context, std::string_view message);

private:
    class ConsoleWriter;
};

} // namespace morvix
