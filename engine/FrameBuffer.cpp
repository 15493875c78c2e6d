// Framebuffers and their attachment slots.
#include "engine/FrameBuffer.h"

#include <cassert>

#include "engine/ResourceManager.h"

FrameBuffer::FrameBuffer() {
    for (unsigned int i = 0; i < kAttachmentCount; ++i) attachments[i] = nullptr;
}

ResourceInitializer* FrameBuffer::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(this);
}

void FrameBuffer::Attach(Attachment attachment, RenderTarget* target) {
    assert(unsigned(attachment) < kAttachmentCount);
    if (unsigned(attachment) >= kAttachmentCount) return;
    attachments[attachment] = target;
}
