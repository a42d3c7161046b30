// "Read All Parameter" (Command8) and the WRITE button of the test frame (Command3): request the
// parameter dump and fill the window from it.
#include "core/dump_parser.h"
#include "link/port.h"
#include "pages/form2.h"

namespace {
constexpr QLatin1String kReadCommand("SETG");
}

void Form2::readAll(const QStringList& boxesToEmpty)
{
    taker_ = nullptr;
    if (!engine_->prologue())
        return;
    for (const QString& box : boxesToEmpty)
        setTxt(box, QString());
    engine_->send(Code::ReadAll, kReadCommand);
}

bool Form2::request(Code code, const QString& command, std::function<void(const QString& reply)> taken)
{
    taker_ = nullptr;
    if (!engine_->prologue())
        return false;
    taker_ = std::move(taken);
    engine_->send(code, command);
    return true;
}

QStringList Form2::readAllBoxes()
{
    QStringList boxes;
    for (int n = 1; n <= 22; ++n)
        boxes << QStringLiteral("Text%1").arg(n);
    return boxes << QStringLiteral("Text25") << QStringLiteral("Text26") << QStringLiteral("Text31");
}

void Form2::Command8_Click()
{
    readAll(readAllBoxes());
}

void Form2::Command3_Click()
{
    readAll({QStringLiteral("Text6"), QStringLiteral("Text7"), QStringLiteral("Text8"),
             QStringLiteral("Text25"), QStringLiteral("Text26")});
}

void Form2::applyDump(const QString& reply)
{
    // The reply is taken once; what arrives while a message of the read is open is not part of it,
    // and the watcher does not judge again meanwhile.
    bulk::DumpRead read = bulk::parseDump(reply, selected("Option7"));
    // A read of a pulse arm leaves the window's level options as they were.
    if (auto& port = read.params.port; port && port->armFunction == bulk::ArmFunction::Pulse)
        port->armLevel.reset();
    showParams(read);
    engine_->end();
    if (read.params.identity)
        emit identityRead(*read.params.identity);
}

void Form2::wireReadAll()
{
    engine_->setRule(Code::ReadAll, [this](const QString& reply) {
        if (!taker_) {
            applyDump(reply);
            return;
        }
        // Taken once, as Read All takes its reply; the reader judges it, the boxes stay.
        const auto taken = std::exchange(taker_, nullptr);
        engine_->end();
        taken(reply);
    });
}
