#pragma once
#include "link/prompt.h"

class QWidget;

// Real modal QMessageBox, no icon, the window's caption as title.
class MessageBoxPrompt : public Prompt {
public:
    explicit MessageBoxPrompt(QWidget* parent) : parent_(parent) {}
    void inform(const QString& text) override;
    bool ask(const QString& text) override;

private:
    QWidget* parent_;
};
