// A peer developer's application server, written from docs/types.md alone, against a real
// session driven by the test kit: what the client sends must be what the document says.

#include "platform/foundation/Value.h"
#include "platform/ui/controls/KeyboardTyping.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/tables/TableView.h"
#include "tests/support/LoopbackSessionFixture.h"
#include "tests/support/SourceTree.h"
#include "widgets/controls/Label.h"
#include "widgets/foundation/Shell.h"
#include "widgets/foundation/Widget.h"
#include "widgets/lists/Tree.h"
#include "widgets/lists/TreeController.h"
#include "widgets/lists/TreeItem.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace morvix {
namespace {

using platform::Value;

// One row of a type's "Sent by the client" table.
struct DocumentedEvent {
    std::vector<std::string> listen;
    std::string operation;
    std::string name;
    std::set<std::string> attributes;
    bool openAttributes = false; // "..." among them: any name
    bool sentWithoutListen = false;
    std::set<std::string> kinds; // empty: every kind
};

struct DocumentedType {
    std::vector<DocumentedEvent> events;
    std::map<std::string, std::set<std::string>> reports; // "Set by the client": name, kinds
    std::set<std::string> styles;
};

std::string trimmed(std::string text)
{
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string unquoted(const std::string& cell)
{
    std::string text = trimmed(cell);
    if (text.size() >= 2 && text.front() == '`' && text.back() == '`')
        return text.substr(1, text.size() - 2);
    return text;
}

// The cells of a table row, "\|" kept as "|".
std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> found;
    std::string cell;
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '|') {
            cell += '|';
            ++i;
        } else if (line[i] == '|') {
            found.push_back(trimmed(cell));
            cell.clear();
        } else {
            cell += line[i];
        }
    }
    return found;
}

// "`a`, `b`" -> a, b; "—" -> none.
std::vector<std::string> words(const std::string& cell)
{
    std::vector<std::string> found;
    std::stringstream list(cell);
    for (std::string word; std::getline(list, word, ',');) {
        word = unquoted(word);
        if (!word.empty() && word != "—")
            found.push_back(word);
    }
    return found;
}

// The top-level names of an attributes shape such as {"item": id, "touches": [{"x": number}]}.
void readAttributes(const std::string& shape, DocumentedEvent& event)
{
    int depth = 0;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        char c = shape[i];
        if (c == '{' || c == '[')
            ++depth;
        else if (c == '}' || c == ']')
            --depth;
        else if (depth == 1 && shape.compare(i, 3, "...") == 0)
            event.openAttributes = true;
        else if (c == '"') {
            auto end = shape.find('"', i + 1);
            auto after = shape.find_first_not_of(' ', end + 1);
            if (depth == 1 && after != std::string::npos && shape[after] == ':')
                event.attributes.insert(shape.substr(i + 1, end - i - 1));
            i = end;
        }
    }
}

// docs/types.md, read as a peer developer reads it: per type, the events and calls the client
// sends, the properties it sets and the style words.
std::map<std::string, DocumentedType> readTypesDocument()
{
    std::ifstream file(testing::sourceRoot() / "docs" / "types.md");
    std::map<std::string, DocumentedType> types;
    DocumentedType* type = nullptr;
    std::string table;
    std::vector<std::string> header;
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("## ")) {
            type = &types[line.substr(3)];
            table.clear();
        } else if (line == "Sent by the client:" || line == "Set by the client:" || line == "Style words:") {
            table = line;
            header.clear();
        } else if (!line.starts_with("|")) {
            if (!line.empty())
                table.clear();
        } else if (type && !table.empty() && header.empty()) {
            header = cells(line);
        } else if (type && !table.empty() && !line.starts_with("|---")) {
            std::map<std::string, std::string> row;
            auto values = cells(line);
            for (std::size_t i = 0; i < header.size() && i < values.size(); ++i)
                row[header[i]] = values[i];
            auto kinds = words(row["Kinds"]);
            if (table == "Style words:") {
                type->styles.insert(unquoted(row["Word"]));
            } else if (table == "Set by the client:") {
                type->reports[unquoted(row["Property"])].insert(kinds.begin(), kinds.end());
            } else {
                DocumentedEvent event { words(row["Listen"]), row["Operation"], unquoted(row["Name"]), {}, false,
                    row["Without a listen"] == "sent", { kinds.begin(), kinds.end() } };
                readAttributes(unquoted(row["Attributes"]), event);
                type->events.push_back(std::move(event));
            }
        }
    }
    return types;
}

