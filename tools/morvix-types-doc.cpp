// morvix-types-doc: writes docs/types.md, the list of every remote type the library registers
// with its properties (and their kinds), calls, style words, and what the client sends of it
// (events, calls and the properties it reports), read from the live tables.
//
// Usage: morvix-types-doc [OUTPUT]   (standard output without OUTPUT)
//
// The type names come from the classes' declarations (the list tools/session-fuzz-types makes);
// the ones the type table (`registerRemoteTypes`) registers are kept, and each one's tables are
// read from an object of it made in a headless scratch session: one object per creation variant
// for a type whose factory picks the kind from the creation's "style" or "type". Everything is
// sorted, so that the same library always gives the same text.
//
// The program fails (and writes nothing) when a declared event names a listen key for which the
// type has no listener flag: such an event could never be switched on.

#include "core/objects/BasicObject.h"
#include "core/objects/PropertyTable.h"
#include "core/objects/WidgetRegistry.h"
#include "core/objects/WireTable.h"
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
#include <optional>
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

// What one object (one kind of a type) declares. Declarations are compared by address: each
// lives once, beside the code that uses it.
struct Kind {
    std::map<std::string, Property> properties;
    std::set<std::string> calls;
    std::set<std::string> flags; // listener flags ("selectionListener")
    std::vector<const EventDeclaration*> events;
    std::vector<const ReportDeclaration*> reports;
    std::vector<const StyleDeclaration*> styles;
};

// A row of one of the type's lists, with the kinds it holds for (empty: all of them).
template<typename T>
struct Row {
    T value;
    std::set<std::string> kinds;
};

