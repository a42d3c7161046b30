// "Initialize ALL" (Command6): the tracker back to its initial settings, after a question.
#include "link/port.h"
#include "pages/form2.h"

void Form2::Command6_Click()
{
    if (!port_->isOpen()) {
        engine_->inform(text::kOpenPort);
        return;
    }
    // The buffers are discarded before the question, so also when it is cancelled.
    port_->discardOutput();
    port_->discardInput();
    if (!engine_->ask(QStringLiteral("Are you sure you want to revert all the data?")))
        return;
    taker_ = nullptr;
    engine_->prepare();
    for (const QString& box : readAllBoxes())
        setTxt(box, QString());
    engine_->send(Code::Initialize, QStringLiteral("SET10"));
}

void Form2::wireInitialize()
{
    engine_->setRule(Code::Initialize, [this](const QString& reply) {
        if (const auto taken = std::exchange(taker_, nullptr)) {
            engine_->end();
            taken(reply);
            return;
        }
        const auto position = reply.indexOf(QStringLiteral("RESET!")) + 1;
        engine_->end();
        if (position < 4)
            engine_->inform(QStringLiteral("Revert All The Data!"));
    });
}