// The flag a listen key sets, as the document explains it: "Selection" and "selection" are one.
std::string flagOf(std::string key)
{
    if (!key.empty())
        key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
    return key;
}

// The application server: a greeter. The user types a name, may tick "Shout" and presses
// "Greet", or picks a name in the grid; the label greets. Everything it knows of the client's
// wire comes from the document: which key to listen to, which name then arrives, what it carries.
// It checks each operation of each request against the document and notes what it did not
// predict. Its answers run on the server's threads.
class GreeterPeer {
public:
    struct Created {
        std::string type;
        std::string kind; // its style word ("CHECK"), "other" without one
    };

    explicit GreeterPeer(std::map<std::string, DocumentedType> document)
        : m_document(std::move(document))
    {
    }

    // The row of `type` (of that kind) that listening to `key` switches on.
    const DocumentedEvent* event(const std::string& type, const std::string& kind, const std::string& key) const
    {
        auto found = m_document.find(type);
        if (found == m_document.end())
            return nullptr;
        for (const auto& event : found->second.events) {
            bool ofKind = event.kinds.empty() || event.kinds.count(kind);
            for (const auto& listen : event.listen) {
                if (ofKind && flagOf(listen) == flagOf(key))
                    return &event;
            }
        }
        return nullptr;
    }
    bool documentsStyle(const std::string& type, const std::string& word) const
    {
        auto found = m_document.find(type);
        return found != m_document.end() && found->second.styles.count(word);
    }

    // The first answer: the screen, and listens to the keys the document gives. A button's kind
    // is its style word, "other" for none.
    std::string firstAnswer()
    {
        static const char* const kScreen = R"([
            ["create", "w1", "zub.widgets.Display", {}],
            ["create", "s1", "zub.widgets.Shell",
                {"parent": "w1", "style": ["TITLE"], "text": "Greeter", "bounds": [0, 0, 320, 568], "visibility": true}],
            ["create", "l1", "zub.widgets.Label", {"parent": "s1", "text": "Who is there?", "bounds": [10, 50, 300, 30]}],
            ["create", "t1", "morvix.TextInput", {"parent": "s1", "bounds": [10, 90, 300, 30]}],
            ["create", "c1", "zub.widgets.Button",
                {"parent": "s1", "style": ["CHECK"], "text": "Shout", "bounds": [10, 130, 140, 30]}],
            ["create", "b1", "zub.widgets.Button", {"parent": "s1", "text": "Greet", "bounds": [170, 130, 140, 30]}],
            ["create", "g1", "zub.widgets.Grid", {"parent": "s1", "itemCount": 2, "bounds": [0, 180, 320, 300]}],
            ["create", "i1", "zub.widgets.GridItem", {"parent": "g1", "index": 0, "texts": ["Anna"]}],
            ["create", "i2", "zub.widgets.GridItem", {"parent": "g1", "index": 1, "texts": ["Team"], "itemCount": 1}],
            ["create", "i3", "zub.widgets.GridItem", {"parent": "i2", "index": 0, "texts": ["Bob"]}],
            ["listen", "t1", {"modify": true}],
            ["listen", "c1", {"Selection": true}],
            ["listen", "b1", {"Selection": true}],
            ["listen", "g1", {"Selection": true, "Expand": true}]])";
        std::lock_guard lock(m_mutex);
        Value operations = Value::parse(kScreen);
        for (const auto& operation : operations) {
            const std::string& id = operation[1].get_ref<const std::string&>();
            if (operation[0] == "create") {
                Value style = operation[3].value("style", Value::array({ "other" }));
                m_objects[id] = { operation[2].get<std::string>(), style[0].get<std::string>() };
                continue;
            }
            for (const auto& [key, on] : operation[2].items())
                m_listened[id].insert(flagOf(key));
        }
        return Value { { "head", Value::object() }, { "operations", std::move(operations) } }.dump();
    }

    // The answer to one request.
    std::string answer(const std::string& body)
    {
        std::lock_guard lock(m_mutex);
        Value answer = Value::array();
        Value request = Value::parse(body);
        for (const auto& operation : request["operations"]) {
            m_received.push_back(operation);
            check(operation);
            if (operation[0] == "notify")
                react(operation[1], operation[2], operation[3], answer);
        }
        return Value { { "head", Value::object() }, { "operations", std::move(answer) } }.dump();
    }

    // The attributes of the last notify named `name` for `id`; null when none came.
    Value lastNotify(const std::string& id, const std::string& name) const
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_received.rbegin(); it != m_received.rend(); ++it) {
            if ((*it)[0] == "notify" && (*it)[1] == id && (*it)[2] == name)
                return (*it)[3];
        }
        return nullptr;
    }
    // The value of the last "set" of `key` for `id`; null when none came.
    Value lastSet(const std::string& id, const std::string& key) const
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_received.rbegin(); it != m_received.rend(); ++it) {
            if ((*it)[0] == "set" && (*it)[1] == id && (*it)[2].contains(key))
                return (*it)[2][key];
        }
        return nullptr;
    }
    std::vector<std::string> problems() const
    {
        std::lock_guard lock(m_mutex);
        return m_problems;
    }

