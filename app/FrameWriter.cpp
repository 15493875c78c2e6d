// Frame writing on worker threads with a bounded pool of frame buffers.
#include "app/FrameWriter.h"

#include "app/PngEncoder.h"


#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

FrameWriter::FrameWriter()
    : mode(M_None), fd(-1), width(0), height(0), framesQueued(0), jobsHead(0), jobsCount(0),
      closing(false) {}

FrameWriter::~FrameWriter() { Finish(); }

bool FrameWriter::OpenFolder(const char* dir, unsigned int w, unsigned int h,
                             unsigned int workers) {
    folder = dir;
    return Start(M_Folder, w, h, workers ? workers : 1);
}

bool FrameWriter::OpenStream(int streamFd, unsigned int w, unsigned int h) {
    fd = streamFd;
    // One thread: the stream takes the frames in order.
    return Start(M_Stream, w, h, 1);
}

bool FrameWriter::OpenDiscard(unsigned int w, unsigned int h) { return Start(M_Discard, w, h, 1); }

bool FrameWriter::Start(Mode m, unsigned int w, unsigned int h, unsigned int workers) {
    if (mode != M_None || w == 0 || h == 0) return false;
    mode = m;
    width = w;
    height = h;
    // Two buffers a worker keeps every worker busy while the renderer fills
    // the next; more would only hold memory.
    unsigned int buffers = workers * 2 + 1;
    pool.resize(buffers);
    jobs.resize(buffers);
    for (auto& buffer : pool) {
        buffer.resize(size_t(w) * h * 4);
        freeBuffers.push_back(buffer.data());
    }
    for (unsigned int i = 0; i < workers; ++i) threads.emplace_back(&FrameWriter::Work, this);
    return true;
}

unsigned char* FrameWriter::Acquire() {
    std::unique_lock<std::mutex> guard(lock);
    bufferFree.wait(guard, [this] { return !freeBuffers.empty(); });
    unsigned char* buffer = freeBuffers.back();
    freeBuffers.pop_back();
    return buffer;
}

void FrameWriter::Submit(unsigned char* pixels, const char* name) {
    {
        std::lock_guard<std::mutex> guard(lock);
        assert(jobsCount < jobs.size());
        Job& job = jobs[(jobsHead + jobsCount++) % jobs.size()];
        job.pixels = pixels;
        job.number = framesQueued;
        if (name) job.name = name;
        else job.name.clear();
        if (!name) ++framesQueued;
    }
    jobReady.notify_one();
}

bool FrameWriter::Finish() {
    {
        std::lock_guard<std::mutex> guard(lock);
        closing = true;
    }
    jobReady.notify_all();
    for (std::thread& thread : threads) thread.join();
    threads.clear();
    return !HasFailed();
}

bool FrameWriter::HasFailed() {
    std::lock_guard<std::mutex> guard(lock);
    return !error.empty();
}

std::string FrameWriter::GetError() {
    std::lock_guard<std::mutex> guard(lock);
    return error;
}

void FrameWriter::Fail(const std::string& message) {
    std::lock_guard<std::mutex> guard(lock);
    if (error.empty()) error = message;
}

void FrameWriter::Work() {
    std::vector<unsigned char> row(size_t(width) * 3);
    PngEncoder encoder;
    std::vector<unsigned char> file;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> guard(lock);
            jobReady.wait(guard, [this] { return closing || jobsCount > 0; });
            if (jobsCount == 0) return;
            std::swap(job, jobs[jobsHead]);
            jobsHead = (jobsHead + 1) % jobs.size();
            --jobsCount;
        }
        // After a failure the remaining frames are dropped: the output is
        // incomplete either way, and a full disk need not be asked again.
        if (!HasFailed()) {
            if (mode == M_Folder) WritePng(job, &encoder, &file);
            else if (mode == M_Stream) WriteRaw(job, &row);
        }
        {
            std::lock_guard<std::mutex> guard(lock);
            freeBuffers.push_back(job.pixels);
        }
        bufferFree.notify_one();
    }
}

// GL rows run bottom-up, RGBA; the stream wants RGB rows top-down.
static void RgbRow(const unsigned char* rgba, unsigned int width, unsigned int height,
                   unsigned int y, unsigned char* out) {
    const unsigned char* src = rgba + size_t(height - 1 - y) * width * 4;
    for (unsigned int x = 0; x < width; ++x) {
        out[x * 3 + 0] = src[x * 4 + 0];
        out[x * 3 + 1] = src[x * 4 + 1];
        out[x * 3 + 2] = src[x * 4 + 2];
    }
}

bool FrameWriter::WritePng(const Job& job, PngEncoder* encoder, std::vector<unsigned char>* file) {
    char name[32];
    snprintf(name, sizeof name, "frame-%06u.png", job.number);
    std::string path = folder + "/" + (job.name.empty() ? std::string(name) : job.name);
    encoder->Encode(job.pixels, width, height, file);
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) {
        Fail("can't write " + path + ": " + strerror(errno));
        return false;
    }
    // A full disk may show only when the buffered rest is written out, in fclose.
    bool written = fwrite(file->data(), 1, file->size(), out) == file->size();
    if (fclose(out) != 0) written = false;
    if (!written) {
        Fail("can't write " + path + ": " + strerror(errno));
        return false;
    }
    return true;
}

bool FrameWriter::WriteRaw(const Job& job, std::vector<unsigned char>* row) {
    // Named frames (pictures of a check) have no place in a video stream.
    if (!job.name.empty()) return true;
    for (unsigned int y = 0; y < height; ++y) {
        RgbRow(job.pixels, width, height, y, row->data());
        const unsigned char* p = row->data();
        size_t left = row->size();
        while (left > 0) {
            ssize_t n = write(fd, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                Fail(std::string("can't write frame ") + std::to_string(job.number) +
                     " to the output stream: " + (n < 0 ? strerror(errno) : "nothing written"));
                return false;
            }
            p += n;
            left -= size_t(n);
        }
    }
    return true;
}
