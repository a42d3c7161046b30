// The table of fields (core/fields.h) and what is read from it: the field walk, the captions, the
// dump's groups, and the checks that stop the window at start when an entry lacks one of its parts.
#include "core/dump_parser.h"
#include "core/fields.h"
#include "sim/tracker.h"
#include "support/rig.h"

#include <QTest>

namespace {

using namespace bulk;

// The real table with one change made to the entry of `key`.
template <class Change> std::vector<fields::Field> tableWith(const QString& key, Change change)
{
    std::vector<fields::Field> t = fields::all();
    for (auto it = t.begin(); it != t.end(); ++it)
        if (it->key == key) {
            change(t, it);
            return t;
        }
    qFatal("no entry %s", qPrintable(key));
}

fields::Field& entry(std::vector<fields::Field>& t, const char* key)
{
    for (fields::Field& f : t)
        if (f.key == QLatin1String(key))
            return f;
    qFatal("no entry %s", key);
}

// Every group present, every field absent.
Params everyGroup()
{
    Params p;
    p.gprs.emplace();
    p.telephones.emplace();
    p.fences.emplace();
    p.other.emplace();
    p.port.emplace();
    p.special.emplace();
    p.identity.emplace();
    return p;
}

}  // namespace

class FieldTableTest : public QObject {
    Q_OBJECT

private slots:
    // The walk visits every field once, group by group, in the order profiles and messages list
    // them; only the groups present; and a const value as const.
    void theWalkVisitsEveryFieldInOrder()
    {
        QStringList keys;
        const Params all = everyGroup();
        forEachField(all, [&keys](const QString& key, auto& field) {
            static_assert(std::is_const_v<std::remove_reference_t<decltype(field)>>);
            keys << key;
        });
        QCOMPARE(keys, (QStringList{
                           "gprs.apn", "gprs.apnUser", "gprs.apnPassword", "gprs.serverIp", "gprs.serverPort",
                           "gprs.httpAddress", "gprs.httpPort", "gprs.interval", "gprs.intervalUnit", "gprs.intervalOn",
                           "telephones.1", "telephones.2", "telephones.3", "telephones.4", "telephones.5",
                           "telephones.6", "telephones.7", "telephones.8",
                           "fences.1.on", "fences.1.side", "fences.1.coordinate", "fences.2.on", "fences.2.side",
                           "fences.2.coordinate", "fences.3.on", "fences.3.side", "fences.3.coordinate",
                           "fences.4.on", "fences.4.side", "fences.4.coordinate", "fences.5.on", "fences.5.side",
                           "fences.5.coordinate",
                           "other.lowBattery", "other.lowBatteryOn", "other.overSpeed", "other.overSpeedOn",
                           "other.localHours", "other.localMinutes", "other.fuel", "other.shakeStep", "other.odometer",
                           "other.displacement", "other.displacementOn", "other.password",
                           "port.doorLevel", "port.armFunction", "port.armLevel", "port.lineFunction",
                           "special.lockType", "special.doorLevel", "special.inputTel", "special.sosOutTel",
                           "identity.imei", "identity.hardwareVersion", "identity.softwareVersion"}));

        Params some;
        some.fences.emplace();
        some.fences->fence[3].side = FenceSide::In;
        some.other.emplace();
        keys.clear();
        forEachField(some, [&keys](const QString& key, auto& field) {
            if constexpr (std::is_same_v<std::decay_t<decltype(field)>, std::optional<FenceSide>>)
                if (key == "fences.4.side")
                    QCOMPARE(field, std::optional(FenceSide::In));
            keys << key;
        });
        QCOMPARE(keys.size(), 15 + 12);
        QCOMPARE(keys.first(), QString("fences.1.on"));
        QCOMPARE(keys.last(), QString("other.password"));

        // Writing through the walk lands in the member itself.
        forEachField(some, [](const QString& key, auto& field) {
            if constexpr (std::is_same_v<std::decay_t<decltype(field)>, std::optional<QString>>)
                if (key == "other.odometer")
                    field = QStringLiteral("000042");
        });
        QCOMPARE(some.other->odometer, std::optional<QString>("000042"));
    }

    // An entry's member reads nothing from an absent group and makes it present to write.
    void theMemberMakesItsGroupPresent()
    {
        Params p;
        const fields::Field* f = fields::field("fences.3.coordinate");
        QVERIFY(f);
        const auto member = std::get<fields::Member<QString>>(f->member);
        QCOMPARE(member(p, false), nullptr);
        QVERIFY(!p.fences);
        *member(p, true) = QStringLiteral("N1,E2");
        QVERIFY(p.fences);
        QCOMPARE(p.fences->fence[2].coordinate, std::optional<QString>("N1,E2"));
        QCOMPARE(fields::field("fences.6.coordinate"), nullptr);
    }

    // The window's messages name a field as the window shows it.
    void captionsAreTheWindows()
    {
        const struct { const char* key; const char* caption; } captions[] = {
            {"telephones.1", "ONE TEL"}, {"telephones.5", "FIV TEL"}, {"other.overSpeed", "Over Speed(Km/h)"},
            {"other.lowBattery", "LOW BAT"}, {"other.odometer", "Hodometer(Km)"}, {"gprs.apn", "APN"},
            {"gprs.serverPort", "IP PORT"}, {"gprs.httpPort", "HTTP PORT"}, {"fences.2.on", "Cod 2 ON/OFF"},
            {"fences.2.side", "Cod 2 IN/OUT"}, {"fences.2.coordinate", "Cod 2"}, {"special.lockType", "Lock-Select"},
            {"identity.hardwareVersion", "HW-Ver"}, {"no.such", "no.such"}};
        for (const auto& c : captions)
            QCOMPARE(fields::caption(c.key), QString(c.caption));
        // Each caption names one field.
        QSet<QString> seen;
        for (const fields::Field& f : fields::all()) {
            QVERIFY2(!seen.contains(f.caption), qPrintable(f.key + ": " + f.caption));
            seen << f.caption;
        }
    }

