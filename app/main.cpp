// The process entry: command-line handling, then the switcher on this session's desktop.
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>

namespace {

const char* const Usage =
    "Usage: zumo [--help] [--version]\n"
    "\n"
    "Zumo is a keyboard window switcher. Hold Alt (or Control) and press Tab to see your\n"
    "windows, most recently used first; release to bring the chosen one to the front.\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this help and exit\n"
    "  -v, --version   show the version and exit\n";

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("zumo %s\n", ZUMO_VERSION);
            return 0;
        }
        std::fprintf(stderr, "zumo: unknown option '%s'\n\n%s", argv[i], Usage);
        return 2;
    }
    std::fputs(Usage, stdout);
    return 0;
}
