#include "watermark/picture_preview.h"

#include "app/main_window.h"
#include "app/message.h"
#include "app/user_settings.h"
#include "mark/mark_mask.h"
#include "mark/picture_loader.h"
#include "mark/scale.h"
#include "watermark/text_mark_settings.h"
#include "watermark/text_mark_window.h"

#include <QSettings>

#include <exception>

namespace {

const QString& invalidPicture() {
    static const QString text = QStringLiteral("Please select a valid picture");
    return text;
}

}  // namespace

PicturePreview::PicturePreview(MainWindow& window) : QObject(&window), window_(window) {
    connect(&window, &MainWindow::pictureChosen, this, &PicturePreview::onPictureChosen);
    connect(&window, &MainWindow::zoomChanged, this, &PicturePreview::onZoomChanged);
    connect(&window, &MainWindow::textRequested, this, &PicturePreview::editText);
    // The probe, heard first, has told the new video's date by now.
    connect(&window, &MainWindow::videoChosen, this, [this] {
        if (text_) rebuild();
    });
}

std::optional<TextMark> PicturePreview::filledText() const {
    if (!text_) return std::nullopt;
    return filledFor(*text_, window_.video().path, window_.video().recorded);
}

void PicturePreview::editText() {
    const bool fresh = TextMarkWindow::loaded() == nullptr;
    TextMarkWindow& w = TextMarkWindow::instance();
    disconnect(&w, &TextMarkWindow::textChosen, nullptr, nullptr);
    connect(&w, &TextMarkWindow::textChosen, this, &PicturePreview::useText);
    if (fresh) {
        const std::optional<TextMark> remembered = restoreTextMark(userSettings());
        TextMark first;
        first.text = QStringLiteral("© {name} {date}");
        const TextMark mark = text_ ? *text_ : remembered.value_or(first);
        const ChosenVideo& video = window_.video();
        w.showMark(mark, videoName(video.path), videoDateOf(video.path, video.recorded));
    }
    w.show();
    w.raise();
    w.activateWindow();
}

void PicturePreview::useText(const TextMark& mark) {
    text_ = mark;
    QSettings settings = userSettings();
    saveTextMark(settings, mark);
    rebuild();
}

QSize PicturePreview::markSize() const {
    return picture_.isNull() ? QSize() : zoom::zoomedSize(picture_.size(), window_.zoom());
}

void PicturePreview::onPictureChosen(const QString& path) {
    // A cancel leaves the dialog's last choice, so the path stays as it was,
    // and a text in use stays the mark.
    if (path.isEmpty() && text_) return;
    if (!path.isEmpty()) {
        path_ = path;
        text_.reset();
    }
    rebuild();
}

void PicturePreview::onZoomChanged() {
    // Read again: a picture edited since it was chosen shows as it is now.
    if (!path_.isEmpty() || text_) rebuild();
}

void PicturePreview::rebuild() {
    holdsChosen_ = false;
    if (const std::optional<TextMark> text = filledText()) {
        picture_ = drawTextMark(*text, textMarkSize(*text));
        holdsChosen_ = true;
        show();
        return;
    }
    try {
        const QImage picture = picture::load(path_);
        if (picture.isNull()) {
            msgBox(&window_, invalidPicture());
            return;
        }
        picture_ = picture;
        holdsChosen_ = true;
        show();
    } catch (const std::exception&) {
        // A picture too large to hold in memory ends up here.
        holdsChosen_ = false;
        msgBox(&window_, invalidPicture());
    }
}

void PicturePreview::show() {
    const QSize mark = markSize();
    const QSize shown = zoom::fittedIn(mark, window_.previewBoxLimit());
    // Drawn from the whole picture straight to the shown size: one scaling, so
    // a large picture is quick and sharp; a text is drawn at that size.
    const std::optional<TextMark> text = filledText();
    const QImage image = text ? drawTextMark(*text, shown) : laidMark(picture_, shown);
    window_.showPreview(image, mark);
}
