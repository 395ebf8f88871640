#pragma once
// The service that prints documents the peer names.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/SessionBudget.h"
#include "platform/net/Url.h"
#include "platform/ui/screens/PrintInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

namespace platform {
class PrintController;
}
class DownloadOutputStream;
class NetHTTPRequestOperation;
class POProgressHUD;

/// "morvix.Printer": the call "print" sets up the process's print dialog (options and a fresh
/// print info) and prints the document "url" names, or the Base64 "data" when there is no
/// "url". A file URL is read at once; any other URL is downloaded into the job file under a ring
/// overlay on the session's view that fills with the download. The dialog's outcome is sent at
/// once as "Success", "Cancel" or "Error" {"message"}, each with the job's "printer" and
/// "jobName" when it had them, and the dialog is closed.
///
/// Rules:
///  1. The job file is the documents folder / the object id with every character but letters,
///     digits, "-", "_" and "." percent-encoded (a leading "." too), then ".job": no id reaches
///     outside the folder.
///  2. A new "print" makes its job the current one, stops a running download of the earlier
///     job (its callbacks are dropped and its overlay hidden) and closes the earlier dialog, whose
///     job ends as "Cancel" with its own printer and job name. A job's end closes the dialog only
///     while that job is still the current one.
///  3. An unknown or zero expected length shows the spinner instead of the ring; progress is
///     read / expected clamped to 0..1.
///  4. A "url" that resolves to nothing, a file that cannot be read, "data" that is not Base64
///     text and a document the dialog cannot print all give "Error" {"message": "Can not print
///     the provided url"}.
///  5. A file is printed only when it is a regular file inside the folders a peer may read (the
///     application's folder and the local resource roots, links resolved) of at most
///     `maximumDocumentSize` bytes; anything else is the error of rule 4, and the refusal is
///     logged. A download that grows past `maximumDocumentSize` is cancelled and ends in "Error"
///     with the download's error, as any failed download.
///  6. A download is one of the session's downloads in flight (`platform::SessionBudget`): past
///     `kMaximumDownloads` at once it waits for a place before its overlay shows, and a document
///     that would take the bytes they hold past `kMaximumDownloadBytes` ends in "Error" as in
///     rule 5. Its bytes count until the document is read from the job file.
///  7. The job file lives only while its download does: it is deleted once the document is read
///     into memory for the dialog, when the download fails or is stopped, by `destroy`, when the
///     object goes, and, with every job file the session still holds, when the session ends.
///  8. `destroy` stops a download, closes the dialog without reporting and deletes the job file.
/// Main thread.
class Printer final : public RemoteClass<Printer>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "morvix.Printer";
    static constexpr const char* kCannotPrintMessage = "Can not print the provided url";
    /// The largest document printed from a file or a download: the cap of every download a
    /// peer starts.
    static constexpr std::uint64_t kMaximumDocumentSize = MorvixHTTPClient::kMaximumDownloadSize;

    Printer(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);
    ~Printer() override;

    static const PropertyTable& properties();
    /// "Success", "Cancel" and "Error" of a job.
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void synchronize() override { }
    void print(const platform::Value* properties);
    void destroy() override;

    /// The job file's path for this object (rule 1).
    std::string jobFilePath() const;
    /// The job file's name for an object id (rule 1): "morvix.Printer" gives "morvix.Printer.job".
    static std::string jobFileName(const std::string& objectId);
    /// The bytes of Base64 text (standard alphabet, padding optional, white space ignored);
    /// nothing for any other text.
    static std::optional<std::string> decodeBase64(std::string_view text);

    /// The largest document printed from a file or a download (rule 5); kMaximumDocumentSize
    /// unless the application sets another. A download already running keeps its cap.
    std::uint64_t maximumDocumentSize() const { return m_maximumDocumentSize; }
    void setMaximumDocumentSize(std::uint64_t bytes) { m_maximumDocumentSize = bytes; }

    /// The overlay of the running download; null when none runs.
    std::shared_ptr<POProgressHUD> progressHUD() const { return m_hud; }

private:
    // One "print": its dialog's settings travel with it, since the print dialog is one for the
    // whole application and another printer object may set it up while this job downloads.
    struct Job {
        std::optional<std::string> printer;
        std::optional<std::string> jobName;
        platform::PrintInfo info;
        bool showsPageRange = false;
        bool showsNumberOfCopies = false;
    };

    /// The job's settings from the call's arguments.
    static void readSettings(const platform::Value& properties, Job& job);
    /// Sets the print dialog up with the job's settings.
    void setUpController(const Job& job);
    void downloadAndPrint(const platform::Url& url, const std::shared_ptr<Job>& job);
    void startDownload(const platform::Url& url, const std::shared_ptr<Job>& job, platform::SessionBudget::Share place);
    void downloadProgress(std::int64_t read, std::int64_t expected);
    void downloadFinished(const std::shared_ptr<Job>& job, const std::optional<platform::Error>& error);
    void printData(std::string bytes, const std::shared_ptr<Job>& job);
    void jobEnded(const std::shared_ptr<Job>& job, bool completed, const std::optional<platform::Error>& error);
    void fail(const std::shared_ptr<Job>& job, const std::string& message);
    void sendEvent(const EventDeclaration& event, platform::Value attributes, const Job& job);
    void stopDownload();
    void closeController();
    void deleteJobFile();

    std::optional<std::string> m_jobName;
    std::optional<std::string> m_printer;
    std::optional<std::string> m_file;

    platform::PrintController* m_controller = nullptr; // the shared dialog while a job holds it
    std::shared_ptr<Job> m_job; // the current job
    std::shared_ptr<NetHTTPRequestOperation> m_download;
    // The download's wait for a place among the session's downloads, its place, and the stream
    // that counts its bytes.
    platform::SessionBudget::Wait m_wait;
    platform::SessionBudget::Share m_place;
    std::shared_ptr<DownloadOutputStream> m_stream;
    bool m_holdsJobFile = false; // whether this object made the job file that is there now
    std::shared_ptr<POProgressHUD> m_hud;
    bool m_destroyed = false;
    std::uint64_t m_maximumDocumentSize = kMaximumDocumentSize;
};

} // namespace morvix
