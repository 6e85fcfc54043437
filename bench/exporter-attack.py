#!/usr/bin/env python3
"""vantrelctl exporter under hostile clients, on 127.0.0.1 only, each part
bounded in time:

  hostile N   scrapes of /metrics served while N connections trickle, idle,
              send half a request and reopen when dropped (26 scrapes)
  cpu         main-process CPU of a 404 and of a scrape at 1,000 stored
              projectors
  shutdown    seconds from SIGTERM to exit while a probe of a projector that
              answers each question in 1.5 s is under way, and what the
              scrape in flight and a scrape that comes later got
  fleet       seconds of "--all --timeout 1 status" over 60 silent projectors
              at ulimit -n 64

  bench/exporter-attack.py CTL SIMULATOR [hostile|cpu|shutdown|fleet ...]
"""
import http.client
import os
import resource
import selectors
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

ctl, simulator = sys.argv[1], sys.argv[2]
parts = sys.argv[3:] or ["hostile", "cpu", "shutdown", "fleet"]


def store(directory, entries):
    os.makedirs(os.path.join(directory, "Toskeld"), exist_ok=True)
    with open(os.path.join(directory, "Toskeld", "Vantrel.conf"), "w") as out:
        out.write("[Projectors]\n")
        for i, (name, port) in enumerate(entries, 1):
            out.write(f"{i}\\Group=g\n{i}\\Model=3\n{i}\\Name={name}\n{i}\\Port={port}\n")
        out.write(f"size={len(entries)}\n")


def exporter(config, *extra):
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    env.pop("VANTREL_PJLINK_PASSWORD", None)
    process = subprocess.Popen([ctl, "exporter", "--listen", "127.0.0.1:0", *extra], env=env,
                               stdout=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    port = int(line.split("127.0.0.1:")[1].split("/")[0])
    return process, port


def cpu(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def get(port, path, timeout=10, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    try:
        connection.request("GET", path, headers=headers or {})
        answer = connection.getresponse()
        return answer.status, answer.read().decode()
    except OSError as error:
        return 0, str(error)
    finally:
        connection.close()


def hostile(count):
    with tempfile.TemporaryDirectory() as config:
        store(config, [])
        process, port = exporter(config)
        stop = time.monotonic() + 40
        selector = selectors.DefaultSelector()
        kinds = ["trickle", "idle", "half", "reopen"]
        clients = {}

        def open_one(kind):
            s = socket.socket()
            s.settimeout(1)
            s.connect_ex(("127.0.0.1", port))
            s.setblocking(False)
            clients[s] = kind
            selector.register(s, selectors.EVENT_READ)
            try:
                if kind == "half":
                    s.send(b"GET /metrics HTTP/1.1\r\nHost: a\r\n")
            except OSError:
                pass

        for i in range(count):
            open_one(kinds[i % 4])

        def attack():
            step = 0
            while time.monotonic() < stop:
                for key, _ in selector.select(timeout=0.2):
                    s = key.fileobj
                    try:
                        data = s.recv(4096)
                    except OSError:
                        data = b""
                    if not data:
                        kind = clients.pop(s)
                        selector.unregister(s)
                        s.close()
                        open_one(kind)  # every kind comes back when dropped
                step += 1
                if step % 5 == 0:
                    for s, kind in list(clients.items()):
                        if kind == "trickle":
                            try:
                                s.send(b"X")
                            except OSError:
                                pass
            for s in clients:
                s.close()

        attacker = threading.Thread(target=attack)
        attacker.start()
        time.sleep(3)
        served = 0
        for _ in range(26):
            status, _ = get(port, "/metrics", timeout=10)
            served += status == 200
            time.sleep(0.5)
        attacker.join()
        process.terminate()
        process.wait(30)
        print(f"hostile {count}: {served} of 26 scrapes of /metrics served")


def cpu_cost():
    with tempfile.TemporaryDirectory() as config:
        store(config, [(f"room-{i:04}", "127.0.0.1:9") for i in range(1000)])
        process, port = exporter(config, "--timeout", "1")
        get(port, "/probe?target=nobody")
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        for path, count in (("/probe?target=nobody", 2000), ("/probe?target=room-0001", 300)):
            before = cpu(process.pid)
            for _ in range(count):
                connection.request("GET", path)
                connection.getresponse().read()
            used = cpu(process.pid) - before
            print(f"cpu {path}: {used / count * 1e6:.0f} µs a request ({count} requests)")
        connection.close()
        process.terminate()
        process.wait(30)


def shutdown():
    with tempfile.TemporaryDirectory() as config:
        sim = subprocess.Popen([simulator, "--family", "pjlink", "--pjlink-class", "2",
                                "--delay-ms", "1500"], stdout=subprocess.PIPE, text=True)
        line = sim.stdout.readline()
        while not line.startswith("LISTEN"):
            line = sim.stdout.readline()
        store(config, [("slow", "127.0.0.1:" + line.split()[2].rsplit(":", 1)[-1])])
        process, port = exporter(config, "--timeout", "5")
        results = {}

        def scrape(key, delay):
            time.sleep(delay)
            results[key] = get(port, "/probe?target=slow", timeout=60,
                               headers={"X-Prometheus-Scrape-Timeout-Seconds": "10"})[0]

        first = threading.Thread(target=scrape, args=("in flight", 0))
        first.start()
        time.sleep(2)
        start = time.monotonic()
        process.send_signal(signal.SIGTERM)
        later = threading.Thread(target=scrape, args=("after SIGTERM", 0.2))
        later.start()
        process.wait(120)
        took = time.monotonic() - start
        first.join()
        later.join()
        sim.terminate()
        sim.wait()
        print(f"shutdown: exit {process.returncode} after {took:.1f} s; scrape in flight got "
              f"{results.get('in flight')}, a scrape after SIGTERM got {results.get('after SIGTERM')}")


def fleet():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(200)
    held = []
    done = threading.Event()

    def hold():
        listener.settimeout(0.2)
        while not done.is_set():
            try:
                held.append(listener.accept()[0])
            except OSError:
                pass

    holder = threading.Thread(target=hold)
    holder.start()
    with tempfile.TemporaryDirectory() as config:
        store(config, [(f"room-{i:03}", f"127.0.0.1:{listener.getsockname()[1]}") for i in range(60)])

        def limit():
            resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))

        start = time.monotonic()
        run = subprocess.run([ctl, "--all", "--timeout", "1", "status"], preexec_fn=limit,
                             env=dict(os.environ, XDG_CONFIG_HOME=config), capture_output=True,
                             text=True, timeout=300)
        took = time.monotonic() - start
    done.set()
    holder.join()
    for s in held:
        s.close()
    listener.close()
    descriptors = run.stderr.count("descriptor") + run.stdout.count("descriptor")
    print(f"fleet: --all status of 60 silent projectors at ulimit -n 64: {took:.1f} s, "
          f"exit {run.returncode}, {descriptors} lines about descriptors")


for part in parts:
    if part == "hostile":
        hostile(64)
        hostile(500)
    elif part == "cpu":
        cpu_cost()
    elif part == "shutdown":
        shutdown()
    elif part == "fleet":
        fleet()
