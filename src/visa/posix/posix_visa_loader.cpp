// LoadVisaLibrary for Linux: the file named by the caller or by $FWTOOL_VISA, else the
// names under which VISA implementations install their library; LoadVisaBackend adds the
// kernel's USBTMC driver.
#include <dlfcn.h>

#include <cstdlib>
#include <vector>

#include "visa/posix/posix_visa_library.h"
#include "visa/usbtmc/usbtmc_visa_library.h"
#include "visa/visa_loader.h"

namespace {

std::string FromEnvironment() {
    const char* value = std::getenv("FWTOOL_VISA");
    return value ? value : "";
}

std::vector<std::string> Candidates(const std::string& path) {
    if (!path.empty()) return {path};
    const std::string fromEnvironment = FromEnvironment();
    if (!fromEnvironment.empty()) return {fromEnvironment};
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

// The first candidate that loads, named in `loaded`; `tried` names the others with the
// loader's reason.
std::unique_ptr<VisaLibrary> LoadFirst(const std::string& path, std::string& tried,
                                       std::string& loaded) {
    tried.clear();
    for (const std::string& file : Candidates(path)) {
        UniqueSharedObject library = OpenSharedObject(file);
        if (library) {
            loaded = file;
            return std::make_unique<PosixVisaLibrary>(std::move(library));
        }
        tried += (tried.empty() ? "" : ", ") + file + " (" + LoaderReason(file) + ")";
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<VisaLibrary> LoadVisaLibrary(const std::string& path, std::string& tried) {
    std::string loaded;
    return LoadFirst(path, tried, loaded);
}

std::unique_ptr<VisaLibrary> LoadVisaBackend(const std::string& path, std::string& tried,
                                             std::string& inUse) {
    const std::string chosen = path.empty() ? FromEnvironment() : path;
    inUse.clear();
    tried.clear();
    if (chosen != kVisaBackendUsbtmc) {
        std::unique_ptr<VisaLibrary> visa = LoadFirst(path, tried, inUse);
        // A library asked for by name is that library or nothing.
        if (visa || !chosen.empty()) return visa;
    }
    inUse = kVisaBackendUsbtmc;
    return std::make_unique<UsbtmcVisaLibrary>();
}
