// The Linux binding as fwtool meets it: the simulated instrument's shared library found by
// path or through FWTOOL_VISA and worked through the instrument link, a library that
// cannot be found, and one that lacks most entry points.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "identify_first.h"
#include "visa/posix/posix_visa_library.h"
#include "visa/usbtmc/usbtmc_visa_library.h"
#include "visa/visa_functions.h"
#include "visa/visa_loader.h"

namespace {

// Each test starts without FWTOOL_VISA and leaves the environment as it found it.
class VisaLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* value = std::getenv("FWTOOL_VISA")) saved_ = value;
        unsetenv("FWTOOL_VISA");
    }
    void TearDown() override {
        if (saved_.empty())
            unsetenv("FWTOOL_VISA");
        else
            setenv("FWTOOL_VISA", saved_.c_str(), 1);
    }
    std::string tried = "(untouched)";

  private:
    std::string saved_;
};

TEST_F(VisaLoaderTest, SimulatedInstrumentIsFoundAndIdentifiedByPathAndThroughTheEnvironment) {
    setenv("FWTOOL_VISA", "/no/such/libvisa.so", 1);
    for (const std::string& path : {std::string(FWSIM_VISA_SO), std::string()}) {
        if (path.empty()) setenv("FWTOOL_VISA", FWSIM_VISA_SO, 1);
        std::unique_ptr<VisaLibrary> visa = LoadVisaLibrary(path, tried);
        ASSERT_NE(visa, nullptr) << tried;
        EXPECT_EQ(dynamic_cast<PosixVisaLibrary&>(*visa).boundCount(), 8);

        const std::string reply = IdentifyFirstInstrument(*visa);
        EXPECT_EQ(reply.rfind("ZENTROVA CORP.,K4417F,", 0), 0u) << reply;
    }
}

TEST_F(VisaLoaderTest, NothingLoadedNamesEveryFileTried) {
    EXPECT_EQ(LoadVisaLibrary("/no/such/visa.so", tried), nullptr);
    const std::string missing = " (cannot open shared object file: No such file or directory)";
    EXPECT_EQ(tried, "/no/such/visa.so" + missing);
    setenv("FWTOOL_VISA", "/no/such/from-environment.so", 1);
    EXPECT_EQ(LoadVisaLibrary("", tried), nullptr);
    EXPECT_EQ(tried, "/no/such/from-environment.so" + missing);

    unsetenv("FWTOOL_VISA");
    if (LoadVisaLibrary("", tried)) GTEST_SKIP() << "a VISA library is installed";
    EXPECT_EQ(tried, "libvisa.so" + missing + ", libvisa.so.7" + missing + ", libvisa.so.0" +
                         missing + ", libiovisa.so" + missing + ", librsvisa.so" + missing);
}

// fwtool's choice: a library named (by --visa or FWTOOL_VISA) or nothing; "usbtmc" the
// kernel's driver; with no name, the driver when no vendor library loads.
TEST_F(VisaLoaderTest, TheKernelsDriverIsChosenByNameOrWhenNoLibraryLoads) {
    std::string inUse;
    EXPECT_EQ(LoadVisaBackend("/no/such/visa.so", tried, inUse), nullptr);
    std::unique_ptr<VisaLibrary> visa = LoadVisaBackend(FWSIM_VISA_SO, tried, inUse);
    EXPECT_NE(dynamic_cast<PosixVisaLibrary*>(visa.get()), nullptr);
    EXPECT_EQ(inUse, FWSIM_VISA_SO);

    setenv("FWTOOL_VISA", "usbtmc", 1);
    for (const std::string& path : {std::string("usbtmc"), std::string()}) {
        visa = LoadVisaBackend(path, tried, inUse);
        EXPECT_NE(dynamic_cast<UsbtmcVisaLibrary*>(visa.get()), nullptr) << path;
        EXPECT_EQ(inUse, "usbtmc");
    }
    unsetenv("FWTOOL_VISA");
    visa = LoadVisaBackend("", tried, inUse);
    if (dynamic_cast<PosixVisaLibrary*>(visa.get())) GTEST_SKIP() << "a VISA library is installed";
    EXPECT_NE(dynamic_cast<UsbtmcVisaLibrary*>(visa.get()), nullptr);
    EXPECT_EQ(inUse, "usbtmc");
}

TEST_F(VisaLoaderTest, MissingEntriesFailTheirCallsWithoutTouchingOutputs) {
    std::unique_ptr<VisaLibrary> visa = LoadVisaLibrary(PARTIAL_VISA_SO, tried);
    ASSERT_NE(visa, nullptr) << tried;
    EXPECT_EQ(dynamic_cast<PosixVisaLibrary&>(*visa).boundCount(), 2);
    ViSession rm = 0;
    EXPECT_EQ(visa->viOpenDefaultRM(&rm), VI_SUCCESS);
    EXPECT_EQ(rm, 0x51u);

    ViSession session = 7;
    ViUInt32 count = 9;
    ViByte buffer[4] = {};
    EXPECT_EQ(visa->viOpen(rm, "USB0::x::INSTR", VI_NULL, 1000, &session), VI_ERROR_LIBRARY_NFOUND);
    EXPECT_EQ(visa->viRead(session, buffer, sizeof buffer, &count), VI_ERROR_LIBRARY_NFOUND);
    EXPECT_EQ(session, 7u);
    EXPECT_EQ(count, 9u);

    RecordingWindow window;
    InstrumentLink link(*visa, window, "0x0d3f", "0x1141");
    std::vector<std::string> found;
    EXPECT_EQ(link.SearchInstruments(found), 0);
    EXPECT_EQ(link.ConnectDevice("USB0::x::INSTR"), 3);
}

// The ordinals under which visa32 exports each entry point, as the Windows binding asks.
TEST(VisaEntryPoints, CarryTheLibrarysStandardOrdinals) {
#define NAME_AND_ORDINAL(ordinal, name, params, args) {#name, ordinal},
    const std::map<std::string, int> ordinals = {VISA_FUNCTIONS(NAME_AND_ORDINAL)};
#undef NAME_AND_ORDINAL
    EXPECT_EQ(ordinals, (std::map<std::string, int>{{"viOpenDefaultRM", 141},
                                                    {"viFindRsrc", 129},
                                                    {"viFindNext", 130},
                                                    {"viOpen", 131},
                                                    {"viClose", 132},
                                                    {"viSetAttribute", 134},
                                                    {"viRead", 256},
                                                    {"viWrite", 257}}));
}

}  // namespace
