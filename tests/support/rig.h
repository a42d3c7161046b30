#pragma once
#include "pages/form2.h"
#include "support/fakes.h"
#include "support/hands.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

// The window on a fake port with scripted boxes; ticks are driven by the test.
struct Rig {
    FakePort port;
    ScriptedPrompt prompt;
    Form2 form{&port, &prompt};

    template <class T = QWidget> T* w(const QString& name) const { return form.findChild<T*>(name); }
    void click(const QString& name) { w<QAbstractButton>(name)->click(); }
    void type(const QString& name, const QString& text) { put(w(name), text); }
    static void put(QWidget* box, const QString& text);   // as a program (or a read) fills it
    QString text(const QString& name) const { return controlText(w(name)); }
    bool on(const QString& name) const { return w<QAbstractButton>(name)->isChecked(); }
    void openPort();                         // "OPEN" on the default COM4
    void tick(int n = 1) { for (int i = 0; i < n; ++i) form.Timer1_Timer(); }
    // The tracker answers, and the watcher judges on the next tick.
    void reply(const QString& text) { port.deliver(text); tick(); }
    QStringList wire() const { return port.written; }
    QString lastLine() const { return port.written.isEmpty() ? QString() : port.written.last(); }
    void clearLog() { port.written.clear(); prompt.shown.clear(); }
};

// The rig's window shown and active, operated only by mouse and keys.
struct ShownRig : Rig {
    Hands hands{&form};
    ShownRig()
    {
        if (!hands.show())
            qFatal("the window did not become active");
    }
};
