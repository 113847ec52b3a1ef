// Test support for the loop-window link: queue keys and ports for one test
// run, the independent Python peer (tests/support/loop_peer.py) and socat as
// a raw socket peer. Every process started here is ended by its own id.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace zeqtest {

constexpr const char *PYTHON = "/usr/bin/python3";
constexpr const char *SOCAT = "/usr/bin/socat";

// A key offset of its own for this process: window numbers 1 to 200 above it
// are queue keys no other test run uses.
inline int queue_base() {
    return 0x4C000000 + static_cast<int>(getpid() % 0x10000) * 0x100;
}

// Removes the queues with keys base + 1 to base + count, if any.
inline void remove_queues(int base, int count = 200) {
    for (int k = base + 1; k <= base + count; ++k) {
        int id = msgget(k, 0);
        if (id >= 0) msgctl(id, IPC_RMID, nullptr);
    }
}

// True when a queue with this key exists.
inline bool queue_exists(int key) {
    return msgget(key, 0) >= 0;
}

// A TCP port on 127.0.0.1 that was free a moment ago.
inline int free_port() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = -1;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

// The Python peer: serves one run of the resource protocol (see loop_peer.py).
class LoopPeer {
public:
    LoopPeer() = default;
    LoopPeer(const LoopPeer &) = delete;
    LoopPeer &operator=(const LoopPeer &) = delete;
    ~LoopPeer() { stop(); }

    // Starts the peer with the options `args` and waits for its ready line.
    // Empty when it started, else why not.
    std::string start(const std::string &args) {
        if (access(PYTHON, X_OK) != 0) return "/usr/bin/python3 is missing (Debian package python3)";
        std::string cmd =
            std::string("exec ") + PYTHON + " " + ZEQ_SOURCE_DIR + "/tests/support/loop_peer.py " + args;
        pipe_ = popen(cmd.c_str(), "r");
        if (!pipe_) return "cannot start the loop peer";
        char line[128] = {};
        if (!std::fgets(line, sizeof line, pipe_) || std::sscanf(line, "ready %d %d", &port_, &pid_) != 2) {
            pclose(pipe_);
            pipe_ = nullptr;
            return "the loop peer did not start (it needs the Python module sysv_ipc, Debian package "
                   "python3-sysv-ipc)";
        }
        return "";
    }

    int port() const { return port_; }

    // Waits for the peer to end by itself (after "quit" or its deadline).
    void wait() {
        if (pipe_) pclose(pipe_);
        pipe_ = nullptr;
        pid_ = -1;
    }

    // Ends the peer (SIGTERM: it removes its queue) and waits for it.
    void stop() {
        if (pid_ > 0) kill(pid_, SIGTERM);
        wait();
    }

private:
    FILE *pipe_ = nullptr;
    int pid_ = -1;
    int port_ = 0;
};

// socat listening on 127.0.0.1:port and writing what it receives to a file;
// it never answers. Ends when its client closes the connection.
class SocatSink {
public:
    SocatSink() = default;
    SocatSink(const SocatSink &) = delete;
    SocatSink &operator=(const SocatSink &) = delete;
    ~SocatSink() { stop(); }

    // Empty when started, else why not.
    std::string start(int port, const std::string &file) {
        if (access(SOCAT, X_OK) != 0) return "socat is missing (Debian package socat)";
        std::string listen = "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr";
        std::string out = "OPEN:" + file + ",creat,trunc";
        pid_ = fork();
        if (pid_ < 0) return "cannot fork";
        if (pid_ == 0) {
            execl(SOCAT, "socat", "-u", listen.c_str(), out.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        return "";
    }

    // Waits up to `limit` for socat to end by itself; true when it did.
    bool wait(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return pid_ <= 0;
    }

    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// Waits until something listens on 127.0.0.1:port, without connecting to it
// (a connection would use up a peer that serves one client).
inline bool wait_listening(int port, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    char hex[16];
    std::snprintf(hex, sizeof hex, ":%04X ", port);
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        FILE *f = std::fopen("/proc/net/tcp", "r");
        char line[512];
        bool found = false;
        while (f && std::fgets(line, sizeof line, f)) {
            // local_address is the second column, state 0A is LISTEN.
            char local[64], remote[64], state[8];
            if (std::sscanf(line, "%*s %63s %63s %7s", local, remote, state) == 3 &&
                std::strstr((std::string(local) + " ").c_str(), hex) && std::strcmp(state, "0A") == 0)
                found = true;
        }
        if (f) std::fclose(f);
        if (found) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The lines of a text.
inline std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        out.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return out;
}

} // namespace zeqtest
