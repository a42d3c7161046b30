// Whatever a profile check lets through and a write sends, a tracker that keeps what it is sent
// gives back: random profiles whose texts stand at the edges of their forms (empty, one
// character, the longest, the smallest and largest number, with and without a sign or "%"),
// written through the one run of a plan and judged as verify judges: no difference.
#include "bulk/plan.h"
#include "bulk/profile.h"
#include "core/rows.h"
#include "support/sim_link.h"

#include <QRandomGenerator>
#include <QTest>
#include <type_traits>

namespace {

using namespace bulk;

// Texts to try for a field, kept when its form takes them.
QStringList edgesOf(const QString& key, QRandomGenerator& rng)
{
    const rows::Form* form = rows::form(key);
    const int longest = form ? form->maxLength : 20;
    QStringList tries{QString()};
    for (int length : {1, 2, 3, 4, 5, 6, longest}) {
        tries << QString(length, QLatin1Char('0')) << QString(length, QLatin1Char('9'))
              << QStringLiteral("1").rightJustified(length, QLatin1Char('0'));
        if (form && form->maxValue >= 0) {
            tries << QString::number(form->maxValue).rightJustified(length, QLatin1Char('0'))
                  << QString::number(form->maxValue + 1).rightJustified(length, QLatin1Char('0'));
        }
    }
    QStringList signedOrPercent;
    for (const QString& t : std::as_const(tries))
        signedOrPercent << t + QLatin1Char('%') << QLatin1Char('+') + t << QLatin1Char('-') + t
                        << QLatin1Char('#') + t + QLatin1Char('*');
    tries += signedOrPercent;
    tries << QStringLiteral("15") << QStringLiteral("30") << QStringLiteral("45") << QStringLiteral("0,0,0,0")
          << QStringLiteral("1.5,100,9999,4200");
    // Free texts: the shortest and the longest of printable ASCII but the form's separators.
    QString printable;
    for (char c = 0x20; c < 0x7f; ++c)
        if (!form || !form->separators.contains(QLatin1Char(c)))
            printable += QLatin1Char(c);
    for (int length : {1, longest / 2, longest}) {
        QString t;
        for (int i = 0; i < length; ++i)
            t += printable[int(rng.bounded(int(printable.size())))];
        tries << t;
    }
    tries.removeDuplicates();
    QStringList fit;
    for (const QString& t : std::as_const(tries))
        if (!rows::misfit(key, t))
            fit << t;
    return fit;
}

// Every field of `key` (all when empty) given a random value of its kind: a text at an edge of its form.
void shake(Params& p, const QString& only, QRandomGenerator& rng)
{
    forEachField(p, [&](const QString& key, auto& field) {
        if (!field || (!only.isEmpty() && key != only))
            return;
        using T = typename std::decay_t<decltype(field)>::value_type;
        if constexpr (std::is_same_v<T, QString>) {
            const QStringList edges = edgesOf(key, rng);
            if (!edges.isEmpty())
                field = edges[int(rng.bounded(int(edges.size())))];
        } else if constexpr (std::is_same_v<T, bool>) {
            field = rng.bounded(2) == 0;
        } else {
            field = T(rng.bounded(name(T(2)).isEmpty() ? 2 : 3));
        }
    });
}

// A profile of `model` with every group its window offers, shaken until a write accepts it.
std::optional<Profile> randomProfile(Model model, QRandomGenerator& rng)
{
    Profile p = profileOf(model, sim::Tracker::factory());
    shake(p.params, QString(), rng);
    for (int i = 0; i < 200; ++i) {
        const std::vector<Refusal> refused = refusals(p);
        if (refused.empty())
            return p;
        QString key = refused.front().key;
        // A refusal that names a field's partner: shake one of the two.
        if (key == QLatin1String("gprs.serverPort") && rng.bounded(2) == 0)
            key = QStringLiteral("gprs.serverIp");
        shake(p.params, key, rng);
    }
    return std::nullopt;
}

QString said(const Comparison& c)
{
    QStringList lines;
    for (const Difference& d : c.differ)
        lines << QStringLiteral("%1: profile %2, tracker %3").arg(d.key, d.expected, d.actual);
    for (const Difference& d : c.notWritten)
        lines << QStringLiteral("%1: profile %2, tracker %3 (not written)").arg(d.key, d.expected, d.actual);
    return lines.join(QLatin1String("; "));
}

}  // namespace

class EdgesTest : public QObject {
    Q_OBJECT

private slots:
    void whatPassesTheCheckAndIsSentVerifies()
    {
        const int profiles = qEnvironmentVariableIntValue("KORVANE_EDGE_PROFILES") > 0
                                 ? qEnvironmentVariableIntValue("KORVANE_EDGE_PROFILES")
                                 : 160;
        QRandomGenerator rng(20261207);
        const Model models[] = {Model::Petrel, Model::Condor, Model::Falcon, Model::Harrier};
        int written = 0;
        for (int i = 0; i < profiles; ++i) {
            const Model model = models[i % 4];
            const std::optional<Profile> p = randomProfile(model, rng);
            if (!p)
                continue;
            SimLink link;
            link.run.write(*p);
            const PlanRun::Result r = link.served();   // a copy: the verify below replaces it
            const QString profile = QString::fromUtf8(toJson(*p));
            QVERIFY2(r.outcome == QLatin1String("verified") || r.outcome == QLatin1String("differs"),
                     qPrintable(QStringLiteral("profile %1 (%2): %3 at %4, %5\n%6")
                                    .arg(i).arg(r.outcome).arg(r.failedAt).arg(r.failedCommand, r.cause, profile)));
            QVERIFY2(r.comparison.differ.isEmpty(),
                     qPrintable(QStringLiteral("profile %1: %2\n%3").arg(i).arg(said(r.comparison), profile)));
            // verify says the same of the same tracker.
            link.ended.reset();
            link.run.verify(*p);
            QCOMPARE(said(link.served().comparison), said(r.comparison));
            ++written;
        }
        QVERIFY2(written >= profiles * 9 / 10, qPrintable(QStringLiteral("only %1 of %2 profiles passed the check")
                                                                 .arg(written).arg(profiles)));
    }
};

QTEST_MAIN(EdgesTest)
#include "tst_edges.moc"
