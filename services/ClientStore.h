#pragma once
// The peer's key-value store on the device.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// The service object "morvix.ClientStore": a dictionary the peer fills ("add", "remove",
/// "clear") and reads ("get", whose value is the call's result), kept in the property-list file
/// "<documents>/morvix.ClientStore" and handed whole to the peer by `synchronize` (the call
/// "synchronize", sent at once).
///
/// The file:
///  - is written whole after every change, as an XML property list, through AtomicFile: a
///    crash or a full disk mid-write leaves the previous version whole;
///  - is made (an empty dictionary, mode 0600, in a documents folder made 0700 when missing)
///    when it does not exist; an existing file keeps its mode;
///  - is read as an XML or binary property list. One that cannot be read as a dictionary gives
///    an empty store, a warning naming the file and the reason, and a byte-identical copy
///    "morvix.ClientStore.damaged" (replacing an older one) that the next write cannot touch;
///  - lives beside leftover temporary files of interrupted writes only until the next
///    construction, which removes them.
///
/// Values keep their types (booleans, integers, reals, texts, lists, dictionaries in their key
/// order). Data found in a file another program wrote goes to the peer as Base64 text and is
/// written back as data. "add" refuses, with "Incorrect Parameter" and nothing changed, a key
/// that is missing or not a text, a missing value, and what the file could not keep exactly
/// (`NetPropertyListUnwritableReason`): a null at any depth, a NUL or a character XML cannot
/// carry in a key or a text at any depth, an integer above the signed 64-bit range. Nothing
/// is ever stored changed. A write that fails (no permission, full disk) keeps the
/// change in memory, leaves the file whole and logs an error naming the file and the reason;
/// the next write that succeeds stores everything.
///
/// Made by the type table under its type name as id. Main thread; the mutex serialises each
/// change with its write.
class ClientStore final : public RemoteClass<ClientStore>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "morvix.ClientStore";
    static constexpr const char* kFileName = "morvix.ClientStore";
    static constexpr const char* kDamagedSuffix = ".damaged";

    ClientStore(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    /// The call "synchronize" it makes.
    static const WireTable& wire();

    /// Sends the call "synchronize" with a copy of the whole store, at once.
    void synchronize() override;

    // Calls.
    void add(const platform::Value* properties);
    void remove(const platform::Value* properties);
    void clear(const platform::Value* properties);
    std::optional<platform::Value> get(const platform::Value* properties);

    /// The store file of the application's documents folder.
    static std::string storePath();
    /// A copy of the store as the peer sees it (data as Base64 text).
    platform::Value contents() const;

private:
    void load();
    void warn(const std::string& message) const;
    /// Applies `edit` and writes the result, both under the lock; logs why when the file
    /// cannot be written (the change stays).
    void change(const std::function<void(platform::Value&)>& edit);

    const std::string m_path;
    mutable std::mutex m_mutex; // guards m_dictionary, and each change with its write
    platform::Value m_dictionary = platform::Value::object();
};

} // namespace morvix
