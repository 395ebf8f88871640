// libFuzzer target of a whole session: a headless session in process, with every remote type
// registered, a manual clock and no network. Each input is decoded into a few messages of
// operations (creates of registered types under live parents, sets of their properties with
// values of every JSON kind, calls of their registered calls, listens, gets, destroys and head
// keys), applied through the session's command operator with "ProcessingFinished" posted after
// each message and the main loop run; every few inputs the window is drawn. Any crash or
// sanitizer report stops the run. Each input gets a session of its own.
//
// The types come from the type table (the names the classes declare, kept when the table holds
// them); their properties, calls and readable names are read from a live object of each kind of
// each type (one per creation variant its wire table declares, such as each gesture "type"), so
// a new class or property is fuzzed without an edit here. A creation that does not give the
// property a type's variants are picked by gets one variant's value, in turn, so that a type
// whose factory needs it ("morvix.GestureRecognizer") is made.
//
// Input (read from the front; what is missing reads as zero or empty):
//   flags byte (bit 0: application frame on; bit 1: objects get ids that share the low bits of
//   a plain string hash, as a peer flooding the object table would choose them), then messages
//   while bytes remain (at most 64):
//     count byte (1 to 8 operations), operations, clock byte (tenths of a second to advance).
//   operation: code byte % 8: 0 create, 1 set, 2 call, 3 listen, 4 get, 5 destroy, 6 head, 7 set.
//   A name is text up to a NUL byte; it picks the name it spells among those that fit (a type,
//   a property of the target, one of its calls...), another one by its hash when it spells none,
//   or itself when it starts with '!'. Targets and parents are bytes indexing the live objects.
//
// Modes besides fuzzing: `session_fuzzer -emit_dictionary=FILE -emit_corpus=DIR` writes the
// dictionary (type, property, call and readable names) and one seed per type (its creation
// under a parent that takes it, every property set, every call, get and listen, then its
// destruction), and exits.

#include "core/objects/BasicObject.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/PropertyTable.h"
#include "core/objects/WidgetRegistry.h"
#include "core/objects/WireTable.h"
#include "core/outgoing/Binding.h"
#include "core/protocol/CommandOperator.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/HeadlessDisplay.h"
#include "platform/ui/screens/MoviePlayer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

using namespace morvix;
using platform::Value;

