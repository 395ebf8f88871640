#include "services/ClientStore.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "networking/NetPropertyListReading.h"
#include "networking/NetPropertyListRequestSerializer.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/BundleInfo.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace morvix {

using platform::Value;

namespace {

std::string base64(const Value::binary_t& bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(), static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The store as the peer can take it: JSON has no bytes, so data becomes its Base64 text.
Value forPeer(const Value& value)
{
    if (value.is_binary())
        return base64(value.get_binary());
    if (!value.is_structured())
        return value;
    Value copy = value;
    for (auto& element : copy)
        element = forPeer(element);
    return copy;
}

const Value* argument(const Value* properties, const char* key)
{
    if (!properties || !properties->is_object())
        return nullptr;
    auto found = properties->find(key);
    return found == properties->end() ? nullptr : &*found;
}

// Makes the documents folder (0700, parents as needed) when it is missing.
void makeFolder(const std::string& path)
{
    if (path.empty() || ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return;
    if (errno != ENOENT)
        return;
    auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return;
    makeFolder(path.substr(0, slash));
    ::mkdir(path.c_str(), 0700);
}

std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

constexpr EventDeclaration kSynchronizeCall {
    .name = "synchronize",
    .attributes = R"({"key": value, ...})",
    .sentWithoutListen = true,
    .note = "when the session starts (the display is created): the whole store, each key with its value ({} when empty)",
    .operation = EventDeclaration::Operation::Call,
};

} // namespace

const WireTable& ClientStore::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kSynchronizeCall);
    return table;
}

ClientStore::ClientStore(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
    , m_path(storePath())
{
    registerSelector(&ClientStore::add, "add");
    registerSelector(&ClientStore::remove, "remove");
    registerSelector(&ClientStore::clear, "clear");
    registerSelector(&ClientStore::get, "get");
    load();
}

std::string ClientStore::storePath()
{
    return platform::BundleInfo::main().documentsPath + "/" + kFileName;
}

void ClientStore::load()
{
    auto folder = platform::BundleInfo::main().documentsPath;
    makeFolder(folder);
    // Another process sharing the documents folder may be writing its store right now: only
    // temporary files a minute old are leftovers of a write that died.
    platform::AtomicFile::removeLeftovers(m_path, std::chrono::minutes(1));
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0) {
        change([](Value&) { });
        return;
    }
    auto bytes = readFile(m_path);
    if (!bytes) {
        warn("the client store \"" + m_path + "\" could not be read: " + std::strerror(errno) + "; the store starts empty");
        return;
    }
    std::optional<platform::Error> error;
    auto read = NetPropertyListWithData(*bytes, 0, nullptr, &error);
    if (read && read->is_object()) {
        std::lock_guard lock(m_mutex);
        m_dictionary = std::move(*read);
        return;
    }
    std::string reason = read ? "it holds no dictionary" : bytes->empty() ? "it is empty" : error ? error->failureReason().value_or(error->description()) : "it is no property list";
    // Keep the bytes out of the next write's way: a person may still want them.
    std::string damaged = m_path + kDamagedSuffix;
    auto copied = platform::AtomicFile::write(damaged, *bytes, info.st_mode & 07777);
    warn("the client store \"" + m_path + "\" is damaged (" + reason + "); the store starts empty"
        + (copied ? ", and its bytes could not be kept" : "; its bytes are kept in \"" + damaged + "\""));
}

void ClientStore::warn(const std::string& message) const
{
    if (auto client = this->client()) {
        if (auto entry = LogEntry::entryWithWarning(message))
            client->log(*entry);
    }
}

void ClientStore::change(const std::function<void(Value&)>& edit)
{
    std::optional<platform::Error> error;
    {
        std::lock_guard lock(m_mutex);
        edit(m_dictionary);
        auto bytes = NetPropertyListData(m_dictionary, NetPropertyListFormat::XML, &error);
        if (bytes)
            error = platform::AtomicFile::write(m_path, *bytes);
    }
    if (!error)
        return;
    auto client = this->client();
    auto entry = LogEntry::entryWithError("the client store \"" + m_path + "\" could not be written: "
        + error->failureReason().value_or(error->description()));
    if (client && entry)
        client->log(*entry);
}

void ClientStore::synchronize()
{
    Notifications::forObject(objectId())->fire(kSynchronizeCall, contents());
}

Value ClientStore::contents() const
{
    std::lock_guard lock(m_mutex);
    return forPeer(m_dictionary);
}

void ClientStore::add(const Value* properties)
{
    auto key = argument(properties, "key");
    auto value = argument(properties, "value");
    if (!key || !key->is_string())
        RemoteException::throwIncorrectParameter("ClientStore add expects a text \"key\", got %@", key ? key->dump() : std::string("none"));
    if (!value)
        RemoteException::throwIncorrectParameter("ClientStore add of \"%@\" has no \"value\"", key->get<std::string>());
    // Checked before anything changes: a value the file cannot hold would fail every later
    // write, and one it would hold changed (a text cut at a NUL, keys merged, an integer turned
    // negative) must not pass for kept.
    Value single = Value::object();
    single[key->get<std::string>()] = *value;
    if (auto reason = NetPropertyListUnwritableReason(single, NetPropertyListFormat::XML))
        RemoteException::throwIncorrectParameter("ClientStore add of %@: %@", key->dump(), *reason);
    change([&](Value& dictionary) { dictionary[key->get<std::string>()] = *value; });
}

void ClientStore::remove(const Value* properties)
{
    auto keys = argument(properties, "keys");
    // The file is written even when nothing was there to remove.
    change([&](Value& dictionary) {
        if (!keys || !keys->is_array())
            return;
        for (const auto& key : *keys) {
            if (key.is_string())
                dictionary.erase(key.get<std::string>());
        }
    });
}

void ClientStore::clear(const Value*)
{
    change([](Value& dictionary) { dictionary = Value::object(); });
}

std::optional<Value> ClientStore::get(const Value* properties)
{
    auto key = argument(properties, "key");
    if (!key || !key->is_string())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    auto found = m_dictionary.find(key->get<std::string>());
    if (found == m_dictionary.end())
        return std::nullopt;
    return forPeer(*found);
}

} // namespace morvix
