#pragma once
// What a print job says about itself: output type, printer, name and duplex mode.

#include <optional>
#include <string>

namespace morvix::platform {

/// The kind of output, by the platform's numbers.
enum class PrintOutputType { General = 0, Photo = 1, Grayscale = 2 };
/// Printing on both sides of the paper, by the platform's numbers.
enum class PrintDuplex { None = 0, LongEdge = 1, ShortEdge = 2 };

/// The settings of one print job, handed to the print controller. A fresh one
/// (`PrintInfo::printInfo()`) prints general output on one side, with no printer and no job
/// name chosen. Plain value type; any thread.
struct PrintInfo {
    PrintOutputType outputType = PrintOutputType::General;
    /// The printer the dialog offers first; nothing lets the user choose.
    std::optional<std::string> printerID;
    std::optional<std::string> jobName;
    PrintDuplex duplex = PrintDuplex::None;

    static PrintInfo printInfo() { return {}; }
    bool operator==(const PrintInfo&) const = default;
};

} // namespace morvix::platform
