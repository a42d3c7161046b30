#pragma once
#include "sim/pty_tracker.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

namespace sim {

// What one tracker arrives with: the faults of a PtyTracker, a flood, and how long it stays
// plugged in. Written as the simulator's --mix takes it: "ok", "silent", "crlf", "garbage",
// "flood", "chunk:N[:MS]", "fail-on:PREFIX", "hang-up-after:N", "unplug:MS", joined by "+".
struct Mishap {
    Faults faults;
    bool flood = false;
    int unplugAfterMs = -1;     // >=0: pulled out that long after it was plugged in (not the cycle's UP)
    QString text() const;       // as --mix writes it, "ok" for none
};

// Reads `text` on top of `base` (the faults every tracker has). Empty on success, else why not.
QString parseMishap(const QString& text, const Mishap& base, Mishap* out);

// How trackers come and go at each place of a fleet (an adapter with trackers plugged in turn).
struct Comings {
    int upMs = -1;              // a tracker stays plugged in this long; <0: until a fault ends it
    int downMs = -1;            // then the place stays empty this long; <0: for good
    int swapEveryMs = -1;       // >=0: another tracker behind the same line this often
    bool newImei = false;       // a tracker that comes back is another one, with the next IMEI
    QString imei;               // the first IMEI; empty: the tracker's own. Digits count up from it
    QList<Mishap> mix;          // the k-th tracker at place i arrives with mix[(i + k) % size]
    int total = 0;              // >0: this many trackers in all (swaps included), then no more
};

// Several trackers in one process, each on a pseudo-terminal of its own, coming and going as
// `Comings` says. Tracker k at place i (both from 0) has IMEI first + k * count + i, so every
// tracker the fleet ever shows has an IMEI of its own, known in advance.
class Fleet : public QObject {
    Q_OBJECT
public:
    Fleet(int count, Comings comings, Mishap base, QObject* parent = nullptr);
    ~Fleet() override;

    // Each new tracker starts from this state (a dump or a profile, see loadState), then its IMEI.
    QString setState(const QByteArray& bytes);
    // Checks that the IMEIs can be counted; empty when they can.
    QString check() const;

    bool start(QString* error = nullptr);                       // every place: a tracker plugged in
    bool linkAs(int firstCom, QString* error = nullptr);        // COMn, COMn+1 …
    bool linkInto(const QString& dir, QString* error = nullptr);   // dir/tracker1, dir/tracker2 …

    int count() const { return int(places_.size()); }
    PtyTracker& at(int i) { return *places_[size_t(i)]->pty; }
    QString path(int i) const;           // what a program opens: the link, else the line itself
    QString imeiOf(int place, int k) const;
    QString mishap(int place) const { return places_[size_t(place)]->mishap; }
    int arrivals() const { return arrivals_; }   // trackers that arrived so far (swaps included)
    int present() const;                         // places with a tracker plugged in now

signals:
    void arrived(int place, const QString& imei, const QString& device, const QString& mishap);
    void swapped(int place, const QString& imei, const QString& mishap);
    void left(int place, const QString& why);    // "unplugged" or "hung up"
    void commandReceived(int place, const QString& line);
    void replied(int place, const QString& reply);

private:
    struct Place {
        std::unique_ptr<PtyTracker> pty;
        int k = 0;                       // which tracker of this place is (or was last) plugged in
        QString mishap;
        QString link;                    // where it is linked, "" = nowhere
        bool unplugging = false;         // our own timer pulled it out
        QTimer unplug, plugIn, swap;
    };
    bool counting() const;
    bool more() const { return comings_.total <= 0 || arrivals_ < comings_.total; }
    void arrive(int i);
    void plugIn(int i, bool another);
    void onHungUp(int i);
    void newTracker(int i);
    const Mishap& mishapOf(int i) const;

    Comings comings_;
    Mishap base_;
    QByteArray state_;
    QString ownImei_;                    // the IMEI of the state trackers start from
    std::vector<std::unique_ptr<Place>> places_;
    int arrivals_ = 0;
};

}  // namespace sim
