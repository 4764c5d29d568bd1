// LoadVisaLibrary for Windows: the program's own binding, from the system directory or
// from the file the caller names.
#include "visa/visa_loader.h"
#include "visa/win/dynamic_visa_library.h"

std::unique_ptr<VisaLibrary> LoadVisaLibrary(const std::string& path, std::string& tried) {
    auto visa = path.empty() ? std::make_unique<DynamicVisaLibrary>()
                             : std::make_unique<DynamicVisaLibrary>(path);
    tried = visa->failures();
    if (!visa->loaded()) return nullptr;
    return visa;
}

std::unique_ptr<VisaLibrary> LoadVisaBackend(const std::string& path, std::string& tried,
                                             std::string& inUse) {
    auto visa = path.empty() ? std::make_unique<DynamicVisaLibrary>()
                             : std::make_unique<DynamicVisaLibrary>(path);
    tried = visa->tried();
    inUse = visa->path();
    if (!visa->loaded()) return nullptr;
    return visa;
}
