#pragma once
// A time zone chosen as a continent and a city.

#include "Libraries/SheetPicker/AbstractSheetPicker.h"
#include "platform/foundation/TimeZone.h"
#include "platform/ui/pickers/PickerView.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

/// Two wheels, continents and their cities, over ICU's canonical location zones: an id of two
/// parts gives continent and city, one of three parts the continent and "second/third" as the
/// city; other ids are left out. Continents are in the order they first appear. The initial
/// zone (the device's when none) is split the same way and selected when both parts are
/// found, else the wheels start on their first rows. City rows read "<city> (<abbreviation>)"
/// with the zone's short name now, in the device's locale.
///
/// Done hands the zone "<continent>/<city>" (none when no continent or city is selected) to the
/// done block, else to the target's success action when it responds, else logs the invalid
/// target line. A custom button's value, a zone id, becomes the initial zone and is selected.
/// Main thread only.
class SheetLocalePicker final : public AbstractSheetPicker, public platform::PickerViewDataSource, public platform::PickerViewDelegate {
public:
    using SuccessAction = SheetPickerAction<std::optional<platform::TimeZone>, const SheetPickerOrigin&>;
    using DoneBlock = std::function<void(SheetLocalePicker& picker, const std::optional<platform::TimeZone>& timeZone)>;
    using CancelBlock = std::function<void(SheetLocalePicker& picker)>;
    static constexpr double kContinentWidth = 100;
    static constexpr double kCityWidth = 160;
    static constexpr double kRowHeight = 32;
    static constexpr double kRowFontSize = 20;

    static std::shared_ptr<SheetLocalePicker> create(std::optional<std::string> title, std::optional<platform::TimeZone> initialSelection,
        SheetPickerTarget target, SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin);
    static std::shared_ptr<SheetLocalePicker> create(std::optional<std::string> title, std::optional<platform::TimeZone> initialSelection,
        DoneBlock doneBlock, CancelBlock cancelBlock, SheetPickerOrigin origin);

    const std::vector<std::string>& continents() const { return m_continents; }
    const std::vector<std::string>& cities(const std::string& continent) const;
    const std::optional<std::string>& selectedContinent() const { return m_selectedContinent; }
    const std::optional<std::string>& selectedCity() const { return m_selectedCity; }

    int numberOfComponents(platform::PickerView& picker) override;
    int numberOfRows(platform::PickerView& picker, int component) override;
    std::shared_ptr<platform::View> viewForRow(platform::PickerView& picker, int row, int component, const std::shared_ptr<platform::View>& reusing) override;
    std::optional<double> widthForComponent(platform::PickerView& picker, int component) override;
    std::optional<double> rowHeightForComponent(platform::PickerView& picker, int component) override;
    void didSelectRow(platform::PickerView& picker, int row, int component) override;

protected:
    std::shared_ptr<platform::View> configuredPickerView() override;
    void notifyTargetDidSucceed(const SheetPickerOrigin& origin) override;
    void notifyTargetDidCancel(const SheetPickerOrigin& origin) override;
    void customButtonPressed(int index) override;

private:
    SheetLocalePicker(std::optional<std::string> title, std::optional<platform::TimeZone> initialSelection, SheetPickerTarget target,
        SuccessAction successAction, CancelAction cancelAction, SheetPickerOrigin origin);
    void selectInitialZone(platform::PickerView& wheels);
    const std::vector<std::string>& selectedCities() const;

    std::optional<platform::TimeZone> m_initialTimeZone;
    std::optional<std::string> m_selectedContinent;
    std::optional<std::string> m_selectedCity;
    std::map<std::string, std::vector<std::string>> m_citiesByContinent;
    std::vector<std::string> m_continents;
    SuccessAction m_successAction;
    DoneBlock m_doneBlock;
    CancelBlock m_cancelBlock;
};

} // namespace morvix
