#pragma once

#include "CUiMessage.h"
#include "ScopedSeam.h"

#include <QDir>
#include <QImage>
#include <QThread>
#include <QWidget>

#include <mutex>
#include <vector>

// Answers every message box with a fixed button and remembers what was
// asked and on which thread, so no test ever blocks on a modal box.
class RecordingPresenter
{
public:
    explicit RecordingPresenter(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : m_answer(answer)
    {
        m_presenter.Set([this](const CUiMessage::Request& request) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
            m_threads.push_back(QThread::currentThread());
            return m_answer;
        });
    }
    RecordingPresenter(const RecordingPresenter&) = delete;
    RecordingPresenter& operator=(const RecordingPresenter&) = delete;

    std::vector<CUiMessage::Request> Requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    std::vector<QThread*> Threads() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }

private:
    QMessageBox::StandardButton m_answer;
    mutable std::mutex m_mutex;
    std::vector<CUiMessage::Request> m_requests;
    std::vector<QThread*> m_threads;
    ScopedSeam<CUiMessage::Presenter> m_presenter{CUiMessage::PresenterSeam()};
};

// Renders a window for checks of its pixels, and keeps a copy as PNG in the
// folder named by QUANDOR_SCREENSHOTS when that is set, for a person to look
// at.
inline QImage Screenshot(QWidget& widget, const QString& name)
{
    const QImage image = widget.grab().toImage();
    const QString folder = qEnvironmentVariable("QUANDOR_SCREENSHOTS");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        image.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }
    return image;
}

// How many pixels of the image are within "tolerance" of the colour.
inline int CountPixels(const QImage& image, const QColor& colour, int tolerance = 40)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance
                && std::abs(c.blue() - colour.blue()) <= tolerance)
                ++count;
        }
    return count;
}
