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

// Set by the error handler when the answer is to a request that could not
// be read: the connection is closed after it, whatever else it holds.
thread_local bool closeAfterAnswer = false;

bool isWhole(const std::string &received, std::size_t limit)
{
    return received.size() >= limit || received.find("\r\n\r\n") != std::string::npos
        || received.find("\n\n") != std::string::npos;
}

// One connection as the library reads and writes it, beginning with what the
// reader already took. Reads stop at the request's deadline.
class Connection : public httplib::Stream
{
public:
    Connection(int fd, const BoundedServer::Limits &limits, std::string received)
        : fd(fd)
        , limits(limits)
        , buffer(std::move(received))
        , deadline(Clock::now() + std::chrono::milliseconds(limits.requestMs))
    { }

    bool hasBuffered() const { return position < buffer.size(); }
    // What came after the request: the start of the next one.
    std::string rest() const { return buffer.substr(position); }

    bool is_readable() const override { return hasBuffered() || pollFor(fd, POLLIN, msLeft()) > 0; }
    bool is_writable() const override { return pollFor(fd, POLLOUT, limits.writeMs) > 0; }

    ssize_t read(char *ptr, size_t size) override
    {
        if (!hasBuffered()) {
            char chunk[4096];
            ssize_t got = -1;
            for (;;) {
                if (pollFor(fd, POLLIN, msLeft()) <= 0)
                    return -1;
                got = ::recv(fd, chunk, sizeof chunk, 0);
                if (got >= 0 || (errno != EINTR && errno != EAGAIN))
                    break;
            }
            if (got <= 0)
                return got;
            buffer.assign(chunk, std::size_t(got));
            position = 0;
        }
        const std::size_t count = std::min(size, buffer.size() - position);
        std::memcpy(ptr, buffer.data() + position, count);
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
            if (sent < 0 && (errno == EINTR || errno == EAGAIN))
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
    std::string buffer;
    std::size_t position = 0;
    Clock::time_point deadline;
};

} // namespace

BoundedServer::BoundedServer(const Limits &limits)
    : bounds(limits)
{
    // Nothing the exporter serves takes a body.
    set_payload_max_length(std::size_t(limits.requestBytes));
    // What the answers' Keep-Alive header tells the client.
    set_keep_alive_max_count(std::size_t(limits.requestsPerConnection));
    set_keep_alive_timeout(limits.keepAliveMs / 1000);
    // Every answer is text that must be taken as the type it says; a request
    // that could not be read leaves the connection in no state to go on.
    set_error_handler(
        HandlerWithResponse([](const httplib::Request &, httplib::Response &response) {
            if (!response.has_header("X-Content-Type-Options"))
                response.set_header("X-Content-Type-Options", "nosniff");
            switch (response.status) {
            case 400:
            case 408:
            case 413:
            case 414:
            case 431:
                closeAfterAnswer = true;
                response.set_header("Connection", "close");
                break;
            default:
                break;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        }));
    set_post_routing_handler([](const httplib::Request &, httplib::Response &response) {
        if (!response.has_header("X-Content-Type-Options"))
            response.set_header("X-Content-Type-Options", "nosniff");
    });
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
    const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::strerror(errno);
    return std::string();
}

void BoundedServer::start()
{
    for (int i = 0; i < bounds.connections; ++i)
        workers.emplace_back([this] { work(); });
    reader = std::thread([this] { readLoop(); });
}

void BoundedServer::wakeReader()
{
    if (wake[1] >= 0) {
        const char byte = 0;
        while (::write(wake[1], &byte, 1) < 0 && errno == EINTR) { }
    }
}

void BoundedServer::stopAccepting()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        accepting = false;
    }
    wakeReader();
}

void BoundedServer::shutdown()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping)
            return;
        stopping = true;
        accepting = false;
        // Whole requests no worker has taken: told so rather than cut.
        static const char busy[] = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; "
                                   "charset=utf-8\r\nX-Content-Type-Options: nosniff\r\n"
                                   "Content-Length: 24\r\nConnection: close\r\n\r\n"
                                   "the exporter is stopping";
        for (const Waiting &connection : whole) {
            [[maybe_unused]] const ssize_t sent
                = ::send(connection.fd, busy, sizeof busy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(connection.fd);
        }
        for (const Waiting &connection : returned)
            ::close(connection.fd);
        open -= int(whole.size() + returned.size());
        whole.clear();
        returned.clear();
    }
    ready.notify_all();
    wakeReader();
    if (reader.joinable())
        reader.join();
    for (std::thread &worker : workers)
        worker.join();
    workers.clear();
}

int BoundedServer::openConnections() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return open;
}

bool BoundedServer::receive(Waiting &connection)
{
    const std::size_t room = std::size_t(bounds.requestBytes) - connection.received.size();
    char chunk[4096];
    const ssize_t got = ::recv(connection.fd, chunk, std::min(room, sizeof chunk), MSG_DONTWAIT);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    if (got == 0)
        return false;
    if (!connection.begun) {
        // The next request on a kept connection has its own deadline.
        connection.begun = true;
        connection.deadline = Clock::now() + std::chrono::milliseconds(bounds.requestMs);
    }
    connection.received.append(chunk, std::size_t(got));
    return true;
}

void BoundedServer::dropOldest(std::vector<Waiting> &waiting)
{
    const auto oldest
        = std::min_element(waiting.begin(), waiting.end(),
                           [](const Waiting &a, const Waiting &b) { return a.since < b.since; });
    ::close(oldest->fd);
    waiting.erase(oldest);
    ++dropped;
    std::lock_guard<std::mutex> lock(mutex);
    --open;
}

