// m3g-info [--json | --census] FILE: what a scene file holds, read by the
// player's own loader and converted by its own conversion: the header, the
// object census, the scene as a tree (nodes, meshes and their surfaces,
// cameras, lights, skins and the batches the conversion cuts them into), the
// animations, and every message the reading and the conversion printed.
// Exit status 0 for a file that was read (even with messages), 1 when it
// cannot be opened or is not a scene file, 2 on wrong usage.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "engine/VertexBatch.h"
#include "io/ROMSource.h"
#include "m3g/AnimationController.h"
#include "m3g/AnimationTrack.h"
#include "m3g/Appearance.h"
#include "m3g/Background.h"
#include "m3g/Camera.h"
#include "m3g/CompositingMode.h"
#include "m3g/ExternalReference.h"
#include "m3g/Group.h"
#include "m3g/Header.h"
#include "m3g/Image2D.h"
#include "m3g/KeyframeSequence.h"
#include "m3g/Light.h"
#include "m3g/M3GLoader.h"
#include "m3g/Material.h"
#include "m3g/Mesh.h"
#include "m3g/PolygonMode.h"
#include "m3g/SkinnedMesh.h"
#include "m3g/Texture2D.h"
#include "m3g/TriangleStripArray.h"
#include "m3g/VertexArray.h"
#include "m3g/VertexBuffer.h"
#include "m3g/World.h"

namespace {

const char kUsage[] = "usage: m3g-info [--json | --census] FILE\n";

// Deeper nodes are not shown; real scenes stay far below this.
const unsigned int kMaxDepth = 200;
// Lists stop growing once the report holds this many nodes, submeshes,
// textures and tracks: a small damaged file can name one object millions of
// times, and every mention would cost memory.
const unsigned long kMaxEntries = 50000;

struct TypeName {
    unsigned int code;
    const char* name;
};

const TypeName sc_typeNames[] = {
    {0, "Header"},
    {1, "AnimationController"},
    {2, "AnimationTrack"},
    {3, "Appearance"},
    {4, "Background"},
    {5, "Camera"},
    {6, "CompositingMode"},
    {8, "PolygonMode"},
    {9, "Group"},
    {10, "Image2D"},
    {11, "TriangleStripArray"},
    {12, "Light"},
    {13, "Material"},
    {14, "Mesh"},
    {16, "SkinnedMesh"},
    {17, "Texture2D"},
    {19, "KeyframeSequence"},
    {20, "VertexArray"},
    {21, "VertexBuffer"},
    {22, "World"},
    {255, "ExternalReference"},
};

std::string TypeNameOf(unsigned int code) {
    for (const TypeName& t : sc_typeNames)
        if (t.code == code) return t.name;
    return "type " + std::to_string(code);
}

// A code of the file and its name, or "<what> N" for a code it does not name.
struct CodeName {
    unsigned int code;
    const char* name;
};

template <size_t N>
std::string NameOf(const CodeName (&table)[N], unsigned int code, const char* what) {
    for (const CodeName& c : table)
        if (c.code == code) return c.name;
    return std::string(what) + " " + std::to_string(code);
}

const CodeName sc_projections[] = {{48, "generic"}, {49, "parallel"}, {50, "perspective"}};
const CodeName sc_lightModes[] = {
    {128, "ambient"}, {129, "directional"}, {130, "omni"}, {131, "spot"}};
const CodeName sc_componentTypes[] = {
    {1, "byte"}, {2, "short"}, {3, "fixed"}, {4, "float"}, {5, "half"}};
const CodeName sc_arrayEncodings[] = {{0, "plain"}, {1, "delta"}};
const CodeName sc_indexEncodings[] = {{0, "implicit"},         {1, "implicit"},
                                      {2, "implicit"},         {128, "explicit 32-bit"},
                                      {129, "explicit 8-bit"}, {130, "explicit 16-bit"}};
const CodeName sc_imageFormats[] = {
    {96, "alpha"}, {97, "luminance"}, {98, "luminance-alpha"}, {99, "RGB"}, {100, "RGBA"}};
const CodeName sc_wrapModes[] = {{240, "clamp"}, {241, "repeat"}};
const CodeName sc_filters[] = {{208, "base level"}, {209, "linear"}, {210, "nearest"}};
const CodeName sc_culling[] = {{160, "back"}, {161, "front"}, {162, "none"}};
const CodeName sc_shading[] = {{164, "flat"}, {165, "smooth"}};
const CodeName sc_winding[] = {{168, "ccw"}, {169, "cw"}};
const CodeName sc_interpolations[] = {
    {176, "linear"}, {177, "slerp"}, {178, "spline"}, {179, "squad"}, {180, "step"}};
const CodeName sc_repeatModes[] = {{192, "constant"}, {193, "loop"}};
const CodeName sc_properties[] = {{268, "orientation"}, {270, "scale"}, {275, "translation"}};

// What is printed, as a small JSON-shaped document that the text printer reads too.
class Value {
public:
    enum Kind { K_Null, K_Bool, K_Int, K_Real, K_String, K_Array, K_Object };

    Value() : kind(K_Null), flag(false), integer(0), real(0.0) {}
    static Value Bool(bool v) {
        Value x(K_Bool);
        x.flag = v;
        return x;
    }
    static Value Int(long long v) {
        Value x(K_Int);
        x.integer = v;
        return x;
    }
    static Value Real(double v) {
        Value x(K_Real);
        x.real = v;
        return x;
    }
    static Value Text(const std::string& v) {
        Value x(K_String);
        x.text = v;
        return x;
    }
    static Value List() { return Value(K_Array); }
    static Value Map() { return Value(K_Object); }
    static Value Reals(const float* v, unsigned int n) {
        Value x = List();
        for (unsigned int i = 0; i < n; ++i) x.Add(Real(v[i]));
        return x;
    }
    static Value Ints(const unsigned char* v, unsigned int n) {
        Value x = List();
        for (unsigned int i = 0; i < n; ++i) x.Add(Int(v[i]));
        return x;
    }

    Value& Add(Value v) {
        items.push_back(std::move(v));
        return items.back();
    }
    Value& Set(const char* key, Value v) {
        fields.emplace_back(key, std::move(v));
        return fields.back().second;
    }
    // A null value for a key that is not there.
    const Value& operator[](const char* key) const {
        static const Value none;
        for (const auto& f : fields)
            if (f.first == key) return f.second;
        return none;
    }
    bool Has(const char* key) const { return (*this)[key].kind != K_Null; }
    double Number() const { return kind == K_Int ? double(integer) : real; }

