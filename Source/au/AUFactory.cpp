// The component's two exported entry points. Each returns a fresh plug-in interface
// record (AUDispatch.h): its Open hook creates the instance, Close destroys it and frees
// the record, and Lookup hands out the music-device methods.

#include "AUDispatch.h"

// The description is not needed: both entry points make the same Halvora instance.
extern "C" __attribute__ ((visibility ("default"))) AudioComponentPlugInInterface* HalvoraAUFactory (const AudioComponentDescription*)
{
    return halvora::AUDispatch::makeRecord();
}

extern "C" __attribute__ ((visibility ("default"))) AudioComponentPlugInInterface* JuceAUFactory (const AudioComponentDescription*)
{
    return halvora::AUDispatch::makeRecord();
}
