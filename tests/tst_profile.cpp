// Profiles as files: what the loader refuses and how it says so, what it accepts, the round trip
// through the text, what a read of a tracker becomes, and saving.
#include "bulk/profile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace bulk;

Q_DECLARE_METATYPE(bulk::Profile)

namespace {

// A profile's text: the head with `model`, then the members given.
QByteArray profileText(const QByteArray& members, const QByteArray& model = "Condor")
{
    QByteArray text = "{\"format\": \"korvane-profile\", \"version\": 1, \"model\": \"" + model + '"';
    if (!members.isEmpty())
        text += ", " + members;
    return text + "}";
}

// Every field of every group the model offers, each with a value of its own.
Profile full(Model model)
{
    Profile pr;
    pr.model = model;
    Params& p = pr.params;
    p.gprs = Gprs{"apn.example", "user", "secret",          "10.1.2.3",  "5013", "http://fleet.example/in",
                  "8080",        "030",  IntervalUnit::Min, std::nullopt};
    Telephones& t = p.telephones.emplace();
    for (int i = 0; i < 5; ++i)
        t.number[i] = QString("+4912345%1").arg(i);
    t.number[5] = QString();
    Fences& f = p.fences.emplace();
    f.fence[0] = {true, FenceSide::In, QString("N52.5200,E013.4050,R500")};
    f.fence[3] = {false, FenceSide::Out, QString()};
    OtherSettings& o = p.other.emplace();
    o.lowBattery = "30%";
    o.overSpeed = "120";
    o.localHours = "+02";
    o.localMinutes = "30";
    o.shakeStep = "2";
    o.odometer = "012345";
    o.displacement = "010";
    o.password = "123456";
    if (model == Model::Falcon || model == Model::Harrier)
        o.fuel = "0,100,100,4200";
    if (model == Model::Condor || model == Model::Falcon)
        p.port = PortFunctions{Level::High, ArmFunction::Pulse, Level::Low, LineFunction::CallOut};
    if (model == Model::Harrier)
        p.special = SpecialFunctions{LockType::Gas, Level::Low, InputTel::Talk, SosOutTel::Spk};
    return pr;
}

}   // namespace