private:
    // A service's id is its type name.
    Created createdAs(const std::string& id) const
    {
        auto found = m_objects.find(id);
        return found != m_objects.end() ? found->second : Created { id, "" };
    }

    void check(const Value& operation)
    {
        const std::string& id = operation[1].get_ref<const std::string&>();
        Created object = createdAs(id);
        const DocumentedType& type = m_document[object.type];
        if (operation[0] == "set") {
            for (const auto& [key, value] : operation[2].items()) {
                auto report = type.reports.find(key);
                if (report == type.reports.end() || !(report->second.empty() || report->second.count(object.kind)))
                    m_problems.push_back("undocumented: " + operation.dump());
            }
            return;
        }
        const auto& name = operation[2].get_ref<const std::string&>();
        for (const auto& event : type.events) {
            bool listened = event.sentWithoutListen;
            for (const auto& key : event.listen)
                listened = listened || m_listened[id].count(flagOf(key));
            bool carried = true;
            for (const auto& [key, value] : operation[3].items())
                carried = carried && (event.openAttributes || event.attributes.count(key));
            if (event.operation == operation[0] && event.name == name && listened && carried
                && (event.kinds.empty() || event.kinds.count(object.kind)))
                return;
        }
        m_problems.push_back("not predicted: " + operation.dump());
    }

    void react(const std::string& id, const std::string& name, const Value& attributes, Value& answer)
    {
        if (id == "t1" && isEvent(id, "modify", name))
            m_name = attributes.value("text", "");
        else if (id == "c1" && isEvent(id, "Selection", name))
            m_shout = attributes.value("selection", false);
        else if (id == "g1" && isEvent(id, "Selection", name))
            m_name = attributes.value("item", "") == "i1" ? "Anna" : m_name;
        else if (!(id == "b1" && isEvent(id, "Selection", name)))
            return;
        std::string greeting = "Hello, " + m_name + "!";
        if (m_shout) {
            for (char& c : greeting)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        answer.push_back(Value::array({ "set", "l1", Value { { "text", greeting } } }));
    }
    bool isEvent(const std::string& id, const std::string& key, const std::string& name) const
    {
        auto object = createdAs(id);
        auto* event = this->event(object.type, object.kind, key);
        return event && event->name == name;
    }

    mutable std::mutex m_mutex; // guards everything below; the server's threads answer
    std::map<std::string, DocumentedType> m_document;
    std::map<std::string, Created> m_objects;
    std::map<std::string, std::set<std::string>> m_listened; // by id, the flags switched on
    std::vector<Value> m_received;
    std::vector<std::string> m_problems;
    std::string m_name;
    bool m_shout = false;
};

