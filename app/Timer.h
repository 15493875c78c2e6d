// One-shot timer whose expiry reaches the application as a system message.
#pragma once

#include "app/SystemObject.h"

class Timer : public SystemObject {
public:
    explicit Timer(App* app) : SystemObject(app) {}
    int GetType() const override { return ST_Timer; }
    virtual void Stop() = 0;
    virtual void SetAfter(float milliseconds) = 0;
};
