// The encoder on a thread of its own, so that on two cores one frame is
// encoded while the next is drawn. Frames are handed over one at a time,
// in order, so the file is the same as from a single thread.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "capture.h"

static std::thread Worker;
static std::mutex Lock;
static std::condition_variable Changed;
static std::vector<Uint8> JobPixels;
static std::vector<Sint16> JobSamples;
static int JobCount; // sample frames
static int64_t JobIndex;
static bool Pending; // a frame waits or is being encoded
static bool Failed;  // the encoder failed; EncoderError() says why
static bool Ending;
static double Busy;

static void EncodeFrames()
{
    std::unique_lock<std::mutex> L(Lock);
    for (;;) {
        Changed.wait(L, [] { return Pending || Ending; });
        if (!Pending)
            return;
        L.unlock();
        double Start = WallSeconds();
        bool Done = EncodeVideoFrame(JobPixels.data(), JobIndex)
            && (JobCount == 0 || EncodeAudio(JobSamples.data(), JobCount));
        double Took = WallSeconds() - Start;
        L.lock();
        Busy += Took;
        Pending = false;
        Failed = !Done;
        Changed.notify_all();
        if (Failed)
            return;
    }
}

void StartEncoderThread()
{
    Worker = std::thread(EncodeFrames);
}

bool HandOverFrame(
    std::vector<Uint8>* Pixels, std::vector<Sint16>* Samples, int Count, int64_t Index)
{
    std::unique_lock<std::mutex> L(Lock);
    Changed.wait(L, [] { return !Pending || Failed; });
    if (Failed)
        return false;
    Pixels->swap(JobPixels);
    Samples->swap(JobSamples);
    JobCount = Count;
    JobIndex = Index;
    Pending = true;
    Changed.notify_all();
    return true;
}

bool StopEncoderThread(double* BusySeconds)
{
    if (!Worker.joinable())
        return !Failed;
    {
        std::unique_lock<std::mutex> L(Lock);
        Changed.wait(L, [] { return !Pending || Failed; });
        Ending = true;
        Changed.notify_all();
    }
    Worker.join();
    if (BusySeconds != NULL)
        *BusySeconds = Busy;
    return !Failed;
}
