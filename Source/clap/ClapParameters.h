#pragma once

#include "HalvoraVocabulary.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <clap/events.h>
#include <clap/ext/params.h>
#include <clap/host.h>

#include <array>
#include <atomic>

namespace halvora::clap
{

//==============================================================================
/** The eleven parameters as a CLAP host sees them, and the events that move them.

    A parameter's CLAP id is its index in the vocabulary's order, which never changes:
    projects and automation name parameters by it. Plain values are the parameter's own
    units, a choice's index for a choice.

    Both directions run through queues of events:
    - The host's events (in process or flush) hand the value to the parameter object
      itself through the host-value rule: an atomic store, no lock, no allocation, no
      message. The parameter's listeners (the value-tree state that saves it, the editor)
      hear of it later, from publishChanges(), on the main thread.
    - The editor's gestures and values are queued on the main thread and handed to the
      host in the next process or flush, as the begin, value, end events it records.
*/
class ClapParameters final : private juce::AudioProcessorParameter::Listener
{
public:
    explicit ClapParameters (juce::AudioProcessorValueTreeState&);
    ~ClapParameters() override;

    static constexpr std::uint32_t count = static_cast<std::uint32_t> (parameterIDs.size());

    /** The host's parameter extension, where it offers one (for request_flush and rescan). */
    void setHost (const clap_host_t*, const clap_host_params_t*) noexcept;

    bool getInfo (std::uint32_t index, clap_param_info_t&) const noexcept;
    bool getValue (clap_id, double&) const noexcept;
    bool valueToText (clap_id, double plain, char* display, std::uint32_t size) const;
    bool textToValue (clap_id, const char* display, double& plain) const;

    /** Applies the host's parameter events; on whichever thread processes or flushes. */
    void applyHostEvents (const clap_input_events_t*) noexcept;

    /** Hands the host the editor's queued gestures and values. */
    void sendEditorEvents (const clap_output_events_t*) noexcept;

    /** Tells the listeners of every parameter a host event changed since the last call, so
        the value-tree state and the editor hold what the blocks read. On the main thread.
    */
    void publishChanges();

    /** Around a restore on the main thread: the parameters the state sets are no edits to
        send back; afterwards the host is asked to read the values again.
    */
    void beginRestore() noexcept;
    void endRestore() noexcept;

    juce::RangedAudioParameter* parameterFor (clap_id) const noexcept;

private:
    void parameterValueChanged (int parameterIndex, float newValue) override;
    void parameterGestureChanged (int parameterIndex, bool gestureIsStarting) override;
    void queueEditorEvent (std::uint16_t type, int parameterIndex, double plain) noexcept;

    struct Entry
    {
        juce::RangedAudioParameter* parameter = nullptr;
        std::atomic<bool> unpublished { false };
    };

    struct EditorEvent
    {
        std::uint16_t type = 0;
        clap_id id = 0;
        double value = 0.0;
    };

    std::array<Entry, count> entries;

    // Written on the main thread only, read by the one thread that processes or flushes.
    static constexpr int editorQueueSize = 512;
    juce::AbstractFifo editorQueue { editorQueueSize };
    std::array<EditorEvent, editorQueueSize> editorEvents;

    const clap_host_t* host = nullptr;
    const clap_host_params_t* hostParams = nullptr;

    // Main thread: set while values reach the listeners from the host or a restore.
    bool notEditorChanges = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapParameters)
};

} // namespace halvora::clap
