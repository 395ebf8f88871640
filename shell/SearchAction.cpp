#include "shell/SearchAction.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "shell/DisplayRootViewController.h"
#include "shell/SearchViewController.h"
#include "widgets/foundation/Display.h"

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kModifyEvent {
    .name = "Modify",
    .attributes = R"({"query": string})",
    .sentWithoutListen = true,
    .note = "on each change of the search text, and when the search opens with a \"query\"",
};
constexpr EventDeclaration kSearchEvent {
    .name = "Search",
    .attributes = R"({"query": string})",
    .sentWithoutListen = true,
    .note = "when the user searches (the keyboard's search key or a proposal), after the search screen has closed",
};

} // namespace

const WireTable& SearchAction::wire()
{
    static const WireTable table = WireTable::extend(Action::wire()).event(kModifyEvent).event(kSearchEvent);
    return table;
}

const PropertyTable& SearchAction::properties()
{
    static const PropertyTable table
        = PropertyTable::extend<SearchAction>(Action::properties())
              .array("proposals", &SearchAction::setProposals,
                  [](const SearchAction& self) {
                      Value list = Value::array();
                      for (const auto& proposal : self.proposals())
                          list.push_back(proposal);
                      return std::optional<Value>(std::move(list));
                  })
              .string("message", &SearchAction::setMessage, [](const SearchAction& self) { return std::optional<std::string>(self.message()); })
              .string("query", &SearchAction::setQuery, [](const SearchAction& self) { return std::optional<std::string>(self.query()); });
    return table;
}

const PropertyNames& SearchAction::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Action::remoteObjectProperties(), { "query", "message", "proposals" });
    return names;
}

SearchAction::SearchAction(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
{
    registerSelector(&SearchAction::openCall, "open");
}

SearchAction::~SearchAction() = default;

// MARK: Properties

void SearchAction::setTitle(std::optional<std::string> title)
{
    Action::setTitle(std::move(title));
    updatePlaceholder();
}

void SearchAction::setMessage(std::optional<std::string> message)
{
    m_message = message.value_or(std::string());
    updatePlaceholder();
}

void SearchAction::setProposals(std::optional<Value> proposals)
{
    m_proposals.clear();
    if (proposals && proposals->is_array()) {
        for (const auto& proposal : *proposals)
            m_proposals.push_back(proposal.is_string() ? proposal.get<std::string>() : std::string());
    }
    if (m_searchViewController)
        m_searchViewController->setProposals(m_proposals);
}

void SearchAction::updatePlaceholder()
{
    if (m_searchViewController)
        m_searchViewController->setPlaceholder(m_message.empty() ? title() : m_message);
}

// MARK: The screen

void SearchAction::openCall(const Value*)
{
    open();
}

void SearchAction::open()
{
    closeSearchViewControllerAnimated(platform::Animated::No);
    auto client = this->client();
    auto display = client ? std::dynamic_pointer_cast<Display>(client->rootObject()) : nullptr;
    if (!display)
        return;
    std::weak_ptr<SearchAction> weak = std::static_pointer_cast<SearchAction>(shared_from_this());
    m_searchViewController = SearchViewController::create(std::weak_ptr<SearchDelegate>(weak));
    updatePlaceholder();
    // The display's modal presentations are the root controller's.
    if (auto root = rootController())
        root->presentViewController(m_searchViewController, platform::Animated::Yes);
    else
        display->presentModalViewController(m_searchViewController, true);
    m_searchViewController->setProposals(m_proposals);
    m_searchViewController->setQuery(m_query);
    if (!m_query.empty())
        searchModified(m_query);
}

void SearchAction::closeSearchViewControllerAnimated(platform::Animated animated, platform::ViewController::Completion completion)
{
    if (!m_searchViewController)
        return;
    // Forgotten before the dismissal, so that the end of editing it causes finds no screen.
    auto screen = std::move(m_searchViewController);
    m_searchViewController.reset();
    m_proposals.clear();
    if (!screen->presentingViewController()) {
        // Never shown (the presentation was refused): there is nothing to wait for.
        if (completion)
            completion();
        return;
    }
    screen->dismissViewController(animated, std::move(completion));
}

// MARK: Action

void SearchAction::pushed()
{
    if (isDisposed())
        return;
    sendSelection();
    open();
}

void SearchAction::destroy()
{
    closeSearchViewControllerAnimated(platform::Animated::No);
    Action::destroy();
}

// MARK: SearchDelegate

void SearchAction::searchModified(const std::string& text)
{
    m_query = text;
    fire(kModifyEvent, text);
}

void SearchAction::searchFor(const std::string& text)
{
    m_query = text;
    std::weak_ptr<BasicObject> weak = weak_from_this();
    closeSearchViewControllerAnimated(platform::Animated::Yes, [weak, text] {
        if (auto self = std::static_pointer_cast<SearchAction>(weak.lock()))
            self->fireSearchEvent(text);
    });
}

void SearchAction::searchClosed()
{
    closeSearchViewControllerAnimated(platform::Animated::Yes);
}

void SearchAction::fireSearchEvent(const std::string& text)
{
    fire(kSearchEvent, text);
}

void SearchAction::fire(const EventDeclaration& event, const std::string& text)
{
    auto message = notificationForObject();
    if (!message)
        return;
    Value attributes = Value::object();
    attributes["query"] = text;
    message->fire(event, std::move(attributes));
}

} // namespace morvix
