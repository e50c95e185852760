#pragma once

#include "AudioUnitAPI.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

/** The host's render notifications: added and removed from any thread, called by the
    render thread before and after each render without taking a lock.

    The list is published like a sequence lock. A writer (host threads only, one at a time)
    makes the count odd, rewrites the entries and makes it even again. The render thread
    keeps a copy of its own, refreshed at the start of a render when the count moved on;
    if a writer is half-way through a change, or finishes one during the copy, the render
    keeps its previous copy and takes the change at its next render. The entries are
    written with release and read with acquire ordering, which keeps the count's checks on
    either side of them without separate fences.
*/
class RenderNotifyList
{
public:
    /** More than any host registers; one more is refused with kAudio_MemFullError. */
    static constexpr size_t capacity = 32;

    /** A notification already in the list is not added twice. */
    OSStatus add (AURenderCallback proc, void* refCon)
    {
        if (proc == nullptr)
            return kAudio_ParamError;

        const std::lock_guard<std::mutex> lock (writerLock);

        if (indexOf (proc, refCon) >= 0)
            return noErr;

        if (size == capacity)
            return kAudio_MemFullError;

        entries[size++] = { proc, refCon };
        publish();
        return noErr;
    }

    /** Removing a notification that is not there is not an error, as in the base. */
    OSStatus remove (AURenderCallback proc, void* refCon)
    {
        const std::lock_guard<std::mutex> lock (writerLock);
        const auto index = indexOf (proc, refCon);

        if (index < 0)
            return noErr;

        for (auto i = static_cast<size_t> (index); i + 1 < size; ++i)
            entries[i] = entries[i + 1];

        --size;
        publish();
        return noErr;
    }

    /** Render thread: takes the latest complete list, if it changed. */
    void refresh() noexcept
    {
        const auto before = sequence.load (std::memory_order_acquire);

        if (before == renderSequence || (before & 1U) != 0)
            return;

        const auto n = std::min (publishedSize.load (std::memory_order_acquire), capacity);

        for (size_t i = 0; i < n; ++i)
            scratch[i] = { publishedProcs[i].load (std::memory_order_acquire), publishedRefCons[i].load (std::memory_order_acquire) };

        if (sequence.load (std::memory_order_relaxed) != before)
            return;

        renderEntries = scratch;
        renderSize = n;
        renderSequence = before;
    }

    /** Render thread: calls every notification of the copy taken by the last refresh. */
    void notify (AudioUnitRenderActionFlags flags, const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames,
                 AudioBufferList* data) const
    {
        for (size_t i = 0; i < renderSize; ++i)
        {
            auto passed = flags;
            renderEntries[i].proc (renderEntries[i].refCon, &passed, timeStamp, bus, frames, data);
        }
    }

private:
    struct Entry
    {
        AURenderCallback proc = nullptr;
        void* refCon = nullptr;
    };

    int indexOf (AURenderCallback proc, void* refCon) const noexcept
    {
        for (size_t i = 0; i < size; ++i)
            if (entries[i].proc == proc && entries[i].refCon == refCon)
                return static_cast<int> (i);

        return -1;
    }

    void publish() noexcept
    {
        const auto s = sequence.load (std::memory_order_relaxed);
        sequence.store (s + 1, std::memory_order_relaxed);

        for (size_t i = 0; i < size; ++i)
        {
            publishedProcs[i].store (entries[i].proc, std::memory_order_release);
            publishedRefCons[i].store (entries[i].refCon, std::memory_order_release);
        }

        publishedSize.store (size, std::memory_order_release);
        sequence.store (s + 2, std::memory_order_release);
    }

    // Writers' side, under the lock.
    std::mutex writerLock;
    std::array<Entry, capacity> entries {};
    size_t size = 0;

    // What the render thread reads.
    std::atomic<UInt32> sequence { 0 };
    std::array<std::atomic<AURenderCallback>, capacity> publishedProcs {};
    std::array<std::atomic<void*>, capacity> publishedRefCons {};
    std::atomic<size_t> publishedSize { 0 };

    // The render thread's own copy.
    std::array<Entry, capacity> renderEntries {}, scratch {};
    size_t renderSize = 0;
    UInt32 renderSequence = 0;
};
