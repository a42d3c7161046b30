// Frame10 "Test & Especia Set": fixed commands to the vehicle and four two-way choices
// (core/rows.cpp). "Arm", "DisArm" and "Start" have no action.
#include "pages/form2.h"

void Form2::Command41_Click() { applyRow("Command41"); }
void Form2::Command42_Click() { applyRow("Command42"); }
void Form2::Command43_Click() { applyRow("Command43"); }
void Form2::Command44_Click() { applyRow("Command44"); }
void Form2::Command50_Click() { applyRow("Command50"); }
void Form2::Command47_Click() { applyRow("Command47"); }
void Form2::Command48_Click() { applyRow("Command48"); }
void Form2::Command49_Click() { applyRow("Command49"); }
void Form2::Command51_Click() { applyRow("Command51"); }
