// The registry of live resources.
#include "engine/ResourceManager.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include "engine/Resource.h"

ResourceManager::ResourceManager() : slots(nullptr), slotCount(0), slotShift(64), slotsUsed(0) {}

ResourceManager::~ResourceManager() { free(slots); }

void ResourceManager::Register(Resource* resource) {
    if (FindSlot(resource) != kNoSlot) return;
    // Both may throw; each leaves everything as it was.
    ReserveSlot();
    // Doubling rather than the list's fixed step keeps a million appends cheap.
    unsigned int capacity = resources.Capacity();
    if (resources.Size() == capacity) resources.Reserve(capacity < 0x80000000u ? capacity * 2 : ~0u);
    resources.Add(resource);
    unsigned int slot = Home(resource);
    while (slots[slot].resource) slot = (slot + 1) & (slotCount - 1);
    slots[slot].resource = resource;
    slots[slot].position = resources.Size() - 1;
    ++slotsUsed;
}

void ResourceManager::Unregister(Resource* resource) {
    unsigned int slot = FindSlot(resource);
    if (slot == kNoSlot) return;
    unsigned int i = slots[slot].position;
    EraseSlot(slot);
    // Order is not kept: the last entry moves into the freed slot.
    resources.RemoveAt(i);
    if (i < resources.Size()) slots[FindSlot(resources[i])].position = i;
}

void ResourceManager::InitAll() {
    // The count is re-read each time: an Init may register further resources.
    for (unsigned int i = 0; i < resources.Size(); ++i) resources[i]->Init();
}

unsigned int ResourceManager::Home(const Resource* resource) const {
    // Fibonacci hashing: the top bits of the product spread neighbouring addresses.
    uint64_t key = uint64_t(reinterpret_cast<uintptr_t>(resource)) * 0x9E3779B97F4A7C15ull;
    return unsigned(key >> slotShift);
}

unsigned int ResourceManager::FindSlot(const Resource* resource) const {
    if (!slotCount) return kNoSlot;
    for (unsigned int slot = Home(resource);; slot = (slot + 1) & (slotCount - 1)) {
        if (!slots[slot].resource) return kNoSlot;
        if (slots[slot].resource == resource) return slot;
    }
}

void ResourceManager::ReserveSlot() {
    if (slotsUsed < slotCount / 2) return;
    // The list itself cannot hold more than 2^32 - 1 entries; at most 2^31 of
    // them keep the table at half load.
    if (slotCount >= 0x80000000u) throw std::bad_alloc();
    unsigned int grownCount = slotCount ? slotCount * 2 : 16;
    Slot* grown = static_cast<Slot*>(calloc(grownCount, sizeof(Slot)));
    if (!grown) throw std::bad_alloc();
    Slot* old = slots;
    unsigned int oldCount = slotCount;
    slots = grown;
    slotCount = grownCount;
    --slotShift;
    if (!oldCount) slotShift = 64 - 4;
    for (unsigned int i = 0; i < oldCount; ++i) {
        if (!old[i].resource) continue;
        unsigned int slot = Home(old[i].resource);
        while (slots[slot].resource) slot = (slot + 1) & (slotCount - 1);
        slots[slot] = old[i];
    }
    free(old);
}

void ResourceManager::EraseSlot(unsigned int slot) {
    // Backward-shift deletion: entries after the hole that may sit in it move
    // up, so no probe sequence is ever broken and no tombstones pile up.
    unsigned int mask = slotCount - 1;
    unsigned int hole = slot;
    for (unsigned int next = (hole + 1) & mask; slots[next].resource; next = (next + 1) & mask) {
        unsigned int home = Home(slots[next].resource);
        // The entry may move into the hole unless its home lies cyclically in (hole, next].
        bool staysPut = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (staysPut) continue;
        slots[hole] = slots[next];
        hole = next;
    }
    slots[hole].resource = nullptr;
    --slotsUsed;
}
