// Base of the platform-created services whose notifications reach the
// application through the main loop.
#pragma once

class App;

class SystemObject {
public:
    enum Type { ST_Timer = 0, ST_AudioPlayer = 1, ST_ImageLoader = 2 };

    explicit SystemObject(App* app) : app(app) {}
    virtual ~SystemObject() {}
    virtual int GetType() const = 0;

    App* app;  // receiver of this object's system messages
};
