#pragma once

#include <gtest/gtest.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>
#include <wx/textdlg.h>

// What a message box asked, kept by ExpectQuestion.
struct Asked {
    wxString message, caption;
    long style = 0;
};

// Answers a message box with the given button and keeps what it asked.
class ExpectQuestion : public wxExpectModalBase<wxMessageDialog, ExpectQuestion> {
public:
    ExpectQuestion(int answer, Asked* asked) : m_answer(answer), m_asked(asked) {}

protected:
    int OnInvoked(wxMessageDialog* dlg) const override {
        *m_asked = {dlg->GetMessage(), dlg->GetTitle(), dlg->GetMessageDialogStyle()};
        return m_answer;
    }
    int m_answer;
    Asked* m_asked;
};

// A text entry dialog: checks its title and the text it offers, types the answer and
// presses the button.
class ExpectTextEntry : public wxExpectModalBase<wxTextEntryDialog, ExpectTextEntry> {
public:
    ExpectTextEntry(const wxString& title, const wxString& offered, const wxString& answer,
                    int button = wxID_OK)
        : m_title(title), m_offered(offered), m_answer(answer), m_button(button) {}

protected:
    int OnInvoked(wxTextEntryDialog* dlg) const override {
        EXPECT_EQ(dlg->GetTitle(), m_title);
        EXPECT_EQ(dlg->GetValue(), m_offered);
        dlg->SetValue(m_answer);
        return m_button;
    }
    wxString m_title, m_offered, m_answer;
    int m_button;
};
