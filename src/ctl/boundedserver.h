#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// cpp-httplib's request parsing, routing and answers, behind connection
// handling of our own, in the manner of an event-driven server: one thread
// reads every open connection until a request has arrived whole, and only a
// whole request takes one of the worker threads. A client that sends a byte
// now and then, or nothing, holds a descriptor and no worker; when as many
// connections wait as are allowed, the one that has waited longest for its
// request is dropped for the newcomer, so slow clients push each other out
// while a scrape, whole in one packet, never waits behind them. Each request
// must arrive within its own deadline and size.
class BoundedServer : public httplib::Server
{
public:
    struct Limits
    {
        int connections = 64; // requests handled at once, a worker thread each
        int waiting = 512; // connections reading a request or idle between requests
        int requestMs = 5000; // to receive a request's line and headers, from its first byte
        int requestBytes = 16 * 1024; // its line and headers together
        int keepAliveMs = 5000; // for the first byte of the next request on a connection
        int requestsPerConnection = 100;
        int writeMs = 5000; // for the client to take each part of an answer
    };

    explicit BoundedServer(const Limits &limits);
    ~BoundedServer() override;

    // Listens on a numeric address; empty when it does, otherwise why not.
    std::string bind(const std::string &address, int port);
    int boundPort() const { return port; }
    void start();
    // Takes the connections already waiting to be accepted and closes the
    // listener; requests go on being read and answered until shutdown().
    void stopAccepting();
    // Cuts the connections that wait for a request and waits for the
    // workers: answers being written are finished, within writeMs each.
    // Whatever a handler waits for must be released first.
    void shutdown();

    const Limits &limits() const { return bounds; }
    int openConnections() const;
    // Closed before a request came: beyond the limit, or pushed out.
    std::uint64_t droppedConnections() const { return dropped; }

private:
    using Clock = std::chrono::steady_clock;
    struct Waiting
    {
        int fd = -1;
        std::string received; // of the next request
        Clock::time_point since; // waiting since
        Clock::time_point deadline;
        int served = 0; // requests on this connection so far
        bool begun = false; // a byte of the request has come
    };

    void readLoop();
    bool receive(Waiting &connection); // false: closed
    void work();
    void serve(Waiting connection);
    void wakeReader();
    void dropOldest(std::vector<Waiting> &waiting);

    const Limits bounds;
    int listener = -1;
    int port = 0;
    int wake[2] = { -1, -1 };
    std::thread reader;
    std::vector<std::thread> workers;

    mutable std::mutex mutex;
    std::condition_variable ready;
    std::deque<Waiting> whole; // a request whole, waiting for a worker
    std::deque<Waiting> returned; // served, back to the reader for the next request
    std::set<int> serving;
    int open = 0; // accepted and not yet closed
    bool accepting = true;
    bool stopping = false;
    std::atomic<std::uint64_t> dropped { 0 };
};
