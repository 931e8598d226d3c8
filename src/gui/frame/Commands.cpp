#include "gui/frame/Commands.h"

#include <wx/defs.h>

#include "gui/frame/MyFrame.h"

namespace {

// A command that runs an event handler, with an event of its own each time.
template <void (MyFrame::*handler)(wxCommandEvent&)> void handle(MyFrame& f) {
    wxCommandEvent event;
    (f.*handler)(event);
}

constexpr int kShift = wxMOD_SHIFT;
constexpr int kCtrl = wxMOD_CONTROL;

// Mouse gestures are no commands, but the help and the README list them beside the keys.
const std::pair<const char*, const char*> kGestures[] = {
    {"wheel over the waveform or voiceprint",
     "scroll a tenth of the stretch, keeping what the main panel shows"},
    {"Ctrl+wheel", "zoom in around the pointer, zoom out"},
    {"click on the overview", "move the window there; a memo mark's tooltip shows its text"},
    {"drag on the top waveform", "select what to play; right-click for the panel's menu"},
    {"right-click on the voiceprint", "memos, method, pitch"},
    {"drop a file on the window", "open it (File > Recent files remembers what was opened)"},
};

} // namespace

const char* const kStartHint = "Open a recording with Ctrl+O, or drop one here";
const char* const kTourRunsLine =
    "a memo tour is running: stop it (\"Stop\" in the memo panel) first.";

const std::vector<Command>& windowCommands() {
    using F = MyFrame;
    // clang-format off
    static const std::vector<Command> table = {
        {F::ID_Open, MenuPlace::file, false, "&Open\xE2\x80\xA6",
         "Ctrl+O", {{'O', kCtrl}}, true,
         "Open a sound (.wav) or its memo file (.vlh, .txt, .trn)", Action::replaceList,
         handle<&F::OnOpen>},
        {F::ID_MenuSave, MenuPlace::file, false, "&Save memos",
         "Ctrl+S", {{'S', kCtrl}}, true,
         "Save the memo list beside the sound", Action::editMemos,
         handle<&F::OnSave>},
        {F::ID_MenuExport, MenuPlace::file, false, "&Export WAV from memos",
         "Ctrl+E", {{'E', kCtrl}}, true,
         "Write the sound under the memos into a new WAV file", Action::editMemos,
         handle<&F::OnExportWav>},
        {ID_SavePicture, MenuPlace::file, true, "Save voiceprint picture\xE2\x80\xA6",
         "", {}, false,
         "Save what the main panel shows as a PNG picture", Action::anytime,
         handle<&F::OnSavePicture>},
        {ID_ExportMemos, MenuPlace::file, true, "Export memos\xE2\x80\xA6",
         "", {}, false,
         "Write the memo list as a Praat TextGrid, Audacity labels or CSV", Action::anytime,
         handle<&F::OnExportMemos>},
        {ID_ImportMemos, MenuPlace::file, false, "Import memos\xE2\x80\xA6",
         "", {}, false,
         "Read the memo list from a Praat TextGrid or Audacity labels", Action::replaceList,
         handle<&F::OnImportMemos>},
        {ID_Quit, MenuPlace::file, true, "&Quit",
         "", {}, false,
         "Quit this program", Action::anytime,
         handle<&F::OnQuit>},
        {F::ID_Undo, MenuPlace::edit, false, "&Undo memo edit",
         "Ctrl+Z", {{'Z', kCtrl}}, false,
         "Take back the last change of the memo list", Action::editMemos,
         [](F& f) { f.undoMemoEdit(); }},
        {F::ID_Redo, MenuPlace::edit, false, "&Redo memo edit",
         "Ctrl+Shift+Z, Ctrl+Y", {{'Z', kCtrl | kShift}, {'Y', kCtrl}}, false,
         "Make the change taken back again", Action::editMemos,
         [](F& f) { f.redoMemoEdit(); }},
        {F::ID_ViewVoiceprint, MenuPlace::view, false, "&Voiceprint",
         "V", {{'V', 0}}, false,
         "Compute the voiceprint of the analysed stretch", Action::compute,
         [](F& f) { f.runViewCommand(F::ID_ViewVoiceprint); }},
        {F::ID_ViewOtherMethod, MenuPlace::view, false,
         "&Hamming window / wideband phase restoration",
         "Shift+V", {{'V', kShift}}, false,
         "Show the voiceprint by the other method", Action::anytime,
         [](F& f) { f.runViewCommand(F::ID_ViewOtherMethod); }},
        {F::ID_ViewPitch, MenuPlace::view, false, "&Pitch",
         "P", {{'P', 0}}, false,
         "Detect and draw the pitch on the voiceprint", Action::analyse,
         [](F& f) { f.runViewCommand(F::ID_ViewPitch); }},
        {F::ID_ViewLevel, MenuPlace::view, false, "&Level spectrum",
         "", {}, false,
         "Back to the level spectrum of the stretch's first frame", Action::navigate,
         [](F& f) { f.runViewCommand(F::ID_ViewLevel); }},
        {F::ID_ZoomIn, MenuPlace::view, true, "Zoom &in",
         "+", {{'+', 0}, {'=', 0}, {'+', kShift}, {WXK_NUMPAD_ADD, 0}}, false,
         "Analyse the middle half of the stretch", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.runViewCommand(F::ID_ZoomIn); }); }},
        {F::ID_ZoomOut, MenuPlace::view, false, "Zoom &out",
         "-", {{'-', 0}, {WXK_NUMPAD_SUBTRACT, 0}}, false,
         "Analyse the whole window again", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.runViewCommand(F::ID_ZoomOut); }); }},
        {F::ID_PlayOrStop, MenuPlace::go, false, "&Play or stop",
         "Space", {{WXK_SPACE, 0}}, false,
         "Play the waveform's selection, or stop", Action::anytime,
         [](F& f) { f.playOrStop(); }},
        {F::ID_TenthBack, MenuPlace::go, true, "Back a &tenth",
         "Left", {{WXK_LEFT, 0}}, false,
         "Move the stretch back a tenth of its length", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.scrollInTime(-f.tenthOfStretch()); }); }},
        {F::ID_TenthForward, MenuPlace::go, false, "&Forward a tenth",
         "Right", {{WXK_RIGHT, 0}}, false,
         "Move the stretch forward a tenth of its length", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.scrollInTime(f.tenthOfStretch()); }); }},
        {F::ID_StretchBack, MenuPlace::go, false, "&Back a stretch",
         "Shift+Left", {{WXK_LEFT, kShift}}, false,
         "Move the stretch back by its whole length", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.scrollInTime(-f.wholeStretch()); }); }},
        {F::ID_StretchForward, MenuPlace::go, false, "Forward a &stretch",
         "Shift+Right", {{WXK_RIGHT, kShift}}, false,
         "Move the stretch forward by its whole length", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.scrollInTime(f.wholeStretch()); }); }},
        {F::ID_WindowBack, MenuPlace::go, true, "&Window back",
         "PageUp", {{WXK_PAGEUP, 0}}, false,
         "Move the window back by the jump distance, as \"<<<<\"", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { handle<&F::OnLLLLeft>(f); }); }},
        {F::ID_WindowForward, MenuPlace::go, false, "Window f&orward",
         "PageDown", {{WXK_PAGEDOWN, 0}}, false,
         "Move the window forward by the jump distance, as \">>>>\"", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { handle<&F::OnRRRRigth>(f); }); }},
        {F::ID_FileStart, MenuPlace::go, false, "To the st&art",
         "Home", {{WXK_HOME, 0}}, false,
         "The start of the recording", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.moveToFileEdge(false); }); }},
        {F::ID_FileEnd, MenuPlace::go, false, "To the &end",
         "End", {{WXK_END, 0}}, false,
         "The end of the recording", Action::navigate,
         [](F& f) { f.navigateKeepingView([&f] { f.moveToFileEdge(true); }); }},
        {F::ID_KeyHelp, MenuPlace::help, false, "&Keys and mouse",
         "F1", {{WXK_F1, 0}}, true,
         "A short help of the keys and the mouse", Action::anytime,
         [](F& f) { f.showKeyHelp(); }},
        {ID_About, MenuPlace::help, false, "&About",
         "", {}, false,
         "Show about dialog", Action::anytime,
         handle<&F::OnAbout>},
    };
    // clang-format on
    return table;
}

