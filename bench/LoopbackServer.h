#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the benchmarks that run a session against a server.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace morvix::bench {

/// One thread accepting, one per connection, keep-alive, bodies delimited by Content-Length both
/// ways. Every request is answered 200 with the JSON body `respond` returns for its method, path
/// and body; `respond` runs on the connection's thread. Stopped and joined by the destructor.
class LoopbackServer {
public:
    using Responder = std::function<std::string(const std::string& method, const std::string& path, const std::string& body)>;

    explicit LoopbackServer(Responder respond)
        : m_respond(std::move(respond))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listener, 16) != 0)
            throw std::runtime_error("loopback server: cannot listen");
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptConnections(); });
    }

    ~LoopbackServer()
    {
        m_stopping = true;
        ::shutdown(m_listener, SHUT_RDWR);
        m_acceptor.join();
        ::close(m_listener);
        std::lock_guard lock(m_mutex);
        for (int connection : m_connections)
            ::shutdown(connection, SHUT_RDWR);
        for (auto& thread : m_threads)
            thread.join();
        for (int connection : m_connections)
            ::close(connection);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

    /// The path and body of the last POST.
    std::pair<std::string, std::string> lastPost()
    {
        std::lock_guard lock(m_mutex);
        return m_lastPost;
    }

private:
    void acceptConnections()
    {
        while (!m_stopping) {
            int connection = ::accept(m_listener, nullptr, nullptr);
            if (connection < 0)
                return;
            int yes = 1;
            ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            std::lock_guard lock(m_mutex);
            m_connections.push_back(connection);
            m_threads.emplace_back([this, connection] { serve(connection); });
        }
    }

    void serve(int connection)
    {
        std::string buffer;
        char chunk[16384];
        for (;;) {
            auto headEnd = buffer.find("\r\n\r\n");
            if (headEnd == std::string::npos) {
                auto received = ::recv(connection, chunk, sizeof chunk, 0);
                if (received <= 0)
                    return;
                buffer.append(chunk, static_cast<std::size_t>(received));
                continue;
            }
            std::string head = buffer.substr(0, headEnd + 4);
            std::size_t bodyLength = contentLength(head);
            while (buffer.size() < headEnd + 4 + bodyLength) {
                auto received = ::recv(connection, chunk, sizeof chunk, 0);
                if (received <= 0)
                    return;
                buffer.append(chunk, static_cast<std::size_t>(received));
            }
            std::string body = buffer.substr(headEnd + 4, bodyLength);
            buffer.erase(0, headEnd + 4 + bodyLength);
            if (!respond(connection, head, body))
                return;
        }
    }

    static std::size_t contentLength(const std::string& head)
    {
        std::string lower = head;
        for (auto& character : lower)
            character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
        auto found = lower.find("\r\ncontent-length:");
        return found == std::string::npos ? 0 : std::strtoul(head.c_str() + found + 17, nullptr, 10);
    }

    bool respond(int connection, const std::string& head, const std::string& body)
    {
        std::string method = head.substr(0, head.find(' '));
        auto pathStart = method.size() + 1;
        std::string path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
        if (method == "POST") {
            std::lock_guard lock(m_mutex);
            m_lastPost = { path, body };
        }
        std::string reply = m_respond(method, path, body);
        std::string response = "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: "
            + std::to_string(reply.size()) + "\r\n\r\n" + reply;
        for (std::size_t sent = 0; sent < response.size();) {
            auto written = ::send(connection, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
            if (written <= 0)
                return false;
            sent += static_cast<std::size_t>(written);
        }
        return true;
    }

    Responder m_respond;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping = false;
    std::thread m_acceptor;
    std::mutex m_mutex; // guards m_connections, m_threads, m_lastPost
    std::vector<int> m_connections;
    std::vector<std::thread> m_threads;
    std::pair<std::string, std::string> m_lastPost;
};

} // namespace morvix::bench
