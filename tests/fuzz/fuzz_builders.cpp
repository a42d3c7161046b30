// Every command builder fed with arbitrary field texts: what may go out is one line starting
// with SET and never holding a line break.
#include "core/commands.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {
void check(const Draft& raw)
{
    const Draft d = guarded(raw);
    if (d.refused()) {
        if (!d.line.isEmpty())
            abort();
        return;
    }
    if (!d.line.startsWith(QLatin1String("SET")) || d.line.contains(QLatin1Char('\r')) ||
        d.line.contains(QLatin1Char('\n')))
        abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    auto text = [&] {
        const std::string bytes = in.ConsumeRandomLengthString(96);
        // Half the fields as Latin-1 bytes, half as UTF-8 (characters beyond one byte).
        return in.ConsumeBool() ? QString::fromLatin1(bytes.data(), qsizetype(bytes.size()))
                                : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    };
    const QString a = text(), b = text(), c = text();
    const int n = in.ConsumeIntegralInRange(1, 8);
    const bool x = in.ConsumeBool(), y = in.ConsumeBool(), z = in.ConsumeBool();

    check(gprs::apn(a));
    check(gprs::apnUser(a, b));
    check(gprs::apnServer(a, b, c));
    check(gprs::http(a, b));
    check(gprs::interval(a, x, y, z));
    check(gprs::writeStart(a, b, c));
    check(Draft::send(gprs::userLine(a, b)));
    check(Draft::send(gprs::httpLine(a, b)));
    check(tel::slot(n, a));
    check(Draft::send(tel::chainLine(n, a)));
    check(fence::apply(n, a, b, c));
    check(fence::apply(n, QStringLiteral("ON"), x ? QStringLiteral("IN") : b, c));
    for (const auto& f : {other::battery, other::chainBattery, other::speed, other::chainSpeed, other::fuel,
                          other::shake, other::chainShake, other::odometer, other::displacement,
                          other::chainDisplacement, other::password})
        check(f(a));
    check(other::localTime(a, b));
    const double v = other::leadingNumber(a);
    if (v != v)
        abort();   // never NaN
    return 0;
}
