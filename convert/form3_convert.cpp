// The conversion: Start, Stop, the progress display and the close handling.
#include "convert/form3.h"

#include "app/form1.h"
#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "convert/conversion_line.h"
#include "convert/progress_parse.h"
#include "runner/console_capture.h"
#include "watermark/color_text.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

#include <cmath>
#include <exception>

namespace {

constexpr qint32 kStillActive = 259;

// The last line of what the encoder wrote: its reason when it fails.
QString lastLine(const QString& text) {
    const QStringList lines = QString(text).replace(u'\r', u'\n').split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast().trimmed();
}

}  // namespace

void Form3::Command2_Click() {
    const Busy busy(*this);
    Form1* main = Form1::instance();
    if (!main) return;

    qint32 height = static_cast<qint32>(std::nearbyint(Picture1->scaleSize().height()));
    main->savetempimg(static_cast<qint32>(std::nearbyint(Picture1->scaleSize().width())), height);
    if (!savemask()) return;

    videoname = ShortPath(main->textvid->toPlainText());
    maskpic = ShortPath(programFolder() + QStringLiteral("/mask.bmp"));
    const QString A = ShortPath(programFolder());
    outputfile = resultPath(A, main->vidtitle->text());
    // The key colour is the colour the mask's background really has, whichever
    // palette command set it.
    colormask = rrggbbOf(Picture1->backColor());

    ConversionRun run;
    run.programFolder = A;
    run.encoder = encoderName();
    run.videoname = videoname;
    run.maskpic = maskpic;
    run.colormask = colormask;
    run.outputfile = outputfile;
    run.enhanceAudio = Check1->checkState() != Qt::Unchecked;

    const std::shared_ptr<ConsoleCapture> runner = conApp2;
    if (!runner) return;
    consoleTail_.clear();
    const qint32 result = runner->run(conversionCommandLine(run));
    // A run that was stopped or whose window closed ends with the encoder
    // still running; only an encoder that exited with an error is reported.
    if (result != 0 && result != kStillActive && isLoaded()) {
        const QString why = lastLine(consoleTail_);
        msgBox(this, QStringLiteral("The conversion did not complete.") +
                         (why.isEmpty() ? QString() : QStringLiteral("\n") + why));
    }
}

void Form3::stop_Click() {
    const Busy busy(*this);
    if (const std::shared_ptr<ConsoleCapture> runner = conApp2) runner->stop();
}

void Form3::conApp2_ReadProcess(const QString& readData) {
    const Busy busy(*this);
    consoleTail_ = (consoleTail_ + readData).right(4096);
    try {
        receiving(readData);
    } catch (const std::exception&) {}
}

void Form3::receiving(const QString& data) {
    const std::optional<QString> elapsed = elapsedTextOf(data);
    if (!elapsed) return;
    update_progress(*elapsed);
}

void Form3::update_progress(const QString& dur) {
    const Busy busy(*this);
    const Form1* main = Form1::instance();
    const int percent = main ? progressPercent(main->duration, dur) : 0;
    update_froll();
    Label1->setText(progressCaption(percent));
}

void Form3::Form_QueryUnload() {
    if (const std::shared_ptr<ConsoleCapture> runner = conApp2) runner->stop();
    conApp2.reset();
}

void Form3::Form_Unload() {
    Form_QueryUnload();
}
