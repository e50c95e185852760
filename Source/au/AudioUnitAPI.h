#pragma once

// The few Audio Unit (version 2) types and constants the host layer answers with, under
// their usual names and with the public numeric values of the real API, so that code on
// either side reads like it does on a Mac. Where the real API hands out Core Foundation
// objects (strings, arrays, property lists) this layer hands out plain C data owned by
// the instance and valid until the next call of the same kind or until it closes.
//
// One function here belongs to the host side: AUEventListenerNotify, through which a
// component tells the host's event listeners that a parameter moved. On a Mac it is the
// system's; here the host process defines it, and a component library that finds none
// (a host without event listeners) sends nothing.

#include <cstdint>

using OSStatus = std::int32_t;
using OSType = std::uint32_t;
using UInt8 = std::uint8_t;
using SInt16 = std::int16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using UInt64 = std::uint64_t;
using SInt64 = std::int64_t;
using Float32 = float;
using Float64 = double;
using Boolean = unsigned char;

using AudioUnitPropertyID = UInt32;
using AudioUnitScope = UInt32;
using AudioUnitElement = UInt32;
using AudioUnitParameterID = UInt32;
using AudioUnitParameterValue = Float32;
using AudioUnitParameterUnit = UInt32;
using AudioUnitParameterOptions = UInt32;
using AudioUnitRenderActionFlags = UInt32;
using MusicDeviceInstrumentID = UInt32;
using MusicDeviceGroupID = UInt32;
using NoteInstanceID = UInt32;
using CFStringRef = const char*; // UTF-8

constexpr OSType fourCharCode (const char (&code)[5]) noexcept
{
    return (OSType (UInt8 (code[0])) << 24) | (OSType (UInt8 (code[1])) << 16) | (OSType (UInt8 (code[2])) << 8) | OSType (UInt8 (code[3]));
}

//==============================================================================
struct AudioComponentDescription
{
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

struct ComponentInstanceRecord;
using AudioComponentInstance = ComponentInstanceRecord*; // as JUCE declares it too
using AudioUnit = AudioComponentInstance;
using AudioComponentMethod = void (*)();

struct AudioComponentPlugInInterface
{
    OSStatus (*Open) (void* self, AudioComponentInstance instance);
    OSStatus (*Close) (void* self);
    AudioComponentMethod (*Lookup) (SInt16 selector);
    void* reserved;
};

using AudioComponentFactoryFunction = AudioComponentPlugInInterface* (*) (const AudioComponentDescription*);

//==============================================================================
struct SMPTETime
{
    SInt16 mSubframes, mSubframeDivisor;
    UInt32 mCounter, mType, mFlags;
    SInt16 mHours, mMinutes, mSeconds, mFrames;
};

struct AudioTimeStamp
{
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    SMPTETime mSMPTETime;
    UInt32 mFlags;
    UInt32 mReserved;
};

struct AudioBuffer
{
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

struct AudioBufferList
{
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1]; // really mNumberBuffers of them
};

struct AudioStreamBasicDescription
{
    Float64 mSampleRate;
    UInt32 mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};

using AURenderCallback = OSStatus (*) (void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                       const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                       UInt32 inNumberFrames, AudioBufferList* ioData);

/** Called with the property's scope and element each time the unit changes it. */
using AudioUnitPropertyListenerProc = void (*) (void* inRefCon, AudioUnit inUnit, AudioUnitPropertyID inID,
                                                AudioUnitScope inScope, AudioUnitElement inElement);

struct AudioStreamPacketDescription
{
    SInt64 mStartOffset;
    UInt32 mVariableFramesInPacket;
    UInt32 mDataByteSize;
};

struct AURenderCallbackStruct
{
    AURenderCallback inputProc;
    void* inputProcRefCon;
};

struct AUChannelInfo
{
    SInt16 inChannels;
    SInt16 outChannels;
};

struct AudioUnitParameterInfo
{
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    AudioUnitParameterUnit unit;
    AudioUnitParameterValue minValue;
    AudioUnitParameterValue maxValue;
    AudioUnitParameterValue defaultValue;
    AudioUnitParameterOptions flags;
};

struct AudioUnitParameterStringFromValue
{
    AudioUnitParameterID inParamID;
    const AudioUnitParameterValue* inValue; // null: the current value
    CFStringRef outString;
};

struct AudioUnitParameterValueFromString
{
    AudioUnitParameterID inParamID;
    CFStringRef inString;
    AudioUnitParameterValue outValue;
};

struct AUPreset
{
    SInt32 presetNumber;
    CFStringRef presetName;
};

/** CFArray stand-ins. */
struct AUStringArray
{
    UInt32 count;
    const CFStringRef* strings;
};

struct AUPresetArray
{
    UInt32 count;
    const AUPreset* presets;
};

/** The CFPropertyList stand-in of the ClassInfo property: the preset dictionary as Apple
    XML property-list text, exactly what an .aupreset file holds.
*/
struct AUPropertyListData
{
    const void* bytes;
    UInt32 size;
};

/** What the registered Cocoa view factory class reports. */
struct AudioUnitCocoaViewInfo
{
    CFStringRef mCocoaAUViewBundleLocation;
    CFStringRef mCocoaAUViewClass[1];
    UInt32 interfaceVersion;
    CFStringRef description;
};

/** A parameter change scheduled for the next render slice; offsets count frames from the
    slice's first frame, and a ramp that began in an earlier slice has a negative start.
*/
enum AUParameterEventType : UInt32
{
    kParameterEvent_Immediate = 1,
    kParameterEvent_Ramped = 2
};

struct AudioUnitParameterEvent
{
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterID parameter;
    AUParameterEventType eventType;

