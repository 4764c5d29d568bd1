#include "output_stream.h"

void OutputStream::Write(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (capture_) {
        capture_->append(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}
