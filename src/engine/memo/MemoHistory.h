#pragma once

#include <cstddef>
#include <deque>
#include <string>

// The memo list's undo and redo, as whole lists in the memo-list file's own bytes: restoring
// a state and saving it gives the very bytes it had. Bounded by a number of steps and of bytes;
// the oldest states go first.
class MemoHistory {
public:
    static constexpr size_t kMaxSteps = 100;
    static constexpr size_t kMaxBytes = size_t(32) << 20;

    explicit MemoHistory(size_t maxSteps = kMaxSteps, size_t maxBytes = kMaxBytes)
        : m_maxSteps(maxSteps), m_maxBytes(maxBytes) {}

    // A list read, imported at opening or cleared: no undo before it. `saved` when it is what
    // the file holds.
    void reset(std::string state, bool saved);
    // The list after an edit; false (and nothing kept) when it did not change. Drops the redo.
    bool record(std::string state);
    // The state to restore, or null when there is none.
    const std::string* undo();
    const std::string* redo();
    // The current state is what the memo-list file holds now.
    void markSaved() { m_saved = m_current; }
    bool atSaved() const { return m_saved == m_current; }
    bool canUndo() const { return m_current > 0; }
    bool canRedo() const { return m_current + 1 < m_states.size(); }
    size_t bytes() const { return m_bytes; }
    size_t steps() const { return m_states.empty() ? 0 : m_states.size() - 1; }

private:
    void trim();

    size_t m_maxSteps;
    size_t m_maxBytes;
    std::deque<std::string> m_states;
    size_t m_current = 0;
    // The index of the saved state; past the end when no kept state is saved.
    size_t m_saved = size_t(-1);
    size_t m_bytes = 0;
};