    union
    {
        struct
        {
            SInt32 startBufferOffset;
            UInt32 durationInFrames;
            AudioUnitParameterValue startValue;
            AudioUnitParameterValue endValue;
        } ramp;

        struct
        {
            UInt32 bufferOffset;
            AudioUnitParameterValue value;
        } immediate;
    } eventValues;
};

/** What a component reports to the host's event listeners. */
enum AudioUnitEventType : UInt32
{
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3
};

struct AudioUnitParameter
{
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitProperty
{
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitEvent
{
    AudioUnitEventType mEventType;

    union
    {
        AudioUnitParameter mParameter; // the three parameter events
        AudioUnitProperty mProperty;   // kAudioUnitEvent_PropertyChange
    } mArgument;
};

struct AUListenerBase;
using AUEventListenerRef = AUListenerBase*;

/** Host side: hands an event to every event listener the host registered for it. A
    component passes null for the sending listener and object.
*/
extern "C" OSStatus AUEventListenerNotify (AUEventListenerRef inSendingListener, void* inSendingObject,
                                           const AudioUnitEvent* inEvent);

struct MusicDeviceNoteParams
{
    UInt32 argCount;
    Float32 mPitch;
    Float32 mVelocity;
};

struct MIDIEventPacket
{
    UInt64 timeStamp;
    UInt32 wordCount;
    UInt32 words[64];
};

struct MIDIEventList
{
    SInt32 protocol;
    UInt32 numPackets;
    MIDIEventPacket packet[1];
};

//==============================================================================
enum : OSType
{
    kAudioUnitType_MusicDevice = fourCharCode ("aumu"),
    kAudioUnitType_Effect = fourCharCode ("aufx"),
    kAudioFormatLinearPCM = fourCharCode ("lpcm")
};

enum : UInt32
{
    kAudioFormatFlagIsFloat = (1U << 0),
    kAudioFormatFlagIsPacked = (1U << 3),
    kAudioFormatFlagIsNonInterleaved = (1U << 5),
    kAudioFormatFlagsNativeFloatPacked = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked
};

enum : SInt16
{
    kAudioUnitInitializeSelect = 0x0001,
    kAudioUnitUninitializeSelect = 0x0002,
    kAudioUnitGetPropertyInfoSelect = 0x0003,
    kAudioUnitGetPropertySelect = 0x0004,
    kAudioUnitSetPropertySelect = 0x0005,
    kAudioUnitGetParameterSelect = 0x0006,
    kAudioUnitSetParameterSelect = 0x0007,
    kAudioUnitResetSelect = 0x0009,
    kAudioUnitAddPropertyListenerSelect = 0x000A,
    kAudioUnitRemovePropertyListenerSelect = 0x000B,
    kAudioUnitRenderSelect = 0x000E,
    kAudioUnitAddRenderNotifySelect = 0x000F,
    kAudioUnitRemoveRenderNotifySelect = 0x0010,
    kAudioUnitScheduleParametersSelect = 0x0011,
    kAudioUnitRemovePropertyListenerWithUserDataSelect = 0x0012,
    kAudioUnitComplexRenderSelect = 0x0013,
    kAudioUnitProcessSelect = 0x0014,
    kAudioUnitProcessMultipleSelect = 0x0015,

    kMusicDeviceMIDIEventSelect = 0x0101,
    kMusicDeviceSysExSelect = 0x0102,
    kMusicDevicePrepareInstrumentSelect = 0x0103,
    kMusicDeviceReleaseInstrumentSelect = 0x0104,
    kMusicDeviceStartNoteSelect = 0x0105,
    kMusicDeviceStopNoteSelect = 0x0106,
    kMusicDeviceMIDIEventListSelect = 0x0107
};

enum : AudioUnitRenderActionFlags
{
    kAudioUnitRenderAction_PreRender = (1U << 2),
    kAudioUnitRenderAction_PostRender = (1U << 3),
    kAudioUnitRenderAction_OutputIsSilence = (1U << 4),
    kAudioOfflineUnitRenderAction_Preflight = (1U << 5),
    kAudioOfflineUnitRenderAction_Render = (1U << 6),
    kAudioOfflineUnitRenderAction_Complete = (1U << 7),
    kAudioUnitRenderAction_PostRenderError = (1U << 8),
    kAudioUnitRenderAction_DoNotCheckRenderArgs = (1U << 9)
};

enum : AudioUnitScope
{
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2
};

enum : AudioUnitPropertyID
{
    kAudioUnitProperty_ClassInfo = 0,
    kAudioUnitProperty_SampleRate = 2,
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_ElementCount = 11,
    kAudioUnitProperty_Latency = 12,
    kAudioUnitProperty_SupportedNumChannels = 13,
    kAudioUnitProperty_MaximumFramesPerSlice = 14,
    kAudioUnitProperty_ParameterValueStrings = 16,
    kAudioUnitProperty_TailTime = 20,
    kAudioUnitProperty_BypassEffect = 21,
    kAudioUnitProperty_SetRenderCallback = 23,
    kAudioUnitProperty_FactoryPresets = 24,
    kAudioUnitProperty_CocoaUI = 31,
    kAudioUnitProperty_ParameterStringFromValue = 33,
    kAudioUnitProperty_PresentPreset = 36,
    kAudioUnitProperty_ParameterValueFromString = 38
};

enum : AudioUnitParameterUnit
{
    kAudioUnitParameterUnit_Generic = 0,
    kAudioUnitParameterUnit_Indexed = 1
};

enum : AudioUnitParameterOptions
{
    kAudioUnitParameterFlag_HasClump = (1U << 20),
    kAudioUnitParameterFlag_ValuesHaveStrings = (1U << 21),
    kAudioUnitParameterFlag_IsHighResolution = (1U << 23),
    kAudioUnitParameterFlag_NonRealTime = (1U << 24),
    kAudioUnitParameterFlag_CanRamp = (1U << 25),
    kAudioUnitParameterFlag_HasCFNameString = (1U << 27),
    kAudioUnitParameterFlag_IsGlobalMeta = (1U << 28),
    kAudioUnitParameterFlag_IsElementMeta = (1U << 29),
    kAudioUnitParameterFlag_IsReadable = (1U << 30),
    kAudioUnitParameterFlag_IsWritable = (1U << 31)
};

enum : OSStatus
{
    noErr = 0,
    kAudio_UnimplementedError = -4,
    kAudio_ParamError = -50,
    kAudio_MemFullError = -108,
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_InvalidParameter = -10878,
    kAudioUnitErr_InvalidElement = -10877,
    kAudioUnitErr_NoConnection = -10876,
    kAudioUnitErr_FailedInitialization = -10875,
    kAudioUnitErr_TooManyFramesToProcess = -10874,
    kAudioUnitErr_FormatNotSupported = -10868,
    kAudioUnitErr_Uninitialized = -10867,
    kAudioUnitErr_InvalidScope = -10866,
    kAudioUnitErr_PropertyNotWritable = -10865,
    kAudioUnitErr_InvalidPropertyValue = -10851,
    kAudioUnitErr_Initialized = -10849,
    badComponentSelector = static_cast<OSStatus> (0x80008002)
};

//==============================================================================
// The C signatures of the methods that Lookup hands out.
using AudioUnitInitializeProc = OSStatus (*) (void* self);
using AudioUnitUninitializeProc = OSStatus (*) (void* self);
using AudioUnitGetPropertyInfoProc = OSStatus (*) (void* self, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                                                   UInt32* outDataSize, Boolean* outWritable);
using AudioUnitGetPropertyProc = OSStatus (*) (void* self, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                                               void* outData, UInt32* ioDataSize);
using AudioUnitSetPropertyProc = OSStatus (*) (void* self, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                                               const void* inData, UInt32 inDataSize);
using AudioUnitGetParameterProc = OSStatus (*) (void* self, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                                                AudioUnitParameterValue* outValue);
using AudioUnitSetParameterProc = OSStatus (*) (void* self, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                                                AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames);
using AudioUnitRenderProc = OSStatus (*) (void* self, AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp*,
                                          UInt32 inOutputBusNumber, UInt32 inNumberFrames, AudioBufferList* ioData);
using AudioUnitResetProc = OSStatus (*) (void* self, AudioUnitScope, AudioUnitElement);
using AudioUnitAddPropertyListenerProc = OSStatus (*) (void* self, AudioUnitPropertyID, AudioUnitPropertyListenerProc,
                                                       void* inProcUserData);
using AudioUnitRemovePropertyListenerProc = OSStatus (*) (void* self, AudioUnitPropertyID, AudioUnitPropertyListenerProc);
using AudioUnitRemovePropertyListenerWithUserDataProc = OSStatus (*) (void* self, AudioUnitPropertyID, AudioUnitPropertyListenerProc,
                                                                      void* inProcUserData);
using AudioUnitAddRenderNotifyProc = OSStatus (*) (void* self, AURenderCallback, void* inProcUserData);
using AudioUnitRemoveRenderNotifyProc = OSStatus (*) (void* self, AURenderCallback, void* inProcUserData);
using AudioUnitScheduleParametersProc = OSStatus (*) (void* self, const AudioUnitParameterEvent*, UInt32 inNumParamEvents);
using AudioUnitComplexRenderProc = OSStatus (*) (void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 inOutputBusNumber,
                                                 UInt32 inNumberOfPackets, UInt32* outNumberOfPackets,
                                                 AudioStreamPacketDescription* outPacketDescriptions, AudioBufferList* ioData,
                                                 void* outMetadata, UInt32* outMetadataByteSize);
using AudioUnitProcessProc = OSStatus (*) (void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 inNumberFrames,
                                           AudioBufferList* ioData);
using AudioUnitProcessMultipleProc = OSStatus (*) (void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 inNumberFrames,
                                                   UInt32 inNumberInputBufferLists, const AudioBufferList** inInputBufferLists,
                                                   UInt32 inNumberOutputBufferLists, AudioBufferList** ioOutputBufferLists);
using MusicDeviceMIDIEventProc = OSStatus (*) (void* self, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                                               UInt32 inOffsetSampleFrame);
using MusicDeviceMIDIEventListProc = OSStatus (*) (void* self, UInt32 inOffsetSampleFrame, const MIDIEventList*);
using MusicDeviceSysExProc = OSStatus (*) (void* self, const UInt8* inData, UInt32 inLength);
using MusicDevicePrepareInstrumentProc = OSStatus (*) (void* self, MusicDeviceInstrumentID);
using MusicDeviceReleaseInstrumentProc = OSStatus (*) (void* self, MusicDeviceInstrumentID);
using MusicDeviceStartNoteProc = OSStatus (*) (void* self, MusicDeviceInstrumentID, MusicDeviceGroupID,
                                               NoteInstanceID* outNoteInstanceID, UInt32 inOffsetSampleFrame,
                                               const MusicDeviceNoteParams*);
using MusicDeviceStopNoteProc = OSStatus (*) (void* self, MusicDeviceGroupID, NoteInstanceID, UInt32 inOffsetSampleFrame);
