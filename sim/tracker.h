#pragma once
#include <QString>
#include <array>

// The tracker's side of the serial protocol, without any I/O: one command line in, the reply text
// out. It keeps the parameters that the SET commands write so that "SETG" returns them in the
// parameter dump, which the window parses by fixed markers and character offsets.
namespace sim {

class Tracker {
public:
    // How the second line ("Port8") is used; written by SETXD2B..F..
    enum class LineFunction { CallOut, InputHigh, InputLow };

    struct Fence {
        bool on = false;       // switch
        bool out = true;       // side: alarm when leaving (true) or entering (false)
        QString coordinate;    // as received; a fence is "defined" while this is not empty
    };

    // Free fields are kept exactly as received, so that a read shows what was written. Numbers are
    // converted only when the dump needs a hex pair or a decimal value.
    struct Params {
        std::array<QString, 8> tel;         // empty = no number in the slot
        QString apn;
        QString apnUser;
        QString apnPassword;
        QString serverIp;
        QString serverPort;
        QString httpAddress;
        QString httpPort;

        bool intervalOn = true;
        QString interval;                   // digits as received ("030")
        QChar intervalUnit;                 // 'S', 'M' or 'H' as received

        bool speedOn = false;
        QString speed;                      // km/h as received
        bool batteryOn = true;
        QString batteryLevel;               // percent as received ("45")
        bool displacementOn = false;
        QString displacement;               // tens of metres as received
        QString localTime;                  // as received after SETL ("+08:00")
        QString fuel;                       // SETSO text; not part of the dump
        QString shakeStep;                  // SETS with one value
        QString password;                   // device password (SETH)
        QString odometer;                   // km as received (SETQ)

        bool armOn = false;                 // SETSa,k,l: a
        int armKind = 2;                    //            k: 0 level, 1 pulse, 2 none
        int armLevel = 0;                   //            l: 1 high/positive, 0 low/negative

        bool doorHigh = false;              // door input active high (else low)
        LineFunction lineFunction = LineFunction::InputHigh;
        bool inputTelTalk = true;           // input TEL: Talk (else Listen)
        bool sosMute = false;               // SOS out: Mute (else SPK)
        bool lockElc = false;               // lock type: ELC (else Gas)
        int lastTest = -1;                  // digit of the last SETTn (cut, lock, trunk …)

        std::array<Fence, 5> fences;

        QString imei;
        QString hwVersion;
        QString swVersion;
    };

    Tracker();                                   // factory values
    void reset();                                // back to factory values (what SET10 does)

    // One command line without its "\r\n"; returns the reply ("" = the tracker says nothing).
    QString handle(const QString& line);

    // The reply to SETG built from the current state. `condorLines` adds the input/output and arm
    // pairs, which the window reads only for the model that has those lines.
    QString dump(bool condorLines = true) const;

    Params& params() { return p_; }
    const Params& params() const { return p_; }

    static Params factory();

private:
    QString handleSetC(const QString& rest);
    QString handleSetM(const QString& rest);
    QString handleSetA(const QString& rest);
    QString handleSetI(const QString& rest);
    QString handleSetS(const QString& rest);
    QString handleSetXD(const QString& rest);
    QString handleSetU(const QString& rest);

    Params p_;
};

}  // namespace sim
