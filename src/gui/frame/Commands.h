#pragma once

#include <string>
#include <vector>

class MyFrame;

// What a command does to the window, which decides whether it may run now (MyFrame::mayRun).
enum class Action {
    anytime,     // help, quitting, switching a view option
    editMemos,   // changes the memo list's records, or saves them
    analyse,     // draws over the voiceprint shown
    navigate,    // moves the analysed stretch or the window, rewriting the work memory
    compute,     // starts a voiceprint
    replaceList, // opens a file or imports, replacing the sound or the memo list
};

// Where a command sits in the menu bar.
enum class MenuPlace { none, file, edit, view, go, help };

struct KeyChord {
    int code;
    int modifiers; // wxMOD_* flags
};

// One user action: the menus, the keys, the F1 help and the README's key table are made from
// the table of these, so a new action is one entry plus the code it runs.
struct Command {
    int id;
    MenuPlace menu;
    bool separatorBefore; // in its menu
    const char* label;    // the menu's text, with its mnemonic; the key is added to it
    const char* keyText;  // the keys as people read them; empty for none
    std::vector<KeyChord> keys;
    // The first key is the menu item's accelerator. Others are taken by the window's key hook,
    // which leaves them to a text box being typed in (an accelerator would not).
    bool accelerator;
    const char* help; // status bar, F1 and README
    Action action;
    void (*run)(MyFrame&);
};

// What the empty main panel says until a sound is open.
extern const char* const kStartHint;
// What the log says when a memo tour refuses a command.
extern const char* const kTourRunsLine;

const std::vector<Command>& windowCommands();
const Command* commandWithId(int id);
// The command a key starts, or null.
const Command* commandForKey(int code, int modifiers);
// The menu item's text, with its accelerator after a tab or its keys in brackets.
std::string menuLabel(const Command& command);
// The F1 text, keys then mouse.
std::string keyHelpText();
// The README's table of keys and gestures, one row a line.
std::string keyTableMarkdown();
