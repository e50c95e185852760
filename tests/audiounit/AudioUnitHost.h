#pragma once

#include "au/AUDispatch.h"
#include "helpers/HostEventLog.h"

#include <vector>

/** The host's side of the Audio Unit layer in tests: instances opened through their plug-in
    interface records and driven only through the methods their Lookup hands out, as a host
    drives them, and the events they send to the host.
*/
namespace testhost
{

/** Every event the instances of this process sent through AUEventListenerNotify since the
    last call, in order.
*/
inline std::vector<AudioUnitEvent> takeEvents() { return HostEventLog::take(); }

/** The events of one kind for one parameter among `events`. */
inline int countEvents (const std::vector<AudioUnitEvent>& events, AudioUnitEventType type, AudioUnitParameterID id)
{
    return HostEventLog::count (events, type, id);
}

/** One instance, opened on construction and closed on destruction. */
class HostedUnit
{
public:
    HostedUnit();
    ~HostedUnit();

    /** What the host passed to Open, and what callbacks name as the unit. */
    AudioUnit instance() const noexcept { return reinterpret_cast<AudioUnit> (record); }
    AudioComponentPlugInInterface& interface() const noexcept { return *record; }
    HalvoraAudioUnit& object() const;

    template <typename Proc>
    Proc method (SInt16 selector) const { return reinterpret_cast<Proc> (record->Lookup (selector)); }

    OSStatus getProperty (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void* data, UInt32 size) const;
    OSStatus setProperty (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void* data, UInt32 size) const;
    OSStatus setParameter (const char* id, float hostValue) const;
    float getParameter (const char* id) const;

    std::string savePreset() const;
    OSStatus restorePreset (const std::string&) const;

    /** Sets the stream formats and the input source (a repeatable voice-like signal), then
        initialises.
    */
    OSStatus start (int channels = 2, UInt32 maxFrames = 1156);

    /** One render of `frames` frames into the host's own buffers, `output` after it. */
    OSStatus render (UInt32 frames, Float64 sampleTime = 0.0);
    const std::vector<std::vector<float>>& output() const noexcept { return buffers; }
    AudioBufferList* outputList() noexcept { return reinterpret_cast<AudioBufferList*> (listStorage.data()); }

    /** Renders `blocks` blocks of 512 frames; false at the first failed render or non-finite sample. */
    bool renderFinite (int blocks, juce::String& detail);

private:
    static OSStatus pull (void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* data);

    AudioComponentPlugInInterface* record = nullptr;
    std::vector<std::vector<float>> buffers;
    std::vector<char> listStorage;
    juce::AudioBuffer<float> signal;
    int signalPosition = 0;
    int channels = 2;
};

} // namespace testhost
