#include "support/fakes.h"

int FakePort::open()
{
    if (open_)
        return AlreadyOpen;
    if (const int failure = openFailures.value(number_))
        return failure;
    open_ = true;
    opened << number_;
    return 0;
}

int FakePort::close()
{
    if (closeFailure)
        return closeFailure;
    open_ = false;
    return 0;
}

bool FakePort::write(const QString& text)
{
    if (!open_)
        return false;
    if (failWrites) {
        pull();
        return false;
    }
    written << text;
    return true;
}

void FakePort::pull()
{
    open_ = false;
    emit lost();
}

void ScriptedPrompt::inform(const QString& text)
{
    shown << text;
    if (whileOpen)
        whileOpen(text);
}

bool ScriptedPrompt::ask(const QString& text)
{
    shown << QStringLiteral("? ") + text;
    if (whileOpen)
        whileOpen(text);
    return answers.isEmpty() ? true : answers.takeFirst();
}