    Kind kind;
    bool flag;
    long long integer;
    double real;
    std::string text;
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> fields;

private:
    explicit Value(Kind k) : kind(k), flag(false), integer(0), real(0.0) {}
};

// ---------------------------------------------------------------- reading

// The whole file in a malloc block, or null.
unsigned char* ReadWhole(const char* path, unsigned int* length) {
    FILE* f = fopen(path, "rb");
    if (!f) return nullptr;
    unsigned char* data = nullptr;
    if (fseek(f, 0, SEEK_END) == 0) {
        long size = ftell(f);
        if (size >= 0 && (unsigned long)size < 0xFFFFFFFFul && fseek(f, 0, SEEK_SET) == 0) {
            data = static_cast<unsigned char*>(malloc(size ? size : 1));
            if (data && fread(data, 1, size, f) != (size_t)size) {
                free(data);
                data = nullptr;
            }
            *length = unsigned(size);
        }
    }
    fclose(f);
    return data;
}

// Messages kept per phase; the rest are only counted.
const size_t kMaxMessages = 10000;

// Collects what the loader prints on standard output between Start and Stop,
// one entry per line; without a scratch file the lines go out as they come.
class Messages {
public:
    Messages() : file(tmpfile()), saved(-1) {}
    ~Messages() {
        if (file) fclose(file);
    }
    void Start() {
        if (!file) return;
        fflush(stdout);
        saved = dup(1);
        if (saved < 0 || dup2(fileno(file), 1) < 0) saved = -1;
    }
    // The first kMaxMessages lines into lines; the number of further lines.
    unsigned long Stop(std::vector<std::string>* lines) {
        if (saved < 0) return 0;
        fflush(stdout);
        dup2(saved, 1);
        close(saved);
        saved = -1;
        unsigned long dropped = 0;
        std::string line;
        bool open = false;  // a line has begun
        rewind(file);
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) {
            for (size_t i = 0; i < n; ++i) {
                bool keep = lines->size() < kMaxMessages;
                if (chunk[i] != '\n') {
                    if (keep) line += chunk[i];
                    open = true;
                    continue;
                }
                if (keep)
                    lines->push_back(line);
                else
                    ++dropped;
                line.clear();
                open = false;
            }
        }
        if (open) {
            if (lines->size() < kMaxMessages)
                lines->push_back(line);
            else
                ++dropped;
        }
        rewind(file);
        if (ftruncate(fileno(file), 0) != 0) clearerr(file);
        return dropped;
    }

private:
    FILE* file;
    int saved;
};

// ---------------------------------------------------------------- the report

unsigned long long Triangles(const M3G::TriangleStripArray* strips) {
    unsigned long long n = 0;
    for (unsigned int i = 0; i < strips->stripCount; ++i)
        if (strips->stripLengths[i] >= 3) n += strips->stripLengths[i] - 2;
    return n;
}

class Inspector {
public:
    explicit Inspector(M3GLoader* loader)
        : loader(loader),
          shown(loader->objects.Size() + 1, false),
          listed(loader->objects.Size() + 1, false),
          entries(0),
          truncated(false) {}

    Value Report(const char* path, unsigned int size, const std::vector<std::string>& reading,
                 unsigned long readingDropped, const std::vector<std::string>& conversion,
                 unsigned long conversionDropped) {
        Value report = Value::Map();
        report.Set("file", Value::Text(path));
        report.Set("size", Value::Int(size));
        report.Set("header", Header());
        report.Set("externalReferences", ExternalReferences());
        report.Set("objects", Census());
        Value worlds = Value::List(), outside = Value::List();
        MarkListed();
        for (unsigned int i = 1; i <= loader->objects.Size(); ++i)
            if (Is(i, M3G::Object::T_World)) worlds.Add(NodeValue(i, 0));
        // Nodes no World reaches: the roots first, then whatever only a cycle holds.
        for (int pass = 0; pass < 2; ++pass)
            for (unsigned int i = 1; i <= loader->objects.Size(); ++i)
                if (IsNode(i) && !shown[i] && (pass == 1 || !listed[i]))
                    outside.Add(NodeValue(i, 0));
        report.Set("worlds", std::move(worlds));
        report.Set("outsideWorlds", std::move(outside));
        report.Set("animation", Animation());
        Value messages = Value::Map();
        Value& loaderLines = messages.Set("loader", Value::List());
        for (const std::string& line : reading) loaderLines.Add(Value::Text(line));
        Value& conversionLines = messages.Set("conversion", Value::List());
        for (const std::string& line : conversion) conversionLines.Add(Value::Text(line));
        messages.Set("loaderNotShown", Value::Int((long long)readingDropped));
        messages.Set("conversionNotShown", Value::Int((long long)conversionDropped));
        report.Set("messages", std::move(messages));
        report.Set("truncated", Value::Bool(truncated));
        return report;
    }

private:
    M3G::Object* At(unsigned int index) const { return loader->GetObject(index); }
    bool Is(unsigned int index, M3G::Object::Type type) const {
        return loader->GetObject(index, type) != nullptr;
    }
    bool Spend() const {
        if (entries >= kMaxEntries) {
            truncated = true;
            return false;
        }
        ++entries;
        return true;
    }
    bool IsNode(unsigned int index) const { return dynamic_cast<M3G::Node*>(At(index)) != nullptr; }

    // A reference that names nothing, or a record of another type than wanted.
    static Value Broken(unsigned int index, const M3G::Object* object, const char* wanted) {
        Value v = Value::Map();
        v.Set("object", Value::Int(index));
        if (object) v.Set("type", Value::Text(TypeNameOf(unsigned(object->GetType()))));
        v.Set("error", Value::Text(object ? std::string("not a ") + wanted : "no such object"));
        return v;
    }
    static Value Start(unsigned int index, const M3G::Object* object) {
        Value v = Value::Map();
        v.Set("object", Value::Int(index));
        v.Set("type", Value::Text(TypeNameOf(unsigned(object->GetType()))));
        if (const M3G::Object3D* o = dynamic_cast<const M3G::Object3D*>(object))
            v.Set("userId", Value::Int(o->userID));
        return v;
    }

    void MarkListed() {
        for (M3G::Object* object : loader->objects) {
            if (const M3G::Group* g = dynamic_cast<const M3G::Group*>(object))
                for (unsigned int c = 0; c < g->childCount; ++c)
                    if (g->children[c] < listed.size()) listed[g->children[c]] = true;
            if (const M3G::SkinnedMesh* s = dynamic_cast<const M3G::SkinnedMesh*>(object))
                if (s->skeleton < listed.size()) listed[s->skeleton] = true;
        }
    }

