#pragma once

#include <string>
#include <vector>

#include "gui/app/IProcMemoListener.h"

// Stands in for the main window: records every operation a panel asks for, in order,
// as "name(args)".
class RecordingListener : public IProcMemoListener {
public:
    std::vector<std::string> calls;

    void saveMemoPos() override { add("saveMemoPos()"); }
    void loadMemoPos() override { add("loadMemoPos()"); }
    void moveToMemo(int t) override { add("moveToMemo(" + n(t) + ")"); }
    void moveToLatestMemo() override { add("moveToLatestMemo()"); }
    void moveNextMemo(int t) override { add("moveNextMemo(" + n(t) + ")"); }
    void movePreviousMemo(int t) override { add("movePreviousMemo(" + n(t) + ")"); }
    void restoreMemo(int t) override { add("restoreMemo(" + n(t) + ")"); }
    void replaceMemo(int t) override { add("replaceMemo(" + n(t) + ")"); }
    void addMemo(int x, int y, wxString text) override {
        add("addMemo(" + n(x) + "," + n(y) + "," + text.utf8_string() + ")");
    }
    void editMemo(int t, int term) override { add("editMemo(" + n(t) + "," + n(term) + ")"); }
    void deleteMemo(int t, int term) override { add("deleteMemo(" + n(t) + "," + n(term) + ")"); }
    void sortMemoByTime() override { add("sortMemoByTime()"); }
    void moveMemoToFirst(int t) override { add("moveMemoToFirst(" + n(t) + ")"); }
    void moveMemoToLast(int t) override { add("moveMemoToLast(" + n(t) + ")"); }
    void toPlay() override { add("toPlay()"); }
    void toStop() override { add("toStop()"); }
    void toRedraw() override { add("toRedraw()"); }
    void toSaveMemoToFile() override { add("toSaveMemoToFile()"); }
    void toHammingWindow() override { add("toHammingWindow()"); }
    void toWidebandPhase() override { add("toWidebandPhase()"); }
    void setRange() override { add("setRange()"); }
    void unsetRange() override { add("unsetRange()"); }
    void toVoiceprint() override { add("toVoiceprint()"); }
    void setProirSubTitle(int t, DragShape::DispPrior p) override {
        add("setProirSubTitle(" + n(t) + "," + n(static_cast<int>(p)) + ")");
    }
    void calcPriorStats() override { add("calcPriorStats()"); }
    void calcPitch() override { add("calcPitch()"); }

private:
    void add(std::string call) { calls.push_back(std::move(call)); }
    static std::string n(int v) { return std::to_string(v); }
};
