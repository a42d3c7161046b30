#pragma once
#include "bulk/profile.h"

#include <QByteArray>

// Profiles the tests of a run share, as a user's file holds them.
namespace testprofiles {

// A profile's text, checked as a write checks it; a refusal ends the test program.
bulk::Profile checked(const QByteArray& json);

// GPRS and the telephone numbers: two WRITE chains, nine commands.
inline constexpr char kChains[] = R"({"format": "korvane-profile", "version": 1, "model": "Petrel",
  "gprs": {"apn": "fleet.apn", "apnUser": "u1", "apnPassword": "p1", "serverIp": "10.1.2.3", "serverPort": "7001",
           "httpAddress": "h.example", "httpPort": "80", "interval": "045", "intervalUnit": "Sec"},
  "telephones": {"1": "+111", "2": "222", "3": "", "4": "444", "5": "555", "6": "", "7": "", "8": ""}})";

}  // namespace testprofiles
