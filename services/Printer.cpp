#include "services/Printer.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "core/session/CappedOutputStream.h"
#include "core/session/DownloadOutputStream.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/ConfinedFile.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/FileOutputStream.h"
#include "platform/ui/screens/PrintController.h"
#include "shell/progress/POProgressHUD.h"
#include "widgets/foundation/Display.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace morvix {

using platform::Value;

namespace {

const Value* argument(const Value& properties, const char* key)
{
    auto found = properties.find(key);
    return found == properties.end() || found->is_null() ? nullptr : &*found;
}

std::optional<std::string> stringArgument(const Value& properties, const char* key)
{
    const Value* value = argument(properties, key);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

bool flagArgument(const Value& properties, const char* key)
{
    const Value* value = argument(properties, key);
    return value && platform::boolValue(*value);
}

int base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

constexpr EventDeclaration kSuccessEvent {
    .name = "Success",
    .attributes = R"({"printer": string, "jobName": string})",
    .sentWithoutListen = true,
    .note = "when a job started by \"print\" was printed; \"printer\" and \"jobName\" as the call gave them, when it did",
};
constexpr EventDeclaration kCancelEvent {
    .name = "Cancel",
    .attributes = R"({"printer": string, "jobName": string})",
    .sentWithoutListen = true,
    .note = "when the user cancelled a job started by \"print\"; \"printer\" and \"jobName\" as the call gave them",
};
constexpr EventDeclaration kErrorEvent {
    .name = "Error",
    .attributes = R"({"message": string, "printer": string, "jobName": string})",
    .sentWithoutListen = true,
    .note = "when a job failed (its document could not be had or printed), with the reason; \"printer\" and "
            "\"jobName\" as the call gave them",
};

} // namespace

const WireTable& Printer::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kSuccessEvent).event(kCancelEvent).event(kErrorEvent);
    return table;
}

Printer::Printer(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&Printer::print, "print");
}

Printer::~Printer()
{
    // A session torn down without destroying its objects leaves no dialog up for the next one,
    // and no job file.
    if (m_controller && platform::MainLoop::main().isMainThread())
        m_controller->dismiss(platform::Animated::No);
    if (m_download)
        m_download->cancel();
    deleteJobFile();
}

const PropertyTable& Printer::properties()
{
    static const PropertyTable table = PropertyTable::extend<Printer>(BasicObject::properties())
                                           .string("jobName", &Printer::m_jobName, &Printer::m_jobName)
                                           .string("printer", &Printer::m_printer, &Printer::m_printer)
                                           .string("file", &Printer::m_file, &Printer::m_file);
    return table;
}

const PropertyNames& Printer::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "jobName", "printer", "file" });
    return names;
}

std::string Printer::jobFileName(const std::string& objectId)
{
    std::string name;
    for (std::size_t i = 0; i < objectId.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(objectId[i]);
        bool kept = std::isalnum(c) || c == '-' || c == '_' || (c == '.' && i > 0);
        if (kept) {
            name += static_cast<char>(c);
            continue;
        }
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        name += escaped;
    }
    return name + ".job";
}

std::string Printer::jobFilePath() const
{
    return (std::filesystem::path(platform::BundleInfo::main().documentsPath) / jobFileName(objectId())).string();
}

std::optional<std::string> Printer::decodeBase64(std::string_view text)
{
    std::string bytes;
    unsigned buffer = 0;
    int bits = 0;
    std::size_t digits = 0;
    std::size_t padding = 0;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        int digit = base64Digit(c);
        if (digit < 0 || padding > 0)
            return std::nullopt; // not Base64, or data after the padding
        buffer = (buffer << 6) | static_cast<unsigned>(digit);
        bits += 6;
        ++digits;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    // A lone digit in the last group, or more padding than the group leaves room for, is no
    // Base64 text.
    if (digits % 4 == 1 || padding > 2 || (padding > 0 && (digits + padding) % 4 != 0))
        return std::nullopt;
    return bytes;
}

void Printer::print(const Value* properties)
{
    static const Value kNone = Value::object();
    const Value& arguments = properties && properties->is_object() ? *properties : kNone;
    // The new job is current before anything of the earlier one ends, so the earlier dialog's
    // end cannot close the dialog this job sets up.
    auto job = std::make_shared<Job>();
    m_job = job;
    stopDownload();
    closeController();
    readSettings(arguments, *job);
    setUpController(*job);

    if (argument(arguments, "url")) {
        auto client = this->client();
        auto text = stringArgument(arguments, "url");
        auto url = client && text ? client->relativeURLToServer(*text) : std::nullopt;
        if (!url)
            return fail(job, kCannotPrintMessage);
        if (!url->isFileURL())
            return downloadAndPrint(*url, job);
        // The peer names the file, so it must lie where a peer may read (refusals are logged).
        auto http = client->httpClient();
        auto file = http ? http->readLocalFile(*url, m_maximumDocumentSize) : platform::ConfinedFile::Result();
        if (!http || !file)
            return fail(job, kCannotPrintMessage);
        return printData(std::move(file.bytes), job);
    }
    if (argument(arguments, "data")) {
        auto text = stringArgument(arguments, "data");
        auto bytes = text ? decodeBase64(*text) : std::nullopt;
        if (!bytes)
            return fail(job, kCannotPrintMessage);
        printData(std::move(*bytes), job);
    }
}

