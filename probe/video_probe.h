// Learns the chosen video's duration and frame size: runs the encoder on it
// and reads its description, chunk by chunk, into the main window.
#pragma once

#include "jobs/probe_parse.h"
#include "rules/orientation.h"

#include <QByteArray>
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

    // Runs the encoder on `path` to its end, filling in what each chunk tells;
    // meanwhile the window shows the details as pending. A video whose frame
    // size it never learns is refused: its details are cleared and the user
    // is told, with the encoder's last line as the reason. A choice made
    // while a probe runs ends that probe and probes nothing.
    void probeVideo(const QString& path);
    // Ends a probe in progress; the probe is done with for good.
    void stop();

    // What one chunk of the description told, into the window. The frame is
    // shown upright: a turn learnt in one chunk applies to the size of
    // another of the same probe.
    void takeFacts(const ProbeFacts& facts);

    ConsoleCapture* runner() const { return probeRunner_.get(); }

private:
    void onProbeOutput(const QString& chunk);
    void noteLines(const QString& chunk);
    QString lastLine() const;

    MainWindow& window_;
    std::shared_ptr<ConsoleCapture> probeRunner_;
    quint64 probes_ = 0;  // counts probes, so one that was overtaken knows it

    // What the current probe has learnt so far.
    bool sizeFound_ = false;      // a usable frame size
    bool durationFound_ = false;  // a duration text
    bool frameTold_ = false;      // width_ and height_ hold the latest size texts
    QString width_;
    QString height_;
    rules::Orientation orientation_;
    QByteArray lastLine_;     // the encoder's last complete line worth showing
    QByteArray partialLine_;  // the start of a line still being written
};
