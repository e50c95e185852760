#include "PluginEditor.h"
#include "HalvoraVocabulary.h"
#include "gui/HalvoraColours.h"

#include "BinaryData.h"

using halvora::ControlKind;
using halvora::editorControls;

namespace
{
juce::Image loadResourceImage (const char* name)
{
    int size = 0;

    if (const auto* data = BinaryData::getNamedResource (name, size))
        return juce::ImageFileFormat::loadFrom (data, static_cast<size_t> (size));

    return {};
}

/** A fader's caption: the title in capitals, one letter a line, to read downwards. */
juce::String downwards (const juce::String& title)
{
    juce::StringArray letters;

    for (const auto letter : title.toUpperCase())
        letters.add (juce::String::charToString (letter));

    return letters.joinIntoString ("\n");
}
}

//==============================================================================
HalvoraAudioProcessorEditor::HalvoraAudioProcessorEditor (HalvoraAudioProcessor& p)
    : AudioProcessorEditor (&p),
      boardImage (loadResourceImage ("quillane_board_png")),
      knobSourceImage (loadResourceImage ("gold_knobs_png")),
      processorRef (p)
{
    setOpaque (true);

    goldKnobLAF.knobImage = knobSourceImage;

    // The knobs lie lowest: the big ones' titles and the faders' captions reach over their
    // faces. Each box covers the foot of its title.
    for (size_t i = 0; i < editorControls.size(); ++i)
    {
        styleTitle (titles[i], editorControls[i]);
        controls[i] = makeControl (editorControls[i]);

        if (editorControls[i].kind == ControlKind::knob)
            addAndMakeVisible (*controls[i]);
    }

    for (size_t i = 0; i < editorControls.size(); ++i)
    {
        addAndMakeVisible (titles[i]);

        if (editorControls[i].kind != ControlKind::knob)
            addAndMakeVisible (*controls[i]);
    }

    for (size_t i = 0; i < onButtons.size(); ++i)
    {
        styleOnButton (onButtons[i], static_cast<int> (i) + 1);
        addAndMakeVisible (onButtons[i]);
    }

    // A window reopened while the correction is on shows its button lit.
    updateOnButtonsFromProcessor();

    // Sized last, so that resized lays out the controls made above.
    setSize (1200, 600);
}

HalvoraAudioProcessorEditor::~HalvoraAudioProcessorEditor() = default;

//==============================================================================
std::unique_ptr<juce::Component> HalvoraAudioProcessorEditor::makeControl (const halvora::EditorControl& control)
{
    auto& state = processorRef.apvts;

    if (control.kind == ControlKind::choiceBox)
    {
        auto box = std::make_unique<juce::ComboBox>();
        styleBox (*box, control.paramID);
        boxAttachments.push_back (std::make_unique<ComboBoxAttachment> (state, control.paramID, *box));
        return box;
    }

    auto slider = std::make_unique<juce::Slider>();

    if (control.kind == ControlKind::knob)
        styleKnob (*slider);
    else
        styleFader (*slider);

    sliderAttachments.push_back (std::make_unique<SliderAttachment> (state, control.paramID, *slider));
    return slider;
}

void HalvoraAudioProcessorEditor::styleKnob (juce::Slider& knob)
{
    knob.setLookAndFeel (&goldKnobLAF);
    knob.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    knob.setPopupDisplayEnabled (true, true, this, 2000);
    knob.setWantsKeyboardFocus (false);
    knob.setScrollWheelEnabled (true);
}

void HalvoraAudioProcessorEditor::styleFader (juce::Slider& fader)
{
    fader.setLookAndFeel (&faderLAF);
    fader.setSliderStyle (juce::Slider::LinearVertical);
    fader.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
}

