// Frame3 "OTHER-SET": eight single settings and the write chain, whose path depends on the model
// and on the Fuel and Password check boxes.
#include "link/commands.h"
#include "pages/form2.h"

void Form2::Command27_Click()
{
    if (engine_->prologue())
        dispatch(Code::LowBattery, other::battery(txt("Combo3")));
}

void Form2::Command26_Click()
{
    if (engine_->prologue())
        dispatch(Code::OverSpeed, other::speed(txt("Text9")));
}

void Form2::Command25_Click()
{
    if (engine_->prologue())
        dispatch(Code::LocalTime, other::localTime(txt("Text15"), txt("Combo4")));
}

void Form2::Command38_Click()
{
    if (engine_->prologue())
        dispatch(Code::Fuel, other::fuel(txt("Text16")));
}

void Form2::Command39_Click()
{
    if (engine_->prologue())
        dispatch(Code::Shake, other::shake(txt("Text32")));
}

void Form2::Command28_Click()
{
    if (!engine_->prologue())
        return;
    if (txt("Text18").isEmpty())
        setTxt("Text18", QStringLiteral("000000"));
    dispatch(Code::Odometer, other::odometer(txt("Text18")));
}

void Form2::Command40_Click()
{
    if (engine_->prologue())
        dispatch(Code::Displacement, other::displacement(txt("Text33")));
}

void Form2::Command11_Click()
{
    if (engine_->prologue())
        dispatch(Code::Password, other::password(txt("Text17")));
}

void Form2::Check1_Click()
{
    enable("Command38", checked("Check1"));
}

void Form2::Check2_Click()
{
    enable("Command11", checked("Check2"));
}

void Form2::Command1_Click()
{
    if (!engine_->prologue())
        return;
    if (!dispatch(Code::OtherChainBattery, other::chainBattery(txt("Combo3"))))
        engine_->end();
}

void Form2::wireOther()
{
    onClick("Command27", [this] { Command27_Click(); });
    onClick("Command26", [this] { Command26_Click(); });
    onClick("Command25", [this] { Command25_Click(); });
    onClick("Command38", [this] { Command38_Click(); });
    onClick("Command39", [this] { Command39_Click(); });
    onClick("Command28", [this] { Command28_Click(); });
    onClick("Command40", [this] { Command40_Click(); });
    onClick("Command11", [this] { Command11_Click(); });
    onClick("Command1", [this] { Command1_Click(); });
    onToggle("Check1", [this] { Check1_Click(); });
    onToggle("Check2", [this] { Check2_Click(); });

    for (Code c : {Code::LowBattery, Code::OverSpeed, Code::LocalTime, Code::Fuel, Code::Shake,
                   Code::Odometer, Code::Displacement, Code::Password, Code::OtherChainOdometer})
        engine_->setRule(c, [this](const QString&) { engine_->acknowledge(text::kOk); });

    // The chain's steps, each sent when the previous command was acknowledged.
    auto speedStep = [this] { chainStep(Code::OtherChainSpeed, other::chainSpeed(txt("Text9"))); };
    auto timeStep = [this] {
        chainStep(Code::OtherChainTime, other::localTime(txt("Text15"), txt("Combo4")));
    };
    auto fuelStep = [this] { chainStep(Code::OtherChainFuel, other::fuel(txt("Text16"))); };
    auto shakeStep = [this] { chainStep(Code::OtherChainShake, other::chainShake(txt("Text32"))); };
    auto displacementStep = [this] {
        chainStep(Code::OtherChainDisplacement, other::chainDisplacement(txt("Text33")));
    };
    auto passwordStep = [this] { chainStep(Code::OtherChainPassword, other::password(txt("Text17"))); };
    auto odometerStep = [this] {
        if (txt("Text18").isEmpty())
            setTxt("Text18", QStringLiteral("000000"));
        chainStep(Code::OtherChainOdometer, other::odometer(txt("Text18")));
    };

    engine_->setRule(Code::OtherChainBattery, [=, this](const QString&) { engine_->chain(text::kOk, speedStep); });
    engine_->setRule(Code::OtherChainSpeed, [=, this](const QString&) { engine_->chain(text::kOk, timeStep); });
    engine_->setRule(Code::OtherChainTime, [=, this](const QString&) {
        engine_->chain(text::kOk, [=, this] {
            const bool falcon = selected("Option8"), harrier = selected("Option9");
            if ((falcon || harrier) && checked("Check1"))
                fuelStep();
            else if (harrier)
                shakeStep();
            else
                displacementStep();
        });
    });
    engine_->setRule(Code::OtherChainFuel, [=, this](const QString&) { engine_->chain(text::kOk, shakeStep); });
    engine_->setRule(Code::OtherChainShake, [=, this](const QString&) { engine_->chain(text::kOk, displacementStep); });
    engine_->setRule(Code::OtherChainDisplacement, [=, this](const QString&) {
        engine_->chain(text::kOk, [=, this] {
            if (checked("Check2"))
                passwordStep();
            else
                odometerStep();
        });
    });
    engine_->setRule(Code::OtherChainPassword, [=, this](const QString&) { engine_->chain(text::kOk, odometerStep); });
}
