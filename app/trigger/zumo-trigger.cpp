// zumo-trigger next|prev [KEYS]: what a Wayland compositor's Alt+Tab binding runs (with KEYS,
// e.g. alt+grave, for another shortcut of the list). It only hands the words to the running
// Zumo, without Qt, so a press costs the start of a small program rather than loading the whole
// application (tens of milliseconds, far more under load).
// Anything it cannot do itself it leaves to `zumo --next`, which explains failures in full.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int AnswerTimeoutMs = 10000;

// `zumo` beside this program (both are installed together), else the one on PATH.
[[noreturn]] void runFullClient(const char* flag)
{
    char self[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string beside(self, std::size_t(length));
        beside = beside.substr(0, beside.rfind('/') + 1) + "zumo";
        ::execl(beside.c_str(), "zumo", flag, static_cast<char*>(nullptr));
    }
    ::execlp("zumo", "zumo", flag, static_cast<char*>(nullptr));
    std::fprintf(stderr, "zumo-trigger: cannot run zumo %s: %s\n", flag, std::strerror(errno));
    std::exit(127);
}

// The running Zumo's socket, as it makes it under the session's runtime directory; empty when
// that directory is not set, and then only the full client knows where to look.
std::string socketPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/')
        return {};
    std::string path = runtime;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path + "/zumo/control";
}

// A connected socket, or -1 when nothing listens there.
int connectTo(const std::string& path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The first line of the answer, without its line feed; empty when none came in time.
std::string statusLine(int fd)
{
    std::string answer;
    char chunk[256];
    pollfd readable{fd, POLLIN, 0};
    while (answer.find('\n') == std::string::npos && ::poll(&readable, 1, AnswerTimeoutMs) > 0) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0)
            break;
        answer.append(chunk, std::size_t(got));
    }
    const std::size_t end = answer.find('\n');
    return end == std::string::npos ? std::string() : answer.substr(0, end);
}

} // namespace

int main(int argc, char** argv)
{
    const bool next = argc >= 2 && !std::strcmp(argv[1], "next");
    const bool prev = argc >= 2 && !std::strcmp(argv[1], "prev");
    // The keys go as they are, in one word: the running Zumo checks them and says what is wrong.
    const std::size_t keysLength = argc == 3 ? std::strlen(argv[2]) : 0;
    const bool keysWord = argc == 2 || (argc == 3 && keysLength > 0 && keysLength < 64 &&
                                        std::strspn(argv[2], "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+") == keysLength);
    if (!(next || prev) || !keysWord) {
        std::fputs("usage: zumo-trigger next|prev [KEYS, e.g. alt+grave]\n", stderr);
        return 2;
    }
    const char* flag = next ? "--next" : "--prev";
    const int fd = connectTo(socketPath());
    if (fd < 0)
        runFullClient(flag);
    const std::string request = (next ? "next" : "prev") + (argc == 3 ? ' ' + std::string(argv[2]) : std::string()) + '\n';
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
        ::close(fd);
        runFullClient(flag);
    }
    const std::string status = statusLine(fd);
    ::close(fd);
    if (status == "ok")
        return 0;
    // The same words and exit codes as `zumo --next`.
    if (status.rfind("error ", 0) == 0) {
        std::fprintf(stderr, "zumo: the running Zumo refused: %s\n", status.c_str() + 6);
        return 1;
    }
    std::fprintf(stderr, "zumo: the running Zumo did not answer within %d seconds\n", AnswerTimeoutMs / 1000);
    return 4;
}
