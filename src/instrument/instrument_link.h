#pragma once
// Everything the program says to an instrument passes through here: one VISA
// resource-manager session for the dialog's life and at most one instrument session.

#include <cstdint>
#include <string>

#include "visa/visa_library.h"

class WindowServices;

constexpr uint32_t kOpenTimeoutMs = 1000;
constexpr uint32_t kIoTimeoutMs = 5000;
constexpr uint32_t kReplyMax = 255;  // every reply is read into a buffer of kReplyMax + 1

class InstrumentLink {
public:
    // vid and pid are the normalised identity texts ("0x0d3f").
    InstrumentLink(VisaLibrary& visa, WindowServices& window, std::string vid, std::string pid);
    InstrumentLink(const InstrumentLink&) = delete;
    InstrumentLink& operator=(const InstrumentLink&) = delete;

    // viOpenDefaultRM at dialog construction (status not tested) and viClose at WM_DESTROY.
    void OpenResourceManager();
    void CloseResourceManager();

    // Fills the device list; returns the match count the library reported (<= 0: none).
    int32_t SearchInstruments();
    // Opens the device list's current entry: 0, or 3 on failure.
    int ConnectDevice();
    // Closes the instrument session, whatever it holds, and sets it to 0.
    void DisconnectDevice();
    // One viWrite with the whole buffer; returns its status.
    ViStatus WriteDevice(const void* bytes, uint32_t count);
    // One viRead; on status 0 the reply is terminated after the bytes read and upper-cased.
    // `buffer` must hold max + 1 bytes.
    ViStatus ReadDevice(char* buffer, uint32_t max, uint32_t* countRead);

    ViSession instrumentSession() const { return instrument_; }
    ViSession resourceManager() const { return resourceManager_; }
    // The search expression built from the identity, or empty when it would not fit
    // in 49 characters.
    const std::string& searchExpression() const { return expression_; }

private:
    VisaLibrary& visa_;
    WindowServices& window_;
    std::string expression_;
    ViSession resourceManager_ = 0;
    ViSession instrument_ = 0;
};

// "USB?*::" + vid + "::" + pid + "::TW?*::INSTR", or empty when longer than 49 characters.
std::string BuildSearchExpression(const std::string& vid, const std::string& pid);
