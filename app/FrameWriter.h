// Writes captured frames from worker threads, so that compressing one frame
// overlaps drawing the next: PNG files into a folder, or raw RGB frames into a
// stream (a pipe to an encoder). The queue is bounded by a fixed pool of
// buffers; a full queue makes the renderer wait.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PngEncoder;

class FrameWriter {
public:
    FrameWriter();
    // Finishes what is queued.
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // PNG files DIR/frame-NNNNNN.png, from `workers` threads (files need no order).
    bool OpenFolder(const char* dir, unsigned int width, unsigned int height, unsigned int workers);
    // Raw frames (RGB, 3 bytes a pixel, rows top-down) written to fd in frame
    // order by one thread; the writer does not close fd.
    bool OpenStream(int fd, unsigned int width, unsigned int height);
    // No writing at all (timing the renderer alone); frames are still read back.
    bool OpenDiscard(unsigned int width, unsigned int height);

    // A free buffer of width * height * 4 bytes for glReadPixels (RGBA, rows
    // bottom-up); waits while every buffer is queued.
    unsigned char* Acquire();
    // Queues the buffer as the next frame; with a name, a PNG of that name
    // (in the folder) instead of the next frame number.
    void Submit(unsigned char* pixels, const char* name = nullptr);
    // Waits for every queued frame and stops the threads; false when any
    // frame could not be written. Safe to call twice.
    bool Finish();

    bool HasFailed();
    // The first failure, for the message; empty while there is none.
    std::string GetError();
    unsigned int GetFramesQueued() const { return framesQueued; }

private:
    enum Mode { M_None, M_Folder, M_Stream, M_Discard };
    struct Job {
        unsigned char* pixels;
        unsigned int number;
        std::string name;  // empty: frame-NNNNNN.png
    };

    bool Start(Mode mode, unsigned int width, unsigned int height, unsigned int workers);
    void Work();
    bool WritePng(const Job& job, PngEncoder* encoder, std::vector<unsigned char>* file);
    bool WriteRaw(const Job& job, std::vector<unsigned char>* row);
    void Fail(const std::string& message);

    Mode mode;
    std::string folder;
    int fd;
    unsigned int width;
    unsigned int height;
    unsigned int framesQueued;

    std::mutex lock;
    std::condition_variable jobReady;  // a job was queued, or the end came
    std::condition_variable bufferFree;
    // Frame order; a ring as long as the pool, since each job holds a buffer.
    std::vector<Job> jobs;
    size_t jobsHead;
    size_t jobsCount;
    std::vector<unsigned char*> freeBuffers;
    std::vector<std::vector<unsigned char>> pool;
    std::vector<std::thread> threads;
    bool closing;
    std::string error;
};
