#pragma once

// The least a VST3 host needs, on the SDK's interface headers alone: a memory stream that
// can hand its bytes out in pieces, and the plug-in's audio component loaded from its
// binary. Shared by the host test and the state fuzzer.

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace vst3host
{
using namespace Steinberg;

inline bool sameIid (const TUID a, const TUID b)
{
    return std::memcmp (a, b, sizeof (TUID)) == 0;
}

// The SDK's interfaces are reference counted and never deleted through a base pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/** A memory stream that gives out at most maxPiece bytes per read (0: all at once), as some
    hosts do, and tells its size through ISizeableStream.
*/
class PieceStream final : public IBStream,
                          public ISizeableStream
{
public:
    explicit PieceStream (std::string content = {}, int32 maxPieceBytes = 0)
        : bytes (std::move (content)),
          maxPiece (maxPieceBytes)
    {
    }

    tresult PLUGIN_API queryInterface (const TUID iid, void** obj) override
    {
        if (sameIid (iid, FUnknown_iid) || sameIid (iid, IBStream_iid))
            *obj = static_cast<IBStream*> (this);
        else if (sameIid (iid, ISizeableStream_iid))
            *obj = static_cast<ISizeableStream*> (this);
        else
            return (*obj = nullptr, kNoInterface);

        addRef();
        return kResultOk;
    }

    // Lives on the stack for the whole exchange.
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    tresult PLUGIN_API read (void* buffer, int32 numBytes, int32* numBytesRead) override
    {
        auto n = std::min<size_t> (static_cast<size_t> (std::max (numBytes, 0)), bytes.size() - position);

        if (maxPiece > 0)
            n = std::min<size_t> (n, static_cast<size_t> (maxPiece));

        std::memcpy (buffer, bytes.data() + position, n);
        position += n;

        if (numBytesRead != nullptr)
            *numBytesRead = static_cast<int32> (n);

        return kResultOk;
    }

    tresult PLUGIN_API write (void* buffer, int32 numBytes, int32* numBytesWritten) override
    {
        const auto n = static_cast<size_t> (std::max (numBytes, 0));
        bytes.resize (std::max (bytes.size(), position + n));
        std::memcpy (bytes.data() + position, buffer, n);
        position += n;

        if (numBytesWritten != nullptr)
            *numBytesWritten = static_cast<int32> (n);

        return kResultOk;
    }

    tresult PLUGIN_API seek (int64 pos, int32 mode, int64* result) override
    {
        const auto base = mode == kIBSeekCur ? static_cast<int64> (position)
                        : mode == kIBSeekEnd ? static_cast<int64> (bytes.size())
                                             : 0;

        if (base + pos < 0 || base + pos > static_cast<int64> (bytes.size()))
            return kInvalidArgument;

        position = static_cast<size_t> (base + pos);

        if (result != nullptr)
            *result = static_cast<int64> (position);

        return kResultTrue;
    }

    tresult PLUGIN_API tell (int64* pos) override
    {
        if (pos != nullptr)
            *pos = static_cast<int64> (position);

        return kResultTrue;
    }

    tresult PLUGIN_API getStreamSize (int64& size) override
    {
        size = static_cast<int64> (bytes.size());
        return kResultTrue;
    }

    tresult PLUGIN_API setStreamSize (int64 size) override
    {
        bytes.resize (static_cast<size_t> (size));
        position = std::min (position, bytes.size());
        return kResultTrue;
    }

    const std::string& content() const { return bytes; }

private:
    std::string bytes;
    size_t position = 0;
    int32 maxPiece;
};

#pragma GCC diagnostic pop

/** Loads the binary, enters the module and creates and initialises its audio component
    (nullptr if any step fails). The library stays loaded.
*/
/** An instance of the binary's first class of `category`, asked for as `Interface`
    (`iid`) and initialised without a host context; null if any step fails.
*/
template <typename Interface>
Interface* loadClass (const char* binaryPath, const char* category, const TUID iid)
{
    auto* library = dlopen (binaryPath, RTLD_NOW | RTLD_LOCAL);

    if (library == nullptr)
        return nullptr;

    using ModuleEntryFn = bool (*) (void*);
    using GetFactoryFn = IPluginFactory* (*) ();
    auto moduleEntry = reinterpret_cast<ModuleEntryFn> (dlsym (library, "ModuleEntry"));
    auto getFactory = reinterpret_cast<GetFactoryFn> (dlsym (library, "GetPluginFactory"));

    if (moduleEntry == nullptr || getFactory == nullptr || ! moduleEntry (library))
        return nullptr;

    auto* factory = getFactory();
    Interface* instance = nullptr;

    for (int32 i = 0; factory != nullptr && i < factory->countClasses() && instance == nullptr; ++i)
    {
        PClassInfo info {};

        if (factory->getClassInfo (i, &info) == kResultOk && std::strcmp (info.category, category) == 0)
            factory->createInstance (info.cid, iid, reinterpret_cast<void**> (&instance));
    }

    if (factory != nullptr)
        factory->release();

    if (instance != nullptr && instance->initialize (nullptr) != kResultOk)
    {
        instance->release();
        return nullptr;
    }

    return instance;
}

/** The plug-in's audio component, as a host loads it. */
inline Vst::IComponent* loadComponent (const char* binaryPath)
{
    return loadClass<Vst::IComponent> (binaryPath, kVstAudioEffectClass, Vst::IComponent_iid);
}

} // namespace vst3host
