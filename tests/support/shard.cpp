#include "support/shard.h"

#include <QMetaMethod>
#include <QObject>
#include <QRegularExpression>

namespace shard {

Shard current()
{
    static const QRegularExpression form(QStringLiteral("^([1-9][0-9]*)/([1-9][0-9]*)$"));
    const auto m = form.match(qEnvironmentVariable("KORVANE_SHARD"));
    if (!m.hasMatch())
        return {};
    const int index = m.captured(1).toInt(), count = m.captured(2).toInt();
    if (index > count)
        return {};
    return {index, count};
}

QStringList arguments(const QObject& test, int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Shard s = current();
    // Names given on the command line (a developer running one function) win.
    const bool named = std::any_of(args.begin() + 1, args.end(), [](const QString& a) {
        return !a.startsWith(QLatin1Char('-'));
    });
    if (s.count == 1 || named)
        return args;
    static const QStringList special{QStringLiteral("initTestCase"), QStringLiteral("cleanupTestCase"),
                                     QStringLiteral("init"), QStringLiteral("cleanup")};
    const QMetaObject* meta = test.metaObject();
    int piece = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private ||
            method.parameterCount() != 0)
            continue;
        const QString name = QString::fromLatin1(method.name());
        if (special.contains(name) || name.endsWith(QLatin1String("_data")))
            continue;
        if (s.mine(piece++))
            args << name;
    }
    if (piece < s.count)
        qFatal("KORVANE_SHARD %d/%d: only %d test functions to share", s.index, s.count, piece);
    return args;
}

}  // namespace shard
