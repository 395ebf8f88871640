#pragma once
// The stand-in of an embedded browser view: it keeps what it was asked to show.

#include "platform/ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class WebView;

/// Hears when a page starts and finishes loading. Every call has an empty default. The
/// placeholder fetches nothing itself, so these come from whoever loads pages into it.
class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    virtual void webViewDidStartLoad(WebView&) { }
    virtual void webViewDidFinishLoad(WebView&) { }
};

/// A placeholder for web content: the headless platform has no browser engine, so the view only
/// records the last URL, HTML or data it was asked to load (and every load, in order) and draws a
/// labelled box naming it, so that a picture of the screen shows where the browser is. Nothing is
/// fetched or run. Main thread only.
class WebView : public View {
public:
    /// One request to show something: a URL, HTML or bytes of a MIME type, the last two with the
    /// base URL they would resolve against (in `url`).
    struct Load {
        std::string url;
        std::string html;
        bool isHTML = false;
        bool isData = false;
        std::string data;
        std::string mimeType;
        std::string textEncodingName;
    };

    static std::shared_ptr<WebView> create(const Rect& frame = {});
    const char* className() const override { return "WebView"; }

    void loadURL(std::string url);
    void loadHTMLString(std::string html, std::string baseURL = {});
    /// Records `data` as a page of `mimeType` in `textEncodingName` (either may be empty).
    void loadData(std::string data, std::string mimeType, std::string textEncodingName, std::string baseURL);
    /// The URL of the last load (the base URL for HTML); empty before the first.
    const std::string& url() const { return m_url; }
    /// The HTML of the last load; empty when it was a URL or data.
    const std::string& html() const { return m_html; }
    const std::vector<Load>& loads() const { return m_loads; }

    /// Held weakly.
    std::shared_ptr<WebViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { m_delegate = std::move(delegate); }
    /// The text the placeholder box shows.
    virtual std::string placeholderText() const;

    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit WebView(const Rect& frame);

private:
    std::string m_url;
    std::string m_html;
    std::vector<Load> m_loads;
    std::weak_ptr<WebViewDelegate> m_delegate;
};

} // namespace morvix::platform