    // The dump carries every field the table says it does, and no other: a full dump of a Condor
    // and of a Falcon, read back.
    void theDumpCarriesWhatTheTableSays()
    {
        QStringList none;
        for (const fields::Field& f : fields::all())
            if (f.dump == fields::Dump::None)
                none << f.key;
        QCOMPARE(none, (QStringList{"other.fuel", "port.doorLevel"}));

        for (const bool condor : {true, false}) {
            sim::Tracker tracker;
            const DumpRead read = parseDump(tracker.dump(condor), condor);
            QVERIFY(!read.incomplete);
            QStringList carried;
            forEachField(read.params, [&carried](const QString& key, const auto& field) {
                if (field)
                    carried << key;
            });
            for (const fields::Field& f : fields::all()) {
                const bool inDump = f.dump != fields::Dump::None && (condor || f.dump != fields::Dump::Condor);
                QVERIFY2(carried.contains(f.key) == inDump, qPrintable(f.key));
            }
        }
    }

    // The profile's documentation names every field a profile holds, by the last part of its key as
    // its tables list it; the numbered telephones are documented by their numbers together.
    void everyProfileFieldIsDocumented()
    {
        QFile doc(QStringLiteral(KORVANE_SOURCE_DIR "/docs/PROFILE.md"));
        QVERIFY(doc.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(doc.readAll());
        int documented = 0;
        for (const fields::Field& f : fields::all()) {
            // The tracker's own switches and its identity are never in a profile.
            if (f.boxes.isEmpty() || f.key.startsWith("identity.") || f.key.startsWith("telephones."))
                continue;
            QVERIFY2(text.contains('`' + f.key.section('.', -1) + '`'), qPrintable(f.key + " is not in docs/PROFILE.md"));
            ++documented;
        }
        QCOMPARE(documented, 41);   // 9 of gprs, 15 of the fences, 9 other settings, 4 port, 4 special
        QVERIFY(text.contains("`\"1\"` to `\"8\"`"));
    }

    // The real table lacks nothing, and neither does the window.
    void theTableIsWhole()
    {
        QCOMPARE(fields::problems(), QStringList());
        Rig r;
        QCOMPARE(r.form.startupProblems(), QStringList());
    }

    // Each part of an entry left out is named, in the core's check or in the window's.
    void aMissingPartIsNamed()
    {
        using V = std::vector<fields::Field>;
        using It = V::iterator;
        const auto dropped = tableWith("other.odometer", [](V& t, It it) { t.erase(it); });
        QCOMPARE(fields::problems(dropped),
                 (QStringList{"other.*: the parameters have 12 fields, the table 11 entries",
                              "other.odometer: a row sends it, but the table has no such field"}));
        QCOMPARE(fields::problems(tableWith("gprs.apn", [](V& t, It it) { t.push_back(*it); })),
                 (QStringList{"gprs.apn: two entries", "gprs.*: the parameters have 10 fields, the table 11 entries"}));
        QCOMPARE(fields::problems(tableWith("telephones.2", [](V&, It it) { it->caption.clear(); })),
                 QStringList{"telephones.2: no caption"});
        QCOMPARE(fields::problems(tableWith("other.password", [](V&, It it) { it->spoken.clear(); })),
                 QStringList{"other.password: its box has no spoken name"});
        QCOMPARE(fields::problems(tableWith("fences.4.coordinate", [](V&, It it) { it->form.reset(); })),
                 QStringList{"fences.4.coordinate: a row sends it, but it has no form"});
        QCOMPARE(fields::problems(tableWith("port.lineFunction", [](V&, It it) { it->boxes.removeLast(); })),
                 QStringList{"port.lineFunction: 2 boxes for 3 values"});

        Rig r;
        const auto noBox = tableWith("other.overSpeed", [](V&, It it) { it->boxes.clear(); });
        QCOMPARE(r.form.startupProblems(noBox),
                 (QStringList{"other.overSpeed: a row sends it, but the window has no box to read it from",
                              "other.overSpeed: shown, but no field with a box"}));
        QCOMPARE(r.form.startupProblems(tableWith("gprs.apn", [](V&, It it) { it->boxes = {"Text99"}; })),
                 QStringList{"gprs.apn: the window has no control Text99"});
        QCOMPARE(r.form.startupProblems(tableWith("special.doorLevel", [](V&, It it) { it->boxes[1] = "Check1"; })),
                 QStringList{"special.doorLevel: Check1 is no control for its kind of value"});
        QCOMPARE(r.form.startupProblems(tableWith("gprs.apn", [](V&, It it) { it->label = "Text3"; })),
                 QStringList{"gprs.apn: the window has no label Text3"});
        QCOMPARE(r.form.startupProblems(tableWith("port.doorLevel", [](V&, It it) { it->dump = fields::Dump::Numbers; })),
                 QStringList{"port.doorLevel: shown before a field the dump carries ahead of it"});
        // A field the window has a box for but a read would not show.
        V renamed = fields::all();
        entry(renamed, "other.fuel").key = QStringLiteral("other.fuelTable");
        QCOMPARE(r.form.startupProblems(renamed),
                 (QStringList{"other.fuelTable: no press of a write sends it, and rows::neverWritten() gives no reason",
                              "other.fuel: a row sends it, but the table has no such field",
                              "other.fuel: shown, but no field with a box",
                              "other.fuelTable: shown 0 times by a read (pages/params_view.cpp)"}));
    }
};

QTEST_MAIN(FieldTableTest)
#include "tst_field_table.moc"
