#pragma once
// A bar holding a search field and a Cancel button.

#include "platform/ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class Button;
class SearchBar;
class TextField;

/// Where a bar sits against the content it belongs to, by the platform's numbers.
enum class BarPosition { Any = 0, Bottom = 1, Top = 2, TopAttached = 3 };

/// Hears what the user does in a search bar. Every operation is optional. Held weakly by the
/// bar. Main thread.
class SearchBarDelegate {
public:
    virtual ~SearchBarDelegate() = default;
    /// The user typed, pasted or deleted; text set from code calls nothing.
    virtual void searchBarTextDidChange(SearchBar& bar, const std::string& text) { (void)bar, (void)text; }
    /// The keyboard's return key.
    virtual void searchBarSearchButtonClicked(SearchBar& bar) { (void)bar; }
    /// A tap on Cancel.
    virtual void searchBarCancelButtonClicked(SearchBar& bar) { (void)bar; }
    /// The field gave up the first responder.
    virtual void searchBarTextDidEndEditing(SearchBar& bar) { (void)bar; }
    virtual BarPosition positionForBar(SearchBar& bar) { (void)bar; return BarPosition::Any; }
};

/// A search bar: a rounded text field and, while `showsCancelButton`, a Cancel button to its
/// right, on a light grey bar 44 points high (`sizeToFit`). Becoming or resigning the first
/// responder passes to the field, so the keyboard stand-in types into it. The scope bar's
/// settings are kept for the owner to read; no scope bar is shown. Main thread only.
class SearchBar : public View {
public:
    static constexpr double kHeight = 44;
    static constexpr const char* kCancelTitle = "Cancel";

    static std::shared_ptr<SearchBar> create(const Rect& frame = {});
    const char* className() const override { return "SearchBar"; }

    std::shared_ptr<SearchBarDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<SearchBarDelegate> delegate) { m_delegate = std::move(delegate); }

    const std::string& text() const;
    /// Tells the delegate nothing.
    void setText(std::string text);
    const std::string& placeholder() const;
    void setPlaceholder(std::string placeholder);
    bool showsCancelButton() const { return m_showsCancelButton; }
    void setShowsCancelButton(bool shows);
    bool showsScopeBar() const { return m_showsScopeBar; }
    void setShowsScopeBar(bool shows) { m_showsScopeBar = shows; }
    const std::vector<std::string>& scopeButtonTitles() const { return m_scopeButtonTitles; }
    void setScopeButtonTitles(std::vector<std::string> titles) { m_scopeButtonTitles = std::move(titles); }
    /// The delegate's answer; `Any` without one.
    BarPosition barPosition();

    const std::shared_ptr<TextField>& textField() const { return m_field; }
    const std::shared_ptr<Button>& cancelButton() const { return m_cancel; }

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    /// The width asked for, 44 points high.
    Size sizeThatFits(Size size) const override;
    void layoutSubviews() override;

protected:
    explicit SearchBar(const Rect& frame);

private:
    class FieldDelegate;
    void wire();

    std::weak_ptr<SearchBarDelegate> m_delegate;
    std::shared_ptr<TextField> m_field;
    std::shared_ptr<Button> m_cancel;
    std::shared_ptr<FieldDelegate> m_fieldDelegate;
    bool m_showsCancelButton = false;
    bool m_showsScopeBar = false;
    std::vector<std::string> m_scopeButtonTitles;
};

} // namespace morvix::platform