    Value Header() const {
        for (unsigned int i = 1; i <= loader->objects.Size(); ++i) {
            const auto* h =
                static_cast<const M3G::Header*>(loader->GetObject(i, M3G::Object::T_Header));
            if (!h) continue;
            Value v = Value::Map();
            v.Set("object", Value::Int(i));
            v.Set("version", Value::Text(std::to_string(h->versionNumber & 0xFF) + "." +
                                         std::to_string(h->versionNumber >> 8)));
            v.Set("hasExternalReferences", Value::Bool(h->hasExternalReferences));
            v.Set("totalFileSize", Value::Int(h->totalFileSize));
            v.Set("approximateContentSize", Value::Int(h->approximateContentSize));
            v.Set("authoring", Value::Text(h->authoringField ? h->authoringField : ""));
            return v;
        }
        return Value();
    }

    Value ExternalReferences() const {
        Value list = Value::List();
        for (unsigned int i = 1; i <= loader->objects.Size(); ++i)
            if (const auto* r = static_cast<const M3G::ExternalReference*>(
                    loader->GetObject(i, M3G::Object::T_ExternalReference))) {
                Value& v = list.Add(Value::Map());
                v.Set("object", Value::Int(i));
                v.Set("uri", Value::Text(r->uri ? r->uri : ""));
            }
        return list;
    }

    Value Census() const {
        Value census = Value::Map();
        census.Set("total", Value::Int(loader->objects.Size()));
        Value& types = census.Set("types", Value::List());
        unsigned int unsupported = 0;
        for (M3G::Object* object : loader->objects)
            if (!object) ++unsupported;
        for (const TypeName& type : sc_typeNames) {
            unsigned int count = 0;
            for (M3G::Object* object : loader->objects)
                if (object && unsigned(object->GetType()) == type.code) ++count;
            if (!count) continue;
            Value& t = types.Add(Value::Map());
            t.Set("type", Value::Text(type.name));
            t.Set("code", Value::Int(type.code));
            t.Set("count", Value::Int(count));
        }
        census.Set("unsupported", Value::Int(unsupported));
        return census;
    }

    static Value TransformValue(const M3G::Transformable* t) {
        Value v = Value::Map();
        if (t->hasComponentTransform) {
            v.Set("translation", Value::Reals(t->translation, 3));
            v.Set("scale", Value::Reals(t->scale, 3));
            Value& o = v.Set("orientation", Value::Map());
            o.Set("angle", Value::Real(t->orientationAngle));
            o.Set("axis", Value::Reals(t->orientationAxis, 3));
        }
        if (t->hasGeneralTransform) v.Set("matrix", Value::Reals(t->matrix, 16));
        return v;
    }

    Value NodeValue(unsigned int index, unsigned int depth) {
        M3G::Object* object = At(index);
        const M3G::Node* node = dynamic_cast<const M3G::Node*>(object);
        if (!node) return Broken(index, object, "node");
        Value v = Start(index, object);
        if (shown[index]) {
            v.Set("repeated", Value::Bool(true));
            return v;
        }
        if (depth >= kMaxDepth) {
            v.Set("tooDeep", Value::Bool(true));
            return v;
        }
        shown[index] = true;
        v.Set("transform", TransformValue(node));
        v.Set("renderingEnabled", Value::Bool(node->renderingEnabled));
        v.Set("pickingEnabled", Value::Bool(node->pickingEnabled));
        v.Set("alphaFactor", Value::Int(node->alphaFactor));
        if (node->animationTrackCount) {
            Value& tracks = v.Set("animationTracks", Value::List());
            for (unsigned int i = 0; i < node->animationTrackCount; ++i)
                tracks.Add(Value::Int(node->animationTracks[i]));
        }
        switch (object->GetType()) {
            case M3G::Object::T_Camera:
                v.Set("projection", Projection(static_cast<const M3G::Camera*>(node)));
                break;
            case M3G::Object::T_Light:
                v.Set("light", LightValue(static_cast<const M3G::Light*>(node)));
                break;
            case M3G::Object::T_Mesh:
            case M3G::Object::T_SkinnedMesh:
                MeshValue(static_cast<const M3G::Mesh*>(node), depth, &v);
                break;
            case M3G::Object::T_World: {
                const auto* world = static_cast<const M3G::World*>(node);
                v.Set("activeCamera", Reference(world->activeCamera, M3G::Object::T_Camera));
                v.Set("background", BackgroundValue(world->background));
                break;
            }
            default:
                break;
        }
        if (const M3G::Group* group = dynamic_cast<const M3G::Group*>(node)) {
            Value children = Value::List();
            unsigned int c = 0;
            for (; c < group->childCount && Spend(); ++c)
                children.Add(NodeValue(group->children[c], depth + 1));
            v.Set("children", std::move(children));
            if (c < group->childCount) v.Set("childrenNotShown", Value::Int(group->childCount - c));
        }
        return v;
    }

