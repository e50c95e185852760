#include "PluginEditor.h"
#include "HalvoraVocabulary.h"
#include "gui/HalvoraColours.h"

#include "BinaryData.h"

namespace
{
juce::Image loadResourceImage (const char* name)
{
    int size = 0;

    if (const auto* data = BinaryData::getNamedResource (name, size))
        return juce::ImageFileFormat::loadFrom (data, static_cast<size_t> (size));

    return {};
}
}

//==============================================================================
HalvoraAudioProcessorEditor::HalvoraAudioProcessorEditor (HalvoraAudioProcessor& p)
    : AudioProcessorEditor (&p),
      processorRef (p)
{
    setOpaque (true);
    setSize (1200, 600);

    boardImage = loadResourceImage ("quillane_board_png");
    knobSourceImage = loadResourceImage ("gold_knobs_png");

    if (knobSourceImage.isValid())
        goldKnobLAF.knobImage = knobSourceImage;

    for (auto* knob : { &formantKnob, &gainKnob, &vibRateKnob, &vibDepthKnob, &morvelKnob })
    {
        styleKnob (*knob);
        addAndMakeVisible (*knob);
    }

    auto& state = processorRef.apvts;
    formantAttachment = std::make_unique<SliderAttachment> (state, halvora::ParamID::formant, formantKnob);
    gainAttachment = std::make_unique<SliderAttachment> (state, halvora::ParamID::gain, gainKnob);
    vibRateAttachment = std::make_unique<SliderAttachment> (state, halvora::ParamID::vibRate, vibRateKnob);
    vibDepthAttachment = std::make_unique<SliderAttachment> (state, halvora::ParamID::vibDepth, vibDepthKnob);
    morvelAttachment = std::make_unique<SliderAttachment> (state, halvora::ParamID::morvel, morvelKnob);

    styleTitle (formantLabel, "Formant");
    styleTitle (gainLabel, "Gain");
    styleTitle (vibRateLabel, "Vibrato Rate");
    styleTitle (vibDepthLabel, "Vibrato Depth");
    styleTitle (morvelLabel, "Morvel");
    styleTitle (rangeLabel, "Range");
    styleTitle (voiceLabel, "Voice");
    styleTitle (keyLabel, "Key");
    styleTitle (scaleLabel, "Scale");

    for (auto* label : { &formantLabel, &gainLabel, &vibRateLabel, &vibDepthLabel, &morvelLabel,
                         &rangeLabel, &voiceLabel, &keyLabel, &scaleLabel })
        addAndMakeVisible (*label);

    const auto choicesOf = [] (const char* id) {
        const auto& choice = halvora::findChoice (id);
        return juce::StringArray (choice.choices, choice.numChoices);
    };

    const std::pair<juce::ComboBox*, juce::StringArray> boxes[] {
        { &rangeBox, choicesOf (halvora::ParamID::range) },
        { &voiceBox, choicesOf (halvora::ParamID::voice) },
        { &keyBox, choicesOf (halvora::ParamID::key) },
        { &scaleBox, choicesOf (halvora::ParamID::scale) },
    };

    for (const auto& [box, items] : boxes)
    {
        styleCombo (*box);
        addAndMakeVisible (*box);

        box->setColour (juce::ComboBox::backgroundColourId, juce::Colours::black);
        box->setColour (juce::ComboBox::outlineColourId, juce::Colours::gold);
        box->setColour (juce::ComboBox::textColourId, juce::Colours::white);
        box->setColour (juce::ComboBox::arrowColourId, juce::Colours::gold);
        box->setColour (juce::ComboBox::buttonColourId, juce::Colours::black);
        box->setColour (juce::PopupMenu::backgroundColourId, juce::Colours::black);
        box->setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colours::gold);
        box->setColour (juce::PopupMenu::highlightedTextColourId, juce::Colours::black);
        box->setColour (juce::PopupMenu::textColourId, juce::Colours::white);

        box->addItemList (items, 1);
    }

    for (const auto& [box, items] : boxes)
        box->setLookAndFeel (&popupLAF);

    for (const auto& [box, items] : boxes)
        box->setSelectedId (1, juce::dontSendNotification);

    rangeAttachment = std::make_unique<ComboBoxAttachment> (state, halvora::ParamID::range, rangeBox);
    voiceAttachment = std::make_unique<ComboBoxAttachment> (state, halvora::ParamID::voice, voiceBox);
    keyAttachment = std::make_unique<ComboBoxAttachment> (state, halvora::ParamID::key, keyBox);
    scaleAttachment = std::make_unique<ComboBoxAttachment> (state, halvora::ParamID::scale, scaleBox);

    for (auto* button : onButtons())
    {
        addAndMakeVisible (*button);
        button->setClickingTogglesState (true);
        button->setLookAndFeel (&onButtonLAF);
        button->setColour (juce::TextButton::textColourOffId, juce::Colours::white);
        button->setColour (juce::TextButton::textColourOnId, juce::Colours::white);
    }

    onButton1.onClick = [this] { onButtonClicked (1); };
    onButton2.onClick = [this] { onButtonClicked (2); };
    onButton3.onClick = [this] { onButtonClicked (3); };
    onButton4.onClick = [this] { onButtonClicked (4); };

    for (auto* fader : { &delayFader, &reverbFader })
    {
        styleFader (*fader);
        addAndMakeVisible (*fader);
    }

    // The captions read downwards beside the faders, one letter per line.
    styleTitle (delayLabel, "Delay");
    styleTitle (reverbLabel, "Reverb");

    for (auto* caption : { &delayLabel, &reverbLabel })
    {
        caption->setJustificationType (juce::Justification::centred);
        addAndMakeVisible (*caption);
        caption->setFont (juce::Font (juce::FontOptions (20.0f, juce::Font::bold)));
    }

    delayLabel.setText ("D\nE\nL\nA\nY", juce::dontSendNotification);
    reverbLabel.setText ("R\nE\nV\nE\nR\nB", juce::dontSendNotification);

    delayAttachment = std::make_unique<SliderAttachment> (state, halvora::ParamID::delayMix, delayFader);
    reverbAttachment = std::make_unique<SliderAttachment> (state, halvora::ParamID::reverbMix, reverbFader);

    // A window reopened while the correction is on shows its button lit.
    updateOnButtonsFromProcessor();
}

