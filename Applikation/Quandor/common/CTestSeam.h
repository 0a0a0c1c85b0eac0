#pragma once

#include "CTestSeamBase.h"

#include <mutex>
#include <utility>

// The one seam through which tests replace behaviour that would otherwise
// need a person or the wall clock. The program never sets one; an empty
// seam means the real behaviour. Every seam is a CTestSeam of the class
// whose behaviour it replaces, reached through that class's ...Seam():
//
//   CUiMessage::PresenterSeam          message boxes
//   CDialogRunner::RunnerSeam          modal dialogs
//   CFileChooser::ChooserSeam          file dialogs
//   CRecordViewMenu::TrackerSeam       context menus
//   CLeftTreeView::PortOpenerSeam      the serial port's opening
//   CMainFrame::HelpOpenerSeam         the help viewer
//   CNameDlg::ClockSeam, CFileNameRule::ClockSeam, CParamHeron_KiteDlg::ClockSeam
//                                      the clocks (CTimeStamp::Clock) of new
//                                      names, file names and the reader's time
//
// Everything else a view or a command needs of the program comes through
// the context it is handed (CAppContext).
//
// Any thread may replace a seam; the function replaced is returned. Get()
// hands out a copy that is called outside the lock: a replacement may well
// show a box, which asks its seam in turn.
template <class Function>
class CTestSeam : public CTestSeamBase
{
public:
    explicit CTestSeam(const char* name)
        : CTestSeamBase(name)
    {
    }

    Function Replace(Function replacement)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(m_function, replacement);
        m_serial = NextSerial();
        return replacement;
    }

    Function Get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_function;
    }

    // Puts back a function and the serial it had (a scoped replacement ends).
    void Restore(Function previous, unsigned long long serial)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_function = std::move(previous);
        m_serial = serial;
    }

    unsigned long long Serial() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_serial;
    }

    void Reset() override { Restore(Function(), 0); }

    std::function<void()> Keeper() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return [this, function = m_function, serial = m_serial] { Restore(function, serial); };
    }

private:
    mutable std::mutex m_mutex;
    Function m_function;
    unsigned long long m_serial = 0;
};