    // Index 0 is "none"; anything else names a record of that type.
    Value Reference(unsigned int index, M3G::Object::Type type) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        if (!object || object->GetType() != type)
            return Broken(index, object, TypeNameOf(type).c_str());
        return Start(index, object);
    }

    static Value Projection(const M3G::Camera* camera) {
        Value v = Value::Map();
        v.Set("type", Value::Text(NameOf(sc_projections, camera->projectionType, "projection")));
        if (camera->projectionType == M3G::Camera::PT_Generic) {
            v.Set("matrix", Value::Reals(camera->matrix, 16));
        } else {
            v.Set("fov", Value::Real(camera->fov));
            v.Set("aspect", Value::Real(camera->aspect));
            v.Set("near", Value::Real(camera->near));
            v.Set("far", Value::Real(camera->far));
        }
        return v;
    }

    static Value LightValue(const M3G::Light* light) {
        Value v = Value::Map();
        v.Set("mode", Value::Text(NameOf(sc_lightModes, light->mode, "mode")));
        v.Set("color", Value::Ints(light->color, 3));
        v.Set("intensity", Value::Real(light->intensity));
        const float attenuation[3] = {light->attenuationConstant, light->attenuationLinear,
                                      light->attenuationQuadratic};
        v.Set("attenuation", Value::Reals(attenuation, 3));
        v.Set("spotAngle", Value::Real(light->spotAngle));
        v.Set("spotExponent", Value::Real(light->spotExponent));
        return v;
    }

    Value BackgroundValue(unsigned int index) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        const auto* b = static_cast<const M3G::Background*>(
            loader->GetObject(index, M3G::Object::T_Background));
        if (!b) return Broken(index, object, "Background");
        Value v = Start(index, object);
        v.Set("color", Value::Ints(b->color, 4));
        v.Set("colorClearEnabled", Value::Bool(b->colorClearEnabled));
        v.Set("depthClearEnabled", Value::Bool(b->depthClearEnabled));
        return v;
    }

    Value ArrayValue(unsigned int index) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        const auto* a = static_cast<const M3G::VertexArray*>(
            loader->GetObject(index, M3G::Object::T_VertexArray));
        if (!a) return Broken(index, object, "VertexArray");
        Value v = Start(index, object);
        v.Set("components", Value::Int(a->componentCount));
        v.Set("componentType", Value::Text(NameOf(sc_componentTypes, a->componentType, "type")));
        v.Set("encoding", Value::Text(NameOf(sc_arrayEncodings, a->encoding, "encoding")));
        v.Set("vertices", Value::Int(a->vertexCount));
        return v;
    }

    // Vertex count of the buffer's positions, 0 without them.
    unsigned int VertexCount(unsigned int buffer) const {
        const auto* b = static_cast<const M3G::VertexBuffer*>(
            loader->GetObject(buffer, M3G::Object::T_VertexBuffer));
        const auto* p = b ? static_cast<const M3G::VertexArray*>(
                                loader->GetObject(b->positions, M3G::Object::T_VertexArray))
                          : nullptr;
        return p ? p->vertexCount : 0;
    }

    Value VertexBufferValue(unsigned int index) const {
        M3G::Object* object = At(index);
        const auto* b = static_cast<const M3G::VertexBuffer*>(
            loader->GetObject(index, M3G::Object::T_VertexBuffer));
        if (!b) return Broken(index, object, "VertexBuffer");
        Value v = Start(index, object);
        v.Set("positions", ArrayValue(b->positions));
        v.Set("positionBias", Value::Reals(b->positionBias, 3));
        v.Set("positionScale", Value::Real(b->positionScale));
        v.Set("normals", ArrayValue(b->normals));
        v.Set("colors", ArrayValue(b->colors));
        Value& texCoords = v.Set("texCoords", Value::List());
        for (unsigned int i = 0; i < b->texCoordCount; ++i)
            texCoords.Add(ArrayValue(b->texCoords[i].array));
        v.Set("defaultColor", Value::Ints(b->defaultColor, 4));
        return v;
    }

    Value IndexBufferValue(unsigned int index, unsigned long long* triangles) const {
        M3G::Object* object = At(index);
        const auto* s = static_cast<const M3G::TriangleStripArray*>(
            loader->GetObject(index, M3G::Object::T_TriangleStripArray));
        if (!s) return Broken(index, object, "TriangleStripArray");
        Value v = Start(index, object);
        v.Set("indices", Value::Text(NameOf(sc_indexEncodings, s->encoding, "encoding")));
        if (s->IndexSize())
            v.Set("indexCount", Value::Int(s->indexCount));
        else
            v.Set("firstIndex", Value::Int(s->firstIndex));
        v.Set("strips", Value::Int(s->stripCount));
        *triangles = Triangles(s);
        v.Set("triangles", Value::Int((long long)*triangles));
        return v;
    }

    Value ImageValue(unsigned int index) const {
        M3G::Object* object = At(index);
        const auto* image =
            static_cast<const M3G::Image2D*>(loader->GetObject(index, M3G::Object::T_Image2D));
        if (!image) return Broken(index, object, "Image2D");
        Value v = Start(index, object);
        v.Set("width", Value::Int(image->width));
        v.Set("height", Value::Int(image->height));
        v.Set("format", Value::Text(NameOf(sc_imageFormats, image->format, "format")));
        v.Set("palette", Value::Bool(image->paletteLength != 0));
        v.Set("mutable", Value::Bool(image->isMutable));
        return v;
    }

    Value TextureValue(unsigned int index) const {
        M3G::Object* object = At(index);
        const auto* t =
            static_cast<const M3G::Texture2D*>(loader->GetObject(index, M3G::Object::T_Texture2D));
        if (!t) return Broken(index, object, "Texture2D");
        Value v = Start(index, object);
        v.Set("image", ImageValue(t->image));
        Value& wrap = v.Set("wrap", Value::List());
        wrap.Add(Value::Text(NameOf(sc_wrapModes, t->wrappingS, "code")));
        wrap.Add(Value::Text(NameOf(sc_wrapModes, t->wrappingT, "code")));
        Value& filter = v.Set("filter", Value::List());
        filter.Add(Value::Text(NameOf(sc_filters, t->levelFilter, "code")));
        filter.Add(Value::Text(NameOf(sc_filters, t->imageFilter, "code")));
        v.Set("blending", Value::Int(t->blending));
        return v;
    }

    Value MaterialValue(unsigned int index) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        const auto* m =
            static_cast<const M3G::Material*>(loader->GetObject(index, M3G::Object::T_Material));
        if (!m) return Broken(index, object, "Material");
        Value v = Start(index, object);
        v.Set("ambient", Value::Ints(m->ambient, 3));
        v.Set("diffuse", Value::Ints(m->diffuse, 4));
        v.Set("emissive", Value::Ints(m->emissive, 3));
        v.Set("specular", Value::Ints(m->specular, 3));
        v.Set("shininess", Value::Real(m->shininess));
        v.Set("vertexColorTracking", Value::Bool(m->vertexColorTracking));
        return v;
    }

    Value PolygonModeValue(unsigned int index) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        const auto* p = static_cast<const M3G::PolygonMode*>(
            loader->GetObject(index, M3G::Object::T_PolygonMode));
        if (!p) return Broken(index, object, "PolygonMode");
        Value v = Start(index, object);
        v.Set("culling", Value::Text(NameOf(sc_culling, p->culling, "culling")));
        v.Set("shading", Value::Text(NameOf(sc_shading, p->shading, "shading")));
        v.Set("winding", Value::Text(NameOf(sc_winding, p->winding, "winding")));
        v.Set("twoSidedLighting", Value::Bool(p->twoSidedLighting));
        return v;
    }

    Value CompositingModeValue(unsigned int index) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        const auto* c = static_cast<const M3G::CompositingMode*>(
            loader->GetObject(index, M3G::Object::T_CompositingMode));
        if (!c) return Broken(index, object, "CompositingMode");
        Value v = Start(index, object);
        v.Set("depthTest", Value::Bool(c->depthTestEnabled));
        v.Set("depthWrite", Value::Bool(c->depthWriteEnabled));
        v.Set("blending", Value::Int(c->blending));
        v.Set("alphaThreshold", Value::Int(c->alphaThreshold));
        return v;
    }

    Value AppearanceValue(unsigned int index) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        const auto* a = static_cast<const M3G::Appearance*>(
            loader->GetObject(index, M3G::Object::T_Appearance));
        if (!a) return Broken(index, object, "Appearance");
        Value v = Start(index, object);
        v.Set("layer", Value::Int(a->layer));
        v.Set("material", MaterialValue(a->material));
        Value& textures = v.Set("textures", Value::List());
        for (unsigned int i = 0; i < a->textureCount && Spend(); ++i)
            textures.Add(TextureValue(a->textures[i]));
        v.Set("polygonMode", PolygonModeValue(a->polygonMode));
        v.Set("compositingMode", CompositingModeValue(a->compositingMode));
        return v;
    }

    void MeshValue(const M3G::Mesh* mesh, unsigned int depth, Value* v) {
        unsigned long long triangles = 0;
        Value submeshes = Value::List();
        for (unsigned int i = 0; i < mesh->submeshCount && Spend(); ++i) {
            unsigned long long t = 0;
            Value& s = submeshes.Add(Value::Map());
            s.Set("indexBuffer", IndexBufferValue(mesh->submeshes[i].indexBuffer, &t));
            s.Set("appearance", AppearanceValue(mesh->submeshes[i].appearance));
            triangles += t;
        }
        v->Set("vertices", Value::Int(VertexCount(mesh->vertexBuffer)));
        v->Set("triangles", Value::Int((long long)triangles));
        v->Set("vertexBuffer", VertexBufferValue(mesh->vertexBuffer));
        v->Set("submeshes", std::move(submeshes));
        if (mesh->GetType() == M3G::Object::T_SkinnedMesh)
            v->Set("skin", Skin(static_cast<const M3G::SkinnedMesh*>(mesh), depth));
    }

    Value Skin(const M3G::SkinnedMesh* skin, unsigned int depth) {
        Value v = Value::Map();
        std::vector<unsigned int> bones;
        if (skin->perVertexBones) {
            bones.assign(skin->bones, skin->bones + skin->boneCount);
        } else {
            for (unsigned int i = 0; i < skin->referenceCount; ++i)
                bones.push_back(skin->references[i].node);
        }
        v.Set("perVertexBones", Value::Bool(skin->perVertexBones));
        v.Set("references", Value::Int(skin->referenceCount));
        // Bones are the distinct nodes the mesh follows.
        std::sort(bones.begin(), bones.end());
        bones.erase(std::unique(bones.begin(), bones.end()), bones.end());
        v.Set("bones", Value::Int((long long)bones.size()));
        // The conversion's batches: each submesh becomes an engine skinned
        // mesh under a child of the mesh's node. Null when it was not converted.
        if (skin->sceneNode) {
            Value& batches = v.Set("batches", Value::List());
            for (SceneNode* child : skin->sceneNode->children)
                for (::Mesh* m : child->meshes)
                    if (::SkinnedMesh* s = dynamic_cast<::SkinnedMesh*>(m))
                        for (VertexBatch* batch : s->batches) {
                            Value& b = batches.Add(Value::Map());
                            b.Set("bones", Value::Int(batch->bones.Size()));
                            b.Set("elements", Value::Int(batch->count));
                        }
        } else {
            v.Set("batches", Value());
        }
        v.Set("skeleton", skin->skeleton ? NodeValue(skin->skeleton, depth + 1) : Value());
        return v;
    }

    Value Animation() const {
        // The objects each track animates, found in one pass.
        std::map<unsigned int, std::vector<unsigned int>> owners;
        for (unsigned int j = 1; j <= loader->objects.Size(); ++j)
            if (const auto* owner = dynamic_cast<const M3G::Object3D*>(At(j)))
                for (unsigned int k = 0; k < owner->animationTrackCount; ++k) {
                    std::vector<unsigned int>& list = owners[owner->animationTracks[k]];
                    if (list.empty() || list.back() != j) list.push_back(j);
                }
        Value controllers = Value::List(), tracks = Value::List();
        for (unsigned int i = 1; i <= loader->objects.Size(); ++i) {
            M3G::Object* object = At(i);
            if ((dynamic_cast<const M3G::AnimationController*>(object) ||
                 dynamic_cast<const M3G::AnimationTrack*>(object)) &&
                !Spend())
                break;
            if (const auto* c = dynamic_cast<const M3G::AnimationController*>(object)) {
                Value& x = controllers.Add(Start(i, object));
                x.Set("speed", Value::Real(c->speed));
                x.Set("weight", Value::Real(c->weight));
                Value& interval = x.Set("activeInterval", Value::List());
                interval.Add(Value::Int(c->activeIntervalStart));
                interval.Add(Value::Int(c->activeIntervalEnd));
                x.Set("referenceSequenceTime", Value::Real(c->referenceSequenceTime));
                x.Set("referenceWorldTime", Value::Int(c->referenceWorldTime));
            } else if (const auto* t = dynamic_cast<const M3G::AnimationTrack*>(object)) {
                Value& x = tracks.Add(Start(i, object));
                x.Set("property", Value::Text(NameOf(sc_properties, t->property, "property")));
                Value& targets = x.Set("targets", Value::List());
                for (unsigned int j : owners[i])
                    if (Spend()) targets.Add(Start(j, At(j)));
                x.Set("controller",
                      Reference(t->animationController, M3G::Object::T_AnimationController));
                x.Set("keyframeSequence", Sequence(t->keyframeSequence));
            }
        }
        Value v = Value::Map();
        v.Set("controllers", std::move(controllers));
        v.Set("tracks", std::move(tracks));
        return v;
    }

    Value Sequence(unsigned int index) const {
        if (index == 0) return Value();
        M3G::Object* object = At(index);
        const auto* s = static_cast<const M3G::KeyframeSequence*>(
            loader->GetObject(index, M3G::Object::T_KeyframeSequence));
        if (!s) return Broken(index, object, "KeyframeSequence");
        Value v = Start(index, object);
        v.Set("keys", Value::Int(s->keyframeCount));
        v.Set("duration", Value::Int(s->duration));
        v.Set("interpolation",
              Value::Text(NameOf(sc_interpolations, s->interpolation, "interpolation")));
        v.Set("repeatMode", Value::Text(NameOf(sc_repeatModes, s->repeatMode, "mode")));
        v.Set("components", Value::Int(s->componentCount));
        Value& range = v.Set("validRange", Value::List());
        range.Add(Value::Int(s->validRangeFirst));
        range.Add(Value::Int(s->validRangeLast));
        return v;
    }

    M3GLoader* loader;
    std::vector<bool> shown;        // by object index: already in the tree
    std::vector<bool> listed;       // by object index: some group or skin names it
    mutable unsigned long entries;  // spent of kMaxEntries
    mutable bool truncated;         // some list was cut short
};

