#include "platform/ui/controls/SearchBar.h"

#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/TextField.h"

#include <algorithm>

namespace morvix::platform {

namespace {

constexpr double kMargin = 8;
constexpr double kFieldHeight = 30;
constexpr double kCancelWidth = 60;

} // namespace

// Turns the field's return key and end of editing into the bar's delegate calls. Owned by the
// bar; the field holds it weakly, so a field that outlives its bar calls nothing.
class SearchBar::FieldDelegate final : public TextFieldDelegate {
public:
    explicit FieldDelegate(SearchBar& bar) : m_bar(bar) { }

    bool textFieldShouldReturn(TextField&) override
    {
        if (auto delegate = m_bar.delegate())
            delegate->searchBarSearchButtonClicked(m_bar);
        return true;
    }
    void textFieldDidEndEditing(TextField&) override
    {
        if (auto delegate = m_bar.delegate())
            delegate->searchBarTextDidEndEditing(m_bar);
    }

private:
    SearchBar& m_bar;
};

std::shared_ptr<SearchBar> SearchBar::create(const Rect& frame)
{
    auto bar = std::shared_ptr<SearchBar>(new SearchBar(frame));
    bar->wire();
    return bar;
}

SearchBar::SearchBar(const Rect& frame)
    : View(frame)
    , m_field(TextField::create())
    , m_cancel(Button::create(ButtonType::System))
{
    setBackgroundColor(Color::fromRGBA(0.79f, 0.79f, 0.81f));
    m_field->setBorderStyle(TextBorderStyle::RoundedRect);
    m_field->setBackgroundColor(Color::white());
    m_cancel->setTitle(std::string(kCancelTitle));
    m_cancel->setHidden(true);
}

void SearchBar::wire()
{
    addSubview(m_field);
    addSubview(m_cancel);
    m_fieldDelegate = std::make_shared<FieldDelegate>(*this);
    m_field->setDelegate(m_fieldDelegate);
    std::weak_ptr<SearchBar> weakBar = std::static_pointer_cast<SearchBar>(self());
    // Typed changes only: text set from code sends no control events.
    m_field->addAction([weakBar](Control&, const Event*) {
        auto bar = weakBar.lock();
        if (!bar)
            return;
        if (auto delegate = bar->delegate())
            delegate->searchBarTextDidChange(*bar, bar->text());
    }, ControlEventEditingChanged);
    m_cancel->addAction([weakBar](Control&, const Event*) {
        auto bar = weakBar.lock();
        if (!bar)
            return;
        if (auto delegate = bar->delegate())
            delegate->searchBarCancelButtonClicked(*bar);
    }, ControlEventTouchUpInside);
    layoutSubviews();
}

const std::string& SearchBar::text() const { return m_field->text(); }

void SearchBar::setText(std::string text) { m_field->setText(std::move(text)); }

const std::string& SearchBar::placeholder() const { return m_field->placeholder(); }

void SearchBar::setPlaceholder(std::string placeholder) { m_field->setPlaceholder(std::move(placeholder)); }

void SearchBar::setShowsCancelButton(bool shows)
{
    if (m_showsCancelButton == shows)
        return;
    m_showsCancelButton = shows;
    m_cancel->setHidden(!shows);
    setNeedsLayout();
    layoutSubviews();
}

BarPosition SearchBar::barPosition()
{
    auto delegate = this->delegate();
    return delegate ? delegate->positionForBar(*this) : BarPosition::Any;
}

bool SearchBar::canBecomeFirstResponder() const { return m_field->canBecomeFirstResponder(); }

bool SearchBar::becomeFirstResponder() { return m_field->becomeFirstResponder(); }

bool SearchBar::resignFirstResponder() { return m_field->resignFirstResponder(); }

Size SearchBar::sizeThatFits(Size size) const { return { size.width, kHeight }; }

void SearchBar::layoutSubviews()
{
    const Rect box = bounds();
    const double top = std::max(0.0, (box.size.height - kFieldHeight) / 2);
    double fieldWidth = box.size.width - 2 * kMargin;
    if (m_showsCancelButton) {
        fieldWidth -= kCancelWidth + kMargin;
        m_cancel->setFrame({ box.size.width - kMargin - kCancelWidth, top, kCancelWidth, kFieldHeight });
    }
    m_field->setFrame({ kMargin, top, std::max(0.0, fieldWidth), kFieldHeight });
}

} // namespace morvix::platform
