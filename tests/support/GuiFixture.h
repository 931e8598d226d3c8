#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/testing.h>

#include "engine/sound/ParameterBlock.h"
#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
#include "support/FrameProbe.h"
#include "support/SoundFiles.h"

// The test application: a real MyApp whose event loop runs the tests.
class GuiTestApp : public MyApp {
public:
    bool OnInit() override;
    int OnRun() override;
    MyFrame* openFrame(const wxString& path) { return createMainFrame(path); }

private:
    int m_result = 1;
};

// Handles events until the predicate holds; false when the deadline passed first.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(20));
// Handles what is pending now, including idle processing.
void pumpEvents();

using Lines = std::vector<std::string>;
using Ints = std::vector<int>;

// Text of the log list's lines, without their time stamps.
Lines logLines(const wxListBox* list);

// A real main window, shown, as start-up makes it, with a scratch folder. Opening a file moves
// into its folder, as the file dialog does: the working directory is put back after each test.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    Lines log() const;
    // Opens a file as choosing it in ReadWave's file dialog does; `convert` as File > Open does.
    void open(const std::string& path, bool convert = false);

    FrameProbe win() const { return inside(frame); }
    // The opened sound's block with frames of ssft samples, interval apart, confirmed.
    void setStretch(int32_t ssft, int32_t interval, int32_t repeatTimes) {
        ParameterValues v = frame->currentParameters();
        v.ssftSize = ssft;
        v.interval = interval;
        v.repeatTimes = repeatTimes;
        inside(frame).text()->SetValue(wxString::FromUTF8(formatParameterBlock(v)));
        wxCommandEvent confirm;
        frame->OnConfirm(confirm);
    }

    MyFrame* frame = nullptr;
    ScratchDir dir;
    const wxString cwd = wxGetCwd();
};
