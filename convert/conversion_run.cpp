// The conversion: Start, Stop, the progress display and the end of a run
// when the window closes.
#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "convert/conversion_line.h"
#include "convert/mark_canvas.h"
#include "convert/positioning_window.h"
#include "convert/progress_parse.h"
#include "runner/console_capture.h"
#include "watermark/color_text.h"
#include "watermark/working_bitmaps.h"

#include <QCheckBox>
#include <QLabel>

#include <exception>

namespace {

constexpr qint32 kStillActive = 259;

// The last line of what the encoder wrote: its reason when it fails.
QString lastLine(const QString& text) {
    const QStringList lines = QString(text).replace(u'\r', u'\n').split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast().trimmed();
}

}  // namespace

void PositioningWindow::startConversion() {
    const Busy busy(*this);
    // A canvas without the mark (none placed yet, or cleared by a new colour)
    // would make a copy with no watermark.
    if (!canvas_->hasPlacedMark()) {
        msgBox(this, QStringLiteral("Click on the canvas area to place your watermark"));
        return;
    }

    if (!writeMask()) return;

    const QString folder = commandLineSafePath(programFolder());
    lastRun_ = ConversionRun{};
    lastRun_.programFolder = folder;
    lastRun_.encoder = encoderName();
    lastRun_.video = commandLineSafePath(video_.path);
    lastRun_.mask = commandLineSafePath(maskBitmapPath());
    // Quoted on the command line, so the results folder needs no alias.
    lastRun_.result = resultPath(outputFolder(), video_.title);
    // The key colour is the colour the mask's background really has, whichever
    // palette command set it.
    lastRun_.maskColour = maskColour();
    lastRun_.enhanceAudio = enhanceAudioCheck_->checkState() != Qt::Unchecked;
    lastRun_.opacity = canvas_->placement().opacity();

    const std::shared_ptr<ConsoleCapture> runner = conversionRunner_;
    if (!runner) return;
    consoleTail_.clear();
    // A new run starts from nothing, whatever an earlier (stopped) one showed.
    progressLabel_->setText(progressCaption(0));
    const qint32 result = runner->run(conversionCommandLine(lastRun_));
    // A run that was stopped or whose window closed ends with the encoder
    // still running; only an encoder that exited with an error is reported.
    if (result != 0 && result != kStillActive && isLoaded()) {
        const QString why = lastLine(consoleTail_);
        msgBox(this, QStringLiteral("The conversion did not complete.") +
                         (why.isEmpty() ? QString() : QStringLiteral("\n") + why));
    }
}

void PositioningWindow::stopConversion() {
    const Busy busy(*this);
    if (const std::shared_ptr<ConsoleCapture> runner = conversionRunner_) runner->stop();
}

void PositioningWindow::onConversionOutput(const QString& chunk) {
    const Busy busy(*this);
    consoleTail_ = (consoleTail_ + chunk).right(4096);
    try {
        if (const std::optional<QString> elapsed = elapsedTextOf(chunk)) showProgress(*elapsed);
    } catch (const std::exception&) {}
}

void PositioningWindow::showProgress(const QString& elapsed) {
    const Busy busy(*this);
    const int percent = progressPercent(video_.duration, elapsed);
    advanceActivityAnimation();
    progressLabel_->setText(progressCaption(percent));
}

void PositioningWindow::endConversion() {
    if (const std::shared_ptr<ConsoleCapture> runner = conversionRunner_) runner->stop();
    conversionRunner_.reset();
    if (const std::shared_ptr<ConsoleCapture> runner = frameRunner_) runner->stop();
    frameRunner_.reset();
}
