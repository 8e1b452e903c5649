// A run's own folder for the bitmaps it hands to the encoder: made new with a
// random name (mode 0700) under the user's cache, removed with what it holds
// when the owner goes. Two copies of the program, two windows or any number of
// encoders never share one, so no run reads another's mask.
//
// The folder is locked (flock on the folder itself) while its owner lives; a
// folder whose lock can be taken was left by a program that was killed, and
// the next one made under the same parent removes it.
#pragma once

#include "runner/unique_fd.h"

#include <QString>

#include <memory>

class WorkFolder {
public:
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder();

    // A new folder under workingFolder(); nothing and `why` on failure.
    static std::unique_ptr<WorkFolder> create(QString* why);
    // The same under `parent`, made first when it is missing. In a folder every
    // user writes (/tmp) the name says whose program made it: sharedPrefix().
    static std::unique_ptr<WorkFolder> createIn(const QString& parent, QString* why,
                                                const char* prefix = runPrefix());
    static const char* runPrefix() { return "run-"; }
    static const char* sharedPrefix() { return "watermark-image-"; }

    const QString& path() const { return path_; }
    QString filePath(const QString& name) const { return path_ + u'/' + name; }

    // Only create() can make the key.
    class Key {
        friend class WorkFolder;
        Key() = default;
    };
    WorkFolder(Key, QString path, UniqueFd folder);

private:
    QString path_;
    UniqueFd folder_;  // open and locked for the folder's life
};

// Removes the run folders under `parent` that no live program holds: only
// folders of our name pattern, owned by this user, never through a link.
// Returns how many went.
int removeAbandonedWorkFolders(const QString& parent, const char* prefix = WorkFolder::runPrefix());