// ---------------------------------------------------------------- JSON

// Valid UTF-8 passes; control characters are escaped and stray bytes become U+FFFD.
void PutJsonString(const std::string& s) {
    putchar('"');
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = (unsigned char)s[i];
        if (c == '"' || c == '\\') {
            printf("\\%c", c);
        } else if (c < 0x20 || c == 0x7F) {
            printf("\\u%04x", c);
        } else if (c < 0x80) {
            putchar(c);
        } else {
            size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
            bool valid = n != 0 && i + n <= s.size();
            for (size_t k = 1; valid && k < n; ++k)
                valid = ((unsigned char)s[i + k] & 0xC0) == 0x80;
            if (valid && n >= 3) {
                unsigned char c1 = (unsigned char)s[i + 1];
                // Overlong forms, surrogates and code points past U+10FFFF.
                if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) ||
                    (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90))
                    valid = false;
            }
            if (!valid) {
                fputs("\\ufffd", stdout);
                ++i;
                continue;
            }
            fwrite(s.data() + i, 1, n, stdout);
            i += n;
            continue;
        }
        ++i;
    }
    putchar('"');
}

void PutJson(const Value& v, unsigned int indent) {
    switch (v.kind) {
        case Value::K_Null:
            fputs("null", stdout);
            break;
        case Value::K_Bool:
            fputs(v.flag ? "true" : "false", stdout);
            break;
        case Value::K_Int:
            printf("%lld", v.integer);
            break;
        case Value::K_Real:
            // JSON has no NaN or infinity.
            if (std::isfinite(v.real))
                printf("%.9g", v.real);
            else
                fputs("null", stdout);
            break;
        case Value::K_String:
            PutJsonString(v.text);
            break;
        case Value::K_Array: {
            bool flat = true;
            for (const Value& item : v.items)
                flat = flat && item.kind != Value::K_Array && item.kind != Value::K_Object;
            putchar('[');
            for (size_t i = 0; i < v.items.size(); ++i) {
                if (i) putchar(',');
                if (flat) {
                    if (i) putchar(' ');
                } else {
                    printf("\n%*s", int(indent + 2), "");
                }
                PutJson(v.items[i], indent + 2);
            }
            if (!flat && !v.items.empty()) printf("\n%*s", int(indent), "");
            putchar(']');
            break;
        }
        case Value::K_Object:
            putchar('{');
            for (size_t i = 0; i < v.fields.size(); ++i) {
                printf("%s\n%*s", i ? "," : "", int(indent + 2), "");
                PutJsonString(v.fields[i].first);
                fputs(": ", stdout);
                PutJson(v.fields[i].second, indent + 2);
            }
            if (!v.fields.empty()) printf("\n%*s", int(indent), "");
            putchar('}');
            break;
    }
}

