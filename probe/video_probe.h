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
    void probeVideo(const QString& path);
    // Ends a probe in progress; the probe is done with for good.
    void stop();

    ConsoleCapture* runner() const { return probeRunner_.get(); }

private:
    void onProbeOutput(const QString& chunk);

    MainWindow& window_;
    std::shared_ptr<ConsoleCapture> probeRunner_;
};
