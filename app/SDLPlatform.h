// The platform of the SDL shell: resolves "resource://" and "file://" URLs
// through the resource archive and the file system.
#pragma once

#include "app/Platform.h"

#include <string>

class ResourceLibrary;

class SDLPlatform : public Platform {
public:
    SDLPlatform();
    ~SDLPlatform() override;
    SDLPlatform(const SDLPlatform&) = delete;
    SDLPlatform& operator=(const SDLPlatform&) = delete;

    Timer* CreateTimer(App* app) override;
    AudioPlayer* CreateAudioPlayer(App* app) override;
    // "resource://" tries the archive, then the file of that path; "file://"
    // the file. Null for other schemes, an empty path or an unopenable file.
    DataSource* CreateDataSourceForURL(const char* url) override;
    ImageLoader* CreateImageLoader(App* app) override;

    // Replaces the archive. A missing or damaged archive leaves none, so every
    // "resource://" URL goes to the file system.
    void LoadResourceLibrary(const char* path);
    // A new array-allocated string (release with delete[]): '+' is a space,
    // "%XY" one byte. A '%' with fewer than two characters after it is copied
    // as it stands.
    static char* Urldecode(const char* str);

    ResourceLibrary* GetResourceLibrary() const { return library; }
    // A relative path that names nothing in the current folder but a file
    // beside the loaded archive gives that file, so that a demo finds the
    // files shipped next to its archive from any folder; otherwise the path.
    std::string LocateFile(const char* path) const;

private:
    void ReleaseResourceLibrary();

    ResourceLibrary* library;
    DataSource* librarySource;
    std::string libraryFolder;  // of the loaded archive, with a final '/'; empty: none
};
