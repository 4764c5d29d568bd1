// The browse button as the operator uses it: choosing files, cancelling, and what the
// dialog shows afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "firmware/model_catalogue.h"
#include "ui/log_pane.h"
#include "update_fixture.h"

namespace {

class LoadFirmwareFileTest : public UpdateFixture {
  protected:
    void SetUp() override { Start(SimScenario()); }
    void LoadValidFile() {
        ASSERT_TRUE(LoadPath(valid.path()));
        window.boxes.clear();
    }
    void ExpectOldTextsAndUpdateDisabled() {
        EXPECT_EQ(window.texts[IDC_MODEL_NAME], "K4417F");
        EXPECT_EQ(window.texts[IDC_IMAGE_REV], "2.10.0");
        EXPECT_EQ(window.texts[IDC_FILE_PATH], valid.path());
        EXPECT_FALSE(window.IsEnabled(IDC_UPDATE));
    }

    TempFile valid{ValidK4417F().Bytes()};
};

TEST_F(LoadFirmwareFileTest, ValidFileIsShownAndEnablesUpdate) {
    K4417FFile file;
    file.modelName = "k4417f";
    file.imageRev = "3.1.4b";
    file.description = "Faster sweep, Fixed Display";
    TempFile chosen(ValidK4417F(file).Bytes());
    LoadPath(chosen.path());
    EXPECT_EQ(window.texts[IDC_MODEL_NAME], "K4417F");
    EXPECT_EQ(window.texts[IDC_IMAGE_REV], "3.1.4B");
    EXPECT_EQ(window.texts[IDC_DESCRIPTION], "Faster sweep, Fixed Display");
    EXPECT_EQ(window.texts[IDC_FILE_PATH], chosen.path());
    EXPECT_TRUE(window.IsEnabled(IDC_UPDATE));
    EXPECT_EQ(core->selectedModel(), &ModelCatalogue[0]);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.Log(), "");
}

TEST_F(LoadFirmwareFileTest, CancelOrUnopenablePathKeepsTheTextsButDisablesUpdate) {
    LoadValidFile();
    LoadPath("");
    EXPECT_EQ(window.fileDialogs, 2);
    ExpectOldTextsAndUpdateDisabled();
    EXPECT_TRUE(window.boxes.empty());

    LoadPath(valid.path() + ".missing");
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
    const std::string corrupted = "The firmware revision file is corrupted.";
    struct Case {
        std::string bytes;
        int code;
        std::string message;
    } cases[] = {
        {ValidK4417F().DropTail(1).Bytes(), 23, corrupted},
        {"#ImageRev=" + std::string(16, '1') + "\n#FileStart\n", 32, corrupted},
        {ValidK4417F(other).Bytes(), 31, corrupted},
        {sectorOrder.Bytes(), 28, corrupted},
        {ValidK4417F(newer).Bytes(), 33,
         "The utility is not compatible with this firmware revision file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        LoadValidFile();
        ClearLog(window);
        TempFile bad(c.bytes);
        LoadPath(bad.path());
        ExpectOldTextsAndUpdateDisabled();
        EXPECT_EQ(window.Log(), "\r\nError number: " + std::to_string(c.code));
        ASSERT_EQ(window.boxes.size(), 1u);
        EXPECT_EQ(window.boxes[0], (RecordedBox{c.message, "Error", kMbOk | kMbIconHand, true}));
    }
}

// The file must be closed on every way out, or the operator could not replace it.
TEST_F(LoadFirmwareFileTest, TheFileIsClosedAfterSuccessAndFailure) {
    std::string path;
    {
        TempFile file(ValidK4417F().Bytes());
        path = file.path();
        LoadPath(path);
        ASSERT_TRUE(window.IsEnabled(IDC_UPDATE));
    }  // removing fails on Windows while the file is still open
    EXPECT_FALSE(std::ifstream(path).good());
    {
        TempFile file(ValidK4417F().DropTail(3).Bytes());
        path = file.path();
        LoadPath(path);
    }
    EXPECT_FALSE(std::ifstream(path).good());
}

}  // namespace