// ---------------------------------------------------------------- text

// Printable ASCII as it is, anything else as \xNN, so that a damaged text
// cannot upset the terminal.
std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out + "\"";
}

std::string Num(double v) {
    char s[32];
    snprintf(s, sizeof s, "%g", v);
    return s;
}

// "a b c" of a list of numbers.
std::string Nums(const Value& list) {
    std::string s;
    for (const Value& item : list.items) s += (s.empty() ? "" : " ") + Num(item.Number());
    return s;
}

// "Type #n", with " (error)" for a broken reference; "none" for no reference.
std::string Ref(const Value& v) {
    if (v.kind == Value::K_Null) return "none";
    std::string s = (v.Has("type") ? v["type"].text + " " : "") + "#" + Num(v["object"].Number());
    return v.Has("error") ? s + " (" + v["error"].text + ")" : s;
}

// "1 strip", "2 strips".
std::string Count(const Value& n, const char* one, const char* many) {
    return Num(n.Number()) + " " + (n.Number() == 1.0 ? one : many);
}

std::string WithUserId(const Value& v) {
    return Ref(v) + (v.Has("userId") ? ", user id " + Num(v["userId"].Number()) : "");
}

// Only what differs from the identity, as printed: a translation, a turn in
// degrees about an axis, a scale, a general matrix row by row.
std::string TransformText(const Value& t) {
    std::string s;
    const Value& translation = t["translation"];
    if (translation.kind == Value::K_Array) {
        if (Nums(translation) != "0 0 0") s += ", at (" + Nums(translation) + ")";
        if (Num(t["orientation"]["angle"].Number()) != "0")
            s += ", turned " + Num(t["orientation"]["angle"].Number()) + " deg about (" +
                 Nums(t["orientation"]["axis"]) + ")";
        if (Nums(t["scale"]) != "1 1 1") s += ", scaled (" + Nums(t["scale"]) + ")";
    }
    const Value& matrix = t["matrix"];
    if (matrix.kind == Value::K_Array && Nums(matrix) != "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1") {
        s += ", matrix [";
        for (size_t i = 0; i < matrix.items.size(); ++i)
            s += (i == 0 ? "" : i % 4 == 0 ? "; " : " ") + Num(matrix.items[i].Number());
        s += "]";
    }
    return s;
}

std::string ArrayText(const char* role, const Value& a) {
    if (a.kind == Value::K_Null) return "";
    std::string s = std::string(", ") + role + " ";
    if (a.Has("error")) return s + Ref(a);
    s += "#" + Num(a["object"].Number()) + " (" + Num(a["components"].Number()) + " x " +
         a["componentType"].text;
    if (a["encoding"].text != "plain") s += ", " + a["encoding"].text;
    return s + ")";
}

void Line(unsigned int indent, const std::string& text) {
    printf("%*s%s\n", int(indent), "", text.c_str());
}

void PrintAppearance(const Value& a, unsigned int indent) {
    if (a.kind == Value::K_Null || a.Has("error")) return;
    const Value& m = a["material"];
    if (m.kind != Value::K_Null) {
        if (m.Has("error"))
            Line(indent, "material " + Ref(m));
        else
            Line(indent, "material #" + Num(m["object"].Number()) + ": ambient " +
                             Nums(m["ambient"]) + ", diffuse " + Nums(m["diffuse"]) +
                             ", emissive " + Nums(m["emissive"]) + ", specular " +
                             Nums(m["specular"]) + ", shininess " + Num(m["shininess"].Number()));
    }
    const Value& p = a["polygonMode"];
    if (p.kind != Value::K_Null)
        Line(indent, p.Has("error") ? "polygon mode " + Ref(p)
                                    : "polygon mode #" + Num(p["object"].Number()) + ": culling " +
                                          p["culling"].text + ", " + p["shading"].text + ", " +
                                          p["winding"].text);
    const Value& c = a["compositingMode"];
    if (c.kind != Value::K_Null)
        Line(indent, c.Has("error") ? "compositing mode " + Ref(c)
                                    : "compositing mode #" + Num(c["object"].Number()) +
                                          ": depth test " + (c["depthTest"].flag ? "on" : "off") +
                                          ", depth write " + (c["depthWrite"].flag ? "on" : "off") +
                                          ", blending " + Num(c["blending"].Number()));
    const Value& textures = a["textures"];
    for (size_t i = 0; i < textures.items.size(); ++i) {
        const Value& t = textures.items[i];
        std::string s = "texture " + std::to_string(i) + " ";
        if (t.Has("error")) {
            Line(indent, s + Ref(t));
            continue;
        }
        const Value& image = t["image"];
        s += "#" + Num(t["object"].Number()) + ": image ";
        if (image.Has("error"))
            s += Ref(image);
        else
            s += "#" + Num(image["object"].Number()) + " " + Num(image["width"].Number()) + " x " +
                 Num(image["height"].Number()) + " " + image["format"].text +
                 (image["palette"].flag ? " (palette)" : "");
        s += "; wrap S " + t["wrap"].items[0].text + ", T " + t["wrap"].items[1].text +
             "; level filter " + t["filter"].items[0].text + ", image filter " +
             t["filter"].items[1].text;
        Line(indent, s);
    }
}

