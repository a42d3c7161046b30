#pragma once
#include <QString>

class QWidget;

// The window's message boxes: an OK-only message, or a question with OK and Cancel.
class Prompt {
public:
    virtual ~Prompt() = default;
    virtual void inform(const QString& text) = 0;
    virtual bool ask(const QString& text) = 0;   // true for OK
};

// Real modal QMessageBox, no icon, the application's title.
class MessageBoxPrompt : public Prompt {
public:
    explicit MessageBoxPrompt(QWidget* parent) : parent_(parent) {}
    void inform(const QString& text) override;
    bool ask(const QString& text) override;
private:
    QWidget* parent_;
};
