// Frame5 "PORT-SET": door level, arm function and the line function, whose captions follow the
// model ("Port11"/"Port8" on Condor, "ARMIN"/"IN-OUT" on Falcon).
#include "link/commands.h"
#include "pages/form2.h"

namespace {
portset::Arm armOf(bool none, bool level)
{
    return none ? portset::Arm::None : level ? portset::Arm::Level : portset::Arm::Pulse;
}
}  // namespace

void Form2::Command34_Click()
{
    if (engine_->prologue())
        dispatch(Code::DoorLevel, Draft::send(portset::doorLine(selected("Option4"), selected("Option5"))));
}

QString Form2::armCommand() const
{
    const auto level = selected("Option16") ? portset::Level::High
                       : selected("Option17") ? portset::Level::Low
                                              : portset::Level::Unset;
    return portset::armLine(armOf(selected("Option14"), selected("Option13")), level);
}

void Form2::Command35_Click()
{
    if (engine_->prologue())
        dispatch(Code::ArmFunction, Draft::send(armCommand()));
}

void Form2::Command36_Click()
{
    if (!engine_->prologue())
        return;
    // Only "Condor" has line-function commands; a bare line would tell the tracker nothing.
    if (!selected("Option7")) {
        engine_->inform(portset::kNoLineFunction);
        return;
    }
    dispatch(Code::LineFunction, Draft::send(armCommand()));
}

void Form2::setArmInputCaption(const char* condor, const char* falcon)
{
    if (selected("Option7"))
        setCaption("Frame8", QString::fromLatin1(condor));
    else if (selected("Option8"))
        setCaption("Frame8", QString::fromLatin1(falcon));
}

void Form2::Option14_Click()
{
    setTxt("Label25", QString());
    visible("Frame9", true);
    setArmInputCaption("Port11 Input Level Select", "ARMIN Input Level Select");
}

void Form2::Option13_Click()
{
    setTxt("Label25", QString());
    visible("Frame9", true);
    setArmInputCaption("Port11 Arm Input Level Select", "ARMIN Arm Input Level Select");
}

void Form2::Option15_Click()
{
    setCaption("Frame8", QStringLiteral("Pulse Polarity Select"));
    visible("Frame9", false);
    const bool condor = selected("Option7"), falcon = selected("Option8");
    if (!condor && !falcon)
        return;
    setTxt("Label24", condor ? QStringLiteral("Port11 Pulse") : QStringLiteral("ARMIN Pulse"));
    setCaption("Option16", QStringLiteral("POS"));
    setCaption("Option17", QStringLiteral("NEG"));
    describePulse();
}

void Form2::Option16_Click()
{
    describePulse();
}

void Form2::Option17_Click()
{
    describePulse();
}

void Form2::describePulse()
{
    if (!selected("Option15"))
        return;
    const bool positive = selected("Option16");
    if (selected("Option7"))
        setTxt("Label25", positive ? QStringLiteral("Port11 Is Positive Pulse Arm Fun,\r\nPort8 Is Negative Pulse Disarm Fun")
                                   : QStringLiteral("Port11 Is Negative Pulse Arm Fun,\r\nPort8 Is Positive Pulse Disarm Fun"));
    else if (selected("Option8"))
        setTxt("Label25", positive ? QStringLiteral("ARMIN Is Positive Pulse Arm Fun,\r\nIN-OUT Is Negative Pulse Disarm Fun")
                                   : QStringLiteral("ARMIN Is Negative Pulse Arm Fun,\r\nIN-OUT Is Positive Pulse Disarm Fun"));
}

void Form2::wirePortset()
{
    onClick("Command34", [this] { Command34_Click(); });
    onClick("Command35", [this] { Command35_Click(); });
    onClick("Command36", [this] { Command36_Click(); });
    onSelect("Option13", [this] { Option13_Click(); });
    onSelect("Option14", [this] { Option14_Click(); });
    onSelect("Option15", [this] { Option15_Click(); });
    onSelect("Option16", [this] { Option16_Click(); });
    onSelect("Option17", [this] { Option17_Click(); });

    for (Code c : {Code::DoorLevel, Code::ArmFunction, Code::LineFunctionStep2})
        engine_->setRule(c, [this](const QString&) { engine_->acknowledge(text::kOk); });
    engine_->setRule(Code::LineFunction, [this](const QString& reply) {
        if (reply != text::kOk) {
            engine_->end();
            engine_->inform(text::kSettingError);
            return;
        }
        engine_->prepare();
        if (!selected("Option7")) {   // the model changed meanwhile: nothing more to send
            engine_->end();
            return;
        }
        chainStep(Code::LineFunctionStep2, Draft::send(portset::lineFunction(
                                               selected("Option20"), selected("Option19"), selected("Option18"))));
    });
}
