// The browse button as the operator uses it: choosing files, cancelling, and what the
// dialog shows afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "firmware_builder.h"
#include "recording_window.h"
#include "sim_visa.h"
#include "ui/control_ids.h"
#include "ui/error_table.h"
#include "ui/log_pane.h"
#include "update/updater.h"

namespace {

class LoadFirmwareFileTest : public ::testing::Test {
  protected:
    void Choose(const std::string& path) {
        window.filesToChoose.push_back(path);
        updater.LoadFirmwareFile();
    }
    void LoadValidFile() {
        Choose(valid.path());
        ASSERT_TRUE(window.IsEnabled(IDC_UPDATE));
        window.boxes.clear();
    }
    void ExpectOldTextsAndUpdateDisabled() {
        EXPECT_EQ(window.texts[IDC_MODEL_NAME], "K4417F");
        EXPECT_EQ(window.texts[IDC_IMAGE_REV], "2.10.0");
        EXPECT_EQ(window.texts[IDC_FILE_PATH], valid.path());
        EXPECT_FALSE(window.IsEnabled(IDC_UPDATE));
    }

    RecordingWindow window;
    SimVisa visa{SimScenario()};
    Updater updater{visa, window, "0x0d3f", "0x1141"};
    TempFile valid{ValidK4417F().Bytes()};
};

TEST_F(LoadFirmwareFileTest, ValidFileIsShownAndEnablesUpdate) {
    K4417FFile file;
    file.modelName = "k4417f";
    file.imageRev = "3.1.4b";
    file.description = "Faster sweep, Fixed Display";
    TempFile chosen(ValidK4417F(file).Bytes());
    Choose(chosen.path());
    EXPECT_EQ(window.texts[IDC_MODEL_NAME], "K4417F");
    EXPECT_EQ(window.texts[IDC_IMAGE_REV], "3.1.4B");
    EXPECT_EQ(window.texts[IDC_DESCRIPTION], "Faster sweep, Fixed Display");
    EXPECT_EQ(window.texts[IDC_FILE_PATH], chosen.path());
    EXPECT_TRUE(window.IsEnabled(IDC_UPDATE));
    EXPECT_EQ(updater.selectedModel(), &ModelCatalogue[0]);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.Log(), "");
}

TEST_F(LoadFirmwareFileTest, CancelOrUnopenablePathKeepsTheTextsButDisablesUpdate) {
    LoadValidFile();
    Choose("");
    EXPECT_EQ(window.fileDialogs, 2);
    ExpectOldTextsAndUpdateDisabled();
    EXPECT_TRUE(window.boxes.empty());

    Choose(valid.path() + ".missing");
    EXPECT_EQ(window.boxes,
              (std::vector<RecordedBox>{
                  {"Can't open file.", "Open Firmware Revision File", kMbOk | kMbIconHand, true}}));
    ExpectOldTextsAndUpdateDisabled();
    EXPECT_EQ(window.Log(), "");
}

TEST_F(LoadFirmwareFileTest, FailuresAfterASuccessKeepOldTextsAndReportTheirCode) {
    K4417FFile other;
    other.modelName = "K4417G";
    K4417FFile newer;
    newer.utilityRev = "1.1";
    FirmwareBuilder sectorOrder = ValidK4417F();
    sectorOrder.Section(3).id = 8;
    struct Case {
        std::string bytes;
        int code;
    } cases[] = {
        {ValidK4417F().DropTail(1).Bytes(), kErrFileTruncated},
        {"#ImageRev=" + std::string(16, '1') + "\n#FileStart\n", kErrHeaderTooLong},
        {ValidK4417F(other).Bytes(), kErrUnknownModel},
        {sectorOrder.Bytes(), kErrSectionId},
        {ValidK4417F(newer).Bytes(), kErrUtilityTooOld},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        LoadValidFile();
        ClearLog(window);
        TempFile bad(c.bytes);
        Choose(bad.path());
        ExpectOldTextsAndUpdateDisabled();
        EXPECT_EQ(window.Log(), "\r\nError number: " + std::to_string(c.code));
        ASSERT_EQ(window.boxes.size(), 1u);
        EXPECT_EQ(window.boxes[0].text, kErrorTable[c.code].message);
    }
}

TEST_F(LoadFirmwareFileTest, UnknownModelLeavesNoModelSelected) {
    K4417FFile other;
    other.modelName = "K4417G";
    TempFile bad(ValidK4417F(other).Bytes());
    Choose(bad.path());
    EXPECT_EQ(updater.selectedModel(), nullptr);
    EXPECT_EQ(window.texts.count(IDC_MODEL_NAME), 0u);
}

// The file must be closed on every way out, or the operator could not replace it.
TEST_F(LoadFirmwareFileTest, TheFileIsClosedAfterSuccessAndFailure) {
    std::string path;
    {
        TempFile file(ValidK4417F().Bytes());
        path = file.path();
        Choose(path);
        ASSERT_TRUE(window.IsEnabled(IDC_UPDATE));
    }  // removing fails on Windows while the file is still open
    EXPECT_FALSE(std::ifstream(path).good());
    {
        TempFile file(ValidK4417F().DropTail(3).Bytes());
        path = file.path();
        Choose(path);
    }
    EXPECT_FALSE(std::ifstream(path).good());
}

}  // namespace
