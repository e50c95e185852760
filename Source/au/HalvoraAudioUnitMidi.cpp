// MIDI from the host: queued from any thread, handed to the processor with the next slice.

#include "HalvoraAudioUnit.h"

OSStatus HalvoraAudioUnit::addMidi (const juce::uint8* data, int size, UInt32 offsetSampleFrame)
{
    // Accepted and handed to processBlock with the next block, which ignores it. A full
    // queue (the host sends and nothing renders) takes nothing more until a render.
    return midiQueue.push (data, size, offsetSampleFrame) ? noErr : kAudio_MemFullError;
}

OSStatus HalvoraAudioUnit::midiEvent (UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame)
{
    // Only status bytes start a message; anything else is not one and is passed over.
    if ((status & 0x80) == 0 || (status & 0xff) == 0xf0 || (status & 0xff) == 0xf7)
        return noErr;

    const juce::uint8 bytes[] { static_cast<juce::uint8> (status & 0xff), static_cast<juce::uint8> (data1 & 0x7f),
                                static_cast<juce::uint8> (data2 & 0x7f) };
    const auto size = juce::MidiMessage::getMessageLengthFromFirstByte (bytes[0]);
    return addMidi (bytes, size, offsetSampleFrame);
}

OSStatus HalvoraAudioUnit::midiEventList (UInt32 offsetSampleFrame, const MIDIEventList* list)
{
    if (list == nullptr)
        return kAudio_ParamError;

    // Universal MIDI Packets: MIDI 1.0 channel voice messages (type 2) are passed on.
    const auto* packet = list->packet;
    OSStatus result = noErr;

    for (UInt32 i = 0; i < list->numPackets && i < 1024; ++i)
    {
        const auto words = juce::jmin<UInt32> (packet->wordCount, 64);

        for (UInt32 w = 0; w < words; ++w)
        {
            const auto word = packet->words[w];

            if ((word >> 28) == 2)
                if (const auto status = midiEvent ((word >> 16) & 0xff, (word >> 8) & 0x7f, word & 0x7f, offsetSampleFrame); status != noErr)
                    result = status;
        }

        packet = reinterpret_cast<const MIDIEventPacket*> (packet->words + words);
    }

    return result;
}

OSStatus HalvoraAudioUnit::sysEx (const UInt8* data, UInt32 length)
{
    if (data == nullptr || length == 0 || length > static_cast<UInt32> (MidiEventQueue::maxEventSize))
        return kAudio_ParamError;

    return addMidi (data, static_cast<int> (length), 0);
}

OSStatus HalvoraAudioUnit::startNote (MusicDeviceGroupID group, NoteInstanceID* outNoteID, UInt32 offsetSampleFrame,
                                      const MusicDeviceNoteParams* params)
{
    if (params == nullptr)
        return kAudio_ParamError;

    // NaN or out-of-range pitches and velocities clamp to the MIDI range; NaN reads as 0.
    const auto toMidiRange = [] (Float32 value) {
        return std::isnan (value) ? 0 : static_cast<int> (juce::jlimit (0.0f, 127.0f, value));
    };

    const auto note = toMidiRange (params->mPitch);
    const auto velocity = toMidiRange (params->mVelocity);
    const auto message = juce::MidiMessage::noteOn (static_cast<int> (group % 16) + 1, note, static_cast<juce::uint8> (velocity));
    const auto status = addMidi (message.getRawData(), message.getRawDataSize(), offsetSampleFrame);

    if (status == noErr && outNoteID != nullptr)
        *outNoteID = static_cast<NoteInstanceID> (note);

    return status;
}

OSStatus HalvoraAudioUnit::stopNote (MusicDeviceGroupID group, NoteInstanceID noteID, UInt32 offsetSampleFrame)
{
    const auto message = juce::MidiMessage::noteOff (static_cast<int> (group % 16) + 1, static_cast<int> (noteID & 0x7f));
    return addMidi (message.getRawData(), message.getRawDataSize(), offsetSampleFrame);
}