void HalvoraAudioProcessorEditor::styleBox (juce::ComboBox& box, const char* paramID)
{
    const auto& choice = halvora::findChoice (paramID);

    box.setJustificationType (juce::Justification::centred);
    box.setScrollWheelEnabled (true);

    for (const auto& [id, colour] : halvora::HalvoraColours::choiceBox())
        box.setColour (id, colour);

    box.addItemList (juce::StringArray (choice.choices, choice.numChoices), 1);
    box.setLookAndFeel (&popupLAF);
    box.setSelectedId (1, juce::dontSendNotification);
}

void HalvoraAudioProcessorEditor::styleTitle (juce::Label& title, const halvora::EditorControl& control)
{
    // A fader's caption stands beside it, in smaller letters reading downwards.
    const auto isCaption = control.kind == ControlKind::fader;

    title.setText (isCaption ? downwards (control.title) : juce::String (control.title), juce::dontSendNotification);
    title.setJustificationType (juce::Justification::centred);
    title.setFont (juce::Font (juce::FontOptions (isCaption ? 20.0f : 28.0f, juce::Font::bold)));
    title.setColour (juce::Label::textColourId, halvora::HalvoraColours::gold());
}

void HalvoraAudioProcessorEditor::styleOnButton (juce::TextButton& button, int number)
{
    button.setClickingTogglesState (true);
    button.setLookAndFeel (&onButtonLAF);
    button.setColour (juce::TextButton::textColourOffId, halvora::HalvoraColours::text());
    button.setColour (juce::TextButton::textColourOnId, halvora::HalvoraColours::text());
    button.onClick = [this, number] { onButtonClicked (number); };
}

//==============================================================================
void HalvoraAudioProcessorEditor::onButtonClicked (int number)
{
    auto& clicked = onButtons[static_cast<size_t> (number - 1)];
    auto target = 0;

    if (clicked.getToggleState())
    {
        // Switch the others off quietly: their handlers must not run.
        for (auto& other : onButtons)
            if (&other != &clicked)
                other.setToggleState (false, juce::dontSendNotification);

        target = number;
    }

    processorRef.setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (target));
    repaint();
}

void HalvoraAudioProcessorEditor::updateOnButtonsFromProcessor()
{
    const auto target = static_cast<int> (processorRef.getActiveMvTarget());

    for (size_t i = 0; i < onButtons.size(); ++i)
        onButtons[i].setToggleState (target == static_cast<int> (i) + 1, juce::dontSendNotification);
}

//==============================================================================
void HalvoraAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (halvora::HalvoraColours::panel());

    if (! boardImage.isValid())
        return;

    // Fit the artwork without distortion, centred; the bands beside it stay black.
    const auto bounds = getLocalBounds().toFloat();
    const auto imageAspect = static_cast<float> (boardImage.getWidth()) / static_cast<float> (boardImage.getHeight());
    const auto boundsAspect = bounds.getWidth() / bounds.getHeight();
    juce::Rectangle<float> target;

    if (imageAspect > boundsAspect)
    {
        const auto height = bounds.getWidth() / imageAspect;
        target = { bounds.getX(), bounds.getY() + bounds.getHeight() / 2.0f - height / 2.0f, bounds.getWidth(), height };
    }
    else
    {
        const auto width = bounds.getHeight() * imageAspect;
        target = { bounds.getX() + bounds.getWidth() / 2.0f - width / 2.0f, bounds.getY(), width, bounds.getHeight() };
    }

    g.drawImage (boardImage, target, juce::RectanglePlacement::stretchToFit, false);
}

void HalvoraAudioProcessorEditor::resized()
{
    auto onButton = onButtons.begin();

    for (size_t i = 0; i < editorControls.size(); ++i)
    {
        controls[i]->setBounds (editorControls[i].bounds.toRectangle());
        titles[i].setBounds (editorControls[i].titleBounds.toRectangle());

        // Each ON button sits just right of its box's title.
        if (editorControls[i].kind == ControlKind::choiceBox)
            (onButton++)->setBounds (titles[i].getRight() + 4, titles[i].getY(), 40, 22);
    }
}
