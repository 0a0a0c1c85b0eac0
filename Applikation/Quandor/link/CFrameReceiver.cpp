#include "CFrameReceiver.h"

#include "CReaderFrame.h"

CFrameReceiver::Step CFrameReceiver::Feed(unsigned char byte)
{
    if (m_complete) {
        m_complete = false;
        m_body.clear();
    }
    if (byte == static_cast<unsigned char>(CReaderFrame::STX)) {
        m_body.clear();
        m_started = true;
        return Step::Inside;
    }
    if (!m_started)
        return Step::Outside;
    if (byte == static_cast<unsigned char>(CReaderFrame::EOT)) {
        m_started = false;
        m_complete = true;
        return Step::Complete;
    }
    if (m_body.size() >= kMaxBody) {
        Reset();
        return Step::Outside;
    }
    m_body.append(char(byte));
    return Step::Inside;
}

void CFrameReceiver::Reset()
{
    m_body.clear();
    m_started = false;
    m_complete = false;
}
