#pragma once
// Writing keyed archives.

#include "platform/foundation/Error.h"
#include "platform/foundation/KeyedCoding.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

/// Writes values under keys into an archive: the library's stand-in for the platform's keyed
/// archiving. An archive is a binary property list (written with libplist) whose top level is a
/// dictionary of the encoded keys; it matches no other archive format.
///
/// Objects (KeyedCoding) are stored as dictionaries that name their class under "$class" beside
/// the values they encode; errors are objects of class "Error" holding their domain, code and
/// well-known user information (description, failure reason, failing URL and underlying error;
/// other entries are dropped). Booleans, integers, floating numbers, texts, bytes and Values
/// (lists and dictionaries of those) are stored as themselves. A JSON null, which property lists
/// cannot hold, is stored as a dictionary marking it.
///
/// Encoding a key twice in one object keeps the last value.
///
/// Example:
///   KeyedArchiver archiver;
///   archiver.encodeObject(*serializer, "requestSerializer");
///   archiver.encodeInt64(3, "state");
///   std::string archive = archiver.encodedData();
///
/// One thread at a time.
class KeyedArchiver {
public:
    static constexpr const char* kClassKey = "$class";
    static constexpr const char* kNullKey = "$null";
    static constexpr const char* kRootKey = "root";
    static constexpr const char* kErrorClassName = "Error";

    KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    /// Writes `object` as a dictionary naming its class, filled by its `encodeWithCoder`.
    void encodeObject(const KeyedCoding& object, const std::string& key);
    /// Writes each object of `objects` as `encodeObject` does, as a list; null entries are skipped.
    void encodeObjectList(const std::vector<std::shared_ptr<const KeyedCoding>>& objects, const std::string& key);
    void encodeError(const Error& error, const std::string& key);
    void encodeBool(bool value, const std::string& key);
    void encodeInt64(std::int64_t value, const std::string& key);
    void encodeDouble(double value, const std::string& key);
    void encodeString(std::string value, const std::string& key);
    /// Bytes, stored as property-list data.
    void encodeData(const std::string& bytes, const std::string& key);
    void encodeValue(const Value& value, const std::string& key);

    /// The archive of everything encoded so far.
    std::string encodedData() const;
    /// The archive of `root`, encoded under `kRootKey`.
    static std::string archivedDataWithRootObject(const KeyedCoding& root);

    /// The archive's own representation of `error` (a dictionary naming its class).
    static Value errorValue(const Error& error);

private:
    Value& current() { return m_scopes.back(); }
    Value objectValue(const KeyedCoding& object);

    // The dictionary of each object being encoded, innermost last; the first is the archive's
    // top level.
    std::vector<Value> m_scopes;
};

} // namespace morvix::platform
