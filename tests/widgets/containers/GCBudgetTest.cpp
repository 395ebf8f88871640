// What a peer may make drawing contexts hold: the pixels of all bitmaps and the saved states are
// counted in the session's budget, and one context's save stack has a depth bound.

#include "widgets/containers/GC.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteException.h"
#include "platform/foundation/SessionBudget.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"

#include <gtest/gtest.h>

#include <string>

namespace morvix {
namespace {

using platform::SessionBudget;
using platform::Value;
using Resource = SessionBudget::Resource;

class BudgetSession final : public ClientContext {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return registry->objectById(id); }
    void removeObjectById(const std::string& id) override { registry->removeObjectById(id); }
    void log(const LogEntry&) override { }

    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
};

class GCBudgetTest : public ::testing::Test {
protected:
    void SetUp() override { platform::Screen::main().setScale(2); }
    void TearDown() override { platform::Screen::main().resetForTesting(); }

    std::shared_ptr<GC> makeGC(const std::string& id) { return std::static_pointer_cast<GC>(GC::create(id, nullptr, session)); }
    // The reason of the "Incorrect Parameter" that `call` throws; empty when it throws none.
    static std::string refusal(GC& gc, const char* call, const Value& properties)
    {
        try {
            gc.callWithProperties(&properties, call);
        } catch (const RemoteException& exception) {
            return exception.isIncorrectParameter() ? exception.reason() : "another exception";
        }
        return "";
    }
    static Value size(int width, int height) { return { { "width", width }, { "height", height } }; }
    static Value operations(const Value& list) { return { { "operations", list } }; }

    std::shared_ptr<BudgetSession> session = std::make_shared<BudgetSession>();
    SessionBudget& budget = *session->sessionBudget();
};

TEST_F(GCBudgetTest, BitmapsTogetherStayWithinTheSessionsPixels)
{
    // Three bitmaps of 100 x 100 points (200 x 200 pixels) fit; a fourth does not.
    budget.setLimit(Resource::BitmapPixels, 3 * 40000);
    auto a = makeGC("a");
    auto b = makeGC("b");
    auto c = makeGC("c");
    auto d = makeGC("d");
    for (auto* gc : { a.get(), b.get(), c.get() })
        EXPECT_EQ(refusal(*gc, "init", size(100, 100)), "");
    EXPECT_EQ(budget.inUse(Resource::BitmapPixels), 120000u);
    EXPECT_EQ(refusal(*d, "init", size(1, 1)), "GC d init: a bitmap of 4 pixels would take the session's bitmaps past 120000 pixels");
    EXPECT_EQ(d->image(), nullptr);

    // A refused "init" leaves the old bitmap, picture and all; a smaller one gives pixels back.
    EXPECT_EQ(refusal(*a, "draw", operations(Value::parse(R"([["fillStyle",[255,0,0]],["rect",0,0,10,10],["fill"]])"))), "");
    EXPECT_NE(refusal(*a, "init", size(150, 100)), "");
    ASSERT_NE(a->image(), nullptr);
    EXPECT_EQ(a->image()->pixelWidth(), 200);
    EXPECT_EQ(a->image()->pixelAt(5, 5).alpha, 255);
    EXPECT_EQ(refusal(*a, "init", size(50, 100)), "");
    EXPECT_EQ(refusal(*d, "init", size(50, 100)), "");
    // A size that makes no bitmap holds nothing; a context that goes gives its share back.
    EXPECT_EQ(refusal(*b, "init", size(0, 100)), "");
    EXPECT_EQ(budget.inUse(Resource::BitmapPixels), 20000u + 40000 + 20000);
    c.reset();
    d.reset();
    EXPECT_EQ(budget.inUse(Resource::BitmapPixels), 20000u);
    EXPECT_LE(budget.peak(Resource::BitmapPixels), 120000u);
}

TEST_F(GCBudgetTest, SavesAreBoundedPerContextAndPerSession)
{
    auto a = makeGC("a");
    ASSERT_EQ(refusal(*a, "init", size(10, 10)), "");
    Value saves = Value::array();
    for (std::size_t i = 0; i < GCPropertiesStack::kMaximumDepth; ++i)
        saves.push_back(Value::array({ "save" }));
    EXPECT_EQ(refusal(*a, "draw", operations(saves)), "");
    EXPECT_EQ(refusal(*a, "draw", operations(Value::parse(R"([["save"]])"))),
        "GC a save: 1024 states are saved already, the most one drawing context keeps");
    EXPECT_EQ(a->propertiesStack().count(), GCPropertiesStack::kMaximumDepth + 1);
    // A restore makes room again; restores past the base record give nothing back twice.
    EXPECT_EQ(refusal(*a, "draw", operations(Value::parse(R"([["restore"],["save"]])"))), "");
    EXPECT_EQ(budget.inUse(Resource::SavedStates), GCPropertiesStack::kMaximumDepth);
    Value restores = Value::array();
    for (std::size_t i = 0; i < GCPropertiesStack::kMaximumDepth + 5; ++i)
        restores.push_back(Value::array({ "restore" }));
    EXPECT_EQ(refusal(*a, "draw", operations(restores)), "");
    EXPECT_EQ(budget.inUse(Resource::SavedStates), 0u);

    // The session's contexts together: the seventh save of two contexts is refused, before a
    // "init" as well, and a context that goes gives its saves back.
    budget.setLimit(Resource::SavedStates, 6);
    auto b = makeGC("b");
    EXPECT_EQ(refusal(*a, "draw", operations(Value::parse(R"([["save"],["save"],["save"]])"))), "");
    EXPECT_EQ(refusal(*b, "draw", operations(Value::parse(R"([["save"],["save"],["save"],["save"]])"))),
        "GC b save: the session's drawing contexts hold 6 saved states already");
    EXPECT_EQ(b->propertiesStack().count(), 4u);
    a.reset();
    EXPECT_EQ(refusal(*b, "draw", operations(Value::parse(R"([["save"],["save"],["save"]])"))), "");
    EXPECT_EQ(budget.inUse(Resource::SavedStates), 6u);
}

} // namespace
} // namespace morvix
