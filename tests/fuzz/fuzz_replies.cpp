// The watcher judging arbitrary replies for every pending code, on the real window with a fake
// port: it must end every transaction, write only whole command lines and never crash or hang.
#include "core/codes.h"
#include "pages/form2.h"
#include "support/fakes.h"

#include <QApplication>
#include <QRadioButton>

#include <cstdlib>

namespace {
const quint8 kCodes[] = {6, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 25, 26, 27, 28,
                         29, 30, 31, 32, 33, 34, 35, 36, 38, 39, 40, 41, 42, 43, 44, 45, 111, 125, 126,
                         127, 128, 138, 139, 140, 141, 142, 143, 144, 147, 148, 149, 150, 151, 200,
                         201, 202, 203, 250, 0, 99};
const char* const kModels[] = {"Option6", "Option7", "Option8", "Option9"};

struct World {
    FakePort port;
    ScriptedPrompt prompt;
    Form2* form = nullptr;
};
World* world = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    world = new World;
    world->form = new Form2(&world->port, &world->prompt);
    world->form->Command5_Click();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    Form2& form = *world->form;
    Engine& engine = form.engine();
    world->port.written.clear();
    world->prompt.shown.clear();
    form.findChild<QRadioButton*>(kModels[data[1] & 3])->setChecked(true);

    engine.prepare();
    engine.send(static_cast<Code>(kCodes[data[0] % std::size(kCodes)]), QStringLiteral("SETX"));
    // The rest arrives in chunks; a byte 0x01 lets a tick pass between chunks.
    QString chunk;
    for (size_t i = 2; i < size; ++i) {
        if (data[i] == 0x01) {
            if (!chunk.isEmpty())
                world->port.deliver(chunk);
            chunk.clear();
            form.Timer1_Timer();
        } else {
            chunk += QChar(char16_t(data[i]));
        }
    }
    if (!chunk.isEmpty())
        world->port.deliver(chunk);
    for (int tick = 0; tick < 400 && engine.timer().isActive(); ++tick)
        form.Timer1_Timer();
    if (engine.timer().isActive() || engine.code() != Code::Idle)
        abort();   // a transaction that never ends
    for (const QString& line : world->port.written) {
        if (!line.endsWith(QLatin1String("\r\n")) || line.indexOf(QLatin1Char('\r')) != line.size() - 2 ||
            line.indexOf(QLatin1Char('\n')) != line.size() - 1)
            abort();
        if (line != QLatin1String("SETX\r\n") && !line.startsWith(QLatin1String("SET")) && line != QLatin1String("\r\n"))
            abort();
    }
    if (world->prompt.shown.size() > 3 + world->port.written.size())
        abort();   // more messages than transactions can explain
    return 0;
}
