#include "ClapGui.h"

namespace halvora::clap
{

ClapGui::ClapGui (HalvoraAudioProcessor& p)
    : processor (p)
{
    editor.reset (processor.createEditorIfNeeded());
    jassert (editor != nullptr && editor->getWidth() == static_cast<int> (width) && editor->getHeight() == static_cast<int> (height));

    setOpaque (true);
    setSize (static_cast<int> (width), static_cast<int> (height));
    addAndMakeVisible (*editor);
}

ClapGui::~ClapGui()
{
    // The window goes now, while the framework's message loop is still ours: the Component
    // base class is destroyed after our members, the first of which hands the loop back.
    removeFromDesktop();
    processor.editorBeingDeleted (editor.get());
    editor.reset();
}

bool ClapGui::setParent (clap_xwnd parent)
{
    if (parent == 0)
        return false;

    addToDesktop (0, reinterpret_cast<void*> (static_cast<std::uintptr_t> (parent)));
    return isOnDesktop();
}

void ClapGui::setShown (bool shown)
{
    setVisible (shown);
}

void ClapGui::runPendingMessages()
{
    eventLoop.processPendingEvents();
}

void ClapGui::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

} // namespace halvora::clap
