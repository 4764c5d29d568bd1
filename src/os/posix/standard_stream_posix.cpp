#include <unistd.h>

#include <cerrno>

#include "os/output_writer.h"

namespace os {

bool WriteStandardStream(OutputWriter::Stream stream, const std::string& text) {
    const int fd = stream == OutputWriter::kOut ? STDOUT_FILENO : STDERR_FILENO;
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace os
