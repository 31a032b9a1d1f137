// A small HTTP/1.1 server for tests: it binds 127.0.0.1 on a port the
// system picks, serves one connection at a time on a thread of its own,
// records every raw request (head and body) and answers scripted routes.
// Every answer closes its connection. No other address is ever used.
//
// A route answers a request target (path and query, exactly): its status
// line, its header lines as written (raw, so a test can send "X-A:b"), then
// the Content-Length and "Connection: close" the server adds, and its body
// (not sent to HEAD). An unknown target gets "404 Not Found" with a short
// body.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kel::test {

// The proxy variables would send a test's requests elsewhere: a suite
// removes them as it starts and puts them back when it ends.
struct WithoutProxies {
    static inline std::vector<std::pair<std::string, std::string>> saved;
    static void remove() {
        for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                                 "ALL_PROXY", "NO_PROXY"})
            if (const char* value = std::getenv(name)) {
                saved.emplace_back(name, value);
                unsetenv(name);
            }
    }
    static void restore() {
        for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
        saved.clear();
    }
};

struct HttpRoute {
    std::string status = "HTTP/1.1 200 OK";
    std::vector<std::string> headers;
    std::string body;
};

class HttpServer {
public:
    HttpServer() {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 16) != 0)
            return;
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (pipe2(wake_, O_CLOEXEC) != 0) return;
        thread_ = std::thread([this] { serve(); });
    }
    ~HttpServer() {
        if (thread_.joinable()) {
            char c = 0;
            (void)!write(wake_[1], &c, 1);
            thread_.join();
        }
        close(listener_);
        close(wake_[0]);
        close(wake_[1]);
    }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    void route(const std::string& target, HttpRoute answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        routes_[target] = std::move(answer);
    }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.clear();
    }

private:
    void serve() {
        for (;;) {
            pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) continue;
            if (fds[1].revents) return;
            int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            answer(connection);
            close(connection);
        }
    }

    // Reads until the head is complete and Content-Length bytes of body have
    // arrived (or the peer stops sending for a second).
    static std::string read_request(int connection) {
        std::string data;
        size_t need = std::string::npos;
        char buffer[65536];
        for (;;) {
            size_t end = data.find("\r\n\r\n");
            if (end != std::string::npos && need == std::string::npos) {
                need = end + 4;
                std::string head = data.substr(0, end);
                for (size_t at = 0; at < head.size();) {
                    size_t stop = head.find("\r\n", at);
                    if (stop == std::string::npos) stop = head.size();
                    std::string line = head.substr(at, stop - at);
                    if (line.size() > 15 && strncasecmp(line.c_str(), "Content-Length:", 15) == 0)
                        need += std::stoul(line.substr(15));
                    at = stop + 2;
                }
            }
            if (need != std::string::npos && data.size() >= need) return data;
            pollfd fd{connection, POLLIN, 0};
            if (poll(&fd, 1, 1000) <= 0) return data;
            ssize_t n = recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0) return data;
            data.append(buffer, size_t(n));
        }
    }

    static void send_all(int connection, const std::string& text) {
        for (size_t sent = 0; sent < text.size();) {
            ssize_t n = send(connection, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += size_t(n);
        }
    }

    void answer(int connection) {
        std::string request = read_request(connection);
        HttpRoute route{"HTTP/1.1 404 Not Found", {}, "not found"};
        std::string target;
        size_t space = request.find(' ');
        if (space != std::string::npos) target = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
        bool head = request.compare(0, 5, "HEAD ") == 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            auto found = routes_.find(target);
            if (found != routes_.end()) route = found->second;
        }
        std::string out = route.status + "\r\n";
        for (const std::string& line : route.headers) out += line + "\r\n";
        out += "Content-Length: " + std::to_string(route.body.size()) + "\r\nConnection: close\r\n\r\n";
        if (!head) out += route.body;
        send_all(connection, out);
    }

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, HttpRoute> routes_;
    std::vector<std::string> requests_;
};

}  // namespace kel::test
