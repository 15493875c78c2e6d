// Shared container of the engine: a growable array of plain elements.
#pragma once

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

// Elements are moved bytewise (realloc, memmove), so only trivially copyable
// types (pointers, small records) may be stored. The vector never deletes what
// its elements point to. Clear() keeps the capacity, so per-frame lists stop
// allocating once they have grown.
template <typename T>
class Vector {
    static_assert(std::is_trivially_copyable<T>::value, "Vector holds plain elements only");

public:
    explicit Vector(unsigned int initialCapacity = 10, unsigned int growStep = 10)
        : data(nullptr), step(growStep ? growStep : 1), count(0), sizeBytes(0),
          capacity(0), capacityBytes(0) {
        Reserve(initialCapacity);
    }
    virtual ~Vector() { free(data); }

    Vector(const Vector& other) : Vector(other.capacity, other.step) {
        if (other.count) memcpy(data, other.data, other.sizeBytes);
        count = other.count;
        sizeBytes = other.sizeBytes;
    }
    Vector& operator=(const Vector& other) {
        if (this != &other) {
            Clear();
            Reserve(other.count);
            if (other.count) memcpy(data, other.data, other.sizeBytes);
            count = other.count;
            sizeBytes = other.sizeBytes;
        }
        return *this;
    }

    // Grows the block to hold at least n elements. Returns false (and leaves
    // the vector as it was) when memory runs out.
    bool Reserve(unsigned int n) {
        if (n <= capacity) return true;
        if (n > (~0u) / sizeof(T)) return false;
        T* grown = static_cast<T*>(realloc(data, size_t(n) * sizeof(T)));
        if (!grown) return false;
        data = grown;
        capacity = n;
        capacityBytes = n * unsigned(sizeof(T));
        return true;
    }

    void Add(const T& value) {
        // Copy first: value may live inside the block about to be reallocated.
        T copy = value;
        if (count == capacity) {
            // The step, or half again when that is more: a fixed step made a
            // long list's growth quadratic wherever realloc copies.
            unsigned long long grown = capacity + (step > capacity / 2 ? step : capacity / 2);
            unsigned int want = grown > ~0u ? ~0u : unsigned(grown);
            if (want <= capacity || !Reserve(want)) throw std::bad_alloc();
        }
        memcpy(static_cast<void*>(data + count), &copy, sizeof(T));
        ++count;
        sizeBytes += unsigned(sizeof(T));
    }

    // Removes element i by moving the last element into its slot.
    void RemoveAt(unsigned int i) {
        assert(i < count);
        --count;
        sizeBytes -= unsigned(sizeof(T));
        if (i != count) memcpy(static_cast<void*>(data + i), data + count, sizeof(T));
    }

    // Removes the first element equal to value (last moves into its slot).
    bool Remove(const T& value) {
        int i = Find(value);
        if (i < 0) return false;
        RemoveAt(unsigned(i));
        return true;
    }

    // Removes element i keeping the order of the rest.
    void RemoveOrdered(unsigned int i) {
        assert(i < count);
        memmove(static_cast<void*>(data + i), data + i + 1, (count - i - 1) * sizeof(T));
        --count;
        sizeBytes -= unsigned(sizeof(T));
    }

    void Pop() {
        assert(count > 0);
        --count;
        sizeBytes -= unsigned(sizeof(T));
    }

    int Find(const T& value) const {
        for (unsigned int i = 0; i < count; ++i)
            if (memcmp(data + i, &value, sizeof(T)) == 0) return int(i);
        return -1;
    }
    bool Contains(const T& value) const { return Find(value) >= 0; }

    void Clear() {
        count = 0;
        sizeBytes = 0;
    }

    unsigned int Size() const { return count; }
    bool Empty() const { return count == 0; }
    unsigned int Capacity() const { return capacity; }
    unsigned int GrowStep() const { return step; }
    T* Data() { return data; }
    const T* Data() const { return data; }
    T& operator[](unsigned int i) { assert(i < count); return data[i]; }
    const T& operator[](unsigned int i) const { assert(i < count); return data[i]; }
    T& Last() { assert(count > 0); return data[count - 1]; }
    const T& Last() const { assert(count > 0); return data[count - 1]; }

    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }

private:
    T* data;
    unsigned int step;
    unsigned int count;
    unsigned int sizeBytes;
    unsigned int capacity;
    unsigned int capacityBytes;
};