void Printer::readSettings(const Value& arguments, Job& job)
{
    job.showsPageRange = flagArgument(arguments, "showPageRange");
    job.showsNumberOfCopies = flagArgument(arguments, "showNumberOfCopies");
    platform::PrintInfo info = platform::PrintInfo::printInfo();
    auto outputType = stringArgument(arguments, "outputType");
    if (outputType == "photo")
        info.outputType = stringArgument(arguments, "quality") == "low" ? platform::PrintOutputType::General : platform::PrintOutputType::Photo;
    else if (outputType == "grayscale")
        info.outputType = platform::PrintOutputType::Grayscale;
    if (auto printer = stringArgument(arguments, "printer"))
        info.printerID = printer;
    if (auto jobName = stringArgument(arguments, "jobName"))
        info.jobName = jobName;
    info.duplex = flagArgument(arguments, "duplex") ? platform::PrintDuplex::LongEdge : platform::PrintDuplex::None;
    job.printer = info.printerID;
    job.jobName = info.jobName;
    job.info = std::move(info);
}

void Printer::setUpController(const Job& job)
{
    m_controller = &platform::PrintController::shared();
    m_controller->setShowsPageRange(job.showsPageRange);
    m_controller->setShowsNumberOfCopies(job.showsNumberOfCopies);
    m_controller->setPrintingItem(std::nullopt);
    m_controller->setPrintInfo(job.info);
}

void Printer::downloadAndPrint(const platform::Url& url, const std::shared_ptr<Job>& job)
{
    auto client = this->client();
    if (!client || !client->httpClient())
        return fail(job, kCannotPrintMessage);
    auto weak = std::weak_ptr<Printer>(std::static_pointer_cast<Printer>(shared_from_this()));
    // A place that comes after a later "print" or the destroy goes back at once.
    m_wait = client->sessionBudget()->whenDownloadPlaceFree([weak, job, url](platform::SessionBudget::Share place) {
        auto self = weak.lock();
        if (self && self->m_job == job)
            self->startDownload(url, job, std::move(place));
    });
}

void Printer::startDownload(const platform::Url& url, const std::shared_ptr<Job>& job, platform::SessionBudget::Share place)
{
    m_wait.reset();
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    if (!http)
        return fail(job, kCannotPrintMessage);
    m_place = std::move(place);
    const auto& budget = client->sessionBudget();
    std::string path = jobFilePath();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    m_holdsJobFile = true;
    budget->holdFile(path);

    if (auto view = client->rootView()) {
        m_hud = POProgressHUD::showHUDAddedTo(view, platform::Animated::Yes);
        m_hud->setMode(POProgressHUDMode::AnnularDeterminate);
        m_hud->setRemoveFromSuperViewOnHide(true);
    }
    auto weak = std::weak_ptr<Printer>(std::static_pointer_cast<Printer>(shared_from_this()));
    // Each callback first checks that its job is still the current one: a later "print" or
    // destroy drops a running download's callbacks.
    auto current = [weak, job]() -> std::shared_ptr<Printer> {
        auto self = weak.lock();
        return self && self->m_job == job ? self : nullptr;
    };
    m_stream = DownloadOutputStream::create(budget->share(platform::SessionBudget::Resource::DownloadBytes),
        platform::FileOutputStream::create(path, platform::FileMode::Truncate));
    m_download = http->newOperationWithRequestAndOutput(
        http->requestWithURL(url),
        [current, job](auto&, auto&) {
            if (auto self = current())
                self->downloadFinished(job, std::nullopt);
        },
        [current, job](auto&, auto&, const platform::Error& error) {
            if (auto self = current())
                self->downloadFinished(job, error);
        },
        CappedOutputStream::create(m_stream, m_maximumDocumentSize));
    m_download->setDownloadProgressBlock([current](std::int64_t, std::int64_t read, std::int64_t expected) {
        if (auto self = current())
            self->downloadProgress(read, expected);
    });
    m_download->start();
}

