// Notices changes to a set of files through Linux inotify: the folders that
// hold them are watched, so a file an editor deletes and writes anew, or
// renames over, is still seen; events of other names in those folders are
// dropped.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

class FileWatcher {
public:
    // Milliseconds without a further event before a change counts: a save is
    // often several writes, or a delete and a create.
    static const unsigned int kSettleMs = 100;
    // A file rewritten without pause counts anyway after this long.
    static const unsigned int kMaxDelayMs = 400;
    // How often folders that could not be watched are tried again.
    static const unsigned int kRetryMs = 500;

    // Prints a message when inotify is unavailable; IsWatching() is then false
    // and nothing is ever noticed.
    FileWatcher();
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    bool IsWatching() const { return fd >= 0; }

    // Replaces the watched set. A folder that cannot be watched is reported
    // (once while it stays so) and tried again every kRetryMs; once it can
    // be, its files count as changed. False when some folder is not watched.
    bool Watch(const std::vector<std::string>& files);

    // Reads what is pending without blocking (a bounded amount per call) and
    // tells whether a change has settled; `now` is a millisecond clock.
    bool Poll(unsigned int now);
    // The watched paths (as given to Watch) that changed since the last
    // call, each once; "" stands for changes that could not be told apart
    // (the kernel's queue overflowed).
    std::vector<std::string> TakeChanged();

private:
    struct Folder {
        std::string path;
        // File name in the folder -> the paths it was given as.
        std::map<std::string, std::set<std::string>> names;
    };
    void AddFolder(const std::string& folder, const std::string& name, const std::string& file,
                   std::map<int, Folder>* into, std::vector<Folder>* failed);
    void Retry(unsigned int now);
    void MarkChanged(const std::string& path, unsigned int now);
    void ReadEvents(unsigned int now);

    int fd;
    std::map<int, Folder> folders;     // by watch descriptor
    std::vector<Folder> unwatched;     // could not be watched (yet)
    std::set<std::string> reported;    // folders reported as unwatchable
    std::set<std::string> changed;
    bool pending;
    unsigned int firstEvent;  // of the change not yet settled
    unsigned int lastEvent;
    unsigned int lastRetry;
};
