// URL resolution, the resource archive and the service factories of the SDL platform.
#include "app/SDLPlatform.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "app/SDLAudioPlayer.h"
#include "app/SDLImageLoader.h"
#include "app/SDLTimer.h"
#include "io/ResourceLibrary.h"
#include "io/SDLFileSource.h"

SDLPlatform::SDLPlatform() : library(nullptr), librarySource(nullptr), recordingReads(false) {}

SDLPlatform::~SDLPlatform() { ReleaseResourceLibrary(); }

Timer* SDLPlatform::CreateTimer(App* app) { return new SDLTimer(app); }

AudioPlayer* SDLPlatform::CreateAudioPlayer(App* app) { return new SDLAudioPlayer(app); }

ImageLoader* SDLPlatform::CreateImageLoader(App* app) { return new SDLImageLoader(app); }

void SDLPlatform::ReleaseResourceLibrary() {
    // The library reads through its source, so it goes first.
    delete library;
    delete librarySource;
    library = nullptr;
    librarySource = nullptr;
    libraryFolder.clear();
}

void SDLPlatform::LoadResourceLibrary(const char* path) {
    ReleaseResourceLibrary();
    libraryPath = path;
    // stat, not a probing open: opening a FIFO would block.
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
        printf("Warning: can't open %s\n", path);
        return;
    }
    SDLFileSource* file = new SDLFileSource(path);
    librarySource = file;
    library = new ResourceLibrary(file);
    // The library has reported the damage; lookups fall through to files.
    if (!library->IsValid()) {
        ReleaseResourceLibrary();
        return;
    }
    const char* slash = strrchr(path, '/');
    if (slash) libraryFolder.assign(path, size_t(slash - path) + 1);
}

void SDLPlatform::ReloadResourceLibrary() {
    if (libraryPath.empty()) return;
    // A copy: LoadResourceLibrary stores its argument over the member.
    std::string path = libraryPath;
    LoadResourceLibrary(path.c_str());
}

void SDLPlatform::AddContentFolder(const char* path) {
    struct stat info;
    if (!path || stat(path, &info) != 0 || !S_ISDIR(info.st_mode)) {
        printf("Warning: can't open the content folder %s\n", path ? path : "(null)");
        return;
    }
    std::string folder = path;
    if (folder.empty() || folder.back() != '/') folder += '/';
    contentFolders.push_back(folder);
}

std::string SDLPlatform::FindContentFile(const char* path, bool* found) const {
    *found = false;
    for (const std::string& folder : contentFolders) {
        std::string candidate = folder + path;
        // Regular files only: a FIFO would block the reader, a folder reads as nothing.
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            *found = true;
            return candidate;
        }
    }
    return contentFolders.empty() ? std::string() : contentFolders[0] + path;
}

void SDLPlatform::NoteFileRead(const std::string& path) {
    if (!recordingReads || path.empty()) return;
    if (filesReadSet.insert(path).second) filesRead.push_back(path);
}

std::vector<std::string> SDLPlatform::TakeFilesRead() {
    std::vector<std::string> taken;
    taken.swap(filesRead);
    filesReadSet.clear();
    return taken;
}

std::string SDLPlatform::FileOfURL(const char* url) const {
    if (!url || strncmp(url, "file://", 7) != 0) return std::string();
    char* path = Urldecode(url + 7);
    std::string file = path[0] ? LocateFile(path) : std::string();
    delete[] path;
    return file;
}

std::string SDLPlatform::LocateFile(const char* path) const {
    if (path[0] == '/' || libraryFolder.empty() || access(path, F_OK) == 0) return path;
    std::string beside = libraryFolder + path;
    return access(beside.c_str(), F_OK) == 0 ? beside : std::string(path);
}

static int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    // Not a digit: the character's own code stands in for its value.
    return c;
}

char* SDLPlatform::Urldecode(const char* str) {
    size_t n = strlen(str);
    char* out = new char[n + 1];
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = (unsigned char)str[i];
        if (c == '+') {
            out[o++] = ' ';
        } else if (c == '%' && str[i + 1] && str[i + 2]) {
            // Testing str[i + 1] first keeps str[i + 2] inside the string.
            out[o++] = char((HexDigit((unsigned char)str[i + 1]) * 16 + HexDigit((unsigned char)str[i + 2])) & 0xFF);
            i += 2;
        } else {
            out[o++] = char(c);
        }
    }
    out[o] = 0;
    return out;
}

DataSource* SDLPlatform::CreateDataSourceForURL(const char* url) {
    if (!url) return nullptr;
    bool resource = strncmp(url, "resource://", 11) == 0;
    if (!resource && strncmp(url, "file://", 7) != 0) return nullptr;
    char* path = Urldecode(url + (resource ? 11 : 7));
    DataSource* source = nullptr;
    // An empty path names nothing; it is not passed on to fopen.
    if (path[0] != 0) {
        if (resource && library) {
            source = library->GetResource(path);
            if (source) NoteFileRead(libraryPath);
        }
        std::string file;
        if (!source && resource && !contentFolders.empty()) {
            bool found = false;
            file = FindContentFile(path, &found);
            // A name no folder holds is noted where an author would make it.
            if (!found) {
                NoteFileRead(file);
                file.clear();
            }
        }
        if (!source) {
            if (file.empty()) file = LocateFile(path);
            NoteFileRead(file);
            SDLFileSource* fileSource = new SDLFileSource(file.c_str());
            if (fileSource->IsOpen())
                source = fileSource;
            else
                delete fileSource;
        }
    }
    delete[] path;
    return source;
}
