// Frame3 "OTHER-SET": eight single settings and the write chain, whose path depends on the model
// and on the Fuel and Password check boxes (core/rows.cpp).
#include "pages/form2.h"

void Form2::Command27_Click() { applyRow("Command27"); }
void Form2::Command26_Click() { applyRow("Command26"); }
void Form2::Command25_Click() { applyRow("Command25"); }
void Form2::Command38_Click() { applyRow("Command38"); }
void Form2::Command39_Click() { applyRow("Command39"); }
void Form2::Command28_Click() { applyRow("Command28"); }
void Form2::Command40_Click() { applyRow("Command40"); }
void Form2::Command11_Click() { applyRow("Command11"); }
void Form2::Command1_Click() { write("Command1"); }

void Form2::Check1_Click()
{
    enable("Command38", checked("Check1"));
}

void Form2::Check2_Click()
{
    enable("Command11", checked("Check2"));
}

void Form2::beforeStep(Code code)
{
    // An empty odometer goes out as "000000", and the box shows what went out.
    if ((code == Code::Odometer || code == Code::OtherChainOdometer) && txt("Text18").isEmpty())
        setTxt("Text18", QStringLiteral("000000"));
}
