#pragma once
// An owned VISA session (resource manager, instrument or find list): the handle carries
// the library it came from, so closing needs nothing else. A held session is closed even
// when its number is 0: whoever asked for a session closes what the library gave back.

#include "base/unique_handle.h"
#include "visa/visa_library.h"

struct VisaObjectRef {
    VisaLibrary* library = nullptr;
    ViObject object = 0;

    friend bool operator==(const VisaObjectRef& a, const VisaObjectRef& b) {
        return a.library == b.library && a.object == b.object;
    }
    friend bool operator!=(const VisaObjectRef& a, const VisaObjectRef& b) { return !(a == b); }
};

struct VisaSessionTraits {
    using type = VisaObjectRef;
    static type invalid() noexcept { return {}; }
    static void close(type session) noexcept { session.library->viClose(session.object); }
};
using VisaSession = UniqueHandle<VisaSessionTraits>;