void Printer::downloadProgress(std::int64_t read, std::int64_t expected)
{
    if (!m_hud)
        return;
    // Without a known length there is no share to show: the overlay spins instead.
    if (expected <= 0) {
        m_hud->setMode(POProgressHUDMode::Indeterminate);
        return;
    }
    m_hud->setProgress(static_cast<float>(std::clamp(double(read) / double(expected), 0.0, 1.0)));
}

void Printer::downloadFinished(const std::shared_ptr<Job>& job, const std::optional<platform::Error>& error)
{
    m_download.reset();
    m_place.release();
    // The document's bytes count among the session's downloads until they are read.
    auto held = m_stream ? m_stream->takeShare() : platform::SessionBudget::Share();
    m_stream.reset();
    if (auto hud = std::exchange(m_hud, nullptr))
        hud->hide(platform::Animated::Yes);
    if (error) {
        // What a failed download left (up to the cap) is never printed.
        deleteJobFile();
        sendEvent(kErrorEvent, { { "message", error->description() } }, *job);
        closeController();
        return;
    }
    auto file = platform::ConfinedFile::readRegularFile(jobFilePath(), m_maximumDocumentSize);
    // The document is in memory now, or cannot be had: the job file has done its work.
    deleteJobFile();
    if (!file)
        return fail(job, kCannotPrintMessage);
    printData(std::move(file.bytes), job);
}

void Printer::printData(std::string bytes, const std::shared_ptr<Job>& job)
{
    if (!m_controller || !platform::PrintController::canPrintData(bytes))
        return fail(job, kCannotPrintMessage);
    // Another printer object may have set the dialog up since this job began.
    setUpController(*job);
    m_controller->setPrintingItem(std::move(bytes));
    auto weak = std::weak_ptr<Printer>(std::static_pointer_cast<Printer>(shared_from_this()));
    auto completion = [weak, job](platform::PrintController&, bool completed, const std::optional<platform::Error>& error) {
        if (auto self = weak.lock())
            self->jobEnded(job, completed, error);
    };
    auto client = this->client();
    auto view = client ? client->rootView() : nullptr;
    if (platform::DeviceInfo::current().idiom() == platform::DeviceIdiom::Pad && view) {
        auto display = std::dynamic_pointer_cast<Display>(client->rootObject());
        platform::Point point = display ? display->cursorLocation() : platform::Point {};
        m_controller->presentFromRect({ point.x, point.y, 1, 1 }, view, platform::Animated::Yes, completion);
        return;
    }
    m_controller->present(platform::Animated::Yes, completion);
}

void Printer::jobEnded(const std::shared_ptr<Job>& job, bool completed, const std::optional<platform::Error>& error)
{
    if (m_destroyed)
        return;
    if (completed)
        sendEvent(kSuccessEvent, Value::object(), *job);
    else if (error)
        sendEvent(kErrorEvent, { { "message", error->description() } }, *job);
    else
        sendEvent(kCancelEvent, Value::object(), *job);
    if (m_job == job)
        closeController();
}

void Printer::fail(const std::shared_ptr<Job>& job, const std::string& message)
{
    sendEvent(kErrorEvent, { { "message", message } }, *job);
    if (m_job == job)
        closeController();
}

void Printer::sendEvent(const EventDeclaration& event, Value attributes, const Job& job)
{
    if (job.printer)
        attributes["printer"] = *job.printer;
    if (job.jobName)
        attributes["jobName"] = *job.jobName;
    Notifications::forObject(objectId())->fire(event, std::move(attributes));
}

void Printer::stopDownload()
{
    m_wait.reset();
    m_place.release();
    if (auto download = std::exchange(m_download, nullptr)) {
        download->cancel();
        deleteJobFile();
    }
    m_stream.reset();
    if (auto hud = std::exchange(m_hud, nullptr))
        hud->hide(platform::Animated::Yes);
}

void Printer::closeController()
{
    // Forgotten first: dismissing ends the shown job, whose end may close again.
    if (auto* controller = std::exchange(m_controller, nullptr))
        controller->dismiss(platform::Animated::Yes);
}

void Printer::deleteJobFile()
{
    // Only the file this object made: a printer of the same id in a later session may have made
    // the one there now.
    if (!std::exchange(m_holdsJobFile, false))
        return;
    std::string path = jobFilePath();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (auto client = this->client())
        client->sessionBudget()->releaseFile(path);
}

void Printer::destroy()
{
    m_destroyed = true;
    m_job.reset();
    stopDownload();
    if (auto* controller = std::exchange(m_controller, nullptr))
        controller->dismiss(platform::Animated::No);
    deleteJobFile();
    RemoteClass::destroy();
}

} // namespace morvix