const Command* commandWithId(int id) {
    for (const Command& c : windowCommands())
        if (c.id == id)
            return &c;
    return nullptr;
}

const Command* commandForKey(int code, int modifiers) {
    // Letters come upper-case from the key hook; a shifted '+' is still '+'.
    for (const Command& c : windowCommands())
        for (const KeyChord& k : c.keys)
            if (k.code == code && k.modifiers == modifiers)
                return &c;
    return nullptr;
}

std::string menuLabel(const Command& c) {
    if (!*c.keyText)
        return c.label;
    if (c.accelerator)
        return std::string(c.label) + "\t" + c.keyText;
    return std::string(c.label) + " (" + c.keyText + ")";
}

std::string keyHelpText() {
    std::string text =
        "Keys (they work wherever the focus is; a text box keeps its own typing keys, "
        "a focused\nbutton takes Space, a focused slider the arrows)\n";
    for (const Command& c : windowCommands())
        if (*c.keyText)
            text += std::string("  ") + c.keyText + "\t" + c.help + "\n";
    text += "\nMouse\n";
    for (const auto& [gesture, what] : kGestures)
        text += std::string("  ") + gesture + "\t" + what + "\n";
    text.pop_back();
    return text;
}

std::string keyTableMarkdown() {
    std::string table = "| Key or gesture | What it does |\n|---|---|\n";
    for (const Command& c : windowCommands())
        if (*c.keyText)
            table += std::string("| ") + c.keyText + " | " + c.help + " |\n";
    for (const auto& [gesture, what] : kGestures)
        table += std::string("| ") + gesture + " | " + what + " |\n";
    return table;
}
