#include "platform/ui/screens/WebView.h"

#include "platform/graphics/GraphicsContext.h"

namespace morvix::platform {

namespace {

const Color kBoxFill = Color::fromRGBA(0.95f, 0.95f, 0.95f);
const Color kBoxLine = Color::fromRGBA(0.6f, 0.6f, 0.6f);
const Color kLabelColor = Color::fromRGBA(0.3f, 0.3f, 0.3f);
constexpr double kLabelSize = 12;
constexpr double kLabelInset = 6;

} // namespace

std::shared_ptr<WebView> WebView::create(const Rect& frame)
{
    return std::shared_ptr<WebView>(new WebView(frame));
}

WebView::WebView(const Rect& frame)
    : View(frame)
{
}

void WebView::loadURL(std::string url)
{
    m_url = std::move(url);
    m_html.clear();
    Load load;
    load.url = m_url;
    m_loads.push_back(std::move(load));
    setNeedsDisplay();
}

void WebView::loadHTMLString(std::string html, std::string baseURL)
{
    m_url = std::move(baseURL);
    m_html = std::move(html);
    Load load;
    load.url = m_url;
    load.html = m_html;
    load.isHTML = true;
    m_loads.push_back(std::move(load));
    setNeedsDisplay();
}

void WebView::loadData(std::string data, std::string mimeType, std::string textEncodingName, std::string baseURL)
{
    m_url = std::move(baseURL);
    m_html.clear();
    Load load;
    load.url = m_url;
    load.isData = true;
    load.data = std::move(data);
    load.mimeType = std::move(mimeType);
    load.textEncodingName = std::move(textEncodingName);
    m_loads.push_back(std::move(load));
    setNeedsDisplay();
}

std::string WebView::placeholderText() const
{
    std::string text = std::string(className()) + ": ";
    if (!m_html.empty())
        return text + "HTML, " + std::to_string(m_html.size()) + " bytes";
    if (!m_loads.empty() && m_loads.back().isData) {
        const Load& load = m_loads.back();
        text += (load.mimeType.empty() ? std::string("data") : load.mimeType) + ", " + std::to_string(load.data.size()) + " bytes";
        return m_url.empty() ? text : text + ", " + m_url;
    }
    return text + (m_url.empty() ? "(nothing loaded)" : m_url);
}

void WebView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect box = bounds();
    context.setFillColor(kBoxFill);
    context.fillRect(box);
    context.setStrokeColor(kBoxLine);
    context.setLineWidth(1);
    context.strokeRect(box.insetBy(0.5, 0.5));
    TextLayout::Options options;
    options.wrapWidth = box.width() - 2 * kLabelInset;
    AttributedString label(placeholderText(), { .font = Font::system(kLabelSize), .foregroundColor = kLabelColor });
    context.save();
    context.clipToRect(box);
    context.drawText(label, options, { box.x() + kLabelInset, box.y() + kLabelInset });
    context.restore();
}

} // namespace morvix::platform
