#include "os/output_writer.h"
#include "os/win/os_windows.h"

namespace os {

bool WriteStandardStream(OutputWriter::Stream stream, const std::string& text) {
    HANDLE handle =
        GetStdHandle(stream == OutputWriter::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    for (size_t done = 0; done < text.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace os
