#pragma once
// The print dialog: the headless stand-in for the platform's printing.

#include "platform/foundation/Error.h"
#include "platform/graphics/Rect.h"
#include "platform/ui/Forward.h"
#include "platform/ui/screens/PrintInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix::platform {

/// The process's print dialog. A caller sets the options, the print info and the printing item
/// (the document's bytes), then presents it; the dialog stays up until someone answers it, and
/// then calls the completion once with (completed, error).
///
/// Nobody prints here. The dialog is answered by:
///  - a test, through the drivers `complete()`, `cancel()` and `fail(error)`;
///  - the embedding application, which sets an output folder: every job presented is then
///    written there as "<n>-<job name, or "job">.<pdf|png|jpg>" (n counting the jobs presented
///    by the process, from 1) and completed on the next turn of the main loop;
///  - the caller itself, with `dismiss`, which ends the job as not completed and without error.
/// Presenting while a job is shown first dismisses that job.
///
/// Every job presented is recorded (`jobs()`). Main thread only.
class PrintController final {
public:
    using Completion = std::function<void(PrintController& controller, bool completed, const std::optional<Error>& error)>;

    /// How a job was presented.
    enum class Presentation { Modal, FromRect };

    struct Job {
        PrintInfo printInfo;
        bool showsPageRange = false;
        bool showsNumberOfCopies = false;
        std::string bytes;
        Presentation presentation = Presentation::Modal;
        /// The anchor of a job presented from a rectangle, in `view`'s coordinates.
        Rect rect;
        std::weak_ptr<View> view;
        bool animated = false;
        /// Where the job was written, when an output folder was set.
        std::string outputPath;
    };

    static PrintController& shared();
    PrintController(const PrintController&) = delete;
    PrintController& operator=(const PrintController&) = delete;

    /// True for PDF, PNG and JPEG documents, recognised by their first bytes.
    static bool canPrintData(std::string_view data);
    /// The file name extension for the document's kind ("pdf", "png", "jpg"); empty for others.
    static std::string extensionForData(std::string_view data);

    bool showsPageRange() const { return m_showsPageRange; }
    void setShowsPageRange(bool shows) { m_showsPageRange = shows; }
    bool showsNumberOfCopies() const { return m_showsNumberOfCopies; }
    void setShowsNumberOfCopies(bool shows) { m_showsNumberOfCopies = shows; }
    const std::optional<PrintInfo>& printInfo() const { return m_printInfo; }
    void setPrintInfo(std::optional<PrintInfo> info) { m_printInfo = std::move(info); }
    const std::optional<std::string>& printingItem() const { return m_printingItem; }
    void setPrintingItem(std::optional<std::string> bytes) { m_printingItem = std::move(bytes); }

    /// Shows the dialog for the printing item; false (and no completion) without one.
    bool present(Animated animated, Completion completion);
    /// Shows the dialog anchored at `rect` in `view` (a popover on a pad).
    bool presentFromRect(const Rect& rect, const std::shared_ptr<View>& view, Animated animated, Completion completion);
    /// Takes the dialog away: the shown job ends as not completed, without error. Nothing when
    /// no job is shown.
    void dismiss(Animated animated);
    bool isPresented() const { return m_presented; }

    /// Every job presented since the process started (or the last reset), oldest first.
    const std::vector<Job>& jobs() const { return m_jobs; }

    // Drivers, for tests: each ends the shown job; nothing when none is shown.
    void complete() { finish(true, std::nullopt); }
    void cancel() { finish(false, std::nullopt); }
    void fail(Error error) { finish(false, std::move(error)); }

    /// Where jobs are written and then completed; empty (the default) leaves them shown until
    /// answered. The folder is made when missing.
    const std::string& outputFolder() const { return m_outputFolder; }
    void setOutputFolder(std::string path);

    /// Forgets the jobs, the settings and the shown job (whose completion is not called).
    void resetForTesting();

private:
    PrintController() = default;
    bool presentJob(Job job, Completion completion);
    void finish(bool completed, std::optional<Error> error);
    std::string writeJob(const Job& job) const;

    bool m_showsPageRange = false;
    bool m_showsNumberOfCopies = false;
    std::optional<PrintInfo> m_printInfo;
    std::optional<std::string> m_printingItem;
    std::vector<Job> m_jobs;
    bool m_presented = false;
    Completion m_completion;
    // Numbers the shown job, so that an answer posted for a job already ended is dropped.
    std::uint64_t m_shownJob = 0;
    std::string m_outputFolder;
};

} // namespace morvix::platform
