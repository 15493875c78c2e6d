// inotify on the folders of the watched files, events filtered by name and
// let settle before a change is told.
#include "app/FileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

// Writes, closes after writing, files made or renamed into the folder; and
// the folder itself going away, after which it is watched again by path.
static const uint32_t kMask = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_MOVED_TO |
                              IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Reads per Poll: a folder of thousands of busy files costs a frame no more.
static const int kMaxReads = 16;

FileWatcher::FileWatcher()
    : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), pending(false), firstEvent(0), lastEvent(0),
      lastRetry(0) {
    if (fd < 0)
        fprintf(stderr, "FileWatcher::FileWatcher(): can't watch files (%s), changes are not noticed\n",
                strerror(errno));
}

FileWatcher::~FileWatcher() {
    if (fd >= 0) close(fd);
}

static void SplitPath(const std::string& file, std::string* folder, std::string* name) {
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) {
        *folder = ".";
        *name = file;
    } else {
        *folder = slash == 0 ? "/" : file.substr(0, slash);
        *name = file.substr(slash + 1);
    }
}

void FileWatcher::AddFolder(const std::string& path, const std::string& name,
                            const std::string& file, std::map<int, Folder>* into,
                            std::vector<Folder>* failed) {
    int wd = inotify_add_watch(fd, path.c_str(), kMask);
    if (wd < 0) {
        for (Folder& f : *failed)
            if (f.path == path) {
                f.names[name].insert(file);
                return;
            }
        if (reported.insert(path).second)
            fprintf(stderr, "FileWatcher::Watch(): can't watch %s (%s), changes there are not noticed\n",
                    path.c_str(), strerror(errno));
        Folder f;
        f.path = path;
        f.names[name].insert(file);
        failed->push_back(f);
        return;
    }
    // Two spellings of one folder share a descriptor, and so one entry.
    Folder& f = (*into)[wd];
    if (f.path.empty()) f.path = path;
    f.names[name].insert(file);
}

bool FileWatcher::Watch(const std::vector<std::string>& files) {
    if (fd < 0) return false;
    std::map<int, Folder> next;
    std::vector<Folder> failed;
    for (const std::string& file : files) {
        std::string folder, name;
        SplitPath(file, &folder, &name);
        if (name.empty()) continue;
        AddFolder(folder, name, file, &next, &failed);
    }
    for (const auto& entry : folders)
        if (!next.count(entry.first)) inotify_rm_watch(fd, entry.first);
    folders.swap(next);
    unwatched.swap(failed);
    // Folders watched again are reported again should they fail later.
    for (const auto& entry : folders) reported.erase(entry.second.path);
    return unwatched.empty();
}

void FileWatcher::MarkChanged(const std::string& path, unsigned int now) {
    changed.insert(path);
    if (!pending) {
        pending = true;
        firstEvent = now;
    }
    lastEvent = now;
}

void FileWatcher::Retry(unsigned int now) {
    if (unwatched.empty() || now - lastRetry < kRetryMs) return;
    lastRetry = now;
    std::vector<Folder> still;
    for (Folder& f : unwatched) {
        int wd = inotify_add_watch(fd, f.path.c_str(), kMask);
        if (wd < 0) {
            still.push_back(f);
            continue;
        }
        reported.erase(f.path);
        // Its files may have come back with it, or changed meanwhile.
        for (const auto& name : f.names)
            for (const std::string& file : name.second) MarkChanged(file, now);
        Folder& into = folders[wd];
        if (into.path.empty()) into.path = f.path;
        for (const auto& name : f.names) into.names[name.first].insert(name.second.begin(), name.second.end());
    }
    unwatched.swap(still);
}

void FileWatcher::ReadEvents(unsigned int now) {
    alignas(struct inotify_event) char buffer[65536];
    for (int reads = 0; reads < kMaxReads; ++reads) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return;  // EAGAIN: nothing more
        for (ssize_t at = 0; at + ssize_t(sizeof(struct inotify_event)) <= n;) {
            const struct inotify_event* ev = reinterpret_cast<const struct inotify_event*>(buffer + at);
            at += ssize_t(sizeof(struct inotify_event)) + ssize_t(ev->len);
            if (ev->mask & IN_Q_OVERFLOW) {
                MarkChanged("", now);
                continue;
            }
            auto found = folders.find(ev->wd);
            if (found == folders.end()) continue;
            if (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // Gone or moved away: watched again by its path once it is back.
                inotify_rm_watch(fd, ev->wd);
                unwatched.push_back(found->second);
                folders.erase(found);
                continue;
            }
            if (ev->len == 0) continue;
            // The name is zero-padded to ev->len bytes.
            std::string name(ev->name, strnlen(ev->name, ev->len));
            auto file = found->second.names.find(name);
            if (file == found->second.names.end()) continue;
            for (const std::string& path : file->second) MarkChanged(path, now);
        }
    }
}

bool FileWatcher::Poll(unsigned int now) {
    if (fd < 0) return false;
    Retry(now);
    ReadEvents(now);
    if (!pending) return false;
    if (now - lastEvent < kSettleMs && now - firstEvent < kMaxDelayMs) return false;
    pending = false;
    return true;
}

std::vector<std::string> FileWatcher::TakeChanged() {
    std::vector<std::string> taken(changed.begin(), changed.end());
    changed.clear();
    return taken;
}
