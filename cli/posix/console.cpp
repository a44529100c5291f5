#include <unistd.h>

#include <cerrno>

#include "cli/console.h"

namespace {

int Descriptor(Stream stream) { return stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO; }

}  // namespace

bool IsTerminal(Stream stream) { return isatty(Descriptor(stream)) == 1; }

bool WriteText(Stream stream, const std::string& utf8) {
    size_t done = 0;
    while (done < utf8.size()) {
        const ssize_t written = write(Descriptor(stream), utf8.data() + done, utf8.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}
