#pragma once
#include "sim/tracker.h"

#include <QByteArray>
#include <QString>

namespace sim {

// Puts the tracker into a given state, so that a test or a demo meets the states real trackers
// are in (an empty password, a value the window would not send, a pulse arm):
// - a parameter dump (a reply to "SETG", as a tracker gives it): every field it holds, exactly;
// - a profile: the state a write of that profile leaves, its commands handled one by one.
// Returns empty on success, else the reason; the state is unchanged then.
QString loadState(Tracker& tracker, const QByteArray& bytes);

}  // namespace sim
