#pragma once
// The stand-in of an embedded browser view: it keeps what it was asked to show.

#include "platform/ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

/// A placeholder for web content: the headless platform has no browser engine, so the view only
/// records the last URL or HTML it was asked to load (and every load, in order) and draws a
/// labelled box naming it, so that a picture of the screen shows where the browser is. Nothing is
/// fetched or run. Main thread only.
class WebView : public View {
public:
    /// One request to show something: a URL, or HTML with the base URL it would resolve against.
    struct Load {
        std::string url;
        std::string html;
        bool isHTML = false;
    };

    static std::shared_ptr<WebView> create(const Rect& frame = {});
    const char* className() const override { return "WebView"; }

    void loadURL(std::string url);
    void loadHTMLString(std::string html, std::string baseURL = {});
    /// The URL of the last load (the base URL for HTML); empty before the first.
    const std::string& url() const { return m_url; }
    /// The HTML of the last load; empty when it was a URL.
    const std::string& html() const { return m_html; }
    const std::vector<Load>& loads() const { return m_loads; }
    /// The text the placeholder box shows.
    std::string placeholderText() const;

    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit WebView(const Rect& frame);

private:
    std::string m_url;
    std::string m_html;
    std::vector<Load> m_loads;
};

} // namespace morvix::platform
