// The platform of the SDL shell: resolves "resource://" and "file://" URLs
// through the resource archive, content folders and the file system.
#pragma once

#include "app/Platform.h"

#include <set>
#include <string>
#include <vector>

class ResourceLibrary;

class SDLPlatform : public Platform {
public:
    SDLPlatform();
    ~SDLPlatform() override;
    SDLPlatform(const SDLPlatform&) = delete;
    SDLPlatform& operator=(const SDLPlatform&) = delete;

    Timer* CreateTimer(App* app) override;
    AudioPlayer* CreateAudioPlayer(App* app) override;
    // "resource://" tries the archive (or the content folders, in order),
    // then the file of that path; "file://" the file. Null for other schemes,
    // an empty path or an unopenable file.
    DataSource* CreateDataSourceForURL(const char* url) override;
    ImageLoader* CreateImageLoader(App* app) override;

    // Replaces the archive. A missing or damaged archive leaves none, so every
    // "resource://" URL goes to the file system.
    void LoadResourceLibrary(const char* path);
    // Opens the archive named last again (its file may have been rewritten);
    // nothing when none was named.
    void ReloadResourceLibrary();
    // "resource://" names are then files under these folders, searched in the
    // order they were added, and no archive is consulted. A folder that is
    // not there is reported and skipped.
    void AddContentFolder(const char* path);
    const std::vector<std::string>& GetContentFolders() const { return contentFolders; }
    // A new array-allocated string (release with delete[]): '+' is a space,
    // "%XY" one byte. A '%' with fewer than two characters after it is copied
    // as it stands.
    static char* Urldecode(const char* str);

    ResourceLibrary* GetResourceLibrary() const { return library; }
    // The archive path named last, loaded or not; empty when none was named.
    const std::string& GetResourceLibraryPath() const { return libraryPath; }
    // A relative path that names nothing in the current folder but a file
    // beside the loaded archive gives that file, so that a demo finds the
    // files shipped next to its archive from any folder; otherwise the path.
    std::string LocateFile(const char* path) const;
    // The file a "file://" URL plays from (as the music player opens it);
    // empty for other URLs.
    std::string FileOfURL(const char* url) const;

    // While on, every file a URL was resolved to (found or not: a file an
    // editor has just deleted is about to come back) and the archive behind
    // an entry are noted, for watching them.
    void SetRecordingReads(bool on) { recordingReads = on; }
    void NoteFileRead(const std::string& path);
    // What was noted since the last call, in the order first noted.
    std::vector<std::string> TakeFilesRead();

private:
    void ReleaseResourceLibrary();

    // The content folder file for a "resource://" path, else its best
    // candidate (in the first folder) with *found false.
    std::string FindContentFile(const char* path, bool* found) const;

    ResourceLibrary* library;
    DataSource* librarySource;
    std::string libraryFolder;  // of the loaded archive, with a final '/'; empty: none
    std::string libraryPath;    // as named to LoadResourceLibrary; empty: none named
    std::vector<std::string> contentFolders;  // with a final '/'
    bool recordingReads;
    std::vector<std::string> filesRead;
    std::set<std::string> filesReadSet;  // the same, for finding duplicates
};
