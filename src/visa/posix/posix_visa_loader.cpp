// LoadVisaLibrary for Linux: the file named by the caller or by $FWTOOL_VISA, else the
// names under which VISA implementations install their library.
#include <dlfcn.h>

#include <cstdlib>
#include <vector>

#include "visa/posix/posix_visa_library.h"
#include "visa/visa_loader.h"

namespace {

std::vector<std::string> Candidates(const std::string& path) {
    if (!path.empty()) return {path};
    const char* fromEnvironment = std::getenv("FWTOOL_VISA");
    if (fromEnvironment && *fromEnvironment) return {fromEnvironment};
    return {"libvisa.so", "libvisa.so.7", "libvisa.so.0", "libiovisa.so", "librsvisa.so"};
}

// Why the last dlopen of `file` failed, as the loader says it, without the file's name
// before it ("cannot open shared object file: No such file or directory").
std::string LoaderReason(const std::string& file) {
    const char* error = dlerror();
    std::string reason = error ? error : "not loaded";
    if (reason.rfind(file + ": ", 0) == 0) reason.erase(0, file.size() + 2);
    return reason;
}

}  // namespace

std::unique_ptr<VisaLibrary> LoadVisaLibrary(const std::string& path, std::string& tried) {
    tried.clear();
    for (const std::string& file : Candidates(path)) {
        UniqueSharedObject library = OpenSharedObject(file);
        if (library) return std::make_unique<PosixVisaLibrary>(std::move(library));
        tried += (tried.empty() ? "" : ", ") + file + " (" + LoaderReason(file) + ")";
    }
    return nullptr;
}
