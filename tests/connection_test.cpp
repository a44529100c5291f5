// The connect button and the remembered port, through the in-memory window and settings, with
// the simulator on a pseudo-terminal linked as COM3.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/main_dialog.h"
#include "app/port_name.h"
#include "res/resource.h"
#include "tests/support/fake_controls.h"
#include "tests/support/sim_on_pty.h"

namespace {

namespace fs = std::filesystem;

const int kDeviceButtons[] = {IDC_BTN_USER_READ,           IDC_BTN_USER_WRITE,
                              IDC_BTN_STANDARD_READ,       IDC_BTN_STANDARD_WRITE,
                              IDC_BTN_RECORD_CLEAR_DEVICE, IDC_BTN_RECORD_READ};

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ports = fs::temp_directory_path() / ("ombrix-ports-" + std::to_string(getpid()));
        fs::create_directories(ports);
        fs::create_symlink(sim.Path(), ports / "COM3");
        setenv("OMBRIX_PORTS", ports.c_str(), 1);
    }
    void TearDown() override {
        dialog.OnClose();
        fs::remove_all(ports);
    }

    void ExpectConnected(bool connected) {
        EXPECT_EQ(dialog.IsConnected(), connected);
        EXPECT_EQ(ui.IsEnabled(IDC_COMBO_PORT), !connected);
        for (int button : kDeviceButtons) EXPECT_EQ(ui.IsEnabled(button), connected) << button;
        EXPECT_EQ(ui.texts[IDC_STATIC_STATUS],
                  connected ? IDS_STATUS_CONNECTED : IDS_STATUS_DISCONNECTED);
        EXPECT_EQ(ui.texts[IDC_BTN_CONNECT],
                  connected ? IDS_CAPTION_DISCONNECT : IDS_CAPTION_CONNECT);
    }

    SimOnPty sim;
    fs::path ports;
    FakeControls ui;
    FakeSettings settings;
    COmbrix_TessalyDlg dialog{ui, settings};
};

TEST_F(ConnectionTest, FirstStartCreatesTheKeyWithPortZero) {
    dialog.InitMainDialog();
    EXPECT_TRUE(settings.keyExists);
    EXPECT_TRUE(settings.hasValue);
    EXPECT_EQ(settings.value, 0);
    EXPECT_EQ(ui.selectedPort, 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(settings.open);
}

TEST_F(ConnectionTest, SavedIndexIsSelected) {
    settings.keyExists = settings.hasValue = true;
    settings.value = 4;
    dialog.InitMainDialog();
    EXPECT_EQ(ui.selectedPort, 4);
}

TEST_F(ConnectionTest, AnIndexOutOfRangeLeavesNoSelectionAndConnectTriesPortZero) {
    for (int saved : {256, -1, 1000}) {
        settings.keyExists = settings.hasValue = true;
        settings.value = saved;
        ui.boxes.clear();
        dialog.InitMainDialog();
        EXPECT_EQ(ui.selectedPort, -1) << saved;
        dialog.OnConnect();
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0], (ShownBox{ShownBox::Info, IDS_CONNECT_FAILED, "0"}));
        EXPECT_FALSE(dialog.IsConnected());
        EXPECT_EQ(settings.value, saved);
    }
}

TEST(PortName, WhatTheFieldTakesAsAPort) {
    const std::pair<const char*, int> cases[] = {
        {"COM15", 15}, {"com15", 15},   {"  COM15  ", 15}, {"COM 15", 15}, {"\tcom\t7 ", 7},
        {"COM1", 1},   {"COM256", 256}, {"Com99", 99},     {"COM0", 0},    {"COM257", 0},
        {"COM015", 0}, {"COM", 0},      {"COM1 5", 0},     {"C OM15", 0},  {"LPT1", 0},
        {"15", 0},     {"", 0},         {"COM-1", 0},      {"COM1000", 0}, {"COM15x", 0},
        {" COM1", 1},  {"COM12", 12}};
    for (const auto& [text, number] : cases) EXPECT_EQ(PortNumberInField(text), number) << text;
    EXPECT_EQ(ComPortNumber(" COM1"), 0);  // a command line names its port exactly
    EXPECT_EQ(ComPortName(15), "COM15");
}

