#include "engine/memo/MemoHistory.h"

void MemoHistory::reset(std::string state, bool saved) {
    m_states.clear();
    m_bytes = state.size();
    m_states.push_back(std::move(state));
    m_current = 0;
    m_saved = saved ? 0 : size_t(-1);
}

bool MemoHistory::record(std::string state) {
    if (m_states.empty()) {
        reset(std::move(state), false);
        return true;
    }
    if (state == m_states[m_current])
        return false;
    while (m_states.size() > m_current + 1) {
        m_bytes -= m_states.back().size();
        m_states.pop_back();
    }
    if (m_saved != size_t(-1) && m_saved > m_current)
        m_saved = size_t(-1); // the saved state was undone and is now gone
    m_bytes += state.size();
    m_states.push_back(std::move(state));
    m_current = m_states.size() - 1;
    trim();
    return true;
}

void MemoHistory::trim() {
    // The current state always stays, whatever its size.
    while (m_states.size() > 1 && (m_states.size() - 1 > m_maxSteps || m_bytes > m_maxBytes)) {
        m_bytes -= m_states.front().size();
        m_states.pop_front();
        --m_current;
        m_saved = m_saved == 0 || m_saved == size_t(-1) ? size_t(-1) : m_saved - 1;
    }
}

const std::string* MemoHistory::undo() {
    if (!canUndo())
        return nullptr;
    return &m_states[--m_current];
}

const std::string* MemoHistory::redo() {
    if (!canRedo())
        return nullptr;
    return &m_states[++m_current];
}
