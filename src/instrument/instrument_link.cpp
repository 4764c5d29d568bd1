#include "instrument/instrument_link.h"

#include "base/ascii.h"
#include "base/result_code.h"
#include "base/run_clock.h"
#include "instrument/search_expression.h"

std::string BuildSearchExpression(const std::string& vid, const std::string& pid) {
    if (!FitsSearchExpression(vid, pid)) return std::string();
    return kSearchPrefix + vid + kSearchSeparator + pid + kSearchSuffix;
}

InstrumentLink::InstrumentLink(VisaLibrary& visa, RunClock& clock, std::string vid, std::string pid)
    : visa_(visa), clock_(clock), expression_(BuildSearchExpression(vid, pid)) {
    ViSession resourceManager = 0;
    visa_.viOpenDefaultRM(&resourceManager);
    resourceManager_.reset({&visa_, resourceManager});
}

int32_t InstrumentLink::SearchInstruments(std::vector<std::string>& resources) {
    resources.clear();
    if (expression_.empty()) return 0;  // an identity that cannot be searched for

    ViFindList findList = 0;
    ViUInt32 count = 0;
    ViChar description[VI_FIND_BUFLEN] = {};
    ViStatus status =
        visa_.viFindRsrc(resourceManager(), expression_.c_str(), &findList, &count, description);
    if (status != VI_SUCCESS) return static_cast<int32_t>(count);
    // The find list is of no further use after the search; closing it then keeps sessions
    // from piling up under the resource manager over many searches.
    const VisaSession findListSession(findList != 0 ? VisaObjectRef{&visa_, findList}
                                                    : VisaObjectRef{});
    if (count != 0) {
        // A name that fills the whole buffer is cut rather than read past its end.
        description[VI_FIND_BUFLEN - 1] = '\0';
        resources.push_back(description);
        while (visa_.viFindNext(findList, description) == VI_SUCCESS) {
            description[VI_FIND_BUFLEN - 1] = '\0';
            resources.push_back(description);
        }
    }
    return static_cast<int32_t>(count);
}

int InstrumentLink::ConnectDevice(const std::string& resource) {
    const std::string name = resource.substr(0, kResourceNameMax);
    ViSession session = 0;
    const ViStatus opened =
        visa_.viOpen(resourceManager(), name.c_str(), VI_NULL, kOpenTimeoutMs, &session);
    instrument_.reset({&visa_, opened == VI_SUCCESS ? session : 0});
    if (opened != VI_SUCCESS) return kErrConnect;
    // On failure the session stays open: the caller's DisconnectDevice closes it.
    if (visa_.viSetAttribute(instrumentSession(), VI_ATTR_TMO_VALUE, kIoTimeoutMs) != VI_SUCCESS)
        return kErrConnect;
    return kOk;
}

void InstrumentLink::DisconnectDevice() {
    instrument_.reset();
}

ViStatus InstrumentLink::WriteDevice(const void* bytes, uint32_t count) {
    // Only the status decides; the count written is not compared with the count asked.
    ViUInt32 written = 0;
    return visa_.viWrite(instrumentSession(), static_cast<const ViByte*>(bytes), count, &written);
}

ViStatus InstrumentLink::ReadDevice(char* buffer, uint32_t max, uint32_t* countRead,
                                    std::string* asRead) {
    ViUInt32 count = 0;
    ViStatus status =
        visa_.viRead(instrumentSession(), reinterpret_cast<ViByte*>(buffer), max, &count);
    // A library that claims more than it was allowed must not make us write past the buffer.
    if (count > max) count = max;
    if (countRead != nullptr) *countRead = count;
    if (status != VI_SUCCESS) return status;

    if (asRead != nullptr) asRead->assign(buffer, count);
    buffer[count] = '\0';
    UpperCaseAscii(buffer);
    return VI_SUCCESS;
}

void InstrumentLink::Pause(uint32_t ms) {
    clock_.Sleep(ms);
}
