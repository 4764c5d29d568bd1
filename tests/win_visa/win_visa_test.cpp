// The Windows binding against real DLLs in the Wine prefix's system directory: what the
// program gets when no VISA library is installed, when a stray copy lies beside it, and
// when the simulated instrument's library is installed.

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "visa/visa_loader.h"
#include "visa/win/dynamic_visa_library.h"

#undef MessageBox

namespace {

constexpr ViStatus kDecoyStatus = 0x0BADC0DE;  // what the fake library's ordinal 131 returns

std::string SystemDirectory() {
    char buffer[MAX_PATH];
    UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, n) + "\\";
}

std::string ProgramDirectory() {
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path(buffer, n);
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
    return std::string(buffer, n) + "\\";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Places and removes libraries for one test and puts back whatever was there before, so
// the prefix is left as found (the ctest run holds the visa32 resource lock meanwhile).
class InstalledVisaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const std::string& path :
             {SystemDirectory() + "visa32.dll", SystemDirectory() + "visa64.dll",
              ProgramDirectory() + "visa32.dll", CurrentDirectory() + "visa32.dll"}) {
            if (Exists(path)) {
                const std::string aside = path + ".before-test";
                ASSERT_TRUE(MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING))
                    << path;
                movedAside_.push_back(path);
            }
        }
    }
    void TearDown() override {
        for (const std::string& path : placed_) DeleteFileA(path.c_str());
        for (const std::string& path : movedAside_)
            MoveFileExA((path + ".before-test").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

    void Place(const std::string& library, const std::string& path) {
        ASSERT_TRUE(CopyFileA(library.c_str(), path.c_str(), FALSE)) << library << " -> " << path;
        placed_.push_back(path);
    }
    std::string FakeLibrary() const { return ProgramDirectory() + "fake_visa.dll"; }

    RecordingWindow window;

  private:
    std::vector<std::string> movedAside_;
    std::vector<std::string> placed_;
};

TEST_F(InstalledVisaTest, WithoutLibraryEveryCallFailsAndNothingIsFound) {
    DynamicVisaLibrary visa;
    EXPECT_FALSE(visa.loaded());
    EXPECT_EQ(visa.boundCount(), 0);

    InstrumentLink link(visa, window, "0x0d3f", "0x1141");
    std::vector<std::string> found{"left over"};
    EXPECT_EQ(link.SearchInstruments(found), 0);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(link.ConnectDevice("USB0::x::INSTR"), 3);
    char buffer[kReplyMax + 1];
    uint32_t count = 0;
    EXPECT_EQ(link.WriteDevice("*IDN?\n", 6), VI_ERROR_LIBRARY_NFOUND);
    EXPECT_EQ(link.ReadDevice(buffer, kReplyMax, &count), VI_ERROR_LIBRARY_NFOUND);
    link.DisconnectDevice();
}

TEST_F(InstalledVisaTest, OnlyTheSystemDirectoryCountsAndVisa32ComesFirst) {
    Place(FakeLibrary(), ProgramDirectory() + "visa32.dll");
    if (CurrentDirectory() != ProgramDirectory())
        Place(FakeLibrary(), CurrentDirectory() + "visa32.dll");
    ViSession rm = 0;
    EXPECT_EQ(DynamicVisaLibrary().viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);

    Place(FakeLibrary(), SystemDirectory() + "visa64.dll");
    EXPECT_EQ(DynamicVisaLibrary().path(), SystemDirectory() + "visa64.dll");
    Place(FakeLibrary(), SystemDirectory() + "visa32.dll");
    EXPECT_EQ(DynamicVisaLibrary().path(), SystemDirectory() + "visa32.dll");
}

TEST_F(InstalledVisaTest, NamesWinOverOrdinalsAndMissingEntriesFailSafely) {
    Place(FakeLibrary(), SystemDirectory() + "visa32.dll");
    DynamicVisaLibrary visa;
    ASSERT_TRUE(visa.loaded());
    EXPECT_EQ(visa.boundCount(), 7);  // all but viSetAttribute

    InstrumentLink link(visa, window, "0x0d3f", "0x1141");
    std::vector<std::string> found;
    ASSERT_EQ(link.SearchInstruments(found), 1);
    // viOpen is reached by its name, not by the decoy at ordinal 131.
    ViSession session = 0;
    EXPECT_NE(visa.viOpen(link.resourceManager(), "x", VI_NULL, 1000, &session), kDecoyStatus);
    EXPECT_EQ(session, 0x77u);
    // The timeout cannot be set: 3, with the session open.
    EXPECT_EQ(visa.viSetAttribute(session, VI_ATTR_TMO_VALUE, 5000), VI_ERROR_LIBRARY_NFOUND);
    EXPECT_EQ(link.ConnectDevice(found.front()), 3);
    EXPECT_EQ(link.instrumentSession(), 0x77u);

    // viRead has no name, only its ordinal.
    EXPECT_EQ(link.WriteDevice("*IDN?\n", 6), VI_SUCCESS);
    char buffer[kReplyMax + 1];
    uint32_t count = 0;
    ASSERT_EQ(link.ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS);
    EXPECT_STREQ(buffer, "FAKE CORP.,K4417F\n");
    link.DisconnectDevice();
}

TEST_F(InstalledVisaTest, CommandLineLoadsTheFileItNamesOrTheSystemLibrary) {
    std::string tried;
    EXPECT_EQ(LoadVisaLibrary(ProgramDirectory() + "no-such.dll", tried), nullptr);
    // Each file with the system's reason, in whatever words the system has.
    EXPECT_EQ(tried.rfind(ProgramDirectory() + "no-such.dll (", 0), 0u) << tried;
    EXPECT_EQ(LoadVisaLibrary("", tried), nullptr);
    EXPECT_EQ(tried.rfind(SystemDirectory() + "visa32.dll (", 0), 0u) << tried;
    EXPECT_NE(tried.find("), " + SystemDirectory() + "visa64.dll ("), std::string::npos) << tried;
    std::unique_ptr<VisaLibrary> visa = LoadVisaLibrary(FakeLibrary(), tried);
    ASSERT_NE(visa, nullptr) << tried;
    EXPECT_EQ(static_cast<DynamicVisaLibrary&>(*visa).boundCount(), 7);
}

}  // namespace
