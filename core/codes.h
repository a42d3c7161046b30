#pragma once
#include <QtGlobal>

// The pending operation code names the transaction that awaits a reply. One value per button or
// chain step; the watcher looks up the reply rule by this value. 0 means no transaction.
enum class Code : quint8 {
    Idle = 0,
    Initialize = 6,        // Command6 "SET10"
    ReadAll = 8,           // Command8 / Command3 "SETG"
    Apn = 10,              // Command10 "SETC"
    Password = 11,         // Command11 "SETH"
    ApnUser = 12,          // Command12 "SETO"
    Tel1 = 13, Tel2, Tel3, Tel4, Tel5, Tel6, Tel7, Tel8,   // Command13..20 "SETAn,"
    ApnServer = 21,        // Command21 "SETC…,ip:port"
    Http = 22,             // Command22 "SETR"
    Interval = 23,         // Command23 "SETM"
    LocalTime = 25,        // Command25 "SETL"
    OverSpeed = 26,        // Command26 "SETJ"
    LowBattery = 27,       // Command27 "SETN"
    Odometer = 28,         // Command28 "SETQ"
    Fence1 = 29, Fence2, Fence3, Fence4, Fence5,           // Command29..33 "SETIn,"
    DoorLevel = 34,        // Command34 "SETXD…B2F2"
    ArmFunction = 35,      // Command35 "SETSa,k,l"
    LineFunction = 36,     // Command36, first step "SETSa,k,l"
    Fuel = 38,             // Command38 "SETSO"
    Shake = 39,            // Command39 "SETS"
    Displacement = 40,     // Command40 "SETP"
    TelChain1 = 41, TelChain2, TelChain3, TelChain4, TelChain5,  // Command4 chain
    OtherChainPassword = 111,   // chain step "SETH"
    OtherChainDisplacement = 140, // chain step "SETP"
    OtherChainShake = 139,      // chain step "SETS"
    OtherChainFuel = 138,       // chain step "SETSO"
    OtherChainBattery = 127,    // Command1 "SETN"
    OtherChainSpeed = 126,      // chain step "SETJ"
    OtherChainTime = 125,       // chain step "SETL"
    OtherChainOdometer = 128,   // chain step "SETQ", ends the chain
    CutOff = 141,          // Command41 "SETT1"
    CutOn = 142,           // Command42 "SETT0"
    Lock = 143,            // Command43 "SETT3"
    Unlock = 144,          // Command44 "SETT2"
    LockSelect = 147,      // Command47 "SETU2,"
    InputTel = 148,        // Command48 "SETU"
    SosOutTel = 149,       // Command49 "SETU"
    Trunk = 150,           // Command50 "SETT4"
    DoorLevelSpecial = 151, // Command51 "SETXD"
    GprsChainApn = 200,    // Command2 "SETC"
    GprsChainUser = 201,   // chain step "SETO"
    GprsChainHttp = 202,   // chain step "SETR"
    GprsChainInterval = 203, // chain step "SETM", ends the chain
    LineFunctionStep2 = 250, // after Command36: "SETXD2B…"
};

constexpr quint8 raw(Code c) { return static_cast<quint8>(c); }
constexpr Code offset(Code base, int n) { return static_cast<Code>(raw(base) + n); }
