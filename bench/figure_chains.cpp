// 4: the three WRITE chains on the window (GPRS, telephone, other settings with its password
// step), their time over the ticks their commands take at the least.
#include "figures.h"
#include "fixtures.h"
#include "harness.h"

#include "link/engine.h"

#include <QCheckBox>
#include <QRadioButton>

#include <utility>

void chainsFigure(Bench& bench)
{
    BenchWindow& rig = *bench.window;
    constexpr int kRuns = 5;
    rig.reset();
    rig.sim.tracker().reset();
    // What the technician types into the GPRS frame, the telephone frame and the other settings.
    const std::pair<const char*, const char*> entries[] = {
        {"Text1", "apn.one"}, {"Text3", "203.0.113.9"}, {"Text5", "7700"}, {"Text19", "user"},
        {"Text20", "secret"}, {"Text4", "http://track.example/api"}, {"Text31", "8080"}, {"Text21", "060"},
        {"Text6", "13900000000"}, {"Text7", "13900000001"}, {"Text8", "13900000002"},
        {"Text25", "13900000003"}, {"Text26", "13900000004"},
        {"Combo3", "30%"}, {"Text9", "110"}, {"Text15", "-05"}, {"Combo4", "30"}, {"Text33", "020"},
        {"Text18", "004321"},
    };
    for (const auto& [name, text] : entries)
        rig.type(name, QString::fromLatin1(text));
    rig.w<QRadioButton>("Option1")->click();
    // Other settings with the password step.
    if (!rig.w<QCheckBox>("Check2")->isChecked())
        rig.w<QCheckBox>("Check2")->click();
    rig.type("Text17", QStringLiteral("246810"));

    int commands = 0;
    auto heard = QObject::connect(&rig.sim, &sim::PtyTracker::commandReceived, [&] { ++commands; });
    struct Chain {
        const char* name;
        const char* button;
        std::vector<double> ms;
        int commands = 0;
    };
    Chain chains[] = {{"GPRS", "Command2", {}},
                      {"telephone", "Command4", {}},
                      {"other settings", "Command1", {}}};
    std::vector<double> ratio;
    bool valid = true;
    for (int i = 0; i < kRuns; ++i) {
        double total = 0;
        int n = 0;
        for (Chain& c : chains) {
            commands = 0;
            const auto outcome = rig.clickForBox(c.button, text::kSettingOk, 5000);
            if (!outcome.shown) {
                valid = false;
                continue;
            }
            const double ms = toMs(outcome.shown - outcome.pressed);
            c.ms.push_back(ms);
            c.commands = commands;
            total += ms;
            n += commands;
            pause(20);
        }
        if (n > 0)
            ratio.push_back(total / (n * kTickMs));
    }
    QObject::disconnect(heard);
    QStringList parts;
    int n = 0;
    for (const Chain& c : chains) {
        parts << QStringLiteral("%1 %2 commands, median %3 ms (ratio %4)")
                     .arg(QLatin1String(c.name), QString::number(c.commands), fmt(median(c.ms), 1),
                          fmt(median(c.ms) / (c.commands * kTickMs), 3));
        n += c.commands;
    }
    bench.report.note(QStringLiteral("chains: ") + parts.join(QStringLiteral("; ")));
    bench.report.add({"4",
                      QStringLiteral("chains: GPRS + telephone + other-settings WRITE (%1 commands), "
                                     "time ÷ (commands × 100 ms)").arg(n),
                      "≤ 1.10", fmt(median(ratio), 3), fmt(largest(ratio), 3), QString::number(ratio.size()),
                      verdict(valid && !ratio.empty(), largest(ratio) <= 1.10)});
}
