// Attribute arrays: type names, element sizes and ownership of the data.
#include "engine/AttributeArray.h"

#include <cstring>

#include "engine/SharedBytes.h"

const unsigned int numericTypeSizeBytes[kNumericTypeCount] = {1, 2, 4, 4, 8, 2, 4};

const char* const AttributeArray::names[kTypeCount] = {
    "at_Location", "at_Normal",  "at_Tangent", "at_TexCoord", "at_Weight",
    "at_Color",    "at_Custom0", "at_Custom1", "at_Custom2",  "at_Triangle",
    "at_TrianleStrip", nullptr,  nullptr,      nullptr,
};

AttributeArray::AttributeArray()
    : data(nullptr), count(0), type(at_Location), dynamic(false), components(3),
      numericType(NT_Float), stride(12), sharedData(false) {}

AttributeArray::AttributeArray(Type type_, NumericType numericType_, unsigned char components_,
                               bool dynamic_)
    : data(nullptr), count(0), type(type_), dynamic(dynamic_), components(components_),
      numericType(numericType_), stride(ElementSize(components_, numericType_)),
      sharedData(false) {}

AttributeArray::~AttributeArray() { ReleaseData(); }

void AttributeArray::ReleaseData() {
    if (sharedData)
        SharedBytes::Release(data);
    else
        delete[] data;
    data = nullptr;
    sharedData = false;
}

void AttributeArray::ShareData(unsigned char* bytes) {
    if (bytes == data && sharedData) return;
    ReleaseData();
    data = SharedBytes::Retain(bytes);
    sharedData = bytes != nullptr;
}

unsigned char* AttributeArray::Writable() {
    if (!sharedData || SharedBytes::References(data) == 1) return data;
    size_t n = size_t(count) * stride;
    unsigned char* own = new unsigned char[n ? n : 1];
    memcpy(own, data, n);
    ReleaseData();
    data = own;
    return data;
}

AttributeArray::AttributeArray(AttributeArray&& other) noexcept
    : data(other.data), count(other.count), type(other.type), dynamic(other.dynamic),
      components(other.components), numericType(other.numericType), stride(other.stride),
      sharedData(other.sharedData) {
    other.data = nullptr;
    other.count = 0;
    other.sharedData = false;
}

AttributeArray& AttributeArray::operator=(AttributeArray&& other) noexcept {
    if (this != &other) {
        ReleaseData();
        data = other.data;
        sharedData = other.sharedData;
        count = other.count;
        type = other.type;
        dynamic = other.dynamic;
        components = other.components;
        numericType = other.numericType;
        stride = other.stride;
        other.data = nullptr;
        other.count = 0;
        other.sharedData = false;
    }
    return *this;
}

unsigned int AttributeArray::ElementSize(unsigned int components, unsigned int numericType) {
    if (numericType >= kNumericTypeCount) return 0;
    return components * numericTypeSizeBytes[numericType];
}
