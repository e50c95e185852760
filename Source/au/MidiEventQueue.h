#pragma once

#include "AudioUnitAPI.h"

#include <juce_core/juce_core.h>

#include <cstring>
#include <mutex>
#include <vector>

/** MIDI events on their way from the host's threads to the render thread.

    Hosts deliver MIDI from whatever thread they like, also while a render runs. The events
    wait in a ring of fixed size, so nothing grows while nothing renders: when it is full a
    new event is refused until a render has taken the waiting ones. Senders take turns
    through a short lock of their own; the render thread takes events out without one.
*/
class MidiEventQueue
{
public:
    /** Bytes of waiting events, eight of them a header per event. */
    static constexpr int capacity = 1 << 17;

    /** The longest event taken, the longest a juce::MidiBuffer holds. */
    static constexpr int maxEventSize = 65535;

    /** The most events one render takes; the rest wait for the next. The processor's MIDI
        buffer finds each event's place from its start, so the work of a render grows with
        the square of the events it takes, and a flood must not stall it.
    */
    static constexpr int maxEventsPerRender = 1024;

    MidiEventQueue()
        : ring (static_cast<size_t> (capacity) + 1),
          writeScratch (headerSize + maxEventSize),
          readScratch (headerSize + maxEventSize)
    {
    }

    /** Any thread. False if the event is empty, too long, or does not fit now. */
    bool push (const juce::uint8* data, int size, UInt32 sampleOffset)
    {
        if (data == nullptr || size <= 0 || size > maxEventSize)
            return false;

        const std::lock_guard<std::mutex> lock (senderLock);
        const auto total = headerSize + size;

        if (fifo.getFreeSpace() < total)
            return false;

        const UInt32 header[] { sampleOffset, static_cast<UInt32> (size) };
        std::memcpy (writeScratch.data(), header, headerSize);
        std::memcpy (writeScratch.data() + headerSize, data, static_cast<size_t> (size));

        int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
        fifo.prepareToWrite (total, start1, size1, start2, size2);
        std::memcpy (ring.data() + start1, writeScratch.data(), static_cast<size_t> (size1));
        std::memcpy (ring.data() + start2, writeScratch.data() + size1, static_cast<size_t> (size2));
        fifo.finishedWrite (total);
        return true;
    }

    /** Render thread: hands up to maxEventsPerRender waiting events to fn (bytes, size,
        sampleOffset), oldest first.
    */
    template <typename Function>
    void popSome (Function&& fn)
    {
        // Events are published whole, so whatever is ready is a run of complete events.
        auto ready = fifo.getNumReady();

        for (int count = 0; count < maxEventsPerRender && ready >= headerSize; ++count)
        {
            copyOut (headerSize);
            UInt32 header[2] {};
            std::memcpy (header, readScratch.data(), headerSize);
            const auto total = headerSize + static_cast<int> (header[1]);

            if (header[1] == 0 || total > ready)
                break;

            copyOut (total);
            fifo.finishedRead (total);
            ready -= total;
            fn (readScratch.data() + headerSize, static_cast<int> (header[1]), header[0]);
        }
    }

    /** Render thread: drops every waiting event. */
    void discardAll() noexcept
    {
        fifo.finishedRead (fifo.getNumReady());
    }

private:
    static constexpr int headerSize = 8;

    void copyOut (int numBytes) noexcept
    {
        int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
        fifo.prepareToRead (numBytes, start1, size1, start2, size2);
        std::memcpy (readScratch.data(), ring.data() + start1, static_cast<size_t> (size1));
        std::memcpy (readScratch.data() + size1, ring.data() + start2, static_cast<size_t> (size2));
    }

    juce::AbstractFifo fifo { capacity + 1 };
    std::vector<juce::uint8> ring;
    std::mutex senderLock;
    std::vector<juce::uint8> writeScratch; // the senders', under the lock
    std::vector<juce::uint8> readScratch;  // the render thread's

    JUCE_DECLARE_NON_COPYABLE (MidiEventQueue)
};
