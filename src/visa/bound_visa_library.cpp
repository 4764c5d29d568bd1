#include "visa/bound_visa_library.h"

int BoundVisaLibrary::boundCount() const {
    int count = 0;
#define VISA_BOUND_COUNT(ordinal, name, params, args) count += name##_ != nullptr;
    VISA_FUNCTIONS(VISA_BOUND_COUNT)
#undef VISA_BOUND_COUNT
    return count;
}

#define VISA_BOUND_DEFINE_METHOD(ordinal, name, params, args)   \
    ViStatus BoundVisaLibrary::name params {                    \
        if (name##_ == nullptr) return VI_ERROR_LIBRARY_NFOUND; \
        return name##_ args;                                    \
    }
VISA_FUNCTIONS(VISA_BOUND_DEFINE_METHOD)
#undef VISA_BOUND_DEFINE_METHOD
