#pragma once
#include "link/serial_port.h"
#include "pages/form2.h"
#include "sim/pty_tracker.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <memory>

// The simulated tracker on a pseudo-terminal, linked as COM4 in a private ports folder.
struct TrackerOnCom4 {
    PortsFolder folder;
    sim::PtyTracker sim;
    bool up() { return sim.start() && sim.linkAs(4); }
};

// The window on the real serial port against that tracker; message boxes are scripted so that
// long runs need no one to answer them. The benchmark opens it as the program builds it instead:
// the window's own port and real boxes.
struct LiveWindow : TrackerOnCom4 {
    SerialPort port;
    ScriptedPrompt prompt;
    std::unique_ptr<Form2> form;

    // Tracker up, window built, "OPEN" pressed: true when the port is open. With `realBoxes` the
    // window owns its port and shows real message boxes; `port` and `prompt` are then unused.
    bool open(bool realBoxes = false);
    bool idle() const { return form->engine().code() == Code::Idle && !form->engine().timer().isActive(); }
    template <class T = QWidget> T* w(const char* name) const { return form->findChild<T*>(name); }
};