class ProfileTest : public QObject {
    Q_OBJECT
private slots:
    void refusedWithOneMessageNamingTheKey_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const auto raw = [](const char* row, const QByteArray& bytes, const QString& message) {
            QTest::newRow(row) << bytes << message;
        };
        // A Condor's profile holding `members`.
        const auto bad = [&](const char* row, const QByteArray& members, const QString& message) {
            raw(row, profileText(members), message);
        };
        // The file as a whole.
        raw("empty", QByteArray(), "the file is empty");
        raw("blank", " \r\n\t", "the file is empty");
        raw("not UTF-8", profileText("\"gprs\": {\"apn\": \"caf\xE9\"}"),
            "not a profile: the file is not UTF-8 text");
        raw("truncated", profileText(R"("gprs": {"apn": "x"})").left(60),
            "the file ends too early (line 1, column 61): it is cut short");
        raw("truncated in a text", "{\"format\": \"korvane-prof",
            "the file ends too early (line 1, column 25): it is cut short");
        raw("not JSON", "format = korvane-profile\nversion = 1\n",
            "not a profile: not JSON (illegal value at line 1, column 2)");
        raw("list", R"([{"format": "korvane-profile"}])",
            "not a Korvane profile: the file holds a JSON list, not an object { }");
        raw("no format", R"({"version": 1, "model": "Condor"})",
            "not a Korvane profile: \"format\": \"korvane-profile\" is missing");
        raw("other format", R"({"format": "tracker-backup", "version": 1})",
            "not a Korvane profile: format is \"tracker-backup\", not \"korvane-profile\"");
        const QByteArray huge =
            profileText("\"gprs\": {\"apn\": \"" + QByteArray(kProfileMaxBytes, 'a') + "\"}");
        raw("too large", huge, QString("too large for a profile (%1 bytes)").arg(huge.size()));
        // The head.
        raw("newer version", R"({"format": "korvane-profile", "version": 2, "model": "Condor"})",
            "version: 2 is newer than this Korvane reads (1); open it with a newer Korvane");
        raw("version 0", R"({"format": "korvane-profile", "version": 0, "model": "Condor"})",
            "version: 0 is no profile version (1 is)");
        raw("version as text", R"({"format": "korvane-profile", "version": "1"})",
            "version: expected a whole number, not a text");
        raw("version 1.5", R"({"format": "korvane-profile", "version": 1.5})",
            "version: expected a whole number, not a number");
        raw("no version", R"({"format": "korvane-profile", "model": "Condor"})",
            "version: missing (this Korvane reads version 1)");
        raw("no model", R"({"format": "korvane-profile", "version": 1})",
            "model: missing (one of \"Petrel\", \"Condor\", \"Falcon\", \"Harrier\")");
        raw("model in lower case", profileText("", "condor"),
            "model: \"condor\" is none of \"Petrel\", \"Condor\", \"Falcon\", \"Harrier\"");
        // Keys and types.
        bad("unknown group", R"("gps": {})",
            "gps: unknown key (known here: format, version, model, gprs, telephones, fences, other, port, special)");
        bad("unknown field", R"("gprs": {"apm": "x"})",
            "gprs.apm: unknown key (known here: apn, apnUser, apnPassword, serverIp, serverPort, httpAddress, "
            "httpPort, interval, intervalUnit)");
        bad("telephone 9", R"("telephones": {"9": "1"})",
            "telephones.9: unknown key (known here: 1, 2, 3, 4, 5, 6, 7, 8)");
        bad("fence 6", R"("fences": {"6": {}})", "fences.6: unknown key (known here: 1, 2, 3, 4, 5)");
        bad("dotted key", R"("fences": {"1.on": true})",
            "fences.1.on: unknown key (known here: 1, 2, 3, 4, 5)");
        bad("on-switch", R"("other": {"overSpeedOn": false})",
            "other.overSpeedOn: unknown key; a profile turns a setting off by its text "
            "(\"000\", or \"00%\" for the battery)");
        bad("identity", R"("identity": {"imei": "1"})",
            "identity: unknown key; the unit's IMEI and versions are not part of a profile");
        bad("group as list", R"("telephones": ["555"])",
            "telephones: expected an object { }, not a list [ ]");
        bad("fence as switch", R"("fences": {"1": true})",
            "fences.1: expected an object { }, not true or false");
        bad("number for a text", R"("other": {"overSpeed": 120})",
            "other.overSpeed: expected a text in double quotes, not a number");
        bad("null for a text", R"("gprs": {"apn": null})",
            "gprs.apn: expected a text in double quotes, not null");
        bad("text for a switch", R"("fences": {"2": {"on": "ON"}})",
            "fences.2.on: expected true or false, not a text");
        bad("unknown unit", R"("gprs": {"intervalUnit": "Minutes"})",
            "gprs.intervalUnit: \"Minutes\" is none of \"Sec\", \"Min\", \"Hour\"");
        bad("unit as number", R"("gprs": {"intervalUnit": 1})",
            "gprs.intervalUnit: expected one of \"Sec\", \"Min\", \"Hour\", not a number");
        bad("unknown side", R"("fences": {"3": {"side": "Inside"}})",
            "fences.3.side: \"Inside\" is none of \"In\", \"Out\"");
        // Values the window would not send.
        bad("line break", R"("telephones": {"1": "123\n456"})",
            "telephones.1: \"123\\n456\" holds a line break, which would split the command");
        bad("carriage return", R"("fences": {"4": {"coordinate": "N1\rE2"}})",
            "fences.4.coordinate: \"N1\\rE2\" holds a line break, which would split the command");
        bad("half a character", R"("gprs": {"apn": "a\ud800b"})",
            "gprs.apn: holds half of a character (a lone \\u escape)");
        bad("speed 251", R"("other": {"overSpeed": "251"})",
            "other.overSpeed: \"251\" is out of range (000 to 250)");
        bad("speed -5", R"("other": {"overSpeed": "-5"})",
            "other.overSpeed: \"-5\" is out of range (000 to 250)");
        bad("speed 12", R"("other": {"overSpeed": "12"})",
            "other.overSpeed: \"12\" is too short: 3 digits (as \"120\"), or \"000\" for off");
        bad("battery 256", R"("other": {"lowBattery": "256%"})",
            "other.lowBattery: \"256%\" is out of range (0 to 255)");
        bad("battery -1", R"("other": {"lowBattery": "-1"})",
            "other.lowBattery: \"-1\" is out of range (0 to 255)");
        bad("interval of 2", R"("gprs": {"interval": "30", "intervalUnit": "Sec"})",
            "gprs.interval: \"30\" is too short: 3 digits (as \"030\"), or \"000\" for off");
        bad("interval, no unit", R"("gprs": {"interval": "030"})",
            "gprs.intervalUnit: missing; the interval \"030\" needs one of \"Sec\", \"Min\", \"Hour\"");
        bad("server, no port", R"("gprs": {"serverIp": "10.0.0.1", "serverPort": ""})",
            "gprs.serverPort: missing or empty; the server \"10.0.0.1\" needs its port");
        bad("fence on, no place", R"("fences": {"5": {"on": true, "side": "In"}})",
            "fences.5.coordinate: missing or empty while the fence is on");
        bad("fence on, empty place", R"("fences": {"2": {"on": true, "coordinate": ""}})",
            "fences.2.coordinate: missing or empty while the fence is on");
        bad("telephone 6", R"("telephones": {"1": "555", "6": "556"})",
            "telephones.6: \"556\" can never be written: the window writes numbers 1 to 5; leave it out or empty");
        bad("telephone 8", R"("telephones": {"8": " "})",
            "telephones.8: \" \" can never be written: the window writes numbers 1 to 5; leave it out or empty");
        bad("no hours", R"("other": {"localHours": "", "localMinutes": "30"})",
            "other.localHours: empty; the hours with their sign are needed (as \"+08\")");
        bad("empty password", R"("other": {"password": ""})",
            "other.password: empty; leave it out to keep the tracker's password");
        raw("port on a Petrel", profileText(R"("port": {"doorLevel": "High"})", "Petrel"),
            "port: the Petrel has no port functions (only Condor and Falcon have)");
        bad("special on a Condor", R"("special": {})",
            "special: the Condor has no special functions (only Harrier has)");
        bad("fuel on a Condor", R"("other": {"fuel": "0,100,100,4200"})",
            "other.fuel: the Condor has no fuel sensor (only Falcon and Harrier have)");
    }
    void refusedWithOneMessageNamingTheKey()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const ProfileRead read = parseProfile(bytes);
        QVERIFY(!read.profile);
        QCOMPARE(read.error, message);
    }

    void acceptedAsWritten_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Profile>("expected");
        QTest::newRow("the head alone") << profileText("", "Harrier") << Profile{Model::Harrier, {}};
        Profile numbers{Model::Condor, {}};
        numbers.params.telephones.emplace().number[0] = QString("+491701234567");
        numbers.params.telephones->number[5] = QString();
        QTest::newRow("numbers, 6 empty")
            << profileText(R"("telephones": {"1": "+491701234567", "6": ""})") << numbers;
        QTest::newRow("byte-order mark")
            << "\xEF\xBB\xBF" + profileText(R"("telephones": {"1": "+491701234567", "6": ""})") << numbers;
        QTest::newRow("version 1.0") << QByteArray(
            R"({"format": "korvane-profile", "version": 1.0, "model": "Condor"})")
                                     << Profile{Model::Condor, {}};
        Profile off{Model::Falcon, {}};
        off.params.gprs.emplace().interval = QString("000");
        off.params.other.emplace().overSpeed = QString("000");
        off.params.other->fuel = QString();
        off.params.fences.emplace().fence[2] = {false, FenceSide::Out, std::nullopt};
        QTest::newRow("settings off")
            << profileText(R"("gprs": {"interval": "000"}, "other": {"overSpeed": "000", )"
                           R"("fuel": ""}, "fences": {"3": {"on": false, "side": "Out"}})",
                           "Falcon")
            << off;
        Profile empty{Model::Petrel, {}};
        empty.params.gprs.emplace();
        QTest::newRow("an empty group") << profileText(R"("gprs": {})", "Petrel") << empty;
    }
    void acceptedAsWritten()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Profile, expected);
        const ProfileRead read = parseProfile(bytes);
        QVERIFY2(read.profile, qPrintable(read.error));
        QVERIFY(read.error.isEmpty());
        QVERIFY2(*read.profile == expected, qPrintable(describe(read.profile->params).join('\n')));
    }

    void aProfileComesBackFromItsText_data()
    {
        QTest::addColumn<Profile>("profile");
        for (Model m : {Model::Petrel, Model::Condor, Model::Falcon, Model::Harrier})
            QTest::newRow(qPrintable(name(m))) << full(m);
    }
    void aProfileComesBackFromItsText()
    {
        QFETCH(Profile, profile);
        QCOMPARE(validate(profile), QString());
        const QByteArray text = toJson(profile);
        const ProfileRead read = parseProfile(text);
        QVERIFY2(read.profile, qPrintable(read.error));
        QVERIFY(*read.profile == profile);
        QCOMPARE(toJson(*read.profile), text);   // the same profile, the same text
        // Named by meaning, indented, one field a line.
        QVERIFY(text.contains("\n    \"format\": \"korvane-profile\",\n"));
        QVERIFY(text.contains("\"apn\": \"apn.example\""));
        QVERIFY(text.contains("\"intervalUnit\": \"Min\""));
        QVERIFY(!text.contains("On\""));
    }

    void theTextOfAPartialProfileHoldsOnlyItsGroup()
    {
        Profile numbers{Model::Condor, {}};
        numbers.params.telephones.emplace().number[0] = QString("555");
        numbers.params.telephones->number[4] = QString();
        QCOMPARE(QString::fromUtf8(toJson(numbers)), QString("{\n"
                                                             "    \"format\": \"korvane-profile\",\n"
                                                             "    \"model\": \"Condor\",\n"
                                                             "    \"telephones\": {\n"
                                                             "        \"1\": \"555\",\n"
                                                             "        \"5\": \"\"\n"
                                                             "    },\n"
                                                             "    \"version\": 1\n"
                                                             "}\n"));
    }

    // A read of the tracker as the window shows it: the off switches as "000" and "00%", the unit
    // gone with the interval; no identity, no numbers 6 to 8, nothing the model's window lacks.
    void aReadBecomesTheProfileOfWhatTheWindowShows()
    {
        Params read = full(Model::Harrier).params;
        read.gprs->intervalOn = false;
        read.other->overSpeedOn = false;
        read.other->displacementOn = false;
        read.other->lowBatteryOn = false;
        read.identity = Identity{"864000000000001", "HW1", "SW2"};
        read.telephones->number[6] = QString("777");
        read.port = PortFunctions{Level::Low, ArmFunction::None, Level::Low, LineFunction::InputLow};

        Profile expected = full(Model::Condor);
        expected.params.gprs->interval = "000";
        expected.params.gprs->intervalUnit.reset();
        expected.params.other->overSpeed = "000";
        expected.params.other->displacement = "000";
        expected.params.telephones->number[5].reset();
        expected.params.port = read.port;
        const Profile condor = profileOf(Model::Condor, read);
        QVERIFY2(condor == expected, qPrintable(describe(condor.params).join('\n')));
        QCOMPARE(validate(condor), QString());

        read.other->lowBattery.reset();
        const Profile petrel = profileOf(Model::Petrel, read);
        QCOMPARE(petrel.params.other->lowBattery, std::optional<QString>("00%"));
        QVERIFY(!petrel.params.port && !petrel.params.special && !petrel.params.other->fuel);
        const Profile harrier = profileOf(Model::Harrier, read);
        QVERIFY(!harrier.params.port && harrier.params.special && harrier.params.other->fuel);

        // Switches on change no text.
        Params on = full(Model::Falcon).params;
        on.gprs->intervalOn = true;
        on.other->overSpeedOn = true;
        QVERIFY(windowForm(on) == full(Model::Falcon).params);
    }

    void savedAtomicallyAndOnlyWhenValid()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("fleet.json");
        QCOMPARE(saveProfile(path, full(Model::Falcon)), QString());
        const ProfileRead back = loadProfile(path);
        QVERIFY2(back.profile, qPrintable(back.error));
        QVERIFY(*back.profile == full(Model::Falcon));

        // A value the window would refuse is not saved, and the file stays as it was.
        Profile bad = full(Model::Falcon);
        bad.params.other->overSpeed = "300";
        QCOMPARE(saveProfile(path, bad), QString("other.overSpeed: \"300\" is out of range (000 to 250)"));
        QVERIFY(*loadProfile(path).profile == full(Model::Falcon));
        bad = full(Model::Falcon);
        bad.params.other->overSpeedOn = true;
        QCOMPARE(saveProfile(path, bad), QString("other.overSpeedOn: not part of a profile"));

        // A folder that is not there: a reason, and no file, no leftover.
        const QString nowhere = dir.filePath("missing/fleet.json");
        QVERIFY(saveProfile(nowhere, full(Model::Falcon)).startsWith("cannot be written: "));
        QVERIFY(!QFile::exists(nowhere));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"fleet.json"});
    }

    void aFileThatCannotBeReadSaysSo()
    {
        QTemporaryDir dir;
        const ProfileRead missing = loadProfile(dir.filePath("none.json"));
        QVERIFY(!missing.profile);
        QCOMPARE(missing.error, QString("cannot be read: No such file or directory"));
        QFile big(dir.filePath("big.json"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(kProfileMaxBytes + 1));
        big.close();
        QCOMPARE(loadProfile(big.fileName()).error,
                 QString("too large for a profile (%1 bytes)").arg(kProfileMaxBytes + 1));
    }

    // Every example of the format's documentation loads.
    void theDocumentedExamplesLoad()
    {
        QFile doc(QStringLiteral(KORVANE_SOURCE_DIR "/docs/PROFILE.md"));
        QVERIFY(doc.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(doc.readAll());
        static const QRegularExpression block(QStringLiteral("```json\\n(.*?)```"),
                                              QRegularExpression::DotMatchesEverythingOption);
        int examples = 0;
        for (const auto& m : block.globalMatch(text)) {
            const ProfileRead read = parseProfile(m.captured(1).toUtf8());
            QVERIFY2(read.profile, qPrintable(read.error));
            ++examples;
        }
        QVERIFY(examples >= 2);
    }
};

QTEST_MAIN(ProfileTest)
#include "tst_profile.moc"