TEST_F(ConnectionTest, RegistryFailuresAreReportedAndTheDialogGoesOn) {
    settings.canCreate = false;
    dialog.InitMainDialog();
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{ShownBox::Info, IDS_REG_CREATE_FAILED, ""}}));
    EXPECT_EQ(ui.selectedPort, 0);

    FakeControls ui2;
    FakeSettings settings2;
    settings2.canWrite = false;
    COmbrix_TessalyDlg dialog2(ui2, settings2);
    dialog2.InitMainDialog();
    EXPECT_EQ(ui2.boxes, (std::vector<ShownBox>{{ShownBox::Info, IDS_REG_SAVE_FAILED, ""}}));
    EXPECT_EQ(ui2.selectedPort, 0);
}

TEST_F(ConnectionTest, ConnectOpensThePortSendsNothingAndSavesTheIndex) {
    dialog.InitMainDialog();
    ui.selectedPort = 2;  // COM3
    dialog.OnCommand(IDC_BTN_CONNECT, ControlEvent::Clicked);
    ExpectConnected(true);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(settings.value, 2);
    EXPECT_EQ(sim.Server().RequestCount(), 0);
}

TEST_F(ConnectionTest, FailedConnectChangesNothing) {
    settings.keyExists = settings.hasValue = true;
    settings.value = 2;
    dialog.InitMainDialog();
    ui.selectedPort = 4;  // COM5: nothing there
    dialog.OnConnect();
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{ShownBox::Info, IDS_CONNECT_FAILED, "5"}}));
    EXPECT_FALSE(dialog.IsConnected());
    EXPECT_EQ(settings.value, 2);
}

TEST_F(ConnectionTest, APortTypedIntoTheFieldConnectsAndIsRemembered) {
    fs::create_symlink(sim.Path(), ports / "COM15");
    dialog.InitMainDialog();
    for (const char* typed : {"com3", " COM 15 "}) {
        ui.SetPortText(typed);
        dialog.OnConnect();
        ExpectConnected(true);
        dialog.OnConnect();
    }
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(settings.value, 14);

    dialog.InitMainDialog();  // the next start
    EXPECT_EQ(ui.selectedPort, -1);
    EXPECT_EQ(ui.portText, "COM15");
    dialog.OnConnect();
    ExpectConnected(true);
}

TEST_F(ConnectionTest, ATypedPortThatFailsOrNoPortNameChangesNothing) {
    settings.keyExists = settings.hasValue = true;
    settings.value = 2;
    dialog.InitMainDialog();
    const std::pair<const char*, const char*> cases[] = {
        {"COM20", "20"}, {"COM257", "0"}, {"포트", "0"}, {"", "0"}};
    for (const auto& [typed, tried] : cases) {
        ui.boxes.clear();
        ui.SetPortText(typed);
        dialog.OnConnect();
        EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{ShownBox::Info, IDS_CONNECT_FAILED, tried}}))
            << typed;
        EXPECT_FALSE(dialog.IsConnected());
        EXPECT_EQ(settings.value, 2);
    }
}

TEST_F(ConnectionTest, SavedPortsBeyondTheEntriesStandInTheField) {
    const std::pair<int, const char*> cases[] = {
        {11, ""}, {12, "COM13"}, {14, "COM15"}, {255, "COM256"}, {256, ""}};
    for (const auto& [saved, shown] : cases) {
        settings.keyExists = settings.hasValue = true;
        settings.value = saved;
        dialog.InitMainDialog();
        EXPECT_EQ(ui.selectedPort, saved == 11 ? 11 : -1) << saved;
        EXPECT_EQ(ui.portText, shown) << saved;
    }
}

TEST_F(ConnectionTest, DisconnectRightAfterConnectAndConnectAgain) {
    dialog.InitMainDialog();
    ui.selectedPort = 2;
    for (int i = 0; i < 3; ++i) {
        dialog.OnConnect();
        ExpectConnected(true);
        dialog.OnConnect();
        ExpectConnected(false);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConnectionTest, SavingWhenTheKeyCannotBeWritten) {
    dialog.InitMainDialog();
    ui.selectedPort = 2;
    settings.keyExists = false;
    settings.canCreate = false;
    dialog.OnConnect();
    EXPECT_TRUE(dialog.IsConnected());  // the connection itself stands
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{ShownBox::Info, IDS_REG_CREATE_FAILED, ""}}));
    dialog.OnConnect();
    settings.canCreate = true;
    settings.canWrite = false;
    ui.boxes.clear();
    dialog.OnConnect();
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{ShownBox::Info, IDS_REG_SAVE_FAILED, ""}}));
}

}  // namespace
