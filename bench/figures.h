#pragma once
// One function per figure (one file each), listed with their numbers in harness.cpp.
struct Bench;

void startupFigure(Bench& bench);      // 5   start-up of the window against a bare Qt window
void parserFigure(Bench& bench);       // 8   parsing a full dump
void cliWriteFigure(Bench& bench);     // 9a  korvane-cli write of a full profile
void cliStartupFigure(Bench& bench);   // 9b  korvane-cli --help against a bare QCoreApplication
void cliParallelFigure(Bench& bench);  // 9c  eight korvane-cli writes at once against one alone
void stationFigure(Bench& bench);      // 10  korvane-cli station: sixteen trackers at once, idle cost, memory
// On the window, on the real port against the simulator:
void replyFigure(Bench& bench);        // 1   reply to outcome
void timeoutFigure(Bench& bench);      // 2   timeout
void dumpFigure(Bench& bench);         // 3   a full dump read
void chainsFigure(Bench& bench);       // 4   the WRITE chains
void writeAllFigure(Bench& bench);     // 4b  Write All to Tracker
void idleFigure(Bench& bench);         // 6   idle cost
void monitorFigure(Bench& bench);      // 7   the receive monitor
