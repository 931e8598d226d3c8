#include "gui/app/LboxLogger.h"

LboxLogger::LboxLogger(wxListBox* listBox, wxLog* previousTarget)
    : m_listBox(listBox), m_previousTarget(previousTarget) {}

LboxLogger::~LboxLogger() {
    // Hand back to the previous target only if this one is still in charge; swapping
    // (rather than asking) avoids creating a default target on the way.
    wxLog* current = wxLog::SetActiveTarget(nullptr);
    wxLog::SetActiveTarget(current == this ? m_previousTarget : current);
}

void LboxLogger::DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo& info) {
    DoLog(level, msg.utf8_str(), static_cast<time_t>(info.timestampMS / 1000));
}

void LboxLogger::DoLog(wxLogLevel level, const char* msg, time_t t) {
    if (level == wxLOG_Trace) {
        if (m_previousTarget) {
            wxLogRecordInfo info;
            info.timestampMS = static_cast<wxLongLong_t>(t) * 1000;
            m_previousTarget->LogRecord(level, wxString::FromUTF8(msg), info);
        }
        return;
    }

    // The classic formatting: errors and warnings carry their kind, informational
    // lines appear only in verbose mode, everything else is shown as it is.
    wxString text;
    switch (level) {
    case wxLOG_FatalError:
        text = "Fatal error: ";
        break;
    case wxLOG_Error:
        text = "Error: ";
        break;
    case wxLOG_Warning:
        text = "Warning: ";
        break;
    case wxLOG_Info:
        if (!GetVerbose())
            return;
        break;
    case wxLOG_Debug:
        text = "Debug: ";
        break;
    default:
        break;
    }
    text += wxString::FromUTF8(msg);
    DoLogString(text.utf8_str(), t);
}

void LboxLogger::DoLogString(const char* msg, time_t t) {
    wxString line;
    TimeStamp(&line, t);
    line += wxString::FromUTF8(msg);
    m_listBox->Append(line);
    m_listBox->SetFirstItem(static_cast<int>(m_listBox->GetCount()) - 1);
}
