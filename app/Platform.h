// The process-wide factory for everything that touches the operating system:
// byte sources for URLs, timers, image decoders and the music player.
#pragma once

class App;
class AudioPlayer;
class DataSource;
class ImageLoader;
class Timer;

class Platform {
public:
    virtual ~Platform() {}
    // Every created object belongs to the caller; app receives its messages.
    virtual Timer* CreateTimer(App* app) = 0;
    virtual AudioPlayer* CreateAudioPlayer(App* app) = 0;
    // Null when the URL names nothing that can be read.
    virtual DataSource* CreateDataSourceForURL(const char* url) = 0;
    virtual ImageLoader* CreateImageLoader(App* app) = 0;

    // Set by the shell to its own platform for the shell's lifetime.
    static Platform* current;
};
