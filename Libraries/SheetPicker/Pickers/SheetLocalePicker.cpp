#include "Libraries/SheetPicker/Pickers/SheetLocalePicker.h"

#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/graphics/Font.h"
#include "platform/ui/controls/Label.h"

#include <algorithm>

namespace morvix {

using namespace platform;

namespace {

// A zone id as continent and city: "Europe/Zurich" or "America/Indiana/Knox" (the city
// "Indiana/Knox"); nothing for ids of one part or more than three.
std::optional<std::pair<std::string, std::string>> split(const std::string& identifier)
{
    auto first = identifier.find('/');
    if (first == std::string::npos)
        return std::nullopt;
    std::string rest = identifier.substr(first + 1);
    if (std::count(rest.begin(), rest.end(), '/') > 1)
        return std::nullopt;
    return std::make_pair(identifier.substr(0, first), rest);
}

const std::vector<std::string> kNoCities;

} // namespace

SheetLocalePicker::SheetLocalePicker(std::optional<std::string> title, std::optional<TimeZone> initialSelection, SheetPickerTarget target,
    SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin)
    : AbstractSheetPicker(std::move(target), std::move(cancelAction), std::move(origin))
    , m_initialTimeZone(std::move(initialSelection))
    , m_successAction(std::move(successAction))
{
    setTitle(std::move(title));
    for (const auto& identifier : TimeZone::knownIdentifiers()) {
        auto parts = split(identifier);
        if (!parts)
            continue;
        auto& cities = m_citiesByContinent[parts->first];
        if (cities.empty())
            m_continents.push_back(parts->first);
        cities.push_back(parts->second);
    }
}

std::shared_ptr<SheetLocalePicker> SheetLocalePicker::create(std::optional<std::string> title, std::optional<TimeZone> initialSelection,
    SheetPickerTarget target, SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin)
{
    auto picker = std::shared_ptr<SheetLocalePicker>(new SheetLocalePicker(std::move(title), std::move(initialSelection), std::move(target),
        std::move(successAction), std::move(cancelAction), std::move(origin)));
    picker->finishCreation();
    return picker;
}

std::shared_ptr<SheetLocalePicker> SheetLocalePicker::create(std::optional<std::string> title, std::optional<TimeZone> initialSelection,
    DoneBlock doneBlock, CancelBlock cancelBlock, SheetPickerOrigin origin)
{
    auto picker = create(std::move(title), std::move(initialSelection), {}, {}, {}, std::move(origin));
    picker->m_doneBlock = std::move(doneBlock);
    picker->m_cancelBlock = std::move(cancelBlock);
    return picker;
}

const std::vector<std::string>& SheetLocalePicker::cities(const std::string& continent) const
{
    auto found = m_citiesByContinent.find(continent);
    return found == m_citiesByContinent.end() ? kNoCities : found->second;
}

const std::vector<std::string>& SheetLocalePicker::selectedCities() const
{
    return m_selectedContinent ? cities(*m_selectedContinent) : kNoCities;
}

std::shared_ptr<View> SheetLocalePicker::configuredPickerView()
{
    auto wheels = PickerView::create({ 0, kPickerY, viewSize().width, kPickerHeight });
    auto self = std::static_pointer_cast<SheetLocalePicker>(shared_from_this());
    wheels->setDelegate(std::static_pointer_cast<PickerViewDelegate>(self));
    wheels->setDataSource(std::static_pointer_cast<PickerViewDataSource>(self));
    wheels->setShowsSelectionIndicator(true);
    setPickerView(wheels);
    selectInitialZone(*wheels);
    return wheels;
}

void SheetLocalePicker::selectInitialZone(PickerView& wheels)
{
    auto parts = split(m_initialTimeZone.value_or(TimeZone::current()).identifier());
    m_selectedContinent = m_continents.empty() ? std::nullopt : std::optional(m_continents.front());
    wheels.reloadAllComponents();
    int continentRow = 0;
    int cityRow = 0;
    if (parts) {
        auto continent = std::find(m_continents.begin(), m_continents.end(), parts->first);
        const auto& list = cities(parts->first);
        auto city = std::find(list.begin(), list.end(), parts->second);
        if (continent != m_continents.end() && city != list.end()) {
            continentRow = static_cast<int>(continent - m_continents.begin());
            cityRow = static_cast<int>(city - list.begin());
        }
    }
    if (!m_continents.empty())
        m_selectedContinent = m_continents[static_cast<std::size_t>(continentRow)];
    wheels.reloadAllComponents();
    wheels.selectRow(continentRow, 0, Animated::No);
    wheels.selectRow(cityRow, 1, Animated::No);
    const auto& list = selectedCities();
    m_selectedCity = list.empty() ? std::nullopt : std::optional(list[static_cast<std::size_t>(std::max(0, wheels.selectedRow(1)))]);
}

int SheetLocalePicker::numberOfComponents(PickerView&)
{
    return 2;
}

int SheetLocalePicker::numberOfRows(PickerView&, int component)
{
    return static_cast<int>(component == 0 ? m_continents.size() : selectedCities().size());
}

std::shared_ptr<View> SheetLocalePicker::viewForRow(PickerView&, int row, int component, const std::shared_ptr<View>&)
{
    double width = component == 0 ? kContinentWidth : kCityWidth;
    auto label = Label::create({ 0, 0, width, kRowHeight });
    label->setTextAlignment(TextAlignment::Center);
    label->setFont(Font::system(kRowFontSize));
    label->setBackgroundColor(std::nullopt);
    if (component == 0) {
        label->setText(m_continents[static_cast<std::size_t>(row)]);
        return label;
    }
    const std::string& city = selectedCities()[static_cast<std::size_t>(row)];
    auto zone = TimeZone::withIdentifier(*m_selectedContinent + "/" + city);
    std::string abbreviation = zone ? zone->abbreviation(Date::now(), Locale::current()) : std::string();
    label->setText(city + " (" + abbreviation + ")");
    return label;
}

std::optional<double> SheetLocalePicker::widthForComponent(PickerView&, int component)
{
    return component == 0 ? kContinentWidth : kCityWidth;
}

std::optional<double> SheetLocalePicker::rowHeightForComponent(PickerView&, int)
{
    return kRowHeight;
}

void SheetLocalePicker::didSelectRow(PickerView& picker, int row, int component)
{
    if (component == 0) {
        m_selectedContinent = m_continents[static_cast<std::size_t>(row)];
        // The city wheel reloads (clamping its row) before its row is read.
        picker.reloadComponent(1);
        const auto& list = selectedCities();
        int city = picker.selectedRow(1);
        m_selectedCity = city < 0 ? std::nullopt : std::optional(list[static_cast<std::size_t>(city)]);
        return;
    }
    m_selectedCity = selectedCities()[static_cast<std::size_t>(row)];
}

void SheetLocalePicker::notifyTargetDidSucceed(const SheetPickerOrigin& origin)
{
    std::optional<TimeZone> zone;
    if (m_selectedContinent && m_selectedCity)
        zone = TimeZone::withIdentifier(*m_selectedContinent + "/" + *m_selectedCity);
    if (m_doneBlock) {
        m_doneBlock(*this, zone);
        return;
    }
    if (target().responds(m_successAction)) {
        m_successAction.function(zone, origin);
        return;
    }
    logInvalidTarget(m_successAction.name);
}

void SheetLocalePicker::notifyTargetDidCancel(const SheetPickerOrigin& origin)
{
    if (m_cancelBlock) {
        m_cancelBlock(*this);
        return;
    }
    AbstractSheetPicker::notifyTargetDidCancel(origin);
}

void SheetLocalePicker::customButtonPressed(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= customButtons().size())
        return;
    const Value& value = customButtons()[static_cast<std::size_t>(index)].value;
    auto wheels = std::dynamic_pointer_cast<PickerView>(pickerView());
    if (!value.is_string() || !wheels)
        return;
    auto zone = TimeZone::withIdentifier(value.get<std::string>());
    if (!zone)
        return;
    m_initialTimeZone = zone;
    selectInitialZone(*wheels);
}

} // namespace morvix
