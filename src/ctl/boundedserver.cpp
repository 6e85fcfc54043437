#include "boundedserver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int pollFor(int fd, short events, int timeoutMs)
{
    pollfd entry { fd, events, 0 };
    for (;;) {
        const int ready = ::poll(&entry, 1, std::max(0, timeoutMs));
        if (ready >= 0 || errno != EINTR)
            return ready;
    }
}

void addressOf(const sockaddr_storage &address, std::string &ip, int &port)
{
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr *>(&address), sizeof address, host,
                      sizeof host, service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV)
        == 0) {
        ip = host;
        port = std::atoi(service);
    }
}

// One connection as the library reads and writes it. Reads are buffered, as
// the library reads a request a byte at a time, and stop at the request's
// deadline or its size limit, whichever comes first.
class Connection : public httplib::Stream
{
public:
    Connection(int fd, const BoundedServer::Limits &limits)
        : fd(fd)
        , limits(limits)
    { }

    void beginRequest()
    {
        deadline = Clock::now() + std::chrono::milliseconds(limits.requestMs);
        taken = 0;
    }
    bool hasBuffered() const { return position < length; }

    bool is_readable() const override { return hasBuffered() || pollFor(fd, POLLIN, msLeft()) > 0; }
    bool is_writable() const override { return pollFor(fd, POLLOUT, limits.writeMs) > 0; }

    ssize_t read(char *ptr, size_t size) override
    {
        if (!hasBuffered()) {
            const std::size_t room
                = std::min(sizeof buffer, std::size_t(limits.requestBytes) - taken);
            if (room == 0 || pollFor(fd, POLLIN, msLeft()) <= 0)
                return -1;
            ssize_t got;
            do {
                got = ::recv(fd, buffer, room, 0);
            } while (got < 0 && errno == EINTR);
            if (got <= 0)
                return got;
            taken += std::size_t(got);
            position = 0;
            length = std::size_t(got);
        }
        const std::size_t count = std::min(size, length - position);
        std::memcpy(ptr, buffer + position, count);
        position += count;
        return ssize_t(count);
    }

    // All of it or nothing: the library does not always write the rest.
    ssize_t write(const char *ptr, size_t size) override
    {
        std::size_t done = 0;
        while (done < size) {
            if (pollFor(fd, POLLOUT, limits.writeMs) <= 0)
                return -1;
            const ssize_t sent = ::send(fd, ptr + done, size - done, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0)
                return -1;
            done += std::size_t(sent);
        }
        return ssize_t(size);
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage address {};
        socklen_t size = sizeof address;
        if (::getpeername(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
            addressOf(address, ip, port);
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage address {};
        socklen_t size = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
            addressOf(address, ip, port);
    }
    int socket() const override { return fd; }

private:
    int msLeft() const
    {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return int(std::max<std::chrono::milliseconds::rep>(0, left.count()));
    }

    const int fd;
    const BoundedServer::Limits &limits;
    Clock::time_point deadline;
    std::size_t taken = 0; // of this request
    char buffer[4096];
    std::size_t position = 0;
    std::size_t length = 0;
};

} // namespace

BoundedServer::BoundedServer(const Limits &limits)
    : limits(limits)
{
    // Nothing the exporter serves takes a body.
    set_payload_max_length(std::size_t(limits.requestBytes));
    // What the answers' Keep-Alive header tells the client.
    set_keep_alive_max_count(std::size_t(limits.requestsPerConnection));
    set_keep_alive_timeout(limits.keepAliveMs / 1000);
}

BoundedServer::~BoundedServer()
{
    shutdown();
    if (listener >= 0)
        ::close(listener);
    for (const int fd : wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

std::string BoundedServer::bind(const std::string &address, int wantedPort)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(wantedPort);
    if (const int failed = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found))
        return ::gai_strerror(failed);
    const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string problem;
    if (fd < 0) {
        problem = std::strerror(errno);
    } else {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // [::] means IPv6 alone; 0.0.0.0 is there for IPv4.
        if (found->ai_family == AF_INET6)
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 128) != 0)
            problem = std::strerror(errno);
    }
    ::freeaddrinfo(found);
    if (!problem.empty()) {
        if (fd >= 0)
            ::close(fd);
        return problem;
    }
    sockaddr_storage bound {};
    socklen_t size = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &size);
    std::string ip;
    addressOf(bound, ip, port);
    listener = fd;
    if (::pipe2(wake, O_CLOEXEC) != 0)
        return std::strerror(errno);
    return std::string();
}

void BoundedServer::start()
{
    for (int i = 0; i < limits.connections; ++i)
        workers.emplace_back([this] { work(); });
    acceptor = std::thread([this] { acceptLoop(); });
}

void BoundedServer::shutdown()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping)
            return;
        stopping = true;
        // A worker in a read or a write comes back at once.
        for (const int fd : serving)
            ::shutdown(fd, SHUT_RDWR);
        for (const int fd : accepted)
            ::close(fd);
        open -= int(accepted.size());
        accepted.clear();
    }
    ready.notify_all();
    if (wake[1] >= 0) {
        const char byte = 0;
        while (::write(wake[1], &byte, 1) < 0 && errno == EINTR) { }
    }
    if (acceptor.joinable())
        acceptor.join();
    for (std::thread &worker : workers)
        worker.join();
    workers.clear();
}

int BoundedServer::openConnections() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return open;
}

void BoundedServer::acceptLoop()
{
    for (;;) {
        pollfd entries[2] = { { listener, POLLIN, 0 }, { wake[0], POLLIN, 0 } };
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (entries[1].revents)
            return;
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors the listener stays readable: wait a little
            // rather than spin, and let a stop end the wait.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                pollFor(wake[0], POLLIN, 100);
            continue;
        }
        std::unique_lock<std::mutex> lock(mutex);
        if (stopping || open >= limits.connections) {
            lock.unlock();
            ++rejected;
            ::close(fd);
            continue;
        }
        ++open;
        accepted.push_back(fd);
        lock.unlock();
        ready.notify_one();
    }
}

void BoundedServer::work()
{
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [this] { return stopping || !accepted.empty(); });
        if (accepted.empty())
            return;
        const int fd = accepted.front();
        accepted.pop_front();
        serving.insert(fd);
        lock.unlock();

        serve(fd);

        lock.lock();
        serving.erase(fd);
        --open;
        lock.unlock();
        ::close(fd);
    }
}

void BoundedServer::serve(int fd)
{
    Connection connection(fd, limits);
    for (int served = 0; served < limits.requestsPerConnection; ++served) {
        if (served > 0 && !connection.hasBuffered() && pollFor(fd, POLLIN, limits.keepAliveMs) <= 0)
            return;
        bool last = served + 1 == limits.requestsPerConnection;
        {
            std::lock_guard<std::mutex> lock(mutex);
            last = last || stopping;
        }
        connection.beginRequest();
        bool closed = false;
        if (!process_request(connection, last, closed, nullptr) || closed || last)
            return;
    }
}