void PrintNode(const Value& n, unsigned int indent) {
    if (n.Has("error")) {
        Line(indent, Ref(n));
        return;
    }
    if (n["repeated"].flag) {
        Line(indent, WithUserId(n) + " (listed again; shown above)");
        return;
    }
    if (n["tooDeep"].flag) {
        Line(indent, WithUserId(n) + " (nested too deep; not shown)");
        return;
    }
    std::string head = WithUserId(n) + TransformText(n["transform"]) + " [" +
                       (n["renderingEnabled"].flag ? "enabled" : "disabled") +
                       (n["pickingEnabled"].flag ? ", picking" : ", no picking") + ", alpha " +
                       Num(n["alphaFactor"].Number()) + "]";
    if (n.Has("animationTracks")) {
        head += ", animated by track";
        for (const Value& t : n["animationTracks"].items) head += " #" + Num(t.Number());
    }
    if (n.Has("submeshes"))
        head += ": " + Count(n["vertices"], "vertex", "vertices") + ", " +
                Count(n["triangles"], "triangle", "triangles");
    Line(indent, head);
    unsigned int in = indent + 2;
    if (n["type"].text == "World") {
        std::string s = "active camera " + Ref(n["activeCamera"]) + ", background ";
        const Value& b = n["background"];
        if (b.kind == Value::K_Null || b.Has("error"))
            s += Ref(b);
        else
            s += "#" + Num(b["object"].Number()) + ": colour " + Nums(b["color"]) + ", clears " +
                 (b["colorClearEnabled"].flag && b["depthClearEnabled"].flag ? "colour and depth"
                  : b["colorClearEnabled"].flag                              ? "colour"
                  : b["depthClearEnabled"].flag                              ? "depth"
                                                                             : "nothing");
        Line(in, s);
    }
    const Value& projection = n["projection"];
    if (projection.kind != Value::K_Null) {
        if (projection.Has("matrix"))
            Line(in, projection["type"].text + ": matrix " + Nums(projection["matrix"]));
        else
            Line(in, projection["type"].text + ": fov " + Num(projection["fov"].Number()) +
                         ", aspect " + Num(projection["aspect"].Number()) + ", near " +
                         Num(projection["near"].Number()) + ", far " +
                         Num(projection["far"].Number()));
    }
    const Value& light = n["light"];
    if (light.kind != Value::K_Null) {
        std::string s = light["mode"].text + ": colour " + Nums(light["color"]) + ", intensity " +
                        Num(light["intensity"].Number());
        if (light["mode"].text == "omni" || light["mode"].text == "spot")
            s += ", attenuation " + Nums(light["attenuation"]);
        if (light["mode"].text == "spot")
            s += ", spot angle " + Num(light["spotAngle"].Number()) + ", exponent " +
                 Num(light["spotExponent"].Number());
        Line(in, s);
    }
    const Value& buffer = n["vertexBuffer"];
    if (buffer.kind != Value::K_Null) {
        if (buffer.Has("error")) {
            Line(in, "vertex buffer " + Ref(buffer));
        } else {
            std::string s = "vertex buffer #" + Num(buffer["object"].Number());
            s += ArrayText("positions", buffer["positions"]) +
                 ArrayText("normals", buffer["normals"]) + ArrayText("colours", buffer["colors"]);
            const Value& texCoords = buffer["texCoords"];
            for (size_t i = 0; i < texCoords.items.size(); ++i)
                s += ArrayText(("texture coordinates " + std::to_string(i)).c_str(),
                               texCoords.items[i]);
            Line(in, s);
        }
        const Value& submeshes = n["submeshes"];
        for (size_t i = 0; i < submeshes.items.size(); ++i) {
            const Value& sub = submeshes.items[i];
            const Value& strips = sub["indexBuffer"];
            std::string s = "submesh " + std::to_string(i) + ": ";
            if (strips.Has("error"))
                s += "strips " + Ref(strips);
            else
                s += "strips #" + Num(strips["object"].Number()) + " (" + strips["indices"].text +
                     " indices, " + Count(strips["strips"], "strip", "strips") + ", " +
                     Count(strips["triangles"], "triangle", "triangles") + ")";
            const Value& a = sub["appearance"];
            s += ", appearance ";
            s +=
                a.kind == Value::K_Null || a.Has("error")
                    ? Ref(a)
                    : "#" + Num(a["object"].Number()) + " (layer " + Num(a["layer"].Number()) + ")";
            Line(in, s);
            PrintAppearance(a, in + 2);
        }
    }
    const Value& skin = n["skin"];
    if (skin.kind != Value::K_Null) {
        std::string s = "skin: " + Count(skin["bones"], "bone", "bones");
        if (!skin["perVertexBones"].flag)
            s += " in " + Count(skin["references"], "reference", "references");
        const Value& batches = skin["batches"];
        if (batches.kind == Value::K_Null) {
            s += ", not converted";
        } else {
            s += ", " + std::to_string(batches.items.size()) +
                 (batches.items.size() == 1 ? " batch" : " batches") + " (bones per batch:";
            for (const Value& b : batches.items) s += " " + Num(b["bones"].Number());
            s += ")";
        }
        Line(in, s);
        if (skin["skeleton"].kind != Value::K_Null) {
            Line(in, "skeleton:");
            PrintNode(skin["skeleton"], in + 2);
        }
    }
    for (const Value& child : n["children"].items) PrintNode(child, in);
    if (n.Has("childrenNotShown"))
        Line(in, "... " + Num(n["childrenNotShown"].Number()) + " more children not shown");
}

