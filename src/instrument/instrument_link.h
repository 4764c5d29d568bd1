#pragma once
// Everything the program says to an instrument passes through here: one VISA
// resource-manager session for the dialog's life and at most one instrument session.

#include <cstdint>
#include <string>
#include <vector>

#include "visa/visa_library.h"
#include "visa/visa_session.h"

class RunClock;

constexpr uint32_t kOpenTimeoutMs = 1000;
constexpr uint32_t kIoTimeoutMs = 5000;
constexpr uint32_t kReplyMax = 255;  // every reply is read into a buffer of kReplyMax + 1
// A resource is opened by at most this many characters of its name: what the window's
// device list hands back of an entry.
constexpr size_t kResourceNameMax = 254;

class InstrumentLink {
  public:
    // vid and pid are the normalised identity texts ("0x0d3f"). Opens the resource manager
    // (viOpenDefaultRM, status not tested: one that did not open makes every search fail);
    // the destructor closes it, and with it whatever was opened through it. Pauses between
    // commands go by `clock`.
    InstrumentLink(VisaLibrary& visa, RunClock& clock, std::string vid, std::string pid);
    InstrumentLink(const InstrumentLink&) = delete;
    InstrumentLink& operator=(const InstrumentLink&) = delete;

    // Fills `resources` with the names found, in the library's order; returns the match
    // count the library reported (<= 0: none).
    int32_t SearchInstruments(std::vector<std::string>& resources);
    // Opens `resource`: 0, or 3 on failure. From the attempt on the link holds the
    // instrument session, 0 when the open failed.
    int ConnectDevice(const std::string& resource);
    // Closes the instrument session, whatever it holds, and sets it to 0.
    void DisconnectDevice();
    // One viWrite with the whole buffer; returns its status.
    ViStatus WriteDevice(const void* bytes, uint32_t count);
    // One viRead; on status 0 the reply is terminated after the bytes read and upper-cased.
    // `buffer` must hold max + 1 bytes. `asRead`, when given, receives the bytes read on
    // status 0 as they came.
    ViStatus ReadDevice(char* buffer, uint32_t max, uint32_t* countRead,
                        std::string* asRead = nullptr);
    // The pause between two commands.
    void Pause(uint32_t ms);

    ViSession instrumentSession() const { return instrument_.get().object; }
    ViSession resourceManager() const { return resourceManager_.get().object; }

  private:
    VisaLibrary& visa_;
    RunClock& clock_;
    std::string expression_;  // empty when the identity does not fit in 49 characters
    VisaSession resourceManager_;
    VisaSession instrument_;  // closed before the resource manager
};

// "USB?*::" + vid + "::" + pid + "::TW?*::INSTR", or empty when longer than 49 characters.
std::string BuildSearchExpression(const std::string& vid, const std::string& pid);
