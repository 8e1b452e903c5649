// Learns the chosen video's duration and frame size: runs the encoder on it
// and reads its description, chunk by chunk, into the main window.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class ConsoleCapture;
class MainWindow;

class VideoProbe : public QObject {
    Q_OBJECT
public:
    // Hears the window's video choices and answers into it; a child of it.
    explicit VideoProbe(MainWindow& window);
    ~VideoProbe() override;

    // Runs the encoder on `path` to its end, filling in what each chunk tells.
    // A video whose frame size it never learns is refused: its details are
    // cleared and the user is told. A choice made while a probe runs ends
    // that probe and probes nothing.
    void probeVideo(const QString& path);
    // Ends a probe in progress; the probe is done with for good.
    void stop();

    ConsoleCapture* runner() const { return probeRunner_.get(); }

private:
    void onProbeOutput(const QString& chunk);

    MainWindow& window_;
    std::shared_ptr<ConsoleCapture> probeRunner_;
    quint64 probes_ = 0;        // counts probes, so one that was overtaken knows it
    bool sizeFound_ = false;    // the current probe has told the frame size
};
