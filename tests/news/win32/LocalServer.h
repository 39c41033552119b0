// A web server on 127.0.0.1 for the news download's tests.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace marrowgate::test {

// Answers every request on 127.0.0.1 with `response`; with `stall`, sends
// it and then holds the connection open without a further byte.
class LocalServer {
public:
    LocalServer(std::string response, bool stall) : response_(std::move(response)), stall_(stall) {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        listen(listener_, 4);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalServer() {
        stop_ = true;
        closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    std::string site() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    void serve() {
        while (!stop_) {
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request.append(buffer, static_cast<std::size_t>(got));
            }
            send(client, response_.data(), static_cast<int>(response_.size()), 0);
            while (stall_ && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            closesocket(client);
        }
    }

    std::string response_;
    bool stall_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// An HTTP/1.0 response; `announced` other than 0 is the length it claims.
inline std::string http(const char* status, const std::string& body, std::size_t announced = 0) {
    return std::string("HTTP/1.0 ") + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(announced ? announced : body.size()) + "\r\n\r\n" + body;
}

}  // namespace marrowgate::test
