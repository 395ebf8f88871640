#include "platform/ui/screens/WKView.h"

#include "platform/foundation/MainLoop.h"

namespace morvix::platform {

std::shared_ptr<WKView> WKView::create(const Rect& frame, WKViewConfiguration configuration)
{
    return std::shared_ptr<WKView>(new WKView(frame, configuration));
}

WKView::WKView(const Rect& frame, WKViewConfiguration configuration)
    : WebView(frame)
    , m_configuration(configuration)
{
}

bool WKView::allows(const NavigationAction& action)
{
    auto delegate = navigationDelegate();
    return !delegate || delegate->decidePolicy(*this, action) == NavigationPolicy::Allow;
}

void WKView::beginNavigation(std::string url)
{
    m_currentURL = std::move(url);
    m_loadState = LoadState::Loading;
    if (m_scriptEngine)
        m_scriptEngine->reset();
    setNeedsDisplay();
}

void WKView::loadRequest(const std::string& url)
{
    if (!allows({ url, NavigationAction::Type::Other, true }))
        return;
    loadURL(url);
    beginNavigation(url);
}

void WKView::loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL)
{
    std::string url = baseURL && !baseURL->empty() ? *baseURL : "about:blank";
    if (!allows({ url, NavigationAction::Type::Other, true }))
        return;
    WebView::loadHTMLString(html, baseURL.value_or(""));
    beginNavigation(url);
}

void WKView::activateLink(const std::string& url, LinkTarget target)
{
    if (!allows({ url, NavigationAction::Type::LinkActivated, target == LinkTarget::SameFrame }))
        return;
    if (target == LinkTarget::NewWindow)
        return;
    loadURL(url);
    beginNavigation(url);
}

void WKView::finishNavigation()
{
    if (m_loadState != LoadState::Loading)
        return;
    m_loadState = LoadState::Finished;
    setNeedsDisplay();
    if (auto delegate = navigationDelegate())
        delegate->didFinishNavigation(*this);
}

void WKView::failNavigation(const std::string& error)
{
    if (m_loadState != LoadState::Loading)
        return;
    m_loadState = LoadState::Failed;
    setNeedsDisplay();
    if (auto delegate = navigationDelegate())
        delegate->didFailNavigation(*this, error);
}

void WKView::evaluateJavaScript(const std::string& script, Completion completion)
{
    std::optional<ScriptResult> answer;
    if (m_scriptResponder)
        answer = m_scriptResponder(script);
    if (!answer && m_scriptEngine)
        answer = m_scriptEngine->evaluate(script);
    if (!answer)
        answer = ScriptResult { std::nullopt, std::string("no script engine") };
    MainLoop::main().post([completion = std::move(completion), result = std::move(*answer)]() mutable {
        if (completion)
            completion(std::move(result));
    });
}

std::string WKView::placeholderText() const
{
    std::string text = WebView::placeholderText();
    switch (m_loadState) {
    case LoadState::None:
    case LoadState::Loading:
        return text;
    case LoadState::Finished:
        return text + " (finished)";
    case LoadState::Failed:
        return text + " (failed)";
    }
    return text;
}

} // namespace morvix::platform
