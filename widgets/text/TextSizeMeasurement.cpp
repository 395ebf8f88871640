#include "widgets/text/TextSizeMeasurement.h"

#include "core/objects/RemoteException.h"
#include "core/outgoing/Notification.h"
#include "widgets/text/FontHelper.h"

#include <cmath>

namespace morvix {

using platform::Value;

namespace {

struct Item {
    std::string id;
    std::string text;
    std::vector<std::string> families;
    double size = 0;
    bool bold = false;
    bool italic = false;
    double wrapWidth = -1;
    Markup markup = Markup::No;
};

bool isFlag(const Value& value)
{
    return platform::isNumber(value);
}

bool isFamilyList(const Value& value)
{
    if (!value.is_array())
        return false;
    for (const auto& family : value) {
        if (!family.is_string())
            return false;
    }
    return true;
}

bool isWellFormed(const Value& item)
{
    if (!item.is_array() || item.size() < 8)
        return false;
    if (!item[1].is_string() || !isFamilyList(item[2]))
        return false;
    if (!platform::isNumber(item[3]) || !std::isfinite(*platform::numberValue(item[3])))
        return false;
    if (!isFlag(item[4]) || !isFlag(item[5]) || !isFlag(item[7]))
        return false;
    return item[6].is_null() || platform::isNumber(item[6]);
}

Item readItem(const Value& value)
{
    if (!isWellFormed(value))
        RemoteException::throwIncorrectParameter("measurement item %@ is malformed", platform::describe(value));
    Item item;
    // Result keys are texts on the wire; an id of another kind is keyed by its text.
    item.id = platform::describe(value[0]);
    item.text = value[1].get<std::string>();
    for (const auto& family : value[2])
        item.families.push_back(family.get<std::string>());
    item.size = *platform::numberValue(value[3]);
    item.bold = *platform::numberValue(value[4]) != 0;
    item.italic = *platform::numberValue(value[5]) != 0;
    if (!value[6].is_null())
        item.wrapWidth = *platform::numberValue(value[6]);
    item.markup = *platform::numberValue(value[7]) != 0 ? Markup::Yes : Markup::No;
    return item;
}

constexpr EventDeclaration kStoreMeasurementsCall {
    .name = "storeMeasurements",
    .attributes = R"({"results": {"id": [width, height], ...}})",
    .sentWithoutListen = true,
    .note = "the answer to \"measureItems\": each item's size in whole points, rounded up; a text is measured as far "
            "as its first 10,000 lines (one unbroken word at a wrap width of 1 is a line per character), and a longer "
            "one reports the height of those lines and the width of the widest",
    .operation = EventDeclaration::Operation::Call,
};

} // namespace

const WireTable& TextSizeMeasurement::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kStoreMeasurementsCall);
    return table;
}

TextSizeMeasurement::TextSizeMeasurement(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&TextSizeMeasurement::measureItems, "measureItems");
}

Value TextSizeMeasurement::measure(const Value& items)
{
    if (!items.is_array())
        RemoteException::throwIncorrectParameter("measurement items must be an array, got %@", platform::kindName(items));
    Value results = Value::object();
    for (const auto& value : items) {
        Item item = readItem(value);
        auto font = FontHelper::getFont(item.families, item.size, item.bold, item.italic);
        auto size = FontHelper::sizeForString(item.text, font, item.wrapWidth, item.markup, kMostMeasuredLines);
        results[item.id] = Value::array({ static_cast<std::int64_t>(size.width), static_cast<std::int64_t>(size.height) });
    }
    return results;
}

void TextSizeMeasurement::measureItems(const Value* properties)
{
    Value results = Value::object();
    if (properties && properties->is_object() && properties->contains("items") && !(*properties)["items"].is_null())
        results = measure((*properties)["items"]);
    auto message = notificationForObject();
    if (!message)
        return;
    Value reply = Value::object();
    reply["results"] = std::move(results);
    message->fire(kStoreMeasurementsCall, std::move(reply));
}

} // namespace morvix
