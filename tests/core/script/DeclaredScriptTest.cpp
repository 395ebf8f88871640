// The boot script an application's JSON declares, in real sessions: it is found as the script's
// own loads are, so a JSON (served over http, or sitting in the application's folder) cannot
// have the session run a file from elsewhere on the machine.

#include "core/script/JSBinding.h"

#include "tests/core/session/SessionLogRecorder.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/SessionFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvix {
namespace {

using platform::Value;

// A boot script that leaves its name behind when it runs.
std::string bootScript(const std::string& name)
{
    return "var ranFrom = '" + name + "'; var morvix = {_start: function () {}, _notify: function () {}};";
}

class DeclaredScriptTest : public testing::SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        outside.write("boot.js", bootScript("outside"));
        folder.write("boot.js", bootScript("inside"));
    }

    // Runs a session on `url` and says which boot script ran: "inside", "outside", "served" or
    // "nothing".
    std::string bootOf(const std::string& url)
    {
        delegate->url = url;
        client = MorvixClient::create(window, { JSBinding::factory() }, MorvixClient::ApplicationFrame::Off);
        client->setDelegate(delegate);
        log.attach(*client);
        client->load();
        platform::MainLoop::main().runUntilIdle();
        auto binding = std::dynamic_pointer_cast<JSBinding>(client->bindings().at(0));
        return binding->execute("typeof ranFrom === 'string' ? ranFrom : 'nothing'").value_or(Value("no answer")).get<std::string>();
    }
    // A session whose application JSON in the folder declares `path`.
    std::string bootDeclaring(const std::string& path)
    {
        folder.write("app.json", Value { { "morvix", path } }.dump());
        return bootOf(folder.url() + "app.json");
    }
    testing::ScriptFolder folder;
    testing::ScriptFolder outside;
    testing::SessionLogRecorder log;
};

TEST_F(DeclaredScriptTest, AFolderSessionRunsOnlyItsOwnBootScript)
{
    EXPECT_EQ(bootDeclaring("boot.js"), "inside");

    // Up and out, by URL, by absolute path and through a link: not run, reported as unreadable.
    std::filesystem::create_symlink(outside.path() / "boot.js", folder.path() / "link.js");
    std::string script = (outside.path() / "boot.js").string();
    for (const std::string& path : { "../" + outside.path().filename().string() + "/boot.js", "file://" + script, script, std::string("link.js"),
             "%2e%2e/" + outside.path().filename().string() + "/boot.js" }) {
        SCOPED_TRACE(path);
        EXPECT_EQ(bootDeclaring(path), "nothing");
        EXPECT_TRUE(log.contains("Could not load Resource:\n" + path));
    }
}

TEST_F(DeclaredScriptTest, AnHttpSessionRunsNoLocalFile)
{
    auto json = [](const std::string& path) { return testing::TestResponse().withHeader("Content-Type", "application/json").withBody(Value { { "morvix", path } }.dump()); };
    server.route("/local.json", json("file://" + (outside.path() / "boot.js").string()));
    server.route("/served.json", json("js/boot.js"));
    server.route("/js/boot.js", testing::TestResponse().withHeader("Content-Type", "application/javascript").withBody(bootScript("served")));
    server.start();

    EXPECT_EQ(bootOf(server.url("/local.json")), "nothing");
    EXPECT_TRUE(log.contains("Could not load Resource:\nfile://" + (outside.path() / "boot.js").string()));
    EXPECT_EQ(bootOf(server.url("/served.json")), "served");
}

} // namespace
} // namespace morvix
