#include "output_stream.h"

void OutputStream::Write(const std::string& text) {
    if (writer_) return writer_->Write(stream_, text);
    std::lock_guard<std::mutex> lock(mutex_);
    capture_->append(text);
}

void OutputStream::Write(const os::OutputWriter::Render& render) {
    if (writer_) return writer_->Write(stream_, render);
    Write(render());
}

void OutputStream::WriteLatest(const std::string& key, const os::OutputWriter::Render& render) {
    if (writer_) return writer_->WriteLatest(key, stream_, render);
    Write(render());
}
