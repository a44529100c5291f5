// The dialog with the in-memory window and registry, connected through "COM1" to the
// simulator on a pseudo-terminal, for the panels' tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "app/main_dialog.h"
#include "res/resource.h"
#include "tests/support/fake_controls.h"
#include "tests/support/sim_on_pty.h"

// Sample names in code page 949, and in Johab as the device holds them.
inline const std::string kGaToMa = "\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3\xB8\xB6";  // 가나다라마
inline const std::string kBa = "\xB9\xD9";                                      // 바
inline const std::string kHong = "\xC8\xAB\xB1\xE6\xB5\xBF";                    // 홍길동
inline const std::string kGaToMaJohab = "\x88\x61\x90\x61\x94\x61\x9C\x61\xA0\x61";
inline const std::string kHongJohab = "\xD1\xB7\x8B\xA9\x95\xB7";

// (command, sub-code) of requests, in order.
using Frames = std::vector<std::pair<int, int>>;

class DialogTest : public ::testing::Test {
protected:
    // Starts the simulator with these lists and faults and connects the dialog to it.
    void Connect(SimState state = {}, FaultPlan faults = {}, int fullAfter = -1) {
        sim = std::make_unique<SimOnPty>(std::move(faults), std::move(state));
        sim->device.fullAfterAppends = fullAfter;
        ports =
            std::filesystem::temp_directory_path() / ("ombrix-dialog-" + std::to_string(getpid()));
        std::filesystem::remove_all(ports);
        std::filesystem::create_directories(ports);
        std::filesystem::create_symlink(sim->Path(), ports / "COM1");
        setenv("OMBRIX_PORTS", ports.c_str(), 1);
        dialog.InitMainDialog();
        dialog.OnConnect();
        ASSERT_TRUE(dialog.IsConnected());
        ui.boxes.clear();
    }

    void TearDown() override {
        dialog.OnClose();
        sim.reset();
        if (!ports.empty()) std::filesystem::remove_all(ports);
    }

    // (command, sub-code) of every request the device received.
    Frames Sent() const {
        Frames sent;
        for (const auto& frame : sim->Server().Requests()) sent.emplace_back(frame[2], frame[3]);
        return sent;
    }

    std::vector<uint8_t> Request(size_t index) const { return sim->Server().Requests().at(index); }

    std::string CellOf(int list, int row, int column) { return ui.Cell(list, row, column); }

    std::vector<ShownBox> Told(int textId) const { return {{ShownBox::Info, textId, ""}}; }
    ShownBox Info(int textId, const std::string& insert = "") const {
        return {ShownBox::Info, textId, insert};
    }

    // The operator changes an edit's text: the dialog gets its change notification.
    void Type(int edit, const std::string& text) {
        ui.edits[edit] = text;
        dialog.OnCommand(edit, ControlEvent::TextChanged);
    }

    FakeControls ui;
    FakeSettings settings;
    COmbrix_TessalyDlg dialog{ui, settings};
    std::unique_ptr<SimOnPty> sim;
    std::filesystem::path ports;
};
