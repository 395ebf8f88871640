// morvix-types-doc: writes docs/types.md, the list of every remote type the library registers
// with its properties (and their kinds), calls and events, read from the live tables.
//
// Usage: morvix-types-doc [OUTPUT]   (standard output without OUTPUT)
//
// The type names come from the classes' declarations (the list tools/session-fuzz-types makes);
// the ones the type table (`registerRemoteTypes`) registers are kept, and each one's tables are
// read from an object of it made in a headless scratch session. Everything is sorted, so that the
// same library always gives the same text.

#include "core/objects/BasicObject.h"
#include "core/objects/PropertyTable.h"
#include "core/objects/WidgetRegistry.h"
#include "core/script/JSBinding.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

using namespace morvix;

const char* const kDeclaredTypes[] = {
#include "session_types.inc"
};

constexpr std::string_view kListenerSuffix = "Listener";

class FolderDelegate final : public MorvixClientDelegate {
public:
    explicit FolderDelegate(std::string url) : m_url(std::move(url)) { }
    std::string serverURL() override { return m_url; }
    void clientDidBecomeReady(MorvixClient&) override { }

private:
    std::string m_url;
};

struct Property {
    std::string kind;
    bool settable = false;
    bool readable = false; // by "get"
};

struct Type {
    bool isService = false;
    std::map<std::string, Property> properties;
    std::set<std::string> events;
    std::set<std::string> calls;
};

std::string declaredClassName(DeclaredClass declared)
{
    switch (declared) {
    case DeclaredClass::None:
        return "value";
    case DeclaredClass::String:
        return "string";
    case DeclaredClass::Number:
        return "number";
    case DeclaredClass::Array:
        return "array";
    case DeclaredClass::Dictionary:
        return "object";
    case DeclaredClass::Color:
        return "color";
    case DeclaredClass::Font:
        return "font";
    case DeclaredClass::Value:
        return "any";
    }
    return "value";
}

std::string kindName(const PropertyDescriptor& property)
{
    switch (property.kind) {
    case PropertyKind::Object:
        return declaredClassName(property.declaredClass);
    case PropertyKind::RemoteObject:
        return property.className.empty() ? "id" : "id of " + property.className;
    case PropertyKind::Bool:
        return "boolean";
    case PropertyKind::Rect:
        return "rect";
    case PropertyKind::Point:
        return "point";
    }
    return "value";
}

// "selectionListener" is the flag that "listen" with {"Selection": true} sets.
std::string eventName(const std::string& listener)
{
    std::string name = listener.substr(0, listener.size() - kListenerSuffix.size());
    if (!name.empty())
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

Type readType(BasicObject& object, bool isService)
{
    Type type;
    type.isService = isService;
    const auto& gettable = object.gettableProperties();
    // A class may declare a base's name again: the nearest declaration is the one that counts.
    for (const PropertyTable* table = &object.propertyTable(); table; table = table->base()) {
        for (const auto& property : table->ownProperties()) {
            if (type.properties.count(property.name) || type.events.count(eventName(property.name)))
                continue;
            if (property.kind == PropertyKind::Bool && property.name.ends_with(kListenerSuffix) && property.name.size() > kListenerSuffix.size()) {
                type.events.insert(eventName(property.name));
                continue;
            }
            type.properties[property.name] = { kindName(property), !property.isReadOnly(), gettable.count(property.name) > 0 };
        }
    }
    for (const auto& name : gettable) {
        if (!type.properties.count(name))
            type.properties[name] = { "value", false, true };
    }
    for (const auto& [call, handler] : object.executeMethods())
        type.calls.insert(call);
    return type;
}

std::map<std::string, Type> readTypes(const std::string& folder)
{
    registerRemoteTypes();
    platform::NotificationCenter::resetDefaultForTesting();
    auto delegate = std::make_shared<FolderDelegate>("file://" + folder + "/app/");
    std::map<std::string, Type> types;
    platform::UITestHarness harness;
    // A session that is never loaded: nothing reaches a peer.
    auto client = MorvixClient::create(harness.window(), { JSBinding::factory() }, MorvixClient::ApplicationFrame::Off);
    if (!client)
        return types;
    client->setDelegate(delegate);
    for (const char* name : kDeclaredTypes) {
        auto handler = WidgetRegistry::instance().getHandler(name);
        auto object = handler ? std::dynamic_pointer_cast<BasicObject>(handler->create("probe", nullptr, client)) : nullptr;
        if (!object)
            continue;
        types[name] = readType(*object, handler->isService);
        object->destroy();
        harness.runUntilIdle();
    }
    client.reset();
    harness.runUntilIdle();
    platform::NotificationCenter::resetDefaultForTesting();
    return types;
}

std::string list(const std::set<std::string>& names)
{
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "`" : ", `") + name + "`";
    return text;
}