class PeerDeveloperTest : public testing::LoopbackSessionFixture {
protected:
    PeerDeveloperTest()
    {
        auto greeter = [this](const testing::RecordedRequest& request, testing::ResponseWriter& writer) {
            writer.respond(200, request.method == "GET" ? peer.firstAnswer() : peer.answer(request.body));
        };
        server.handle("/greeter", greeter);
        server.handle("/greeter/", greeter);
    }

    void tap(const std::string& id)
    {
        auto view = object<Widget>(id)->view();
        harness.touches().tapView(*view, view->bounds().center());
    }
    void tapRow(int row)
    {
        auto table = object<Tree>("g1")->root()->treeController()->tableView();
        harness.touches().tapView(*table, { 100, table->rectForRow(platform::rowPath(row)).midY() });
    }
    // Turns the loop until `done` holds and the session has nothing in flight.
    bool settleWhen(const std::function<bool()>& done)
    {
        return waitUntil([&] { return done() && !client->notificationsDispatcher()->isProcessing(); });
    }
    std::string label() { return object<Label>("l1")->text().value_or(""); }

    GreeterPeer peer { readTypesDocument() };
};

TEST_F(PeerDeveloperTest, AServerWrittenFromTheDocumentGetsWhatItPredicts)
{
    const auto* modify = peer.event("morvix.TextInput", "", "modify");
    ASSERT_NE(modify, nullptr) << "docs/types.md is not found, or names no \"modify\" for the text input";
    ASSERT_NO_FATAL_FAILURE(createClient());
    delegate->url = server.url("/greeter/");
    client->load();
    ASSERT_TRUE(settleWhen([&] { return object<Shell>("s1") != nullptr; }));
    harness.advance(1); // the display's first report, and the shell's opening
    ASSERT_TRUE(settleWhen([&] { return !peer.lastSet("w1", "bounds").is_null(); }));
    // What the display reports first, and the style word that shows a shell's title.
    EXPECT_EQ(peer.lastSet("w1", "bounds"), Value::parse("[0, 0, 320, 568]"));
    EXPECT_EQ(peer.lastSet("w1", "colorDepth"), 24);
    EXPECT_TRUE(peer.documentsStyle("zub.widgets.Shell", "TITLE"));
    EXPECT_NE(object<Shell>("s1")->titleLabel()->superview(), nullptr);

    // Typing: the input's "modify" names the event and its text.
    tap("t1");
    platform::KeyboardTyping::type("Ann");
    ASSERT_TRUE(settleWhen([&] { return peer.lastNotify("t1", modify->name) == Value { { "text", "Ann" } }; }));

    // Ticking the check box, then pressing the button: the peer's greeting shows.
    const auto* check = peer.event("zub.widgets.Button", "CHECK", "Selection");
    ASSERT_NE(check, nullptr);
    tap("c1");
    ASSERT_TRUE(settleWhen([&] { return peer.lastNotify("c1", check->name) == Value { { "selection", true } }; }));
    EXPECT_EQ(peer.lastSet("c1", "selection"), true);
    tap("b1");
    ASSERT_TRUE(settleWhen([&] { return label() == "HELLO, ANN!"; }));

    // A grid: a leaf picks a name, a branch opens its level.
    tapRow(0);
    ASSERT_TRUE(settleWhen([&] { return label() == "HELLO, ANNA!"; }));
    const auto* expand = peer.event("zub.widgets.Grid", "", "Expand");
    ASSERT_NE(expand, nullptr);
    tapRow(1);
    harness.advance(1);
    ASSERT_TRUE(settleWhen([&] { return peer.lastNotify("g1", expand->name) == Value { { "item", "i2" } }; }));
    harness.advance(0.3);
    ASSERT_TRUE(settleWhen([&] { return peer.lastSet("i2", "expanded") == true; }));

    // Every operation of every request was one the document predicts, with what it carries.
    EXPECT_EQ(peer.problems(), std::vector<std::string> {});
}

} // namespace
} // namespace morvix
