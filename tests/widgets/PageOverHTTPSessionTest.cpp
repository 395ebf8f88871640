// A page of a few hundred widgets that a server sends in one response: laid out a handful of times
// rather than once or twice per operation, and showing the same views and the same picture as the
// same operations run by the script peer.

#include "core/objects/RemoteObject.h"
#include "core/script/JSBinding.h"
#include "platform/graphics/Image.h"
#include "platform/ui/LayoutEngine.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/TreeDump.h"
#include "tests/support/LoopbackSessionFixture.h"
#include "tests/support/ScriptFolder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace morvix::testing {
namespace {

using platform::Value;

// Labels placed by bounds; composites placed by attachments, chained to their siblings in tens;
// the last of each ten moved into the first; some of each destroyed.
Value pageOperations(int rows)
{
    auto id = [](const char* kind, int index) { return kind + std::to_string(index); };
    Value operations = Value::array();
    operations.push_back(Value::array({ "create", "w2", "zub.widgets.Shell",
        Value { { "parent", "w1" }, { "bounds", Value::array({ 0, 0, 320, 548 }) }, { "visibility", true } } }));
    for (int index = 0; index < rows; ++index) {
        operations.push_back(Value::array({ "create", id("l", index), "zub.widgets.Label",
            Value { { "parent", "w2" }, { "text", "Row " + std::to_string(index) },
                { "bounds", Value::array({ 10, 7 * index, 150, 14 }) } } }));
    }
    for (int index = 0; index < rows; ++index) {
        Value top = index % 10 == 0 ? Value::array({ 0, 5 * index }) : Value::array({ id("c", index - 1), 1 });
        operations.push_back(Value::array({ "create", id("c", index), "zub.widgets.Composite",
            Value { { "parent", "w2" }, { "background", Value::array({ 40 * (index % 6), 90, 200 }) },
                { "layoutData", Value { { "left", 170 + index % 10 }, { "right", 10 }, { "top", top }, { "height", 3 } } } } }));
    }
    for (int index = 9; index < rows; index += 10) {
        operations.push_back(Value::array({ "set", id("c", index),
            Value { { "layoutData", Value { { "left", 2 }, { "top", 0 }, { "width", 20 }, { "height", 2 } } },
                { "background", Value::array({ 255, 0, 0 }) }, { "parent", id("c", index - 9) } } }));
    }
    for (int index = 3; index < rows; index += 7)
        operations.push_back(Value::array({ "destroy", id("l", index) }));
    for (int index = 19; index < rows; index += 20)
        operations.push_back(Value::array({ "destroy", id("c", index) }));
    return operations;
}

class PageOverHTTPSessionTest : public LoopbackSessionFixture {
protected:
    // The display's views: what the page made, without what the sessions left on the window.
    std::string views() const
    {
        auto display = harness.find("w1");
        return display ? platform::dumpTree(*display) : std::string();
    }
    std::vector<std::uint8_t> picture()
    {
        harness.advance(1); // past the shell's appearance
        harness.runUntilIdle();
        auto display = harness.find("w1");
        auto image = display ? platform::Renderer::render(*display, { .scale = 1, .backdrop = platform::Color::white() }) : nullptr;
        return image ? image->pngData() : std::vector<std::uint8_t>();
    }
};

TEST_F(PageOverHTTPSessionTest, APageIsLaidOutOncePerChunkAndLooksAsFromTheScriptPeer)
{
    Value page = pageOperations(100);
    Value firstAnswer = Value::array({ Value::array({ "create", "w1", "zub.widgets.Display", Value::object() }) });
    for (const auto& operation : page)
        firstAnswer.push_back(operation);
    setFirstAnswer(answer(firstAnswer.dump()));
    createClient();
    auto passesBefore = platform::LayoutEngine::passesRunForTesting();
    client->load();
    ASSERT_TRUE(settle(0));
    harness.runUntilIdle();
    auto passes = platform::LayoutEngine::passesRunForTesting() - passesBefore;
    // One pass per chunk the body arrived in, and a few for the session's own start; applied
    // one operation at a time with a pass between each, it took about two per operation.
    EXPECT_LT(passes, page.size() / 10) << passes << " passes for " << page.size() << " operations";
    ASSERT_NE(object("c98"), nullptr);
    EXPECT_EQ(object("c19"), nullptr);
    std::string viewsOverHTTP = views();
    auto pictureOverHTTP = picture();
    ASSERT_FALSE(pictureOverHTTP.empty());

    // The same page from the script peer, on the same screen.
    client.reset();
    harness.runUntilIdle();
    ScriptFolder folder;
    folder.write("node_modules/morvix/index.js", "var morvix = window.morvix; morvix.version = '1.0.0'; morvix.trigger = function () {};"
        " window.document = {createElement: function () { return {}; }, head: {appendChild: function () {}}};"
        " morvix._notify = function () {}; module.exports = morvix;");
    folder.write("index.js", "var client = window.morvix._client; var operations = " + firstAnswer.dump() + ";\n"
        "operations.forEach(function (o) {\n"
        "  if (o[0] === 'create') client.create(o[1], o[2], o[3]);\n"
        "  else if (o[0] === 'set') client.set(o[1], o[2]);\n"
        "  else client.destroy(o[1]); });\n");
    delegate->url = folder.url();
    client = MorvixClient::create(harness.window(), { JSBinding::factory() }, MorvixClient::ApplicationFrame::Off);
    client->setDelegate(delegate);
    client->load();
    harness.runUntilIdle();
    ASSERT_NE(object("c98"), nullptr);
    EXPECT_TRUE(views() == viewsOverHTTP) << "the display's views differ";
    auto pictureFromScript = picture();
    EXPECT_TRUE(pictureFromScript == pictureOverHTTP) << "the window's pictures differ";
}

} // namespace
} // namespace morvix::testing
