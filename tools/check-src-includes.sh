#!/usr/bin/env bash
# The program itself builds wherever Qt builds: src/ may include Qt's headers,
# the C++ standard library's and its own, nothing else (no POSIX, no Windows
# API). Prints every other include and fails if there is one.
#
# One exception: the lock on a serial device and the settings store's edit
# lock need flock(), which Qt does not offer (the edit lock also fstat() to
# see its file is still the one named). Each stays in its one file, behind
# Q_OS_UNIX, so other systems build without it.
#
# The other: vantrelctl exporter, built on Linux only. It serves HTTP with
# Debian's cpp-httplib behind an accept loop on the system's sockets, stops
# on SIGTERM through a pipe, and reads the process metrics from /proc.
#
# And: vantrelctl raises its limit on open files for a big fleet and counts
# the ones it holds, on Linux only (setrlimit, /proc/self/fd), in one file
# behind Q_OS_LINUX.
#
# And: two files are opened without following a link and without blocking
# on a FIFO, which QFile cannot promise (open() with O_NOFOLLOW|O_NONBLOCK):
# the edit lock, and the record of answers owed between vantrelctl runs.
# Each behind Q_OS_UNIX.
platform_allowed="src/link/serialline.cpp:sys/file.h src/ctl/boundedserver.h:httplib.h"
for header in fcntl.h sys/file.h sys/stat.h unistd.h; do
    platform_allowed+=" src/settings/storedsettings.cpp:$header"
done
for header in fcntl.h sys/stat.h unistd.h; do
    platform_allowed+=" src/sessions/projectorsession.cpp:$header"
done
platform_allowed+=" src/ctl/descriptors.cpp:sys/resource.h src/ctl/descriptors.cpp:dirent.h"
for header in arpa/inet.h fcntl.h netdb.h netinet/in.h poll.h sys/socket.h unistd.h; do
    platform_allowed+=" src/ctl/boundedserver.cpp:$header"
done
for header in fcntl.h sys/resource.h unistd.h; do
    platform_allowed+=" src/ctl/exporter.cpp:$header"
done
set -euo pipefail
cd "$(dirname "$0")/.."

standard=" algorithm any array atomic bitset cassert cctype cerrno cfloat charconv chrono cinttypes
climits clocale cmath complex condition_variable csignal cstdarg cstddef cstdint cstdio cstdlib
cstring ctime cwchar cwctype deque exception execution filesystem forward_list fstream functional
future initializer_list iomanip ios iosfwd iostream istream iterator limits list locale map memory
memory_resource mutex new numeric optional ostream queue random ratio regex scoped_allocator set
shared_mutex sstream stack stdexcept streambuf string string_view system_error thread tuple
type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector "
standard=" $(echo $standard) "

status=0
while IFS=: read -r file line text; do
    header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$text")
    case "$text" in
    *'"'*)
        # Our own headers, and the forms uic generates from our .ui files.
        name=$(basename "$header")
        form=${name#ui_}
        if [ -n "$(find src -name "$name" | head -1)" ] \
            || [[ "$name" == ui_*.h && -n "$(find src -name "${form%.h}.ui" | head -1)" ]]; then
            continue
        fi ;;
    *)
        if [[ " $platform_allowed " == *" $file:$header "* ]]; then
            continue
        fi
        if [[ "$header" =~ ^Q[A-Za-z0-9]+(/Q[A-Za-z0-9]+)?$ ]] || [[ "$standard" == *" $header "* ]]; then
            continue
        fi ;;
    esac
    echo "$file:$line: $header is neither Qt nor the C++ standard library" >&2
    status=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' src)
[ "$status" -eq 0 ] && echo "src/ includes only Qt, the C++ standard library and its own headers"
exit "$status"
