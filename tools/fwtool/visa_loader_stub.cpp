// Stands in for the VISA loader until the platform backends arrive: loads nothing.
#include "visa/visa_loader.h"

std::unique_ptr<VisaLibrary> LoadVisaLibrary(const std::string& path, std::string& tried) {
    tried = path.empty() ? "libvisa.so" : path;
    return nullptr;
}
