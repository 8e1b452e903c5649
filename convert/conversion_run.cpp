// The conversion: Start, Stop, the progress display and the end of a run
// when the window closes.
#include "app/encoder_lines.h"
#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "convert/mark_canvas.h"
#include "convert/positioning_window.h"
#include "convert/progress_parse.h"
#include "convert/run_end.h"
#include "convert/time_range_box.h"
#include "runner/console_capture.h"
#include "watermark/color_text.h"
#include "watermark/working_bitmaps.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace {

constexpr qint32 kStillActive = 259;

// The result's name is taken: what the user wants done about it.
enum class TakenName { Replace, KeepBoth, Cancel };

TakenName askAboutTakenName(QWidget* parent, const QString& result) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Watermark Image"),
                    QStringLiteral("%1 is already in the results folder.\nReplace it, or keep both?")
                        .arg(QFileInfo(result).fileName()),
                    QMessageBox::NoButton, parent);
    QPushButton* replace = box.addButton(QStringLiteral("Replace"), QMessageBox::DestructiveRole);
    QPushButton* keepBoth = box.addButton(QStringLiteral("Keep both"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(keepBoth);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == replace) return TakenName::Replace;
    if (box.clickedButton() == keepBoth) return TakenName::KeepBoth;
    return TakenName::Cancel;
}

bool nameTaken(const QString& path) {
    // A dangling link takes the name too.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

// How long a stopped encoder may take to finish its file before it is ended.
constexpr int kStopGraceMs = 15000;

}  // namespace

void PositioningWindow::startConversion() {
    const Busy busy(*this);
    // A second Start while one runs must not leave the first encoder unwatched.
    if (conversionRunner_ && !conversionRunner_->commandLine().isEmpty()) return;
    // A canvas without the mark (none placed yet) would make a copy with no watermark.
    if (!canvas_->hasPlacedMark()) {
        msgBox(this, QStringLiteral("Click on the canvas area to place your watermark"));
        return;
    }

    // A wrong time would fail in the encoder, or lay the mark where it was not wanted.
    const std::optional<rules::TimeRange> range = timeRange();
    if (!range) {
        msgBox(this, timeRange_->problem());
        return;
    }

    // A copy that would come out unchanged is no watermarked copy.
    if (!laysAnything(currentMask(), keyColour(), canvas_->placement().opacity())) {
        msgBox(this, QStringLiteral("The watermark would leave the video unchanged: the picture is "
                                    "fully transparent, wholly of the mask colour or placed outside "
                                    "the frame. Choose another picture, colour or place."));
        return;
    }
    // Quoted on the command line, so the results folder needs no alias.
    const OutputChoice output = outputChoice();
    QString result = resultPath(outputFolder(), video_.title, output);
    if (nameTaken(result)) {
        switch (askAboutTakenName(this, result)) {
            case TakenName::Replace:
                break;
            case TakenName::KeepBoth:
                result = keepBothPath(result, nameTaken);
                if (result.isEmpty()) {
                    msgBox(this,
                           QStringLiteral("No free name is left for the result in the results folder."));
                    return;
                }
                break;
            case TakenName::Cancel:
                return;
        }
        if (!isLoaded()) return;
    }

    if (!writeMask()) return;

    const QString folder = commandLineSafePath(programFolder());
    lastRun_ = ConversionRun{};
    lastRun_.programFolder = folder;
    lastRun_.encoder = encoderName();
    lastRun_.video = commandLineSafePath(video_.path);
    lastRun_.mask = commandLineSafePath(maskPath());
    lastRun_.result = result;
    lastRun_.maskColour = maskColour();
    lastRun_.enhanceAudio = enhanceAudioCheck_->checkState() != Qt::Unchecked;
    lastRun_.output = output;
    lastRun_.opacity = canvas_->placement().opacity();
    lastRun_.range = *range;

    const std::shared_ptr<ConsoleCapture> runner = conversionRunner_;
    if (!runner) return;
    consoleTail_.clear();
    lastPercent_ = 0;
    // A new run starts from nothing, whatever an earlier (stopped) one showed.
    progressLabel_->setText(progressCaption(0));
    paceLabel_->clear();
    showRunEnd(std::nullopt);
    // One conversion at a time: Start waits for this one to end.
    startButton_->setEnabled(false);
    const qint32 code = runner->run(conversionCommandLine(lastRun_));
    if (!isLoaded() || closing_) return;
    startButton_->setEnabled(true);
    // The module read the mask when the encoder began.
    runFolder_.reset();
    paceLabel_->clear();
    // A run ended by the window's close or by a Stop that had to end the
    // encoder leaves it running: nothing to read of its end.
    if (code == kStillActive) {
        showRunEnd(
            RunEnd{RunEnd::Kind::Stopped,
                   QStringLiteral("Stopped at %1 %: the encoder was ended before it could keep the part")
                       .arg(lastPercent_),
                   QString()});
        return;
    }
    const RunEnd end = endOfRun(code, lastPercent_, lastRun_.result, consoleTail_);
    showRunEnd(end);
    if (end.kind == RunEnd::Kind::Failed) {
        const QString why = lastEncoderLine(consoleTail_);
        msgBox(this, QStringLiteral("The conversion did not complete.") +
                         (why.isEmpty() ? QString() : QStringLiteral("\n") + why));
    }
}

void PositioningWindow::stopConversion() {
    const Busy busy(*this);
    const std::shared_ptr<ConsoleCapture> runner = conversionRunner_;
    if (!runner || runner->commandLine().isEmpty()) return;
    // The encoder finishes its file and says where the part is; one that
    // takes too long is ended.
    runner->interrupt();
    QTimer::singleShot(kStopGraceMs, runner.get(), [weak = std::weak_ptr<ConsoleCapture>(runner)] {
        if (const std::shared_ptr<ConsoleCapture> r = weak.lock()) r->stop();
    });
}

void PositioningWindow::onConversionOutput(const QString& chunk) {
    const Busy busy(*this);
    consoleTail_ = (consoleTail_ + chunk).right(16384);
    try {
        if (const std::optional<QString> elapsed = elapsedTextOf(chunk)) {
            if (const std::optional<double> speed = speedOf(chunk))
                paceLabel_->setText(
                    ::paceText(*speed, QLocale::c().toDouble(*elapsed), durationInSeconds(video_.duration)));
            showProgress(*elapsed);
        }
    } catch (const std::exception&) {}
}

void PositioningWindow::showProgress(const QString& elapsed) {
    const Busy busy(*this);
    const int percent = progressPercent(video_.duration, elapsed);
    lastPercent_ = percent;
    advanceActivityAnimation();
    progressLabel_->setText(progressCaption(percent));
}

void PositioningWindow::endConversion() {
    if (const std::shared_ptr<ConsoleCapture> runner = conversionRunner_) runner->stop();
    conversionRunner_.reset();
    if (const std::shared_ptr<ConsoleCapture> runner = frameRunner_) runner->stop();
    frameRunner_.reset();
}
