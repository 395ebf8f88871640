#include "widgets/delegating/DelegatingWKView.h"

#include "core/script/JSValues.h"

#include <JavaScriptCore/JavaScript.h>

namespace morvix {

namespace {

/// The context group every browser's contexts share; made on first use, kept for the process.
JSContextGroupRef browserContextGroup()
{
    static JSContextGroupRef group = JSContextGroupCreate();
    return group;
}

/// A bare global context per page, released when the page changes or the view goes.
class BareScriptEngine final : public platform::ScriptEngine {
public:
    ~BareScriptEngine() override { reset(); }

    void reset() override
    {
        if (m_context)
            JSGlobalContextRelease(m_context);
        m_context = nullptr;
    }

    platform::ScriptResult evaluate(const std::string& script) override
    {
        if (!m_context)
            m_context = JSGlobalContextCreateInGroup(browserContextGroup(), nullptr);
        JSText source(script);
        JSValueRef exception = nullptr;
        JSValueRef result = JSEvaluateScript(m_context, source.get(), nullptr, nullptr, 1, &exception);
        if (exception)
            return { std::nullopt, JSValues::toString(m_context, exception) };
        if (!result || JSValueIsUndefined(m_context, result))
            return {};
        if (JSValueIsObject(m_context, result) && JSObjectIsFunction(m_context, JSValueToObject(m_context, result, nullptr)))
            return { std::nullopt, std::string("a function has no value to hand back") };
        if (auto value = JSValues::toValue(m_context, result))
            return { std::move(value), std::nullopt };
        return { std::nullopt, std::string("the result has no value to hand back") };
    }

private:
    JSGlobalContextRef m_context = nullptr;
};

} // namespace

std::shared_ptr<DelegatingWKView> DelegatingWKView::create(const platform::Rect& frame,
    platform::WKViewConfiguration configuration)
{
    auto view = std::shared_ptr<DelegatingWKView>(new DelegatingWKView(frame, configuration));
    view->setScriptEngine(std::make_unique<BareScriptEngine>());
    return view;
}

} // namespace morvix
