// Profiles as files: what the loader refuses and how it says so, what it accepts, the text written,
// what a read of a tracker becomes, and saving.
#include "bulk/profile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace bulk;

namespace {

// A profile's text: the head with `model`, then the members given.
QByteArray profileText(const QByteArray& members, const QByteArray& model = "Condor")
{
    QByteArray text = "{\"format\": \"korvane-profile\", \"version\": 1, \"model\": \"" + model + '"';
    if (!members.isEmpty())
        text += ", " + members;
    return text + "}";
}

}   // namespace

class ProfileTest : public QObject {
    Q_OBJECT
private slots:
    // One case per kind of refusal, each pinning its text.
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
        raw("blank", " \r\n\t", "the file is empty");
        raw("not UTF-8", profileText("\"gprs\": {\"apn\": \"caf\xE9\"}"),
            "not a profile: the file is not UTF-8 text");
        raw("truncated", profileText(R"("gprs": {"apn": "x"})").left(60),
            "the file ends too early (line 1, column 61): it is cut short");
        raw("not JSON", "format = korvane-profile\nversion = 1\n",
            "not a profile: not JSON (illegal value at line 1, column 2)");
        raw("list", R"([{"format": "korvane-profile"}])",
            "not a Korvane profile: the file holds a JSON list, not an object { }");
        raw("no format", R"({"version": 1, "model": "Condor"})",
            "not a Korvane profile: \"format\": \"korvane-profile\" is missing");
        raw("other format", R"({"format": "tracker-backup", "version": 1})",
            "not a Korvane profile: format is \"tracker-backup\", not \"korvane-profile\"");
        // The head.
        raw("newer version", R"({"format": "korvane-profile", "version": 2, "model": "Condor"})",
            "version: 2 is newer than this Korvane reads (1); open it with a newer Korvane");
        raw("version 0", R"({"format": "korvane-profile", "version": 0, "model": "Condor"})",
            "version: 0 is no profile version (1 is)");
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
        bad("on-switch", R"("other": {"overSpeedOn": false})",
            "other.overSpeedOn: unknown key; a profile turns a setting off by its text "
            "(\"000\", or \"00%\" for the battery)");
        bad("identity", R"("identity": {"imei": "1"})",
            "identity: unknown key; the unit's IMEI and versions are not part of a profile");
        bad("group as list", R"("telephones": ["555"])",
            "telephones: expected an object { }, not a list [ ]");
        bad("number for a text", R"("other": {"overSpeed": 120})",
            "other.overSpeed: expected a text in double quotes, not a number");
        bad("text for a switch", R"("fences": {"2": {"on": "ON"}})",
            "fences.2.on: expected true or false, not a text");
        bad("unknown unit", R"("gprs": {"intervalUnit": "Minutes"})",
            "gprs.intervalUnit: \"Minutes\" is none of \"Sec\", \"Min\", \"Hour\"");
        bad("unit as number", R"("gprs": {"intervalUnit": 1})",
            "gprs.intervalUnit: expected one of \"Sec\", \"Min\", \"Hour\", not a number");
        // Values the window would not send.
        // A line feed is pinned end to end, in tst_cli; a lone carriage return splits a command too.
        bad("carriage return", R"("fences": {"4": {"coordinate": "N1\rE2"}})",
            "fences.4.coordinate: \"N1\\rE2\" holds a line break (it would split the command)");
        bad("half a character", R"("gprs": {"apn": "a\ud800b"})",
            "gprs.apn: holds half of a character (a lone \\u escape)");
        bad("battery -1", R"("other": {"lowBattery": "-1"})",
            "other.lowBattery: \"-1\" has the wrong form (two digits and \"%\" (\"45%\", \"05%\"), \"00%\" for off)");
        // The tracker's dump gives a level back as two digits and "%".
        bad("battery 5%", R"("other": {"lowBattery": "5%"})",
            "other.lowBattery: \"5%\" has the wrong form (two digits and \"%\" (\"45%\", \"05%\"), \"00%\" for off)");
        bad("battery 100%", R"("other": {"lowBattery": "100%"})",
            "other.lowBattery: \"100%\" is too long (4 characters; two digits and \"%\" (\"45%\", \"05%\"), \"00%\" for off)");
        bad("speed 12", R"("other": {"overSpeed": "12"})",
            "other.overSpeed: \"12\" has the wrong form (three digits (\"120\"), \"000\" for off)");
        bad("interval, no unit", R"("gprs": {"interval": "030"})",
            "gprs.intervalUnit: missing (the window says \"PLS Select Time Unit!\")");
        bad("server, no port", R"("gprs": {"serverIp": "10.0.0.1", "serverPort": ""})",
            "gprs.serverPort: \"\" is refused (the window says \"PLS Input Port\")");
        bad("port, no server", R"("gprs": {"apn": "a", "serverIp": "", "serverPort": "0"})",
            "gprs.serverPort: \"0\" has no server (gprs.serverIp is \"\": a write sends a port only with its server)");
        bad("fence on, no place", R"("fences": {"5": {"on": true, "side": "In"}})",
            "fences.5.coordinate: missing (the window says \"PLS Input The Coordinate for GEO-FENCE\")");
        bad("telephone with a dump letter", R"("telephones": {"1": "55C5"})",
            "telephones.1: \"55C5\" has the wrong form (up to 20 digits, \"+\", \"*\" or \"#\"; \"\" for none)");
        bad("no hours", R"("other": {"localHours": "", "localMinutes": "30"})",
            "other.localHours: \"\" is refused (the window says \"PLS Input\")");
        bad("empty password", R"("other": {"password": ""})",
            "other.password: \"\" is refused (the window says \"Password can't NULL\")");
        // Every separator of a free text's command, one key each: the one left out lets a command split.
        bad("comma in the APN", R"("gprs": {"apn": "a,b"})",
            "gprs.apn: \"a,b\" holds \",\" (\",\" separates the fields of its command or of the tracker's dump)");
        bad("colon in the server", R"("gprs": {"serverIp": "a:1", "serverPort": "80"})",
            "gprs.serverIp: \"a:1\" holds \":\" (\":\" separates the fields of its command or of the tracker's dump)");
        bad("semicolon in the user", R"("gprs": {"apnUser": "u;v"})",
            "gprs.apnUser: \"u;v\" holds \";\" (\";\" separates the fields of its command or of the tracker's dump)");
        bad("comma in the HTTP address", R"("gprs": {"httpAddress": "h,x", "httpPort": "80"})",
            "gprs.httpAddress: \"h,x\" holds \",\" (\",\" separates the fields of its command or of the tracker's dump)");
        bad("semicolon in the HTTP address", R"("gprs": {"httpAddress": "h;x", "httpPort": "80"})",
            "gprs.httpAddress: \"h;x\" holds \";\" (\";\" separates the fields of its command or of the tracker's dump)");
        bad("semicolon in a coordinate", R"("fences": {"1": {"on": true, "side": "In", "coordinate": "N1;E2"}})",
            "fences.1.coordinate: \"N1;E2\" holds \";\" (\";\" separates the fields of its command or of the tracker's dump)");
        bad("comma in the password", R"("other": {"password": "12,34"})",
            "other.password: \"12,34\" holds \",\" (\",\" separates the fields of its command or of the tracker's dump)");
        raw("port on a Petrel", profileText(R"("port": {"doorLevel": "High"})", "Petrel"),
            "port: the Petrel has no port functions (only Condor and Falcon have)");
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
        QTest::addColumn<QStringList>("fields");   // the model, then describe()'s lines
        QTest::newRow("the head alone, version 1.0")
            << QByteArray(R"({"format": "korvane-profile", "version": 1.0, "model": "Harrier"})")
            << QStringList{"Harrier"};
        QTest::newRow("byte-order mark, number 6 empty")
            << "\xEF\xBB\xBF" + profileText(R"("telephones": {"1": "+491701234567", "6": ""})")
            << QStringList{"Condor", "telephones.1=+491701234567", "telephones.6="};
        QTest::newRow("settings off, an empty group")
            << profileText(R"("gprs": {"interval": "000"}, "other": {"overSpeed": "000", "fuel": ""}, )"
                           R"("fences": {"3": {"on": false, "side": "Out"}}, "telephones": {})",
                           "Falcon")
            << QStringList{"Falcon", "gprs.interval=000", "fences.3.on=off", "fences.3.side=Out",
                           "other.overSpeed=000", "other.fuel="};
    }
    void acceptedAsWritten()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, fields);
        const ProfileRead read = parseProfile(bytes);
        QVERIFY2(read.profile && read.error.isEmpty(), qPrintable(read.error));
        QCOMPARE(QStringList{name(read.profile->model)} + describe(read.profile->params), fields);
    }

    void theTextOfAPartialProfileHoldsOnlyItsGroup()
    {
        Profile numbers{Model::Condor, {}};
        numbers.params.telephones.emplace().number[0] = QString("555");
        numbers.params.telephones->number[4] = QString();
        // Named by meaning, indented, one field a line, keys in order: the text a person edits.
        const QByteArray text = toJson(numbers);
        QCOMPARE(QString::fromUtf8(text), QString(R"({
    "format": "korvane-profile",
    "model": "Condor",
    "telephones": {
        "1": "555",
        "5": ""
    },
    "version": 1
}
)"));
        const ProfileRead back = parseProfile(text);
        QVERIFY2(back.profile && *back.profile == numbers, qPrintable(back.error));
    }

    // A read of the tracker as the window shows it: the off switches as "000" and "00%", the unit
    // gone with the interval, a battery alarm that is off as "00%"; no identity, nothing the model's
    // window lacks. Numbers 6 to 8 stay: the tracker holds them, though no button writes them.
    void aReadBecomesTheProfileOfWhatTheWindowShows()
    {
        Params read;
        read.gprs = Gprs{.apn = "apn.example", .interval = "030", .intervalUnit = IntervalUnit::Min,
                         .intervalOn = false};
        read.telephones.emplace().number = {QString("555"), {}, {}, {}, {}, QString(), QString("777")};
        read.other = OtherSettings{.lowBatteryOn = false, .overSpeed = "120", .overSpeedOn = false,
                                   .fuel = "0,100,100,4200", .displacement = "015", .displacementOn = false};
        read.port = PortFunctions{Level::Low, ArmFunction::None, Level::Low, LineFunction::InputLow};
        read.special = SpecialFunctions{LockType::Gas, Level::Low, InputTel::Talk, SosOutTel::Spk};
        read.identity = Identity{"864000000000001", "HW1", "SW2"};

        const Profile condor = profileOf(Model::Condor, read);
        QCOMPARE(describe(condor.params),
                 (QStringList{"gprs.apn=apn.example", "gprs.interval=000", "telephones.1=555", "telephones.6=",
                              "telephones.7=777",
                              "other.lowBattery=00%", "other.overSpeed=000", "other.displacement=000",
                              "port.doorLevel=Low", "port.armFunction=None", "port.armLevel=Low",
                              "port.lineFunction=InputLow"}));
        QCOMPARE(validate(condor), QString());
        const Profile petrel = profileOf(Model::Petrel, read);
        QVERIFY(!petrel.params.port && !petrel.params.special && !petrel.params.other->fuel);
        const Profile harrier = profileOf(Model::Harrier, read);
        QVERIFY(!harrier.params.port && harrier.params.special && harrier.params.other->fuel);

        // A level the read reached is shown though its alarm is off; switches on change no text.
        read.other->lowBattery = "30%";
        read.gprs->intervalOn = read.other->overSpeedOn = true;
        const QStringList shown = describe(windowForm(read));
        for (const char* line :
             {"gprs.interval=030", "gprs.intervalUnit=Min", "other.overSpeed=120", "other.lowBattery=30%"})
            QVERIFY2(shown.contains(line), line);
    }

    void savedAtomicallyAndOnlyWhenValid()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("fleet.json");
        Profile good{Model::Falcon, {}};
        good.params.other.emplace().overSpeed = "120";
        QCOMPARE(saveProfile(path, good), QString());
        QVERIFY(*loadProfile(path).profile == good);

        // A value the window would refuse is not saved, and the file stays as it was.
        Profile bad = good;
        bad.params.other->overSpeed = "300";
        QCOMPARE(saveProfile(path, bad), QString("other.overSpeed: \"300\" is out of range (000 to 250)"));
        QVERIFY(*loadProfile(path).profile == good);
        bad = good;
        bad.params.other->overSpeedOn = true;
        QCOMPARE(saveProfile(path, bad), QString("other.overSpeedOn: not part of a profile"));

        // A folder that is not there: a reason, and no file, no leftover.
        const QString nowhere = dir.filePath("missing/fleet.json");
        QVERIFY(saveProfile(nowhere, good).startsWith("cannot be written: "));
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