struct Type {
    bool isService = false;
    std::vector<const CreationVariant*> variants;
    std::map<std::string, Row<Property>> properties;
    std::map<std::string, Row<bool>> calls;
    std::vector<Row<const EventDeclaration*>> events;
    std::vector<Row<const ReportDeclaration*>> reports;
    std::vector<Row<const StyleDeclaration*>> styles;
    std::map<std::string, Row<bool>> silentFlags; // listener flags no event of the type reads
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

bool isListenerFlag(const PropertyDescriptor& property)
{
    return property.kind == PropertyKind::Bool && property.name.ends_with(kListenerSuffix)
        && property.name.size() > kListenerSuffix.size();
}

// The flag "listen" sets for a key, as the remote-object base names it: "Selection" ->
// "selectionListener".
std::string flagOfKey(std::string_view key)
{
    std::string name(key);
    if (name.ends_with(kListenerSuffix))
        return name;
    if (!name.empty())
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return name + std::string(kListenerSuffix);
}

// The key a peer writes for a flag, as the declarations of any type spell it ("touchstart",
// "Selection"); the flag's name with an upper-case first letter when none does.
std::string keyOfFlag(const std::string& flag, const std::map<std::string, std::string>& spellings)
{
    auto spelled = spellings.find(flag);
    if (spelled != spellings.end())
        return spelled->second;
    std::string name = flag.substr(0, flag.size() - kListenerSuffix.size());
    if (!name.empty())
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

// "Modify, VerifyModify" -> its keys.
std::vector<std::string> listenKeys(std::string_view listen)
{
    std::vector<std::string> keys;
    while (!listen.empty()) {
        auto comma = listen.find(',');
        auto key = listen.substr(0, comma);
        while (key.starts_with(' '))
            key.remove_prefix(1);
        if (!key.empty())
            keys.emplace_back(key);
        if (comma == std::string_view::npos)
            break;
        listen.remove_prefix(comma + 1);
    }
    return keys;
}

// What a declaration is known by: a nearer class's declaration hides the base's of that name.
std::string_view nameOf(const EventDeclaration& event)
{
    return event.name;
}

std::string_view nameOf(const ReportDeclaration& report)
{
    return report.name;
}

std::string_view nameOf(const StyleDeclaration& style)
{
    return style.word;
}

// The declarations along the class chain, the nearest first; a name a nearer class declares
// hides the base's declarations of it.
template<typename T>
std::vector<const T*> collect(const WireTable& table, const std::vector<const T*>& (WireTable::*own)() const)
{
    std::vector<const T*> found;
    std::set<std::string_view> hidden;
    for (const WireTable* level = &table; level; level = level->base()) {
        std::set<std::string_view> declaredHere;
        for (const T* declaration : (level->*own)()) {
            if (hidden.count(nameOf(*declaration)))
                continue;
            found.push_back(declaration);
            declaredHere.insert(nameOf(*declaration));
        }
        hidden.insert(declaredHere.begin(), declaredHere.end());
    }
    return found;
}

Kind readKind(BasicObject& object)
{
    Kind kind;
    const auto& gettable = object.gettableProperties();
    // A class may declare a base's name again: the nearest declaration is the one that counts.
    for (const PropertyTable* table = &object.propertyTable(); table; table = table->base()) {
        for (const auto& property : table->ownProperties()) {
            if (kind.properties.count(property.name) || kind.flags.count(property.name))
                continue;
            if (isListenerFlag(property)) {
                kind.flags.insert(property.name);
                continue;
            }
            bool readable = gettable.count(property.name) > 0;
            kind.properties[property.name] = { kindName(property), !property.isReadOnly(), readable };
        }
    }
    for (const auto& name : gettable) {
        if (!kind.properties.count(name))
            kind.properties[name] = { "value", false, true };
    }
    for (const auto& [call, handler] : object.executeMethods())
        kind.calls.insert(call);
    const WireTable& wire = object.wireTable();
    kind.events = collect(wire, &WireTable::ownEvents);
    kind.reports = collect(wire, &WireTable::ownReports);
    kind.styles = collect(wire, &WireTable::ownStyles);
    return kind;
}

// A kind's name in the Kinds columns: its word, or "other" for the kind no word makes.
std::string variantName(const CreationVariant& variant)
{
    return variant.value.empty() ? "other" : std::string(variant.value);
}

template<typename T, typename Key>
void addRow(std::vector<Row<T>>& rows, const T& value, const std::string& kind, Key sameKey)
{
    for (auto& row : rows) {
        if (sameKey(row.value, value)) {
            row.kinds.insert(kind);
            return;
        }
    }
    rows.push_back({ value, { kind } });
}

template<typename T>
void addRow(std::map<std::string, Row<T>>& rows, const std::string& name, const T& value, const std::string& kind)
{
    auto [row, added] = rows.try_emplace(name, Row<T> { value, {} });
    row->second.kinds.insert(kind);
}

// Adds one kind's declarations to the type; false (with a diagnostic) when an event names a
// listen key for which the kind has no flag.
bool addKind(Type& type, const std::string& typeName, const std::string& kindName, const Kind& kind)
{
    bool sound = true;
    std::set<std::string> readFlags;
    for (const EventDeclaration* event : kind.events) {
        for (const auto& key : listenKeys(event->listen)) {
            std::string flag = flagOfKey(key);
            if (!kind.flags.count(flag)) {
                std::fprintf(stderr, "morvix-types-doc: %s: event \"%s\" is switched on by \"%s\", but no flag \"%s\" is "
                    "declared\n", typeName.c_str(), std::string(event->name).c_str(), key.c_str(), flag.c_str());
                sound = false;
            }
            readFlags.insert(flag);
        }
        addRow(type.events, event, kindName, [](auto a, auto b) { return a == b; });
    }
    for (const auto& flag : kind.flags) {
        if (!readFlags.count(flag))
            addRow(type.silentFlags, flag, true, kindName);
    }
    for (const auto& [name, property] : kind.properties)
        addRow(type.properties, name, property, kindName);
    for (const auto& call : kind.calls)
        addRow(type.calls, call, true, kindName);
    for (const ReportDeclaration* report : kind.reports)
        addRow(type.reports, report, kindName, [](auto a, auto b) { return a == b; });
    for (const StyleDeclaration* style : kind.styles)
        addRow(type.styles, style, kindName, [](auto a, auto b) { return a == b; });
    return sound;
}

// Each registered type, read from one object per kind. False when a declaration is unsound.
bool readTypes(const std::string& folder, std::map<std::string, Type>& types)
{
    registerRemoteTypes();
    platform::NotificationCenter::resetDefaultForTesting();
    auto delegate = std::make_shared<FolderDelegate>("file://" + folder + "/app/");
    platform::UITestHarness harness;
    // A session that is never loaded: nothing reaches a peer.
    auto client = MorvixClient::create(harness.window(), { JSBinding::factory() }, MorvixClient::ApplicationFrame::Off);
    if (!client)
        return false;
    client->setDelegate(delegate);
    bool sound = true;
    for (const char* name : kDeclaredTypes) {
        auto handler = WidgetRegistry::instance().getHandler(name);
        if (!handler)
            continue;
        Type type;
        type.isService = handler->isService;
        if (handler->wire)
            type.variants = handler->wire().variants();
        std::vector<const CreationVariant*> probes = type.variants;
        if (probes.empty())
            probes.push_back(nullptr);
        for (const CreationVariant* variant : probes) {
            auto properties = variant ? WireTable::creationProperties(*variant) : platform::Value();
            auto object = handler->create("probe", variant ? &properties : nullptr, client);
            if (!object) {
                std::fprintf(stderr, "morvix-types-doc: %s: no object made for kind %s\n", name,
                    variant ? variantName(*variant).c_str() : "(default)");
                sound = false;
                continue;
            }
            sound = addKind(type, name, variant ? variantName(*variant) : "", readKind(*object)) && sound;
            object->destroy();
            harness.runUntilIdle();
        }
        types[name] = std::move(type);
    }
    client.reset();
    harness.runUntilIdle();
    platform::NotificationCenter::resetDefaultForTesting();
    return sound;
}

std::string code(std::string_view text)
{
    return "`" + std::string(text) + "`";
}

std::string list(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + code(name);
    return text;
}

// Table cells hold no line breaks and no bare "|".
std::string cell(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '|')
            escaped += "\\|";
        else if (c == '\n')
            escaped += ' ';
        else
            escaped += c;
    }
    return escaped;
}

