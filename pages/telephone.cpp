// Frame2 "TEL NO.-SET": eight slots and the write chain of slots 1 to 5.
#include "link/commands.h"
#include "pages/form2.h"

namespace {
const char* const kBoxes[] = {"Text6", "Text7", "Text8", "Text25", "Text26", "Text27", "Text28", "Text29"};
}

void Form2::TelSlot_Click(int slot)
{
    if (!engine_->prologue())
        return;
    dispatch(offset(Code::Tel1, slot - 1), tel::slot(slot, txt(kBoxes[slot - 1])));
}

void Form2::Command4_Click()
{
    if (!engine_->prologue())
        return;
    dispatch(Code::TelChain1, Draft::send(tel::chainLine(1, txt(kBoxes[0]))));
}

void Form2::wireTelephone()
{
    for (int slot = 1; slot <= 8; ++slot) {
        onClick(QStringLiteral("Command%1").arg(12 + slot), [this, slot] { TelSlot_Click(slot); });
        engine_->setRule(offset(Code::Tel1, slot - 1),
                         [this, slot](const QString&) { engine_->acknowledge(tel::ack(slot)); });
    }
    onClick("Command4", [this] { Command4_Click(); });
    for (int slot = 1; slot <= 4; ++slot) {
        engine_->setRule(offset(Code::TelChain1, slot - 1), [this, slot](const QString&) {
            engine_->chain(tel::ack(slot), [this, slot] {
                chainStep(offset(Code::TelChain1, slot), Draft::send(tel::chainLine(slot + 1, txt(kBoxes[slot]))));
            });
        });
    }
    engine_->setRule(Code::TelChain5, [this](const QString&) { engine_->acknowledge(tel::ack(5)); });
}
