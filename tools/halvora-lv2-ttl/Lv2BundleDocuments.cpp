#include "Lv2BundleDocuments.h"

#include "Lv2Turtle.h"

#include "HalvoraVocabulary.h"
#include "lv2/Lv2Ports.h"

#include <charconv>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace halvora::lv2
{

static_assert (continuousParameters.size() + choiceParameters.size() == parameterIDs.size(),
               "every parameter is either continuous or a choice, and so gets a port");
static_assert (audioOut2 + 1 == firstControl && latency + 1 == onTarget && onTarget + 1 == onTargetReport
                   && onTargetReport + 1 == numPorts,
               "the ports are the four audio ports, one per parameter, the latency, then the ON target's two");

namespace
{
    using turtle::decimal;
    using turtle::integer;
    using turtle::link;
    using turtle::stringLiteral;

    constexpr const char* binaryFile = "libHalvora.so";
    constexpr const char* pluginFile = "dsp.ttl";
    constexpr const char* uiFile = "ui.ttl";

    constexpr const char* pluginName = "Halvora";
    constexpr const char* maintainerName = "Halvora Audio";
    constexpr const char* licenseUri = "http://spdx.org/licenses/AGPL-3.0-only";
    constexpr const char* presetName = "Untitled";

    // What a host's plug-in browser shows: what the plug-in does to a voice, in the order the
    // signal meets it.
    constexpr const char* pluginDescription =
        "A real-time vocal effect. Halvora detects the sung pitch within the chosen vocal range "
        "and moves notes that fall outside the chosen key and scale to the nearest note of the "
        "scale. It colours the voice with a formant tilt, an amplitude vibrato and a gain, and "
        "blends in a feedback echo and a reverb. It adds no latency.";

    constexpr turtle::Prefix atom { "atom", "http://lv2plug.in/ns/ext/atom#" };
    constexpr turtle::Prefix bufsz { "bufsz", "http://lv2plug.in/ns/ext/buf-size#" };
    constexpr turtle::Prefix doap { "doap", "http://usefulinc.com/ns/doap#" };
    constexpr turtle::Prefix foaf { "foaf", "http://xmlns.com/foaf/0.1/" };
    constexpr turtle::Prefix lv2core { "lv2", "http://lv2plug.in/ns/lv2core#" };
    constexpr turtle::Prefix opts { "opts", "http://lv2plug.in/ns/ext/options#" };
    constexpr turtle::Prefix pg { "pg", "http://lv2plug.in/ns/ext/port-groups#" };
    constexpr turtle::Prefix pprop { "pprop", "http://lv2plug.in/ns/ext/port-props#" };
    constexpr turtle::Prefix pset { "pset", "http://lv2plug.in/ns/ext/presets#" };
    constexpr turtle::Prefix rdf { "rdf", "http://www.w3.org/1999/02/22-rdf-syntax-ns#" };
    constexpr turtle::Prefix rdfs { "rdfs", "http://www.w3.org/2000/01/rdf-schema#" };
    constexpr turtle::Prefix state { "state", "http://lv2plug.in/ns/ext/state#" };
    constexpr turtle::Prefix ui { "ui", "http://lv2plug.in/ns/extensions/ui#" };
    constexpr turtle::Prefix units { "units", "http://lv2plug.in/ns/extensions/units#" };
    constexpr turtle::Prefix urid { "urid", "http://lv2plug.in/ns/ext/urid#" };

    constexpr const char* instanceAccessFeature = "http://lv2plug.in/ns/ext/instance-access";

    //==============================================================================
    /** A subject's or a blank node's properties in the order written: predicate, object. */
    using Properties = std::vector<std::pair<std::string, std::string>>;

    std::string indentation (int depth)
    {
        return std::string (static_cast<std::size_t> (4 * depth), ' ');
    }

    std::string propertyLines (const Properties& properties, int depth, const char* lastEnd)
    {
        std::string lines;

        for (std::size_t i = 0; i < properties.size(); ++i)
            lines += indentation (depth) + properties[i].first + " " + properties[i].second
                   + (i + 1 < properties.size() ? " ;\n" : lastEnd);

        return lines;
    }

    /** A described resource, ended with a full stop and followed by an empty line. */
    std::string statement (const std::string& subject, const Properties& properties)
    {
        return subject + "\n" + propertyLines (properties, 1, " .\n") + "\n";
    }

    /** A blank node as the object of a property at `depth`. */
    std::string blankNode (const Properties& properties, int depth)
    {
        return "[\n" + propertyLines (properties, depth + 1, "\n") + indentation (depth) + "]";
    }

    std::string joined (const std::vector<std::string>& objects, const char* separator)
    {
        std::string text;

        for (std::size_t i = 0; i < objects.size(); ++i)
            text += (i > 0 ? separator : "") + objects[i];

        return text;
    }

    std::string objectList (const std::vector<std::string>& objects)
    {
        return joined (objects, ", ");
    }

    std::string blankNodeList (const std::vector<Properties>& nodes, int depth)
    {
        std::vector<std::string> written;

        for (const auto& node : nodes)
            written.push_back (blankNode (node, depth));

        return joined (written, " , ");
    }

    //==============================================================================
    const ContinuousParameter* continuousFor (std::string_view id)
    {
        for (const auto& parameter : continuousParameters)
            if (id == parameter.id)
                return &parameter;

        return nullptr;
    }

    const ChoiceParameter* choiceFor (std::string_view id)
    {
        for (const auto& parameter : choiceParameters)
            if (id == parameter.id)
                return &parameter;

        return nullptr;
    }

    /** The unit hosts show beside a value, where the parameter has one. */
    const char* unitFor (std::string_view id)
    {
        if (id == ParamID::gain)
            return "units:db";

        if (id == ParamID::vibRate)
            return "units:hz";

        if (id == ParamID::vibDepth || id == ParamID::delayMix || id == ParamID::reverbMix)
            return "units:pc";

        return nullptr;
    }

    /** The value a port starts at and the preset holds. */
    float defaultValueOf (std::string_view id)
    {
        if (const auto* continuous = continuousFor (id))
            return continuous->defaultValue;

        if (choiceFor (id) != nullptr)
            return 0.0f;

        throw std::logic_error ("parameter " + std::string (id) + " is neither continuous nor a choice");
    }

    //==============================================================================
    std::string pluginLink (const BundleIdentity& bundle) { return link (bundle.pluginUri); }
    std::string inputGroupLink (const BundleIdentity& bundle) { return link (bundle.pluginUri + ":input"); }
    std::string outputGroupLink (const BundleIdentity& bundle) { return link (bundle.pluginUri + ":output"); }

    Properties audioPort (const BundleIdentity& bundle, std::uint32_t index)
    {
        const bool isInput = index < audioOut1;
        const auto channel = isInput ? index - audioIn1 : index - audioOut1;

        return { { "a", objectList ({ isInput ? "lv2:InputPort" : "lv2:OutputPort", "lv2:AudioPort" }) },
                 { "lv2:index", integer (index) },
                 { "lv2:symbol", stringLiteral (audioPortSymbols[index]) },
                 { "lv2:name", stringLiteral ((isInput ? "Audio In " : "Audio Out ") + std::to_string (channel + 1)) },
                 { "pg:group", isInput ? inputGroupLink (bundle) : outputGroupLink (bundle) },
                 { "lv2:designation", channel == 0 ? "pg:left" : "pg:right" } };
    }

    Properties continuousPort (const ContinuousParameter& parameter, std::uint32_t index)
    {
        if (! (parameter.minimum <= parameter.defaultValue && parameter.defaultValue <= parameter.maximum))
            throw std::logic_error ("parameter " + std::string (parameter.id) + " has its default outside its range");

        Properties port { { "a", "lv2:InputPort, lv2:ControlPort" },
                          { "lv2:index", integer (index) },
                          { "lv2:symbol", stringLiteral (parameter.id) },
                          { "lv2:name", stringLiteral (parameter.name) },
                          { "lv2:default", decimal (parameter.defaultValue) },
                          { "lv2:minimum", decimal (parameter.minimum) },
                          { "lv2:maximum", decimal (parameter.maximum) } };

        if (const auto* unit = unitFor (parameter.id))
            port.emplace_back ("units:unit", unit);

        return port;
    }

    /** A choice's port holds the index of the choice; hosts show the labels. */
    Properties choicePort (const ChoiceParameter& parameter, std::uint32_t index)
    {
        if (parameter.numChoices < 1)
            throw std::logic_error ("parameter " + std::string (parameter.id) + " has no choices");

        std::vector<Properties> scalePoints;

        for (int i = 0; i < parameter.numChoices; ++i)
            scalePoints.push_back ({ { "rdfs:label", stringLiteral (parameter.choices[i]) },
                                     { "rdf:value", integer (i) } });

        return { { "a", "lv2:InputPort, lv2:ControlPort" },
                 { "lv2:index", integer (index) },
                 { "lv2:symbol", stringLiteral (parameter.id) },
                 { "lv2:name", stringLiteral (parameter.name) },
                 { "lv2:default", integer (0) },
                 { "lv2:minimum", integer (0) },
                 { "lv2:maximum", integer (parameter.numChoices - 1) },
                 { "lv2:portProperty", "lv2:integer, lv2:enumeration" },
                 { "lv2:scalePoint", blankNodeList (scalePoints, 2) } };
    }

    Properties parameterPort (std::size_t parameterIndex)
    {
        const std::string_view id = parameterIDs[parameterIndex];
        const auto index = controlPortFor (parameterIndex);

        if (const auto* continuous = continuousFor (id))
            return continuousPort (*continuous, index);

        if (const auto* choice = choiceFor (id))
            return choicePort (*choice, index);

        throw std::logic_error ("parameter " + std::string (id) + " is neither continuous nor a choice");
    }

    /** The processor adds no delay; the port tells hosts so, as a count of samples. */
    Properties latencyPort()
    {
        return { { "a", "lv2:OutputPort, lv2:ControlPort" },
                 { "lv2:index", integer (latency) },
                 { "lv2:symbol", stringLiteral (latencyPortSymbol) },
                 { "lv2:name", stringLiteral ("Latency") },
                 { "lv2:designation", "lv2:latency" },
                 { "lv2:portProperty", "lv2:reportsLatency, lv2:integer, pprop:notOnGUI" },
                 { "units:unit", "units:frame" } };
    }

    /** Where a window the host keeps apart tells the plug-in which ON button is lit, or
        asks which one is (isInput), and where the plug-in answers. Hosts may leave them
        unconnected; they are no parameters and nothing of them is saved.
    */
    Properties onTargetPort (bool isInput)
    {
        return { { "a", isInput ? "lv2:InputPort, atom:AtomPort" : "lv2:OutputPort, atom:AtomPort" },
                 { "lv2:index", integer (isInput ? onTarget : onTargetReport) },
                 { "lv2:symbol", stringLiteral (isInput ? onTargetPortSymbol : onTargetReportPortSymbol) },
                 { "lv2:name", stringLiteral (isInput ? "ON target" : "ON target report") },
                 { "atom:bufferType", "atom:Sequence" },
                 { "atom:supports", "atom:Object" },
                 { "lv2:portProperty", "lv2:connectionOptional, pprop:notOnGUI" } };
    }

    std::vector<Properties> allPorts (const BundleIdentity& bundle)
    {
        std::vector<Properties> ports;

        for (std::uint32_t index = audioIn1; index <= audioOut2; ++index)
            ports.push_back (audioPort (bundle, index));

        for (std::size_t i = 0; i < parameterIDs.size(); ++i)
            ports.push_back (parameterPort (i));

        ports.push_back (latencyPort());
        ports.push_back (onTargetPort (true));
        ports.push_back (onTargetPort (false));
        return ports;
    }

    /** Every parameter at its default: what a fresh instance sounds like. */
    std::vector<Properties> presetPortValues()
    {
        std::vector<Properties> values;

        for (const auto* id : parameterIDs)
            values.push_back ({ { "lv2:symbol", stringLiteral (id) },
                                { "pset:value", decimal (defaultValueOf (id)) } });

        return values;
    }

    std::string stereoGroup (const std::string& group, const char* kind, const char* symbol, const char* name)
    {
        return statement (group, { { "a", objectList ({ kind, "pg:StereoGroup" }) },
                                   { "lv2:symbol", stringLiteral (symbol) },
                                   { "lv2:name", stringLiteral (name) } });
    }
} // namespace

//==============================================================================
std::optional<ProjectVersion> parseProjectVersion (std::string_view text)
{
    ProjectVersion version { std::string (text) };
    long long* const parts[] { &version.major, &version.minor, &version.micro };

    const char* position = text.data();
    const char* const end = text.data() + text.size();

    for (std::size_t i = 0; i < std::size (parts); ++i)
    {
        if (i > 0)
        {
            if (position == end || *position != '.')
                return std::nullopt;

            ++position;
        }

        if (position == end || *position < '0' || *position > '9')
            return std::nullopt;

        const auto [next, error] = std::from_chars (position, end, *parts[i]);

        if (error != std::errc())
            return std::nullopt;

        position = next;
    }

    if (position != end)
        return std::nullopt;

    return version;
}

std::string manifestTurtle (const BundleIdentity& bundle)
{
    return turtle::prefixLines ({ lv2core, pset, rdfs, ui })
         + statement (pluginLink (bundle), { { "a", "lv2:Plugin" },
                                             { "lv2:binary", link (binaryFile) },
                                             { "rdfs:seeAlso", link (pluginFile) } })
         + statement (link (bundle.uiUri()), { { "a", "ui:X11UI" },
                                               { "lv2:binary", link (binaryFile) },
                                               { "rdfs:seeAlso", link (uiFile) } })
         + statement (link (bundle.presetUri()), { { "a", "pset:Preset" },
                                                   { "lv2:appliesTo", pluginLink (bundle) },
                                                   { "rdfs:label", stringLiteral (presetName) },
                                                   { "lv2:port", blankNodeList (presetPortValues(), 1) } });
}

std::string pluginTurtle (const BundleIdentity& bundle)
{
    const Properties plugin {
        // Also a project, which is what a maintainer and releases belong to.
        { "a", "lv2:Plugin, lv2:PitchPlugin, doap:Project" },
        { "doap:name", stringLiteral (pluginName) },
        { "doap:description", stringLiteral (pluginDescription) },
        { "rdfs:comment", stringLiteral (pluginDescription) },
        { "doap:license", link (licenseUri) },
        { "doap:maintainer", blankNode ({ { "foaf:name", stringLiteral (maintainerName) } }, 1) },
        { "doap:release", blankNode ({ { "a", "doap:Version" }, { "doap:revision", stringLiteral (bundle.version.text) } }, 1) },
        { "lv2:minorVersion", integer (bundle.version.minor) },
        { "lv2:microVersion", integer (bundle.version.micro) },
        { "lv2:requiredFeature", "urid:map" },
        { "lv2:optionalFeature", "lv2:hardRTCapable, opts:options, bufsz:boundedBlockLength" },
        { "opts:supportedOption", "bufsz:maxBlockLength" },
        { "lv2:extensionData", "state:interface" },
        { "ui:ui", link (bundle.uiUri()) },
        { "pg:mainInput", inputGroupLink (bundle) },
        { "pg:mainOutput", outputGroupLink (bundle) },
        { "lv2:port", blankNodeList (allPorts (bundle), 1) },
    };

    return turtle::prefixLines ({ atom, bufsz, doap, foaf, lv2core, opts, pg, pprop, rdf, rdfs, state, ui, units, urid })
         + stereoGroup (inputGroupLink (bundle), "pg:InputGroup", "input", "Input")
         + stereoGroup (outputGroupLink (bundle), "pg:OutputGroup", "output", "Output")
         + statement (pluginLink (bundle), plugin);
}

std::string uiTurtle (const BundleIdentity& bundle)
{
    // The editor works on a mirror of the parameters fed by port events; the plug-in
    // instance, where a host shares it, lets the ON buttons reach the sound directly, and
    // the URID map otherwise lets them send it on the ON-target port. A host that keeps UIs
    // in another process still shows the whole editor; it asks for the plug-in's answers on
    // the report port, so that an editor opened again lights the button the plug-in plays.
    const auto optionalFeatures = objectList ({ "ui:resize", "ui:touch", "ui:noUserResize", "urid:map", link (instanceAccessFeature) });
    const Properties reportNotification { { "ui:plugin", link (bundle.pluginUri) },
                                          { "lv2:symbol", stringLiteral (onTargetReportPortSymbol) },
                                          { "ui:notifyType", "atom:Object" } };
    return turtle::prefixLines ({ atom, lv2core, ui, urid })
         + statement (link (bundle.uiUri()), { { "a", "ui:X11UI" },
                                               { "lv2:binary", link (binaryFile) },
                                               { "lv2:requiredFeature", "ui:idleInterface, ui:parent" },
                                               { "lv2:optionalFeature", optionalFeatures },
                                               { "lv2:extensionData", "ui:idleInterface" },
                                               { "ui:portNotification", blankNodeList ({ reportNotification }, 1) } });
}

std::vector<TurtleFile> bundleTurtleFiles (const BundleIdentity& bundle)
{
    return { { "manifest.ttl", manifestTurtle (bundle) },
             { pluginFile, pluginTurtle (bundle) },
             { uiFile, uiTurtle (bundle) } };
}

} // namespace halvora::lv2
