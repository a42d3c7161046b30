#include "core/params.h"

#include <type_traits>

namespace bulk {

namespace {
// The names of an enum's values, in the order of its declaration.
template <class E, size_t N> QString nameIn(E v, const char* const (&names)[N])
{
    const auto i = size_t(v);
    return i < N ? QString::fromLatin1(names[i]) : QString();
}
}  // namespace

QString name(Model v) { return nameIn(v, {"Petrel", "Condor", "Falcon", "Harrier"}); }
QString name(IntervalUnit v) { return nameIn(v, {"Sec", "Min", "Hour"}); }
QString name(Level v) { return nameIn(v, {"High", "Low"}); }
QString name(ArmFunction v) { return nameIn(v, {"None", "Level", "Pulse"}); }
QString name(LineFunction v) { return nameIn(v, {"CallOut", "InputHigh", "InputLow"}); }
QString name(FenceSide v) { return nameIn(v, {"In", "Out"}); }
QString name(LockType v) { return nameIn(v, {"Elc", "Gas"}); }
QString name(InputTel v) { return nameIn(v, {"Listen", "Talk"}); }
QString name(SosOutTel v) { return nameIn(v, {"Mute", "Spk"}); }

namespace {
QString text(const QString& v) { return v; }
QString text(bool v) { return v ? QStringLiteral("on") : QStringLiteral("off"); }
template <class E> QString text(E v) { return name(v); }
}  // namespace

void overlay(Params& into, const Params& from)
{
    const auto make = [](auto& to, const auto& g) {
        if (g && !to)
            to.emplace();
    };
    make(into.gprs, from.gprs);
    make(into.telephones, from.telephones);
    make(into.fences, from.fences);
    make(into.other, from.other);
    make(into.port, from.port);
    make(into.special, from.special);
    make(into.identity, from.identity);
    forEachField(from, [&into](const QString& key, const auto& field) {
        if (!field)
            return;
        forEachField(into, [&](const QString& k, auto& target) {
            if constexpr (std::is_same_v<std::decay_t<decltype(target)>, std::decay_t<decltype(field)>>)
                if (k == key)
                    target = field;
        });
    });
}

QStringList describe(const Params& p)
{
    QStringList lines;
    forEachField(p, [&lines](const QString& key, const auto& field) {
        if (field)
            lines << key + QLatin1Char('=') + text(*field);
    });
    return lines;
}

}  // namespace bulk
