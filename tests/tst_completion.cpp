// Bash completion of the command-line programs, read by bash alone (no bash-completion helpers):
// what a technician's TAB offers after the words typed so far.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The offers for the last of `words` (the word being completed), in a folder holding `files`.
QString offers(const QString& program, const QStringList& words, const QString& folder)
{
    QProcess bash;
    bash.setWorkingDirectory(folder);
    bash.start("bash", QStringList{"-c", R"(source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
                                           fn=$(complete -p "$1" | sed "s/.* -F \([^ ]*\) .*/\1/"); "$fn"
                                           echo "${COMPREPLY[*]}")",
                                   "_", QStringLiteral(KORVANE_SOURCE_DIR "/share/completions/") + program}
                           + words);
    if (!bash.waitForFinished(10000))
        return QStringLiteral("(bash did not finish)");
    return QString::fromUtf8(bash.readAllStandardOutput()).trimmed() + QString::fromUtf8(bash.readAllStandardError());
}

}  // namespace

class CompletionTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder_;

private slots:
    void initTestCase()
    {
        for (const char* name : {"fleet.json", "record.jsonl", "values.csv"}) {
            QFile f(folder_.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }

    void korvaneCli_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("offered");
        const QString coms = "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9";
        QTest::newRow("every command") << QStringList{""} << "read write verify reset info station";
        QTest::newRow("station") << QStringList{"st"} << "station";
        QTest::newRow("station's profile") << QStringList{"station", ""} << "fleet.json";
        QTest::newRow("station's options")
            << QStringList{"station", "fleet.json", "--"}
            << "--ports --all --values --values-optional --again --report --count --record --no-record --quiet --help";
        QTest::newRow("--ports") << QStringList{"station", "fleet.json", "--ports", "COM"} << coms;
        QTest::newRow("--ports after a comma")
            << QStringList{"station", "fleet.json", "--ports", "COM4,COM1"} << "COM4,COM1";
        QTest::newRow("--values takes a CSV") << QStringList{"station", "fleet.json", "--values", ""} << "values.csv";
        QTest::newRow("--report takes a CSV") << QStringList{"station", "fleet.json", "--report", "v"} << "values.csv";
        QTest::newRow("the profile after --values' file")
            << QStringList{"station", "--values", "values.csv", ""} << "fleet.json";
        QTest::newRow("no profile after station's profile") << QStringList{"station", "fleet.json", ""} << "";
        QTest::newRow("info") << QStringList{"i"} << "info";
        QTest::newRow("options before a command") << QStringList{"--"} << "--help --version";
        QTest::newRow("read's options") << QStringList{"read", "COM4", "-"} << "-o --output -m --model --quiet --help";
        QTest::newRow("write's options")
            << QStringList{"write", "COM4", "fleet.json", "--"} << "--no-verify --record --no-record --quiet --help";
        QTest::newRow("verify's options") << QStringList{"verify", "COM4", "fleet.json", "--"}
                                          << "--record --no-record --quiet --help";
        QTest::newRow("reset's options") << QStringList{"reset", "COM4", "-"} << "--yes --record --no-record --quiet --help";
        QTest::newRow("info's options") << QStringList{"info", "COM4", "--"} << "--json --help";
        QTest::newRow("--model") << QStringList{"read", "COM4", "--model", "F"} << "Falcon";
        QTest::newRow("-m") << QStringList{"read", "COM4", "-m", ""} << "Petrel Condor Falcon Harrier";
        QTest::newRow("--model=") << QStringList{"read", "COM4", "--model", "=", "H"} << "Harrier";
        QTest::newRow("info's port") << QStringList{"info", "COM"} << coms;
        QTest::newRow("the port after --record's file") << QStringList{"write", "--record", "record.jsonl", "COM"}
                                                        << coms;
        QTest::newRow("the profile after --record's file and the port")
            << QStringList{"write", "--record", "record.jsonl", "COM4", ""} << "fleet.json";
        QTest::newRow("--record takes any file") << QStringList{"write", "COM4", "fleet.json", "--record", "rec"}
                                                 << "record.jsonl";
        QTest::newRow("nothing after reset's port") << QStringList{"reset", "COM4", "--yes", ""} << "";
    }
    void korvaneCli()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, offered);
        QCOMPARE(offers("korvane-cli", QStringList{"korvane-cli"} + words, folder_.path()), offered);
    }

    void korvanePorts()
    {
        QCOMPARE(offers("korvane-ports", {"korvane-ports", ""}, folder_.path()), QString("list link unlink --help --version"));
        QCOMPARE(offers("korvane-ports", {"korvane-ports", "unlink", "com4"}, folder_.path()), QString("COM4"));
    }
};

QTEST_GUILESS_MAIN(CompletionTest)
#include "tst_completion.moc"