// The kinds a row holds for: empty when it holds for every kind of the type.
template<typename T>
std::string kindsOf(const Type& type, const Row<T>& row)
{
    if (type.variants.empty() || row.kinds.size() == type.variants.size())
        return "";
    std::vector<std::string> names;
    for (const CreationVariant* variant : type.variants) {
        if (row.kinds.count(variantName(*variant)))
            names.push_back(variantName(*variant));
    }
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Whether a row of the table holds for some kinds only: the table then has a Kinds column.
template<typename T>
bool hasKindColumn(const Type& type, const std::vector<Row<T>>& rows)
{
    return std::any_of(rows.begin(), rows.end(), [&](const auto& row) { return !kindsOf(type, row).empty(); });
}

template<typename T>
bool hasKindColumn(const Type& type, const std::map<std::string, Row<T>>& rows)
{
    return std::any_of(rows.begin(), rows.end(), [&](const auto& entry) { return !kindsOf(type, entry.second).empty(); });
}

std::string anchorOf(const std::string& name)
{
    std::string anchor = name;
    anchor.erase(std::remove(anchor.begin(), anchor.end(), '.'), anchor.end());
    std::transform(anchor.begin(), anchor.end(), anchor.begin(), [](unsigned char c) { return std::tolower(c); });
    return anchor;
}

void writeIntroduction(std::ostringstream& out)
{
    out << "# Remote types\n\n"
        << "<!-- Generated by tools/morvix-types-doc.cpp from the type table; do not edit. Regenerate with\n"
        << "     `ninja -C build morvix-types-doc && build/tools/morvix-types-doc docs/types.md`. -->\n\n"
        << "Every type a peer may name in \"create\" (or address by its name, for a service), with what\n"
        << "the library reads of it and what the client sends of it. [protocol.md](protocol.md) describes\n"
        << "the operations.\n\n"
        << "- **Properties** are what \"create\" and \"set\" take. Kinds: `string` (numbers and booleans\n"
        << "  become text), `number` (booleans count as 0 and 1), `boolean` (a number: non-zero is true),\n"
        << "  `array`, `object` (a JSON object), `any` (any JSON value, null included), `color`\n"
        << "  (`[r, g, b]` or `[r, g, b, a]`, 0 to 255), `font` (`[[names...], size, bold, italic]`),\n"
        << "  `rect` (`[x, y, width, height]`), `point` (`[x, y]`), `id` (the id of another remote object,\n"
        << "  of the class named). *read-only* properties are not set by the peer; those marked *get*\n"
        << "  can be read with \"get\". Null clears a property; a property left out is left alone.\n"
        << "- **Calls** are the methods \"call\" runs.\n"
        << "- **Kinds**: a type whose factory picks the kind of object from the creation's \"style\" or\n"
        << "  \"type\" lists its kinds; a row that holds for some kinds only names them.\n"
        << "- **Style words** are the words of the \"style\" array the type reads, with what each does.\n"
        << "  Any other word does nothing. Words that pick the kind are read at creation only.\n"
        << "- **Sent by the client**: what the client sends of an object by itself, as\n"
        << "  `[\"notify\", id, name, attributes]` (an event) or `[\"call\", id, name, parameters]`.\n"
        << "  The rule: an event is sent only while it is listened. `[\"listen\", id, {\"Selection\": true}]`\n"
        << "  switches on the flag named by the key with its first letter lower-cased and \"Listener\"\n"
        << "  appended (`selectionListener`: \"Selection\" and \"selection\" are the same key; a key ending\n"
        << "  in \"Listener\" names the flag itself); false switches it off; a key the type has no flag\n"
        << "  for is ignored. The flag is a boolean property too, so `\"selectionListener\": true` in a\n"
        << "  \"create\" or \"set\" does the same. The *Listen* column gives the key that switches the\n"
        << "  event on, and the *Name* column the name the client sends, which is not always the same\n"
        << "  word. The exceptions to the rule are the rows marked *sent* under *Without a listen*:\n"
        << "  those go out whether or not they are listened. Attributes are written as JSON with the kind\n"
        << "  of each value in place of the value. An event goes out at once (with the next request\n"
        << "  when one is in flight), together with the properties the client recorded for the object\n"
        << "  just before it, which travel in a \"set\" ahead of the \"notify\" in the same message.\n"
        << "- **Listen keys that send nothing**: keys the type has a flag for (so \"listen\" accepts them)\n"
        << "  but for which it never sends anything.\n"
        << "- **Set by the client**: the properties the client reports of an object by itself, as\n"
        << "  `[\"set\", id, {name: value}]`: with the event they belong to, or *scheduled* (sent about\n"
        << "  0.3 s later together with whatever else is waiting) or *stored* (they ride with the next\n"
        << "  request; nothing is sent for them alone).\n"
        << "- A **service** exists once per session, made by the client; its id is its type name.\n\n";
}

void writeSummary(std::ostringstream& out, const std::map<std::string, Type>& types)
{
    out << "| Type | Properties | Calls | Sent by the client | Set by the client |\n|---|---|---|---|---|\n";
    for (const auto& [name, type] : types) {
        out << "| [" << name << "](#" << anchorOf(name) << ")" << (type.isService ? " (service)" : "") << " | "
            << type.properties.size() << " | " << type.calls.size() << " | " << type.events.size() << " | "
            << type.reports.size() << " |\n";
    }
    out << "\n";
}

void writeKinds(std::ostringstream& out, const Type& type)
{
    if (type.variants.empty())
        return;
    out << "Kinds, picked by the creation's \"" << type.variants.front()->property << "\":";
    const CreationVariant* other = nullptr;
    bool first = true;
    for (const CreationVariant* variant : type.variants) {
        if (variant->value.empty()) {
            other = variant;
            continue;
        }
        out << (first ? " " : "; ") << code(variant->value) << " makes " << variant->kind;
        first = false;
    }
    if (other)
        out << "; any other (\"other\" below) makes " << other->kind;
    out << ".\n\n";
}

// A table's head row and rule: the columns, then "Kinds" when the table has that column.
void writeHead(std::ostringstream& out, const std::vector<std::string>& columns, bool kinds)
{
    std::string rule = "|";
    out << "|";
    for (const auto& column : columns) {
        out << (column.empty() ? " |" : " " + column + " |");
        rule += "---|";
    }
    out << (kinds ? " Kinds |\n" : "\n") << rule << (kinds ? "---|\n" : "\n");
}

// Ends a row: the kinds it holds for, when the table has that column.
template<typename T>
void endRow(std::ostringstream& out, const Type& type, const Row<T>& row, bool kinds)
{
    if (kinds)
        out << " " << kindsOf(type, row) << " |";
    out << "\n";
}

void writeProperties(std::ostringstream& out, const Type& type)
{
    if (type.properties.empty())
        return;
    bool kinds = hasKindColumn(type, type.properties);
    writeHead(out, { "Property", "Kind", "" }, kinds);
    for (const auto& [property, row] : type.properties) {
        std::string access = row.value.settable ? "" : "*read-only*";
        if (row.value.readable)
            access += access.empty() ? "*get*" : ", *get*";
        out << "| `" << property << "` | " << row.value.kind << " | " << access << " |";
        endRow(out, type, row, kinds);
    }
    out << "\n";
}

// "`name`" for each row, followed by the kinds it holds for when not all.
std::string namedList(const Type& type, const std::map<std::string, Row<bool>>& rows)
{
    std::string text;
    for (const auto& [name, row] : rows) {
        std::string kinds = kindsOf(type, row);
        text += (text.empty() ? "" : ", ") + code(name) + (kinds.empty() ? "" : " (" + kinds + ")");
    }
    return text;
}

void writeCalls(std::ostringstream& out, const Type& type)
{
    out << "Calls: " << (type.calls.empty() ? "none" : namedList(type, type.calls)) << ".\n\n";
}

void writeStyles(std::ostringstream& out, const Type& type)
{
    if (type.styles.empty())
        return;
    auto rows = type.styles;
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.value->word < b.value->word; });
    bool kinds = hasKindColumn(type, rows);
    out << "Style words:\n\n";
    writeHead(out, { "Word", "Effect" }, kinds);
    for (const auto& row : rows) {
        out << "| `" << row.value->word << "` | " << cell(row.value->effect) << " |";
        endRow(out, type, row, kinds);
    }
    out << "\n";
}

