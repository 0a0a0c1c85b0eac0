#pragma once

#include <mutex>
#include <utility>

// The one seam through which tests replace behaviour that would otherwise
// need a person or the wall clock. The program never sets one; an empty
// seam means the real behaviour. Every seam is a CTestSeam of the class
// whose behaviour it replaces, set through that class's Set... function:
//
//   CUiMessage::SetPresenter           message boxes
//   CDialogRunner::SetRunner           modal dialogs
//   CFileChooser::SetChooser           file dialogs
//   CRecordViewMenu::SetTracker        context menus
//   CLeserDlg::SetSettingsOpener       a reader's settings dialog
//   CLeserDlg::SetPlainListOpener      the plain readers' list dialog
//   CMainFrame::SetHelpOpener          the help viewer
//   CNameDlg::SetClock, CFileNameRule::SetClock, CParamHeron_KiteDlg::SetClock
//                                      the clocks of new names, file names
//                                      and the reader's time
//
// Everything else a view or a command needs of the program comes through
// the context it is handed (CAppContext).
//
// Any thread may replace a seam; the function replaced is returned, so a
// test can put it back. Get() hands out a copy that is called outside the
// lock: a replacement may well show a box, which asks its seam in turn.
template <class Function>
class CTestSeam
{
public:
    Function Replace(Function replacement)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(m_function, replacement);
        return replacement;
    }

    Function Get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_function;
    }

private:
    mutable std::mutex m_mutex;
    Function m_function;
};
