// Frame2 "TEL NO.-SET": eight slots, each acknowledged by its own digit, and the write chain of
// slots 1 to 5 (core/rows.cpp).
#include "pages/form2.h"

void Form2::Command13_Click() { applyRow("Command13"); }
void Form2::Command14_Click() { applyRow("Command14"); }
void Form2::Command15_Click() { applyRow("Command15"); }
void Form2::Command16_Click() { applyRow("Command16"); }
void Form2::Command17_Click() { applyRow("Command17"); }
void Form2::Command18_Click() { applyRow("Command18"); }
void Form2::Command19_Click() { applyRow("Command19"); }
void Form2::Command20_Click() { applyRow("Command20"); }
void Form2::Command4_Click() { write("Command4"); }