void writeEvents(std::ostringstream& out, const Type& type)
{
    if (type.events.empty())
        return;
    auto rows = type.events;
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::tie(a.value->name, a.value->listen) < std::tie(b.value->name, b.value->listen);
    });
    bool kinds = hasKindColumn(type, rows);
    out << "Sent by the client:\n\n";
    writeHead(out, { "Listen", "Operation", "Name", "Attributes", "Without a listen", "When" }, kinds);
    for (const auto& row : rows) {
        const EventDeclaration& event = *row.value;
        std::vector<std::string> keys = listenKeys(event.listen);
        bool call = event.operation == EventDeclaration::Operation::Call;
        out << "| " << (keys.empty() ? "—" : list(keys)) << " | " << (call ? "call" : "notify") << " | `" << event.name << "` | `"
            << cell(event.attributes) << "` | " << (event.sentWithoutListen || keys.empty() ? "sent" : "not sent") << " | "
            << cell(event.note) << " |";
        endRow(out, type, row, kinds);
    }
    out << "\n";
}

void writeSilentKeys(std::ostringstream& out, const Type& type, const std::map<std::string, std::string>& spellings)
{
    if (type.silentFlags.empty())
        return;
    std::map<std::string, Row<bool>> keys;
    for (const auto& [flag, row] : type.silentFlags)
        keys.emplace(keyOfFlag(flag, spellings), row);
    out << "Listen keys that send nothing: " << namedList(type, keys) << ".\n\n";
}

