#pragma once
// Reading keyed archives.

#include "platform/foundation/Error.h"
#include "platform/foundation/KeyedCoding.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix::platform {

/// The domain of the errors an unarchiver sets.
inline constexpr const char* KeyedArchiveErrorDomain = "morvix.KeyedArchive";
/// The archive is not a readable property list of the expected shape.
inline constexpr long kKeyedArchiveCorruptError = 4864;
/// A key is missing, holds a value of another kind, or names a class the caller did not allow.
inline constexpr long kKeyedArchiveValueError = 4865;

/// Reads an archive a KeyedArchiver wrote. Archives are untrusted input: the reader is strict,
/// bounds nesting and size, and never crashes on a truncated or corrupted archive.
///
/// Secure decoding: `decodeObject` decodes only the class the caller asks for, or a class
/// registered as its subclass; the decoder registered for that name builds the object. Anything
/// else (a missing key, a value of the wrong kind, another class, an unknown class, a decoder
/// that answers nothing) decodes as nothing and sets `error`. After a failure every decode answers
/// nothing, and an object a refused value was read for is refused too: a partly read object is
/// never handed out. Callers test optional keys with `contains` first.
///
/// Numbers: an integer reads back as an integer or a floating number, and a floating number with
/// an integral value reads back as an integer; booleans read as booleans or as 0 and 1.
///
/// Example:
///   KeyedUnarchiver unarchiver(archive);
///   auto serializer = unarchiver.decodeObject<NetHTTPRequestSerializer>("requestSerializer");
///   if (unarchiver.contains("state"))
///       state = unarchiver.decodeInt64("state").value_or(1);
///
/// One thread at a time; `registerClass` from any thread.
class KeyedUnarchiver {
public:
    using Decoder = std::function<std::shared_ptr<KeyedCoding>(KeyedUnarchiver&)>;

    /// Makes archives of class `name` decodable, by `decoder`, which reads the object's values
    /// from the unarchiver and answers the new object (or null). `superclassName` is the class it
    /// derives from (empty for none), so that a request for that class accepts this one. A
    /// later registration of the same name replaces the earlier one.
    static void registerClass(std::string name, std::string superclassName, Decoder decoder);
    /// Whether `name` is `ancestor` or registered, directly or not, as its subclass.
    static bool isKindOfClass(const std::string& name, const std::string& ancestor);

    /// Reads `archive`; an unreadable one leaves an unarchiver that decodes nothing, with `error` set.
    explicit KeyedUnarchiver(std::string_view archive);
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

    /// The root object of `archive` (as `KeyedArchiver::archivedDataWithRootObject` writes it)
    /// when it is a `T`; nothing otherwise, with the reason in `error` when given.
    template<typename T>
    static std::shared_ptr<T> unarchivedObject(std::string_view archive, std::optional<Error>* error = nullptr)
    {
        KeyedUnarchiver unarchiver(archive);
        auto object = unarchiver.decodeObject<T>("root");
        if (error)
            *error = unarchiver.error();
        return object;
    }

    bool contains(const std::string& key) const;

    /// The object under `key` when its class is `T` (named by `T::kArchiveClassName`) or a
    /// registered subclass of it.
    template<typename T>
    std::shared_ptr<T> decodeObject(const std::string& key)
    {
        auto object = std::dynamic_pointer_cast<T>(decodeObjectOfClass(T::kArchiveClassName, key));
        if (!object && !m_error)
            fail(kKeyedArchiveValueError, "\"" + key + "\" does not hold a " + T::kArchiveClassName);
        return object;
    }
    /// As `decodeObject`, by class name.
    std::shared_ptr<KeyedCoding> decodeObjectOfClass(const std::string& className, const std::string& key);
    /// A list of objects of `T` (or its subclasses); nothing when any element is not one.
    template<typename T>
    std::optional<std::vector<std::shared_ptr<T>>> decodeObjectList(const std::string& key)
    {
        auto objects = decodeObjectListOfClass(T::kArchiveClassName, key);
        if (!objects)
            return std::nullopt;
        std::vector<std::shared_ptr<T>> typed;
        for (auto& object : *objects) {
            auto cast = std::dynamic_pointer_cast<T>(std::move(object));
            if (!cast) {
                fail(kKeyedArchiveValueError, "\"" + key + "\" holds an object that is not a " + T::kArchiveClassName);
                return std::nullopt;
            }
            typed.push_back(std::move(cast));
        }
        return typed;
    }
    std::optional<std::vector<std::shared_ptr<KeyedCoding>>> decodeObjectListOfClass(const std::string& className, const std::string& key);
    std::optional<Error> decodeError(const std::string& key);
    std::optional<bool> decodeBool(const std::string& key);
    std::optional<std::int64_t> decodeInt64(const std::string& key);
    std::optional<double> decodeDouble(const std::string& key);
    std::optional<std::string> decodeString(const std::string& key);
    /// Bytes written with `encodeData`.
    std::optional<std::string> decodeData(const std::string& key);
    /// Whatever `encodeValue` wrote (bytes come back as binary Values).
    std::optional<Value> decodeValue(const std::string& key);

    /// The first failure, or nothing.
    const std::optional<Error>& error() const { return m_error; }
    /// Sets `error` (when none is set yet); decoders call it for values they refuse.
    void fail(long code, std::string reason);

private:
    const Value* find(const std::string& key);
    std::shared_ptr<KeyedCoding> decodeObjectValue(const Value& value, const std::string& className, const std::string& key);
    std::optional<Error> errorFromValue(const Value& value, int depth);

    Value m_archive;
    // The dictionary of each object being decoded, innermost last.
    std::vector<const Value*> m_scopes;
    std::optional<Error> m_error;
};

} // namespace morvix::platform
