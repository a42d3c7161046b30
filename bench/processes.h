#pragma once
// Child processes timed from spawn: the start-up probes and the command-line tool.
#include <QString>
#include <QStringList>

#include <cmath>

struct Child {
    bool ok = false;
    double shownMs = NAN;     // process start to the window's first frame
    double cpuMs = NAN;       // user + system CPU of the child, start to exit (it exits when shown)
    double peakRssMiB = NAN;  // ru_maxrss
    int widgets = 0;
};

// Runs a start-up probe and reads its "shown <ns> widgets <n>" line (shown_probe.h). With
// `killAfterMs` the program is one without a probe: ended by SIGTERM after that long.
Child runChild(const QString& program, const QStringList& args, int killAfterMs = -1);

struct Ended {
    bool ok = false;
    double wallMs = NAN;   // spawn to exit
    double cpuMs = NAN;
};

// Starts a program with its output thrown away and waits for it to end.
Ended runToExit(const QString& program, const QStringList& args);