namespace {

constexpr std::size_t kMaximumMessages = 64;
constexpr std::size_t kMaximumOperations = 8;
constexpr std::size_t kMaximumNameLength = 256;
constexpr int kMaximumDepth = 3;
constexpr unsigned kRenderEvery = 4;

const char* const kDeclaredTypes[] = {
#include "session_types.inc"
};

// Keys a call's properties may hold besides the property names of the types.
const char* const kCallKeys[] = { "x", "y", "width", "height", "index", "start", "end", "count", "text", "url", "items",
    "item", "duration", "delay", "animated", "key", "value", "values", "data", "name", "id", "type", "path", "method",
    "headers", "body", "timeout", "message", "title", "buttons", "date", "options", "row", "section", "selection",
    "image", "points", "color", "font", "style", "interval", "repeat" };

// Text values worth a try: paths that leave the folder, URLs, markup, mnemonics, odd characters.
const char* const kTexts[] = { "", " ", "a", "Ww&x", "&", "<b>bold</b><i>x</i>", "line\nline\nline", "\t",
    "\xF0\x9F\x98\x80", "\xE2\x80\xAE", "image.png", "missing.png", "../../../../etc/passwd", "/etc/passwd",
    "file:///etc/passwd", "file:///proc/self/mem", "%2e%2e/%2e%2e/etc/hosts", "app.txt", "sub/../app.txt", "link",
    "http://127.0.0.1:9/x", "data:image/png;base64,iVBORw0KGgo=", "morvix.App", "w1", "w2", "SEARCH", "yyyy-MM-dd",
    "#ff0000", "0", "-1", "1e309", "true", "null", "http://127.0.0.1:9/p.png", "https://127.0.0.1:9/p.jpg" };

// Ids whose plain std::hash values share their low 16 bits: what a peer would choose offline to
// flood a table indexed by that hash. Found once, at start.
const std::vector<std::string>& collidingIds()
{
    static const std::vector<std::string> ids = [] {
        std::vector<std::string> found;
        std::size_t wanted = std::hash<std::string>()("w0") & 0xffff;
        for (std::uint64_t n = 0; found.size() < 128; ++n) {
            std::string id = "c" + std::to_string(n);
            if ((std::hash<std::string>()(id) & 0xffff) == wanted)
                found.push_back(std::move(id));
        }
        return found;
    }();
    return ids;
}

const double kNumbers[] = { 0, 1, -1, 2, 3, 10, 100, 255, 256, 1000, 0.5, -0.5, 1e9, -1e9, 1e300, -1e300, 2147483647.0,
    2147483648.0, -2147483649.0, 9007199254740992.0, 9223372036854775807.0, -9223372036854775808.0,
    18446744073709551616.0, 1e-300, 4.9e-324, 3.4028235e38, 3.5e38 };

struct PropertyInfo {
    std::string name;
    PropertyKind kind = PropertyKind::Object;
    DeclaredClass declared = DeclaredClass::None;
};

struct TypeInfo {
    std::string name;
    bool isService = false;
    std::vector<PropertyInfo> properties;
    std::vector<std::string> calls;
    std::vector<std::string> gettable;
    std::vector<std::string> listeners;
    // The creation properties of each kind the factory picks from; empty for a type of one kind.
    std::vector<Value> variants;
};

std::vector<TypeInfo> g_types;
std::vector<std::string> g_callKeys;
std::filesystem::path g_folder;
unsigned g_inputs = 0;
// MORVIX_FUZZ_TRACE set: each operation is printed before it is applied.
bool g_trace = false;

// A peer connection that goes nowhere: the session's outgoing messages are dropped.
class SilentBinding final : public Binding {
public:
    void start() override { }
    void suspend() override { }
    void resume() override { }
    void retry() override { }
    void stop() override { }
    void sendMessage(const std::shared_ptr<Message>&) override { }
    void scheduleMessage(const std::shared_ptr<Message>&) override { }
    void storeMessage(const std::shared_ptr<Message>&) override { }
    void reset() override { }
    bool isActive() override { return true; }
    bool isProcessing() override { return false; }
    void receivedRequestCounter(std::int64_t) override { }
    bool supportsCustomDrawer() override { return true; }
};

// The application's folder is a scratch folder with a few files to find.
class FolderDelegate final : public MorvixClientDelegate {
public:
    std::string serverURL() override { return "file://" + (g_folder / "app").string() + "/"; }
    void clientDidBecomeReady(MorvixClient&) override { }
    std::optional<std::vector<std::string>> localResourceRoots() override
    {
        return std::vector<std::string> { (g_folder / "resources").string() };
    }
};

// Reads the input from the front; past its end, bytes read as zero and names as empty.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_position >= m_size; }
    std::uint8_t byte() { return atEnd() ? 0 : m_data[m_position++]; }
    std::int32_t int32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | byte();
        return std::int32_t(value);
    }
    std::string text()
    {
        std::string text;
        while (!atEnd() && text.size() < kMaximumNameLength) {
            char c = char(byte());
            if (c == '\0')
                break;
            text.push_back(c);
        }
        return text;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// The inverse of `Reader`, for the seeds.
class Writer {
public:
    Writer& byte(std::uint8_t value)
    {
        m_bytes.push_back(char(value));
        return *this;
    }
    Writer& text(std::string_view text)
    {
        m_bytes.append(text);
        m_bytes.push_back('\0');
        return *this;
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Picks among `names` by the text read: the name it spells, else one by its hash, or the text
// itself when it starts with '!' (an undeclared name). Empty when there is nothing to pick.
std::string pick(const std::string& text, const std::vector<std::string>& names)
{
    if (!text.empty() && text[0] == '!')
        return text.substr(1);
    if (names.empty())
        return text;
    if (std::find(names.begin(), names.end(), text) != names.end())
        return text;
    return names[std::hash<std::string>()(text) % names.size()];
}

enum Operation : std::uint8_t { Create, Set, Call, Listen, Get, Destroy, Head, SetAgain };

enum ValueTag : std::uint8_t {
    Fitting = 0, // tags below kAnyTag give a value that fits the property
    kAnyTag = 10,
    Null = 10,
    Boolean,
    Number,
    Text,
    List,
    Dictionary,
    kTags
};

// One input's session and the objects it has made.
class Run {
public:
    Run(Reader& reader, platform::UITestHarness& harness, std::shared_ptr<MorvixClient> client, bool collidingIds)
        : m_reader(reader)
        , m_harness(harness)
        , m_client(std::move(client))
        , m_collidingIds(collidingIds)
    {
    }

    void message()
    {
        std::size_t count = 1 + m_reader.byte() % kMaximumOperations;
        for (std::size_t i = 0; i < count; ++i)
            operation();
        platform::NotificationCenter::defaultCenter()->post(std::string(BasicObject::kProcessingFinished));
        m_harness.runUntilIdle();
        if (std::uint8_t tenths = m_reader.byte() % 30)
            m_harness.advance(tenths / 10.0);
    }

private:
    struct Target {
        std::string id;
        const TypeInfo* type = nullptr;
    };

    void operation()
    {
        switch (m_reader.byte() % 8) {
        case Create:
            return create();
        case Set:
        case SetAgain:
            return set();
        case Call:
            return call();
        case Listen:
            return listen();
        case Get:
            return get();
        case Destroy:
            return destroy();
        case Head:
            return head();
        }
    }

    void apply(const Value& operation)
    {
        if (g_trace)
            std::fprintf(stderr, "session_fuzzer: %s\n", operation.dump().c_str());
        m_client->commandOperator()->processOperation(operation);
    }

    std::vector<Target> targets()
    {
        std::vector<Target> live;
        for (auto& [id, type] : m_created) {
            if (m_client->objectRegistry()->objectById(id))
                live.push_back({ id, type });
        }
        return live;
    }

    // A live object (or a service, by its type name), by the byte read.
    Target target()
    {
        auto live = targets();
        std::size_t services = 0;
        for (auto& type : g_types)
            services += type.isService;
        std::size_t index = m_reader.byte();
        if (index < live.size())
            return live[index];
        index -= live.size();
        if (services) {
            index %= services;
            for (auto& type : g_types) {
                if (type.isService && index-- == 0)
                    return { type.name, &type };
            }
        }
        return live.empty() ? Target { "w0", nullptr } : live[index % live.size()];
    }

    std::string liveId()
    {
        auto live = targets();
        if (live.empty())
            return "w0";
        return live[m_reader.byte() % live.size()].id;
    }

    const TypeInfo& type()
    {
        std::vector<std::string> names;
        for (auto& type : g_types)
            names.push_back(type.name);
        std::string name = pick(m_reader.text(), names);
        for (auto& type : g_types) {
            if (type.name == name)
                return type;
        }
        return g_types.front();
    }

    void create()
    {
        const TypeInfo& created = type();
        ++m_nextId;
        std::string id = m_collidingIds ? collidingIds()[m_nextId % collidingIds().size()] : "w" + std::to_string(m_nextId);
        Value properties = Value::object();
        std::uint8_t parent = m_reader.byte();
        if (parent) {
            auto live = targets();
            if (!live.empty())
                properties["parent"] = live[(parent - 1) % live.size()].id;
        }
        addProperties(properties, &created);
        addVariant(properties, created);
        m_created.emplace_back(id, &created);
        apply(Value::array({ "create", id, created.name, properties }));
    }

    void addProperties(Value& properties, const TypeInfo* type)
    {
        std::size_t count = m_reader.byte() % 16;
        for (std::size_t i = 0; i < count; ++i) {
            std::string text = m_reader.text();
            const PropertyInfo* property = nullptr;
            if (type && !type->properties.empty() && (text.empty() || text[0] != '!')) {
                std::vector<std::string> names;
                for (auto& candidate : type->properties)
                    names.push_back(candidate.name);
                std::string name = pick(text, names);
                for (auto& candidate : type->properties) {
                    if (candidate.name == name)
                        property = &candidate;
                }
            }
            if (property)
                properties[property->name] = value(property->kind, property->declared, 0);
            else
                properties[text.empty() ? std::string("data") : text.substr(text[0] == '!')] = anyValue(0);
        }
    }

    // One variant's creation property, in turn by creation, unless the input gave that property.
    void addVariant(Value& properties, const TypeInfo& type)
    {
        if (type.variants.empty())
            return;
        const Value& variant = type.variants[m_nextId % type.variants.size()];
        for (const auto& [key, value] : variant.items()) {
            if (!properties.contains(key))
                properties[key] = value;
        }
    }

    void set()
    {
        Target on = target();
        Value properties = Value::object();
        addProperties(properties, on.type);
        apply(Value::array({ "set", on.id, properties }));
    }

    void call()
    {
        Target on = target();
        std::string method = pick(m_reader.text(), on.type ? on.type->calls : std::vector<std::string> {});
        Value properties = Value::object();
        std::size_t count = m_reader.byte() % 8;
        for (std::size_t i = 0; i < count; ++i) {
            std::string key = pick(m_reader.text(), g_callKeys);
            properties[key] = anyValue(0);
        }
        apply(Value::array({ "call", on.id, method, properties }));
    }

    void listen()
    {
        Target on = target();
        Value properties = Value::object();
        std::size_t count = 1 + m_reader.byte() % 4;
        for (std::size_t i = 0; i < count; ++i) {
            std::string name = pick(m_reader.text(), on.type ? on.type->listeners : std::vector<std::string> {});
            properties[name.empty() ? std::string("Selection") : name] = number();
        }
        apply(Value::array({ "listen", on.id, properties }));
    }

    void get()
    {
        Target on = target();
        std::string name = pick(m_reader.text(), on.type ? on.type->gettable : std::vector<std::string> {});
        apply(Value::array({ "get", on.id, name }));
    }

    void destroy()
    {
        Target on = target();
        apply(Value::array({ "destroy", on.id }));
    }

    void head()
    {
        static const char* const keys[] = { "requestCounter", "morvix.UI", "error", "url" };
        std::string key = keys[m_reader.byte() % 4];
        m_client->commandOperator()->processHead(anyValue(0), key);
    }

    double number()
    {
        std::uint8_t choice = m_reader.byte();
        constexpr std::size_t known = sizeof(kNumbers) / sizeof(kNumbers[0]);
        if (choice < 2 * known)
            return choice % 2 ? -kNumbers[choice / 2] : kNumbers[choice / 2];
        std::int32_t raw = m_reader.int32();
        switch (choice % 4) {
        case 0:
            return raw;
        case 1:
            return raw / 1000.0;
        case 2:
            return raw * 1e6;
        default:
            return std::int8_t(raw & 0xff);
        }
    }

    Value text()
    {
        std::uint8_t choice = m_reader.byte();
        constexpr std::size_t known = sizeof(kTexts) / sizeof(kTexts[0]);
        if (choice < known)
            return kTexts[choice];
        if (choice < known + 16)
            return liveId();
        // One long unbroken word, up to 40,000 characters: what a label, a dialog or a
        // measurement must not lay out further than it shows.
        if (choice < known + 20)
            return std::string(2000 * (1 + m_reader.byte() % 20), "Ww.x"[choice % 4]);
        return m_reader.text();
    }

    Value numbers(std::size_t count)
    {
        Value list = Value::array();
        for (std::size_t i = 0; i < count; ++i)
            list.push_back(number());
        return list;
    }

    Value anyValue(int depth) { return value(PropertyKind::Object, DeclaredClass::Value, depth); }

    // A value for a property of this kind: one that fits it for most tags, any JSON value else.
    Value value(PropertyKind kind, DeclaredClass declared, int depth)
    {
        std::uint8_t tag = m_reader.byte() % kTags;
        if (depth >= kMaximumDepth && (tag == List || tag == Dictionary))
            tag = Number;
        if (tag < kAnyTag) {
            switch (kind) {
            case PropertyKind::Bool:
                return m_reader.byte() % 2;
            case PropertyKind::Rect:
                return numbers(4);
            case PropertyKind::Point:
                return numbers(2);
            case PropertyKind::RemoteObject:
                return liveId();
            case PropertyKind::Object:
                break;
            }
            switch (declared) {
            case DeclaredClass::String:
                return text();
            case DeclaredClass::Number:
                return number();
            case DeclaredClass::Color: {
                Value colour = Value::array();
                std::size_t count = 3 + m_reader.byte() % 2;
                for (std::size_t i = 0; i < count; ++i)
                    colour.push_back(m_reader.byte());
                return colour;
            }
            case DeclaredClass::Font:
                return Value::array(
                    { Value::array({ text() }), number(), bool(m_reader.byte() % 2), bool(m_reader.byte() % 2) });
            case DeclaredClass::Array:
                tag = List;
                break;
            case DeclaredClass::Dictionary:
                tag = Dictionary;
                break;
            case DeclaredClass::None:
            case DeclaredClass::Value:
                tag = kAnyTag + m_reader.byte() % (kTags - kAnyTag);
                break;
            }
            if (depth >= kMaximumDepth && (tag == List || tag == Dictionary))
                tag = Number;
        }
        switch (tag) {
        case Null:
            return nullptr;
        case Boolean:
            return bool(m_reader.byte() % 2);
        case Number:
            return number();
        case Text:
            return text();
        case List: {
            Value list = Value::array();
            std::size_t count = m_reader.byte() % 8;
            for (std::size_t i = 0; i < count; ++i)
                list.push_back(anyValue(depth + 1));
            return list;
        }
        default: {
            Value object = Value::object();
            std::size_t count = m_reader.byte() % 6;
            for (std::size_t i = 0; i < count; ++i) {
                // The key is read first: the right side of an assignment is evaluated first.
                std::string key = pick(m_reader.text(), g_callKeys);
                object[key] = anyValue(depth + 1);
            }
            return object;
        }
        }
    }

    Reader& m_reader;
    platform::UITestHarness& m_harness;
    std::shared_ptr<MorvixClient> m_client;
    std::vector<std::pair<std::string, const TypeInfo*>> m_created;
    unsigned m_nextId = 0;
    bool m_collidingIds = false;
};

std::shared_ptr<MorvixClient> makeClient(
    platform::UITestHarness& harness, bool frame, const std::shared_ptr<MorvixClientDelegate>& delegate)
{
    auto client = MorvixClient::create(harness.window(),
        { [](std::weak_ptr<MorvixClient>) -> std::shared_ptr<Binding> { return std::make_shared<SilentBinding>(); } },
        frame ? MorvixClient::ApplicationFrame::On : MorvixClient::ApplicationFrame::Off);
    if (client)
        client->setDelegate(delegate);
    return client;
}

// Runs one input in a fresh session; returns the session's registry's view of `probe` ids
// afterwards through `after`, for the seed generator.
void runInput(
    const std::uint8_t* data, std::size_t size, bool render, const std::function<void(MorvixClient&)>& after = {})
{
    platform::NotificationCenter::resetDefaultForTesting();
    auto delegate = std::make_shared<FolderDelegate>();
    {
        platform::UITestHarness harness;
        Reader reader(data, size);
        std::uint8_t flags = reader.byte();
        auto client = makeClient(harness, flags & 1, delegate);
        if (!client)
            return;
        harness.runUntilIdle();
        {
            Run run(reader, harness, client, flags & 2);
            for (std::size_t i = 0; i < kMaximumMessages && !reader.atEnd(); ++i)
                run.message();
        }
        if (render)
            platform::Renderer::render(*harness.window(), { .scale = 1 });
        if (after)
            after(*client);
        client.reset();
        harness.runUntilIdle();
    }
    platform::NotificationCenter::resetDefaultForTesting();
}

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// The application's folder, a resource root and a few files in them; the process's home and data
// folders point into it, and HTTP goes through a proxy that is not there.
void prepareFolder()
{
    std::error_code error;
    g_folder = std::filesystem::temp_directory_path(error) / ("morvix-session-fuzz-" + std::to_string(getpid()));
    std::filesystem::remove_all(g_folder, error);
    writeFile(g_folder / "app" / "app.txt", "text of the application\n");
    writeFile(g_folder / "app" / "index.js", "// nothing\n");
    // A one-pixel PNG.
    static const unsigned char pixel[] = { 0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49,
        0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1f, 0x15,
        0xc4, 0x89, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0xf0, 0x1f,
        0x00, 0x05, 0x00, 0x01, 0xff, 0x89, 0x99, 0x3d, 0x1d, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae,
        0x42, 0x60, 0x82 };
    writeFile(g_folder / "resources" / "image.png", std::string(std::begin(pixel), std::end(pixel)));
    writeFile(g_folder / "app" / "image.png", std::string(std::begin(pixel), std::end(pixel)));
    std::filesystem::create_symlink("/etc/passwd", g_folder / "app" / "link", error);
    for (const char* name : { "HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" })
        setenv(name, (g_folder / "home").c_str(), 1);
    for (const char* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy" })
        setenv(name, "http://127.0.0.1:9", 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
}

void addProperties(TypeInfo& info, const PropertyTable* table, std::set<std::string>& seen)
{
    for (; table; table = table->base()) {
        for (auto& property : table->ownProperties()) {
            if (property.isReadOnly() || !seen.insert(property.name).second)
                continue;
            info.properties.push_back({ property.name, property.kind, property.declaredClass });
            if (property.kind == PropertyKind::Bool && property.name.ends_with("Listener"))
                info.listeners.push_back(property.name);
        }
    }
}

// Reads each registered type's tables from an object of it made in a scratch session.
void readTypes()
{
    registerRemoteTypes();
    platform::NotificationCenter::resetDefaultForTesting();
    auto delegate = std::make_shared<FolderDelegate>();
    platform::UITestHarness harness;
    auto client = makeClient(harness, false, delegate);
    std::set<std::string> keys(std::begin(kCallKeys), std::end(kCallKeys));
    for (const char* name : kDeclaredTypes) {
        auto handler = WidgetRegistry::instance().getHandler(name);
        if (!handler)
            continue;
        TypeInfo info;
        info.name = name;
        info.isService = handler->isService;
        if (handler->wire) {
            for (const CreationVariant* variant : handler->wire().variants())
                info.variants.push_back(WireTable::creationProperties(*variant));
        }
        std::set<std::string> seen;
        std::set<std::string> calls;
        std::set<std::string> gettable;
        // Each kind once: their tables differ (a check box has what a push button has not).
        std::vector<Value> probes = info.variants;
        if (probes.empty())
            probes.push_back(Value::object());
        bool made = false;
        for (const Value& properties : probes) {
            auto object = handler->create("probe", &properties, client);
            if (!object)
                continue;
            made = true;
            addProperties(info, &object->propertyTable(), seen);
            for (auto& [call, handler] : object->executeMethods())
                calls.insert(call);
            gettable.insert(object->gettableProperties().begin(), object->gettableProperties().end());
            object->destroy();
        }
        if (!made)
            continue;
        info.calls.assign(calls.begin(), calls.end());
        info.gettable.assign(gettable.begin(), gettable.end());
        for (auto& property : info.properties)
            keys.insert(property.name);
        g_types.push_back(std::move(info));
    }
    g_callKeys.assign(keys.begin(), keys.end());
    client.reset();
    harness.runUntilIdle();
    platform::NotificationCenter::resetDefaultForTesting();
}

// A value that fits the property, as seed bytes: the tag 0 and what the kind reads next.
void fittingValue(Writer& writer, const PropertyInfo& property)
{
    writer.byte(Fitting);
    switch (property.kind) {
    case PropertyKind::Bool:
        writer.byte(1);
        return;
    case PropertyKind::Rect:
        writer.byte(2 * 3).byte(2 * 3).byte(2 * 5).byte(2 * 5); // 2, 2, 10, 10 (see kNumbers)
        return;
    case PropertyKind::Point:
        writer.byte(2 * 4).byte(2 * 5); // 3, 10
        return;
    case PropertyKind::RemoteObject:
        writer.byte(0); // the first live object
        return;
    case PropertyKind::Object:
        break;
    }
    switch (property.declared) {
    case DeclaredClass::String:
        writer.byte(2); // "a"
        return;
    case DeclaredClass::Number:
        writer.byte(2 * 1); // 1
        return;
    case DeclaredClass::Color:
        writer.byte(0).byte(200).byte(10).byte(10);
        return;
    case DeclaredClass::Font:
        writer.byte(2).byte(2 * 5).byte(1).byte(0); // ["a"], 10, bold
        return;
    case DeclaredClass::Array:
        writer.byte(2).byte(Number).byte(2 * 1).byte(Text).byte(2);
        return;
    case DeclaredClass::Dictionary:
        writer.byte(1).text("text").byte(Text).byte(2);
        return;
    case DeclaredClass::None:
    case DeclaredClass::Value:
        writer.byte(Number - kAnyTag).byte(2 * 1);
        return;
    }
}

// The seed of one type: its creation under `parent` (none when empty) with no property, every
// property set, every call and get, every listener, then its destruction.
std::string seedFor(const TypeInfo& type, const std::string& parent)
{
    Writer writer;
    writer.byte(0);
    // Message 1: the parent (w1) and the object (w2, or w1 without a parent).
    writer.byte(parent.empty() ? 0 : 1);
    if (!parent.empty())
        writer.byte(Create).text(parent).byte(0).byte(0);
    writer.byte(Create).text(type.name).byte(parent.empty() ? 0 : 1).byte(0);
    writer.byte(0);
    std::uint8_t self = parent.empty() ? 0 : 1;
    // Then its properties, eight to a set.
    for (std::size_t i = 0; i < type.properties.size(); i += 8) {
        std::size_t count = std::min<std::size_t>(8, type.properties.size() - i);
        writer.byte(0).byte(Set).byte(self).byte(std::uint8_t(count));
        for (std::size_t j = i; j < i + count; ++j) {
            writer.text(type.properties[j].name);
            fittingValue(writer, type.properties[j]);
        }
        writer.byte(1);
    }
    // Its calls, gets and listeners, a message each.
    for (auto& call : type.calls)
        writer.byte(0).byte(Call).byte(self).text(call).byte(0).byte(1);
    for (auto& name : type.gettable)
        writer.byte(0).byte(Get).byte(self).text(name).byte(0);
    for (auto& name : type.listeners)
        writer.byte(0).byte(Listen).byte(self).byte(0).text(name).byte(2).byte(0);
    writer.byte(0).byte(Destroy).byte(self).byte(10);
    return writer.bytes();
}

bool creates(const TypeInfo& type, const std::string& parent)
{
    // Only the first message: the creation.
    Writer writer;
    writer.byte(0).byte(parent.empty() ? 0 : 1);
    if (!parent.empty())
        writer.byte(Create).text(parent).byte(0).byte(0);
    writer.byte(Create).text(type.name).byte(parent.empty() ? 0 : 1).byte(0).byte(0);
    bool made = false;
    std::string id = parent.empty() ? "w1" : "w2";
    runInput(reinterpret_cast<const std::uint8_t*>(writer.bytes().data()), writer.bytes().size(), false,
        [&](MorvixClient& client) { made = client.objectRegistry()->objectById(id) != nullptr; });
    return made;
}

std::string escaped(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\' || c < 0x20 || c >= 0x7f) {
            char buffer[5];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
            out += buffer;
        } else {
            out.push_back(char(c));
        }
    }
    return out;
}

void emit(const std::string& dictionaryPath, const std::string& corpusPath)
{
    if (!dictionaryPath.empty()) {
        std::set<std::string> words;
        for (auto& type : g_types) {
            words.insert(type.name);
            for (auto& property : type.properties)
                words.insert(property.name);
            for (auto& name : type.calls)
                words.insert(name);
            for (auto& name : type.gettable)
                words.insert(name);
            for (auto& name : type.listeners)
                words.insert(name);
        }
        for (auto& key : g_callKeys)
            words.insert(key);
        std::string text = "# Generated by session_fuzzer -emit_dictionary: names "
                           "from the type and property tables.\n";
        for (auto& word : words)
            text += "\"" + escaped(word) + "\\x00\"\n";
        writeFile(dictionaryPath, text);
    }
    if (!corpusPath.empty()) {
        // Composites first: most widgets go in one; services and what no parent takes go alone.
        std::vector<std::string> parents;
        for (auto& type : g_types) {
            if (!type.isService)
                parents.push_back(type.name);
        }
        std::stable_partition(
            parents.begin(), parents.end(), [](const std::string& name) { return name.ends_with(".Composite"); });
        for (auto& type : g_types) {
            std::string parent;
            for (auto& candidate : parents) {
                if (type.isService)
                    break;
                if (creates(type, candidate)) {
                    parent = candidate;
                    break;
                }
            }
            std::string name = type.name;
            std::replace(name.begin(), name.end(), '.', '-');
            writeFile(std::filesystem::path(corpusPath) / ("type-" + name), seedFor(type, parent));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    prepareFolder();
    g_trace = std::getenv("MORVIX_FUZZ_TRACE") != nullptr;
    platform::MainLoop::main().bindToCurrentThread();
    // Fuzzed movie and page addresses must not open real streams, start a display server and a
    // web engine, or reach the network.
    platform::MoviePlayer::setDecodingForTesting(platform::MoviePlayer::Decoding::Off);
    platform::HeadlessDisplay::setPreference(platform::HeadlessDisplay::Preference::None);
    readTypes();
    std::string dictionary, corpus;
    for (int i = 1; i < *argc; ++i) {
        std::string_view argument = (*argv)[i];
        if (argument.starts_with("-emit_dictionary="))
            dictionary = argument.substr(std::strlen("-emit_dictionary="));
        if (argument.starts_with("-emit_corpus="))
            corpus = argument.substr(std::strlen("-emit_corpus="));
    }
    if (!dictionary.empty() || !corpus.empty()) {
        emit(dictionary, corpus);
        std::error_code error;
        std::filesystem::remove_all(g_folder, error);
        std::exit(0);
    }
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(g_folder, error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    runInput(data, size, ++g_inputs % kRenderEvery == 0);
    return 0;
}
