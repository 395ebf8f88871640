#include "tests/support/TestHttpServer.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <zlib.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace morvix::testing {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

const char* reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

std::optional<std::string> findHeader(const TestHeaders& headers, std::string_view name)
{
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name))
            return value;
    }
    return std::nullopt;
}

} // namespace

/// One accepted socket, plain or TLS, with a read buffer.
class TestConnection {
public:
    TestConnection(int fd, SSL* ssl) : m_fd(fd), m_ssl(ssl) { }
    ~TestConnection()
    {
        if (m_ssl)
            SSL_free(m_ssl);
    }

    bool send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            long sent = m_ssl ? SSL_write(m_ssl, bytes.data(), static_cast<int>(bytes.size()))
                              : ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                if (!m_ssl && sent < 0 && errno == EINTR)
                    continue;
                return false;
            }
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }

    // Fills the buffer with more bytes; false at the end of the stream.
    bool fill()
    {
        char chunk[16384];
        long got = m_ssl ? SSL_read(m_ssl, chunk, sizeof chunk) : ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return false;
        m_buffer.append(chunk, static_cast<size_t>(got));
        return true;
    }

    std::optional<std::string> readLine()
    {
        for (;;) {
            auto end = m_buffer.find("\r\n");
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 2);
                return line;
            }
            if (m_buffer.size() > 1 << 20 || !fill())
                return std::nullopt;
        }
    }

    std::optional<std::string> readBytes(size_t count)
    {
        while (m_buffer.size() < count) {
            if (!fill())
                return std::nullopt;
        }
        std::string bytes = m_buffer.substr(0, count);
        m_buffer.erase(0, count);
        return bytes;
    }

private:
    int m_fd;
    SSL* m_ssl;
    std::string m_buffer;
};

std::optional<std::string> RecordedRequest::header(std::string_view name) const
{
    return findHeader(headers, name);
}

void TestGate::open()
{
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
    }
    m_changed.notify_all();
}

bool TestGate::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool TestGate::wait(const std::atomic<bool>& stopping) const
{
    std::unique_lock lock(m_mutex);
    // The stop flag is not tied to this gate's condition, so look at it every few milliseconds.
    while (!m_open && !stopping.load())
        m_changed.wait_for(lock, std::chrono::milliseconds(10));
    return m_open;
}

bool ResponseWriter::writeHead(int status, const TestHeaders& headers, std::string reason)
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + (reason.empty() ? reasonPhrase(status) : reason) + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    m_headWritten = true;
    auto encoding = findHeader(headers, "Transfer-Encoding");
    m_delimited = findHeader(headers, "Content-Length").has_value() || (encoding && equalsIgnoringCase(*encoding, "chunked"));
    return m_connection.send(head);
}

bool ResponseWriter::write(std::string_view bytes)
{
    return m_connection.send(bytes);
}

bool ResponseWriter::writeChunk(std::string_view bytes)
{
    if (bytes.empty())
        return true;
    char size[32];
    snprintf(size, sizeof size, "%zx\r\n", bytes.size());
    return m_connection.send(size) && m_connection.send(bytes) && m_connection.send("\r\n");
}

bool ResponseWriter::endChunks()
{
    return m_connection.send("0\r\n\r\n");
}

bool ResponseWriter::respond(int status, std::string_view body, TestHeaders headers)
{
    headers.emplace_back("Content-Length", std::to_string(body.size()));
    return writeHead(status, headers) && write(body);
}

bool ResponseWriter::waitFor(const TestGate& gate)
{
    return gate.wait(m_stopping);
}

void ResponseWriter::delay(std::chrono::milliseconds duration)
{
    auto until = std::chrono::steady_clock::now() + duration;
    while (!m_stopping.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(5), until - std::chrono::steady_clock::now()));
}

bool ResponseWriter::isStopping() const
{
    return m_stopping.load();
}

TestHttpServer::TestHttpServer() = default;

