#pragma once

#include <QByteArray>

// Assembles one reply from the bytes of the line: STX starts the text
// afresh, EOT after a start completes it, an EOT before any STX is skipped,
// and bytes outside a frame are dropped. A text that grows past kMaxBody
// without an EOT is line noise and is dropped too, so a babbling line can
// never make the text grow without bound.
class CFrameReceiver
{
public:
    enum class Step { Outside, Inside, Complete };

    static constexpr int kMaxBody = 256;

    Step Feed(unsigned char byte);
    void Reset();

    bool Started() const { return m_started; }
    // The text of the completed frame (valid after Feed returned Complete,
    // until the next Feed or Reset).
    const QByteArray& Body() const { return m_body; }

private:
    QByteArray m_body;
    bool m_started = false;
    bool m_complete = false;
};
