#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "sim/tracker.h"

class QSocketNotifier;

namespace sim {

// Ways the simulated tracker can misbehave, for tests and demos of the window's error paths.
struct Faults {
    bool silent = false;        // never answer
    bool crlf = false;          // append "\r\n" to every reply
    int chunkSize = 0;          // >0: split each reply into chunks of this many bytes...
    int chunkDelayMs = 0;       // ...with this delay between chunks
    QString failOn;             // commands starting with this prefix get "ERROR!" (state unchanged)
    bool garbage = false;       // prefix every reply with a few garbage bytes (NUL, 0xFF, lone '\r')
    int hangUpAfter = -1;       // >=0: that many commands are answered; the next one hangs up
};

// A Tracker on the master side of a pseudo-terminal; the program opens the slave side as its
// serial device. Everything runs on the thread's event loop (socket notifiers and timers).
class PtyTracker : public QObject {
    Q_OBJECT
public:
    explicit PtyTracker(QObject* parent = nullptr);
    ~PtyTracker() override;                    // hangs up and removes its own ports link

    bool start(QString* error = nullptr);      // a new pseudo-terminal (also after hangUp())
    QString slavePath() const;                 // e.g. /dev/pts/7; kept after hangUp()
    bool linkAs(int com, QString* error = nullptr);
    bool linkAt(const QString& path, QString* error = nullptr);   // a link of its own, anywhere
    QString linkPath() const { return linkPath_; }
    void unlink();
    void hangUp();
    bool isUp() const;
    // While down, no link at all: a link left pointing to a closed pseudo-terminal would lead to
    // whatever line the system hands out next under that number. start() makes it again.
    void setUnlinkWhileDown(bool on) { unlinkWhileDown_ = on; }
    // A different tracker behind the same line: its state, no half-heard command, no reply of the
    // one before still on its way, its own count of commands.
    void replace(const Tracker& tracker);

    Faults& faults() { return faults_; }
    Tracker& tracker() { return tracker_; }
    QStringList received() const { return received_; }
    void clearReceived() { received_.clear(); }

    void send(const QByteArray& raw);
    void startFlood(int bytesPerSecond = 11520);
    void stopFlood();

signals:
    void commandReceived(const QString& line);
    void replied(const QString& reply);        // the reply text as it goes out (before chunking)
    void hungUp();                             // the master was closed (by hangUp() or a fault)

private:
    void onReadable();
    void onWritable();
    void handleLine(const QByteArray& raw);
    void queueReply(const QByteArray& bytes);
    void sendNextChunk();
    void writeOrQueue(const QByteArray& bytes);
    void floodTick();
    bool makeLink(const QString& entry, const QString& alsoOurs, QString* error);

    Tracker tracker_;
    Faults faults_;
    int masterFd_ = -1;
    int slaveFd_ = -1;                         // held open so the master never sees EIO
    QString slavePath_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray inBuffer_;
    QByteArray outPending_;                    // reply bytes the pty could not take yet
    QList<QByteArray> chunks_;
    QTimer chunkTimer_;
    QStringList received_;
    int commandCount_ = 0;
    QString linkPath_;                         // the link we made, "" = none
    bool unlinkWhileDown_ = false;

    QTimer floodTimer_;
    QElapsedTimer floodClock_;
    qint64 floodDue_ = 0;                      // bytes accounted so far (written or dropped)
    int floodRate_ = 0;
    QByteArray floodLine_;                     // rest of the line being flooded
    quint64 floodSeq_ = 0;
};

}  // namespace sim
