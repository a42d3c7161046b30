#pragma once
#include <QStringList>

class QWidget;

// What a technician sees of every design control of the window `form`: texts, marks, captions,
// frames shown or hidden; one sorted "name: state" line each. The receive monitor and the port
// box are left out.
QStringList snapshot(const QWidget* form);