TestHttpServer::~TestHttpServer()
{
    stop();
    if (m_sslContext)
        SSL_CTX_free(static_cast<SSL_CTX*>(m_sslContext));
}

void TestHttpServer::route(std::string path, TestResponse response)
{
    handle(std::move(path), [response = std::move(response)](const RecordedRequest&, ResponseWriter& writer) {
        sendScripted(response, writer);
    });
}

void TestHttpServer::handle(std::string path, Handler handler)
{
    m_handlers[std::move(path)] = std::move(handler);
}

void TestHttpServer::start()
{
    // A client that goes away mid-response must not kill the test program.
    std::signal(SIGPIPE, SIG_IGN);
    listen();
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

void TestHttpServer::startTLS(const TestCertificate& certificate, const std::vector<TestCertificate>& chain)
{
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    auto loadCert = [](const std::string& pem) {
        BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
        X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
        return cert;
    };
    X509* leaf = loadCert(certificate.pem);
    BIO* keyBio = BIO_new_mem_buf(certificate.privateKeyPem.data(), static_cast<int>(certificate.privateKeyPem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    BIO_free(keyBio);
    bool ok = leaf && key && SSL_CTX_use_certificate(context, leaf) == 1 && SSL_CTX_use_PrivateKey(context, key) == 1;
    X509_free(leaf);
    EVP_PKEY_free(key);
    for (const auto& issuer : chain) {
        X509* cert = loadCert(issuer.pem);
        ok = ok && cert && SSL_CTX_add1_chain_cert(context, cert) == 1;
        X509_free(cert);
    }
    if (!ok) {
        SSL_CTX_free(context);
        throw std::runtime_error("test server: cannot load the certificate");
    }
    m_sslContext = context;
    m_tls = true;
    start();
}

void TestHttpServer::listen()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listenFd, 64) != 0)
        throw std::runtime_error(std::string("test server: cannot listen: ") + std::strerror(errno));
    socklen_t length = sizeof address;
    getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    if (::pipe2(m_wakeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("test server: cannot make a pipe");
}

void TestHttpServer::acceptLoop()
{
    int nextId = 1;
    for (;;) {
        pollfd fds[2] = { { m_listenFd, POLLIN, 0 }, { m_wakeFds[0], POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (m_stopping.load() || (fds[1].revents & POLLIN))
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_openFds.push_back(fd);
        int id = nextId++;
        m_connectionThreads.emplace_back([this, fd, id] { serve(fd, id); });
    }
}

namespace {

std::optional<RecordedRequest> readRequest(TestConnection& connection)
{
    auto line = connection.readLine();
    if (!line || line->empty())
        return std::nullopt;
    RecordedRequest request;
    auto firstSpace = line->find(' ');
    auto secondSpace = line->rfind(' ');
    if (firstSpace == std::string::npos || secondSpace == firstSpace)
        return std::nullopt;
    request.method = line->substr(0, firstSpace);
    request.target = line->substr(firstSpace + 1, secondSpace - firstSpace - 1);
    request.version = line->substr(secondSpace + 1);
    auto question = request.target.find('?');
    request.path = request.target.substr(0, question);
    if (question != std::string::npos)
        request.query = request.target.substr(question + 1);
    for (;;) {
        auto headerLine = connection.readLine();
        if (!headerLine)
            return std::nullopt;
        if (headerLine->empty())
            break;
        auto colon = headerLine->find(':');
        if (colon == std::string::npos)
            continue;
        auto value = headerLine->substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        request.headers.emplace_back(headerLine->substr(0, colon), value);
    }
    auto encoding = request.header("Transfer-Encoding");
    if (encoding && equalsIgnoringCase(*encoding, "chunked")) {
        for (;;) {
            auto sizeLine = connection.readLine();
            if (!sizeLine)
                return std::nullopt;
            size_t size = std::stoul(*sizeLine, nullptr, 16);
            if (size == 0) {
                while (auto trailer = connection.readLine()) {
                    if (trailer->empty())
                        break;
                }
                break;
            }
            auto bytes = connection.readBytes(size + 2);
            if (!bytes)
                return std::nullopt;
            request.body += bytes->substr(0, size);
        }
    } else if (auto length = request.header("Content-Length")) {
        auto bytes = connection.readBytes(std::stoul(*length));
        if (!bytes)
            return std::nullopt;
        request.body = std::move(*bytes);
    }
    return request;
}

} // namespace

void TestHttpServer::serve(int fd, int id)
{
    SSL* ssl = nullptr;
    if (m_tls) {
        ssl = SSL_new(static_cast<SSL_CTX*>(m_sslContext));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            ++m_failedHandshakes;
            SSL_free(ssl);
            ssl = nullptr;
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
    ++m_connections;
    TestConnection connection(fd, ssl);
    while (!m_stopping.load()) {
        auto request = readRequest(connection);
        if (!request)
            break;
        request->connection = id;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(*request);
        }
        ResponseWriter writer(connection, m_stopping);
        dispatch(*request, writer);
        auto connectionHeader = request->header("Connection");
        if (writer.m_close || !writer.m_delimited || (connectionHeader && equalsIgnoringCase(*connectionHeader, "close")))
            break;
    }
    if (ssl)
        SSL_shutdown(ssl);
    ::shutdown(fd, SHUT_RDWR);
}

void TestHttpServer::dispatch(const RecordedRequest& request, ResponseWriter& writer)
{
    auto found = m_handlers.find(request.path);
    if (found == m_handlers.end())
        found = m_handlers.find("*");
    if (found == m_handlers.end()) {
        writer.respond(404, "not found", { { "Content-Type", "text/plain" } });
        return;
    }
    found->second(request, writer);
}

void TestHttpServer::sendScripted(const TestResponse& response, ResponseWriter& writer)
{
    writer.delay(response.delayBeforeHead);
    TestHeaders headers = response.headers;
    for (const auto& cookie : response.cookies)
        headers.emplace_back("Set-Cookie", cookie);
    if (!response.chunks.empty()) {
        headers.emplace_back("Transfer-Encoding", "chunked");
        if (!writer.writeHead(response.status, headers))
            return;
        for (size_t index = 0; index < response.chunks.size(); ++index) {
            if (index > 0)
                writer.delay(response.delayBetweenChunks);
            if (index == 1 && response.holdAfterFirstChunk && !writer.waitFor(*response.holdAfterFirstChunk))
                return;
            if (!writer.writeChunk(response.chunks[index]))
                return;
        }
        writer.endChunks();
        return;
    }
    if (!findHeader(headers, "Content-Length"))
        headers.emplace_back("Content-Length", std::to_string(response.body.size()));
    if (!writer.writeHead(response.status, headers))
        return;
    if (response.cutAfter) {
        writer.write(std::string_view(response.body).substr(0, *response.cutAfter));
        writer.closeConnection();
        return;
    }
    writer.write(response.body);
}

void TestHttpServer::stop()
{
    if (m_stopping.exchange(true) || m_listenFd < 0)
        return;
    char wake = 1;
    [[maybe_unused]] auto written = ::write(m_wakeFds[1], &wake, 1);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_openFds)
            ::shutdown(fd, SHUT_RDWR);
        threads = std::move(m_connectionThreads);
    }
    for (auto& thread : threads)
        thread.join();
    std::lock_guard lock(m_mutex);
    for (int fd : m_openFds)
        ::close(fd);
    m_openFds.clear();
    ::close(m_listenFd);
    ::close(m_wakeFds[0]);
    ::close(m_wakeFds[1]);
}

std::string TestHttpServer::url(std::string_view path, std::string_view host) const
{
    return std::string(m_tls ? "https://" : "http://") + std::string(host) + ":" + std::to_string(m_port) + std::string(path);
}

std::vector<RecordedRequest> TestHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t TestHttpServer::requestCount() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

std::string gzip(std::string_view bytes)
{
    z_stream stream {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, bytes.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

} // namespace morvix::testing
