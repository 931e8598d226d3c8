#pragma once

#include <ctime>

#include <wx/wx.h>
#include <wx/log.h>

// Log target that appends every message, time-stamped, to the log list box.
// Trace messages are not shown; they go to the target that was active before.
//
// Messages logged from other threads are buffered by the toolkit and replayed
// here on the GUI thread, in order, when the log is flushed (at idle time).
class LboxLogger : public wxLog {
public:
    LboxLogger(wxListBox* listBox, wxLog* previousTarget);
    ~LboxLogger() override; // makes the previous target active again, if this one is active

    virtual void DoLog(wxLogLevel level, const char* msg, time_t t);
    virtual void DoLogString(const char* msg, time_t t);

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo& info) override;

private:
    wxListBox* m_listBox;    // not owned
    wxLog* m_previousTarget; // not owned, may be null
};
