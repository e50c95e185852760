// halvora-lv2-ttl: writes the Turtle files of Halvora's LV2 bundle into the folder given,
// from the same vocabulary and port table the plug-in is compiled from. The build runs it
// into the bundle beside libHalvora.so.

#include "Lv2BundleDocuments.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace
{
/** Writes through a temporary file renamed over the target, so a failed run never leaves a
    half-written document in the bundle for a host to read.
*/
bool writeFile (const fs::path& path, const std::string& text)
{
    auto temporary = path;
    temporary += ".tmp";

    std::error_code error;

    {
        std::ofstream out (temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();

        if (! out)
        {
            fs::remove (temporary, error);
            return false;
        }
    }

    fs::rename (temporary, path, error);

    if (error)
    {
        fs::remove (temporary, error);
        return false;
    }

    return true;
}
} // namespace

int main (int argc, char* argv[])
{
    if (argc != 2 || argv[1][0] == '\0')
    {
        std::cerr << "usage: halvora-lv2-ttl BUNDLE_FOLDER\n"
                     "Writes manifest.ttl, dsp.ttl and ui.ttl of the Halvora LV2 bundle into BUNDLE_FOLDER,\n"
                     "which is made if it is not there.\n";
        return 2;
    }

    const auto version = halvora::lv2::parseProjectVersion (HALVORA_VERSION);

    if (! version)
    {
        std::cerr << "halvora-lv2-ttl: the version \"" HALVORA_VERSION "\" is not major.minor.micro\n";
        return 1;
    }

    const fs::path folder = argv[1];
    std::error_code error;
    fs::create_directories (folder, error);

    if (error)
    {
        std::cerr << "halvora-lv2-ttl: cannot make " << folder.string() << ": " << error.message() << "\n";
        return 1;
    }

    try
    {
        for (const auto& file : halvora::lv2::bundleTurtleFiles ({ HALVORA_LV2_URI, *version }))
        {
            if (! writeFile (folder / file.name, file.text))
            {
                std::cerr << "halvora-lv2-ttl: cannot write " << (folder / file.name).string() << "\n";
                return 1;
            }
        }
    }
    catch (const std::exception& e)
    {
        std::cerr << "halvora-lv2-ttl: " << e.what() << "\n";
        return 1;
    }

    return 0;
}
