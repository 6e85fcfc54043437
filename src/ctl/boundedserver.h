#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// cpp-httplib's request parsing, routing and answers, behind an accept loop of
// our own. The library bounds each read, not a request: a client that sends a
// byte now and then would keep its worker forever, and its task queue takes
// every connection that comes. Here a connection gets a worker or is closed at
// once, and a request must arrive whole, within a size, before its deadline.
class BoundedServer : public httplib::Server
{
public:
    struct Limits
    {
        int connections = 64; // open at once, each with a worker thread of its own
        int requestMs = 5000; // to receive a request's line and headers
        int requestBytes = 16 * 1024; // its line and headers together
        int keepAliveMs = 5000; // for the next request on a connection
        int requestsPerConnection = 100;
        int writeMs = 5000; // for the client to take each part of an answer
    };

    explicit BoundedServer(const Limits &limits);
    ~BoundedServer() override;

    // Listens on a numeric address; empty when it does, otherwise why not.
    std::string bind(const std::string &address, int port);
    int boundPort() const { return port; }
    void start();
    // Stops accepting, cuts every open connection and waits for the workers.
    // Whatever a handler waits for must be released first.
    void shutdown();

    int openConnections() const;
    std::uint64_t rejectedConnections() const { return rejected; }

private:
    void acceptLoop();
    void work();
    void serve(int fd);

    const Limits limits;
    int listener = -1;
    int port = 0;
    int wake[2] = { -1, -1 };
    std::thread acceptor;
    std::vector<std::thread> workers;

    mutable std::mutex mutex;
    std::condition_variable ready;
    std::deque<int> accepted; // waiting for a worker
    std::set<int> serving;
    int open = 0; // accepted and not yet closed
    bool stopping = false;
    std::atomic<std::uint64_t> rejected { 0 };
};
