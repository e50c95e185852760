// Replays a fuzz target's committed corpus without libFuzzer, so the plain test run
// checks every input the fuzzers found interesting.

#include <juce_core/juce_core.h>

#include <cstdint>
#include <iostream>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size);

int main (int argc, char* argv[])
{
    int inputs = 0;

    for (int i = 1; i < argc; ++i)
    {
        const juce::File path (juce::File::getCurrentWorkingDirectory().getChildFile (argv[i]));
        juce::Array<juce::File> files;

        if (path.isDirectory())
            files = path.findChildFiles (juce::File::findFiles, false);
        else
            files.add (path);

        files.sort();

        for (const auto& file : files)
        {
            juce::MemoryBlock data;
            file.loadFileAsData (data);
            LLVMFuzzerTestOneInput (static_cast<const std::uint8_t*> (data.getData()), data.getSize());
            ++inputs;
        }
    }

    std::cout << "replayed " << inputs << " inputs\n";
    return inputs > 0 ? 0 : 1;
}
