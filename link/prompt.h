#pragma once
#include <QString>

// The window's message boxes: an OK-only message, or a question with OK and Cancel.
class Prompt {
public:
    virtual ~Prompt() = default;
    virtual void inform(const QString& text) = 0;
    virtual bool ask(const QString& text) = 0;   // true for OK
};
