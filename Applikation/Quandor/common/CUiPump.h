#pragma once

#include <QElapsedTimer>
#include <QObject>

// Long work that must stay on the UI thread (a CSV import of a million
// lines) still lets the windows paint: Pump(), called often by the work,
// runs the event loop once at most every interval. Meanwhile, as while a
// modal window is open, the operator's input to every window and a request
// to close one are dropped, so nothing is started or closed half-way; the
// work's own progress window shows what goes on.
class CUiPump : public QObject
{
public:
    static constexpr int kIntervalMs = 50;

    explicit CUiPump(int intervalMs = kIntervalMs);
    ~CUiPump() override;

    // Runs the event loop when the interval has passed since the last run.
    void Pump();
    // Runs it now (before the work starts: the progress window appears).
    void PumpNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QElapsedTimer m_clock;
    int m_intervalMs;
    bool m_pumping = false;
};
