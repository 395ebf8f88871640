#pragma once
// The service that measures texts for the peer.

#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"

#include <string_view>

namespace morvix {

/// The service object "zub.client.TextSizeMeasurement": the peer lays out text-bearing widgets
/// itself and asks here how large texts are on this device. The call "measureItems" takes
/// {"items": [[id, text, families, size, bold, italic, wrapWidth, markup], ...]} and is answered
/// at once by one call "storeMeasurements" {"results": {id: [width, height], ...}} on the
/// service's own id. Made by the type table on first use, under its type name as id. Main
/// thread.
///
/// A text is measured as far as its first `kMostMeasuredLines` lines: the height of a longer
/// text (one unbroken word at a wrap width of 1 is a line per character) is that of those lines,
/// and its width the widest of them. No view shows that many lines at once, and the work of
/// measuring grows with the lines.
class TextSizeMeasurement final : public RemoteClass<TextSizeMeasurement>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "zub.client.TextSizeMeasurement";
    /// The most lines of one text that are measured.
    static constexpr int kMostMeasuredLines = 10000;

    TextSizeMeasurement(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    /// The call "storeMeasurements" it answers with.
    static const WireTable& wire();

    /// Does nothing: the service has no state to report.
    void synchronize() override { }

    /// Measures every item and sends the results. Absent or null "items" measure nothing and
    /// reply {"results": {}}. Raises "Incorrect Parameter", and sends nothing, when "items" is
    /// not an array or an item is malformed (see `measure`).
    void measureItems(const platform::Value* properties);

    /// The results dictionary for the items, in item order, a later item replacing an earlier
    /// one with the same id. Each item is an array of at least eight elements: an id (a
    /// non-string id is keyed by its text), the text (a string), the families (an array of
    /// strings), the size (a finite number), bold and italic (booleans or numbers), the wrap
    /// width (a number; null or a value of 0 or less means no wrapping) and the markup flag
    /// (a boolean or number). Each size is [width, height] in whole points, rounded up, of at
    /// most `kMostMeasuredLines` lines. Raises "Incorrect Parameter" for any other item.
    static platform::Value measure(const platform::Value& items);
};

} // namespace morvix