std::string document(const std::map<std::string, Type>& types)
{
    std::ostringstream out;
    out << "# Remote types\n\n"
        << "<!-- Generated by tools/morvix-types-doc.cpp from the type table; do not edit. Regenerate with\n"
        << "     `ninja -C build morvix-types-doc && build/tools/morvix-types-doc docs/types.md`. -->\n\n"
        << "Every type a peer may name in \"create\" (or address by its name, for a service), with what\n"
        << "the library reads of it. [protocol.md](protocol.md) describes the operations.\n\n"
        << "- **Properties** are what \"create\" and \"set\" take. Kinds: `string` (numbers and booleans\n"
        << "  become text), `number` (booleans count as 0 and 1), `boolean` (a number: non-zero is true),\n"
        << "  `array`, `object` (a JSON object), `any` (any JSON value, null included), `color`\n"
        << "  (`[r, g, b]` or `[r, g, b, a]`, 0 to 255), `font` (`[[names...], size, bold, italic]`),\n"
        << "  `rect` (`[x, y, width, height]`), `point` (`[x, y]`), `id` (the id of another remote object,\n"
        << "  of the class named). *read-only* properties are not set by the peer; those marked *get*\n"
        << "  can be read with \"get\". Null clears a property; a property left out is left alone.\n"
        << "- **Calls** are the methods \"call\" runs.\n"
        << "- **Events** are what \"listen\" switches on (`{\"Selection\": true}`); the client then sends\n"
        << "  them as \"notify\" operations.\n"
        << "- A **service** exists once per session, made by the client; its id is its type name.\n\n";
    out << "| Type | Properties | Calls | Events |\n|---|---|---|---|\n";
    for (const auto& [name, type] : types) {
        std::string anchor = name;
        anchor.erase(std::remove(anchor.begin(), anchor.end(), '.'), anchor.end());
        std::transform(anchor.begin(), anchor.end(), anchor.begin(), [](unsigned char c) { return std::tolower(c); });
        out << "| [" << name << "](#" << anchor << ")" << (type.isService ? " (service)" : "") << " | " << type.properties.size()
            << " | " << type.calls.size() << " | " << type.events.size() << " |\n";
    }
    for (const auto& [name, type] : types) {
        out << "\n## " << name << "\n\n";
        if (type.isService)
            out << "A service.\n\n";
        if (!type.properties.empty()) {
            out << "| Property | Kind | |\n|---|---|---|\n";
            for (const auto& [property, info] : type.properties) {
                std::string access = info.settable ? "" : "*read-only*";
                if (info.readable)
                    access += access.empty() ? "*get*" : ", *get*";
                out << "| `" << property << "` | " << info.kind << " | " << access << " |\n";
            }
            out << "\n";
        }
        out << "Calls: " << (type.calls.empty() ? "none" : list(type.calls)) << ".\n\n";
        out << "Events: " << (type.events.empty() ? "none" : list(type.events)) << ".\n";
    }
    return out.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fputs("usage: morvix-types-doc [OUTPUT]\n", stderr);
        return 1;
    }
    // Objects of some types read and write the home's folders: a scratch home keeps them apart.
    char pattern[] = "/tmp/morvix-types-doc-XXXXXX";
    const char* folder = ::mkdtemp(pattern);
    if (!folder) {
        std::perror("morvix-types-doc");
        return 1;
    }
    std::filesystem::create_directories(std::filesystem::path(folder) / "app");
    for (const char* name : { "HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" })
        ::setenv(name, folder, 1);
    std::string text = document(readTypes(folder));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (argc < 2) {
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    std::ofstream file(argv[1], std::ios::binary);
    file << text;
    return file ? 0 : 1;
}
