// The kernel USBTMC backend's own calls, run by fwsim-usbtmc among one simulated instrument
// (USB0::0x0D3F::0x1141::TW00000001::INSTR, in its normal firmware): the search and its
// letter case, names in every VISA form, reads that stop at the count, the driver's timeout
// floor, sessions that outlive nothing they were opened through.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "visa/usbtmc/usbtmc_devices.h"
#include "visa/usbtmc/usbtmc_visa_library.h"

namespace {

constexpr char kResource[] = "USB0::0x0D3F::0x1141::TW00000001::INSTR";

class UsbtmcBackendTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(visa.viOpenDefaultRM(&rm), VI_SUCCESS); }
    void TearDown() override { visa.viClose(rm); }

    ViStatus Write(ViSession session, const std::string& text) {
        ViUInt32 sent = 0;
        const ViStatus status =
            visa.viWrite(session, reinterpret_cast<const ViByte*>(text.data()), text.size(), &sent);
        EXPECT_EQ(sent, status == VI_SUCCESS ? text.size() : sent);
        return status;
    }
    ViStatus Read(ViSession session, ViUInt32 max, std::string& reply) {
        ViByte buffer[256] = {};
        ViUInt32 count = 0;
        const ViStatus status = visa.viRead(session, buffer, max, &count);
        reply.assign(reinterpret_cast<const char*>(buffer), count);
        return status;
    }

    UsbtmcVisaLibrary visa;
    ViSession rm = 0;
};

TEST_F(UsbtmcBackendTest, SearchNamesTheInstrumentAsVendorLibrariesDoWhateverTheCase) {
    ViFindList list = 0;
    ViUInt32 count = 0;
    char found[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(visa.viFindRsrc(rm, "usb?*::0x0d3f::0x1141::tw?*::instr", &list, &count, found),
              VI_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(found, kResource);
    EXPECT_EQ(visa.viFindNext(list, found), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(visa.viClose(list), VI_SUCCESS);

    EXPECT_EQ(visa.viFindRsrc(rm, "USB?*::0x0D3F::0x1142::?*", &list, &count, found),
              VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(visa.viFindRsrc(rm, "USB[", &list, &count, found), VI_ERROR_INV_EXPR);
    ViSession session = 0;
    EXPECT_EQ(visa.viOpen(rm, "USB0::0x0D3F::0x1141::TW99999999::INSTR", 0, 0, &session),
              VI_ERROR_RSRC_NFOUND);
}

TEST_F(UsbtmcBackendTest, NamesAreReadFieldByFieldAndTheInterfaceNumberChecked) {
    for (const char* name :
         {"USB::0x0D3F::0x1141::TW00000001::INSTR", "usb0::3391::4417::tw00000001::0::instr"}) {
        ViSession session = 0;
        EXPECT_EQ(visa.viOpen(rm, name, 0, 0, &session), VI_SUCCESS) << name;
        visa.viClose(session);
    }
    for (const char* name :
         {"USB0::0x0D3F::0x1141::TW00000001::1::INSTR", "USB1::0x0D3F::0x1141::TW00000001::INSTR",
          "USB0::0x0D3F::0x1141::TW00000001"}) {
        ViSession session = 0;
        EXPECT_EQ(visa.viOpen(rm, name, 0, 0, &session), VI_ERROR_RSRC_NFOUND) << name;
    }

    // Two USBTMC interfaces of one instrument are told apart by their numbers.
    std::vector<UsbtmcDevice> devices(3);
    devices[0].usbDevice = devices[1].usbDevice = "/sys/devices/usb1/1-1";
    devices[2].usbDevice = "/sys/devices/usb1/1-2";
    for (int i = 0; i < 3; ++i) {
        devices[i].identity.vendor = 0x0d3f, devices[i].identity.product = 0x1141;
        devices[i].identity.serial = i < 2 ? "TW1" : "TW2";
        devices[i].identity.interfaceNumber = i % 2;
    }
    NameUsbtmcDevices(devices);
    EXPECT_EQ(devices[0].resource, "USB0::0x0D3F::0x1141::TW1::0::INSTR");
    EXPECT_EQ(devices[1].resource, "USB0::0x0D3F::0x1141::TW1::1::INSTR");
    EXPECT_EQ(devices[2].resource, "USB0::0x0D3F::0x1141::TW2::INSTR");
}

TEST_F(UsbtmcBackendTest, AReadStopsAtTheEndOfMessageOrTheCountAndSaysWhich) {
    ViSession session = 0;
    ASSERT_EQ(visa.viOpen(rm, "usb0::0x0d3f::0x1141::tw00000001::instr", 0, 1000, &session),
              VI_SUCCESS);
    EXPECT_EQ(visa.viSetAttribute(session, VI_ATTR_TMO_VALUE, 5000), VI_SUCCESS);
    ASSERT_EQ(Write(session, "*IDN?\n"), VI_SUCCESS);
    std::string head, rest;
    EXPECT_EQ(Read(session, 8, head), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(session, 255, rest), VI_SUCCESS);
    EXPECT_EQ(head, "ZENTROVA");
    EXPECT_EQ(rest.rfind(" CORP.,K4417F,TW00000001,", 0), 0u) << rest;
    EXPECT_EQ(rest.back(), '\n');
    // A reply that just fills the count has ended all the same: its transfer said so.
    ASSERT_EQ(Write(session, "*IDN?\n"), VI_SUCCESS);
    std::string whole;
    EXPECT_EQ(Read(session, head.size() + rest.size(), whole), VI_SUCCESS);
    EXPECT_EQ(whole, head + rest);
    EXPECT_EQ(visa.viSetAttribute(session, 0x3FFF0001, 1), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(visa.viClose(session), VI_SUCCESS);
    EXPECT_EQ(Write(session, "*IDN?\n"), VI_ERROR_INV_OBJECT);
}

TEST_F(UsbtmcBackendTest, ATimeoutBelowTheDriversFloorWaitsTheFloor) {
    ViSession session = 0;
    ASSERT_EQ(visa.viOpen(rm, kResource, 0, 1000, &session), VI_SUCCESS);
    ASSERT_EQ(visa.viSetAttribute(session, VI_ATTR_TMO_VALUE, 1), VI_SUCCESS);
    const auto start = std::chrono::steady_clock::now();
    std::string reply;
    EXPECT_EQ(Read(session, 255, reply), VI_ERROR_TMO);  // nothing was asked
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), kUsbtmcMinTimeoutMs);
    EXPECT_LT(waited.count(), 2000);

    // Closing the resource manager closes what was opened through it.
    ASSERT_EQ(visa.viClose(rm), VI_SUCCESS);
    EXPECT_EQ(Read(session, 255, reply), VI_ERROR_INV_OBJECT);
    ASSERT_EQ(visa.viOpenDefaultRM(&rm), VI_SUCCESS);
}

}  // namespace
