#pragma once
// A USB device of our own behind the kernel's gadget framework: a configfs gadget with one
// FunctionFS function (one interface, a bulk-out and a bulk-in endpoint), bound to a UDC.
// Binding it is plugging the device in; unbinding it is pulling it out.

#include <cstdint>
#include <string>

#include "base/unique_fd.h"

struct GadgetIdentity {
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string serial;
    uint8_t interfaceClass = 0, interfaceSubClass = 0, interfaceProtocol = 0;
};

class GadgetPort {
  public:
    // Creates gadget `name` under configfs, mounts its function's FunctionFS and writes the
    // descriptors; the endpoints exist from then on. False with a message in `error`.
    bool Create(const std::string& name, const GadgetIdentity& identity, std::string& error);
    bool Bind(const std::string& udc);
    bool Unbind();

    int ep0() const { return ep0_.get(); }
    int bulkOut() const { return bulkOut_.get(); }
    int bulkIn() const { return bulkIn_.get(); }

  private:
    std::string gadgetDir_;
    UniqueFd ep0_, bulkOut_, bulkIn_;
};