void BoundedServer::readLoop()
{
    std::vector<Waiting> waiting;
    std::vector<pollfd> entries;
    bool listening = true;
    for (;;) {
        const Clock::time_point now = Clock::now();
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping)
                break;
            listening = accepting;
            while (!returned.empty()) {
                Waiting connection = std::move(returned.front());
                returned.pop_front();
                connection.since = now;
                connection.begun = !connection.received.empty();
                connection.deadline = now
                    + std::chrono::milliseconds(connection.begun ? bounds.requestMs
                                                                 : bounds.keepAliveMs);
                waiting.push_back(std::move(connection));
            }
        }
        if (!listening && listener >= 0) {
            // What the listener already holds is taken, and told if need be.
            for (;;) {
                const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0)
                    break;
                if (int(waiting.size()) >= bounds.waiting)
                    dropOldest(waiting);
                waiting.push_back({ fd, std::string(), now,
                                    now + std::chrono::milliseconds(bounds.requestMs), 0, true });
                std::lock_guard<std::mutex> lock(mutex);
                ++open;
            }
            ::close(listener);
            listener = -1;
        }

        // Whole requests go to the workers; the rest wait, until their time is up.
        int timeoutMs = -1;
        for (auto it = waiting.begin(); it != waiting.end();) {
            if (isWhole(it->received, std::size_t(bounds.requestBytes))) {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    whole.push_back(std::move(*it));
                }
                ready.notify_one();
                it = waiting.erase(it);
            } else if (it->deadline <= now) {
                ::close(it->fd);
                ++dropped;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    --open;
                }
                it = waiting.erase(it);
            } else {
                const auto left
                    = std::chrono::duration_cast<std::chrono::milliseconds>(it->deadline - now)
                          .count()
                    + 1;
                timeoutMs = timeoutMs < 0 ? int(left) : std::min(timeoutMs, int(left));
                ++it;
            }
        }

        entries.clear();
        entries.push_back({ wake[0], POLLIN, 0 });
        const bool withListener = listener >= 0;
        if (withListener)
            entries.push_back({ listener, POLLIN, 0 });
        for (const Waiting &connection : waiting)
            entries.push_back({ connection.fd, POLLIN, 0 });
        if (::poll(entries.data(), nfds_t(entries.size()), timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (entries[0].revents) {
            char drained[64];
            while (::read(wake[0], drained, sizeof drained) > 0) { }
        }
        const std::size_t first = withListener ? 2 : 1;
        // Backwards, so that erasing keeps the rest in step with their entries.
        for (std::size_t i = entries.size(); i-- > first;) {
            if (!entries[i].revents)
                continue;
            Waiting &connection = waiting[i - first];
            if (!receive(connection)) {
                ::close(connection.fd);
                waiting.erase(waiting.begin() + std::ptrdiff_t(i - first));
                std::lock_guard<std::mutex> lock(mutex);
                --open;
            }
        }
        if (withListener && entries[1].revents) {
            const Clock::time_point accepted = Clock::now();
            // A few at a time, so that the waiting are read between.
            for (int i = 0; i < 64; ++i) {
                const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) {
                    // Out of descriptors the listener stays readable: wait a
                    // little rather than spin, and let a stop end the wait.
                    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                        if (!waiting.empty())
                            dropOldest(waiting);
                        else
                            pollFor(wake[0], POLLIN, 100);
                    }
                    break;
                }
                bool full = false;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    full = open >= bounds.waiting + bounds.connections;
                }
                if (int(waiting.size()) >= bounds.waiting || (full && !waiting.empty()))
                    dropOldest(waiting);
                else if (full) {
                    ::close(fd);
                    ++dropped;
                    continue;
                }
                waiting.push_back({ fd, std::string(), accepted,
                                    accepted + std::chrono::milliseconds(bounds.requestMs), 0,
                                    true });
                std::lock_guard<std::mutex> lock(mutex);
                ++open;
            }
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    for (const Waiting &connection : waiting)
        ::close(connection.fd);
    open -= int(waiting.size());
}

void BoundedServer::work()
{
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [this] { return stopping || !whole.empty(); });
        if (whole.empty())
            return;
        Waiting connection = std::move(whole.front());
        whole.pop_front();
        serving.insert(connection.fd);
        lock.unlock();

        serve(std::move(connection));
    }
}

void BoundedServer::serve(Waiting waiting)
{
    const int fd = waiting.fd;
    if (waiting.received.find("\r\n\r\n") == std::string::npos
        && waiting.received.find("\n\n") == std::string::npos) {
        // Its line and headers did not end within the size: not read further.
        static const char tooLarge[]
            = "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: text/plain; "
              "charset=utf-8\r\nX-Content-Type-Options: nosniff\r\nContent-Length: 36\r\n"
              "Connection: close\r\n\r\nthe request's headers are too large\n";
        Connection(fd, bounds, std::string()).write(tooLarge, sizeof tooLarge - 1);
        std::lock_guard<std::mutex> lock(mutex);
        serving.erase(fd);
        --open;
        ::close(fd);
        return;
    }
    Connection connection(fd, bounds, std::move(waiting.received));
    bool last = waiting.served + 1 >= bounds.requestsPerConnection;
    {
        std::lock_guard<std::mutex> lock(mutex);
        last = last || stopping || !accepting;
    }
    closeAfterAnswer = false;
    bool closed = false;
    const bool served = process_request(connection, last, closed, nullptr);
    std::unique_lock<std::mutex> lock(mutex);
    serving.erase(fd);
    if (!served || closed || last || closeAfterAnswer || stopping) {
        --open;
        lock.unlock();
        ::close(fd);
        return;
    }
    waiting.received = connection.rest();
    ++waiting.served;
    returned.push_back(std::move(waiting));
    lock.unlock();
    wakeReader();
}
