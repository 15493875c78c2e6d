// Reads a scene file into records, section by section, and converts the
// records reachable from each World into an engine scene.
#pragma once

#include "m3g/Loader.h"
#include "math/Types.h"

class DataSource;

class M3GLoader : public M3G::Loader {
public:
    // What loading may allocate: kLoadBytesPerInputByte x the larger of the
    // file's size and its inflated size, plus kBaseBudget. Of that,
    // conversion charges what a file can multiply (engine objects per use,
    // batches, per-vertex data, a light's uniforms) against
    // kBytesPerInputByte x the same, plus kBaseBudget, and leaves the scene
    // empty past it. The rest covers the records, the table and the node
    // each record may become, which cost a record of any length (5 bytes and
    // a reference to it) under 100 x its bytes.
    static constexpr unsigned long long kLoadBytesPerInputByte = 192;
    static constexpr unsigned long long kBytesPerInputByte = 64;
    static constexpr unsigned long long kBaseBudget = 256ull << 20;

    // The whole job: read, convert, return the scene (never null; empty when
    // the file cannot be read, the budget runs out or memory does). The
    // caller keeps the source.
    static Scene* Load(DataSource* source);

    explicit M3GLoader(DataSource* source);
    // Deletes every record; the scene belongs to whoever took it.
    ~M3GLoader() override;

    // Reads the identifier and every section into the record table, and sets
    // the conversion budget from the bytes read.
    void Load();
    // Reads the records of one section, `length` bytes from the position of
    // `source`.
    void LoadSection(DataSource* source, unsigned int length);
    // A new memory source over the bytes the section's stream inflates to (at
    // most uncompressedLength; fewer with a message when it ends early), or
    // null with a message.
    DataSource* DecompressSection(DataSource* source, unsigned int compressedLength,
                                  unsigned int uncompressedLength);
    Scene* CreateScene();

    Scene* GetScene() override;
    unsigned int GetVersion() override;
    M3G::Object* GetObject(unsigned int index) override;
    M3G::Object* GetObject(unsigned int index, M3G::Object::Type type) override;
    Mesh* GetDebugMesh() override;
    unsigned int GetUniqID(ObjectType type) override;
    char* CreateName(NameType type, unsigned int index) override;

    static const char* const nameFormats[kNameTypeCount];
    static const unsigned char identifier[12];

    DataSource* source;  // not owned
    unsigned int version;
    Scene* scene;
    Vector<M3G::Object*> objects;  // file order, owned; null for unsupported types
    Mesh* debugMesh;
    unsigned int uniqIDs[kObjectTypeCount];
    unsigned int fileBytes;              // length of the source
    unsigned long long inflatedBytes;  // record bytes of all sections

private:
    M3G::Object* CreateObject(unsigned int type, unsigned int length, DataSource* data);
};
