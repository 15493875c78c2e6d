// What the rest of the system needs of a script engine: run the text of a source.
#pragma once

class DataSource;

class ScriptEngine {
public:
    // The source stays with the caller. Failures are reported, not returned.
    virtual void LoadScript(DataSource* source) = 0;
    virtual ~ScriptEngine() {}
};