void writeReports(std::ostringstream& out, const Type& type)
{
    if (type.reports.empty())
        return;
    auto rows = type.reports;
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.value->name < b.value->name; });
    bool kinds = hasKindColumn(type, rows);
    out << "Set by the client:\n\n";
    writeHead(out, { "Property", "Kind", "When" }, kinds);
    for (const auto& row : rows) {
        out << "| `" << row.value->name << "` | " << cell(row.value->kind) << " | " << cell(row.value->note) << " |";
        endRow(out, type, row, kinds);
    }
    out << "\n";
}

std::string document(const std::map<std::string, Type>& types)
{
    // A key spelled both ways ("Modify" for the text widget, "modify" for the text input) is
    // given with the upper-case letter, as the controls' keys are.
    std::map<std::string, std::string> spellings;
    for (const auto& [name, type] : types) {
        for (const auto& row : type.events) {
            for (const auto& key : listenKeys(row.value->listen)) {
                auto [spelling, added] = spellings.emplace(flagOfKey(key), key);
                if (!added && std::isupper(static_cast<unsigned char>(key[0])))
                    spelling->second = key;
            }
        }
    }
    std::ostringstream out;
    writeIntroduction(out);
    writeSummary(out, types);
    for (const auto& [name, type] : types) {
        out << "## " << name << "\n\n";
        if (type.isService)
            out << "A service.\n\n";
        writeKinds(out, type);
        writeProperties(out, type);
        writeCalls(out, type);
        writeStyles(out, type);
        writeEvents(out, type);
        writeSilentKeys(out, type, spellings);
        writeReports(out, type);
    }
    std::string text = out.str();
    // One line break at the end, whatever the last section wrote.
    while (text.ends_with("\n\n"))
        text.pop_back();
    return text;
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
    std::map<std::string, Type> types;
    bool sound = readTypes(folder, types);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (!sound)
        return 1;
    std::string text = document(types);
    if (argc < 2) {
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    std::ofstream file(argv[1], std::ios::binary);
    file << text;
    return file ? 0 : 1;
}
