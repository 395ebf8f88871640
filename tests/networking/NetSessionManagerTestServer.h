#pragma once
// A loopback server written with Python's standard library, which reads request bodies with
// parsers of its own: the oracle of the session manager tests.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvix::testing {

// For every request it answers JSON: the method, path, query pairs, headers (lower-cased
// names), the declared and received body lengths, the body's SHA-256, and the body as
// `json.loads`, `urllib.parse.parse_qsl` or the email package's multipart parser reads it.
// HEAD gets the head only.
inline constexpr const char* kPythonEchoServer = R"PY(
import email.parser, email.policy, hashlib, http.server, json, sys, urllib.parse

class Echo(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *args):
        pass
    def body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                if size == 0:
                    self.rfile.readline()
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        return self.rfile.read(int(self.headers.get("Content-Length", "0")))
    def answer(self):
        data = self.body()
        url = urllib.parse.urlsplit(self.path)
        kind = self.headers.get("Content-Type", "")
        out = {"method": self.command, "path": url.path, "query": urllib.parse.parse_qsl(url.query, keep_blank_values=True),
               "headers": {k.lower(): v for k, v in self.headers.items()},
               "declaredLength": self.headers.get("Content-Length"), "receivedLength": len(data),
               "sha256": hashlib.sha256(data).hexdigest()}
        if kind.startswith("application/json") and data:
            out["json"] = json.loads(data)
        elif kind.startswith("application/x-www-form-urlencoded"):
            out["form"] = urllib.parse.parse_qsl(data.decode(), keep_blank_values=True)
        elif kind.startswith("multipart/form-data"):
            message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
                b"Content-Type: " + kind.encode() + b"\r\n\r\n" + data)
            out["parts"] = [{"name": part.get_param("name", header="content-disposition"), "filename": part.get_filename(),
                             "contentType": part.get_content_type(), "size": len(part.get_payload(decode=True)),
                             "sha256": hashlib.sha256(part.get_payload(decode=True)).hexdigest()}
                            for part in message.iter_parts()]
        text = json.dumps(out).encode()
        self.send_response(int(urllib.parse.parse_qs(url.query).get("status", ["200"])[0]))
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(text)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(text)
    do_GET = do_HEAD = do_POST = do_PUT = do_PATCH = do_DELETE = answer

server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Echo)
print(server.server_address[1], flush=True)
server.serve_forever()
)PY";

/// Starts the server on construction (a free port, which it prints) and stops it on destruction.
class PythonEchoServer {
public:
    PythonEchoServer()
    {
        m_script = std::filesystem::temp_directory_path() / ("morvix-echo-" + std::to_string(::getpid()) + ".py");
        std::ofstream(m_script) << kPythonEchoServer;
        int output[2];
        if (::pipe(output) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            // The server goes with the test program, even one that dies: a server left behind
            // holds the test's output open and the test runner waits for it for good.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(output[1], STDOUT_FILENO);
            ::close(output[0]);
            ::close(output[1]);
            ::execlp("python3", "python3", m_script.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(output[1]);
        FILE* stream = ::fdopen(output[0], "r");
        if (stream && std::fscanf(stream, "%d", &m_port) != 1)
            m_port = 0;
        if (stream)
            std::fclose(stream);
    }
    ~PythonEchoServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        std::filesystem::remove(m_script);
    }
    PythonEchoServer(const PythonEchoServer&) = delete;
    PythonEchoServer& operator=(const PythonEchoServer&) = delete;

    bool isRunning() const { return m_port > 0; }
    std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

private:
    std::filesystem::path m_script;
    pid_t m_pid = -1;
    int m_port = 0;
};

} // namespace morvix::testing