HalvoraAudioProcessorEditor::~HalvoraAudioProcessorEditor() = default;

//==============================================================================
void HalvoraAudioProcessorEditor::styleKnob (juce::Slider& knob)
{
    knob.setLookAndFeel (&goldKnobLAF);
    knob.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    knob.setPopupDisplayEnabled (true, true, this, 2000);
    knob.setWantsKeyboardFocus (false);
    knob.setScrollWheelEnabled (true);
}

void HalvoraAudioProcessorEditor::styleTitle (juce::Label& label, const juce::String& text)
{
    label.setText (text, juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centred);
    label.setFont (juce::Font (juce::FontOptions (28.0f, juce::Font::bold)));
    label.setColour (juce::Label::textColourId, HalvoraColours::gold());
}

void HalvoraAudioProcessorEditor::styleCombo (juce::ComboBox& box)
{
    box.setJustificationType (juce::Justification::centred);
    box.setScrollWheelEnabled (true);
}

void HalvoraAudioProcessorEditor::styleFader (juce::Slider& fader)
{
    fader.setLookAndFeel (&faderLAF);
    fader.setSliderStyle (juce::Slider::LinearVertical);
    fader.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    fader.setRange (0.0, 100.0, 0.0);
}

//==============================================================================
void HalvoraAudioProcessorEditor::onButtonClicked (int number)
{
    auto buttons = onButtons();
    auto& clicked = *buttons[static_cast<size_t> (number - 1)];
    auto target = 0;

    if (clicked.getToggleState())
    {
        // Switch the others off quietly: their handlers must not run.
        for (auto* other : buttons)
            if (other != &clicked)
                other->setToggleState (false, juce::dontSendNotification);

        target = number;
    }

    processorRef.setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (target));
    repaint();
}

void HalvoraAudioProcessorEditor::updateOnButtonsFromProcessor()
{
    const auto target = static_cast<int> (processorRef.getActiveMvTarget());
    auto buttons = onButtons();

    for (size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setToggleState (target == static_cast<int> (i) + 1, juce::dontSendNotification);
}

//==============================================================================
void HalvoraAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);

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
    formantKnob.setBounds (325, -30, 150, 150);
    gainKnob.setBounds (725, -30, 150, 150);
    vibRateKnob.setBounds (100, 160, 300, 300);
    vibDepthKnob.setBounds (800, 150, 300, 300);
    morvelKnob.setBounds (530, 415, 140, 140);

    formantLabel.setBounds (280, 128, 240, 28);
    gainLabel.setBounds (680, 128, 240, 28);
    vibRateLabel.setBounds (130, 393, 240, 28);
    vibDepthLabel.setBounds (830, 383, 240, 28);
    morvelLabel.setBounds (480, 563, 240, 28);

    rangeLabel.setBounds (85, 40, 160, 28);
    rangeBox.setBounds (60, 64, 210, 40);
    voiceLabel.setBounds (955, 40, 160, 28);
    voiceBox.setBounds (930, 64, 210, 40);
    keyLabel.setBounds (85, 490, 160, 28);
    keyBox.setBounds (60, 522, 210, 40);
    scaleLabel.setBounds (955, 490, 160, 28);
    scaleBox.setBounds (930, 522, 210, 40);

    // Each ON button sits just right of its title.
    onButton1.setBounds (rangeLabel.getRight() + 4, rangeLabel.getY(), 40, 22);
    onButton2.setBounds (voiceLabel.getRight() + 4, voiceLabel.getY(), 40, 22);
    onButton3.setBounds (keyLabel.getRight() + 4, keyLabel.getY(), 40, 22);
    onButton4.setBounds (scaleLabel.getRight() + 4, scaleLabel.getY(), 40, 22);

    delayFader.setBounds (40, 140, 24, 320);
    reverbFader.setBounds (1136, 140, 24, 320);
    delayLabel.setBounds (delayFader.getRight() + 8, 140, 32, 320);
    reverbLabel.setBounds (reverbFader.getX() - 40, 140, 32, 320);
}
