// Frame10 "Test & Especia Set": fixed commands to the vehicle and four two-way choices.
#include "link/commands.h"
#include "pages/form2.h"

void Form2::Fixed_Click(Code code, const QString& command)
{
    if (engine_->prologue())
        dispatch(code, Draft::send(command));
}

void Form2::Command47_Click()
{
    if (engine_->prologue())
        dispatch(Code::LockSelect, Draft::send(special::choice(QStringLiteral("SETU2,"), selected("Option21"),
                                                               "1", selected("Option22"), "0")));
}

void Form2::Command48_Click()
{
    if (engine_->prologue())
        dispatch(Code::InputTel, Draft::send(special::choice(QStringLiteral("SETU"), selected("Option25"), "1",
                                                             selected("Option26"), "0")));
}

void Form2::Command49_Click()
{
    if (engine_->prologue())
        dispatch(Code::SosOutTel, Draft::send(special::choice(QStringLiteral("SETU"), selected("Option27"), "3",
                                                              selected("Option28"), "4")));
}

void Form2::Command51_Click()
{
    if (engine_->prologue())
        dispatch(Code::DoorLevelSpecial, Draft::send(special::choice(QStringLiteral("SETXD"), selected("Option23"),
                                                                     "1", selected("Option24"), "0")));
}

void Form2::wireSpecial()
{
    const struct { const char* button; Code code; const char* command; } fixed[] = {
        {"Command41", Code::CutOff, "SETT1"}, {"Command42", Code::CutOn, "SETT0"},
        {"Command43", Code::Lock, "SETT3"},   {"Command44", Code::Unlock, "SETT2"},
        {"Command50", Code::Trunk, "SETT4"},
    };
    for (const auto& f : fixed) {
        const Code code = f.code;
        const QString command = QString::fromLatin1(f.command);
        onClick(QString::fromLatin1(f.button), [this, code, command] { Fixed_Click(code, command); });
    }
    onClick("Command47", [this] { Command47_Click(); });
    onClick("Command48", [this] { Command48_Click(); });
    onClick("Command49", [this] { Command49_Click(); });
    onClick("Command51", [this] { Command51_Click(); });
    for (Code c : {Code::CutOff, Code::CutOn, Code::Lock, Code::Unlock, Code::Trunk, Code::LockSelect,
                   Code::InputTel, Code::SosOutTel, Code::DoorLevelSpecial})
        engine_->setRule(c, [this](const QString&) { engine_->acknowledge(text::kOk); });
}
