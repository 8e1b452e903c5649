// The names a run hands the encoder for paths its command line cannot carry
// (a space, a quote, a letter beyond ASCII): links made in the run's own
// folder, gone with it. Nothing is shared with other runs or other users.
#pragma once

#include "jobs/work_folder.h"

#include <QString>

#include <memory>

class PathLinks {
public:
    // Links go in `folder` (the run's working folder, which must outlive this)
    // when its own path is safe, else in a private folder made for them; with
    // no folder, in such a folder from the first link on.
    explicit PathLinks(const WorkFolder* folder = nullptr);
    PathLinks(const PathLinks&) = delete;
    PathLinks& operator=(const PathLinks&) = delete;
    ~PathLinks();

    // The form of an existing path that is safe as an unquoted command-line
    // token: "" when path is "" or names nothing, or the link cannot be made;
    // path itself when it is safe; otherwise a link to it. Asking again for the
    // same path gives the same link.
    QString safePath(const QString& path);

private:
    QString linkFolder();

    const WorkFolder* folder_;
    std::unique_ptr<WorkFolder> own_;
};

// Whether `text` can stand unquoted on the encoder's command line.
bool commandLineSafe(const QString& text);