void PrintText(const Value& r) {
    printf("%s: %s bytes\n", r["file"].text.c_str(), Num(r["size"].Number()).c_str());
    const Value& h = r["header"];
    if (h.kind == Value::K_Null) {
        printf("Header: none\n");
    } else {
        printf("Header: version %s, total file size %s B, approximate content size %s B, %s\n",
               h["version"].text.c_str(), Num(h["totalFileSize"].Number()).c_str(),
               Num(h["approximateContentSize"].Number()).c_str(),
               h["hasExternalReferences"].flag ? "external references" : "no external references");
        if (!h["authoring"].text.empty())
            printf("  authoring: %s\n", Quoted(h["authoring"].text).c_str());
    }
    for (const Value& e : r["externalReferences"].items)
        printf("  external reference #%s: %s\n", Num(e["object"].Number()).c_str(),
               Quoted(e["uri"].text).c_str());
    const Value& census = r["objects"];
    printf("Objects: %s\n", Num(census["total"].Number()).c_str());
    for (const Value& t : census["types"].items)
        printf("  %s: %s\n", t["type"].text.c_str(), Num(t["count"].Number()).c_str());
    if (census["unsupported"].Number() != 0)
        printf("  unsupported: %s\n", Num(census["unsupported"].Number()).c_str());
    printf("Scene:%s\n", r["worlds"].items.empty() ? " no World" : "");
    for (const Value& w : r["worlds"].items) PrintNode(w, 2);
    if (!r["outsideWorlds"].items.empty()) {
        printf("Outside any World:\n");
        for (const Value& n : r["outsideWorlds"].items) PrintNode(n, 2);
    }
    const Value& animation = r["animation"];
    if (animation["controllers"].items.empty() && animation["tracks"].items.empty()) {
        printf("Animation: none\n");
    } else {
        printf("Animation:\n");
        for (const Value& c : animation["controllers"].items)
            Line(2, WithUserId(c) + ": speed " + Num(c["speed"].Number()) + ", weight " +
                        Num(c["weight"].Number()) + ", active interval " +
                        Num(c["activeInterval"].items[0].Number()) + " to " +
                        Num(c["activeInterval"].items[1].Number()) + ", reference sequence time " +
                        Num(c["referenceSequenceTime"].Number()) + ", world time " +
                        Num(c["referenceWorldTime"].Number()));
        for (const Value& t : animation["tracks"].items) {
            std::string s = WithUserId(t) + ": " + t["property"].text + " of";
            if (t["targets"].items.empty()) s += " nothing";
            for (size_t i = 0; i < t["targets"].items.size(); ++i)
                s += (i ? ", " : " ") + WithUserId(t["targets"].items[i]);
            s += "; controller " + Ref(t["controller"]) + "; sequence ";
            const Value& k = t["keyframeSequence"];
            if (k.kind == Value::K_Null || k.Has("error"))
                s += Ref(k);
            else
                s += "#" + Num(k["object"].Number()) + ": " + Count(k["keys"], "key", "keys") +
                     ", " + Num(k["duration"].Number()) + " ms, " + k["interpolation"].text + ", " +
                     k["repeatMode"].text;
            Line(2, s);
        }
    }
    const Value& messages = r["messages"];
    if (messages["loader"].items.empty() && messages["conversion"].items.empty()) {
        printf("Messages: none\n");
    } else {
        printf("Messages:\n");
        for (const Value& m : messages["loader"].items) Line(2, "loader: " + m.text);
        for (const Value& m : messages["conversion"].items) Line(2, "conversion: " + m.text);
        for (const char* phase : {"loader", "conversion"}) {
            double dropped = messages[(std::string(phase) + "NotShown").c_str()].Number();
            if (dropped != 0.0)
                Line(2, "... " + Num(dropped) + " more " + phase + " messages not shown");
        }
    }
    if (r["truncated"].flag)
        printf("Cut short after %lu entries (nodes, submeshes, textures, tracks)\n", kMaxEntries);
}

// The object census alone, one "Type: count" line each, in type-code order.
void PrintCensus(M3GLoader* loader) {
    unsigned int unsupported = 0;
    for (M3G::Object* object : loader->objects)
        if (!object) ++unsupported;
    for (const TypeName& type : sc_typeNames) {
        unsigned int count = 0;
        for (M3G::Object* object : loader->objects)
            if (object && unsigned(object->GetType()) == type.code) ++count;
        if (count) printf("%s: %u\n", type.name, count);
    }
    if (unsupported) printf("unsupported: %u\n", unsupported);
}

int Usage() {
    fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    enum { kText, kJson, kCensus } mode = kText;
    const char* path = nullptr;
    unsigned int operands = 0;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0)) {
            fputs(kUsage, stdout);
            fputs(
                "Reads an M3G scene file with the player's loader and converts it as the player\n"
                "would, then prints the header, the object census, the scene tree (nodes with\n"
                "their transforms, meshes with vertex arrays, strips, materials and textures,\n"
                "cameras, lights, skins and their batches), the animations and every message.\n"
                "Object numbers (#n) are indices into the file, the header being #1.\n"
                "  --json      the same as JSON\n"
                "  --census    only the number of objects of each type\n"
                "  -h, --help  this text; -- ends the options\n"
                "Exit status: 0 when the file was read (even with messages), 1 when it cannot\n"
                "be read or is not a scene file, 2 on wrong usage.\n",
                stdout);
            return 0;
        } else if (options && strcmp(arg, "--json") == 0) {
            mode = kJson;
        } else if (options && strcmp(arg, "--census") == 0) {
            mode = kCensus;
        } else if (options && arg[0] == '-') {
            fprintf(stderr, "m3g-info: unknown option %s\n", arg);
            return Usage();
        } else {
            path = arg;
            ++operands;
        }
    }
    if (operands != 1) return Usage();
    unsigned int length = 0;
    unsigned char* data = ReadWhole(path, &length);
    if (!data) {
        fprintf(stderr, "m3g-info: can't read %s\n", path);
        return 1;
    }
    if (length < sizeof(M3GLoader::identifier) ||
        memcmp(data, M3GLoader::identifier, sizeof(M3GLoader::identifier)) != 0) {
        fprintf(stderr, "m3g-info: %s is not a scene file\n", path);
        free(data);
        return 1;
    }
    ROMSource source(data, length, true);
    M3GLoader loader(&source);
    if (mode == kCensus) {
        loader.Load();
        PrintCensus(&loader);
        return 0;
    }
    Messages messages;
    messages.Start();
    loader.Load();
    std::vector<std::string> reading, conversion;
    unsigned long readingDropped = messages.Stop(&reading);
    messages.Start();
    Scene* scene = loader.CreateScene();
    unsigned long conversionDropped = messages.Stop(&conversion);
    Inspector inspector(&loader);
    Value report =
        inspector.Report(path, length, reading, readingDropped, conversion, conversionDropped);
    if (mode == kJson) {
        PutJson(report, 0);
        putchar('\n');
    } else {
        PrintText(report);
    }
    delete scene;
    return fflush(stdout) == 0 ? 0 : 1;
}
